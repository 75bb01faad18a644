// Every resource the program loads, found by the name it gives, with the size and
// alpha its node and blend mode need; the decal and face art lined up with where the
// program draws them, and a font whose glyphs cover and fit every interface text.
#include "file/File_Bundle.h"
#include "formats/PNGImage.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "scene/Font.h"
#include "scene/Node_Decals.h"
#include "scene/Node_Robot.h"
#include "scene/Node_Text.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

using namespace zindle_test;

namespace
{
// A resource where the program's file layer finds it by the name the program
// gives, with whether the program's decoder keeps its alpha.
Image Load(const std::string& name, bool* alpha = nullptr)
{
    File_Bundle::SetResourceDirectory(SourceDataDir().string());
    const std::string path = File_Bundle::ResolvePath(name.c_str()), bytes = ReadFile(path);
    Image image;
    EXPECT_TRUE(ReadPng(path, image)) << name << " is missing or does not decode";
    PNGImage decoded;
    EXPECT_TRUE(decoded.Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (alpha)
        *alpha = decoded.HasAlpha();
    return image;
}

// How the scene draws an image. Opaque: unblended, or only its colour written. Transparent:
// by its alpha, clear around. Additive: black where nothing shows. Tiled: the lava mask.
enum class Use
{
    Opaque,
    Transparent,
    Additive,
    Tiled
};
} // namespace

TEST(Resources, EverySceneImageLoadsAsATextureWithTheAlphaItsDrawingNeeds)
{
    std::vector<std::tuple<std::string, Use, int, int>> list = {
        {"data/lava.png", Use::Tiled, 1, 1},         {"data/newbg5.png", Use::Opaque, 480, 320},
        {"data/newbg4.png", Use::Opaque, 480, 320},  {"data/spotlight.png", Use::Transparent, 1, 1},
        {"data/panelopen.png", Use::Additive, 1, 1}, {"data/doubletap.png", Use::Transparent, 1, 1},
        {"data/decals.png", Use::Transparent, 1, 1}, {"data/panelbg.png", Use::Opaque, 163, 320},
        {"data/about.png", Use::Opaque, 480, 320}};
    for (int i = 0; i < Node_Robot::c_iHeadFrames; ++i)
    {
        list.push_back({"data/robot" + std::to_string(i) + ".png", Use::Transparent, 1, 1});
        for (int k = 0; k < Node_Robot::c_iMouthSteps; ++k)
            list.push_back({"data/mouth" + std::to_string(i + 1) + "-" + std::to_string(k) + ".png",
                            Use::Transparent, 1, 1});
    }
    for (const auto& [name, use, minWidth, minHeight] : list)
    {
        SCOPED_TRACE(name);
        bool alpha = false;
        const Image p = Load(name, &alpha);
        EXPECT_TRUE(p.width >= minWidth && p.height >= minHeight && !(p.width & (p.width - 1)) &&
                    !(p.height & (p.height - 1)))
            << p.width << " x " << p.height << ": a power of two, and large enough";
        EXPECT_TRUE(use == Use::Additive || alpha == (use != Use::Opaque))
            << "blended by its alpha, or drawn opaque without one";
        // A transparent picture is cut off where its edge shows; an additive one's must be black.
        size_t clear = 0, full = 0, edgeShown = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
            {
                const uint8_t* t = p.At(x, y);
                clear += t[3] == 0;
                full += t[3] == 255;
                const bool edge = x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1;
                edgeShown += edge && (use == Use::Transparent
                                          ? t[3] != 0
                                          : use == Use::Additive && (t[0] | t[1] | t[2]));
            }
        EXPECT_EQ(edgeShown, 0u) << "texels showing at its edge";
        const size_t n = size_t(p.width) * p.height;
        EXPECT_TRUE(use != Use::Transparent || (clear > 0 && clear < n))
            << "clear around the picture";
        if (use != Use::Tiled)
            continue;
        // Both backgrounds show in clear areas, and the tile joins its neighbours.
        EXPECT_TRUE(clear > n / 5 && full > n / 8) << clear << " clear, " << full << " opaque";
        for (int i = 0; i < p.width; ++i) // column i's ends, row i's ends
            EXPECT_TRUE(std::abs(p.At(i, 0)[3] - p.At(i, p.height - 1)[3]) <= 80 &&
                        std::abs(p.At(0, i)[3] - p.At(p.width - 1, i)[3]) <= 80)
                << i;
    }
    const Image launch = Load("Default.png"); // fills the portrait framebuffer
    EXPECT_EQ(std::pair(launch.width, launch.height), std::pair(320, 480));
}

TEST(Resources, EveryLargerArtSetShowsTheOneTimesPictureInItsPlaceAtTwiceAndFourTimesItsSize)
{
    // Every @2x / @4x picture beside its 1x file; the font's pages are laid out afresh at
    // each size and checked by the font test.
    std::vector<std::filesystem::path> larger;
    for (const auto& entry : std::filesystem::directory_iterator(SourceDataDir()))
    {
        const std::string name = entry.path().filename().string();
        if (name.ends_with("x.png") && name.find('@') != std::string::npos &&
            !name.starts_with("oldsans18_0"))
            larger.push_back(entry.path());
    }
    std::sort(larger.begin(), larger.end());
    EXPECT_EQ(larger.size(), 2u * 64u) << "every picture of data/ at 2x and 4x";
    for (const std::filesystem::path& path : larger)
    {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        const size_t at = name.rfind('@');
        const int scale = name[at + 1] - '0';
        ASSERT_TRUE(scale == 2 || scale == 4);
        const std::string oneName = name.substr(0, at) + ".png";
        const Image one = Load(oneName);
        bool alpha = false, oneAlpha = false;
        const Image big = Load(name, &alpha);
        Load(oneName, &oneAlpha);
        ASSERT_EQ(std::pair(big.width, big.height),
                  std::pair(one.width * scale, one.height * scale));
        EXPECT_EQ(alpha, oneAlpha) << "drawn with the same blending as the 1x image";
        // Means over blocks of 4 x 4 points, premultiplied as the texture keeps them: the
        // ordered dither of the opaque images (a 4 x 4 pattern) averages out, the picture
        // stays. The same picture in the same place, far nearer than one block aside.
        const int blocksX = one.width / 4, blocksY = one.height / 4;
        auto blockMeans = [&](const Image& image, int side)
        {
            std::vector<double> means(size_t(blocksX) * blocksY * 4, 0.0);
            for (int y = 0; y < blocksY * side; ++y)
                for (int x = 0; x < blocksX * side; ++x)
                {
                    const uint8_t* t = image.At(x, y);
                    double* m = &means[(size_t(y / side) * blocksX + x / side) * 4];
                    for (int c = 0; c < 3; ++c)
                        m[c] += t[c] * t[3] / 255.0;
                    m[3] += t[3];
                }
            for (double& m : means)
                m /= double(side) * side;
            return means;
        };
        const std::vector<double> small = blockMeans(one, 4), reduced = blockMeans(big, 4 * scale);
        double difference = 0.0, aside = 0.0;
        for (int by = 0; by < blocksY; ++by)
            for (int bx = 0; bx < blocksX; ++bx)
                for (int c = 0; c < 4; ++c)
                {
                    const size_t i = (size_t(by) * blocksX + bx) * 4 + c;
                    const size_t next =
                        (size_t(by) * blocksX + std::min(bx + 1, blocksX - 1)) * 4 + c;
                    difference += std::abs(reduced[i] - small[i]);
                    aside += std::abs(reduced[i] - small[next]);
                }
        difference /= double(small.size());
        aside /= double(small.size());
        std::printf("  %-18s mean difference %.2f (of 255; a block aside: %.2f)\n", name.c_str(),
                    difference, aside);
        EXPECT_LT(difference, 2.0) << "of 255, per channel";
        EXPECT_LT(difference, 0.5 * aside) << "nearer its own place than one block aside";
    }
}

TEST(Resources, EveryDecalLiesAloneInsideTheSheetWithAClearEdge)
{
    const Image p = Load("data/decals.png");
    std::vector<int> owner(size_t(p.width) * p.height, -1);
    for (int i = 0; i < Node_Decals::c_iImageCount; ++i)
    {
        const auto& [first, opposite] = Node_Decals::c_Images[size_t(i)];
        const int x0 = int(first.x), y0 = int(first.y), x1 = int(opposite.x), y1 = int(opposite.y);
        SCOPED_TRACE("decal " + std::to_string(i));
        ASSERT_TRUE(x0 >= 0 && y0 >= 0 && x1 <= p.width && y1 <= p.height && x1 - x0 >= 20 &&
                    y1 - y0 >= 20);
        size_t covered = 0, overlaps = 0, cut = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
            {
                overlaps += owner[size_t(y) * p.width + x] >= 0;
                owner[size_t(y) * p.width + x] = i;
                covered += p.At(x, y)[3] > 0;
                cut += (x == x0 || y == y0 || x == x1 - 1 || y == y1 - 1) && p.At(x, y)[3] > 0;
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
                    if (mouth.At(x, y)[3] == 0)
                        continue;
                    ++covered;
                    const int hx = int(mouthAt.x - at.x) + x, hy = int(mouthAt.y - at.y) + y;
                    if (hx < 0 || hy < 0 || hx >= head.width || hy >= head.height ||
                        head.At(hx, hy)[3] < 255)
                        ++offFace;
                    else if (const uint8_t* h = head.At(hx, hy); mouth.At(x, y)[3] >= 128)
                        offPlate += (h[0] * 3 + h[1] * 6 + h[2]) / 10 > 80;
                }
            EXPECT_EQ(offFace, 0u) << "mouth texels fall beside the face";
            EXPECT_EQ(offPlate, 0u) << "its strokes (alpha 128 up) miss the dark mouth plate";
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
    ASSERT_TRUE(font && font->GetTexture()) << "the font, and its page found by its bare name";
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
        EXPECT_TRUE(g->x + g->width <= page.width && g->y + g->height <= page.height &&
                    g->yoffset >= 0 && g->yoffset + g->height <= font->GetHeight() + 2 &&
                    g->xadvance > 0);
        size_t ink = 0;
        for (int y = g->y; y < g->y + g->height; ++y)
            for (int x = g->x; x < g->x + g->width; ++x)
                ink += page.At(x, y)[3] > 0;
        EXPECT_GT(ink, 0u) << "the glyph box is empty";
    }
    font->Release();

    // Every text, drawn white from the left edge, fits the room its widget gives it:
    // 56 points on the 60-point buttons, 68 between < and >, 37 left of a slider.
    const std::pair<std::vector<std::string>, int> fits[] = {
        {{"Close", "About"}, 56},
        {{"Synth Controls  >", "Effects  >", "Scale  >", "Back", "Note Grid"}, 134},
        {{"Mekko", "Pulse", "Theremin", "PWM", "Off", "Slow", "Fast", "Snap"}, 68},
        {{"Pitch", "Zoom"}, 37},
        {{"Timbre", "Echo Volume", "Echo Time", "Echo Repeat", "Overdrive"}, 138},
        {{"Pulse Width", "Cutoff", "Resonance", "Mode", "Autotune"}, 138},
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
                if (frame[i] > 60)
                    right = std::max(right, int(i / 4 % 480) + 1), ++lit;
            EXPECT_GT(lit, 10) << "\"" << s << "\" drew nothing";
            EXPECT_LE(right, room) << "\"" << s << "\" is too wide";
        }
    text->Release();
}
