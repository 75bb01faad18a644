// A fixed rectangle between two corners with one colour and an optional
// material, for flat panels and overlays.
#pragma once

#include "core/Vector2f.h"
#include "render/ModelVertex.h"
#include "scene/Node.h"

#include <cstdint>

class Material;

class Node_2DQuad : public Node
{
  public:
    // colour: packed, red in the low byte.
    Node_2DQuad(const Vector2f& min, const Vector2f& max, unsigned int colour);
    ~Node_2DQuad() override;

    // Null allowed. Without a material the quad draws with whatever texture and
    // blend state the previous drawable left.
    void SetMaterial(Material* material);
    Material* GetMaterial() const { return m_pMaterial; }

    void Render(Renderer& renderer) override;

  private:
    ModelVertex m_vertices[4];
    static constexpr uint8_t c_iIndices[4] = {0, 1, 2, 3}; // one triangle strip
    Material* m_pMaterial = nullptr;
};
