// Vectors, rigid transforms and orthographic projections.
#include "render/Projection.h"
#include "render/Transform.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
void ExpectVector(const Vector3f& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

void ExpectSame(const Transform& a, const Transform& b)
{
    for (int i = 0; i < 3; ++i)
        ExpectVector(a.m_vRow[i], b.m_vRow[i].x, b.m_vRow[i].y, b.m_vRow[i].z);
    ExpectVector(a.GetPosition(), b.GetPosition().x, b.GetPosition().y, b.GetPosition().z);
}

// A rotation by `angle` radians about z, placed at (x, y, z).
Transform Rotation(float angle, float x, float y, float z)
{
    Transform t;
    t.m_vRow[0].Set(std::cos(angle), std::sin(angle), 0.0f);
    t.m_vRow[1].Set(-std::sin(angle), std::cos(angle), 0.0f);
    t.SetPosition(x, y, z);
    return t;
}

Vector3f Apply(const Transform& t, const Vector3f& p)
{
    const Vector3f* r = t.m_vRow;
    const Vector3f& o = t.GetPosition();
    return Vector3f(p.x * r[0].x + p.y * r[1].x + p.z * r[2].x + o.x,
                    p.x * r[0].y + p.y * r[1].y + p.z * r[2].y + o.y,
                    p.x * r[0].z + p.y * r[1].z + p.z * r[2].z + o.z);
}
} // namespace

TEST(Math, DefaultsAndSetters)
{
    Transform t;
    ExpectVector(t.m_vRow[0], 1, 0, 0);
    ExpectVector(t.m_vRow[1], 0, 1, 0);
    ExpectVector(t.m_vRow[2], 0, 0, 1);
    ExpectVector(t.GetPosition(), 0, 0, 0);

    Transform r = Rotation(0.5f, 0, 0, 0);
    r.SetPosition(3, 4, 5);
    EXPECT_NEAR(r.m_vRow[0].x, std::cos(0.5f), 1e-6f) << "SetPosition leaves the rows";
    r.SetIdentity();
    ExpectSame(r, Transform());

    Projection p;
    float m[16];
    p.CopyTo(m, false);
    for (float v : m)
        EXPECT_EQ(v, 0.0f);
}

TEST(Math, CompositionAppliesTheArgumentFirst)
{
    const Transform a = Rotation(0.7f, 10, 20, 0);
    const Transform b = Rotation(-1.1f, 3, -4, 2);
    Transform out;
    a.TransformBy(Transform(), out);
    ExpectSame(out, a);
    Transform().TransformBy(b, out);
    ExpectSame(out, b);

    a.TransformBy(b, out);
    const Vector3f points[] = {{0, 0, 0}, {1, 0, 0}, {5, -3, 2}, {-7, 11, 0.5f}};
    for (const Vector3f& p : points)
    {
        const Vector3f twoSteps = Apply(a, Apply(b, p));
        const Vector3f composed = Apply(out, p);
        ExpectVector(composed, twoSteps.x, twoSteps.y, twoSteps.z);
    }

    // Parent at (100, 50), child at (10, 0): the child lands at (110, 50).
    Transform parent, child;
    parent.SetPosition(100, 50, 0);
    child.SetPosition(10, 0, 0);
    parent.TransformBy(child, out);
    ExpectVector(out.GetPosition(), 110, 50, 0);

    // Composing in place is safe.
    Transform c = a;
    c.TransformBy(b, c);
    Transform expected;
    a.TransformBy(b, expected);
    ExpectSame(c, expected);
}

TEST(Math, RigidInverseUndoesTheTransform)
{
    Transform t;
    t.SetPosition(240, 160, 0);
    Transform inverse;
    t.InvertRigid(inverse);
    ExpectSame(inverse,
               []
               {
                   Transform e;
                   e.SetPosition(-240, -160, 0);
                   return e;
               }());

    const Transform r = Rotation(1.3f, -5, 8, 2);
    r.InvertRigid(inverse);
    Transform product;
    inverse.TransformBy(r, product);
    ExpectSame(product, Transform());
    r.TransformBy(inverse, product);
    ExpectSame(product, Transform());
}

TEST(Math, GLMatrixExport)
{
    const Transform r = Rotation(0.3f, 1, 2, 3);
    float m[16];
    r.CopyTo(m, false);
    const float expected[16] = {r.m_vRow[0].x,
                                r.m_vRow[0].y,
                                0,
                                0,
                                r.m_vRow[1].x,
                                r.m_vRow[1].y,
                                0,
                                0,
                                0,
                                0,
                                1,
                                0,
                                1,
                                2,
                                3,
                                1};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m[i], expected[i]) << i;

    r.CopyTo(m, true);
    EXPECT_FLOAT_EQ(m[0], r.m_vRow[1].x);
    EXPECT_FLOAT_EQ(m[1], r.m_vRow[1].y);
    EXPECT_FLOAT_EQ(m[4], -r.m_vRow[0].x);
    EXPECT_FLOAT_EQ(m[5], -r.m_vRow[0].y);
    EXPECT_FLOAT_EQ(m[12], 1.0f) << "the position is not turned";
}

TEST(Math, OrthographicProjection)
{
    Projection p;
    p.SetOrtho(100, -100, -320, 480);
    float a[16], b[16];
    p.CopyTo(a, false);
    p.CopyTo(b, true);
    for (int i = 0; i < 16; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(a[i], b[i]) << "the flag changes nothing";
        switch (i)
        {
        case 0:
            EXPECT_FLOAT_EQ(a[i], -0.00625f);
            break;
        case 5:
            EXPECT_FLOAT_EQ(a[i], 1.0f / 240.0f);
            break;
        case 10:
            EXPECT_FLOAT_EQ(a[i], -0.01f);
            break;
        case 15:
            EXPECT_FLOAT_EQ(a[i], 1.0f);
            break;
        default:
            EXPECT_EQ(a[i], 0.0f);
        }
    }
    Projection copy;
    copy = p;
    float c[16];
    copy.CopyTo(c, false);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(c[i], a[i]);

    Projection q;
    q.SetOrtho(1, 10, 2, 2);
    q.CopyTo(a, false);
    EXPECT_FLOAT_EQ(a[10], 2.0f / 9.0f);
    EXPECT_FLOAT_EQ(a[14], -11.0f / 9.0f);
}
