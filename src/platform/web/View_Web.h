// The browser's GL view: a WebGL context on the page's canvas (through EGL, so
// that emscripten's fixed-function emulation serves the OpenGL ES 1.1 the
// renderer speaks) and the portrait framebuffer object the renderer draws
// into, 320 x 480 points at the view's scale in pixels a point. Live, the
// scale follows the canvas's pixel size, so that Present() copies the frame
// turned a quarter turn onto the canvas pixel for pixel, letterboxed.
#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <string>
#include <vector>

class View_Web
{
  public:
    static constexpr int c_iBackingWidth = 320; // portrait framebuffer, in points
    static constexpr int c_iBackingHeight = 480;

    // fixedScale above 0: a framebuffer of that many pixels a point whatever the
    // canvas (a headless run); 0: the canvas's own (the live page).
    explicit View_Web(float fixedScale);
    ~View_Web();

    View_Web(const View_Web&) = delete;
    View_Web& operator=(const View_Web&) = delete;

    bool IsValid() const { return m_bValid; }
    const std::string& GetError() const { return m_sError; }

    // Pixels a point: the fixed scale, or the one that fills the canvas now.
    float GetWantedScale() const;
    // Makes the framebuffer that scale's size; false when it cannot be made.
    bool SetPixelScale(float scale);
    float GetPixelScale() const { return m_rScale; }

    void Present();
    // The framebuffer as a landscape picture, top row first, RGBA.
    bool ReadLandscapeFrame(std::vector<uint8_t>& rgba);
    int GetFrameWidth() const { return m_iPixelsHigh; }
    int GetFrameHeight() const { return m_iPixelsWide; }

    static View_Web* GetInstance() { return s_pInstance; }

  private:
    bool CreateContext();
    bool CreateFramebuffer();
    void DestroyFramebuffer();
    void DrawToCanvas();

    bool m_bValid = false;
    std::string m_sError;
    float m_rFixedScale;
    float m_rScale = 1.0f;
    int m_iPixelsWide = c_iBackingWidth; // the framebuffer in pixels
    int m_iPixelsHigh = c_iBackingHeight;
    EGLDisplay m_display = EGL_NO_DISPLAY;
    EGLSurface m_surface = EGL_NO_SURFACE;
    EGLContext m_context = EGL_NO_CONTEXT;
    unsigned int m_iFramebuffer = 0;
    unsigned int m_iColourTexture = 0;
    unsigned int m_iDepthRenderbuffer = 0;

    static View_Web* s_pInstance;
};
