// A line of bitmap text in a scene: a string, a font, a pen origin, a
// justification and a colour. Any change marks it for a rebuild of its glyph
// quads, which the GL subclass draws.
#pragma once

#include "scene/Node.h"

#include <memory>

class Font;

class Node_Text : public Node
{
  public:
    enum Justify
    {
        c_iJustifyLeft = 0,
        c_iJustifyCentre = 1,
        c_iJustifyRight = 2,
    };

    ~Node_Text() override;

    // A new GL text node, count 1.
    static Node_Text* Create();

    // Null empties the text. The same text again changes nothing.
    void SetText(const char* text);
    // The current text; empty before the first SetText.
    const char* GetText() const { return m_pText ? m_pText.get() : ""; }
    void SetJustify(int justify);
    // Packed colour, red in the low byte.
    void SetColor(unsigned int colour);
    // The pen origin in the parent's coordinates (y downwards).
    void SetPos(int x, int y);
    // A failed load leaves the node without a font (it draws nothing).
    void SetFont(const char* path);
    Font* GetFont() const { return m_pFont; }

    int GetJustify() const { return m_iJustify; }
    unsigned int GetColor() const { return m_iColour; }
    int GetX() const { return m_iX; }
    int GetY() const { return m_iY; }
    bool IsDirty() const { return m_bDirty; }
    int GetBufferSize() const { return m_iBufferSize; }

  protected:
    Node_Text() = default;

    Font* m_pFont = nullptr;
    std::unique_ptr<char[]> m_pText;
    int m_iBufferSize = 0; // bytes, terminator included
    int m_iJustify = c_iJustifyLeft;
    int m_iX = 0;
    int m_iY = 0;
    unsigned int m_iColour = 0xFFFFFFFF;
    bool m_bDirty = true;
};
