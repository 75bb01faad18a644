// The OpenGL ES drawing of a text: one textured quad per visible glyph, in
// arrays that only grow, drawn with one glDrawElements.
#pragma once

#include "render/ModelVertex.h"
#include "scene/Node_Text.h"

#include <cstdint>
#include <vector>

class Material;

class Node_Text_GL : public Node_Text
{
  public:
    // Most glyphs one text draws: four 16-bit-indexed vertices each.
    static constexpr int c_iMaxGlyphs = 16384;

    Node_Text_GL();
    ~Node_Text_GL() override;

    void Render(Renderer& renderer) override;
    // Rebuilds the glyph quads; false when there is nothing to draw from (no
    // font or no text, in which case the node stays dirty).
    bool UpdateGeometry();

    int GetGlyphCapacity() const { return m_iGlyphCapacity; }
    int GetIndexCount() const { return m_iIndexCount; }
    const std::vector<ModelVertex>& GetVertices() const { return m_vertices; }
    // The line width that centre and right justification measure.
    int MeasureWidth() const;

  private:
    Material* m_pMaterial;
    std::vector<ModelVertex> m_vertices;
    std::vector<uint16_t> m_iIndices;
    int m_iGlyphCapacity = 0;
    int m_iIndexCount = 0;
    int m_iFontGeneration = -1; // the font load the glyph quads were laid out from
};
