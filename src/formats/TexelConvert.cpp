#include "formats/TexelConvert.h"

namespace
{
uint16_t ReadWord(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

void WriteWord(uint8_t* p, uint32_t value)
{
    p[0] = uint8_t(value & 0xFF);
    p[1] = uint8_t(value >> 8);
}

// value * alpha / max, rounded to nearest.
uint32_t Scale(uint32_t value, uint32_t alpha, uint32_t max)
{
    return (value * alpha + max / 2) / max;
}
} // namespace

namespace TexelConvert
{
void Rgba4444ToRgba8888(const uint8_t* source, size_t count, uint8_t* rgba)
{
    for (size_t i = 0; i < count; ++i)
    {
        const uint16_t texel = ReadWord(source + 2 * i);
        for (int c = 0; c < 4; ++c)
        {
            const uint32_t nibble = (texel >> (12 - 4 * c)) & 15;
            rgba[4 * i + c] = uint8_t(nibble * 17);
        }
    }
}

void Rgb565ToRgba8888(const uint8_t* source, size_t count, uint8_t* rgba)
{
    for (size_t i = 0; i < count; ++i)
    {
        const uint16_t texel = ReadWord(source + 2 * i);
        const uint32_t r = texel >> 11;
        const uint32_t g = (texel >> 5) & 63;
        const uint32_t b = texel & 31;
        rgba[4 * i + 0] = uint8_t(r << 3 | r >> 2);
        rgba[4 * i + 1] = uint8_t(g << 2 | g >> 4);
        rgba[4 * i + 2] = uint8_t(b << 3 | b >> 2);
        rgba[4 * i + 3] = 255;
    }
}

void PremultiplyRgba8888(uint8_t* rgba, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        uint8_t* texel = rgba + 4 * i;
        const uint32_t alpha = texel[3];
        if (alpha == 255)
            continue;
        for (int c = 0; c < 3; ++c)
            texel[c] = uint8_t(Scale(texel[c], alpha, 255));
    }
}

void PremultiplyRgba4444(uint8_t* texels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        uint8_t* p = texels + 2 * i;
        const uint16_t texel = ReadWord(p);
        const uint32_t alpha = texel & 15;
        if (alpha == 15)
            continue;
        uint32_t result = alpha;
        for (int c = 0; c < 3; ++c)
        {
            const uint32_t shift = 12 - 4 * c;
            result |= Scale((texel >> shift) & 15, alpha, 15) << shift;
        }
        WriteWord(p, result);
    }
}

void MakeOpaqueRgba8888(uint8_t* rgba, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        rgba[4 * i + 3] = 255;
}
} // namespace TexelConvert
