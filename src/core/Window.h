// The abstract window: the framebuffer size and the platform's message pump.
#pragma once

class Window
{
  public:
    // Message codes Process() returns.
    static constexpr int c_iMessageNone = 0;
    static constexpr int c_iMessageQuit = 2;

    virtual ~Window() = default;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual bool IsFullscreen() const = 0;
    // The next pending platform message, 0 when there is none.
    virtual int Process() = 0;

    // Made by the factory the platform host registered (null without one).
    using Factory = Window* (*)(int width, int height, bool fullscreen);
    static Window* Create(int width, int height, bool fullscreen);
    static void SetFactory(Factory factory);
};
