#include "platform/Renderer_GL_SDL.h"

#include "app/State_Main.h"
#include "app/Window.h"
#include "app/ZindleApp.h"
#include "platform/FingerOverlay.h"
#include "platform/Host.h"
#include "platform/View_SDL.h"
#include "platform/Window_SDL.h"
#include "render/Camera_2D.h"
#include "render/TextureManager.h"
#include "sound/SoundControl_Theremin.h"
#include "sound/Synth_FourVoice.h"

#include <GLES/gl.h>

Renderer_GL_SDL::Renderer_GL_SDL(Window* window, View_SDL* view)
    : Renderer_GL(window), m_pView(view), m_mainThread(std::this_thread::get_id())
{
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

void Renderer_GL_SDL::SetTransform(const Transform& model)
{
    glMatrixMode(GL_MODELVIEW);
    model.CopyTo(m_rModelMatrix, false);
    glLoadIdentity();
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glMultMatrixf(m_rCameraMatrix);
    glMultMatrixf(m_rModelMatrix);
}

void Renderer_GL_SDL::SetCameraMatrix(Transform& view)
{
    glMatrixMode(GL_MODELVIEW);
    view.CopyTo(m_rCameraMatrix, false);
    glLoadIdentity();
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glMultMatrixf(m_rCameraMatrix);
}

void Renderer_GL_SDL::SetViewport(const Vector2f& min, const Vector2f& max)
{
    const float width = static_cast<float>(m_pWindow->GetWidth());
    const float height = static_cast<float>(m_pWindow->GetHeight());
    glViewport(static_cast<GLint>(width - max.y), static_cast<GLint>(height - max.x),
               static_cast<GLsizei>(max.y - min.y), static_cast<GLsizei>(max.x - min.x));
}

void Renderer_GL_SDL::Present()
{
    // The hand goes over the finished frame, before it is shown or read.
    auto* window = dynamic_cast<Window_SDL*>(m_pWindow);
    if (m_pView && m_pView->IsValid() && window && Host::GetOptions().bShowFingers)
    {
        TouchInput_SDL::Finger fingers[TouchInput_SDL::c_iMaxContacts + Synth_FourVoice::c_iVoices];
        int count = window->GetTouchInput().GetFingers(fingers, TouchInput_SDL::c_iMaxContacts);
        // A voice a MIDI note plays is marked where it shows on the surface.
        const ZindleApp* app = ZindleApp::s_pInstance;
        const State_Main* state = app ? app->GetMainState() : nullptr;
        const Camera_2D* camera = state ? state->GetMainCamera() : nullptr;
        for (int i = 0; camera && i < Synth_FourVoice::c_iVoices; ++i)
        {
            const SoundControl_Theremin* voice = state->GetTheremin(i);
            if (!voice || !voice->IsPlayingNote())
                continue;
            const Vector2f& min = camera->GetViewportMin();
            const Vector2f& max = camera->GetViewportMax();
            fingers[count++] = {min.x + voice->GetX() * (max.x - min.x),
                                min.y + voice->GetY() * (max.y - min.y), false};
        }
        FingerOverlay::Draw(fingers, count);
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
