// libFuzzer entry for the PNG image path textures take: any bytes give either a
// refusal with nothing kept, or a whole image within the size limit whose texels
// fill exactly the layout they claim.
#include "formats/PNGImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PNGImage image;
    if (!image.Decode(data, size))
    {
        if (!image.GetRGBA().empty() || image.GetWidth() != 0 || image.GetHeight() != 0)
            __builtin_trap();
        return 0;
    }
    const int w = image.GetWidth(), h = image.GetHeight();
    if (w <= 0 || h <= 0 || w > PNGImage::c_iMaxSide || h > PNGImage::c_iMaxSide)
        __builtin_trap();
    const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (image.GetRGBA().size() != pixels * 4)
        __builtin_trap();
    const size_t texel = image.GetLayout() == PNGImage::Layout::RGBA8888 ? 4 : 2;
    if (image.MakeTexels().size() != pixels * texel)
        __builtin_trap();
    return 0;
}
