// The GL view: owns the SDL window (none headless, where SDL's offscreen
// driver gives the context a surface) and an OpenGL ES 1.1 context, and the
// portrait framebuffer object the renderer draws into: 320 x 480 points at the
// view's pixel scale. present() shows that framebuffer on the window turned a
// quarter turn counter-clockwise, pixel for pixel and letterboxed; headless it
// only keeps the frame.
#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES/gl.h>
#include <GLES/glext.h>
#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

class View_SDL
{
  public:
    static constexpr int c_iBackingWidth = 320; // portrait framebuffer, in points
    static constexpr int c_iBackingHeight = 480;
    static constexpr int c_iDefaultWindowWidth = 960;
    static constexpr int c_iDefaultWindowHeight = 640;

    // Creates the window (live), the context and the framebuffer, then shows
    // the launch image. IsValid() tells whether all of it worked. The framebuffer
    // has headlessScale pixels a point headless (1 to 16); live, as many as fill
    // the window's drawable. Live, the window opens at windowWidth x windowHeight.
    View_SDL(bool headless, bool fullscreen, float headlessScale = 1.0f,
             int windowWidth = c_iDefaultWindowWidth, int windowHeight = c_iDefaultWindowHeight);
    ~View_SDL();

    View_SDL(const View_SDL&) = delete;
    View_SDL& operator=(const View_SDL&) = delete;

    bool IsValid() const { return m_bValid; }
    bool IsHeadless() const { return m_bHeadless; }
    // Why the view is not valid.
    const std::string& GetError() const { return m_sError; }

    // Shows the finished framebuffer. With deferred presenting, it only sends
    // the frame on its way: the drawing (in software, many milliseconds) goes
    // on while the caller handles input, then CompletePresent() shows it.
    void present();
    void SetDeferredPresent(bool deferred) { m_bDeferPresent = deferred; }
    // A deferred frame waits to be shown.
    bool IsPresentPending() const { return m_bPresentPending; }
    // Its drawing is done (CompletePresent will not wait for it).
    bool IsFrameDrawn() const;
    // Shows a deferred frame, waiting for its drawing if need be.
    void CompletePresent();
    // Makes the context current on the calling thread; releases it.
    void lockContext();
    void unlockContext();

    // The window the player sees; null headless.
    SDL_Window* GetSDLWindow() const { return m_bHeadless ? nullptr : m_pWindow; }
    // The framebuffer as a landscape picture (480 x 320 points at the pixel
    // scale), top row first, RGBA. Reads what the framebuffer holds now: the
    // last presented frame between frames.
    bool ReadLandscapeFrame(std::vector<uint8_t>& rgba);
    // The landscape picture's size in pixels.
    int GetFrameWidth() const { return m_iBackingHeight; }
    int GetFrameHeight() const { return m_iBackingWidth; }

    // Framebuffer pixels per point; the framebuffer is remade when its size
    // changes (false when that fails: the view is no longer valid).
    bool SetPixelScale(float scale);
    float GetPixelScale() const { return m_rScale; }
    // The size of the window's GL surface in pixels as EGL has it, which
    // follows the window itself rather than what SDL believes of it; false
    // without a current EGL surface.
    bool GetSurfaceSize(int& width, int& height) const;
    // The scale at which the picture fills the window's drawable (HiDPI pixels);
    // headless, the view's own.
    float GetWindowScale() const;
    // Maps a window point (SDL window coordinates) through the letterbox to a
    // landscape screen point; false outside the picture or without a window.
    bool WindowToLandscape(float windowX, float windowY, float& landscapeX,
                           float& landscapeY) const;

    // The two halves of a live present: draw the framebuffer turned and
    // letterboxed into the window's back buffer (left bound for reading),
    // then draw into the framebuffer object again.
    void DrawToWindow();
    void BindFramebuffer();

    // The view the renderer presents through; null when none exists.
    static View_SDL* GetInstance() { return s_pInstance; }

    // The landscape picture's place in a drawable of that size, in pixels:
    // the largest 3:2 rectangle that fits, centred, drawn at ScaleFor pixels a point.
    static void FitLandscape(int drawableWidth, int drawableHeight, int& x, int& y, int& width,
                             int& height);
    static float ScaleFor(int drawableWidth, int drawableHeight);
    // A length in points as framebuffer pixels at that scale.
    static int PixelsFor(int points, float scale);

  private:
    bool CreateContext(bool fullscreen, int width, int height);
    bool LoadFramebufferFunctions();
    bool createFramebuffer();
    void destroyFramebuffer();
    void displayLoadingImage();

    // The window's half of a present: the frame turned into the window, swapped.
    void ShowFrame();
    // A fence after the frame's drawing commands; false when fences are missing.
    bool PlaceFence();
    void DropFence();

    bool m_bHeadless;
    bool m_bValid = false;
    bool m_bDeferPresent = false;
    bool m_bPresentPending = false;
    EGLSyncKHR m_pFence = nullptr; // while a deferred frame is drawn
    bool m_bVideo = false;
    std::string m_sError;
    SDL_Window* m_pWindow = nullptr;
    SDL_GLContext m_context = nullptr;
    float m_rScale = 1.0f;
    GLint m_iBackingWidth = 0;
    GLint m_iBackingHeight = 0;
    GLuint m_iViewFramebuffer = 0;
    GLuint m_iViewColourTexture = 0; // the colour attachment, drawn by present()
    GLuint m_iDepthRenderbuffer = 0;

    PFNGLGENFRAMEBUFFERSOESPROC m_glGenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSOESPROC m_glDeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFEROESPROC m_glBindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DOESPROC m_glFramebufferTexture2D = nullptr;
    PFNGLGENRENDERBUFFERSOESPROC m_glGenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSOESPROC m_glDeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFEROESPROC m_glBindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEOESPROC m_glRenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFEROESPROC m_glFramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSOESPROC m_glCheckFramebufferStatus = nullptr;
    PFNEGLCREATESYNCKHRPROC m_eglCreateSync = nullptr;
    PFNEGLCLIENTWAITSYNCKHRPROC m_eglClientWaitSync = nullptr;
    PFNEGLDESTROYSYNCKHRPROC m_eglDestroySync = nullptr;

    static View_SDL* s_pInstance;
};
