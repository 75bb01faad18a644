// The desktop window: reports the portrait framebuffer size (320 x 480) and
// drains SDL's events, turning them into window messages. The SDL window
// itself belongs to the GL view (View_SDL).
#pragma once

#include "core/Window.h"
#include "platform/sdl/TouchInput_SDL.h"

#include <SDL.h>

#include <functional>

class Window_SDL : public Window
{
  public:
    // What the window's keys and focus changes do, given by the host (an
    // empty action does nothing).
    struct Actions
    {
        std::function<bool()> togglePanel;      // Tab; false when nothing could
        std::function<void()> saveSettings;     // Ctrl+S
        std::function<void(bool)> focusChanged; // true: the window has the focus
        std::function<void(bool)> pointer;      // a press: true from the mouse, false a finger
    };

    // headless: no SDL window and no events.
    Window_SDL(bool headless, bool fullscreen);
    ~Window_SDL() override;

    int GetWidth() const override { return 320; }
    int GetHeight() const override { return 480; }
    bool IsFullscreen() const override { return m_bFullscreen; }
    // 2 when the window was closed or Ctrl+Q pressed, 0 when no event is left.
    int Process() override;

    void SetActions(Actions actions) { m_actions = std::move(actions); }
    bool IsHeadless() const { return m_bHeadless; }
    bool HasFocus() const { return m_bFocused; }
    // The GL view's window; null headless or before the renderer exists.
    SDL_Window* GetSDLWindow() const;
    void ToggleFullscreen();
    // Opens the control panel, or closes it from whatever page it shows;
    // false when the main state is not running.
    bool TogglePanel() { return m_actions.togglePanel && m_actions.togglePanel(); }
    // Ctrl+S: the settings into the configuration folder, saying where.
    void SaveSettings()
    {
        if (m_actions.saveSettings)
            m_actions.saveSettings();
    }
    // Sleeps until an event arrives or `seconds` (at most 1) have passed; true
    // when events are waiting for Process(). Headless it only sleeps.
    bool WaitForEvents(double seconds);

    // Handles one event; returns the message it makes (0 for none). Keys: F11
    // full screen, Ctrl+Q quit, Tab the panel, Escape lifts the held fingers,
    // Space every finger. Headless, mouse points are landscape points.
    int HandleEvent(const SDL_Event& event);

    // Mouse and finger contacts, fed to the touch manager.
    TouchInput_SDL& GetTouchInput() { return m_touchInput; }

  private:
    // Full screen by hand, for a desktop without a window manager: the window
    // without borders over its whole display, or back where it was.
    void FillDisplay(SDL_Window* window);
    void LeaveFilledDisplay(SDL_Window* window);
    // After a toggle to full screen that nothing carried out (the GL surface
    // kept its size while SDL took the display's), fills the display by hand.
    void FollowFullscreen();

    bool m_bHeadless;
    bool m_bFullscreen;
    bool m_bFilledByHand = false; // full screen without SDL's full-screen mode
    Uint32 m_iToggledAt = 0;      // SDL ticks (ms) of the last toggle to full screen
    SDL_Rect m_windowed{};        // the window's place before full screen
    bool m_bFocused = true;
    bool m_bVideo = false;
    TouchInput_SDL m_touchInput;
    Actions m_actions;
};
