// The small image in the bottom-right corner that reacts only to a double tap:
// the first tap passes through to whatever lies beneath, a second within half a
// second is taken and calls back when it lifts inside. First taps never followed
// up are counted.
#pragma once

#include "core/Vector2f.h"
#include "input/TouchListener.h"
#include "scene/Node.h"

class Material;
class Node_Sprite;

class Node_DoubleClickButton : public Node, public TouchListener
{
  public:
    using Callback = void (*)(void* userData, int id);

    static constexpr float c_rBid = 100.0f;
    static constexpr float c_rDoubleTapSeconds = 0.5f;
    static constexpr float c_rCornerSize = 50.0f;              // points, square in the corner
    static constexpr unsigned int c_iArmedColour = 0xAA88FF88; // light green, partly transparent
    static constexpr unsigned int c_iIdleColour = 0x66666666;  // grey, 40 % opaque

    // Removes itself from the touch manager.
    ~Node_DoubleClickButton() override;

    // A new button showing the image (or nothing, if it cannot be loaded),
    // registered with the touch manager.
    static Node_DoubleClickButton* Create(const char* image);

    void SetCallback(Callback callback, void* userData, int id);
    // Shows the image centred on the corner, or hides it; a hidden button takes
    // no taps.
    void SetVisible(bool visible);
    bool IsShown() const { return m_bShown; }
    // Once per frame: ages the first tap and sets the image's colour.
    void Update(float seconds);
    // First taps not followed up in time; reset clears the count afterwards.
    int GetFailedClickCount(bool reset);
    // The image's material, null without an image.
    Material* GetMaterial() const;
    Node_Sprite* GetSprite() const { return m_pSprite; }
    bool IsArmed() const { return m_bArmed; }
    const Vector2f& GetMin() const { return m_vMin; }
    const Vector2f& GetMax() const { return m_vMax; }

    // The image is a child and draws itself.
    void Render(Renderer& /*renderer*/) override {}

    bool TouchGetBid(int x, int y, float& bid) override;
    // A held finger on it is a click: let go with the button that placed it.
    bool TouchKeepsHeld() const override { return false; }
    void TouchEnded(int id, int x, int y, int prevX, int prevY) override;

  protected:
    explicit Node_DoubleClickButton(const char* image);

  private:
    bool Contains(int x, int y) const;

    Node_Sprite* m_pSprite;
    bool m_bShown = true;
    bool m_bArmed = false;
    float m_rTimer = c_rDoubleTapSeconds; // seconds since the first tap
    Vector2f m_vMin;
    Vector2f m_vMax;
    int m_iFailedClicks = 0;
    Callback m_pCallback = nullptr;
    void* m_pUserData = nullptr;
    int m_iCallbackId = 0;
};
