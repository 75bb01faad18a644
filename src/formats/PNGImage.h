// PNG decoding (on libpng; the browser build reads with PngDecoder) into the
// texel layouts textures use: premultiplied RGBA8888 for images with any
// transparency (alpha channel or tRNS), RGB565 for opaque ones. Rows run from
// the image's top row down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class PNGImage
{
  public:
    enum class Layout
    {
        RGBA8888, // 4 bytes a texel: R, G, B, A, colour premultiplied by alpha
        RGB565,   // one 16-bit texel: R in bits 11-15, G 5-10, B 0-4
    };

    // Decodes a whole PNG file held in memory. False, with the image left
    // empty, for anything that is not a complete, valid PNG.
    bool Decode(const uint8_t* data, size_t size);

    // Straight (not premultiplied) 8-bit RGBA, as decoded.
    const std::vector<uint8_t>& GetRGBA() const { return m_rgba; }
    int GetWidth() const { return m_iWidth; }
    int GetHeight() const { return m_iHeight; }
    bool HasAlpha() const { return m_bHasAlpha; }
    Layout GetLayout() const { return m_bHasAlpha ? Layout::RGBA8888 : Layout::RGB565; }

    // The texels of GetLayout(), ready to upload.
    std::vector<uint8_t> MakeTexels() const;

    // Sides beyond this are refused rather than decoded.
    static constexpr int c_iMaxSide = 8192;
    // No chunk's data is given more room than this (8 MiB).
    static constexpr size_t c_iMaxChunkBytes = size_t(8) << 20;

  private:
    std::vector<uint8_t> m_rgba;
    int m_iWidth = 0;
    int m_iHeight = 0;
    bool m_bHasAlpha = false;
};
