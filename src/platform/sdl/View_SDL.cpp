#include "platform/sdl/View_SDL.h"

#include "file/File.h"
#include "formats/PNGImage.h"
#include "platform/sdl/DesktopIdentity.h"
#include "render/LandscapeFit.h"
#include "render/Renderer.h"
#include "render/TurnedFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

View_SDL* View_SDL::s_pInstance = nullptr;

namespace
{
constexpr int c_iLoadingSide = 512; // the launch image's bitmap, 512 x 512 RGBA
constexpr const char* c_sLoadingImage = "Default.png";
constexpr int c_iLandscapeWidth = LandscapeFit::c_iWidth; // the screen in points
constexpr int c_iLandscapeHeight = LandscapeFit::c_iHeight;
constexpr float c_rMaxScale = LandscapeFit::c_rMaxScale;

// The launch image drawn as a 512 x 512 square from the framebuffer's
// bottom-left corner, its texture flipped so the bitmap's top row is at the top.
const GLfloat c_rSquareVertices[] = {0.0f, 0.0f, 512.0f, 0.0f, 0.0f, 512.0f, 512.0f, 512.0f};
const GLfloat c_rTexCoords[] = {0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f};
const GLubyte c_iSquareColours[] = {255, 255, 255, 255, 255, 255, 255, 255,
                                    255, 255, 255, 255, 255, 255, 255, 255};

template <typename Function> bool Load(Function& function, const char* name)
{
    function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
    return function != nullptr;
}

} // namespace

View_SDL::View_SDL(bool headless, bool fullscreen, float headlessScale, int windowWidth,
                   int windowHeight)
    : m_bHeadless(headless)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        m_sError = std::string("cannot open the video system: ") + SDL_GetError();
        return;
    }
    m_bVideo = true;
    if (!CreateContext(fullscreen, windowWidth, windowHeight) || !LoadFramebufferFunctions())
        return;
    m_rScale = m_bHeadless ? std::clamp(headlessScale, 1.0f, c_rMaxScale) : GetWindowScale();
    if (!createFramebuffer())
    {
        m_sError = "cannot make the OpenGL ES framebuffer";
        return;
    }
    m_bValid = true;
    if (!s_pInstance)
        s_pInstance = this;
    displayLoadingImage();
}

View_SDL::~View_SDL()
{
    if (s_pInstance == this)
        s_pInstance = nullptr;
    if (m_context)
    {
        SDL_GL_MakeCurrent(m_pWindow, m_context);
        DropFence();
        destroyFramebuffer();
        SDL_GL_MakeCurrent(m_pWindow, nullptr);
        SDL_GL_DeleteContext(m_context);
    }
    if (m_pWindow)
        SDL_DestroyWindow(m_pWindow);
    if (m_bVideo)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool View_SDL::CreateContext(bool fullscreen, int width, int height)
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Uint32 flags = SDL_WINDOW_OPENGL;
    if (m_bHeadless)
    {
        flags |= SDL_WINDOW_HIDDEN;
        width = c_iLandscapeWidth;
        height = c_iLandscapeHeight;
    }
    else
    {
        flags |= SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
        if (fullscreen)
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    m_pWindow = SDL_CreateWindow("Zindle", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                 height, flags);
    if (!m_pWindow)
    {
        m_sError = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    if (!m_bHeadless)
        DesktopIdentity::SetWindowIcon(m_pWindow);
    m_context = SDL_GL_CreateContext(m_pWindow);
    if (!m_context || SDL_GL_MakeCurrent(m_pWindow, m_context) != 0)
    {
        m_sError = std::string("cannot create an OpenGL ES 1.1 context: ") + SDL_GetError();
        return false;
    }
    return true;
}

bool View_SDL::LoadFramebufferFunctions()
{
    // Mesa's libGLESv1_CM does not export the OES framebuffer entry points.
    const bool ok = Load(m_glGenFramebuffers, "glGenFramebuffersOES") &&
                    Load(m_glDeleteFramebuffers, "glDeleteFramebuffersOES") &&
                    Load(m_glBindFramebuffer, "glBindFramebufferOES") &&
                    Load(m_glFramebufferTexture2D, "glFramebufferTexture2DOES") &&
                    Load(m_glGenRenderbuffers, "glGenRenderbuffersOES") &&
                    Load(m_glDeleteRenderbuffers, "glDeleteRenderbuffersOES") &&
                    Load(m_glBindRenderbuffer, "glBindRenderbufferOES") &&
                    Load(m_glRenderbufferStorage, "glRenderbufferStorageOES") &&
                    Load(m_glFramebufferRenderbuffer, "glFramebufferRenderbufferOES") &&
                    Load(m_glCheckFramebufferStatus, "glCheckFramebufferStatusOES");
    if (!ok)
        m_sError = "the OpenGL ES driver has no framebuffer objects (GL_OES_framebuffer_object)";
    return ok;
}

bool View_SDL::createFramebuffer()
{
    m_glGenFramebuffers(1, &m_iViewFramebuffer);
    m_glBindFramebuffer(GL_FRAMEBUFFER_OES, m_iViewFramebuffer);

    // The colour attachment is a texture so that present() can draw it turned,
    // pixel for pixel: it is as large as the picture in the window.
    m_iBackingWidth = PixelsFor(c_iBackingWidth, m_rScale);
    m_iBackingHeight = PixelsFor(c_iBackingHeight, m_rScale);
    glGenTextures(1, &m_iViewColourTexture);
    glBindTexture(GL_TEXTURE_2D, m_iViewColourTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, m_iBackingWidth, m_iBackingHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    m_glFramebufferTexture2D(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D,
                             m_iViewColourTexture, 0);

    m_glGenRenderbuffers(1, &m_iDepthRenderbuffer);
    m_glBindRenderbuffer(GL_RENDERBUFFER_OES, m_iDepthRenderbuffer);
    m_glRenderbufferStorage(GL_RENDERBUFFER_OES, GL_DEPTH_COMPONENT16_OES, m_iBackingWidth,
                            m_iBackingHeight);
    m_glFramebufferRenderbuffer(GL_FRAMEBUFFER_OES, GL_DEPTH_ATTACHMENT_OES, GL_RENDERBUFFER_OES,
                                m_iDepthRenderbuffer);

    const GLenum status = m_glCheckFramebufferStatus(GL_FRAMEBUFFER_OES);
    if (status != GL_FRAMEBUFFER_COMPLETE_OES)
    {
        std::fprintf(stderr, "zindle: failed to make a complete framebuffer object (%x)\n", status);
        return false;
    }
    m_glBindFramebuffer(GL_FRAMEBUFFER_OES, m_iViewFramebuffer);
    glViewport(0, 0, m_iBackingWidth, m_iBackingHeight);
    return true;
}

void View_SDL::destroyFramebuffer()
{
    if (m_glDeleteFramebuffers && m_iViewFramebuffer)
        m_glDeleteFramebuffers(1, &m_iViewFramebuffer);
    m_iViewFramebuffer = 0;
    if (m_iViewColourTexture)
        glDeleteTextures(1, &m_iViewColourTexture);
    m_iViewColourTexture = 0;
    if (m_glDeleteRenderbuffers && m_iDepthRenderbuffer)
        m_glDeleteRenderbuffers(1, &m_iDepthRenderbuffer);
    m_iDepthRenderbuffer = 0;
}

void View_SDL::displayLoadingImage()
{
    // The art set nearest at or above the scale ("Default@2x.png"), else the next smaller;
    // its bitmap has that many pixels a point and covers the same 512 x 512 points.
    std::vector<uint8_t> file;
    int artScale = Renderer::ArtScaleFor(m_rScale);
    for (; artScale >= 1; artScale /= 2)
    {
        const std::string name = artScale == 1 ? std::string(c_sLoadingImage)
                                               : "Default@" + std::to_string(artScale) + "x.png";
        std::unique_ptr<File> source(File::Open(name.c_str(), true));
        if (source)
        {
            file.resize(source->Length());
            if (!file.empty() && !source->Read(file.data(), static_cast<int>(file.size())))
                file.clear();
        }
        if (!file.empty())
            break;
    }
    const int side = c_iLoadingSide * std::max(artScale, 1);
    PNGImage image;
    if (file.empty() || !image.Decode(file.data(), file.size()))
    {
        std::fprintf(stderr, "zindle: Image is null: %s\n", c_sLoadingImage);
        return;
    }

    // The image sits on the bitmap's bottom edge, its top row highest, as a
    // drawing at the origin of a bottom-up bitmap places it. Anything beyond
    // 512 x 512 points is clipped away; transparent parts are composited onto black.
    std::vector<uint8_t> bitmap(static_cast<size_t>(side) * side * 4, 0);
    const int width = std::min(image.GetWidth(), side);
    const int firstRow = std::max(0, image.GetHeight() - side);
    const std::vector<uint8_t>& rgba = image.GetRGBA();
    for (int row = firstRow; row < image.GetHeight(); ++row)
    {
        const int target = side - image.GetHeight() + row;
        const uint8_t* in = &rgba[static_cast<size_t>(row) * image.GetWidth() * 4];
        uint8_t* out = &bitmap[static_cast<size_t>(target) * side * 4];
        for (int x = 0; x < width; ++x, in += 4, out += 4)
        {
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>((in[c] * in[3] + 127) / 255);
            out[3] = 255;
        }
    }

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 bitmap.data());

    // In points, so the image keeps its place and size at every scale.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrthof(0.0f, static_cast<float>(c_iBackingWidth), 0.0f, static_cast<float>(c_iBackingHeight),
             -1.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, c_rSquareVertices);
    glTexCoordPointer(2, GL_FLOAT, 0, c_rTexCoords);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, c_iSquareColours);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    present();
    glDeleteTextures(1, &texture);
}

int View_SDL::PixelsFor(int points, float scale)
{
    return LandscapeFit::PixelsFor(points, scale);
}

float View_SDL::ScaleFor(int drawableWidth, int drawableHeight)
{
    return LandscapeFit::ScaleFor(drawableWidth, drawableHeight);
}

void View_SDL::FitLandscape(int drawableWidth, int drawableHeight, int& x, int& y, int& width,
                            int& height)
{
    LandscapeFit::Fit(drawableWidth, drawableHeight, x, y, width, height);
}

float View_SDL::GetWindowScale() const
{
    if (m_bHeadless || !m_pWindow)
        return m_rScale;
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(m_pWindow, &drawableWidth, &drawableHeight);
    return ScaleFor(drawableWidth, drawableHeight);
}

bool View_SDL::GetSurfaceSize(int& width, int& height) const
{
    const EGLDisplay display = eglGetCurrentDisplay();
    const EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    EGLint w = 0, h = 0;
    if (m_bHeadless || display == EGL_NO_DISPLAY || surface == EGL_NO_SURFACE ||
        !eglQuerySurface(display, surface, EGL_WIDTH, &w) ||
        !eglQuerySurface(display, surface, EGL_HEIGHT, &h) || w <= 0 || h <= 0)
        return false;
    width = w;
    height = h;
    return true;
}

bool View_SDL::SetPixelScale(float scale)
{
    scale = std::clamp(scale, 1.0f / 16.0f, c_rMaxScale);
    if (!m_bValid || (PixelsFor(c_iBackingWidth, scale) == m_iBackingWidth &&
                      PixelsFor(c_iBackingHeight, scale) == m_iBackingHeight))
    {
        m_rScale = scale;
        return m_bValid;
    }
    CompletePresent(); // the old framebuffer's frame is shown before it goes
    destroyFramebuffer();
    m_rScale = scale;
    if (!createFramebuffer())
    {
        m_bValid = false;
        m_sError = "cannot make the OpenGL ES framebuffer";
        return false;
    }
    return true;
}

void View_SDL::present()
{
    if (!m_bValid)
        return;
    if (m_bHeadless)
    {
        // The framebuffer keeps the frame for screenshots; nothing to show.
        glFlush();
        return;
    }
    CompletePresent(); // a frame not yet shown goes first
    if (m_bDeferPresent && PlaceFence())
    {
        m_bPresentPending = true;
        return;
    }
    ShowFrame();
}

void View_SDL::ShowFrame()
{
    DrawToWindow();
    SDL_GL_SwapWindow(m_pWindow);
    BindFramebuffer();
    // Software GL may keep the window's drawing queued until the next frame's
    // first command waits for it; sent now, it is done long before.
    if (m_bDeferPresent)
        glFlush();
}

bool View_SDL::IsFrameDrawn() const
{
    if (!m_bPresentPending || !m_pFence)
        return true;
    return m_eglClientWaitSync(eglGetCurrentDisplay(), m_pFence, 0, 0) ==
           EGL_CONDITION_SATISFIED_KHR;
}

void View_SDL::CompletePresent()
{
    if (!m_bPresentPending)
        return;
    m_bPresentPending = false;
    DropFence();
    ShowFrame();
}

bool View_SDL::PlaceFence()
{
    // EGL's fences, where the context is an EGL one (SDL makes ES contexts
    // through EGL on X11, Wayland and offscreen).
    if (!m_eglCreateSync && !(Load(m_eglCreateSync, "eglCreateSyncKHR") &&
                              Load(m_eglClientWaitSync, "eglClientWaitSyncKHR") &&
                              Load(m_eglDestroySync, "eglDestroySyncKHR")))
    {
        m_eglCreateSync = nullptr;
        return false;
    }
    const EGLDisplay display = eglGetCurrentDisplay();
    if (display == EGL_NO_DISPLAY)
        return false;
    const EGLSyncKHR fence = m_eglCreateSync(display, EGL_SYNC_FENCE_KHR, nullptr);
    if (fence == EGL_NO_SYNC_KHR)
        return false;
    glFlush(); // the drawing starts now
    m_pFence = fence;
    return true;
}

void View_SDL::DropFence()
{
    if (!m_pFence)
        return;
    m_eglDestroySync(eglGetCurrentDisplay(), m_pFence);
    m_pFence = nullptr;
}

void View_SDL::BindFramebuffer()
{
    m_glBindFramebuffer(GL_FRAMEBUFFER_OES, m_iViewFramebuffer);
    glViewport(0, 0, m_iBackingWidth, m_iBackingHeight);
}

void View_SDL::DrawToWindow()
{
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(m_pWindow, &drawableWidth, &drawableHeight);
    // The framebuffer pixel for pixel, centred (after a resize, until the next
    // frame is drawn at the new size, the last one keeps its size).
    const int width = m_iBackingHeight;
    const int height = m_iBackingWidth;
    const int x = (drawableWidth - width) / 2;
    const int y = (drawableHeight - height) / 2;

    m_glBindFramebuffer(GL_FRAMEBUFFER_OES, 0);
    TurnedFrame::Draw(m_iViewColourTexture, drawableWidth, drawableHeight, x, y, width, height);
}

void View_SDL::lockContext()
{
    SDL_GL_MakeCurrent(m_pWindow, m_context);
}

void View_SDL::unlockContext()
{
    SDL_GL_MakeCurrent(m_pWindow, nullptr);
}

bool View_SDL::ReadLandscapeFrame(std::vector<uint8_t>& rgba)
{
    if (!m_bValid)
        return false;
    std::vector<uint8_t> portrait(static_cast<size_t>(m_iBackingWidth) * m_iBackingHeight * 4);
    m_glBindFramebuffer(GL_FRAMEBUFFER_OES, m_iViewFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_iBackingWidth, m_iBackingHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                 portrait.data());
    if (glGetError() != GL_NO_ERROR)
        return false;
    // Landscape pixel (column c, row r from the top) is framebuffer pixel
    // (backing width - 1 - r, backing height - 1 - c), GL rows counted from the bottom.
    const int width = m_iBackingHeight;
    const int height = m_iBackingWidth;
    rgba.resize(static_cast<size_t>(width) * height * 4);
    for (int r = 0; r < height; ++r)
    {
        for (int c = 0; c < width; ++c)
        {
            const int fx = m_iBackingWidth - 1 - r;
            const int fy = m_iBackingHeight - 1 - c;
            std::memcpy(&rgba[(static_cast<size_t>(r) * width + c) * 4],
                        &portrait[(static_cast<size_t>(fy) * m_iBackingWidth + fx) * 4], 4);
        }
    }
    return true;
}

bool View_SDL::WindowToLandscape(float windowX, float windowY, float& landscapeX,
                                 float& landscapeY) const
{
    if (!m_pWindow || m_bHeadless)
        return false;
    int windowWidth = 0, windowHeight = 0, drawableWidth = 0, drawableHeight = 0;
    SDL_GetWindowSize(m_pWindow, &windowWidth, &windowHeight);
    SDL_GL_GetDrawableSize(m_pWindow, &drawableWidth, &drawableHeight);
    if (windowWidth <= 0 || windowHeight <= 0)
        return false;
    const int width = m_iBackingHeight;
    const int height = m_iBackingWidth;
    const int x = (drawableWidth - width) / 2;
    const int y = (drawableHeight - height) / 2;
    if (width <= 0 || height <= 0)
        return false;
    // Window points to drawable pixels (HiDPI), then into the picture.
    const float px = windowX * static_cast<float>(drawableWidth) / static_cast<float>(windowWidth);
    const float py =
        windowY * static_cast<float>(drawableHeight) / static_cast<float>(windowHeight);
    landscapeX = (px - static_cast<float>(x)) * c_iLandscapeWidth / static_cast<float>(width);
    landscapeY = (py - static_cast<float>(y)) * c_iLandscapeHeight / static_cast<float>(height);
    return landscapeX >= 0.0f && landscapeX < c_iLandscapeWidth && landscapeY >= 0.0f &&
           landscapeY < c_iLandscapeHeight;
}
