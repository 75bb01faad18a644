// Composes review screenshots of the program's screen from the resources in data/, with a
// small software stand-in for the fixed-function pipeline (texture modulate, the eight blend
// modes, colour and alpha masks) and the layout the scene and the control panel use.
//
//   make_preview <data-dir> <out-dir>
//
// Writes preview-play.png, preview-panel.png, preview-effects.png, preview-scale.png,
// preview-about.png and preview-faces.png (every head frame with every mouth step).
#include "ArtCommon.h"
#include "RobotGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
using art::Image;
using art::Rgba;

const int W = 480;
const int H = 320;

std::string g_DataDir;
std::map<std::string, Image> g_Textures;

const Image& Tex(const std::string& name)
{
    auto it = g_Textures.find(name);
    if (it == g_Textures.end())
        it = g_Textures.emplace(name, art::ReadPng(g_DataDir + "/" + name)).first;
    return it->second;
}

// Packed vertex colour: red in the low byte.
Rgba Packed(uint32_t c)
{
    return {(c & 255) / 255.0f, ((c >> 8) & 255) / 255.0f, ((c >> 16) & 255) / 255.0f,
            (c >> 24) / 255.0f};
}

struct Draw
{
    int blend = 0;
    bool colourMask = true;
    bool alphaMask = false;
    bool linear = false;
    bool wrap = false;
    Rgba colour{1, 1, 1, 1};
};

struct Frame
{
    Image fb{W, H};

    void Blend(int x, int y, Rgba s, const Draw& d)
    {
        if (x < 0 || y < 0 || x >= fb.w || y >= fb.h)
            return;
        Rgba& t = fb.At(x, y);
        Rgba out = s;
        auto mix = [&](float sf, float df) {
            out = {s.r * sf + t.r * df, s.g * sf + t.g * df, s.b * sf + t.b * df,
                   s.a * sf + t.a * df};
        };
        switch (d.blend)
        {
        case 0:
            break;
        case 1:
        case 2:
            mix(1, 1 - s.a);
            break;
        case 3:
            mix(1, 1);
            break;
        case 4:
            mix(s.a, 1);
            break;
        case 5:
            out = {s.r * t.r, s.g * t.g, s.b * t.b, s.a * t.a};
            break;
        case 6:
            mix(t.a, 1 - t.a);
            break;
        case 7:
            mix(1 - t.a, t.a);
            break;
        default:
            return;
        }
        if (d.colourMask)
        {
            t.r = std::clamp(out.r, 0.0f, 1.0f);
            t.g = std::clamp(out.g, 0.0f, 1.0f);
            t.b = std::clamp(out.b, 0.0f, 1.0f);
        }
        if (d.alphaMask)
            t.a = std::clamp(out.a, 0.0f, 1.0f);
    }

    // Axis-aligned textured quad from (x0, y0) to (x1, y1) with texture rectangle u, v.
    void Quad(const Image* tex, float x0, float y0, float x1, float y1, float u0, float v0,
              float u1, float v1, const Draw& d)
    {
        for (int y = int(std::ceil(y0 - 0.5f)); y < int(std::ceil(y1 - 0.5f)); ++y)
            for (int x = int(std::ceil(x0 - 0.5f)); x < int(std::ceil(x1 - 0.5f)); ++x)
            {
                Rgba s = d.colour;
                if (tex)
                {
                    const float u = u0 + (x + 0.5f - x0) / (x1 - x0) * (u1 - u0);
                    const float v = v0 + (y + 0.5f - y0) / (y1 - y0) * (v1 - v0);
                    const Rgba t = d.linear ? tex->Sample(u * tex->w, v * tex->h, d.wrap)
                                            : tex->SampleNearest(u * tex->w, v * tex->h, d.wrap);
                    s = {t.r * s.r, t.g * s.g, t.b * s.b, t.a * s.a};
                }
                Blend(x, y, s, d);
            }
    }

    // A sprite: the whole texture, top-left corner at (x, y), one texel per point.
    void Sprite(const std::string& name, float x, float y, const Draw& d)
    {
        const Image& t = Tex(name);
        Quad(&t, x, y, x + float(t.w), y + float(t.h), 0, 0, 1, 1, d);
    }
    void SpriteCentred(const std::string& name, float cx, float cy, const Draw& d)
    {
        const Image& t = Tex(name);
        Sprite(name, std::trunc(cx) - t.w * 0.5f, std::trunc(cy) - t.h * 0.5f, d);
    }
    void Rect(float x0, float y0, float x1, float y1, uint32_t colour)
    {
        Draw d;
        d.colour = Packed(colour);
        Quad(nullptr, x0, y0, x1, y1, 0, 0, 1, 1, d);
    }
};

// Text as the text node draws it: pen at (x, y), justification 0 left, 1 centre, 2 right.
void Text(Frame& f, const art::BitmapFont& font, int x, int y, const std::string& text,
          int justify = 0, uint32_t colour = 0xFFFFFFFF)
{
    const art::FontGlyph* space = font.Find(' ');
    const int spaceWidth = space ? space->xadv : 0;
    auto next = [&](size_t i) { return i + 1 < text.size() ? int(text[i + 1]) : 0; };
    if (justify)
    {
        int w = 0;
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] == ' ')
                w += spaceWidth;
            else if (const art::FontGlyph* g = font.Find(text[i]))
                w += g->xadv + font.Kerning(text[i], next(i));
        x -= justify == 1 ? w / 2 : w;
    }
    Draw d;
    d.blend = 1;
    d.colour = Packed(colour);
    const Image& page = font.pageImage;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == ' ')
        {
            x += spaceWidth;
            continue;
        }
        const art::FontGlyph* g = font.Find(text[i]);
        if (!g)
            continue;
        const float left = float(x + g->xoff), top = float(y + g->yoff);
        f.Quad(&page, left, top, left + g->w, top + g->h, float(g->x) / page.w,
               float(g->y) / page.h, float(g->x + g->w) / page.w, float(g->y + g->h) / page.h, d);
        x += g->xadv + font.Kerning(text[i], next(i));
    }
}

struct Ui
{
    Frame& f;
    const art::BitmapFont& font;
    float dx = 0; // panel offset

    void Button(float x, float y, float w, float h, const std::string& label,
                uint32_t colour = 0xFFAA0000, float tdy = 0)
    {
        x += dx;
        f.Rect(x, y, x + w, y + h, 0);
        f.Rect(x + 2, y + 2, x + w - 2, y + h - 2, colour);
        if (!label.empty())
            Text(f, font, int(std::trunc(x + w * 0.5f)),
                 int(std::trunc(std::trunc(y + h * 0.5f - float(font.lineHeight / 2)) + tdy)),
                 label, 1);
    }
    void Slider(float x, float y, float w, float h, float value, const std::string& label)
    {
        x += dx;
        f.Rect(x - 2, y - 2, x + w + 2, y + h + 2, 0xFF000000);
        f.Rect(x, y, x + w * value, y + h, 0xFFFF4444);
        if (!label.empty())
            Text(f, font, int(std::trunc(x + w * 0.5f)), int(std::trunc(y - (font.lineHeight + 2))),
                 label, 1);
    }
    void Label(float x, float y, const std::string& text, int justify)
    {
        Text(f, font, int(std::trunc(x + dx)), int(std::trunc(y)), text, justify);
    }
    void Box(float x0, float y0, float x1, float y1) { f.Rect(x0 + dx, y0, x1 + dx, y1, 0); }
};

// The control panel's layer. page: 0 main page, 1 effects, 2 scale.
void DrawPanel(Frame& f, const art::BitmapFont& font, int page, int mode)
{
    const float M = W - 81.5f, L = M - 69, S = L + 163;
    const int fh = font.lineHeight;
    Ui ui{f, font, page == 0 ? 0.0f : -163.0f};
    Draw opaque;
    f.Sprite("panelbg.png", W - 163 + ui.dx, 0, opaque);
    f.Sprite("panelbg.png", W + ui.dx, 0, opaque);
    ui.Button(W - 70, H - 55, 60, 30, "Close");
    ui.Button(W - 153, H - 55, 60, 30, "About");
    ui.Box(L, 35, L + 138, 65);
    const char* modes[4] = {"Mekko", "Pulse", "Theremin", "PWM"};
    ui.Label(M, 50 - fh / 2, modes[mode], 1);
    ui.Label(M, 35 - fh, "Mode", 1);
    ui.Button(L, 35, 34.5f, 30, "<", 0xFFAA0000, -1);
    ui.Button(L + 103, 35, 34.5f, 30, ">", 0xFFAA0000, -1);
    if (mode == 0)
        ui.Slider(L + 2, 93, 134, 20, 8.0f / 11.0f, "Timbre");
    if (mode == 1 || mode == 3)
        ui.Button(L, 85, 138, 30, "Synth Controls  >");
    ui.Button(L, 135, 138, 30, "Effects  >");
    ui.Button(L, 185, 138, 30, "Scale  >");
    ui.Button(S, H - 55, 138, 30, "Back");
    if (page == 1)
    {
        ui.Slider(S, 35, 138, 20, 0.24f, "Echo Volume");
        ui.Slider(S, 85, 138, 20, 0.15f, "Echo Time");
        ui.Slider(S, 135, 138, 20, 0.4f, "Echo Repeat");
        ui.Slider(S, 185, 138, 20, 0.0f, "Overdrive");
    }
    if (page == 2)
    {
        ui.Slider(S + 40, 28, 96, 20, 0.5f, "");
        ui.Slider(S + 40, 58, 96, 20, 0.0f, "");
        ui.Label(S, 28, "Pitch", 0);
        ui.Label(S, 58, "Zoom", 0);
        ui.Button(S, 94, 138, 27, "Note Grid");
        ui.Box(S, 147, S + 138, 174);
        ui.Label(M + 163, 160 - fh / 2, "Slow", 1);
        ui.Label(M + 163, 147 - fh, "Autotune", 1);
        ui.Button(S, 147, 34.5f, 27, "<", 0xFFAA0000, -1);
        ui.Button(S + 103, 147, 34.5f, 27, ">", 0xFFAA0000, -1);
        const int kx[12] = {0, 10, 20, 30, 40, 60, 70, 80, 90, 100, 110, 120};
        const int ky[12] = {27, 0, 27, 0, 27, 27, 0, 27, 0, 27, 0, 27};
        for (int k = 0; k < 12; ++k)
        {
            const bool lit = !(k == 1 || k == 3 || k == 6 || k == 8 || k == 10);
            ui.Button(S + kx[k] - 1, 188 + float(ky[k]), 22, 29, "", lit ? 0xFFCC4444 : 0xFFAA0000);
        }
    }
}

// The backdrop's texture coordinates: the rest grid warped by a random sine pattern, as
// the backdrop node does, plus its scroll.
struct Pattern
{
    float phase[12], freq[12], amp[12];
};

Pattern MakePattern(unsigned seed)
{
    srand(seed);
    auto r = [] { return float(rand() & 255) / 256.0f; };
    Pattern p{};
    for (int i = 0; i < 12; ++i)
    {
        p.phase[i] = 4 + r() * 8;
        p.freq[i] = 2 + r() * 4;
        p.amp[i] = 0.1f + r() * 0.2f;
    }
    return p;
}

void Backdrop(Frame& f, const Pattern& p, float scrollX, float scrollY)
{
    const Image& lava = Tex("lava.png");
    Draw d;
    d.blend = 3;
    d.colourMask = false;
    d.alphaMask = true;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
        {
            const float u = (x + 0.5f) / W, v = (y + 0.5f) / H;
            float tu = 0, tv = 0;
            for (int pass = 0; pass < 3; ++pass)
            {
                const int b = pass * 4;
                tu += p.amp[b] * std::sin(p.phase[b] + p.freq[b] * u);
                tu += p.amp[b + 1] * std::sin(p.phase[b + 1] + p.freq[b + 1] * v);
                tv += p.amp[b + 2] * std::sin(p.phase[b + 2] + p.freq[b + 2] * u);
                tv += p.amp[b + 3] * std::sin(p.phase[b + 3] + p.freq[b + 3] * v);
            }
            const Rgba t = lava.Sample((tu + scrollX) * lava.w, (tv + scrollY) * lava.h, true);
            f.Blend(x, y, t, d);
        }
}

const int c_DecalRects[8][4] = {{7, 7, 40, 45},     {52, 14, 80, 41},   {90, 5, 138, 54},
                                {150, 12, 170, 42}, {185, 15, 215, 48}, {9, 56, 50, 103},
                                {68, 61, 100, 110}, {142, 55, 186, 99}};

// The playing surface: backdrop, two backgrounds, decals, spotlight, robot, corner button.
void DrawScene(Frame& f, unsigned seed, int head, int mouth, bool hint, bool corner = true)
{
    Backdrop(f, MakePattern(seed), 0.1f * float(seed % 7), 0.13f * float(seed % 5));
    Draw bg;
    bg.colourMask = true;
    f.SpriteCentred("newbg5.png", 240, 160, bg);
    Draw bg2 = bg;
    bg2.blend = 6;
    f.SpriteCentred("newbg4.png", 240, 160, bg2);

    // Decals at spread positions with various ages.
    srand(seed * 31 + 7);
    const Image& decals = Tex("decals.png");
    std::vector<std::pair<float, float>> placed;
    for (int k = 0; k < 20; ++k)
    {
        const float x = W * float(rand() & 255) / 256.0f;
        const float y = H * float(rand() & 255) / 256.0f;
        float crowd = 0;
        for (auto& q : placed)
            crowd += 1.0f / ((y - q.second) * (y - q.second) + (x - q.first) * (x - q.first));
        if (crowd >= 0.0008f)
            continue;
        placed.emplace_back(x, y);
        const int img = rand() % 8;
        const float age = float(rand() & 255) / 256.0f;
        float a = age < 0.3f ? age / 0.3f : (age > 0.7f ? 1 - (age - 0.7f) / 0.3f : 1.0f);
        const float v = float(int(a * 0.7f * 255)) / 255.0f;
        const int* r = c_DecalRects[img];
        const float w = float(r[2] - r[0]), h = float(r[3] - r[1]);
        const float x0 = std::trunc(x) - w * 0.5f, y0 = std::trunc(y) - h * 0.5f;
        Draw d;
        d.blend = 2;
        d.colour = {v, v, v, v};
        f.Quad(&decals, x0, y0, x0 + w, y0 + h, float(r[0]) / decals.w, float(r[1]) / decals.h,
               float(r[2]) / decals.w, float(r[3]) / decals.h, d);
    }

    Draw pm;
    pm.blend = 2;
    f.SpriteCentred("spotlight.png", 240, 160, pm);
    f.Sprite("robot" + std::to_string(head) + ".png", art::c_iHeadLeft, art::c_iHeadTop, pm);
    f.Sprite("mouth" + std::to_string(head + 1) + "-" + std::to_string(mouth) + ".png",
             float(art::c_MouthPositions[head][0]), float(art::c_MouthPositions[head][1]), pm);
    Draw add;
    add.blend = 3;
    add.colour = Packed(0x66666666);
    if (corner)
        f.SpriteCentred("panelopen.png", 455, 295, add);
    if (hint)
    {
        const Image& t = Tex("doubletap.png");
        f.Sprite("doubletap.png", 440 - float(t.w), 295 - t.h * 0.5f, pm);
    }
}

void Save(const Image& img, const std::string& path)
{
    Image opaque = img;
    for (Rgba& p : opaque.px)
        p.a = 1;
    art::WritePng(path, opaque, art::PngKind::Rgb);
    std::printf("  %s\n", path.c_str());
}

// The scene squeezed into the viewport left of the panel, as the main camera draws it.
void WithPanel(const std::string& path, const art::BitmapFont& font, int page, int mode,
               unsigned seed)
{
    Frame panel;
    DrawPanel(panel, font, page, mode);
    Frame scene;
    DrawScene(scene, seed, 6, 2, false, false);
    const int left = W - 165;
    for (int y = 0; y < H; ++y)
    {
        for (int x = 0; x < left; ++x)
            panel.fb.At(x, y) = scene.fb.Sample((x + 0.5f) * W / left, y + 0.5f, false);
        panel.fb.At(left, y) = panel.fb.At(left + 1, y) = {0, 0, 0, 0};
    }
    Save(panel.fb, path);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: make_preview <data-dir> <out-dir>\n");
        return 2;
    }
    g_DataDir = argv[1];
    const std::string out = argv[2];
    try
    {
        const art::BitmapFont font = art::LoadFont(g_DataDir + "/oldsans18.fnt");
        std::printf("make_preview: writing %s\n", out.c_str());
        {
            Frame f;
            DrawScene(f, 3, 4, 2, true);
            Save(f.fb, out + "/preview-play.png");
        }
        {
            Frame f;
            DrawScene(f, 11, 1, 4, false);
            Save(f.fb, out + "/preview-play2.png");
        }
        WithPanel(out + "/preview-panel.png", font, 0, 0, 5);
        WithPanel(out + "/preview-panel-pwm.png", font, 0, 2, 6);
        WithPanel(out + "/preview-effects.png", font, 1, 1, 7);
        WithPanel(out + "/preview-scale.png", font, 2, 0, 8);
        {
            Frame f;
            Draw opaque;
            f.Sprite("about.png", 0, 0, opaque);
            Save(f.fb, out + "/preview-about.png");
        }
        {
            // Every head frame with every mouth step, cropped around the face.
            const int cw = 216, ch = 240;
            Image sheet(cw * art::c_iHeadFrames, ch * art::c_iMouthSteps);
            for (int j = 0; j < art::c_iHeadFrames; ++j)
                for (int k = 0; k < art::c_iMouthSteps; ++k)
                {
                    Frame f;
                    for (Rgba& p : f.fb.px)
                        p = {0.25f, 0.3f, 0.4f, 1};
                    Draw pm;
                    pm.blend = 2;
                    f.Sprite("robot" + std::to_string(j) + ".png", art::c_iHeadLeft,
                             art::c_iHeadTop, pm);
                    f.Sprite("mouth" + std::to_string(j + 1) + "-" + std::to_string(k) + ".png",
                             float(art::c_MouthPositions[j][0]), float(art::c_MouthPositions[j][1]),
                             pm);
                    for (int y = 0; y < ch; ++y)
                        for (int x = 0; x < cw; ++x)
                            sheet.At(j * cw + x, k * ch + y) = f.fb.At(186 + x, 40 + y);
                }
            Save(sheet, out + "/preview-faces.png");
        }
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "make_preview: %s\n", e.what());
        return 1;
    }
    return 0;
}
