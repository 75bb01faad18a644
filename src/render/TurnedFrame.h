// Shows a portrait framebuffer's colour texture on a landscape surface: the
// surface cleared black, then the picture turned a quarter turn
// counter-clockwise into its rectangle. The desktop's window and the page's
// canvas are shown this way.
#pragma once

namespace TurnedFrame
{
// Draws into the framebuffer bound now (the surface's own), surfaceWidth x
// surfaceHeight pixels, the picture at (x, y, width, height) from the bottom
// left. Leaves the renderer's client arrays and texture state as it found them.
void Draw(unsigned int texture, int surfaceWidth, int surfaceHeight, int x, int y, int width,
          int height);
} // namespace TurnedFrame
