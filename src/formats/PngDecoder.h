// A small PNG reader of its own, for builds without libpng (the browser): 8-bit
// greyscale, grey with alpha, RGB, RGBA and palette images, not interlaced,
// inflated here. It gives the same 8-bit RGBA that PNGImage reads with libpng;
// anything else, or any damage, is refused with a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PngDecoder
{
  public:
    struct Image
    {
        std::vector<uint8_t> rgba; // straight 8-bit RGBA, top row first
        int width = 0;
        int height = 0;
        bool hasAlpha = false; // an alpha channel or a tRNS chunk
    };

    // False, with `error` saying why, for a file this reader does not take.
    static bool Decode(const uint8_t* data, size_t size, int maxSide, Image& image,
                       std::string& error);

    // A zlib stream (RFC 1950 around RFC 1951 deflate) into `out`, which may
    // grow to at most `limit` bytes; false for a damaged or longer stream.
    static bool Inflate(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out);
};
