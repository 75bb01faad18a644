#include "scene/Node_Text.h"

#include "scene/Font.h"
#include "scene/Node_Text_GL.h"

#include <cstring>

Node_Text::~Node_Text()
{
    if (m_pFont)
        m_pFont->Release();
}

Node_Text* Node_Text::Create()
{
    return new Node_Text_GL();
}

void Node_Text::SetText(const char* text)
{
    if (!text)
    {
        if (m_pText)
            m_pText[0] = '\0';
        m_bDirty = true;
        return;
    }
    const size_t length = std::strlen(text);
    if (m_pText && length + 1 <= static_cast<size_t>(m_iBufferSize))
    {
        if (std::strcmp(m_pText.get(), text) == 0)
            return;
    }
    else
    {
        m_pText = std::make_unique<char[]>(length + 1);
        m_iBufferSize = static_cast<int>(length + 1);
    }
    std::memcpy(m_pText.get(), text, length + 1);
    m_bDirty = true;
}

void Node_Text::SetJustify(int justify)
{
    if (justify == m_iJustify)
        return;
    m_iJustify = justify;
    m_bDirty = true;
}

void Node_Text::SetColor(unsigned int colour)
{
    if (colour == m_iColour)
        return;
    m_iColour = colour;
    m_bDirty = true;
}

void Node_Text::SetPos(int x, int y)
{
    if (x == m_iX && y == m_iY)
        return;
    m_iX = x;
    m_iY = y;
    m_bDirty = true;
}

void Node_Text::SetFont(const char* path)
{
    Font* font = Font::Load(path);
    if (font != m_pFont)
    {
        if (m_pFont)
            m_pFont->Release();
        m_pFont = font;
        if (m_pFont)
            m_pFont->AddRef();
        m_bDirty = true;
    }
    if (font)
        font->Release();
}
