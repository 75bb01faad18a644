#include "scene/Node_NoteGrid.h"

#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/ModelVertexArrays.h"
#include "scene/SceneHelpers.h"
#include "synth/InstrumentState.h"

#include <GLES/gl.h>

namespace
{
// Octaves the line search may walk through before it gives up; the widest
// window spans fewer than eight.
constexpr int c_iMaxOctavesSearched = 16;

bool IsBlackKey(int semitone)
{
    switch (semitone)
    {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}
} // namespace

Node_NoteGrid::Node_NoteGrid(const InstrumentState& state) : m_state(state)
{
    m_pMaterial = Material::Create();
    m_pMaterial->SetOptions(Material::c_iBlendAlpha, false, false);
    for (ModelVertex& vertex : m_Vertices)
    {
        vertex.texCoord.Set(0.0f, 0.0f);
        vertex.normal.Set(0.0f, 0.0f, 1.0f);
        vertex.SetColour(0x88FFFFFF);
    }
    UpdateGeometry();
}

Node_NoteGrid::~Node_NoteGrid()
{
    if (m_pMaterial)
        m_pMaterial->Release();
    m_pMaterial = nullptr;
}

void Node_NoteGrid::UpdateGeometry()
{
    m_iVertexCount = 0;
    const bool snap = m_state.IsAutotuneEnabled_Snap();
    const bool tuned = m_state.IsTuned();
    const int n = m_state.GetEnabledDegreeCount();
    if (n < 1)
        return;

    // Twelve notes: black keys dark, the first enabled note of the octave pale.
    // A scale has no black keys: its first enabled degree is pale, the others white.
    auto colourOf = [&](int index)
    {
        if (tuned)
            return index == 0 ? c_iColourFirstWhite : c_iColourWhite;
        const bool black = IsBlackKey(static_cast<int>(m_state.GetEnabledNoteValue(index)));
        if (index == 0)
            return black ? c_iColourFirstBlack : c_iColourFirstWhite;
        return black ? c_iColourBlack : c_iColourWhite;
    };

    const Vector2f screen = scene::LandscapeScreenSize();
    // From one period below the window (twelve notes: below octave 0) upwards:
    // snap mode marks the centres of the snap zones, otherwise the enabled
    // notes' true pitches.
    const int first = tuned ? m_state.GetFirstIndexBelow(m_state.GetMinOctave()) : -n;
    const int last = first + n * (c_iMaxOctavesSearched + 1);
    for (int k = first; k < last && m_iVertexCount < c_iMaxVertices; ++k)
    {
        const float octave = snap ? m_state.GetSnapZoneOctave(k) : m_state.GetEnabledNoteOctave(k);
        const float x = m_state.OctaveToTouch(octave) * screen.x;
        // Also stops on a window of no width, where x is not a number.
        if (!(x < screen.x))
            break;
        if (x < 0.0f)
            continue;
        const uint32_t colour = colourOf(((k % n) + n) % n);
        ModelVertex& top = m_Vertices[m_iVertexCount++];
        ModelVertex& bottom = m_Vertices[m_iVertexCount++];
        top.position.Set(x, 0.0f, 0.0f);
        bottom.position.Set(x, screen.y, 0.0f);
        top.SetColour(colour);
        bottom.SetColour(colour);
    }
}

void Node_NoteGrid::Render(Renderer& renderer)
{
    renderer.SetMaterial(m_pMaterial);
    SetModelVertexArrays(m_Vertices.data());
    // One point wide at any scale: as many pixels as a point has.
    glLineWidth(renderer.GetPixelScale());
    glDrawArrays(GL_LINES, 0, m_iVertexCount);
    glLineWidth(1.0f);
    renderer.CheckError();
}
