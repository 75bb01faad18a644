// Conversions between the texel layouts PVR files carry and RGBA8888, and alpha
// premultiplication in place. 16-bit texels are little-endian words, as in the files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace TexelConvert
{
// RGBA4444: red in the top four bits, alpha in the lowest four.
void Rgba4444ToRgba8888(const uint8_t* source, size_t count, uint8_t* rgba);
// RGB565: red in the top five bits, blue in the lowest five; alpha becomes 255.
void Rgb565ToRgba8888(const uint8_t* source, size_t count, uint8_t* rgba);

// Scales each texel's colour by its alpha (rounded), so that the texture suits
// blending with (ONE, ONE_MINUS_SRC_ALPHA).
void PremultiplyRgba8888(uint8_t* rgba, size_t count);
void PremultiplyRgba4444(uint8_t* texels, size_t count);

// Sets every texel's alpha to opaque, for images whose alpha is not to be used.
void MakeOpaqueRgba8888(uint8_t* rgba, size_t count);
} // namespace TexelConvert
