// A short line of text in a dark framed box, its right edge and middle at a given
// point, faded in, held and faded out: what the program has to tell the player
// (how to reach the panel with a mouse, where settings went, a finger too many).
// A text wider than the room it is given is shortened in the middle.
#pragma once

#include "render/ModelVertex.h"
#include "scene/Node.h"

#include <cstdint>
#include <string>

class Material;
class Node_Text;

class Node_Notice : public Node
{
  public:
    static constexpr float c_rFadeIn = 0.7f;  // seconds
    static constexpr float c_rHoldEnd = 4.3f; // seconds from the start
    static constexpr float c_rEnd = 5.0f;     // seconds from the start: gone
    static constexpr float c_rPadding = 8.0f; // points between the frame and the text
    static constexpr unsigned int c_iFrameColour = 0xFFE8C85A; // cyan, red in the low byte
    static constexpr unsigned int c_iBoxColour = 0xFF38211E;   // dark navy

    // A hidden notice with the panel's font.
    Node_Notice();
    ~Node_Notice() override;

    // Shows `text` from now for c_rEnd seconds, its box's right edge at `right`
    // and its middle at `middleY`, no wider than `maxWidth` points.
    void Show(const char* text, float right, float middleY, float maxWidth);
    void Hide();
    void Update(float dt);

    bool IsShowing() const { return IsVisible(); }
    // The text as shown (shortened if it had to be).
    const char* GetText() const;
    // The text's width in points, as the font lays it out.
    int MeasureWidth(const std::string& text) const;

    void Render(Renderer& renderer) override;

  private:
    void Layout();

    Node_Text* m_pText;
    Material* m_pMaterial;
    ModelVertex m_vertices[8];
    static constexpr uint8_t c_iIndices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    float m_rTime = 0.0f;
    float m_rRight = 0.0f;
    float m_rMiddleY = 0.0f;
    float m_rAlpha = 0.0f;
};
