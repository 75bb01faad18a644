// A fixed number of textured, coloured quads sharing one material, drawn in one
// call; each sprite has its own placement, colour, texture rectangle and anchor,
// and only visible sprites are drawn. Drawing is done by the GL subclass.
#pragma once

#include "core/Vector2f.h"
#include "core/Vector3f.h"
#include "scene/Node.h"

#include <memory>

class Material;

class Node_SpriteBatch : public Node
{
  public:
    struct SpriteInfo
    {
        Vector3f position{0.0f, 0.0f, 0.0f}; // where the anchor lands; z goes to every corner
        float rotation = 0.0f;               // radians
        float scale = 1.0f;
        unsigned int colour = 0xFFFFFFFF; // packed, red in the low byte
        bool visible = false;             // shown from the first SetPosition
        bool dirty = true;
        Vector2f uvMin{0.0f, 0.0f};
        Vector2f uvMax{1.0f, 1.0f};
        Vector2f offset{0.0f, 0.0f}; // anchor in pixels from the top-left corner
        Vector3f corners[4];         // top-left, top-right, bottom-left, bottom-right

        // Recomputes the corners for a texture of width x height texels.
        void UpdateVerts(float width, float height);
    };

    // Most sprites a batch can hold: four 16-bit-indexed vertices each.
    static constexpr int c_iMaxSprites = 16384;

    ~Node_SpriteBatch() override;

    // A new GL batch of count sprites (0 to c_iMaxSprites; null otherwise).
    static Node_SpriteBatch* Create(int count);
    // Null for a null material.
    static Node_SpriteBatch* Create(int count, Material* material);

    // Keeps the material only when it has a texture; otherwise no material.
    void SetMaterial(Material* material);
    Material* GetMaterial() const { return m_pMaterial; }

    // Per-sprite operations ignore an index outside 0 to count - 1.
    void SetPosition(int index, float x, float y, bool snap, float rotation, float scale);
    // Texture rectangle in texels; ignored while the batch has no texture.
    void SetUV(int index, const Vector2f& min, const Vector2f& max);
    // Anchor in pixels, or as fractions of the sprite's size (after SetUV).
    // Takes effect at the sprite's next rebuild.
    void SetOffset(int index, const Vector2f& offset, bool inPixels);
    void SetColor(int index, unsigned int colour);
    void SetInvisible(int index);
    bool GetVisible(int index) const;

    int GetCount() const { return m_iCount; }
    const SpriteInfo* GetSprite(int index) const;
    const Vector2f& GetTextureSize() const { return m_vTextureSize; }

  protected:
    explicit Node_SpriteBatch(int count);
    SpriteInfo* Sprite(int index);

    int m_iCount;
    std::unique_ptr<SpriteInfo[]> m_sprites;
    Material* m_pMaterial = nullptr;
    Vector2f m_vTextureSize{0.0f, 0.0f};
    bool m_bDirty = true;
};
