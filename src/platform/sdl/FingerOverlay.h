// The visible hand: a small ring over the finished frame at every finger that
// is down, drawn straight into the portrait framebuffer with OpenGL ES 1.1 and
// never part of the scene. Moving fingers get a white ring, held fingers an
// amber ring with a dot in the middle; each ring has a dark rim so that it
// shows on any background.
#pragma once

#include "platform/sdl/TouchInput_SDL.h"

class FingerOverlay
{
  public:
    static constexpr float c_rInnerRadius = 7.0f; // the ring, in landscape points
    static constexpr float c_rOuterRadius = 10.0f;
    static constexpr float c_rRimWidth = 1.5f;  // the dark rim on either side
    static constexpr float c_rDotRadius = 3.0f; // a held finger's centre dot

    // Draws the rings into the bound framebuffer (320 x 480 portrait points at
    // pixelScale pixels a point) and restores every GL state it changes.
    static void Draw(const TouchInput_SDL::Finger* fingers, int count, float pixelScale = 1.0f);
};
