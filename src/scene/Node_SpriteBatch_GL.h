// The OpenGL ES drawing of a sprite batch: the visible sprites packed at the
// front of one vertex array, drawn with one glDrawElements.
#pragma once

#include "render/ModelVertex.h"
#include "scene/Node_SpriteBatch.h"

#include <cstdint>
#include <vector>

class Node_SpriteBatch_GL : public Node_SpriteBatch
{
  public:
    explicit Node_SpriteBatch_GL(int count);

    void Render(Renderer& renderer) override;
    // Packs the visible sprites, recomputing the corners of changed ones.
    void UpdateGeometry();

    int GetVisibleCount() const { return m_iVisibleCount; }
    const std::vector<ModelVertex>& GetVertices() const { return m_vertices; }

  private:
    std::vector<ModelVertex> m_vertices; // 4 per sprite
    std::vector<uint16_t> m_iIndices;    // 6 per sprite, fixed
    int m_iVisibleCount = 0;
};
