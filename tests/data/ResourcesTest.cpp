// Every resource the program loads, checked as the program will use it: found through the
// resource directory by the name the program gives, decodable, with the sizes, alpha and
// placement its blend mode and its node need, and a bitmap font that covers every text the
// interface shows.
#include "file/File.h"
#include "file/File_Bundle.h"
#include "scene/Font.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
const int c_iScreenW = 480;
const int c_iScreenH = 320;

class ResourceDir : public ::testing::Environment
{
  public:
    void SetUp() override
    {
        File_Bundle::SetResourceDirectory(zindle_test::SourceDataDir().string());
    }
};
const auto* const g_pResourceDir = ::testing::AddGlobalTestEnvironment(new ResourceDir);

// Reads a whole resource through the program's file layer; empty when it is missing.
bool ReadResource(const std::string& name, std::string& bytes)
{
    std::unique_ptr<File> file(File::Open(name.c_str(), true));
    if (!file)
        return false;
    bytes.resize(file->Length());
    return bytes.empty() || file->Read(bytes.data(), int(bytes.size()));
}

struct Picture
{
    int w = 0;
    int h = 0;
    bool alpha = false;        // the file has an alpha channel
    std::vector<uint8_t> rgba; // straight RGBA, top row first
    uint8_t A(int x, int y) const { return rgba[(size_t(y) * w + x) * 4 + 3]; }
    const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * w + x) * 4]; }
};

// Decodes a PNG resource with libpng; the error text says what failed.
bool LoadPicture(const std::string& name, Picture& picture, std::string& error)
{
    std::string bytes;
    if (!ReadResource(name, bytes))
    {
        error = name + " is missing from " + File_Bundle::GetResourceDirectory();
        return false;
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()))
    {
        error = name + " does not decode: " + png.message;
        return false;
    }
    picture.alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    png.format = PNG_FORMAT_RGBA;
    picture.w = int(png.width);
    picture.h = int(png.height);
    picture.rgba.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, picture.rgba.data(), 0, nullptr))
    {
        error = name + " does not decode: " + png.message;
        return false;
    }
    return true;
}

bool PowerOfTwo(int v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

enum class Alpha
{
    Opaque,      // drawn with blending off or only its colour written: no alpha channel
    Transparent, // blended by its alpha: needs transparent texels
    Additive,    // added to the screen: black where nothing shows
};

struct ImageSpec
{
    std::string name;
    Alpha alpha;
    int minW, minH; // the area the scene shows of it
};

std::vector<ImageSpec> SceneImages()
{
    std::vector<ImageSpec> specs = {
        {"data/lava.png", Alpha::Transparent, 1, 1},
        {"data/newbg5.png", Alpha::Opaque, c_iScreenW, c_iScreenH},
        {"data/newbg4.png", Alpha::Opaque, c_iScreenW, c_iScreenH},
        {"data/spotlight.png", Alpha::Transparent, 1, 1},
        {"data/panelopen.png", Alpha::Additive, 1, 1},
        {"data/doubletap.png", Alpha::Transparent, 1, 1},
        {"data/decals.png", Alpha::Transparent, 1, 1},
        {"data/panelbg.png", Alpha::Opaque, 163, c_iScreenH},
        {"data/about.png", Alpha::Opaque, c_iScreenW, c_iScreenH},
    };
    for (int i = 0; i < 9; ++i)
    {
        specs.push_back({"data/robot" + std::to_string(i) + ".png", Alpha::Transparent, 1, 1});
        for (int k = 0; k < 5; ++k)
            specs.push_back(
                {"data/mouth" + std::to_string(i + 1) + "-" + std::to_string(k) + ".png",
                 Alpha::Transparent, 1, 1});
    }
    return specs;
}

void PrintTo(const ImageSpec& spec, std::ostream* os)
{
    *os << spec.name;
}

class SceneImage : public ::testing::TestWithParam<ImageSpec>
{
};

TEST_P(SceneImage, LoadsAsATextureWithTheAlphaItsBlendingNeeds)
{
    const ImageSpec& spec = GetParam();
    Picture p;
    std::string error;
    ASSERT_TRUE(LoadPicture(spec.name, p, error)) << error;
    EXPECT_TRUE(PowerOfTwo(p.w) && PowerOfTwo(p.h))
        << spec.name << " is " << p.w << " x " << p.h << "; the texture loader rejects it";
    EXPECT_GE(p.w, spec.minW) << spec.name;
    EXPECT_GE(p.h, spec.minH) << spec.name;

    size_t clear = 0, lit = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
        {
            const uint8_t* t = p.At(x, y);
            clear += t[3] == 0;
            lit += (t[0] | t[1] | t[2]) > 16;
        }
    switch (spec.alpha)
    {
    case Alpha::Opaque:
        EXPECT_FALSE(p.alpha) << spec.name << " is drawn opaque and should carry no alpha";
        break;
    case Alpha::Transparent:
        ASSERT_TRUE(p.alpha) << spec.name << " is blended by its alpha but has none";
        EXPECT_GT(clear, 0u) << spec.name << " has no transparent texel";
        EXPECT_GT(p.rgba.size() / 4, clear) << spec.name << " is fully transparent";
        if (spec.name != "data/lava.png") // the lava tiles; every other sprite stands alone
            for (int i = 0; i < std::max(p.w, p.h); ++i)
            {
                const int x = std::min(i, p.w - 1), y = std::min(i, p.h - 1);
                EXPECT_EQ(p.A(x, 0) | p.A(x, p.h - 1) | p.A(0, y) | p.A(p.w - 1, y), 0)
                    << spec.name << " is cut off at its edge near texel " << i;
            }
        break;
    case Alpha::Additive:
        EXPECT_GT(lit, 0u) << spec.name << " adds nothing";
        for (int x = 0; x < p.w; ++x)
            for (int y : {0, p.h - 1})
            {
                const uint8_t* t = p.At(x, y);
                const uint8_t* u = p.At(y == 0 ? 0 : p.w - 1, x * p.h / p.w);
                EXPECT_EQ(t[0] | t[1] | t[2] | u[0] | u[1] | u[2], 0)
                    << spec.name << " is drawn additively: its border must be black";
            }
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, SceneImage, ::testing::ValuesIn(SceneImages()),
                         [](const ::testing::TestParamInfo<ImageSpec>& info)
                         {
                             std::string n = info.param.name.substr(5);
                             std::replace_if(
                                 n.begin(), n.end(),
                                 [](char c) { return !std::isalnum(uint8_t(c)); }, '_');
                             return n;
                         });

TEST(Resources, LaunchImageFillsThePortraitFramebuffer)
{
    Picture p;
    std::string error;
    ASSERT_TRUE(LoadPicture("Default.png", p, error)) << error;
    EXPECT_EQ(p.w, 320);
    EXPECT_EQ(p.h, 480);
    // Drawn into a 512 x 512 bitmap at its own size.
    EXPECT_LE(p.w, 512);
    EXPECT_LE(p.h, 512);
}

TEST(Resources, LavaMaskMixesBothBackgrounds)
{
    Picture p;
    std::string error;
    ASSERT_TRUE(LoadPicture("data/lava.png", p, error)) << error;
    size_t none = 0, full = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
        {
            none += p.A(x, y) == 0;
            full += p.A(x, y) == 255;
        }
    const size_t n = size_t(p.w) * p.h;
    // Both colourways must show in clear areas, not only in a mix.
    EXPECT_GT(none, n / 5) << "too little of the first background shows";
    EXPECT_GT(full, n / 8) << "too little of the second background shows";
    // The texture repeats over the backdrop: opposite edges must join without a seam.
    for (int i = 0; i < p.w; ++i)
    {
        EXPECT_LE(std::abs(int(p.A(i, 0)) - int(p.A(i, p.h - 1))), 80) << "column " << i;
        EXPECT_LE(std::abs(int(p.A(0, i)) - int(p.A(p.w - 1, i))), 80) << "row " << i;
    }
}

// Texel rectangles of the eight decals (first corner, opposite corner).
const int c_Decals[8][4] = {{7, 7, 40, 45},     {52, 14, 80, 41},   {90, 5, 138, 54},
                            {150, 12, 170, 42}, {185, 15, 215, 48}, {9, 56, 50, 103},
                            {68, 61, 100, 110}, {142, 55, 186, 99}};

TEST(Resources, EveryDecalLiesInsideTheSheetAndHoldsItsOwnDoodle)
{
    Picture p;
    std::string error;
    ASSERT_TRUE(LoadPicture("data/decals.png", p, error)) << error;
    std::vector<int> owner(size_t(p.w) * p.h, -1);
    for (int i = 0; i < 8; ++i)
    {
        SCOPED_TRACE("decal " + std::to_string(i));
        const int* r = c_Decals[i];
        ASSERT_TRUE(r[0] >= 0 && r[1] >= 0 && r[2] <= p.w && r[3] <= p.h);
        EXPECT_GE(r[2] - r[0], 20);
        EXPECT_GE(r[3] - r[1], 20);
        size_t covered = 0;
        for (int y = r[1]; y < r[3]; ++y)
            for (int x = r[0]; x < r[2]; ++x)
            {
                EXPECT_EQ(owner[size_t(y) * p.w + x], -1) << "overlaps another decal";
                owner[size_t(y) * p.w + x] = i;
                covered += p.A(x, y) > 0;
                // The sprite shows the whole rectangle: its edge must be clear so that
                // nothing of the neighbours or a cut stroke shows.
                if (x == r[0] || y == r[1] || x == r[2] - 1 || y == r[3] - 1)
                {
                    EXPECT_EQ(p.A(x, y), 0) << "at " << x << ", " << y;
                }
            }
        EXPECT_GT(covered, 40u) << "the decal is (nearly) empty";
    }
}

const int c_MouthPositions[9][2] = {{205, 148}, {219, 140}, {227, 136}, {251, 131}, {261, 132},
                                    {262, 132}, {269, 130}, {271, 126}, {287, 130}};
const int c_HeadX = 186;
const int c_HeadY = 44;

TEST(Resources, RobotFacesLineUpInEveryHeadAndMouthCombination)
{
    for (int j = 0; j < 9; ++j)
    {
        Picture head;
        std::string error;
        ASSERT_TRUE(LoadPicture("data/robot" + std::to_string(j) + ".png", head, error)) << error;
        EXPECT_LE(c_HeadX + head.w, c_iScreenW);
        EXPECT_LE(c_HeadY + head.h, c_iScreenH);
        size_t previous = 0;
        for (int k = 0; k < 5; ++k)
        {
            SCOPED_TRACE("head " + std::to_string(j) + ", mouth " + std::to_string(k));
            Picture mouth;
            ASSERT_TRUE(
                LoadPicture("data/mouth" + std::to_string(j + 1) + "-" + std::to_string(k) + ".png",
                            mouth, error))
                << error;
            const int mx = c_MouthPositions[j][0];
            const int my = c_MouthPositions[j][1];
            EXPECT_LE(mx + mouth.w, c_iScreenW) << "the mouth leaves the screen";
            EXPECT_LE(my + mouth.h, c_iScreenH) << "the mouth leaves the screen";
            size_t covered = 0, offFace = 0, offPlate = 0;
            for (int y = 0; y < mouth.h; ++y)
                for (int x = 0; x < mouth.w; ++x)
                {
                    if (mouth.A(x, y) == 0)
                        continue;
                    ++covered;
                    const int hx = mx + x - c_HeadX;
                    const int hy = my + y - c_HeadY;
                    if (hx < 0 || hy < 0 || hx >= head.w || hy >= head.h || head.A(hx, hy) < 255)
                        ++offFace;
                    // The mouth's own strokes glow on the dark mouth plate of the face.
                    else if (mouth.A(x, y) >= 128)
                    {
                        const uint8_t* t = head.At(hx, hy);
                        offPlate += (t[0] * 3 + t[1] * 6 + t[2]) / 10 > 80;
                    }
                }
            EXPECT_EQ(offFace, 0u) << "mouth texels fall beside the face";
            EXPECT_EQ(offPlate, 0u) << "the mouth misses the mouth plate";
            EXPECT_GT(covered, previous) << "each step must open the mouth wider";
            previous = covered;
        }
    }
}

// The interface's bitmap font, read by the rules of the program's loader.
struct Glyph
{
    int x = 0, y = 0, w = 0, h = 0, xoff = 0, yoff = 0, xadv = 0;
};
struct Font
{
    int lineHeight = 0;
    std::string page;
    std::map<int, Glyph> glyphs;
    std::map<std::pair<int, int>, int> kerning;
};

int32_t Le(const std::string& b, size_t at, int n, bool isSigned)
{
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v |= uint32_t(uint8_t(b[at + size_t(i)])) << (8 * i);
    if (isSigned && n == 2)
        return int16_t(v);
    return int32_t(v);
}

bool ParseFont(const std::string& path, Font& font, std::string& error)
{
    std::string b;
    if (!ReadResource(path, b))
    {
        error = path + " is missing";
        return false;
    }
    if (b.size() < 4 || b.compare(0, 4, std::string("BMF\x03", 4)) != 0)
    {
        error = "not a binary BMFont version 3 descriptor";
        return false;
    }
    size_t pos = 4;
    bool chars = false;
    while (pos + 5 <= b.size())
    {
        const int type = uint8_t(b[pos]);
        const size_t size = uint32_t(Le(b, pos + 1, 4, false));
        const size_t at = pos + 5;
        if (at + size > b.size())
        {
            error = "block " + std::to_string(type) + " runs past the end";
            return false;
        }
        switch (type)
        {
        case 1:
            break;
        case 2:
            if (size != 15)
            {
                error = "common block of " + std::to_string(size) + " bytes";
                return false;
            }
            font.lineHeight = Le(b, at, 2, false);
            break;
        case 3:
            font.page = std::string(b.c_str() + at, strnlen(b.c_str() + at, size));
            break;
        case 4:
            if (size % 20 != 0)
            {
                error = "chars block is not a whole number of records";
                return false;
            }
            for (size_t r = at; r < at + size; r += 20)
            {
                Glyph g{Le(b, r + 4, 2, false),  Le(b, r + 6, 2, false), Le(b, r + 8, 2, false),
                        Le(b, r + 10, 2, false), Le(b, r + 12, 2, true), Le(b, r + 14, 2, true),
                        Le(b, r + 16, 2, true)};
                font.glyphs[Le(b, r, 4, false)] = g;
            }
            chars = true;
            break;
        case 5:
            if (size % 10 != 0)
            {
                error = "kerning block is not a whole number of records";
                return false;
            }
            for (size_t r = at; r < at + size; r += 10)
                font.kerning[{Le(b, r, 4, false), Le(b, r + 4, 4, false)}] = Le(b, r + 8, 2, true);
            return chars; // the loader stops after the kerning block
        default:
            error = "unknown block type " + std::to_string(type);
            return false;
        }
        pos = at + size;
    }
    if (!chars)
        error = "no chars block";
    return chars;
}

const char* const c_pFontPath = "data/fonts/oldsans18.fnt";

// Every text the interface draws with the font.
const std::vector<std::string> c_Texts = {
    "Mekko",       "Pulse",     "Theremin",    "PWM",         "Off",
    "Slow",        "Fast",      "Snap",        "Mode",        "<",
    ">",           "Close",     "About",       "Timbre",      "Synth Controls  >",
    "Effects  >",  "Scale  >",  "Back",        "Echo Volume", "Echo Time",
    "Echo Repeat", "Overdrive", "Pulse Width", "Cutoff",      "Resonance",
    "Pitch",       "Zoom",      "Note Grid",   "Autotune"};

// Width as the text node measures it for centring.
int Measure(const Font& font, const std::string& text)
{
    int w = 0;
    const int space = font.glyphs.count(' ') ? font.glyphs.at(' ').xadv : 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == ' ')
        {
            w += space;
            continue;
        }
        auto g = font.glyphs.find(text[i]);
        if (g == font.glyphs.end())
            continue;
        w += g->second.xadv;
        auto k = font.kerning.find({text[i], i + 1 < text.size() ? text[i + 1] : 0});
        if (k != font.kerning.end())
            w += k->second;
    }
    return w;
}

TEST(Resources, FontDescriptorLoadsWithItsPage)
{
    Font font;
    std::string error;
    ASSERT_TRUE(ParseFont(c_pFontPath, font, error)) << error;
    EXPECT_GT(font.lineHeight, 0);
    EXPECT_LE(font.lineHeight, 30) << "buttons are 27 to 30 points tall";
    ASSERT_FALSE(font.page.empty());
    Picture page;
    // The page is named beside the descriptor and found by its bare name.
    ASSERT_TRUE(LoadPicture("data/fonts/" + font.page, page, error)) << error;
    EXPECT_TRUE(PowerOfTwo(page.w) && PowerOfTwo(page.h));
    EXPECT_TRUE(page.alpha) << "glyphs are blended by their alpha";
    for (const auto& [id, g] : font.glyphs)
    {
        SCOPED_TRACE("glyph " + std::to_string(id));
        // The loader keeps 8 bits of the sizes and offsets.
        EXPECT_TRUE(g.w >= 0 && g.w < 256 && g.h >= 0 && g.h < 256);
        EXPECT_TRUE(g.xoff >= -128 && g.xoff < 128 && g.yoff >= -128 && g.yoff < 128);
        EXPECT_TRUE(g.xadv > 0 && g.xadv < 128);
        EXPECT_LE(g.x + g.w, page.w);
        EXPECT_LE(g.y + g.h, page.h);
        EXPECT_GE(g.yoff, 0) << "glyph reaches above its line";
        EXPECT_LE(g.yoff + g.h, font.lineHeight + 2) << "glyph reaches far below its line";
        if (id != ' ')
        {
            size_t ink = 0;
            for (int y = g.y; y < g.y + g.h; ++y)
                for (int x = g.x; x < g.x + g.w; ++x)
                    ink += page.A(x, y) > 0;
            EXPECT_GT(ink, 0u) << "glyph box is empty";
        }
    }
    for (const auto& [pair, amount] : font.kerning)
    {
        EXPECT_TRUE(pair.first < 256 && pair.second < 128) << "pair out of the loader's range";
        EXPECT_TRUE(amount >= -128 && amount < 128 && amount != 0);
        EXPECT_TRUE(font.glyphs.count(pair.first) && font.glyphs.count(pair.second));
    }
}

TEST(Resources, FontCoversEveryInterfaceText)
{
    Font font;
    std::string error;
    ASSERT_TRUE(ParseFont(c_pFontPath, font, error)) << error;
    for (int c = 32; c < 127; ++c)
        EXPECT_TRUE(font.glyphs.count(c)) << "no glyph for '" << char(c) << "'";
    for (const std::string& text : c_Texts)
        for (char c : text)
            EXPECT_TRUE(font.glyphs.count(c)) << "\"" << text << "\" needs '" << c << "'";
}

TEST(Resources, InterfaceTextsFitTheirWidgets)
{
    Font font;
    std::string error;
    ASSERT_TRUE(ParseFont(c_pFontPath, font, error)) << error;
    struct Fit
    {
        std::vector<std::string> texts;
        int width; // room inside the widget, in points
    };
    const std::vector<Fit> fits = {
        {{"Close", "About"}, 56}, // 60-point buttons
        {{"Synth Controls  >", "Effects  >", "Scale  >", "Back", "Note Grid"}, 134},
        {{"Mekko", "Pulse", "Theremin", "PWM"}, 68}, // between < and >
        {{"Off", "Slow", "Fast", "Snap"}, 68},
        {{"Pitch", "Zoom"}, 37}, // left of a slider
        {{"Timbre", "Echo Volume", "Echo Time", "Echo Repeat", "Overdrive", "Pulse Width", "Cutoff",
          "Resonance", "Mode", "Autotune"},
         138},
        {{"<", ">"}, 30}};
    for (const Fit& fit : fits)
        for (const std::string& text : fit.texts)
            EXPECT_LE(Measure(font, text), fit.width) << "\"" << text << "\" is too wide";
}
} // namespace

// The same font through the program's own loader, as the panel loads it.
TEST(Resources, FontLoadsThroughTheProgramsLoaderWithEveryInterfaceGlyph)
{
    zindle_test::GLTestContext gl(zindle_test::SourceDataDir());
    ASSERT_TRUE(gl.IsValid());
    ::Font* font = ::Font::Load(c_pFontPath);
    ASSERT_NE(font, nullptr);
    EXPECT_NE(font->GetTexture(), nullptr) << "the page image is found by its bare name";
    EXPECT_GT(font->GetHeight(), 0);
    for (const std::string& text : c_Texts)
    {
        for (char c : text)
        {
            if (c != ' ')
            {
                EXPECT_NE(font->GetCharacter(static_cast<unsigned char>(c)), nullptr)
                    << "\"" << text << "\" needs '" << c << "'";
            }
        }
    }
    font->Release();
}
