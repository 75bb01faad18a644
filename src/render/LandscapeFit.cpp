#include "render/LandscapeFit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace LandscapeFit
{
int PixelsFor(int points, float scale)
{
    return static_cast<int>(static_cast<float>(points) * scale);
}

float ScaleFor(int surfaceWidth, int surfaceHeight)
{
    if (surfaceWidth <= 0 || surfaceHeight <= 0)
        return 1.0f;
    // Whichever side limits the 3:2 picture sets the scale; it need not be whole.
    int width = 0;
    int height = 0;
    if (static_cast<int64_t>(surfaceWidth) * c_iHeight <=
        static_cast<int64_t>(surfaceHeight) * c_iWidth)
    {
        width = surfaceWidth;
        height = surfaceWidth * c_iHeight / c_iWidth;
    }
    else
    {
        height = surfaceHeight;
        width = surfaceHeight * c_iWidth / c_iHeight;
    }
    float scale = std::min(static_cast<float>(surfaceWidth) / c_iWidth,
                           static_cast<float>(surfaceHeight) / c_iHeight);
    // A quotient a hair low would lose the picture's last pixel to truncation.
    while (PixelsFor(c_iWidth, scale) < width || PixelsFor(c_iHeight, scale) < height)
        scale = std::nextafter(scale, c_rMaxScale);
    return std::min(scale, c_rMaxScale);
}

void Fit(int surfaceWidth, int surfaceHeight, int& x, int& y, int& width, int& height)
{
    const float scale = ScaleFor(surfaceWidth, surfaceHeight);
    width = std::min(surfaceWidth, PixelsFor(c_iWidth, scale));
    height = std::min(surfaceHeight, PixelsFor(c_iHeight, scale));
    x = (surfaceWidth - width) / 2;
    y = (surfaceHeight - height) / 2;
}
} // namespace LandscapeFit
