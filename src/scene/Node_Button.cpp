#include "scene/Node_Button.h"

#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/Font.h"
#include "scene/ModelVertexArrays.h"
#include "scene/Node_Text.h"

#include <GLES/gl.h>

#include <cmath>

Node_Button::Node_Button() : m_pLabel(Node_Text::Create()), m_pMaterial(Material::Create())
{
    m_pLabel->SetJustify(Node_Text::c_iJustifyCentre);
    AddChild(m_pLabel);
    // Opaque and untextured, so the frame's zero colour shows as black.
    m_pMaterial->SetOptions(Material::c_iBlendOpaque, false, false);
    if (TouchManager* touches = TouchManager::GetInstance())
        touches->AddListener(this);
}

Node_Button::~Node_Button()
{
    if (TouchManager* touches = TouchManager::GetInstance())
        touches->RemoveListener(this);
    m_pLabel->Release();
    m_pMaterial->Release();
}

Node_Button* Node_Button::Create(float x, float y, float w, float h)
{
    auto* button = new Node_Button();
    button->SetPosition(x, y, w, h);
    return button;
}

void Node_Button::SetPosition(float x, float y, float w, float h)
{
    m_vMin.Set(x, y);
    m_vMax.Set(x + w, y + h);
    m_vTouchMin = m_vMin;
    m_vTouchMax = m_vMax;
    m_bDirty = true;
}

void Node_Button::SetTouchBorder(float left, float top, float right, float bottom)
{
    m_vTouchMin.Set(m_vMin.x - left, m_vMin.y - top);
    m_vTouchMax.Set(m_vMax.x + right, m_vMax.y + bottom);
}

void Node_Button::SetColor(bool drawBackground, unsigned int colour, unsigned int pressedColour)
{
    m_bDrawBackground = drawBackground;
    m_iColour = colour;
    m_iPressedColour = pressedColour;
    m_bDirty = true;
}

void Node_Button::SetFont(const char* path, unsigned int labelColour,
                          unsigned int pressedLabelColour)
{
    m_pLabel->SetFont(path);
    m_iLabelColour = labelColour;
    m_iPressedLabelColour = pressedLabelColour;
    if (const Font* font = m_pLabel->GetFont())
    {
        m_pLabel->SetPos(static_cast<int>((m_vMin.x + m_vMax.x) * 0.5f),
                         static_cast<int>((m_vMin.y + m_vMax.y) * 0.5f) - font->GetHeight() / 2);
    }
    m_bDirty = true;
}

void Node_Button::SetTextOffset(float dx, float dy)
{
    const Font* font = m_pLabel->GetFont();
    if (!font)
        return;
    const auto halfHeight = static_cast<float>(font->GetHeight() / 2);
    const float top = std::trunc((m_vMin.y + m_vMax.y) * 0.5f - halfHeight);
    m_pLabel->SetPos(static_cast<int>(dx + (m_vMin.x + m_vMax.x) * 0.5f),
                     static_cast<int>(top + dy));
}

void Node_Button::SetText(const char* text)
{
    m_pLabel->SetText(text);
}

const char* Node_Button::GetText() const
{
    return m_pLabel->GetText();
}

void Node_Button::SetLabelColor(unsigned int labelColour, unsigned int pressedLabelColour)
{
    m_iLabelColour = labelColour;
    m_iPressedLabelColour = pressedLabelColour;
    m_bDirty = true;
}

void Node_Button::SetCallback(Callback callback, void* userData, int id)
{
    m_pCallback = callback;
    m_pUserData = userData;
    m_iCallbackId = id;
}

bool Node_Button::PointIsInside(int x, int y)
{
    const Vector3f& global = GetGlobalTransform().GetPosition();
    float px;
    float py;
    if (m_pCamera)
    {
        const Vector3f& camera = m_pCamera->GetInvTransform().GetPosition();
        px = static_cast<float>(x) + camera.x - 0.5f * m_pCamera->GetScreenWidth() - global.x;
        py = static_cast<float>(y) + camera.y - 0.5f * m_pCamera->GetScreenHeight() - global.y;
    }
    else
    {
        px = std::trunc(static_cast<float>(x) - global.x);
        py = std::trunc(static_cast<float>(y) - global.y);
    }
    return m_vTouchMin.x <= px && px < m_vTouchMax.x && m_vTouchMin.y <= py && py < m_vTouchMax.y;
}

void Node_Button::Call()
{
    if (m_pCallback && m_bActive)
        m_pCallback(m_pUserData, m_iCallbackId);
}

bool Node_Button::TouchGetBid(int x, int y, float& bid)
{
    if (!m_bActive || !PointIsInside(x, y))
        return false;
    bid = c_rBid;
    return true;
}

void Node_Button::TouchBegan(int /*id*/, int /*x*/, int /*y*/)
{
    m_bPressed = true;
    m_bDirty = true;
    if (m_bCallbackOnTouch)
        Call();
}

void Node_Button::TouchMoved(int /*id*/, int x, int y, int /*prevX*/, int /*prevY*/)
{
    const bool inside = PointIsInside(x, y);
    if (inside != m_bPressed)
    {
        m_bPressed = inside;
        m_bDirty = true;
    }
}

void Node_Button::TouchEnded(int /*id*/, int x, int y, int /*prevX*/, int /*prevY*/)
{
    if (!m_bPressed)
        return;
    m_bPressed = false;
    m_bDirty = true;
    // Called last: the callback may rebuild the panel this button belongs to.
    if (!m_bCallbackOnTouch && PointIsInside(x, y))
        Call();
}

void Node_Button::TouchCanceled(int /*id*/, int /*x*/, int /*y*/, int /*prevX*/, int /*prevY*/)
{
    m_bPressed = false;
    m_bDirty = true;
}

void Node_Button::UpdateGeometry()
{
    m_bDirty = false;
    if (!m_bDrawBackground)
        return;
    const float x0 = m_vMin.x;
    const float y0 = m_vMin.y;
    const float x1 = m_vMax.x;
    const float y1 = m_vMax.y;
    const float inset = c_rFrameWidth;
    const unsigned int face = m_bPressed ? m_iPressedColour : m_iColour;
    SetFlatVertex(m_vertices[0], x0, y0, 0);
    SetFlatVertex(m_vertices[1], x1, y0, 0);
    SetFlatVertex(m_vertices[2], x0, y1, 0);
    SetFlatVertex(m_vertices[3], x1, y1, 0);
    SetFlatVertex(m_vertices[4], x0 + inset, y0 + inset, face);
    SetFlatVertex(m_vertices[5], x1 - inset, y0 + inset, face);
    SetFlatVertex(m_vertices[6], x0 + inset, y1 - inset, face);
    SetFlatVertex(m_vertices[7], x1 - inset, y1 - inset, face);
}

void Node_Button::Render(Renderer& renderer)
{
    if (m_bDirty)
    {
        UpdateGeometry();
        m_pLabel->SetColor(m_bPressed ? m_iPressedLabelColour : m_iLabelColour);
    }
    if (!m_bDrawBackground)
        return;
    renderer.SetMaterial(m_pMaterial);
    SetModelVertexArrays(m_vertices);
    glDrawElements(GL_TRIANGLES, 12, GL_UNSIGNED_BYTE, c_iIndices);
    renderer.CheckError();
}
