#include "scene/Node_Decals.h"

#include "render/Material.h"
#include "scene/Node_SpriteBatch.h"
#include "scene/SceneHelpers.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

const std::array<Node_Decals::Image, Node_Decals::c_iImageCount> Node_Decals::c_Images = {{
    {{7.0f, 7.0f}, {40.0f, 45.0f}},
    {{52.0f, 14.0f}, {80.0f, 41.0f}},
    {{90.0f, 5.0f}, {138.0f, 54.0f}},
    {{150.0f, 12.0f}, {170.0f, 42.0f}},
    {{185.0f, 15.0f}, {215.0f, 48.0f}},
    {{9.0f, 56.0f}, {50.0f, 103.0f}},
    {{68.0f, 61.0f}, {100.0f, 110.0f}},
    {{142.0f, 55.0f}, {186.0f, 99.0f}},
}};

namespace
{
constexpr float c_rFadeIn = 0.3f;  // part of a life spent fading in
constexpr float c_rFadeOut = 0.7f; // age at which the fade out starts
constexpr float c_rPeak = 0.7f;    // brightest a decal gets
} // namespace

Node_Decals::Node_Decals()
{
    Material* material = Material::Create("data/decals.png");
    if (material->GetTexture(0))
    {
        material->SetOptions(Material::c_iBlendPremultiplied, false, false);
        m_pBatch = Node_SpriteBatch::Create(c_iDecalCount, material);
    }
    material->Release(); // the batch holds its own reference
    if (!m_pBatch)
        return;
    AddChild(m_pBatch);

    for (int k = 0; k < c_iDecalCount; ++k)
    {
        Reposition(k);
        // Start at different points of their lives.
        if (m_pBatch->GetVisible(k))
            m_Decals[k].age = scene::Random8();
    }
}

Node_Decals::~Node_Decals()
{
    if (m_pBatch)
        m_pBatch->Release();
    m_pBatch = nullptr;
}

void Node_Decals::Reposition(int index)
{
    if (!m_pBatch || index < 0 || index >= c_iDecalCount)
        return;
    const Vector2f screen = scene::LandscapeScreenSize();
    Decal& decal = m_Decals[index];
    const float x = screen.x * scene::Random8();
    const float y = screen.y * scene::Random8();
    decal.position.Set(x, y);

    float crowding = 0.0f;
    for (int i = 0; i < c_iDecalCount; ++i)
    {
        const Decal& other = m_Decals[i];
        if (i == index || other.age >= 1.0f)
            continue;
        const float dx = x - other.position.x;
        const float dy = y - other.position.y;
        const float squared = dy * dy + dx * dx;
        // On top of a live decal: as crowded as it gets.
        crowding += squared > 0.0f ? 1.0f / squared : std::numeric_limits<float>::infinity();
    }

    if (crowding < c_rCrowdingLimit)
    {
        m_pBatch->SetPosition(index, x, y, true, 0.0f, 1.0f);
        decal.rate = 0.1f + scene::Random8() * 0.2f;
        decal.age = 0.0f;
        const Image& image = c_Images[std::rand() % c_iImageCount];
        m_pBatch->SetUV(index, image.first, image.opposite);
        m_pBatch->SetOffset(index, Vector2f(0.5f, 0.5f), false);
    }
    else
    {
        m_pBatch->SetInvisible(index);
        decal.age = 1.0f;
    }
}

void Node_Decals::Update(float dt)
{
    if (!m_pBatch)
        return;
    for (int k = 0; k < c_iDecalCount; ++k)
    {
        Decal& decal = m_Decals[k];
        decal.age += dt * decal.rate;
        if (decal.age >= 1.0f)
            Reposition(k);

        float brightness = 1.0f;
        if (decal.age < c_rFadeIn)
            brightness = decal.age / c_rFadeIn;
        else if (decal.age > c_rFadeOut)
            brightness = 1.0f - (decal.age - c_rFadeOut) / (1.0f - c_rFadeOut);
        if (brightness < 0.0f)
            brightness = 0.0f;
        const auto v = static_cast<uint32_t>(
            static_cast<uint8_t>(static_cast<int>(brightness * c_rPeak * 255.0f)));
        // Premultiplied: red, green, blue and alpha all scale together.
        m_pBatch->SetColor(k, v | (v << 8) | (v << 16) | (v << 24));
    }
}
