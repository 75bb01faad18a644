#include "render/Renderer_GL_Landscape.h"

#include "core/Transform.h"
#include "core/Window.h"

#include <GLES/gl.h>

void Renderer_GL_Landscape::SetTransform(const Transform& model)
{
    glMatrixMode(GL_MODELVIEW);
    model.CopyTo(m_rModelMatrix, false);
    glLoadIdentity();
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glMultMatrixf(m_rCameraMatrix);
    glMultMatrixf(m_rModelMatrix);
}

void Renderer_GL_Landscape::SetCameraMatrix(Transform& view)
{
    glMatrixMode(GL_MODELVIEW);
    view.CopyTo(m_rCameraMatrix, false);
    glLoadIdentity();
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glMultMatrixf(m_rCameraMatrix);
}

void Renderer_GL_Landscape::SetViewport(const Vector2f& min, const Vector2f& max)
{
    const float width = static_cast<float>(m_pWindow->GetWidth());
    const float height = static_cast<float>(m_pWindow->GetHeight());
    glViewport(ToPixels(width - max.y), ToPixels(height - max.x), ToPixels(max.y - min.y),
               ToPixels(max.x - min.x));
}
