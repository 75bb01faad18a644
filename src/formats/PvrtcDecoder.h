// Software decoding of PVRTC version 1 texture data (4 and 2 bits per pixel) into
// RGBA8888, for GL drivers that cannot take the compressed formats themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace PvrtcDecoder
{
// Bytes one level of PVRTC data takes: one 64-bit word per 4 x 4 texels (4 bpp) or
// 8 x 4 texels (2 bpp), never fewer than 2 x 2 words. 0 when the level cannot be
// PVRTC: bitsPerPixel not 2 or 4, or a side that is zero or not a power of two.
uint64_t LevelSize(uint32_t width, uint32_t height, int bitsPerPixel);

// Decodes one level of Morton-ordered PVRTC data into width x height texels of
// R, G, B, A bytes, top row first, colour not premultiplied. Returns false, leaving
// rgba empty, when the level is not valid PVRTC (see LevelSize) or size is smaller
// than the level needs; never reads more than LevelSize bytes.
bool Decode(const uint8_t* data, size_t size, uint32_t width, uint32_t height, int bitsPerPixel,
            std::vector<uint8_t>& rgba);
} // namespace PvrtcDecoder
