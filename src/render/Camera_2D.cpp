#include "render/Camera_2D.h"

#include "render/Renderer.h"

Camera_2D::Camera_2D()
{
    if (Renderer* renderer = Renderer::GetInstance())
    {
        m_vProjectionSize = renderer->GetScreenSize(false);
        m_vScreenSize = renderer->GetScreenSize(true);
    }
    m_vPosition.Set(m_vScreenSize.x * 0.5f, m_vScreenSize.y * 0.5f);
    m_bViewDirty = true;
    ResetViewport();
}

void Camera_2D::SetPosition(float x, float y)
{
    m_vPosition.Set(x, y);
    m_bViewDirty = true;
}

void Camera_2D::UpdateProjection()
{
    if (!m_bProjectionDirty)
        return;
    m_bProjectionDirty = false;
    // The negative width mirrors x, which the landscape rotation needs to keep
    // y growing downwards on screen.
    m_projection.SetOrtho(m_rNear, m_rFar, -m_vProjectionSize.x, m_vProjectionSize.y);
}

void Camera_2D::UpdateView()
{
    if (!m_bViewDirty)
        return;
    m_bViewDirty = false;
    m_placement.SetIdentity();
    m_placement.SetPosition(m_vPosition.x, m_vPosition.y, 0.0f);
    m_placement.InvertRigid(m_view);
}
