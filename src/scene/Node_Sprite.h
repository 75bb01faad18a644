// One whole texture (or a rectangle of it) drawn as a rectangle that can be
// placed, pivoted, rotated, scaled, tinted and hidden. Drawing is done by the
// GL subclass.
#pragma once

#include "core/Vector2f.h"
#include "core/Vector3f.h"
#include "scene/Node.h"

#include <cstdint>

class Material;

class Node_Sprite : public Node
{
  public:
    ~Node_Sprite() override;

    // A new platform sprite without an image, count 1.
    static Node_Sprite* Create();
    // A sprite showing the image at path, pivoting about its centre; null (and
    // no material left alive) when the image gives no texture.
    static Node_Sprite* Create(const char* path);

    // The whole texture of m about its centre; nothing when m has no texture.
    void SetImage(Material* m);
    // A material without a texture leaves the sprite without one (it stops drawing).
    void SetImage(Material* m, const Vector2f& uvMin, const Vector2f& uvMax,
                  const Vector2f& offset);
    // Where the pivot lies, from the top-left corner: in points when absolute,
    // else as fractions of the size. Shows at the next geometry change.
    void SetOffset(float x, float y, bool absolute);
    // Places the pivot (truncated toward zero when wholePoints) and shows the sprite.
    void SetPosition(float x, float y, bool wholePoints, float rotation, float scale);
    // Packed colour (red in the low byte) that multiplies every texel; 0 hides.
    void SetColor(unsigned int colour);
    void SetInvisible() { m_bSpriteVisible = false; }
    // The sprite's own flag (shown since the last SetPosition); the node's
    // visibility switches apply as well.
    bool IsVisible() const { return m_bSpriteVisible; }

    Material* GetMaterial() const { return m_pMaterial; }
    const Vector2f& GetSize() const { return m_vSize; }
    const Vector2f& GetOffset() const { return m_vOffset; }
    const Vector2f& GetUVMin() const { return m_vUVMin; }
    const Vector2f& GetUVMax() const { return m_vUVMax; }
    const Vector3f& GetPosition() const { return m_vPosition; }
    unsigned int GetColor() const { return m_iColour; }

  protected:
    Node_Sprite() = default;

    Material* m_pMaterial = nullptr;
    Vector2f m_vUVMin{0.0f, 0.0f};
    Vector2f m_vUVMax{1.0f, 1.0f};
    Vector2f m_vSize{0.0f, 0.0f}; // texture size, one texel per point
    Vector2f m_vOffset{0.0f, 0.0f};
    Vector3f m_vPosition{0.0f, 0.0f, 0.0f};
    float m_rRotation = 0.0f; // radians
    float m_rScale = 1.0f;
    unsigned int m_iColour = 0xFFFFFFFF;
    bool m_bSpriteVisible = false;
    bool m_bGeometryDirty = true;
};
