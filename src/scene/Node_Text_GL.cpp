#include "scene/Node_Text_GL.h"

#include "render/Material.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "scene/Font.h"
#include "scene/ModelVertexArrays.h"

#include <GLES/gl.h>

#include <cmath>

namespace
{
// Characters are looked up as signed chars widened to 16 bits, so codes 128 to
// 255 find no glyph.
FontCharacter* Lookup(Font& font, char c)
{
    return font.GetCharacter(static_cast<unsigned short>(static_cast<signed char>(c)));
}
} // namespace

Node_Text_GL::Node_Text_GL() : m_pMaterial(Material::Create())
{
    m_pMaterial->SetOptions(Material::c_iBlendAlpha, false, false);
}

Node_Text_GL::~Node_Text_GL()
{
    m_pMaterial->Release();
}

int Node_Text_GL::MeasureWidth() const
{
    if (!m_pFont || !m_pText)
        return 0;
    int width = 0;
    for (const char* c = m_pText.get(); *c; ++c)
    {
        if (*c == ' ')
            width += m_pFont->GetSpaceWidth();
        else if (const FontCharacter* glyph = Lookup(*m_pFont, *c))
            width += glyph->xadvance + glyph->GetKerning(c[1]);
    }
    // Points: a larger set's widths shrunk to the 1x layout.
    const int scale = m_pFont->GetScale();
    return scale == 1 ? width
                      : static_cast<int>(
                            std::lround(static_cast<float>(width) / static_cast<float>(scale)));
}

bool Node_Text_GL::UpdateGeometry()
{
    if (!m_pFont || !m_pText)
        return false;
    m_bDirty = false;
    // Every rebuild starts from an empty index list: stale glyphs never draw.
    m_iIndexCount = 0;

    int count = 0;
    for (const char* c = m_pText.get(); *c; ++c)
    {
        if (*c != ' ' && Lookup(*m_pFont, *c))
            ++count;
    }
    if (count > c_iMaxGlyphs)
        count = c_iMaxGlyphs;
    if (count > m_iGlyphCapacity)
    {
        m_iGlyphCapacity = count;
        m_vertices.assign(static_cast<size_t>(count) * 4, ModelVertex{});
        m_iIndices.assign(static_cast<size_t>(count) * 6, 0);
    }

    int startX = m_iX;
    if (m_iJustify == c_iJustifyCentre)
        startX -= MeasureWidth() / 2;
    else if (m_iJustify == c_iJustifyRight)
        startX -= MeasureWidth();
    // The pen in points; the font's metrics are in its pixels, `scale` to a point.
    float penX = static_cast<float>(startX);
    const auto penY = static_cast<float>(m_iY);
    const auto scale = static_cast<float>(m_pFont->GetScale());

    Texture* texture = m_pFont->GetTexture();
    if (!texture)
        return false;
    m_pMaterial->SetTexture(0, texture);
    m_iFontGeneration = m_pFont->GetGeneration();
    const float W = texture->GetPixelWidth();
    const float H = texture->GetPixelHeight();

    int drawn = 0;
    for (const char* c = m_pText.get(); *c && drawn < count; ++c)
    {
        if (*c == ' ')
        {
            penX += static_cast<float>(m_pFont->GetSpaceWidth()) / scale;
            continue;
        }
        const FontCharacter* glyph = Lookup(*m_pFont, *c);
        if (!glyph)
            continue;
        const float left = penX + static_cast<float>(glyph->xoffset) / scale;
        const float top = penY + static_cast<float>(glyph->yoffset) / scale;
        const float right = left + static_cast<float>(glyph->width) / scale;
        const float bottom = top + static_cast<float>(glyph->height) / scale;
        const float u0 = glyph->x / W;
        const float u1 = (glyph->x + glyph->width) / W;
        const float v0 = glyph->y / H;
        const float v1 = (glyph->y + glyph->height) / H;
        const float x[4] = {left, right, left, right};
        const float y[4] = {top, top, bottom, bottom};
        const float u[4] = {u0, u1, u0, u1};
        const float v[4] = {v0, v0, v1, v1};

        const size_t base = static_cast<size_t>(drawn) * 4;
        for (size_t k = 0; k < 4; ++k)
        {
            ModelVertex& vertex = m_vertices[base + k];
            vertex.position.Set(x[k], y[k], 0.0f);
            vertex.normal.Set(0.0f, 0.0f, 1.0f);
            vertex.texCoord.Set(u[k], v[k]);
            vertex.SetColour(m_iColour);
        }
        const auto b = static_cast<uint16_t>(base);
        const uint16_t quad[6] = {b,
                                  static_cast<uint16_t>(b + 2),
                                  static_cast<uint16_t>(b + 1),
                                  static_cast<uint16_t>(b + 1),
                                  static_cast<uint16_t>(b + 2),
                                  static_cast<uint16_t>(b + 3)};
        for (int k = 0; k < 6; ++k)
            m_iIndices[static_cast<size_t>(m_iIndexCount + k)] = quad[k];
        m_iIndexCount += 6;
        ++drawn;
        penX += static_cast<float>(glyph->xadvance + glyph->GetKerning(c[1])) / scale;
    }
    return true;
}

void Node_Text_GL::Render(Renderer& renderer)
{
    // A font read again for another art set has other metrics and another page.
    if (m_pFont)
    {
        m_pFont->FollowArtScale();
        if (m_pFont->GetGeneration() != m_iFontGeneration)
            m_bDirty = true;
    }
    if (m_bDirty && !UpdateGeometry())
        return;
    if (m_vertices.empty() || m_iIndexCount == 0)
        return;
    SetModelVertexArrays(m_vertices.data());
    renderer.SetMaterial(m_pMaterial);
    glDrawElements(GL_TRIANGLES, m_iIndexCount, GL_UNSIGNED_SHORT, m_iIndices.data());
    renderer.CheckError();
}
