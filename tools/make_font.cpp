// Rasterises a TrueType font into the interface's bitmap font: a binary BMFont version 3
// descriptor (info, common, pages, chars and kerning blocks) and one page image of white
// glyphs with a soft drop shadow, covering printable ASCII.
//
//   make_font <font.ttf> <out-dir> [pixel-size] [scale]
//
// Writes <out-dir>/oldsans18.fnt and <out-dir>/oldsans18_0.png; at scale 2 or 4 the same font
// rasterised that many times larger (every size, offset and the page multiplied), as
// oldsans18@2x.fnt and oldsans18_0@2x.png, for screens with that many pixels a point.
#include "ArtCommon.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
const int c_iLineHeight = 18;
const int c_iPageWidth = 256;
const int c_iPageHeight = 128;
const int c_iPadding = 1; // empty texels around every glyph box
const char* c_pName = "oldsans18";

struct Glyph
{
    int id = 0;
    art::Image image; // glyph plus shadow, premultiplied
    int left = 0;     // pen to box left
    int top = 0;      // baseline to box top (positive up)
    int advance = 0;
    int x = 0, y = 0; // place on the page
};

void Put(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}

void Block(std::string& out, int type, const std::string& body)
{
    Put(out, uint32_t(type), 1);
    Put(out, uint32_t(body.size()), 4);
    out += body;
}

// The glyph coverage as white over a soft dark shadow one point (`scale` texels) down and
// right, softened over a point either side.
art::Image Compose(const FT_Bitmap& bitmap, int scale)
{
    const int w = int(bitmap.width) + 2 * scale;
    const int h = int(bitmap.rows) + 2 * scale;
    std::vector<float> cover(size_t(w) * h, 0.0f);
    for (int y = 0; y < int(bitmap.rows); ++y)
        for (int x = 0; x < int(bitmap.width); ++x)
            cover[size_t(y) * w + x] = bitmap.buffer[y * bitmap.pitch + x] / 255.0f;
    art::Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float g = cover[size_t(y) * w + x];
            float s = 0.0f;
            // Shadow: the coverage shifted by a point, softened by a tent a point wide
            // (1 2 1 across and down at 1x).
            const float total = float((scale + 1) * (scale + 1) * (scale + 1) * (scale + 1));
            for (int dy = -scale; dy <= scale; ++dy)
                for (int dx = -scale; dx <= scale; ++dx)
                {
                    const int sx = x - scale + dx;
                    const int sy = y - scale + dy;
                    const int weight = (scale + 1 - std::abs(dx)) * (scale + 1 - std::abs(dy));
                    if (sx >= 0 && sy >= 0 && sx < w && sy < h)
                        s += cover[size_t(sy) * w + sx] * float(weight) / total;
                }
            const float shadow = std::min(1.0f, s * 1.6f) * 0.75f;
            const float a = g + (1.0f - g) * shadow;
            image.At(x, y) = {g, g, g, a};
        }
    return image;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: make_font <font.ttf> <out-dir> [pixel-size] [scale]\n");
        return 2;
    }
    const std::string fontPath = argv[1];
    const std::string outDir = argv[2];
    const int scale = argc > 4 ? std::atoi(argv[4]) : 1;
    if (scale != 1 && scale != 2 && scale != 4)
    {
        std::fprintf(stderr, "make_font: the scale is 1, 2 or 4\n");
        return 2;
    }
    // Every measure below is in texels of this scale.
    const int pixelSize = (argc > 3 ? std::atoi(argv[3]) : 13) * scale;
    const int lineHeight = c_iLineHeight * scale;
    const int pageWidth = c_iPageWidth * scale;
    const int pageHeight = c_iPageHeight * scale;
    const int padding = c_iPadding * scale;
    const std::string suffix = scale == 1 ? "" : "@" + std::to_string(scale) + "x";
    try
    {
        FT_Library library = nullptr;
        FT_Face face = nullptr;
        if (FT_Init_FreeType(&library) != 0 ||
            FT_New_Face(library, fontPath.c_str(), 0, &face) != 0)
            throw std::runtime_error("cannot load " + fontPath);
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
        const FT_Int32 flags = FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT;

        // The baseline sits where capitals are centred in the line.
        if (FT_Load_Char(face, 'H', flags) != 0)
            throw std::runtime_error("font has no 'H'");
        const int capHeight = face->glyph->bitmap_top;
        const int base = (lineHeight + capHeight + 1) / 2;

        std::vector<Glyph> glyphs;
        for (int c = 32; c < 127; ++c)
        {
            if (FT_Load_Char(face, FT_ULong(c), flags) != 0)
                throw std::runtime_error("font lacks character " + std::to_string(c));
            Glyph g;
            g.id = c;
            g.advance = int(std::lround(face->glyph->advance.x / 64.0));
            if (c != ' ')
            {
                g.image = Compose(face->glyph->bitmap, scale);
                g.left = face->glyph->bitmap_left;
                g.top = face->glyph->bitmap_top;
            }
            glyphs.push_back(std::move(g));
        }

        // Shelf packing, tallest first.
        std::vector<Glyph*> order;
        for (Glyph& g : glyphs)
            order.push_back(&g);
        std::stable_sort(order.begin(), order.end(),
                         [](const Glyph* a, const Glyph* b) { return a->image.h > b->image.h; });
        int penX = padding, penY = padding, shelf = 0;
        for (Glyph* g : order)
        {
            if (penX + g->image.w + padding > pageWidth)
            {
                penX = padding;
                penY += shelf + 2 * padding;
                shelf = 0;
            }
            g->x = penX;
            g->y = penY;
            penX += g->image.w + 2 * padding;
            shelf = std::max(shelf, g->image.h);
        }
        if (penY + shelf + padding > pageHeight)
            throw std::runtime_error("glyphs do not fit the page");

        art::Image page(pageWidth, pageHeight);
        for (const Glyph& g : glyphs)
            art::Over(page, g.image, g.x, g.y);
        const std::string pageName = std::string(c_pName) + "_0" + suffix + ".png";
        art::WritePng(outDir + "/" + pageName, page, art::PngKind::Rgba);

        // Kerning pairs the font defines between printable characters.
        std::string kerning;
        int pairs = 0;
        if (FT_HAS_KERNING(face))
            for (int a = 33; a < 127; ++a)
                for (int b = 33; b < 127; ++b)
                {
                    FT_Vector k{};
                    FT_Get_Kerning(face, FT_Get_Char_Index(face, FT_ULong(a)),
                                   FT_Get_Char_Index(face, FT_ULong(b)), FT_KERNING_DEFAULT, &k);
                    const int amount = int(std::lround(k.x / 64.0));
                    if (amount == 0)
                        continue;
                    Put(kerning, uint32_t(a), 4);
                    Put(kerning, uint32_t(b), 4);
                    Put(kerning, uint32_t(uint16_t(int16_t(amount))), 2);
                    ++pairs;
                }

        std::string info;
        Put(info, uint32_t(uint16_t(int16_t(pixelSize))), 2); // font size
        Put(info, 0x01 | 0x08, 1);                            // smooth, bold
        Put(info, 0, 1);                                      // character set
        Put(info, 100, 2);                                    // stretch H
        Put(info, 1, 1);                                      // anti-aliasing
        Put(info, 0, 4);                                      // padding
        Put(info, uint32_t(padding * 2), 1);                  // spacing
        Put(info, uint32_t(padding * 2), 1);
        Put(info, 0, 1); // outline
        info += std::string(face->family_name) + " " + face->style_name;
        info.push_back('\0');

        std::string common;
        Put(common, uint32_t(lineHeight), 2);
        Put(common, uint32_t(base), 2);
        Put(common, uint32_t(pageWidth), 2);
        Put(common, uint32_t(pageHeight), 2);
        Put(common, 1, 2); // pages
        Put(common, 0, 1); // not packed
        Put(common, 0, 1); // alpha holds the glyph
        Put(common, 0, 1); // red, green and blue hold glyph and shadow
        Put(common, 0, 1);
        Put(common, 0, 1);

        std::string chars;
        for (const Glyph& g : glyphs)
        {
            Put(chars, uint32_t(g.id), 4);
            Put(chars, uint32_t(g.x), 2);
            Put(chars, uint32_t(g.y), 2);
            Put(chars, uint32_t(g.image.w), 2);
            Put(chars, uint32_t(g.image.h), 2);
            Put(chars, uint32_t(uint16_t(int16_t(g.left))), 2);
            Put(chars, uint32_t(uint16_t(int16_t(base - g.top))), 2);
            Put(chars, uint32_t(uint16_t(int16_t(g.advance))), 2);
            Put(chars, 0, 1);  // page
            Put(chars, 15, 1); // all channels
        }

        std::string file = "BMF";
        file.push_back('\x03');
        Block(file, 1, info);
        Block(file, 2, common);
        Block(file, 3, pageName + std::string(1, '\0'));
        Block(file, 4, chars);
        Block(file, 5, kerning);
        const std::string descriptor = outDir + "/" + c_pName + suffix + ".fnt";
        std::ofstream out(descriptor, std::ios::binary);
        out.write(file.data(), std::streamsize(file.size()));
        if (!out)
            throw std::runtime_error("cannot write " + descriptor);
        std::printf("make_font: %s %s %dpx, line %d, base %d, %zu glyphs, %d kerning pairs\n",
                    face->family_name, face->style_name, pixelSize, lineHeight, base, glyphs.size(),
                    pairs);
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "make_font: %s\n", e.what());
        return 1;
    }
    return 0;
}
