// The legacy (version 2) PowerVR texture header: 13 little-endian 32-bit fields, 52 bytes,
// taken as they stand, and where a file's first level lies.
#pragma once

#include <cstddef>
#include <cstdint>

struct PvrHeader
{
    static constexpr size_t c_iSize = 52;
    static constexpr uint32_t c_iTag = 0x21525650; // "PVR!"

    // Pixel-format bytes (the lowest byte of the flags).
    static constexpr uint8_t c_iFormatRgba4444 = 0x10;
    static constexpr uint8_t c_iFormatRgba8888 = 0x12;
    static constexpr uint8_t c_iFormatRgb565 = 0x13;
    static constexpr uint8_t c_iFormatPvrtc2 = 0x18;
    static constexpr uint8_t c_iFormatPvrtc4 = 0x19;

    // Texture sides are kept in 16 bits.
    static constexpr uint32_t c_iMaxSide = 65535;

    uint32_t headerSize = 0; // the image data begins at this offset
    uint32_t height = 0;
    uint32_t width = 0;
    uint32_t mipmapCount = 0; // levels after the first
    uint32_t flags = 0;
    uint32_t dataSize = 0; // bytes of image data, all levels together
    uint32_t bitsPerPixel = 0;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    uint32_t alphaMask = 0; // non-zero: the texture has alpha
    uint32_t tag = 0;
    uint32_t surfaceCount = 0;

    // Reads the fields from the first 52 bytes; false when fewer are given.
    static bool Read(const uint8_t* data, size_t size, PvrHeader& header);

    uint8_t PixelFormat() const { return uint8_t(flags & 0xFF); }
    bool HasAlpha() const { return alphaMask != 0; }
    bool IsPvrtc() const
    {
        return PixelFormat() == c_iFormatPvrtc2 || PixelFormat() == c_iFormatPvrtc4;
    }

    // Bytes the first level takes in this pixel format; 0 for a format of unknown size,
    // a zero side, a side over c_iMaxSide, or PVRTC with a side that is not a power of two.
    uint64_t Level0Size() const;

    // True when the data the header declares lies inside a file of fileSize bytes and
    // holds the first level whole.
    bool Level0Fits(size_t fileSize) const;
};
