// The page's input, through emscripten's html5.h: every touch point on the
// canvas is a finger, the left mouse button one more, and the desktop keys
// work in a desktop browser (Tab the panel, Escape and Space lift every
// finger, Ctrl+S keeps the settings). CSS pixels map through the canvas's
// backing size and the letterbox to landscape scene points.
#pragma once

#include <functional>

class TouchInput_Web;

class PageEvents_Web
{
  public:
    struct Actions
    {
        std::function<void()> togglePanel;  // Tab
        std::function<void()> saveSettings; // Ctrl+S
        std::function<void()> firstGesture; // the first touch or click: sound may start
        std::function<void(bool)> pointer;  // a press: true from a mouse, false from a touch
    };

    // Listens on the page's canvas until destroyed.
    PageEvents_Web(TouchInput_Web& input, Actions actions);
    ~PageEvents_Web();

    PageEvents_Web(const PageEvents_Web&) = delete;
    PageEvents_Web& operator=(const PageEvents_Web&) = delete;

    // A point in the canvas's CSS pixels to landscape scene points.
    static void CssToScene(double cssX, double cssY, float& x, float& y);

    TouchInput_Web& GetInput() { return m_input; }
    const Actions& GetActions() const { return m_actions; }
    bool m_bMouseDown = false;

  private:
    TouchInput_Web& m_input;
    Actions m_actions;
};
