#include "platform/sdl/Renderer_GL_SDL.h"

#include "core/Window.h"
#include "platform/sdl/FingerOverlay.h"
#include "platform/sdl/View_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "render/TextureManager.h"

#include <GLES/gl.h>

Renderer_GL_SDL::Renderer_GL_SDL(Window* window, View_SDL* view)
    : Renderer_GL_Landscape(window), m_pView(view), m_mainThread(std::this_thread::get_id())
{
    if (m_pView)
        SetPixelScale(m_pView->GetPixelScale());
}

Renderer_GL_SDL::~Renderer_GL_SDL()
{
    // Textures still alive delete their GL names with the context current.
    if (m_pView && m_pView->IsValid())
        m_pView->lockContext();
    delete m_pTextureManager;
    m_pTextureManager = nullptr;
    delete m_pView;
    m_pView = nullptr;
}

bool Renderer_GL_SDL::IsValid()
{
    return m_pView && m_pView->IsValid();
}

bool Renderer_GL_SDL::ApplyPixelScale(float scale)
{
    if (!m_pView || !m_pView->SetPixelScale(scale))
        return false;
    SetPixelScale(m_pView->GetPixelScale());
    return true;
}

void Renderer_GL_SDL::BeginFrame(bool clear, unsigned int colour)
{
    // A resized window gets a framebuffer of its own size before anything is drawn.
    if (m_pView && m_pView->IsValid() && !m_pView->IsHeadless())
        ApplyPixelScale(m_pView->GetWindowScale());
    Renderer_GL::BeginFrame(clear, colour);
}

void Renderer_GL_SDL::Present()
{
    // The hand goes over the finished frame, before it is shown or read.
    auto* window = dynamic_cast<Window_SDL*>(m_pWindow);
    if (m_pView && m_pView->IsValid() && window && m_bShowHand)
    {
        constexpr int c_iMaxNotes = 16;
        TouchInput_SDL::Finger fingers[TouchInput_SDL::c_iMaxContacts + c_iMaxNotes];
        int count = window->GetTouchInput().GetFingers(fingers, TouchInput_SDL::c_iMaxContacts);
        if (m_noteMarks)
            count += m_noteMarks(fingers + count, c_iMaxNotes);
        FingerOverlay::Draw(fingers, count, GetPixelScale());
    }
    if (m_pView)
        m_pView->present();
}

void Renderer_GL_SDL::LockContext()
{
    if (m_pView)
        m_pView->lockContext();
}

void Renderer_GL_SDL::UnlockContext()
{
    if (m_pView)
        m_pView->unlockContext();
}
