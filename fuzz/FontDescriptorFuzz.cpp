// libFuzzer entry for the BMFont descriptor reader: any bytes must give either
// a rejection or a whole, consistent font, and never touch memory outside them.
#include "formats/FontDescriptor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FontDescriptor descriptor;
    if (descriptor.Parse(data, size) != FontDescriptor::Status::Ok)
    {
        // A rejected descriptor keeps nothing.
        if (!descriptor.GetGlyphs().empty() || !descriptor.GetPageName().empty())
            __builtin_trap();
        return 0;
    }

    if (descriptor.GetPageName().empty())
        __builtin_trap();
    const auto& glyphs = descriptor.GetGlyphs();
    int kerningTotal = 0;
    for (int code = 0; code < FontDescriptor::c_iGlyphCodes; ++code)
    {
        const int index = descriptor.GetGlyphIndex(code);
        if (index < -1 || index >= static_cast<int>(glyphs.size()))
            __builtin_trap();
        if (index >= 0)
            kerningTotal += glyphs[static_cast<size_t>(index)].GetKerning(static_cast<char>(code));
    }
    if (descriptor.GetGlyphIndex(-1) != -1 || descriptor.GetGlyphIndex(256) != -1)
        __builtin_trap();
    return kerningTotal == 0x7FFFFFFF ? 1 : 0;
}
