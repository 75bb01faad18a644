// Twenty small images scattered over the screen that fade in, stay, fade out
// and come back elsewhere, each at its own pace, keeping clear of each other.
// They are drawn by one sprite batch held as a child.
#pragma once

#include "core/Vector2f.h"
#include "scene/Node.h"

#include <array>

class Node_SpriteBatch;

class Node_Decals : public Node
{
  public:
    static constexpr int c_iDecalCount = 20;
    static constexpr int c_iImageCount = 8;
    // A new spot is refused when the sum of 1/d^2 over the live decals reaches
    // this: about 35 points from a lone neighbour, further in a crowd.
    static constexpr float c_rCrowdingLimit = 0.0008f;

    struct Decal
    {
        Vector2f position; // screen points
        float age = 1.0f;  // 0 .. 1 over a life; 1 or more: waiting for a spot
        float rate = 0.0f; // life per second
    };

    // The texel rectangles of the eight images in "data/decals.png".
    struct Image
    {
        Vector2f first;
        Vector2f opposite;
    };
    static const std::array<Image, c_iImageCount> c_Images;

    // Draws from rand(): seed the generator first for a reproducible layout.
    // Without a texture for "data/decals.png" the batch is left out and
    // nothing is drawn.
    Node_Decals();
    ~Node_Decals() override;

    // Tries to place decal index at a new random spot; hides it when the spot
    // is too crowded, to be retried at the next Update.
    void Reposition(int index);
    // Per-frame animation, dt in seconds.
    void Update(float dt);

    const Decal& GetDecal(int index) const { return m_Decals[index]; }
    // Null when the texture did not load.
    Node_SpriteBatch* GetBatch() const { return m_pBatch; }

  private:
    std::array<Decal, c_iDecalCount> m_Decals{};
    Node_SpriteBatch* m_pBatch = nullptr;
};
