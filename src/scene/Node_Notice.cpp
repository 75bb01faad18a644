#include "scene/Node_Notice.h"

#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/Font.h"
#include "scene/ModelVertexArrays.h"
#include "scene/Node_Text.h"

#include <GLES/gl.h>

#include <algorithm>
#include <cmath>

namespace
{
constexpr const char* c_sFont = "data/fonts/oldsans18.fnt";
constexpr const char* c_sEllipsis = "...";

unsigned int WithAlpha(unsigned int colour, float alpha)
{
    const auto a = static_cast<unsigned int>(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
    return (colour & 0x00FFFFFFu) | (a << 24);
}
} // namespace

Node_Notice::Node_Notice() : m_pText(Node_Text::Create()), m_pMaterial(Material::Create())
{
    m_pText->SetFont(c_sFont);
    m_pText->SetJustify(Node_Text::c_iJustifyRight);
    AddChild(m_pText);
    m_pMaterial->SetOptions(Material::c_iBlendAlpha, false, false);
    Hide();
}

Node_Notice::~Node_Notice()
{
    m_pText->Release();
    m_pMaterial->Release();
}

int Node_Notice::MeasureWidth(const std::string& text) const
{
    Font* font = m_pText->GetFont();
    if (!font)
        return 0;
    int width = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        if (c == ' ')
            width += font->GetSpaceWidth();
        else if (const FontCharacter* glyph =
                     font->GetCharacter(static_cast<unsigned short>(static_cast<signed char>(c))))
            width += glyph->xadvance + glyph->GetKerning(i + 1 < text.size() ? text[i + 1] : '\0');
    }
    return width / font->GetScale();
}

void Node_Notice::Show(const char* text, float right, float middleY, float maxWidth)
{
    std::string shown = text ? text : "";
    const float room = maxWidth - 2.0f * c_rPadding;
    if (static_cast<float>(MeasureWidth(shown)) > room)
    {
        // Cut from the middle: the start says what happened, the end where.
        const std::string whole = shown;
        const size_t head = std::min<size_t>(whole.size() / 3, 24);
        size_t cut = 1;
        do
        {
            shown = whole.substr(0, head) + c_sEllipsis +
                    whole.substr(std::min(head + cut, whole.size()));
            ++cut;
        } while (static_cast<float>(MeasureWidth(shown)) > room && head + cut <= whole.size());
    }
    m_pText->SetText(shown.c_str());
    m_rRight = right;
    m_rMiddleY = middleY;
    m_rTime = 0.0f;
    SetVisible(true);
    SetChildrenVisible(true);
    Update(0.0f);
}

void Node_Notice::Hide()
{
    SetVisible(false);
    SetChildrenVisible(false);
}

const char* Node_Notice::GetText() const
{
    return m_pText->GetText();
}

void Node_Notice::Update(float dt)
{
    if (!IsVisible())
        return;
    m_rTime += dt;
    if (m_rTime >= c_rEnd)
    {
        Hide();
        return;
    }
    if (m_rTime < c_rFadeIn)
        m_rAlpha = m_rTime / c_rFadeIn;
    else if (m_rTime < c_rHoldEnd)
        m_rAlpha = 1.0f;
    else
        m_rAlpha = 1.0f - (m_rTime - c_rHoldEnd) / (c_rEnd - c_rHoldEnd);
    Layout();
}

void Node_Notice::Layout()
{
    const Font* font = m_pText->GetFont();
    const float height = font ? static_cast<float>(font->GetHeight()) : 18.0f;
    const float width = static_cast<float>(MeasureWidth(m_pText->GetText()));
    const float x1 = m_rRight;
    const float x0 = x1 - width - 2.0f * c_rPadding;
    const float y0 = std::round(m_rMiddleY - height * 0.5f) - 3.0f;
    const float y1 = y0 + height + 6.0f;
    const float b = 1.5f; // the frame's width in points
    SetFramedBox(m_vertices, x0, y0, x1, y1, x1, b, WithAlpha(c_iFrameColour, m_rAlpha),
                 WithAlpha(c_iBoxColour, m_rAlpha * 0.9f));
    m_pText->SetPos(static_cast<int>(x1 - c_rPadding), static_cast<int>(y0 + 3.0f));
    m_pText->SetColor(WithAlpha(0xFFFFFFFF, m_rAlpha));
}

void Node_Notice::Render(Renderer& renderer)
{
    renderer.SetMaterial(m_pMaterial);
    SetModelVertexArrays(m_vertices);
    glDrawElements(GL_TRIANGLES, 12, GL_UNSIGNED_BYTE, c_iIndices);
    renderer.CheckError();
}
