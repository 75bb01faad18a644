// The browser's GL view: a WebGL context on the page's canvas (through EGL, so
// that emscripten's fixed-function emulation serves the OpenGL ES 1.1 the
// renderer speaks) and the 320 x 480 portrait framebuffer object the renderer
// draws into. Present() shows it on the canvas turned a quarter turn, scaled
// to the canvas's pixels and letterboxed.
#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <string>
#include <vector>

class View_Web
{
  public:
    static constexpr int c_iBackingWidth = 320; // portrait framebuffer, in pixels
    static constexpr int c_iBackingHeight = 480;

    // Headless runs present too, on a canvas nobody looks at: one path for both.
    View_Web();
    ~View_Web();

    View_Web(const View_Web&) = delete;
    View_Web& operator=(const View_Web&) = delete;

    bool IsValid() const { return m_bValid; }
    const std::string& GetError() const { return m_sError; }

    void Present();
    // The framebuffer as a 480 x 320 landscape picture, top row first, RGBA.
    bool ReadLandscapeFrame(std::vector<uint8_t>& rgba);

    static View_Web* GetInstance() { return s_pInstance; }

    // The landscape picture's place in a canvas of that size, in pixels: the
    // largest 3:2 rectangle that fits, centred.
    static void FitLandscape(int canvasWidth, int canvasHeight, int& x, int& y, int& width,
                             int& height);

  private:
    bool CreateContext();
    bool CreateFramebuffer();
    void DrawToCanvas();

    bool m_bValid = false;
    std::string m_sError;
    EGLDisplay m_display = EGL_NO_DISPLAY;
    EGLSurface m_surface = EGL_NO_SURFACE;
    EGLContext m_context = EGL_NO_CONTEXT;
    unsigned int m_iFramebuffer = 0;
    unsigned int m_iColourTexture = 0;
    unsigned int m_iDepthRenderbuffer = 0;

    static View_Web* s_pInstance;
};
