// The browser's window: the portrait framebuffer size (320 x 480) the renderer
// draws, and the touch input the page's events feed. The browser delivers its
// events through callbacks, so there is never a message to drain.
#pragma once

#include "core/Window.h"
#include "platform/web/TouchInput_Web.h"

class Window_Web : public Window
{
  public:
    int GetWidth() const override { return 320; }
    int GetHeight() const override { return 480; }
    bool IsFullscreen() const override { return true; }
    int Process() override { return c_iMessageNone; }

    TouchInput_Web& GetTouchInput() { return m_touchInput; }

  private:
    TouchInput_Web m_touchInput;
};
