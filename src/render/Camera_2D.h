// The orthographic camera in landscape screen points: origin top-left, x to
// the right, y downwards, one unit per point, centred on the screen. The
// renderer must exist before a camera is made.
#pragma once

#include "render/Camera.h"

class Camera_2D : public Camera
{
  public:
    Camera_2D();

    // The world point shown at the centre of the screen.
    void SetPosition(float x, float y);
    const Vector2f& GetPosition() const { return m_vPosition; }
    float GetScreenWidth() const { return m_vScreenSize.x; }
    float GetScreenHeight() const { return m_vScreenSize.y; }

    void UpdateProjection() override;
    void UpdateView() override;

  private:
    Vector2f m_vPosition;
    Vector2f m_vProjectionSize; // the unrotated (portrait) screen size
    Vector2f m_vScreenSize;     // the screen as the player sees it
    float m_rNear = 100.0f;
    float m_rFar = -100.0f;
};
