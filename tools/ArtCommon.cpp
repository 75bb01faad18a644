#include "ArtCommon.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace art
{
namespace
{
int Wrap(int v, int n)
{
    v %= n;
    return v < 0 ? v + n : v;
}

uint8_t ToByte(float v)
{
    return uint8_t(std::clamp(std::lround(v * 255.0f), 0L, 255L));
}

// 4x4 ordered dither thresholds in [0, 1).
const float c_Bayer[4][4] = {{0 / 16.f, 8 / 16.f, 2 / 16.f, 10 / 16.f},
                             {12 / 16.f, 4 / 16.f, 14 / 16.f, 6 / 16.f},
                             {3 / 16.f, 11 / 16.f, 1 / 16.f, 9 / 16.f},
                             {15 / 16.f, 7 / 16.f, 13 / 16.f, 5 / 16.f}};

// Quantises v (0..1) to a channel of `bits` bits with an ordered dither and returns the
// byte whose top bits the 565 conversion keeps (low bits replicated for an even look).
uint8_t Dither(float v, int bits, float threshold)
{
    const int levels = (1 << bits) - 1;
    const int q = std::clamp(int(std::floor(v * levels + threshold)), 0, levels);
    const int byte = (q << (8 - bits)) | (q >> (2 * bits - 8));
    return uint8_t(byte);
}
} // namespace

Rgba Mix(const Rgba& a, const Rgba& b, float t)
{
    return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t), Mix(a.a, b.a, t)};
}

float SmoothStep(float e0, float e1, float x)
{
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

Rgba Image::SampleNearest(float x, float y, bool wrap) const
{
    int ix = int(std::floor(x));
    int iy = int(std::floor(y));
    if (wrap)
    {
        ix = Wrap(ix, w);
        iy = Wrap(iy, h);
    }
    else
    {
        ix = std::clamp(ix, 0, w - 1);
        iy = std::clamp(iy, 0, h - 1);
    }
    return At(ix, iy);
}

Rgba Image::Sample(float x, float y, bool wrap) const
{
    const float fx = x - 0.5f;
    const float fy = y - 0.5f;
    const int x0 = int(std::floor(fx));
    const int y0 = int(std::floor(fy));
    const float tx = fx - float(x0);
    const float ty = fy - float(y0);
    auto get = [&](int ix, int iy) -> const Rgba&
    {
        if (wrap)
            return At(Wrap(ix, w), Wrap(iy, h));
        return At(std::clamp(ix, 0, w - 1), std::clamp(iy, 0, h - 1));
    };
    const Rgba top = Mix(get(x0, y0), get(x0 + 1, y0), tx);
    const Rgba bottom = Mix(get(x0, y0 + 1), get(x0 + 1, y0 + 1), tx);
    return Mix(top, bottom, ty);
}

namespace
{
// Rows of 8-bit RGB or RGBA texels through libpng's full writer, which lets the deflate level
// and the palette be chosen.
void WriteCompactPng(const std::string& path, int w, int h, int channels,
                     const std::vector<uint8_t>& data)
{
    // A palette when at most 256 distinct texels occur.
    std::vector<uint32_t> colours;
    std::vector<uint8_t> indices(size_t(w) * h);
    bool palette = true;
    for (size_t i = 0; i < indices.size() && palette; ++i)
    {
        const uint8_t* p = &data[i * channels];
        const uint32_t v = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 |
                           (channels == 4 ? p[3] : 255u);
        auto it = std::find(colours.begin(), colours.end(), v);
        if (it == colours.end())
        {
            if (colours.size() == 256)
                palette = false;
            else
                it = colours.insert(colours.end(), v);
        }
        if (palette)
            indices[i] = uint8_t(it - colours.begin());
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("cannot encode " + path);
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 9);
    if (palette)
    {
        std::vector<png_color> rgb;
        std::vector<png_byte> alpha;
        for (uint32_t v : colours)
        {
            rgb.push_back({png_byte(v >> 24), png_byte(v >> 16), png_byte(v >> 8)});
            alpha.push_back(png_byte(v));
        }
        const int bits = colours.size() <= 16 ? 4 : 8;
        png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), bits, PNG_COLOR_TYPE_PALETTE,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_PLTE(png, info, rgb.data(), int(rgb.size()));
        if (channels == 4)
            png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_write_info(png, info);
        if (bits == 4)
            png_set_packing(png);
        for (int y = 0; y < h; ++y)
            png_write_row(png, &indices[size_t(y) * w]);
    }
    else
    {
        png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8,
                     channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
        png_write_info(png, info);
        for (int y = 0; y < h; ++y)
            png_write_row(png, &data[size_t(y) * w * channels]);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
}
} // namespace

void WritePng(const std::string& path, const Image& image, PngKind kind, bool dither565,
              bool compact)
{
    // Straight colour; transparent texels borrow the colour of the nearest covered texel so
    // that any filtering of straight alpha shows no dark fringe.
    const int w = image.w;
    const int h = image.h;
    std::vector<Rgba> straight(image.px.size());
    std::vector<char> known(image.px.size(), 0);
    for (size_t i = 0; i < image.px.size(); ++i)
    {
        const Rgba& p = image.px[i];
        if (kind == PngKind::Rgb || p.a > 0.0f)
        {
            const float inv = (kind == PngKind::Rgb || p.a <= 0.0f) ? 1.0f : 1.0f / p.a;
            straight[i] = {p.r * inv, p.g * inv, p.b * inv, kind == PngKind::Rgb ? 1.0f : p.a};
            known[i] = 1;
        }
    }
    if (kind == PngKind::Rgba)
    {
        for (int pass = 0; pass < 16; ++pass)
        {
            std::vector<char> next = known;
            bool changed = false;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                {
                    const size_t i = size_t(y) * w + x;
                    if (known[i])
                        continue;
                    Rgba sum;
                    int n = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                        {
                            const int nx = x + dx;
                            const int ny = y + dy;
                            if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                                continue;
                            const size_t j = size_t(ny) * w + nx;
                            if (!known[j])
                                continue;
                            sum.r += straight[j].r;
                            sum.g += straight[j].g;
                            sum.b += straight[j].b;
                            ++n;
                        }
                    if (n > 0)
                    {
                        straight[i] = {sum.r / n, sum.g / n, sum.b / n, 0.0f};
                        next[i] = 1;
                        changed = true;
                    }
                }
            known.swap(next);
            if (!changed)
                break;
        }
    }

    const int channels = kind == PngKind::Rgb ? 3 : 4;
    std::vector<uint8_t> data(size_t(w) * h * channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const Rgba& p = straight[size_t(y) * w + x];
            uint8_t* out = &data[(size_t(y) * w + x) * channels];
            if (dither565 && kind == PngKind::Rgb)
            {
                const float t = c_Bayer[y & 3][x & 3];
                out[0] = Dither(p.r, 5, t);
                out[1] = Dither(p.g, 6, t);
                out[2] = Dither(p.b, 5, t);
            }
            else
            {
                out[0] = ToByte(p.r);
                out[1] = ToByte(p.g);
                out[2] = ToByte(p.b);
            }
            if (channels == 4)
                out[3] = ToByte(p.a);
        }
    if (compact)
    {
        WriteCompactPng(path, w, h, channels, data);
        return;
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(w);
    png.height = png_uint_32(h);
    png.format = kind == PngKind::Rgb ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&png, path.c_str(), 0, data.data(), 0, nullptr))
        throw std::runtime_error("cannot write " + path + ": " + png.message);
}

Image ReadPng(const std::string& path)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error("cannot read " + path + ": " + png.message);
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> data(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, data.data(), 0, nullptr))
        throw std::runtime_error("cannot decode " + path + ": " + png.message);
    Image image(int(png.width), int(png.height));
    for (size_t i = 0; i < image.px.size(); ++i)
    {
        const float a = data[i * 4 + 3] / 255.0f;
        image.px[i] = {data[i * 4] / 255.0f * a, data[i * 4 + 1] / 255.0f * a,
                       data[i * 4 + 2] / 255.0f * a, a};
    }
    return image;
}

bool PngHasAlpha(const std::string& path)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error("cannot read " + path + ": " + png.message);
    const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    png_image_free(&png);
    return alpha;
}

Image FromCairo(cairo_surface_t* surface)
{
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const bool alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    const uint8_t* data = cairo_image_surface_get_data(surface);
    Image image(w, h);
    for (int y = 0; y < h; ++y)
    {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < w; ++x)
        {
            const uint32_t v = row[x];
            image.At(x, y) = {((v >> 16) & 255) / 255.0f, ((v >> 8) & 255) / 255.0f,
                              (v & 255) / 255.0f, alpha ? (v >> 24) / 255.0f : 1.0f};
        }
    }
    return image;
}

cairo_surface_t* ToCairo(const Image& image)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.w, image.h);
    const int stride = cairo_image_surface_get_stride(surface);
    uint8_t* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < image.h; ++y)
    {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < image.w; ++x)
        {
            const Rgba& p = image.At(x, y);
            row[x] = uint32_t(ToByte(p.a)) << 24 | uint32_t(ToByte(p.r)) << 16 |
                     uint32_t(ToByte(p.g)) << 8 | uint32_t(ToByte(p.b));
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

cairo_font_face_t* LoadFontFace(const std::string& path)
{
    static FT_Library library = nullptr;
    if (!library && FT_Init_FreeType(&library) != 0)
        throw std::runtime_error("FreeType failed to start");
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0)
        throw std::runtime_error("cannot load font " + path);
    return cairo_ft_font_face_create_for_ft_face(face, 0);
}

Colour Hex(unsigned v)
{
    return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0};
}

void SetColour(cairo_t* cr, unsigned hex, double alpha)
{
    const Colour c = Hex(hex);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void Stop(cairo_pattern_t* p, double at, unsigned hex, double alpha)
{
    const Colour c = Hex(hex);
    cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, alpha);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    r = std::min(r, std::min(w, h) * 0.5);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void Blur(Image& image, float radius)
{
    const int box = std::max(1, int(std::lround(radius * 0.8f)));
    std::vector<Rgba> tmp(image.px.size());
    auto pass = [&](bool horizontal)
    {
        const int n = horizontal ? image.w : image.h;
        const int lines = horizontal ? image.h : image.w;
        for (int line = 0; line < lines; ++line)
        {
            auto idx = [&](int i)
            {
                i = std::clamp(i, 0, n - 1);
                return horizontal ? size_t(line) * image.w + i : size_t(i) * image.w + line;
            };
            Rgba sum;
            for (int i = -box; i <= box; ++i)
            {
                const Rgba& p = image.px[idx(i)];
                sum.r += p.r, sum.g += p.g, sum.b += p.b, sum.a += p.a;
            }
            const float inv = 1.0f / float(2 * box + 1);
            for (int i = 0; i < n; ++i)
            {
                tmp[idx(i)] = {sum.r * inv, sum.g * inv, sum.b * inv, sum.a * inv};
                const Rgba& add = image.px[idx(i + box + 1)];
                const Rgba& sub = image.px[idx(i - box)];
                sum.r += add.r - sub.r, sum.g += add.g - sub.g;
                sum.b += add.b - sub.b, sum.a += add.a - sub.a;
            }
        }
        image.px.swap(tmp);
    };
    for (int i = 0; i < 3; ++i)
    {
        pass(true);
        pass(false);
    }
}

void Over(Image& dst, const Image& src, int ox, int oy, float opacity)
{
    for (int y = 0; y < src.h; ++y)
    {
        const int dy = y + oy;
        if (dy < 0 || dy >= dst.h)
            continue;
        for (int x = 0; x < src.w; ++x)
        {
            const int dx = x + ox;
            if (dx < 0 || dx >= dst.w)
                continue;
            const Rgba& s = src.At(x, y);
            Rgba& d = dst.At(dx, dy);
            const float k = 1.0f - s.a * opacity;
            d = {s.r * opacity + d.r * k, s.g * opacity + d.g * k, s.b * opacity + d.b * k,
                 s.a * opacity + d.a * k};
        }
    }
}

float TileNoise(float x, float y, int period, uint32_t seed)
{
    auto hash = [&](int ix, int iy)
    {
        uint32_t v = uint32_t(Wrap(ix, period)) * 73856093u ^
                     uint32_t(Wrap(iy, period)) * 19349663u ^ seed * 83492791u;
        v ^= v >> 13;
        v *= 0x5bd1e995u;
        v ^= v >> 15;
        return float(v & 0xFFFFu) / 65535.0f;
    };
    const int x0 = int(std::floor(x));
    const int y0 = int(std::floor(y));
    float tx = x - float(x0);
    float ty = y - float(y0);
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = Mix(hash(x0, y0), hash(x0 + 1, y0), tx);
    const float b = Mix(hash(x0, y0 + 1), hash(x0 + 1, y0 + 1), tx);
    return Mix(a, b, ty);
}

const FontGlyph* BitmapFont::Find(int id) const
{
    for (const FontGlyph& g : glyphs)
        if (g.id == id)
            return &g;
    return nullptr;
}

int BitmapFont::Kerning(int first, int second) const
{
    for (const FontKern& k : kerning)
        if (k.first == first && k.second == second)
            return k.amount;
    return 0;
}

int BitmapFont::Measure(const std::string& text) const
{
    int width = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const FontGlyph* g = Find(static_cast<unsigned char>(text[i]));
        if (!g)
            continue;
        width += g->xadv;
        if (i + 1 < text.size())
            width += Kerning(text[i], text[i + 1]);
    }
    return width;
}

BitmapFont LoadFont(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 4 || bytes.compare(0, 4, "BMF\x03") != 0)
        throw std::runtime_error("not a BMFont v3 descriptor: " + path);
    auto u = [&](size_t at, int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= uint32_t(uint8_t(bytes.at(at + size_t(i)))) << (8 * i);
        return v;
    };
    BitmapFont font;
    size_t pos = 4;
    while (pos + 5 <= bytes.size())
    {
        const int type = int(u(pos, 1));
        const size_t size = u(pos + 1, 4);
        const size_t at = pos + 5;
        if (at + size > bytes.size())
            throw std::runtime_error("truncated block in " + path);
        if (type == 2)
        {
            font.lineHeight = int(u(at, 2));
            font.base = int(u(at + 2, 2));
        }
        else if (type == 3)
            font.page = std::string(bytes.c_str() + at);
        else if (type == 4)
            for (size_t r = at; r + 20 <= at + size; r += 20)
                font.glyphs.push_back({int(u(r, 4)), int(u(r + 4, 2)), int(u(r + 6, 2)),
                                       int(u(r + 8, 2)), int(u(r + 10, 2)), int16_t(u(r + 12, 2)),
                                       int16_t(u(r + 14, 2)), int16_t(u(r + 16, 2))});
        else if (type == 5)
            for (size_t r = at; r + 10 <= at + size; r += 10)
                font.kerning.push_back({int(u(r, 4)), int(u(r + 4, 4)), int16_t(u(r + 8, 2))});
        pos = at + size;
    }
    const size_t slash = path.find_last_of('/');
    font.pageImage =
        ReadPng(slash == std::string::npos ? font.page : path.substr(0, slash + 1) + font.page);
    return font;
}
} // namespace art
