// Edges at the output's own pixels: the note grid and the panel's font drawn at 4x are
// sharper than the 1x frame enlarged four times, as the window once showed it.
#include "SceneFixture.h"

#include "platform/sdl/View_SDL.h"
#include "render/Material.h"
#include "render/Texture.h"
#include "scene/Font.h"
#include "scene/Node_NoteGrid.h"
#include "scene/Node_Sprite.h"
#include "scene/Node_Text.h"

#include <cmath>

using namespace zindle_test;

namespace
{
// A landscape frame of any size as grey levels (0 to 255), top row first.
struct Grey
{
    int width = 0;
    int height = 0;
    std::vector<float> level;

    float At(int x, int y) const
    {
        return level[static_cast<size_t>(std::clamp(y, 0, height - 1)) * width +
                     static_cast<size_t>(std::clamp(x, 0, width - 1))];
    }
};

Grey ToGrey(const std::vector<uint8_t>& rgba, int width, int height)
{
    Grey grey{width, height, std::vector<float>(static_cast<size_t>(width) * height)};
    for (size_t i = 0; i < grey.level.size(); ++i)
        grey.level[i] = 0.299f * rgba[i * 4] + 0.587f * rgba[i * 4 + 1] + 0.114f * rgba[i * 4 + 2];
    return grey;
}

// The frame stretched `factor` times with bilinear filtering, texel centres at +0.5: what
// a linearly filtered texture drawn that much larger shows.
Grey Enlarge(const Grey& in, int factor)
{
    Grey out{in.width * factor, in.height * factor,
             std::vector<float>(static_cast<size_t>(in.width) * in.height * factor * factor)};
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
        {
            const float sx = (static_cast<float>(x) + 0.5f) / static_cast<float>(factor) - 0.5f;
            const float sy = (static_cast<float>(y) + 0.5f) / static_cast<float>(factor) - 0.5f;
            const int x0 = static_cast<int>(std::floor(sx));
            const int y0 = static_cast<int>(std::floor(sy));
            const float fx = sx - static_cast<float>(x0);
            const float fy = sy - static_cast<float>(y0);
            const float top = in.At(x0, y0) * (1 - fx) + in.At(x0 + 1, y0) * fx;
            const float bottom = in.At(x0, y0 + 1) * (1 - fx) + in.At(x0 + 1, y0 + 1) * fx;
            out.level[static_cast<size_t>(y) * out.width + x] = top * (1 - fy) + bottom * fy;
        }
    return out;
}

// Pixels from the background to the feature along row y, starting at x and walking right:
// from the last one within 10% of the way to `level` to the first within 10% of it.
int Rise(const Grey& frame, int y, int x, float background, float level)
{
    const float low = background + 0.1f * (level - background);
    const float high = background + 0.9f * (level - background);
    int lastLow = x;
    for (int i = x; i < frame.width; ++i)
    {
        const float v = frame.At(i, y);
        if (v <= low)
            lastLow = i;
        else if (v >= high)
            return i - lastLow;
    }
    return frame.width;
}

// Pixels of row y in [from, to) that are neither background nor feature: more than 10% of the
// way from one to the other and less than 90%.
int Partial(const Grey& frame, int y, int from, int to, float background, float level)
{
    int count = 0;
    for (int x = from; x < to; ++x)
    {
        const float t = (frame.At(x, y) - background) / (level - background);
        count += t > 0.1f && t < 0.9f;
    }
    return count;
}

// The variance of the 4-neighbour Laplacian over a rectangle (in points at the frame's scale).
double LaplacianVariance(const Grey& frame, int scale, int left, int top, int right, int bottom)
{
    double sum = 0.0, squares = 0.0;
    int n = 0;
    for (int y = top * scale + 1; y < bottom * scale - 1; ++y)
        for (int x = left * scale + 1; x < right * scale - 1; ++x)
        {
            const double l = frame.At(x - 1, y) + frame.At(x + 1, y) + frame.At(x, y - 1) +
                             frame.At(x, y + 1) - 4.0 * frame.At(x, y);
            sum += l, squares += l * l, ++n;
        }
    const double mean = sum / n;
    return squares / n - mean * mean;
}

// One frame of the note grid and a line of panel text on black at that scale.
Grey DrawScene(float scale)
{
    GLTestContext gl(SourceDataDir());
    EXPECT_TRUE(gl.IsValid());
    Renderer_GL_SDL& renderer = gl.GetRenderer();
    EXPECT_TRUE(renderer.ApplyPixelScale(scale));
    // The font loads the art set of the scale it is made at.
    const InstrumentState state; // twelve notes over the start window
    Node_NoteGrid* grid = new Node_NoteGrid(state);
    Node_Text* text = Node_Text::Create();
    text->SetFont("oldsans18.fnt");
    text->SetColor(0xFFFFFFFF);
    text->SetPos(40, 100);
    text->SetText("HHHH");
    Camera_2D camera;
    renderer.BeginFrame(true, 0x000000);
    renderer.RenderTree(grid, &camera);
    renderer.RenderTree(text, &camera);
    renderer.EndFrame(true);
    std::vector<uint8_t> rgba;
    EXPECT_TRUE(gl.GetView().ReadLandscapeFrame(rgba));
    const int width = gl.GetView().GetFrameWidth();
    const int height = gl.GetView().GetFrameHeight();
    EXPECT_EQ(width, static_cast<int>(480 * scale));
    EXPECT_EQ(height, static_cast<int>(320 * scale));
    text->Release();
    grid->Release();
    return ToGrey(rgba, width, height);
}

// The first column at or right of x (in pixels) on row y that is lit.
int FirstLit(const Grey& frame, int y, int x)
{
    while (x < frame.width && frame.At(x, y) < 64.0f)
        ++x;
    return x;
}
} // namespace

TEST(Sharpness, FourTimesTheScaleDrawsSharpLinesAndGlyphsWhereAnEnlargementBlurs)
{
    const Grey one = DrawScene(1.0f);
    const Grey four = DrawScene(4.0f);
    const Grey enlarged = Enlarge(one, 4);
    ASSERT_EQ(four.width, enlarged.width);

    // A grid line: at 1x the first lit column below the text on row 250, one pixel wide.
    const int line = FirstLit(one, 250, 0);
    ASSERT_LT(line, 480);
    const float lineLevel = one.At(line, 250);
    // A glyph's stem: the first 'H' above its bar (the pen at x 40, line top 100).
    const int stemRow = 100 + 7;
    const int stem = FirstLit(one, stemRow, 38);
    ASSERT_LT(stem, 80);
    const float stemLevel = 255.0f;
    // At 4x each edge goes from background to the feature within 2 pixels; enlarged, the
    // feature is smeared: 6 or more pixels across it are neither (a hard 1x edge alone
    // leaves 4 between 10% and 90%, a 1x line 8).
    for (const auto& [name, row, from, to, level] :
         {std::tuple{"note grid line", 250 * 4 + 2, (line - 3) * 4, (line + 4) * 4, lineLevel},
          std::tuple{"glyph stem", stemRow * 4 + 2, (stem - 2) * 4, (stem + 3) * 4, stemLevel}})
    {
        SCOPED_TRACE(name);
        const int sharp = Rise(four, row, from, 0.0f, level);
        const int sharpPartial = Partial(four, row, from, to, 0.0f, level);
        const int softPartial = Partial(enlarged, row, from, to, 0.0f, level);
        std::printf("  %s: background to it in %d pixels at 4x; %d pixels partly lit across it "
                    "at 4x, %d in the enlarged 1x frame\n",
                    name, sharp, sharpPartial, softPartial);
        EXPECT_LE(sharp, 2);
        EXPECT_GE(softPartial, 6);
        EXPECT_GE(softPartial, 2 * sharpPartial);
    }

    // The line is a point wide: four pixels at the line's full level, none partly lit.
    int full = 0;
    for (int x = (line - 3) * 4; x < (line + 4) * 4; ++x)
        full += four.At(x, 250 * 4 + 2) >= 0.9f * lineLevel;
    EXPECT_EQ(full, 4);

    // Over the text and the lines below it.
    const double sharpVariance = LaplacianVariance(four, 4, 30, 90, 200, 300);
    const double softVariance = LaplacianVariance(enlarged, 4, 30, 90, 200, 300);
    std::printf("  variance of the Laplacian: %.1f at 4x, %.1f enlarged\n", sharpVariance,
                softVariance);
    EXPECT_GE(sharpVariance, 2.0 * softVariance);
}

namespace
{
// The robot's head over a line of panel text on black, drawn in the renderer's current scale.
struct HeadAndText
{
    Node_Sprite* head = Node_Sprite::Create("data/robot4.png");
    Node_Text* text = Node_Text::Create();

    HeadAndText()
    {
        if (head)
            head->SetPosition(314, 172, true, 0, 1); // the head image's centre, as the robot's
        text->SetFont("oldsans18.fnt");
        text->SetColor(0xFFFFFFFF);
        text->SetPos(40, 100);
        text->SetText("HHHH");
    }
    ~HeadAndText()
    {
        text->Release();
        if (head)
            head->Release();
    }
    Grey Draw(GLTestContext& gl)
    {
        Camera_2D camera;
        Renderer_GL_SDL& renderer = gl.GetRenderer();
        renderer.BeginFrame(true, 0x000000);
        renderer.RenderTree(head, &camera);
        renderer.RenderTree(text, &camera);
        renderer.EndFrame(true);
        std::vector<uint8_t> rgba;
        EXPECT_TRUE(gl.GetView().ReadLandscapeFrame(rgba));
        return ToGrey(rgba, gl.GetView().GetFrameWidth(), gl.GetView().GetFrameHeight());
    }
};
} // namespace

TEST(Sharpness, AScaleThatCrossesToAnotherArtSetReloadsTexturesAndFontBeforeTheNextFrame)
{
    // Started at 4x: what the scene should look like.
    Grey wanted;
    {
        GLTestContext gl(SourceDataDir());
        ASSERT_TRUE(gl.IsValid());
        ASSERT_TRUE(gl.GetRenderer().ApplyPixelScale(4.0f));
        HeadAndText scene;
        ASSERT_NE(scene.head, nullptr);
        wanted = scene.Draw(gl);
    }

    GLTestContext gl(SourceDataDir());
    ASSERT_TRUE(gl.IsValid());
    Renderer_GL_SDL& renderer = gl.GetRenderer();
    ASSERT_TRUE(renderer.ApplyPixelScale(1.0f));
    HeadAndText scene;
    ASSERT_NE(scene.head, nullptr);
    Texture* texture = scene.head->GetMaterial()->GetTexture(0);
    const Grey one = scene.Draw(gl);
    ASSERT_EQ(texture->GetPixelWidth(), 256);
    ASSERT_EQ(scene.text->GetFont()->GetScale(), 1);

    // Within the 2x set nothing is reloaded; past 2 the 4x set is.
    ASSERT_TRUE(renderer.ApplyPixelScale(1.5f));
    scene.Draw(gl);
    EXPECT_EQ(texture->GetPixelWidth(), 512);
    ASSERT_TRUE(renderer.ApplyPixelScale(4.0f));
    const Grey four = scene.Draw(gl);
    EXPECT_EQ(scene.head->GetMaterial()->GetTexture(0), texture) << "the same texture object";
    const auto pixels = std::pair<int, int>(texture->GetPixelWidth(), texture->GetPixelHeight());
    EXPECT_EQ(pixels, (std::pair<int, int>(1024, 1024)));
    const auto points = std::pair<int, int>(texture->GetWidth(), texture->GetArtScale());
    EXPECT_EQ(points, (std::pair<int, int>(256, 4))) << "drawn at its 1x size in points";
    EXPECT_EQ(scene.text->GetFont()->GetScale(), 4);

    // The frame is the one a program started at 4x draws, and sharper than the 1x frame
    // enlarged (over the head's outline and eyes, and the text).
    ASSERT_EQ(std::pair(four.width, four.height), std::pair(wanted.width, wanted.height));
    double difference = 0.0;
    for (size_t i = 0; i < four.level.size(); ++i)
        difference = std::max(difference, double(std::abs(four.level[i] - wanted.level[i])));
    EXPECT_LE(difference, 1.0) << "largest grey difference from a frame drawn at 4x from the start";
    const Grey enlarged = Enlarge(one, 4);
    for (const auto& [name, left, top, right, bottom] :
         {std::tuple{"head", 200, 60, 420, 300}, std::tuple{"text", 30, 90, 120, 125}})
    {
        SCOPED_TRACE(name);
        const double sharp = LaplacianVariance(four, 4, left, top, right, bottom);
        const double soft = LaplacianVariance(enlarged, 4, left, top, right, bottom);
        std::printf("  %s: variance of the Laplacian %.1f after the switch, %.1f enlarged\n", name,
                    sharp, soft);
        EXPECT_GE(sharp, 2.0 * soft);
    }

    // Back to 1x: the 1x set again, and the 1x frame.
    ASSERT_TRUE(renderer.ApplyPixelScale(1.0f));
    const Grey back = scene.Draw(gl);
    EXPECT_EQ(texture->GetPixelWidth(), 256);
    EXPECT_EQ(back.level, one.level);
}
