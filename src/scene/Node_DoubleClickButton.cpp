#include "scene/Node_DoubleClickButton.h"

#include "input/TouchManager.h"
#include "render/Renderer.h"
#include "scene/Node_Sprite.h"

Node_DoubleClickButton::Node_DoubleClickButton(const char* image)
    : m_pSprite(Node_Sprite::Create(image))
{
    // The landscape screen's bottom-right corner.
    Renderer* renderer = Renderer::GetInstance();
    m_vMax = renderer ? renderer->GetScreenSize(true) : Vector2f(480.0f, 320.0f);
    m_vMin.Set(m_vMax.x - c_rCornerSize, m_vMax.y - c_rCornerSize);
    if (m_pSprite)
        AddChild(m_pSprite);
    if (TouchManager* touches = TouchManager::GetInstance())
        touches->AddListener(this);
}

Node_DoubleClickButton::~Node_DoubleClickButton()
{
    if (TouchManager* touches = TouchManager::GetInstance())
        touches->RemoveListener(this);
    if (m_pSprite)
        m_pSprite->Release();
}

Node_DoubleClickButton* Node_DoubleClickButton::Create(const char* image)
{
    auto* button = new Node_DoubleClickButton(image);
    button->SetVisible(true);
    return button;
}

void Node_DoubleClickButton::SetCallback(Callback callback, void* userData, int id)
{
    m_pCallback = callback;
    m_pUserData = userData;
    m_iCallbackId = id;
}

void Node_DoubleClickButton::SetVisible(bool visible)
{
    m_bShown = visible;
    if (!m_pSprite)
        return;
    if (visible)
        m_pSprite->SetPosition((m_vMin.x + m_vMax.x) * 0.5f, (m_vMin.y + m_vMax.y) * 0.5f, true,
                               0.0f, 1.0f);
    else
        m_pSprite->SetInvisible();
}

void Node_DoubleClickButton::Update(float seconds)
{
    m_rTimer += seconds;
    unsigned int colour = c_iIdleColour;
    if (m_bArmed)
    {
        if (m_rTimer < c_rDoubleTapSeconds)
        {
            colour = c_iArmedColour;
        }
        else
        {
            m_bArmed = false;
            ++m_iFailedClicks;
        }
    }
    if (m_pSprite)
        m_pSprite->SetColor(colour);
}

int Node_DoubleClickButton::GetFailedClickCount(bool reset)
{
    const int count = m_iFailedClicks;
    if (reset)
        m_iFailedClicks = 0;
    return count;
}

Material* Node_DoubleClickButton::GetMaterial() const
{
    return m_pSprite ? m_pSprite->GetMaterial() : nullptr;
}

bool Node_DoubleClickButton::Contains(int x, int y) const
{
    const auto px = static_cast<float>(x);
    const auto py = static_cast<float>(y);
    return m_vMin.x <= px && px < m_vMax.x && m_vMin.y <= py && py < m_vMax.y;
}

bool Node_DoubleClickButton::TouchGetBid(int x, int y, float& bid)
{
    if (!m_bShown || !Contains(x, y))
        return false;
    if (m_rTimer >= c_rDoubleTapSeconds)
    {
        // A first tap: remember it and let the touch go to whoever is below.
        m_rTimer = 0.0f;
        m_bArmed = true;
        return false;
    }
    bid = c_rBid;
    m_rTimer = c_rDoubleTapSeconds;
    m_bArmed = false;
    m_iFailedClicks = 0;
    return true;
}

void Node_DoubleClickButton::TouchEnded(int /*id*/, int x, int y, int /*prevX*/, int /*prevY*/)
{
    if (Contains(x, y) && m_pCallback)
        m_pCallback(m_pUserData, m_iCallbackId);
}
