#include "platform/sdl/Window_SDL.h"

#include "platform/sdl/SoundManager_SDL.h"
#include "platform/sdl/View_SDL.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
// Without a runtime folder Wayland cannot connect, and libwayland says so on
// standard error in a line of its own while SDL probes it. Unless the user
// chose the drivers, SDL then tries every one of its drivers but Wayland, in
// its own order.
void SkipUnreachableWayland()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (SDL_GetHint(SDL_HINT_VIDEODRIVER) || (runtime && runtime[0] == '/') ||
        (display && display[0] == '/'))
        return;
    std::string drivers;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i)
    {
        const char* name = SDL_GetVideoDriver(i);
        if (!name || std::strcmp(name, "wayland") == 0)
            continue;
        drivers.append(drivers.empty() ? "" : ",").append(name);
    }
    if (!drivers.empty())
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
}
} // namespace

Window_SDL::Window_SDL(bool headless, bool fullscreen)
    : m_bHeadless(headless), m_bFullscreen(fullscreen)
{
    if (m_bHeadless)
        return;
    SkipUnreachableWayland();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
    {
        std::fprintf(stderr, "zindle: cannot open the video system: %s\n", SDL_GetError());
        return;
    }
    m_bVideo = true;
}

Window_SDL::~Window_SDL()
{
    if (m_bVideo)
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

SDL_Window* Window_SDL::GetSDLWindow() const
{
    View_SDL* view = View_SDL::GetInstance();
    return view ? view->GetSDLWindow() : nullptr;
}

void Window_SDL::ToggleFullscreen()
{
    SDL_Window* window = GetSDLWindow();
    if (!window)
        return;
    m_bFullscreen = !m_bFullscreen;
    if (m_bFilledByHand)
    {
        LeaveFilledDisplay(window);
        return;
    }
    if (m_bFullscreen)
    {
        // Where the window goes back to, should the display be filled by hand.
        m_iToggledAt = SDL_GetTicks();
        SDL_GetWindowPosition(window, &m_windowed.x, &m_windowed.y);
        SDL_GetWindowSize(window, &m_windowed.w, &m_windowed.h);
    }
    SDL_SetWindowFullscreen(window, m_bFullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

void Window_SDL::FollowFullscreen()
{
    // A window manager resizes the window within a few frames; without one,
    // SDL believes the display's size at once and the window keeps its own,
    // so that only a corner of the picture would show.
    constexpr Uint32 c_iGraceMilliseconds = 500;
    SDL_Window* window = GetSDLWindow();
    View_SDL* view = View_SDL::GetInstance();
    if (!m_bFullscreen || m_bFilledByHand || !window || !view ||
        SDL_GetTicks() - m_iToggledAt < c_iGraceMilliseconds)
        return;
    int believedWidth = 0, believedHeight = 0, width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &believedWidth, &believedHeight);
    if (!view->GetSurfaceSize(width, height) ||
        (width == believedWidth && height == believedHeight))
        return;
    SDL_SetWindowFullscreen(window, 0);
    FillDisplay(window);
}

void Window_SDL::FillDisplay(SDL_Window* window)
{
    SDL_Rect display{};
    if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(window), 0), &display) != 0)
        return;
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, display.x, display.y);
    SDL_SetWindowSize(window, display.w, display.h);
    m_bFilledByHand = true;
}

void Window_SDL::LeaveFilledDisplay(SDL_Window* window)
{
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowSize(window, m_windowed.w, m_windowed.h);
    SDL_SetWindowPosition(window, m_windowed.x, m_windowed.y);
    m_bFilledByHand = false;
}

bool Window_SDL::WaitForEvents(double seconds)
{
    if (!m_bVideo)
    {
        if (seconds > 0.0)
            SDL_Delay(static_cast<Uint32>(std::ceil(seconds * 1000.0)));
        return false;
    }
    // Whole milliseconds, rounded up so that a short wait never spins. The
    // event stays queued for Process().
    const double milliseconds = std::ceil(std::clamp(seconds, 0.0, 1.0) * 1000.0);
    return SDL_WaitEventTimeout(nullptr, static_cast<int>(milliseconds)) == 1;
}

int Window_SDL::Process()
{
    if (!m_bVideo)
        return c_iMessageNone;
    FollowFullscreen();
    SDL_Event event;
    while (SDL_PollEvent(&event))
    {
        const int message = HandleEvent(event);
        if (message != c_iMessageNone)
            return message;
    }
    return c_iMessageNone;
}

int Window_SDL::HandleEvent(const SDL_Event& event)
{
    switch (event.type)
    {
    case SDL_QUIT:
        return c_iMessageQuit;
    case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_q && (event.key.keysym.mod & KMOD_CTRL))
            return c_iMessageQuit;
        if (event.key.repeat)
            break;
        if (event.key.keysym.sym == SDLK_s && (event.key.keysym.mod & KMOD_CTRL))
            SaveSettings();
        else if (event.key.keysym.sym == SDLK_F11)
            ToggleFullscreen();
        else if (event.key.keysym.sym == SDLK_TAB)
            TogglePanel();
        else if (event.key.keysym.sym == SDLK_ESCAPE)
            m_touchInput.LiftHeld();
        else if (event.key.keysym.sym == SDLK_SPACE)
            m_touchInput.LiftAll();
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
        {
            m_bFocused = true;
            if (m_actions.focusChanged)
                m_actions.focusChanged(true);
        }
        else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
        {
            m_bFocused = false;
            if (m_actions.focusChanged)
                m_actions.focusChanged(false);
        }
        else if (event.window.event == SDL_WINDOWEVENT_CLOSE)
        {
            return c_iMessageQuit;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP:
    {
        // Without a window (headless) window points are landscape points.
        TouchInput_SDL::Geometry geometry{480, 320, 480, 320};
        if (SDL_Window* window = GetSDLWindow())
        {
            SDL_GetWindowSize(window, &geometry.windowWidth, &geometry.windowHeight);
            SDL_GL_GetDrawableSize(window, &geometry.drawableWidth, &geometry.drawableHeight);
        }
        // The hints speak of what the player presses with: SDL's mouse copies of
        // touches are not the mouse.
        if (m_actions.pointer && event.type == SDL_MOUSEBUTTONDOWN &&
            event.button.which != SDL_TOUCH_MOUSEID)
            m_actions.pointer(true);
        else if (m_actions.pointer && event.type == SDL_FINGERDOWN)
            m_actions.pointer(false);
        m_touchInput.HandleEvent(event, geometry);
        break;
    }
    case SDL_AUDIODEVICEREMOVED:
        if (!event.adevice.iscapture)
        {
            auto* manager = dynamic_cast<SoundManager_SDL*>(SoundManager::GetInstance());
            if (manager && manager->HasDevice() && event.adevice.which == manager->GetDevice())
                manager->InterruptionCallback(1);
        }
        break;
    case SDL_AUDIODEVICEADDED:
        if (!event.adevice.iscapture)
        {
            auto* manager = dynamic_cast<SoundManager_SDL*>(SoundManager::GetInstance());
            if (manager && !manager->HasDevice())
                manager->InterruptionCallback(0);
        }
        break;
    default:
        break;
    }
    return c_iMessageNone;
}
