#include "platform/web/View_Web.h"

#include "render/LandscapeFit.h"
#include "render/TurnedFrame.h"

#include <GLES/gl.h>
#include <GLES2/gl2.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstring>

View_Web* View_Web::s_pInstance = nullptr;

View_Web::View_Web(float fixedScale) : m_rFixedScale(fixedScale)
{
    if (!CreateContext())
        return;
    m_rScale = std::clamp(GetWantedScale(), 1.0f / 16.0f, LandscapeFit::c_rMaxScale);
    m_bValid = CreateFramebuffer();
    if (m_bValid)
        s_pInstance = this;
}

View_Web::~View_Web()
{
    if (s_pInstance == this)
        s_pInstance = nullptr;
    if (m_context != EGL_NO_CONTEXT)
    {
        DestroyFramebuffer();
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(m_display, m_context);
        eglDestroySurface(m_display, m_surface);
    }
}

bool View_Web::CreateContext()
{
    // Emscripten's EGL makes a WebGL context on the page's canvas; its GL ES 1
    // emulation needs a context asked for as version 2.
    m_display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (m_display == EGL_NO_DISPLAY || !eglInitialize(m_display, nullptr, nullptr))
    {
        m_sError = "no EGL display (is WebGL available?)";
        return false;
    }
    const EGLint attributes[] = {EGL_RED_SIZE,   8, EGL_GREEN_SIZE, 8,  EGL_BLUE_SIZE, 8,
                                 EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 16, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(m_display, attributes, &config, 1, &count) || count < 1)
    {
        m_sError = "no EGL configuration";
        return false;
    }
    m_surface = eglCreateWindowSurface(m_display, config, 0, nullptr);
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    m_context = eglCreateContext(m_display, config, EGL_NO_CONTEXT, contextAttributes);
    if (m_surface == EGL_NO_SURFACE || m_context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(m_display, m_surface, m_surface, m_context))
    {
        m_sError = "no WebGL context";
        return false;
    }
    return true;
}

bool View_Web::CreateFramebuffer()
{
    m_iPixelsWide = LandscapeFit::PixelsFor(c_iBackingWidth, m_rScale);
    m_iPixelsHigh = LandscapeFit::PixelsFor(c_iBackingHeight, m_rScale);
    glGenFramebuffers(1, &m_iFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, m_iFramebuffer);
    // The colour attachment is a texture so that Present() can draw it turned;
    // nearest texels, as it is copied pixel for pixel.
    glGenTextures(1, &m_iColourTexture);
    glBindTexture(GL_TEXTURE_2D, m_iColourTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, m_iPixelsWide, m_iPixelsHigh, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_iColourTexture,
                           0);
    glGenRenderbuffers(1, &m_iDepthRenderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_iDepthRenderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, m_iPixelsWide, m_iPixelsHigh);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              m_iDepthRenderbuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    {
        m_sError = "no complete framebuffer object";
        return false;
    }
    glViewport(0, 0, m_iPixelsWide, m_iPixelsHigh);
    // The state the desktop's launch image leaves behind, which the renderer
    // starts from: texturing on, depth test off.
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    return true;
}

void View_Web::DestroyFramebuffer()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &m_iFramebuffer);
    glDeleteRenderbuffers(1, &m_iDepthRenderbuffer);
    glDeleteTextures(1, &m_iColourTexture);
    m_iFramebuffer = m_iDepthRenderbuffer = m_iColourTexture = 0;
}

float View_Web::GetWantedScale() const
{
    if (m_rFixedScale > 0.0f)
        return m_rFixedScale;
    int canvasWidth = 0, canvasHeight = 0;
    emscripten_get_canvas_element_size("#canvas", &canvasWidth, &canvasHeight);
    return LandscapeFit::ScaleFor(canvasWidth, canvasHeight);
}

bool View_Web::SetPixelScale(float scale)
{
    scale = std::clamp(scale, 1.0f / 16.0f, LandscapeFit::c_rMaxScale);
    if (m_context == EGL_NO_CONTEXT)
        return false;
    if (m_bValid && LandscapeFit::PixelsFor(c_iBackingWidth, scale) == m_iPixelsWide &&
        LandscapeFit::PixelsFor(c_iBackingHeight, scale) == m_iPixelsHigh)
    {
        m_rScale = scale;
        return true;
    }
    DestroyFramebuffer();
    m_rScale = scale;
    m_bValid = CreateFramebuffer();
    return m_bValid;
}

void View_Web::Present()
{
    if (!m_bValid)
        return;
    DrawToCanvas();
    glBindFramebuffer(GL_FRAMEBUFFER, m_iFramebuffer);
    glViewport(0, 0, m_iPixelsWide, m_iPixelsHigh);
}

void View_Web::DrawToCanvas()
{
    int canvasWidth = 0, canvasHeight = 0;
    emscripten_get_canvas_element_size("#canvas", &canvasWidth, &canvasHeight);
    // At the canvas's own scale the picture's rectangle is the framebuffer's
    // size turned, and each texel lands on one pixel.
    int x, y, width, height;
    LandscapeFit::Fit(canvasWidth, canvasHeight, x, y, width, height);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    TurnedFrame::Draw(m_iColourTexture, canvasWidth, canvasHeight, x, y, width, height);
}

bool View_Web::ReadLandscapeFrame(std::vector<uint8_t>& rgba)
{
    if (!m_bValid)
        return false;
    std::vector<uint8_t> portrait(size_t(m_iPixelsWide) * m_iPixelsHigh * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, m_iFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_iPixelsWide, m_iPixelsHigh, GL_RGBA, GL_UNSIGNED_BYTE, portrait.data());
    // Landscape pixel (column c, row r from the top) is framebuffer pixel
    // (pixels wide - 1 - r, pixels high - 1 - c), GL rows counted from the bottom.
    rgba.resize(portrait.size());
    for (int r = 0; r < m_iPixelsWide; ++r)
        for (int c = 0; c < m_iPixelsHigh; ++c)
            std::memcpy(&rgba[(size_t(r) * m_iPixelsHigh + c) * 4],
                        &portrait[(size_t(m_iPixelsHigh - 1 - c) * m_iPixelsWide +
                                   (m_iPixelsWide - 1 - r)) *
                                  4],
                        4);
    return true;
}
