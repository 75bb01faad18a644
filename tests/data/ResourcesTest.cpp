// Every resource the program loads, checked as the program uses it: found by
// the name it gives, with the size and alpha its node and blend mode need, the
// decal and face art lined up with the places the program draws them, and a
// font whose glyphs cover and fit every text of the interface.
#include "file/File_Bundle.h"
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/PNGImage.h"
#include "scene/Font.h"
#include "scene/Node_Decals.h"
#include "scene/Node_Robot.h"
#include "scene/Node_Text.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zindle_test;

namespace
{
// A resource where the program's file layer finds it by the name the program
// gives, with whether the program's decoder keeps its alpha.
Image Load(const std::string& name, bool* alpha = nullptr)
{
    Image image;
    File_Bundle::SetResourceDirectory(SourceDataDir().string());
    const std::string path = File_Bundle::ResolvePath(name.c_str());
    EXPECT_TRUE(ReadPng(path, image)) << name << " is missing or does not decode";
    const std::string bytes = std::filesystem::exists(path) ? ReadFile(path) : "";
    PNGImage decoded;
    EXPECT_TRUE(decoded.Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (alpha)
        *alpha = decoded.HasAlpha();
    return image;
}

uint8_t Alpha(const Image& image, int x, int y)
{
    return image.At(x, y)[3];
}

enum class Use
{
    Opaque,      // drawn without blending, or only its colour written
    Transparent, // blended by its alpha: clear around the picture
    Additive,    // added to the screen: black where nothing shows
    Tiled,       // the lava mask, repeated over the backdrop
};

struct Resource
{
    std::string name;
    Use use;
    int minWidth = 1, minHeight = 1; // what the scene shows of it
};

std::vector<Resource> Resources()
{
    std::vector<Resource> list = {{"data/lava.png", Use::Tiled},
                                  {"data/newbg5.png", Use::Opaque, 480, 320},
                                  {"data/newbg4.png", Use::Opaque, 480, 320},
                                  {"data/spotlight.png", Use::Transparent},
                                  {"data/panelopen.png", Use::Additive},
                                  {"data/doubletap.png", Use::Transparent},
                                  {"data/decals.png", Use::Transparent},
                                  {"data/panelbg.png", Use::Opaque, 163, 320},
                                  {"data/about.png", Use::Opaque, 480, 320}};
    for (int i = 0; i < Node_Robot::c_iHeadFrames; ++i)
    {
        list.push_back({"data/robot" + std::to_string(i) + ".png", Use::Transparent});
        for (int k = 0; k < Node_Robot::c_iMouthSteps; ++k)
            list.push_back({"data/mouth" + std::to_string(i + 1) + "-" + std::to_string(k) + ".png",
                            Use::Transparent});
    }
    return list;
}

class SceneImage : public ::testing::TestWithParam<Resource>
{
};
} // namespace

TEST_P(SceneImage, LoadsAsATextureWithTheAlphaItsDrawingNeeds)
{
    const Resource& r = GetParam();
    bool alpha = false;
    const Image p = Load(r.name, &alpha);
    ASSERT_GT(p.width, 0);
    const auto powerOfTwo = [](int n) { return (n & (n - 1)) == 0; };
    EXPECT_TRUE(powerOfTwo(p.width) && powerOfTwo(p.height)) << p.width << " x " << p.height;
    EXPECT_GE(p.width, r.minWidth);
    EXPECT_GE(p.height, r.minHeight);
    EXPECT_TRUE(r.use == Use::Additive || alpha == (r.use != Use::Opaque))
        << "blended by its alpha, or drawn opaque without one";
    size_t clear = 0, full = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
        {
            clear += Alpha(p, x, y) == 0;
            full += Alpha(p, x, y) == 255;
            const uint8_t* t = p.At(x, y);
            const bool edge = x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1;
            ASSERT_TRUE(!edge || r.use != Use::Transparent || t[3] == 0)
                << "cut off at its edge at " << x << ", " << y;
            ASSERT_TRUE(!edge || r.use != Use::Additive || (t[0] | t[1] | t[2]) == 0)
                << "drawn additively: its border must be black";
        }
    const size_t n = size_t(p.width) * p.height;
    EXPECT_TRUE(r.use != Use::Transparent || (clear > 0 && clear < n))
        << "clear around the picture";
    if (r.use == Use::Tiled)
    {
        // Both backgrounds show in clear areas, and the tile joins its neighbours.
        EXPECT_GT(clear, n / 5);
        EXPECT_GT(full, n / 8);
        for (int i = 0; i < p.width; ++i)
        {
            EXPECT_LE(std::abs(Alpha(p, i, 0) - Alpha(p, i, p.height - 1)), 80) << "column " << i;
            EXPECT_LE(std::abs(Alpha(p, 0, i) - Alpha(p, p.width - 1, i)), 80) << "row " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Resources, SceneImage, ::testing::ValuesIn(Resources()),
                         [](const auto& info)
                         {
                             std::string name = info.param.name.substr(5);
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                                 '_');
                             return name;
                         });

TEST(Resources, LaunchImageFillsThePortraitFramebuffer)
{
    const Image p = Load("Default.png");
    EXPECT_EQ(std::pair(p.width, p.height), std::pair(320, 480));
}

TEST(Resources, EveryDecalLiesAloneInsideTheSheetWithAClearEdge)
{
    const Image p = Load("data/decals.png");
    std::vector<int> owner(size_t(p.width) * p.height, -1);
    for (int i = 0; i < Node_Decals::c_iImageCount; ++i)
    {
        const auto& image = Node_Decals::c_Images[static_cast<size_t>(i)];
        const int x0 = static_cast<int>(image.first.x), y0 = static_cast<int>(image.first.y);
        const int x1 = static_cast<int>(image.opposite.x), y1 = static_cast<int>(image.opposite.y);
        SCOPED_TRACE(testing::Message() << "decal " << i << " at (" << x0 << ", " << y0 << ")-("
                                        << x1 << ", " << y1 << ")");
        ASSERT_TRUE(x0 >= 0 && y0 >= 0 && x1 <= p.width && y1 <= p.height && x1 - x0 >= 20 &&
                    y1 - y0 >= 20);
        size_t covered = 0, overlaps = 0, cut = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
            {
                overlaps += owner[size_t(y) * p.width + x] >= 0;
                owner[size_t(y) * p.width + x] = i;
                covered += Alpha(p, x, y) > 0;
                cut += (x == x0 || y == y0 || x == x1 - 1 || y == y1 - 1) && Alpha(p, x, y) > 0;
            }
        EXPECT_EQ(overlaps, 0u) << "overlaps another decal";
        EXPECT_EQ(cut, 0u) << "its edge cuts through the doodle";
        EXPECT_GT(covered, 40u) << "the decal is (nearly) empty";
    }
}

TEST(Resources, EveryMouthLiesOnItsFacesMouthPlateAndOpensWiderStepByStep)
{
    GLTestContext gl(SourceDataDir());
    ASSERT_TRUE(gl.IsValid());
    Node_Robot* robot = new Node_Robot(); // for the places it draws its parts
    for (int j = 0; j < Node_Robot::c_iHeadFrames; ++j)
    {
        const Image head = Load("data/robot" + std::to_string(j) + ".png");
        const Vector2f at = robot->GetHeadPosition(j), mouthAt = robot->GetMouthPosition(j);
        EXPECT_TRUE(at.x + head.width <= 480 && at.y + head.height <= 320);
        size_t previous = 0;
        for (int k = 0; k < Node_Robot::c_iMouthSteps; ++k)
        {
            SCOPED_TRACE("head " + std::to_string(j) + ", mouth " + std::to_string(k));
            const Image mouth =
                Load("data/mouth" + std::to_string(j + 1) + "-" + std::to_string(k) + ".png");
            size_t covered = 0, offFace = 0, offPlate = 0;
            for (int y = 0; y < mouth.height; ++y)
                for (int x = 0; x < mouth.width; ++x)
                {
                    if (Alpha(mouth, x, y) == 0)
                        continue;
                    ++covered;
                    const int hx = int(mouthAt.x - at.x) + x, hy = int(mouthAt.y - at.y) + y;
                    if (hx < 0 || hy < 0 || hx >= head.width || hy >= head.height ||
                        Alpha(head, hx, hy) < 255)
                        ++offFace;
                    else if (Alpha(mouth, x, y) >= 128) // its strokes glow on the dark plate
                        offPlate +=
                            (head.At(hx, hy)[0] * 3 + head.At(hx, hy)[1] * 6 + head.At(hx, hy)[2]) /
                                10 >
                            80;
                }
            EXPECT_EQ(offFace, 0u) << "mouth texels fall beside the face";
            EXPECT_EQ(offPlate, 0u) << "the mouth misses the mouth plate";
            EXPECT_GT(covered, previous) << "each step opens the mouth wider";
            previous = covered;
        }
    }
    robot->Release();
}

TEST(Resources, FontCoversAndFitsEveryInterfaceTextWithInkedGlyphsInsideItsPage)
{
    GLTestContext gl(SourceDataDir());
    ASSERT_TRUE(gl.IsValid());
    Font* font = Font::Load("data/fonts/oldsans18.fnt");
    ASSERT_NE(font, nullptr);
    ASSERT_NE(font->GetTexture(), nullptr) << "the page is found by its bare name";
    EXPECT_TRUE(font->GetHeight() > 0 && font->GetHeight() <= 30)
        << "buttons are 27 to 30 points tall";
    const Image page = Load("data/oldsans18_0.png");
    for (int c = 32; c < 127; ++c) // every character the interface could show
    {
        SCOPED_TRACE(std::string("glyph ") + char(c));
        const FontCharacter* g = font->GetCharacter(static_cast<unsigned short>(c));
        ASSERT_NE(g, nullptr);
        if (c == ' ')
            continue;
        EXPECT_TRUE(g->x + g->width <= page.width && g->y + g->height <= page.height);
        EXPECT_TRUE(g->yoffset >= 0 && g->yoffset + g->height <= font->GetHeight() + 2);
        EXPECT_GT(g->xadvance, 0);
        size_t ink = 0;
        for (int y = g->y; y < g->y + g->height; ++y)
            for (int x = g->x; x < g->x + g->width; ++x)
                ink += Alpha(page, x, y) > 0;
        EXPECT_GT(ink, 0u) << "the glyph box is empty";
    }
    font->Release();

    // Every text, drawn white from the left edge, fits the room its widget gives it.
    const std::pair<std::vector<std::string>, int> fits[] = {
        {{"Close", "About"}, 56}, // 60-point buttons
        {{"Synth Controls  >", "Effects  >", "Scale  >", "Back", "Note Grid"}, 134},
        {{"Mekko", "Pulse", "Theremin", "PWM", "Off", "Slow", "Fast", "Snap"},
         68},                    // between < and >
        {{"Pitch", "Zoom"}, 37}, // left of a slider
        {{"Timbre", "Echo Volume", "Echo Time", "Echo Repeat", "Overdrive", "Pulse Width", "Cutoff",
          "Resonance", "Mode", "Autotune"},
         138},
        {{"<", ">"}, 30}};
    Node_Text* text = Node_Text::Create();
    text->SetFont("data/fonts/oldsans18.fnt");
    Camera_2D camera;
    for (const auto& [texts, room] : fits)
        for (const std::string& s : texts)
        {
            text->SetText(s.c_str());
            gl.GetRenderer().BeginFrame(true, 0);
            gl.GetRenderer().RenderTree(text, &camera);
            gl.GetRenderer().EndFrame(true);
            const std::vector<uint8_t> frame = gl.ReadLandscape();
            int right = 0, lit = 0;
            for (size_t i = 0; i < frame.size(); i += 4)
            {
                right = frame[i] > 60 ? std::max(right, int(i / 4 % 480) + 1) : right;
                lit += frame[i] > 60;
            }
            EXPECT_GT(lit, 10) << "\"" << s << "\" drew nothing";
            EXPECT_LE(right, room) << "\"" << s << "\" is too wide";
        }
    text->Release();
}
