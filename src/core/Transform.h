// A rigid placement: three axis rows and a position. Points are row vectors,
// p' = p * R + t.
#pragma once

#include "core/Vector3f.h"

class Transform
{
  public:
    Transform();
    Transform(const Transform&) = default;
    Transform& operator=(const Transform&) = default;

    void SetIdentity();
    const Vector3f& GetPosition() const { return m_vPosition; }
    void SetPosition(const Vector3f& position) { m_vPosition = position; }
    void SetPosition(float x, float y, float z) { m_vPosition.Set(x, y, z); }

    // out = b applied first, then this transform.
    void TransformBy(const Transform& b, Transform& out) const;
    // Writes a column-major 16-float GL matrix. rotate turns the local frame by
    // +90 degrees about z before the transform.
    void CopyTo(float* m, bool rotate) const;
    // Inverse, valid only when the rows are orthonormal.
    void InvertRigid(Transform& out) const;

    Vector3f m_vRow[3];
    Vector3f m_vPosition;
};
