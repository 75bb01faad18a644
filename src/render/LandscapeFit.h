// Where the 480 x 320 landscape picture goes in a surface of some pixel size
// (a window's drawable, a page's canvas): the largest 3:2 rectangle that fits,
// centred, drawn at a scale in pixels a point that need not be whole.
#pragma once

namespace LandscapeFit
{
constexpr int c_iWidth = 480; // the screen in points
constexpr int c_iHeight = 320;
constexpr float c_rMaxScale = 16.0f; // beyond an 8K screen; keeps framebuffers allocatable

// A length in points as pixels at that scale: the renderer's own truncation
// (Renderer::ToPixels), so that viewports fill the framebuffer.
int PixelsFor(int points, float scale);
// The scale at which the picture fills the surface on its limiting side (1 for
// an empty surface; at most c_rMaxScale).
float ScaleFor(int surfaceWidth, int surfaceHeight);
// The picture's rectangle in the surface, in pixels from its bottom-left or
// top-left corner alike (it is centred).
void Fit(int surfaceWidth, int surfaceHeight, int& x, int& y, int& width, int& height);
} // namespace LandscapeFit
