#pragma once

struct Vector2f
{
    float x = 0.0f;
    float y = 0.0f;

    Vector2f() = default;
    Vector2f(float x_, float y_) : x(x_), y(y_) {}
    void Set(float x_, float y_)
    {
        x = x_;
        y = y_;
    }
};
