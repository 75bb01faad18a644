// Small helpers shared by the animated scene nodes.
#pragma once

#include "core/Vector2f.h"
#include "render/Renderer.h"

#include <cstdlib>

namespace scene
{
// A uniform value in [0, 1) with 8-bit resolution from the program's one
// generator, seeded once at start-up.
inline float Random8()
{
    return static_cast<float>(std::rand() & 255) / 256.0f;
}

// The screen as the player sees it (480 x 320 points in landscape); the same
// size when no renderer exists yet, so nodes can be built without a display.
inline Vector2f LandscapeScreenSize()
{
    Renderer* renderer = Renderer::GetInstance();
    return renderer ? renderer->GetScreenSize(true) : Vector2f(480.0f, 320.0f);
}
} // namespace scene
