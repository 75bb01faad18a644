// Shared pieces of the resource generators: a premultiplied RGBA float image, PNG reading
// and writing, cairo and FreeType glue, and the BMFont reader the previews draw text with.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace art
{
struct Rgba
{
    float r = 0, g = 0, b = 0, a = 0;
};

// Pixels are premultiplied by alpha, top row first, each component 0 to 1.
struct Image
{
    int w = 0;
    int h = 0;
    std::vector<Rgba> px;

    Image() = default;
    Image(int width, int height) : w(width), h(height), px(size_t(width) * height) {}
    Rgba& At(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgba& At(int x, int y) const { return px[size_t(y) * w + x]; }
    // Bilinear sample at texel coordinates (texel centres at +0.5); wrap repeats the image.
    Rgba Sample(float x, float y, bool wrap) const;
    Rgba SampleNearest(float x, float y, bool wrap) const;
};

enum class PngKind
{
    Rgb,  // opaque: no alpha channel in the file
    Rgba, // straight alpha in the file; transparent texels take their neighbours' colour
};

// Writes the image; Rgb images may be dithered so that the RGB565 upload keeps smooth
// gradients. compact spends more time for a smaller file (strongest deflate, a palette when
// the image has few colours) and decodes to the same pixels; the committed 1x files are
// written without it. Throws std::runtime_error on failure.
void WritePng(const std::string& path, const Image& image, PngKind kind, bool dither565 = false,
              bool compact = false);
// Reads a PNG and premultiplies it, as the texture loader does. Throws on failure.
Image ReadPng(const std::string& path);
// True when the file has an alpha channel (colour type with alpha, or a tRNS chunk).
bool PngHasAlpha(const std::string& path);

// A cairo ARGB32 surface (premultiplied) converted to and from an Image.
Image FromCairo(cairo_surface_t* surface);
cairo_surface_t* ToCairo(const Image& image);

// A cairo font face for a TrueType file, kept alive for the whole run.
cairo_font_face_t* LoadFontFace(const std::string& path);

// A colour from 0xRRGGBB.
struct Colour
{
    double r, g, b;
};
Colour Hex(unsigned v);
// Sets the source colour; adds a gradient stop.
void SetColour(cairo_t* cr, unsigned hex, double alpha = 1.0);
void Stop(cairo_pattern_t* p, double at, unsigned hex, double alpha = 1.0);

// Rounded rectangle path.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);

// Gaussian blur of every channel (separable, three box passes).
void Blur(Image& image, float radius);

// Source-over of src onto dst with its top-left at (x, y), scaled by opacity.
void Over(Image& dst, const Image& src, int x, int y, float opacity = 1.0f);

// Linear interpolation helpers.
inline float Mix(float a, float b, float t)
{
    return a + (b - a) * t;
}
Rgba Mix(const Rgba& a, const Rgba& b, float t);
float SmoothStep(float e0, float e1, float x);

// A smooth, seamlessly tiling value noise in [0, 1] with the given period in cells.
float TileNoise(float x, float y, int period, uint32_t seed);

// The binary BMFont descriptor as the generators read it back for previews.
struct FontGlyph
{
    int id = 0, x = 0, y = 0, w = 0, h = 0, xoff = 0, yoff = 0, xadv = 0;
};
struct FontKern
{
    int first = 0, second = 0, amount = 0;
};
struct BitmapFont
{
    int lineHeight = 0;
    int base = 0;
    std::string page;
    std::vector<FontGlyph> glyphs;
    std::vector<FontKern> kerning;
    Image pageImage;

    const FontGlyph* Find(int id) const;
    int Kerning(int first, int second) const;
    int Measure(const std::string& text) const;
};
// Loads descriptor and page (the page is looked up beside the descriptor). Throws on failure.
BitmapFont LoadFont(const std::string& path);
} // namespace art
