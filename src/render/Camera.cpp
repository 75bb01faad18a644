#include "render/Camera.h"

#include "render/Renderer.h"

void Camera::GetTransform(Transform& out)
{
    UpdateView();
    out = m_view;
}

const Transform& Camera::GetInvTransform()
{
    UpdateView();
    return m_placement;
}

void Camera::GetProjection(Projection& out)
{
    UpdateProjection();
    out = m_projection;
}

void Camera::SetViewport(const Vector2f& min, const Vector2f& max)
{
    m_vViewportMin = min;
    m_vViewportMax = max;
}

void Camera::ResetViewport()
{
    m_vViewportMin.Set(0.0f, 0.0f);
    Renderer* renderer = Renderer::GetInstance();
    m_vViewportMax = renderer ? renderer->GetScreenSize(true) : Vector2f();
}
