// The OpenGL ES drawing of a sprite: four vertices, two triangles.
#pragma once

#include "render/ModelVertex.h"
#include "scene/Node_Sprite.h"

#include <cstdint>

class Node_Sprite_GL : public Node_Sprite
{
  public:
    Node_Sprite_GL();

    void Render(Renderer& renderer) override;

    // Corners top-left, top-right, bottom-left, bottom-right (unrotated terms),
    // as last built.
    const ModelVertex* GetVertices() const { return m_vertices; }

  private:
    void UpdateGeometry();

    ModelVertex m_vertices[4];
    static constexpr uint8_t c_iIndices[6] = {0, 2, 1, 1, 2, 3};
};
