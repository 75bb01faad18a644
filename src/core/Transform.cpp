#include "core/Transform.h"

namespace
{
Vector3f Combine(const Vector3f& w, const Vector3f* rows)
{
    return Vector3f(w.x * rows[0].x + w.y * rows[1].x + w.z * rows[2].x,
                    w.x * rows[0].y + w.y * rows[1].y + w.z * rows[2].y,
                    w.x * rows[0].z + w.y * rows[1].z + w.z * rows[2].z);
}

float Dot(const Vector3f& a, const Vector3f& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
} // namespace

Transform::Transform()
{
    SetIdentity();
}

void Transform::SetIdentity()
{
    m_vRow[0].Set(1.0f, 0.0f, 0.0f);
    m_vRow[1].Set(0.0f, 1.0f, 0.0f);
    m_vRow[2].Set(0.0f, 0.0f, 1.0f);
    m_vPosition.Set(0.0f, 0.0f, 0.0f);
}

void Transform::TransformBy(const Transform& b, Transform& out) const
{
    Transform result;
    for (int i = 0; i < 3; ++i)
        result.m_vRow[i] = Combine(b.m_vRow[i], m_vRow);
    const Vector3f moved = Combine(b.m_vPosition, m_vRow);
    result.m_vPosition.Set(moved.x + m_vPosition.x, moved.y + m_vPosition.y,
                           moved.z + m_vPosition.z);
    out = result;
}

void Transform::CopyTo(float* m, bool rotate) const
{
    const Vector3f& r0 = rotate ? m_vRow[1] : m_vRow[0];
    const Vector3f r1 = rotate ? Vector3f(-m_vRow[0].x, -m_vRow[0].y, -m_vRow[0].z) : m_vRow[1];
    const Vector3f& r2 = m_vRow[2];
    m[0] = r0.x;
    m[1] = r0.y;
    m[2] = r0.z;
    m[3] = 0.0f;
    m[4] = r1.x;
    m[5] = r1.y;
    m[6] = r1.z;
    m[7] = 0.0f;
    m[8] = r2.x;
    m[9] = r2.y;
    m[10] = r2.z;
    m[11] = 0.0f;
    m[12] = m_vPosition.x;
    m[13] = m_vPosition.y;
    m[14] = m_vPosition.z;
    m[15] = 1.0f;
}

void Transform::InvertRigid(Transform& out) const
{
    Transform result;
    result.m_vRow[0].Set(m_vRow[0].x, m_vRow[1].x, m_vRow[2].x);
    result.m_vRow[1].Set(m_vRow[0].y, m_vRow[1].y, m_vRow[2].y);
    result.m_vRow[2].Set(m_vRow[0].z, m_vRow[1].z, m_vRow[2].z);
    result.m_vPosition.Set(-Dot(m_vPosition, m_vRow[0]), -Dot(m_vPosition, m_vRow[1]),
                           -Dot(m_vPosition, m_vRow[2]));
    out = result;
}
