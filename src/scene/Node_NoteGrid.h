// Vertical lines across the screen where the enabled notes (or, in snap mode,
// the centres of the snap zones) lie inside the instrument's octave window.
// Rebuilt only when UpdateGeometry is called.
#pragma once

#include "render/ModelVertex.h"
#include "scene/Node.h"

#include <array>
#include <cstdint>

class InstrumentState;
class Material;

class Node_NoteGrid : public Node
{
  public:
    static constexpr int c_iMaxLines = 128;
    static constexpr int c_iMaxVertices = 2 * c_iMaxLines;

    // Line colours, packed (red in the low byte).
    static constexpr uint32_t c_iColourFirstBlack = 0xFF000088; // dark red
    static constexpr uint32_t c_iColourBlack = 0xFF000000;
    static constexpr uint32_t c_iColourFirstWhite = 0xFF99FFFF; // pale yellow
    static constexpr uint32_t c_iColourWhite = 0xFFFFFFFF;

    // `state`: the window, notes and autotune the lines show; it outlives the grid.
    explicit Node_NoteGrid(const InstrumentState& state);
    ~Node_NoteGrid() override;

    // Rebuilds the lines from the state's window, note set and autotune mode.
    void UpdateGeometry();
    void Render(Renderer& renderer) override;

    // Line i runs from vertex 2i (top) to 2i + 1 (bottom).
    int GetVertexCount() const { return m_iVertexCount; }
    int GetLineCount() const { return m_iVertexCount / 2; }
    const ModelVertex* GetVertices() const { return m_Vertices.data(); }

  private:
    int m_iVertexCount = 0;
    std::array<ModelVertex, c_iMaxVertices> m_Vertices{};
    Material* m_pMaterial = nullptr;
    const InstrumentState& m_state;
};
