#include "core/Projection.h"

void Projection::CopyTo(float* m, bool /*rotate*/) const
{
    for (int c = 0; c < 4; ++c)
    {
        m[c * 4 + 0] = m_vColumn[c].x;
        m[c * 4 + 1] = m_vColumn[c].y;
        m[c * 4 + 2] = m_vColumn[c].z;
        m[c * 4 + 3] = m_vColumn[c].w;
    }
}

void Projection::SetOrtho(float nearPlane, float farPlane, float width, float height)
{
    for (Vector4f& column : m_vColumn)
        column = Vector4f();
    m_vColumn[0].x = 2.0f / width;
    m_vColumn[1].y = 2.0f / height;
    m_vColumn[2].z = 2.0f / (farPlane - nearPlane);
    m_vColumn[3].z = -(farPlane + nearPlane) / (farPlane - nearPlane);
    m_vColumn[3].w = 1.0f;
}
