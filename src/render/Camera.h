// A camera gives the renderer a view transform, a projection, a viewport in
// landscape screen points and fog settings for one pass over a scene tree.
#pragma once

#include "core/Projection.h"
#include "core/Transform.h"
#include "core/Vector2f.h"

#include <cstdint>

class Camera
{
  public:
    Camera() = default;
    virtual ~Camera() = default;

    virtual void UpdateProjection() = 0;
    virtual void UpdateView() = 0;

    // The view (world to camera).
    void GetTransform(Transform& out);
    // The placement (camera to world).
    const Transform& GetInvTransform();
    void GetProjection(Projection& out);

    bool GetFogEnabled() const { return m_bFogEnabled; }
    // Red in bits 31-24, green 23-16, blue 15-8, alpha 7-0.
    uint32_t GetFogColor() const { return m_iFogColor; }
    float GetFogStart() const { return m_rFogStart; }
    float GetFogEnd() const { return m_rFogEnd; }
    float GetFogDensity() const { return m_rFogDensity; }

    // Corners in landscape screen points (origin top-left, y down).
    void SetViewport(const Vector2f& min, const Vector2f& max);
    // The whole screen: (0, 0) to the rotated screen size.
    void ResetViewport();
    const Vector2f& GetViewportMin() const { return m_vViewportMin; }
    const Vector2f& GetViewportMax() const { return m_vViewportMax; }

  protected:
    Transform m_placement;
    Transform m_view;
    Projection m_projection;
    bool m_bProjectionDirty = true;
    bool m_bViewDirty = true;
    bool m_bFogEnabled = false;
    uint32_t m_iFogColor = 0x000000FF; // opaque black
    float m_rFogStart = 0.0f;
    float m_rFogEnd = 1.0f;
    float m_rFogDensity = 1.0f;
    Vector2f m_vViewportMin;
    Vector2f m_vViewportMax;
};
