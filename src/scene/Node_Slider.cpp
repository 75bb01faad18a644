#include "scene/Node_Slider.h"

#include "input/TouchManager.h"
#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/Font.h"
#include "scene/ModelVertexArrays.h"
#include "scene/Node_Text.h"

#include <GLES/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr const char* c_sValueFont = "data/fonts/oldsans18.fnt";
constexpr unsigned int c_iValueColour = 0xFFFFFFFF;
constexpr unsigned int c_iValueShadowColour = 0xFF000000;
} // namespace

Node_Slider::Node_Slider()
    : m_pLabel(Node_Text::Create()), m_pValueShadow(Node_Text::Create()),
      m_pValue(Node_Text::Create()), m_pMaterial(Material::Create())
{
    std::memcpy(m_iIndices, c_iIndexSource, sizeof(m_iIndices));
    m_pLabel->SetJustify(Node_Text::c_iJustifyCentre);
    AddChild(m_pLabel);
    for (Node_Text* value : {m_pValueShadow, m_pValue})
    {
        value->SetJustify(Node_Text::c_iJustifyCentre);
        value->SetVisible(false);
        AddChild(value);
    }
    m_pValueShadow->SetColor(c_iValueShadowColour);
    m_pValue->SetColor(c_iValueColour);
    // Opaque and untextured: the alpha bytes of the colours have no effect.
    m_pMaterial->SetOptions(Material::c_iBlendOpaque, false, false);
    if (TouchManager* touches = TouchManager::GetInstance())
        touches->AddListener(this);
}

Node_Slider::~Node_Slider()
{
    if (TouchManager* touches = TouchManager::GetInstance())
        touches->RemoveListener(this);
    m_pLabel->Release();
    m_pValueShadow->Release();
    m_pValue->Release();
    m_pMaterial->Release();
}

Node_Slider* Node_Slider::Create(float x, float y, float w, float h)
{
    auto* slider = new Node_Slider();
    slider->SetPosition(x, y, w, h);
    return slider;
}

void Node_Slider::SetPosition(float x, float y, float w, float h)
{
    m_vMin.Set(x, y);
    m_vMax.Set(x + w, y + h);
    m_vTouchMin = m_vMin;
    m_vTouchMax = m_vMax;
    m_bDirty = true;
}

void Node_Slider::SetTouchBorder(float left, float top, float right, float bottom)
{
    m_vTouchMin.Set(m_vMin.x - left, m_vMin.y - top);
    m_vTouchMax.Set(m_vMax.x + right, m_vMax.y + bottom);
}

void Node_Slider::SetColor(bool drawBackground, unsigned int frame, unsigned int fill,
                           unsigned int framePressed, unsigned int fillPressed)
{
    m_bDrawBackground = drawBackground;
    m_iFrameColour = frame;
    m_iFillColour = fill;
    m_iFramePressedColour = framePressed;
    m_iFillPressedColour = fillPressed;
    m_bDirty = true;
}

void Node_Slider::SetFont(const char* path, unsigned int labelColour,
                          unsigned int pressedLabelColour)
{
    m_pLabel->SetFont(path);
    m_iLabelColour = labelColour;
    m_iPressedLabelColour = pressedLabelColour;
    if (const Font* font = m_pLabel->GetFont())
    {
        m_pLabel->SetPos(static_cast<int>((m_vMin.x + m_vMax.x) * 0.5f),
                         static_cast<int>(m_vMin.y - static_cast<float>(font->GetHeight() + 2)));
    }
    m_bDirty = true;
}

void Node_Slider::SetText(const char* text)
{
    m_pLabel->SetText(text);
}

void Node_Slider::SetValueText(const char* text)
{
    if (!m_pValue->GetFont())
    {
        const char* font = m_pLabel->GetFont() ? m_pLabel->GetFont()->GetName() : nullptr;
        for (Node_Text* value : {m_pValueShadow, m_pValue})
            value->SetFont(font ? font : c_sValueFont);
    }
    m_pValueShadow->SetText(text);
    m_pValue->SetText(text);
    PlaceValue();
}

const char* Node_Slider::GetValueText() const
{
    return m_pValue->GetText();
}

bool Node_Slider::IsValueShown() const
{
    return m_pValue->IsVisible() && *m_pValue->GetText() != '\0';
}

void Node_Slider::PlaceValue()
{
    if (const Font* font = m_pValue->GetFont())
    {
        const int x = static_cast<int>((m_vMin.x + m_vMax.x) * 0.5f);
        const int y = static_cast<int>(
            std::floor((m_vMin.y + m_vMax.y - static_cast<float>(font->GetHeight())) * 0.5f));
        m_pValue->SetPos(x, y);
        m_pValueShadow->SetPos(x + 1, y + 1);
    }
    m_pValue->SetVisible(m_bPressed);
    m_pValueShadow->SetVisible(m_bPressed);
}

void Node_Slider::SetCallback(Callback callback, void* userData, int id)
{
    m_pCallback = callback;
    m_pUserData = userData;
    m_iCallbackId = id;
}

void Node_Slider::SetActive(bool active)
{
    m_bActive = active;
    if (m_bPressed)
    {
        m_bPressed = false;
        m_bDirty = true;
        PlaceValue();
    }
}

void Node_Slider::SetValue(float value)
{
    if (std::isnan(value))
        return;
    value = std::clamp(value, 0.0f, 1.0f);
    if (value != m_rValue)
    {
        m_rValue = value;
        m_bDirty = true;
    }
}

void Node_Slider::Report(int phase)
{
    if (m_pCallback && m_bActive)
        m_pCallback(m_pUserData, m_iCallbackId, phase, m_rValue);
}

void Node_Slider::Apply()
{
    Report(c_iPhaseChanged);
}

bool Node_Slider::TouchGetBid(int x, int y, float& bid)
{
    if (!m_bActive || m_bPressed)
        return false;
    const Vector3f& global = GetGlobalTransform().GetPosition();
    const float lx = std::trunc(static_cast<float>(x) - global.x);
    const float ly = std::trunc(static_cast<float>(y) - global.y);
    if (m_vTouchMin.x <= lx && lx < m_vTouchMax.x && m_vTouchMin.y <= ly && ly < m_vTouchMax.y)
    {
        bid = c_rBid;
        return true;
    }
    return false;
}

void Node_Slider::TouchBegan(int /*id*/, int /*x*/, int /*y*/)
{
    m_bPressed = true;
    m_bDirty = true;
    Report(c_iPhaseBegan);
    PlaceValue();
}

void Node_Slider::TouchMoved(int /*id*/, int x, int /*y*/, int prevX, int /*prevY*/)
{
    const float width = m_vMax.x - m_vMin.x;
    // A track without width cannot be dragged along.
    if (width > 0.0f)
        m_rValue = std::clamp(m_rValue + static_cast<float>(x - prevX) / width, 0.0f, 1.0f);
    m_bDirty = true;
    Report(c_iPhaseChanged);
}

void Node_Slider::TouchEnded(int /*id*/, int /*x*/, int /*y*/, int /*prevX*/, int /*prevY*/)
{
    if (!m_bPressed)
        return;
    m_bPressed = false;
    m_bDirty = true;
    Report(c_iPhaseEnded);
    PlaceValue();
}

void Node_Slider::UpdateGeometry()
{
    m_bDirty = false;
    if (!m_bDrawBackground)
        return;
    const float x0 = m_vMin.x;
    const float y0 = m_vMin.y;
    const float x1 = m_vMax.x;
    const float y1 = m_vMax.y;
    const float xf = x0 + (x1 - x0) * m_rValue;
    SetFramedBox(m_vertices, x0, y0, x1, y1, xf, c_rFrameWidth,
                 m_bPressed ? m_iFramePressedColour : m_iFrameColour,
                 m_bPressed ? m_iFillPressedColour : m_iFillColour);
}

void Node_Slider::Render(Renderer& renderer)
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
    glDrawElements(GL_TRIANGLES, 12, GL_UNSIGNED_BYTE, m_iIndices);
    renderer.CheckError();
}
