#include "platform/web/Renderer_GL_Web.h"

#include "core/Window.h"
#include "platform/web/View_Web.h"
#include "render/TextureManager.h"

#include <GLES/gl.h>

Renderer_GL_Web::Renderer_GL_Web(Window* window, View_Web* view)
    : Renderer_GL_Landscape(window), m_pView(view)
{
    if (m_pView)
        SetPixelScale(m_pView->GetPixelScale());
}

Renderer_GL_Web::~Renderer_GL_Web()
{
    delete m_pTextureManager;
    m_pTextureManager = nullptr;
    delete m_pView;
    m_pView = nullptr;
}

bool Renderer_GL_Web::IsValid()
{
    return m_pView && m_pView->IsValid();
}

void Renderer_GL_Web::BeginFrame(bool clear, unsigned int colour)
{
    // A canvas resized (or moved to a screen of another pixel ratio) gets a
    // framebuffer of its own size before anything is drawn.
    if (m_pView && m_pView->IsValid() && m_pView->SetPixelScale(m_pView->GetWantedScale()))
        SetPixelScale(m_pView->GetPixelScale());
    Renderer_GL::BeginFrame(clear, colour);
}

void Renderer_GL_Web::Present()
{
    if (m_pView)
        m_pView->Present();
}
