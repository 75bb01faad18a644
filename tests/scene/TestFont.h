// A small font for the text and widget tests: 'A' red, 'V' green and 'B' blue
// solid glyphs of 6 x 10 texels, a space of 5, and 'A' kerned against 'V' by -2.
#pragma once

#include "BmFontWriter.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zindle_test
{
// Glyph page: 'A' red at x 0-5, 'V' green at 8-13, 'B' blue at 16-21, rows 0-9.
inline void WriteGlyphPage(const std::filesystem::path& path)
{
    constexpr int w = 64;
    constexpr int h = 16;
    std::vector<uint8_t> samples(static_cast<size_t>(w) * h * 4, 0);
    const uint8_t colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int g = 0; g < 3; ++g)
        for (int y = 0; y < 10; ++y)
            for (int x = 8 * g; x < 8 * g + 6; ++x)
            {
                uint8_t* p = &samples[(static_cast<size_t>(y) * w + x) * 4];
                p[0] = colours[g][0];
                p[1] = colours[g][1];
                p[2] = colours[g][2];
                p[3] = 255;
            }
    WritePNG(path, w, h, 6, samples);
}

inline BmFontWriter TestFont(const std::string& page = "glyphs.png")
{
    BmFontWriter writer;
    writer.Info().Common(12).Pages({page});
    writer.Chars({{'A', 0, 0, 6, 10, 0, 0, 8},
                  {'V', 8, 0, 6, 10, 0, 0, 8},
                  {'B', 16, 0, 6, 10, 1, 2, 9},
                  {' ', 0, 0, 0, 0, 0, 0, 5}});
    writer.Kerning({{'A', 'V', -2}});
    return writer;
}

// Writes glyphs.png and test.fnt ("data/fonts/test.fnt") into dir.
inline void WriteTestFont(const std::filesystem::path& dir)
{
    WriteGlyphPage(dir / "glyphs.png");
    WriteFile(dir / "test.fnt", TestFont().String());
}
} // namespace zindle_test
