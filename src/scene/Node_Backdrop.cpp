#include "scene/Node_Backdrop.h"

#include "render/Material.h"
#include "render/Renderer_GL.h"
#include "scene/ModelVertexArrays.h"
#include "scene/SceneHelpers.h"
#include "synth/SoundControl_Theremin.h"

#include <GLES/gl.h>

#include <cmath>
#include <numbers>

namespace
{
constexpr float c_rBaseWeight = 0.4f; // pull of a vertex's own rest position
constexpr float c_rReachFactor = 3.5f;
constexpr float c_rInfluenceFloor = 0.1f; // a finger's weight 1/q - 0.1 must be positive
} // namespace

Node_Backdrop::Node_Backdrop()
{
    BuildMesh();
    BuildIndices();
    // Twice, so that both the pattern morphed from and the one morphed to are random.
    ChangeUVPattern();
    ChangeUVPattern();
    m_rScrollSpeedX = DrawScrollSpeed();
    m_rScrollSpeedY = DrawScrollSpeed();
}

Node_Backdrop::~Node_Backdrop()
{
    if (m_pMaterial)
        m_pMaterial->Release();
    m_pMaterial = nullptr;
    m_Theremins.clear();
}

void Node_Backdrop::BuildMesh()
{
    const Vector2f screen = scene::LandscapeScreenSize();
    const float cellWidth = screen.x / static_cast<float>(c_iColumns - 1);
    const float cellHeight = screen.y / static_cast<float>(c_iRows - 1);
    for (int i = 0; i < c_iRows; ++i)
    {
        for (int j = 0; j < c_iColumns; ++j)
        {
            const int k = c_iColumns * i + j;
            const float x = static_cast<float>(j) * cellWidth;
            const float y = static_cast<float>(i) * cellHeight;
            ModelVertex& vertex = m_Vertices[k];
            vertex.position.Set(x, y, 0.0f);
            vertex.normal.Set(0.0f, 0.0f, 1.0f);
            vertex.SetColour(0xFFFFFFFF);
            vertex.texCoord.Set(x / screen.x, y / screen.y);
            m_VertInfo[k].basePosition.Set(x, y);
            m_VertInfo[k].baseUV = vertex.texCoord;
        }
    }
}

void Node_Backdrop::BuildIndices()
{
    // One strip over every band of two rows; repeating a band's first and last
    // vertex makes degenerate triangles that join the bands.
    int n = 0;
    const int bands = c_iRows - 1;
    for (int b = 0; b < bands; ++b)
    {
        const int m = c_iColumns * b;
        if (b > 0)
            m_pIndices[n++] = static_cast<uint8_t>(m);
        for (int col = 0; col < c_iColumns; ++col)
        {
            m_pIndices[n++] = static_cast<uint8_t>(m + col);
            m_pIndices[n++] = static_cast<uint8_t>(m + col + c_iColumns);
        }
        if (b < bands - 1)
            m_pIndices[n++] = static_cast<uint8_t>(m + 2 * c_iColumns - 1);
    }
    m_iIndexCount = n;
}

float Node_Backdrop::DrawScrollSpeed()
{
    float speed;
    do
        speed = 0.03f + scene::Random8() * 0.06f;
    while (speed > -0.005f && speed < 0.005f);
    return speed;
}

void Node_Backdrop::SetMaterial(Material* material)
{
    // The new reference first, so setting the current material again cannot free it.
    if (material)
        material->AddRef();
    if (m_pMaterial)
        m_pMaterial->Release();
    m_pMaterial = material;
}

void Node_Backdrop::AddTheremin(SoundControl_Theremin* theremin)
{
    m_Theremins.push_back(theremin);
}

void Node_Backdrop::ChangeUVPattern()
{
    for (VertInfo& info : m_VertInfo)
    {
        info.oldOffset = info.newOffset;
        info.newOffset.Set(0.0f, 0.0f);
    }
    // Three passes of four sine waves: six waves per axis, each along u or v.
    for (int pass = 0; pass < 3; ++pass)
    {
        float phase[4], frequency[4], amplitude[4];
        for (int w = 0; w < 4; ++w)
        {
            phase[w] = 4.0f + scene::Random8() * 8.0f;
            frequency[w] = 2.0f + scene::Random8() * 4.0f;
            amplitude[w] = 0.1f + scene::Random8() * 0.2f;
        }
        for (VertInfo& info : m_VertInfo)
        {
            const float u = info.baseUV.x;
            const float v = info.baseUV.y;
            info.newOffset.x += amplitude[0] * sinf(phase[0] + frequency[0] * u);
            info.newOffset.x += amplitude[1] * sinf(phase[1] + frequency[1] * v);
            info.newOffset.y += amplitude[2] * sinf(phase[2] + frequency[2] * u);
            info.newOffset.y += amplitude[3] * sinf(phase[3] + frequency[3] * v);
        }
    }
    for (VertInfo& info : m_VertInfo)
        info.delta.Set(info.newOffset.x - info.oldOffset.x, info.newOffset.y - info.oldOffset.y);
}

void Node_Backdrop::Update(float dt)
{
    m_rPatternPhase += dt * c_rPatternRate;
    if (m_rPatternPhase > 1.0f)
    {
        m_rPatternPhase -= 1.0f;
        ChangeUVPattern();
    }

    // Cosine ease from the old pattern to the new one.
    const float w = 0.5f - 0.5f * cosf(m_rPatternPhase * std::numbers::pi_v<float>);
    for (int k = 0; k < c_iVertexCount; ++k)
    {
        const VertInfo& info = m_VertInfo[k];
        m_Vertices[k].texCoord.Set(info.oldOffset.x + w * info.delta.x,
                                   info.oldOffset.y + w * info.delta.y);
    }

    // Scroll, kept within [-1, 1] on both axes.
    Vector3f scroll = m_TextureTransform.GetPosition();
    scroll.x += dt * m_rScrollSpeedX;
    scroll.y += dt * m_rScrollSpeedY;
    if (scroll.x > 1.0f)
        scroll.x -= 1.0f;
    if (scroll.y > 1.0f)
        scroll.y -= 1.0f;
    if (scroll.x < -1.0f)
        scroll.x += 1.0f;
    if (scroll.y < -1.0f)
        scroll.y += 1.0f;
    m_TextureTransform.SetPosition(scroll);

    const Vector2f screen = scene::LandscapeScreenSize();
    const int touches = CollectTouches(screen);
    if (touches > 0)
        Bulge(touches, screen.y);
    else if (!m_bRestored)
        Restore();
}

int Node_Backdrop::CollectTouches(const Vector2f& screen)
{
    int n = 0;
    for (SoundControl_Theremin* theremin : m_Theremins)
    {
        if (n >= c_iMaxTouchPoints)
            break;
        if (!theremin->IsTouchActive())
            continue;
        m_TouchPoints[n].Set(theremin->GetX() * screen.x, theremin->GetY() * screen.y);
        ++n;
    }
    return n;
}

void Node_Backdrop::Bulge(int touchCount, float screenHeight)
{
    // Each finger weighs 1/q - 0.1 with q = |t - b|^2 / (3.5 H): it reaches
    // vertices closer than sqrt(35 H) points and grows sharply towards the finger.
    m_bRestored = false;
    const float s = 1.0f / (screenHeight * c_rReachFactor);
    for (int k = 0; k < c_iVertexCount; ++k)
    {
        const Vector2f& b = m_VertInfo[k].basePosition;
        float sumX = c_rBaseWeight * b.x;
        float sumY = c_rBaseWeight * b.y;
        float weight = c_rBaseWeight;
        for (int t = 0; t < touchCount; ++t)
        {
            const Vector2f& touch = m_TouchPoints[t];
            const float dx = touch.x - b.x;
            const float dy = touch.y - b.y;
            const float q = s * (dx * dx + dy * dy);
            if (q > 0.0f)
            {
                const float g = 1.0f / q - c_rInfluenceFloor;
                if (g > 0.0f)
                {
                    sumX += g * touch.x;
                    sumY += g * touch.y;
                    weight += g;
                }
            }
        }
        // Mirrored away from the weighted centre: the mesh bulges away from the fingers.
        m_Vertices[k].position.Set(2.0f * b.x - sumX / weight, 2.0f * b.y - sumY / weight, 0.0f);
    }
}

void Node_Backdrop::Restore()
{
    m_bRestored = true;
    for (int k = 0; k < c_iVertexCount; ++k)
    {
        const Vector2f& b = m_VertInfo[k].basePosition;
        m_Vertices[k].position.Set(b.x, b.y, 0.0f);
    }
}

void Node_Backdrop::Render(Renderer& renderer)
{
    renderer.SetMaterial(m_pMaterial);
    SetModelVertexArrays(m_Vertices.data());
    auto* gl = dynamic_cast<Renderer_GL*>(&renderer);
    if (gl)
        gl->SetTextureMatrix(&m_TextureTransform);
    glDrawElements(GL_TRIANGLE_STRIP, m_iIndexCount, GL_UNSIGNED_BYTE, m_pIndices.data());
    if (gl)
        gl->SetTextureMatrix(nullptr);
    renderer.CheckError();
}
