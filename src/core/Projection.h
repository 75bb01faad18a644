// A 4 x 4 projection matrix, stored column-major as the GL matrix calls take it.
#pragma once

#include "core/Vector4f.h"

class Projection
{
  public:
    Projection() = default;
    Projection(const Projection&) = default;
    Projection& operator=(const Projection&) = default;

    // Copies the 16 floats; the flag has no effect.
    void CopyTo(float* m, bool rotate) const;
    // Orthographic volume centred on the eye axis. A negative width mirrors x.
    void SetOrtho(float nearPlane, float farPlane, float width, float height);

    Vector4f m_vColumn[4];
};
