// The GL back end for a landscape scene drawn into a portrait framebuffer, as
// the device's screen is: every transform turned a quarter turn, viewports given
// in landscape points and placed at the renderer's pixel scale. The desktop's
// and the browser's renderers are this, with their own views.
#pragma once

#include "render/Renderer_GL.h"

class Renderer_GL_Landscape : public Renderer_GL
{
  public:
    using Renderer_GL::Renderer_GL;

    bool GetLandscape() override { return true; }
    void SetTransform(const Transform& model) override;
    void SetCameraMatrix(Transform& view) override;
    // Corners in landscape screen points (origin top-left, y down).
    void SetViewport(const Vector2f& min, const Vector2f& max) override;
};
