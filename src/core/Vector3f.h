#pragma once

struct Vector3f
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vector3f() = default;
    Vector3f(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    Vector3f(const Vector3f&) = default;
    Vector3f& operator=(const Vector3f&) = default;
    void Set(float x_, float y_, float z_)
    {
        x = x_;
        y = y_;
        z = z_;
    }
};
