#include "platform/web/Renderer_GL_Web.h"

#include "core/Window.h"
#include "platform/web/View_Web.h"
#include "render/TextureManager.h"

#include <GLES/gl.h>

Renderer_GL_Web::Renderer_GL_Web(Window* window, View_Web* view)
    : Renderer_GL(window), m_pView(view)
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

// The scene is landscape; the framebuffer portrait: a quarter turn between them.
void Renderer_GL_Web::SetTransform(const Transform& model)
{
    glMatrixMode(GL_MODELVIEW);
    model.CopyTo(m_rModelMatrix, false);
    glLoadIdentity();
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glMultMatrixf(m_rCameraMatrix);
    glMultMatrixf(m_rModelMatrix);
}

void Renderer_GL_Web::SetCameraMatrix(Transform& view)
{
    glMatrixMode(GL_MODELVIEW);
    view.CopyTo(m_rCameraMatrix, false);
    glLoadIdentity();
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glMultMatrixf(m_rCameraMatrix);
}

void Renderer_GL_Web::SetViewport(const Vector2f& min, const Vector2f& max)
{
    const float width = static_cast<float>(m_pWindow->GetWidth());
    const float height = static_cast<float>(m_pWindow->GetHeight());
    glViewport(ToPixels(width - max.y), ToPixels(height - max.x), ToPixels(max.y - min.y),
               ToPixels(max.x - min.x));
}

void Renderer_GL_Web::Present()
{
    if (m_pView)
        m_pView->Present();
}
