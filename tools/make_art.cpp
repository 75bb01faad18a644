// Draws every picture of the program's resources: backgrounds and the lava mask, the
// spotlight, the robot's head frames and mouths, the decals, the panel graphics, the about
// page and the launch image.
//
//   make_art <out-dir> <font-dir> [scale]
//
// <font-dir> holds the DejaVu TrueType files (DejaVuSansCondensed-Bold.ttf, DejaVuSans-Bold.ttf).
// [scale] is 1 (the default), 2 or 4: every picture is drawn from the same geometry at that many
// pixels a point and written beside the 1x file ("robot0@2x.png"); the program draws the larger
// sets at the 1x size in points. Glows blur over as many points at every scale, and images
// computed texel by texel sample the same shapes more finely, with edges one pixel soft.
#include "ArtCommon.h"
#include "RobotDrawing.h"
#include "RobotGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef ZINDLE_VERSION
#define ZINDLE_VERSION "0.0.0"
#endif

namespace
{
using art::c_iEye;
using art::Image;
using art::Rgba;
using art::SetColour;
using art::ShellPath;
using art::Stop;
using art::VisorPath;

const int c_iScreenW = 480;
const int c_iScreenH = 320;

std::string g_OutDir;
int g_iScale = 1; // pixels per point of the set being drawn
float g_rScale = 1.0f;
cairo_font_face_t* g_pFontCondensedBold = nullptr;
cairo_font_face_t* g_pFontBold = nullptr;
cairo_font_face_t* g_pFontBook = nullptr;

struct Canvas
{
    cairo_surface_t* surface;
    cairo_t* cr;
    Canvas(int w, int h)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), cr(cairo_create(surface))
    {
    }
    ~Canvas()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Image Take() { return art::FromCairo(surface); }
};

Rgba Px(unsigned hex, float alpha = 1.0f)
{
    const art::Colour c = art::Hex(hex);
    return {float(c.r) * alpha, float(c.g) * alpha, float(c.b) * alpha, alpha};
}

// Drawing code works in points; a larger set's canvas is scaled up to its pixels.
void ScaleToPoints(cairo_t* cr)
{
    if (g_iScale != 1)
        cairo_scale(cr, g_rScale, g_rScale);
}

// A side in points as pixels of the set being drawn.
int Pixels(int points)
{
    return points * g_iScale;
}

// Coverage of a pixel by a shape whose edge is `inside` points away (negative: outside),
// one pixel of soft edge at every scale.
float Edge(float inside)
{
    return std::clamp(inside * g_rScale + 0.5f, 0.0f, 1.0f);
}

// Draws with `draw` on a transparent layer of the destination's size, blurs it and lays it
// over the destination: soft glows and shadows.
void Glow(Image& dst, float radius, float opacity, const std::function<void(cairo_t*)>& draw,
          double originX = 0, double originY = 0)
{
    Canvas layer(dst.w, dst.h);
    ScaleToPoints(layer.cr);
    cairo_translate(layer.cr, -originX, -originY);
    draw(layer.cr);
    Image img = layer.Take();
    art::Blur(img, radius * g_rScale);
    art::Over(dst, img, 0, 0, opacity);
}

void Layer(Image& dst, const std::function<void(cairo_t*)>& draw, double originX = 0,
           double originY = 0)
{
    Canvas layer(dst.w, dst.h);
    ScaleToPoints(layer.cr);
    cairo_translate(layer.cr, -originX, -originY);
    draw(layer.cr);
    art::Over(dst, layer.Take(), 0, 0);
}

// Writes the image under its 1x name, or the larger set's name beside it.
void Save(const std::string& name, const Image& image, art::PngKind kind, bool dither = false)
{
    const size_t dot = name.rfind('.');
    const std::string file = g_iScale == 1 ? name
                                           : name.substr(0, dot) + "@" + std::to_string(g_iScale) +
                                                 "x" + name.substr(dot);
    art::WritePng(g_OutDir + "/" + file, image, kind, dither, g_iScale != 1);
    std::printf("  %-20s %4d x %-4d %s\n", file.c_str(), image.w, image.h,
                kind == art::PngKind::Rgb ? "RGB" : "RGBA");
}

void Text(cairo_t* cr, cairo_font_face_t* face, double size, double x, double y,
          const std::string& text, int align = 0)
{
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    double left = x;
    if (align == 1)
        left = x - ext.x_advance * 0.5;
    else if (align == 2)
        left = x - ext.x_advance;
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, text.c_str());
}

// ---------------------------------------------------------------------------------------
// Backgrounds and lava
// ---------------------------------------------------------------------------------------

// Background images are 512 x 512, drawn centred on the screen: screen (x, y) is texel
// (x + 16, y + 96).
const int c_iBgSize = 512;
const float c_rBgOffX = (c_iBgSize - c_iScreenW) / 2.0f;
const float c_rBgOffY = (c_iBgSize - c_iScreenH) / 2.0f;

float Hash01(int x, int y, uint32_t seed)
{
    uint32_t v = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    v = (v ^ (v >> 13)) * 1274126177u;
    return float((v ^ (v >> 16)) & 0xFFFFFF) / float(0xFFFFFF);
}

// Cool colourway: deep teal night with a halftone dot field and a few stars.
Image MakeBackgroundCool()
{
    Image img(Pixels(c_iBgSize), Pixels(c_iBgSize));
    const Rgba centre = Px(0x1F7C93);
    const Rgba mid = Px(0x14406B);
    const Rgba edge = Px(0x0A1230);
    for (int ty = 0; ty < img.h; ++ty)
        for (int tx = 0; tx < img.w; ++tx)
        {
            const float x = (float(tx) - c_rBgOffX * g_rScale + 0.5f) / g_rScale;
            const float y = (float(ty) - c_rBgOffY * g_rScale + 0.5f) / g_rScale;
            const float dx = (x - float(art::c_rHeadX)) / 300.0f;
            const float dy = (y - float(art::c_rHeadY)) / 240.0f;
            const float d = std::sqrt(dx * dx + dy * dy);
            Rgba c = art::Mix(centre, mid, art::SmoothStep(0.0f, 0.55f, d));
            c = art::Mix(c, edge, art::SmoothStep(0.45f, 1.35f, d));
            // Halftone dots on a 12-point lattice, shrinking away from the middle.
            const float cell = 12.0f;
            const float gx = std::fmod(x + 1000.0f * cell, cell) - cell * 0.5f;
            const float gy = std::fmod(y + 1000.0f * cell, cell) - cell * 0.5f;
            const float radius = 2.6f * (1.0f - art::SmoothStep(0.1f, 1.3f, d)) + 0.4f;
            const float dot = Edge(radius - std::sqrt(gx * gx + gy * gy));
            c = art::Mix(c, Px(0x5FD3E0), dot * 0.22f);
            // A faint large wave band across the lower half.
            const float band = std::sin(x * 0.018f + 1.3f) * 18.0f + 235.0f;
            const float bandGlow = std::exp(-std::pow((y - band) / 26.0f, 2.0f));
            c = art::Mix(c, Px(0x2CB5C7), bandGlow * 0.18f);
            // Stars.
            const int sx = int(std::floor(x / 16.0f));
            const int sy = int(std::floor(y / 16.0f));
            const float h = Hash01(sx, sy, 7);
            if (h > 0.93f)
            {
                const float px = (sx + 0.2f + 0.6f * Hash01(sx, sy, 8)) * 16.0f;
                const float py = (sy + 0.2f + 0.6f * Hash01(sx, sy, 9)) * 16.0f;
                const float r = std::sqrt((x - px) * (x - px) + (y - py) * (y - py));
                const float star = std::exp(-r * r / 1.2f) * (h - 0.93f) / 0.07f;
                c = art::Mix(c, Px(0xE8FBFF), std::min(1.0f, star) * 0.8f);
            }
            img.At(tx, ty) = c;
        }
    return img;
}

// Warm colourway: a striped retro sun behind the robot in a magenta and orange sky.
Image MakeBackgroundWarm()
{
    Image img(Pixels(c_iBgSize), Pixels(c_iBgSize));
    const Rgba top = Px(0x3B1060);
    const Rgba middle = Px(0xC2226A);
    const Rgba bottom = Px(0xFF8C42);
    const float sunX = float(art::c_rHeadX);
    const float sunY = float(art::c_rHeadY) + 6.0f;
    const float sunR = 128.0f;
    for (int ty = 0; ty < img.h; ++ty)
        for (int tx = 0; tx < img.w; ++tx)
        {
            const float x = (float(tx) - c_rBgOffX * g_rScale + 0.5f) / g_rScale;
            const float y = (float(ty) - c_rBgOffY * g_rScale + 0.5f) / g_rScale;
            const float t = std::clamp(y / 320.0f, -0.2f, 1.2f);
            Rgba c = art::Mix(top, middle, art::SmoothStep(-0.1f, 0.55f, t));
            c = art::Mix(c, bottom, art::SmoothStep(0.5f, 1.1f, t));
            const float d = std::sqrt((x - sunX) * (x - sunX) + (y - sunY) * (y - sunY));
            // Halo.
            c = art::Mix(c, Px(0xFFB35C),
                         0.45f * std::exp(-std::pow(std::max(0.0f, d - sunR) / 70.0f, 2.0f)));
            // Sun disc with stripes that widen towards its foot.
            const float inside = Edge(sunR - d);
            if (inside > 0.0f)
            {
                const float v = (y - (sunY - sunR)) / (2.0f * sunR); // 0 top, 1 bottom
                Rgba sun = art::Mix(Px(0xFFE27A), Px(0xFF5E5B), art::SmoothStep(0.1f, 0.95f, v));
                float cut = 0.0f;
                if (v > 0.45f)
                {
                    const float period = 17.0f;
                    const float phase = std::fmod(y - (sunY - sunR), period);
                    const float gap = 2.0f + (v - 0.45f) * 16.0f;
                    cut = phase > period - gap ? Edge(phase - (period - gap)) * Edge(period - phase)
                                               : 0.0f;
                }
                c = art::Mix(c, sun, inside * (1.0f - cut));
            }
            // The ground: a perspective grid below the horizon, in front of the sun.
            const float horizon = 246.0f;
            if (y > horizon - 0.5f / g_rScale)
            {
                const float k = 70.0f;
                const float depth = std::max(0.5f, y - horizon);
                const float z = k / depth;
                const float g = art::SmoothStep(0.0f, 90.0f, depth);
                Rgba ground = art::Mix(Px(0xF0605A), Px(0x4A1466), g);
                // A line 1.4 points wide; at 1x its profile is the original tent.
                auto lineAt = [](float v, float step, float pointsPerUnit)
                {
                    const float f = std::fmod(v / step + 1000.0f, 1.0f);
                    const float dist = std::min(f, 1.0f - f) * step * pointsPerUnit;
                    return g_iScale == 1 ? std::clamp(1.2f - dist, 0.0f, 1.0f) : Edge(0.7f - dist);
                };
                const float across = lineAt((x - sunX) * z / k, 0.45f, k / z);
                const float spacing = 0.4f * k / (z * z);
                const float along =
                    lineAt(z, 0.4f, k / (z * z)) * art::SmoothStep(2.0f, 7.0f, spacing);
                const float lines = std::max(across * art::SmoothStep(0.0f, 30.0f, depth), along);
                ground = art::Mix(ground, Px(0xFFC27A), lines * 0.55f);
                // Glow along the horizon.
                ground = art::Mix(ground, Px(0xFFB35C), 0.6f * std::exp(-depth / 10.0f));
                c = art::Mix(c, ground, Edge(y - horizon));
            }
            img.At(tx, ty) = c;
        }
    return img;
}

// Seamlessly tiling soft blobs in the alpha channel (metaballs on a torus).
Image MakeLava()
{
    const int size = 256;
    struct Ball
    {
        float x, y, r;
    };
    const std::vector<Ball> balls = {{40, 52, 26},  {150, 30, 18},  {205, 120, 30}, {98, 150, 22},
                                     {30, 200, 20}, {170, 215, 25}, {240, 250, 13}, {120, 90, 11},
                                     {70, 240, 11}, {225, 60, 14},  {140, 250, 10}};
    Image img(Pixels(size), Pixels(size));
    double coverage = 0;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
        {
            float field = 0.0f;
            for (const Ball& b : balls)
            {
                float dx = std::abs((float(x) + 0.5f) / g_rScale - b.x);
                float dy = std::abs((float(y) + 0.5f) / g_rScale - b.y);
                dx = std::min(dx, size - dx);
                dy = std::min(dy, size - dy);
                field += b.r * b.r / (dx * dx + dy * dy + 1.0f);
            }
            const float a = art::SmoothStep(0.8f, 1.25f, field);
            img.At(x, y) = {a, a, a, a};
            coverage += a;
        }
    std::printf("  lava covers %.0f%% of its tile\n", 100.0 * coverage / double(img.px.size()));
    return img;
}

// A soft pool of warm light with a faint beam from above, centred on the robot.
Image MakeSpotlight()
{
    Image img(Pixels(c_iBgSize), Pixels(c_iBgSize));
    const float cx = float(art::c_rHeadX);
    const float cy = float(art::c_rHeadY);
    for (int ty = 0; ty < img.h; ++ty)
        for (int tx = 0; tx < img.w; ++tx)
        {
            const float x = (float(tx) - c_rBgOffX * g_rScale + 0.5f) / g_rScale;
            const float y = (float(ty) - c_rBgOffY * g_rScale + 0.5f) / g_rScale;
            const float dx = (x - cx) / 150.0f;
            const float dy = (y - cy) / 135.0f;
            const float d2 = dx * dx + dy * dy;
            float a = 0.42f * std::exp(-d2 * 1.6f);
            // Beam: widening downwards from above the screen.
            const float halfWidth = 40.0f + (y + 60.0f) * 0.38f;
            const float across = std::abs(x - cx) / halfWidth;
            const float beam = (1.0f - art::SmoothStep(0.55f, 1.0f, across)) *
                               (1.0f - art::SmoothStep(cy + 20.0f, cy + 150.0f, y));
            a += 0.13f * beam * (y > -60.0f ? 1.0f : 0.0f);
            // Floor pool under the head.
            const float fx = (x - cx) / 120.0f;
            const float fy = (y - 268.0f) / 22.0f;
            a += 0.18f * std::exp(-(fx * fx + fy * fy) * 2.0f);
            a = std::min(a, 0.7f);
            // Clear at the texture's edge.
            const int edgePixels =
                std::min(std::min(tx, ty), std::min(img.w - 1 - tx, img.h - 1 - ty));
            const float edge = (float(edgePixels) + 0.5f) / g_rScale - 0.5f; // points
            a *= art::SmoothStep(0.0f, 24.0f, edge);
            const Rgba warm = Px(0xFFF1D6);
            img.At(tx, ty) = {warm.r * a, warm.g * a, warm.b * a, a};
        }
    return img;
}

// ---------------------------------------------------------------------------------------
// Robot
// ---------------------------------------------------------------------------------------

Image MakeHead(int frame)
{
    const double turn = art::HeadTurn(frame);
    Image img(Pixels(art::c_iHeadSize), Pixels(art::c_iHeadSize));
    const double ox = art::c_iHeadLeft, oy = art::c_iHeadTop;
    const double hx = art::c_rHeadX, hy = art::c_rHeadY;
    const double shellBottom = hy + art::c_rShellHalfH;

    // Hover glow under the neck.
    Glow(
        img, 7, 0.9,
        [&](cairo_t* cr)
        {
            cairo_save(cr);
            cairo_translate(cr, hx + 8 * std::sin(turn), shellBottom + 26);
            cairo_scale(cr, 52, 9);
            cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(cr);
            SetColour(cr, c_iEye, 0.8);
            cairo_fill(cr);
        },
        ox, oy);

    Layer(
        img, [&](cairo_t* cr) { art::DrawHeadBody(cr, turn); }, ox, oy);

    // Antenna light.
    const double ax = art::AntennaX(turn);
    const double ay = art::AntennaY();
    Glow(
        img, 4, 0.9,
        [&](cairo_t* cr)
        {
            cairo_arc(cr, ax, ay, 9, 0, 2 * M_PI);
            SetColour(cr, 0xFF9A5A, 0.9);
            cairo_fill(cr);
        },
        ox, oy);
    Layer(
        img, [&](cairo_t* cr) { art::DrawAntennaLight(cr, turn); }, ox, oy);

    // Visor glass, eyes, cheeks and mouth plate.
    Layer(
        img, [&](cairo_t* cr) { art::DrawVisorAndPlate(cr, turn); }, ox, oy);

    // Eye glow, clipped to the visor.
    const double eyePhi = art::c_rEyeAngle;
    const double eyeY = art::EyeY();
    Glow(
        img, 6, 0.85,
        [&](cairo_t* cr)
        {
            VisorPath(cr, turn);
            cairo_clip(cr);
            for (int side : {-1, 1})
            {
                const double ex = art::FaceX(side * eyePhi, turn);
                const double sq = art::FaceSquash(side * eyePhi, turn);
                cairo_save(cr);
                cairo_translate(cr, ex, eyeY);
                cairo_scale(cr, 20 * sq, 20);
                cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
                cairo_restore(cr);
                SetColour(cr, c_iEye, 0.9);
                cairo_fill(cr);
            }
        },
        ox, oy);
    Layer(
        img, [&](cairo_t* cr) { art::DrawEyes(cr, turn); }, ox, oy);

    // Gloss on the shell, and ears in front of it.
    Glow(
        img, 3, 0.8,
        [&](cairo_t* cr)
        {
            ShellPath(cr);
            cairo_clip(cr);
            cairo_save(cr);
            cairo_translate(cr, hx - 40, hy - 56);
            cairo_rotate(cr, -0.22);
            cairo_scale(cr, 34, 10);
            cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(cr);
            SetColour(cr, 0xFFFFFF, 0.95);
            cairo_fill(cr);
            cairo_arc(cr, hx - 72, hy - 34, 4, 0, 2 * M_PI);
            SetColour(cr, 0xFFFFFF, 0.9);
            cairo_fill(cr);
        },
        ox, oy);
    Layer(
        img, [&](cairo_t* cr) { art::DrawFrontEars(cr, turn); }, ox, oy);
    return img;
}

// Mouth opening `step` (0 closed … 4 widest) for head frame `frame`.
Image MakeMouth(int frame, int step)
{
    const double turn = art::HeadTurn(frame);
    const double ox = art::c_MouthPositions[frame][0];
    const double oy = art::c_MouthPositions[frame][1];
    Image img(Pixels(art::c_iMouthWidth), Pixels(art::c_iMouthHeight));

    Glow(
        img, 3, 0.9,
        [&](cairo_t* cr)
        {
            art::MouthPath(cr, turn, step);
            cairo_identity_matrix(cr); // a round pen, in points
            ScaleToPoints(cr);
            SetColour(cr, c_iEye, 0.9);
            cairo_set_line_width(cr, 5);
            cairo_stroke(cr);
        },
        ox, oy);
    Layer(
        img, [&](cairo_t* cr) { art::DrawMouth(cr, turn, step); }, ox, oy);
    return img;
}

// ---------------------------------------------------------------------------------------
// Decals
// ---------------------------------------------------------------------------------------

struct DecalRect
{
    int x0, y0, x1, y1;
};
// Texel rectangles of the eight doodles (first corner, opposite corner).
const DecalRect c_Decals[8] = {{7, 7, 40, 45},     {52, 14, 80, 41},   {90, 5, 138, 54},
                               {150, 12, 170, 42}, {185, 15, 215, 48}, {9, 56, 50, 103},
                               {68, 61, 100, 110}, {142, 55, 186, 99}};

void DecalStroke(cairo_t* cr, double width)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void DrawDecal(cairo_t* cr, int index, const DecalRect& r)
{
    const double x0 = r.x0 + 3, y0 = r.y0 + 3, x1 = r.x1 - 3, y1 = r.y1 - 3;
    const double w = x1 - x0, h = y1 - y0;
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    switch (index)
    {
    case 0: // eighth note
        cairo_save(cr);
        cairo_translate(cr, x0 + w * 0.3, y1 - h * 0.15);
        cairo_rotate(cr, -0.45);
        cairo_scale(cr, 8, 5.5);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        cairo_fill(cr);
        cairo_move_to(cr, x0 + w * 0.3 + 6.5, y1 - h * 0.2);
        cairo_line_to(cr, x0 + w * 0.3 + 6.5, y0 + 1);
        cairo_curve_to(cr, x0 + w * 0.7, y0 + h * 0.2, x1, y0 + h * 0.3, x1 - 3, y0 + h * 0.6);
        DecalStroke(cr, 2.6);
        break;
    case 1: // sparkle
        cairo_move_to(cr, cx, y0);
        cairo_curve_to(cr, cx + 2, cy - 2, cx + 2, cy - 2, x1, cy);
        cairo_curve_to(cr, cx + 2, cy + 2, cx + 2, cy + 2, cx, y1);
        cairo_curve_to(cr, cx - 2, cy + 2, cx - 2, cy + 2, x0, cy);
        cairo_curve_to(cr, cx - 2, cy - 2, cx - 2, cy - 2, cx, y0);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    case 2: // ringed planet
        cairo_arc(cr, cx, cy, w * 0.26, 0, 2 * M_PI);
        DecalStroke(cr, 2.6);
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, -0.45);
        cairo_scale(cr, w * 0.47, h * 0.16);
        cairo_arc(cr, 0, 0, 1, -0.25 * M_PI + M_PI, 2.25 * M_PI);
        cairo_restore(cr);
        DecalStroke(cr, 2.2);
        cairo_arc(cr, x1 - 4, y0 + 5, 2, 0, 2 * M_PI);
        cairo_fill(cr);
        break;
    case 3: // lightning
        cairo_move_to(cr, x0 + w * 0.7, y0);
        cairo_line_to(cr, x0 + 1, cy + 2);
        cairo_line_to(cr, cx + 1, cy + 1);
        cairo_line_to(cr, x0 + w * 0.3, y1);
        cairo_line_to(cr, x1, cy - 3);
        cairo_line_to(cr, cx - 0.5, cy - 2);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    case 4: // spiral
        for (int i = 0; i <= 80; ++i)
        {
            const double t = i / 80.0 * 4.2 * M_PI;
            const double rr = 1.0 + t / (4.2 * M_PI) * (std::min(w, h) * 0.5 - 2);
            const double x = cx + rr * std::cos(t), y = cy + rr * std::sin(t);
            if (i == 0)
                cairo_move_to(cr, x, y);
            else
                cairo_line_to(cr, x, y);
        }
        DecalStroke(cr, 2.4);
        break;
    case 5: // two beamed notes
        for (int i = 0; i < 2; ++i)
        {
            const double nx = x0 + 7 + i * (w - 16);
            const double ny = y1 - 6 - i * 5;
            cairo_save(cr);
            cairo_translate(cr, nx, ny);
            cairo_rotate(cr, -0.45);
            cairo_scale(cr, 7, 5);
            cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
            cairo_restore(cr);
            cairo_fill(cr);
            cairo_move_to(cr, nx + 6, ny - 1);
            cairo_line_to(cr, nx + 6, y0 + 6 - i * 5 + 5);
            DecalStroke(cr, 2.4);
        }
        cairo_move_to(cr, x0 + 13, y0 + 9);
        cairo_line_to(cr, x1 - 3, y0 + 4);
        DecalStroke(cr, 5);
        break;
    case 6: // little rocket
        cairo_move_to(cr, cx, y0);
        cairo_curve_to(cr, x1, y0 + h * 0.25, x1 - 3, y0 + h * 0.6, cx + 6, y1 - h * 0.22);
        cairo_line_to(cr, cx - 6, y1 - h * 0.22);
        cairo_curve_to(cr, x0 + 3, y0 + h * 0.6, x0, y0 + h * 0.25, cx, y0);
        cairo_close_path(cr);
        DecalStroke(cr, 2.4);
        cairo_arc(cr, cx, y0 + h * 0.36, 3.5, 0, 2 * M_PI);
        DecalStroke(cr, 2);
        cairo_move_to(cr, cx - 4, y1 - h * 0.14);
        cairo_line_to(cr, cx, y1);
        cairo_line_to(cr, cx + 4, y1 - h * 0.14);
        DecalStroke(cr, 2.2);
        break;
    default: // sine wave in a ring: an oscilloscope
        cairo_arc(cr, cx, cy, std::min(w, h) * 0.5 - 1, 0, 2 * M_PI);
        DecalStroke(cr, 2.4);
        for (int i = 0; i <= 40; ++i)
        {
            const double t = i / 40.0;
            const double x = cx - w * 0.32 + w * 0.64 * t;
            const double y = cy - h * 0.18 * std::sin(t * 2 * M_PI);
            if (i == 0)
                cairo_move_to(cr, x, y);
            else
                cairo_line_to(cr, x, y);
        }
        DecalStroke(cr, 2.4);
        break;
    }
}

Image MakeDecals()
{
    Image img(Pixels(256), Pixels(128));
    const unsigned tints[8] = {0xFFFFFF, 0xFFF4C2, 0xD8F7FF, 0xFFF0A8,
                               0xFFE0F4, 0xFFFFFF, 0xE4FFF0, 0xD8F7FF};
    for (int i = 0; i < 8; ++i)
    {
        const DecalRect& r = c_Decals[i];
        Image one(img.w, img.h);
        Glow(one, 2.5, 0.7,
             [&](cairo_t* cr)
             {
                 SetColour(cr, tints[i]);
                 DrawDecal(cr, i, r);
             });
        Layer(one,
              [&](cairo_t* cr)
              {
                  SetColour(cr, tints[i]);
                  DrawDecal(cr, i, r);
              });
        // Keep every doodle strictly inside its rectangle, one texel clear of its edge.
        for (int y = 0; y < img.h; ++y)
            for (int x = 0; x < img.w; ++x)
                if (x >= Pixels(r.x0 + 1) && x < Pixels(r.x1 - 1) && y >= Pixels(r.y0 + 1) &&
                    y < Pixels(r.y1 - 1))
                {
                    const Rgba& s = one.At(x, y);
                    Rgba& d = img.At(x, y);
                    d = {s.r + d.r * (1 - s.a), s.g + d.g * (1 - s.a), s.b + d.b * (1 - s.a),
                         s.a + d.a * (1 - s.a)};
                }
    }
    return img;
}

// ---------------------------------------------------------------------------------------
// Panel graphics, hint, about page, launch image
// ---------------------------------------------------------------------------------------

// The corner button: a little mixing desk, white on black, drawn additively.
Image MakePanelOpen()
{
    Canvas c(Pixels(64), Pixels(64));
    ScaleToPoints(c.cr);
    SetColour(c.cr, 0x000000);
    cairo_paint(c.cr);
    cairo_set_source_rgb(c.cr, 1, 1, 1);
    art::RoundedRect(c.cr, 12.5, 12.5, 39, 39, 9);
    cairo_set_line_width(c.cr, 3);
    cairo_stroke(c.cr);
    const double knobs[3] = {0.3, 0.7, 0.45};
    for (int i = 0; i < 3; ++i)
    {
        const double y = 22 + i * 10;
        cairo_move_to(c.cr, 19, y);
        cairo_line_to(c.cr, 45, y);
        cairo_set_line_width(c.cr, 2);
        cairo_set_line_cap(c.cr, CAIRO_LINE_CAP_ROUND);
        cairo_stroke(c.cr);
        cairo_arc(c.cr, 19 + 26 * knobs[i], y, 3.5, 0, 2 * M_PI);
        cairo_fill(c.cr);
    }
    return c.Take();
}

const char* c_pHintText = "Double-tap the corner for controls";

// The hint beside the corner button, anchored at its right edge.
Image MakeDoubleTap()
{
    const int width = 512;
    Image img(Pixels(width), Pixels(64));
    cairo_font_face_t* face = g_pFontCondensedBold;
    Canvas measure(1, 1);
    cairo_set_font_face(measure.cr, face);
    cairo_set_font_size(measure.cr, 13);
    cairo_text_extents_t ext;
    cairo_text_extents(measure.cr, c_pHintText, &ext);
    const double right = width - 10;
    const double left = right - ext.x_advance - 34;
    if (left < 4)
        throw std::runtime_error("the hint text is too wide for its image");
    Glow(img, 3, 0.6,
         [&](cairo_t* cr)
         {
             art::RoundedRect(cr, left, 21, right - left, 22, 11);
             SetColour(cr, 0x000000, 0.8);
             cairo_fill(cr);
         });
    Layer(img,
          [&](cairo_t* cr)
          {
              art::RoundedRect(cr, left + 0.5, 21.5, right - left - 1, 21, 10.5);
              SetColour(cr, 0x101A33, 0.88);
              cairo_fill_preserve(cr);
              SetColour(cr, 0x7FE9FF, 0.9);
              cairo_set_line_width(cr, 1.5);
              cairo_stroke(cr);
              SetColour(cr, 0xFFFFFF);
              Text(cr, face, 13, left + 11, 37, c_pHintText);
              // Arrow towards the corner.
              cairo_move_to(cr, right - 17, 26);
              cairo_line_to(cr, right - 8, 32);
              cairo_line_to(cr, right - 17, 38);
              cairo_close_path(cr);
              SetColour(cr, 0x7FE9FF);
              cairo_fill(cr);
          });
    return img;
}

// The panel background: the 163-point strip, full height, calm and dark.
Image MakePanelBg()
{
    Image img(Pixels(256), Pixels(512));
    for (int py = 0; py < img.h; ++py)
        for (int px = 0; px < img.w; ++px)
        {
            // The pixel's top-left corner in points: edges land on whole points at every scale.
            const float x = float(px) / g_rScale;
            const float y = float(py) / g_rScale;
            const float t = std::min(1.0f, y / 320.0f);
            Rgba c = art::Mix(Px(0x24304A), Px(0x121826), t);
            // Fine diagonal pinstripes.
            const float stripe = std::fmod(x + y, 6.0f) < 1.0f ? 1.0f : 0.0f;
            c = art::Mix(c, Px(0x3A4A6A), stripe * 0.18f);
            // Soft light along the top.
            c = art::Mix(c, Px(0x3C5C8C), 0.35f * std::exp(-y / 28.0f));
            // Bevel at the left edge of the strip.
            if (x < 1.0f)
                c = art::Mix(c, Px(0x6F86B5), 0.8f);
            else if (x < 6.0f)
                c = art::Mix(c, Px(0x05070C), 0.35f * (6.0f - x) / 5.0f);
            if (x >= 162.0f && x < 163.0f)
                c = art::Mix(c, Px(0x05070C), 0.4f);
            // A thin glowing rule along the top.
            if (y < 2.0f && x >= 1.0f)
                c = art::Mix(c, Px(0x5CEBFF), y < 1.0f ? 0.7f : 0.3f);
            img.At(px, py) = c;
        }
    // The name, engraved small under the controls.
    Layer(img,
          [&](cairo_t* cr)
          {
              cairo_set_font_face(cr, g_pFontCondensedBold);
              cairo_set_font_size(cr, 10);
              const char* name = "Z  I  N  D  L  E";
              cairo_text_extents_t ext;
              cairo_text_extents(cr, name, &ext);
              SetColour(cr, 0x05070C, 0.6);
              cairo_move_to(cr, 81.5 - ext.x_advance / 2 + 1, 314);
              cairo_show_text(cr, name);
              SetColour(cr, 0x4A5C82);
              cairo_move_to(cr, 81.5 - ext.x_advance / 2, 313);
              cairo_show_text(cr, name);
          });
    return img;
}

void Paragraph(cairo_t* cr, cairo_font_face_t* face, double size, double x, double y,
               double lineStep, const std::vector<std::string>& lines)
{
    for (size_t i = 0; i < lines.size(); ++i)
        Text(cr, face, size, x, y + lineStep * double(i), lines[i]);
}

// The about page: the top-left 480 x 320 of a 512 x 512 opaque image.
Image MakeAbout(const Image& head, const Image& mouth)
{
    Image img(Pixels(512), Pixels(512));
    for (int py = 0; py < img.h; ++py)
        for (int px = 0; px < img.w; ++px)
        {
            // At 1x each texel stands at its own coordinate; finer pixels sample around it.
            const float x = (float(px) + 0.5f) / g_rScale - 0.5f;
            const float y = (float(py) + 0.5f) / g_rScale - 0.5f;
            const float dx = (x - 100.0f) / 260.0f, dy = (y - 150.0f) / 260.0f;
            const float d = std::sqrt(dx * dx + dy * dy);
            Rgba c = art::Mix(Px(0x1E4E74), Px(0x0C1226), art::SmoothStep(0.0f, 1.2f, d));
            const float cell = 12.0f;
            const float gx = std::fmod(x + cell, cell) - cell * 0.5f;
            const float gy = std::fmod(y + cell, cell) - cell * 0.5f;
            const float r = std::sqrt(gx * gx + gy * gy);
            // A dot of the same area as the 1x cone, with a sharp edge.
            const float dot = g_iScale == 1 ? std::clamp(1.3f - r, 0.0f, 1.0f) : Edge(0.85f - r);
            c = art::Mix(c, Px(0x5FD3E0), dot * 0.12f);
            img.At(px, py) = c;
        }
    // The robot, scaled down, on the left.
    {
        Image face(Pixels(art::c_iHeadSize), Pixels(art::c_iHeadSize));
        art::Over(face, head, 0, 0);
        art::Over(face, mouth, Pixels(art::c_MouthPositions[4][0] - art::c_iHeadLeft),
                  Pixels(art::c_MouthPositions[4][1] - art::c_iHeadTop));
        cairo_surface_t* s = art::ToCairo(face);
        Layer(img,
              [&](cairo_t* cr)
              {
                  cairo_translate(cr, 14, 62);
                  cairo_scale(cr, 0.66 / g_rScale, 0.66 / g_rScale); // the face is in pixels
                  cairo_set_source_surface(cr, s, 0, 0);
                  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
                  cairo_paint(cr);
              });
        cairo_surface_destroy(s);
    }
    Layer(img,
          [&](cairo_t* cr)
          {
              // Title.
              cairo_pattern_t* title = cairo_pattern_create_linear(0, 18, 0, 58);
              Stop(title, 0, 0xFFE27A);
              Stop(title, 1, 0xFF6A5B);
              cairo_set_source(cr, title);
              Text(cr, g_pFontBold, 44, 196, 58, "Zindle");
              cairo_pattern_destroy(title);
              SetColour(cr, 0xBFEFFF);
              Text(cr, g_pFontCondensedBold, 13, 198, 78, "Four-voice touch synthesizer");
              SetColour(cr, 0xFFD36B);
              Text(cr, g_pFontCondensedBold, 12, 358, 57, std::string("version ") + ZINDLE_VERSION);

              SetColour(cr, 0x7FE9FF);
              Text(cr, g_pFontCondensedBold, 14, 198, 108, "How to play");
              SetColour(cr, 0xFFFFFF);
              Paragraph(cr, g_pFontBook, 12, 198, 126, 16,
                        {"Touch anywhere to play; up to four fingers.",
                         "Left to right sets the pitch, up and down",
                         "the timbre. The robot sings along.",
                         "Double-tap the bottom-right corner for the",
                         "controls: modes, echo, overdrive, scale."});

              SetColour(cr, 0x7FE9FF);
              Text(cr, g_pFontCondensedBold, 14, 198, 222, "Credits and licences");
              SetColour(cr, 0xE6ECF5);
              Paragraph(cr, g_pFontBook, 11, 198, 239, 14,
                        {"Sound, code and pictures: the Zindle developers.",
                         "Interface font: DejaVu Sans Condensed Bold,",
                         "Bitstream Vera licence (DejaVu changes are",
                         "public domain); see oldsans18-LICENSE.txt."});
              SetColour(cr, 0xFFD36B);
              Text(cr, g_pFontCondensedBold, 13, 240, 310, "Tap anywhere to go back", 1);
          });
    return img;
}

// Composites the robot (head frame, mouth step) with the spotlight over a background at
// screen size, as the scene draws them.
Image Composite(const Image& bg, const Image& spot, const Image& head, const Image& mouth,
                int frame)
{
    Image screen(Pixels(c_iScreenW), Pixels(c_iScreenH));
    const int offX = Pixels(int(c_rBgOffX));
    const int offY = Pixels(int(c_rBgOffY));
    for (int y = 0; y < screen.h; ++y)
        for (int x = 0; x < screen.w; ++x)
            screen.At(x, y) = bg.At(x + offX, y + offY);
    art::Over(screen, spot, -offX, -offY);
    art::Over(screen, head, Pixels(art::c_iHeadLeft), Pixels(art::c_iHeadTop));
    art::Over(screen, mouth, Pixels(art::c_MouthPositions[frame][0]),
              Pixels(art::c_MouthPositions[frame][1]));
    return screen;
}

// The launch image: the landscape title screen turned a quarter turn clockwise onto the
// 320 x 480 portrait framebuffer.
Image MakeDefault(const Image& landscapeScene)
{
    Image land = landscapeScene;
    Layer(land,
          [&](cairo_t* cr)
          {
              cairo_pattern_t* title = cairo_pattern_create_linear(0, 250, 0, 300);
              Stop(title, 0, 0xFFE27A);
              Stop(title, 1, 0xFF6A5B);
              Glow(land, 4, 0.7,
                   [&](cairo_t* g)
                   {
                       SetColour(g, 0x000000);
                       Text(g, g_pFontBold, 40, 24, 296, "Zindle");
                   });
              cairo_set_source(cr, title);
              Text(cr, g_pFontBold, 40, 22, 294, "Zindle");
              cairo_pattern_destroy(title);
          });
    Image portrait(land.h, land.w);
    for (int py = 0; py < portrait.h; ++py)
        for (int px = 0; px < portrait.w; ++px)
            portrait.At(px, py) = land.At(py, land.h - 1 - px);
    return portrait;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4)
    {
        std::fprintf(stderr, "usage: make_art <out-dir> <font-dir> [1|2|4]\n");
        return 2;
    }
    g_OutDir = argv[1];
    const std::string fontDir = argv[2];
    if (argc == 4)
    {
        const std::string scale = argv[3];
        if (scale != "1" && scale != "2" && scale != "4")
        {
            std::fprintf(stderr, "make_art: the scale is 1, 2 or 4, not '%s'\n", argv[3]);
            return 2;
        }
        g_iScale = std::stoi(scale);
        g_rScale = float(g_iScale);
    }
    try
    {
        g_pFontCondensedBold = art::LoadFontFace(fontDir + "/DejaVuSansCondensed-Bold.ttf");
        g_pFontBold = art::LoadFontFace(fontDir + "/DejaVuSans-Bold.ttf");
        g_pFontBook = art::LoadFontFace(fontDir + "/DejaVuSansCondensed.ttf");
        std::printf("make_art: writing %s at %dx\n", g_OutDir.c_str(), g_iScale);

        const Image cool = MakeBackgroundCool();
        Save("newbg5.png", cool, art::PngKind::Rgb, true);
        Save("newbg4.png", MakeBackgroundWarm(), art::PngKind::Rgb, true);
        Save("lava.png", MakeLava(), art::PngKind::Rgba);
        const Image spot = MakeSpotlight();
        Save("spotlight.png", spot, art::PngKind::Rgba);

        std::vector<Image> heads;
        for (int i = 0; i < art::c_iHeadFrames; ++i)
        {
            heads.push_back(MakeHead(i));
            Save("robot" + std::to_string(i) + ".png", heads.back(), art::PngKind::Rgba);
            for (int k = 0; k < art::c_iMouthSteps; ++k)
                Save("mouth" + std::to_string(i + 1) + "-" + std::to_string(k) + ".png",
                     MakeMouth(i, k), art::PngKind::Rgba);
        }

        Save("decals.png", MakeDecals(), art::PngKind::Rgba);
        Save("panelopen.png", MakePanelOpen(), art::PngKind::Rgb);
        Save("doubletap.png", MakeDoubleTap(), art::PngKind::Rgba);
        Save("panelbg.png", MakePanelBg(), art::PngKind::Rgb, true);
        const Image smile = MakeMouth(4, 1);
        Save("about.png", MakeAbout(heads[4], smile), art::PngKind::Rgb, true);
        Save("Default.png", MakeDefault(Composite(cool, spot, heads[4], smile, 4)),
             art::PngKind::Rgb, true);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "make_art: %s\n", e.what());
        return 1;
    }
    return 0;
}
