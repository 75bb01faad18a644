#include "scene/Node_NoteGrid.h"

#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/ModelVertexArrays.h"
#include "scene/SceneHelpers.h"
#include "sound/SoundControl_Theremin.h"

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

Node_NoteGrid::Node_NoteGrid()
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
    using Theremin = SoundControl_Theremin;
    m_iVertexCount = 0;
    const bool snap = Theremin::IsAutotuneEnabled_Snap();
    const int n = Theremin::GetEnabledNoteCount();
    if (n < 1 || n > 12)
        return;

    uint32_t colours[12];
    for (int i = 0; i < n; ++i)
    {
        const int semitone = static_cast<int>(Theremin::GetEnabledNoteValue(i));
        const bool black = IsBlackKey(semitone);
        if (i == 0)
            colours[i] = black ? c_iColourFirstBlack : c_iColourFirstWhite;
        else
            colours[i] = black ? c_iColourBlack : c_iColourWhite;
    }

    const Vector2f screen = scene::LandscapeScreenSize();
    // From one octave below octave 0 upwards: snap mode marks the centres of the
    // snap zones, otherwise the enabled notes' true pitches.
    const int last = n * c_iMaxOctavesSearched;
    for (int k = -n; k < last && m_iVertexCount < c_iMaxVertices; ++k)
    {
        const float octave = snap ? static_cast<float>(k) / static_cast<float>(n)
                                  : Theremin::GetEnabledNoteValue(k) / 12.0f;
        const float x = Theremin::OctaveToTouch(octave) * screen.x;
        // Also stops on a window of no width, where x is not a number.
        if (!(x < screen.x))
            break;
        if (x < 0.0f)
            continue;
        const uint32_t colour = colours[(k + n) % n];
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
    glDrawArrays(GL_LINES, 0, m_iVertexCount);
    renderer.CheckError();
}
