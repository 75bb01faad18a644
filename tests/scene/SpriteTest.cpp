// Sprites, sprite batches and flat quads drawn with OpenGL ES, as the scene
// places them: about a pivot or anchor on whole points, tinted, hidden, and
// from texture rectangles.
#include "SceneFixture.h"

#include "render/Material.h"
#include "scene/Node_2DQuad.h"
#include "scene/Node_Sprite.h"
#include "scene/Node_SpriteBatch.h"
#include "scene/Node_SpriteBatch_GL.h"

using namespace zindle_test;

namespace
{
class SpriteTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        // 64 x 32 in quadrants: red, green above; blue, white below.
        const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
        std::vector<uint8_t> samples;
        for (int i = 0; i < 64 * 32; ++i)
        {
            const uint8_t* c = colours[(i / 64 >= 16 ? 2 : 0) + (i % 64 >= 32 ? 1 : 0)];
            samples.insert(samples.end(), {c[0], c[1], c[2], 255});
        }
        WritePNG(m_dir / "quads.png", 64, 32, 6, samples);
        m_pRoot = new Node();
    }
    void TearDown() override { m_pRoot->Release(); }

    template <typename T> T* Add(T* node)
    {
        m_pRoot->AddChild(node);
        node->Release();
        return node;
    }

    Node* m_pRoot = nullptr;
};
} // namespace

TEST_F(SpriteTest, SpriteDrawsItsImageAboutItsPivotOnWholePointsOnceShown)
{
    WriteSolidPNG(m_dir / "odd.png", 300, 256, 255, 0, 0); // not a power of two
    EXPECT_EQ(Node_Sprite::Create("data/odd.png"), nullptr);
    EXPECT_EQ(Node_Sprite::Create("data/missing.png"), nullptr);
    Node_Sprite* sprite = Add(Node_Sprite::Create("data/quads.png"));
    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0) << "not placed yet";
    sprite->SetPosition(240.7f, 160.7f, true, 0, 1); // about its centre, on whole points
    Frame frame = Draw(m_pRoot);
    EXPECT_EQ(frame.Row(150, IsRed), std::pair(208, 240));
    EXPECT_EQ(frame.Row(150, IsGreen), std::pair(240, 272));
    EXPECT_EQ(frame.Column(220, IsBlue), std::pair(160, 176));
    EXPECT_TRUE(IsWhite(frame.At(271, 175)));
    sprite->SetOffset(1.0f, 0.5f, false); // right-middle, as the hint is placed
    sprite->SetPosition(100, 100, true, 0, 1);
    EXPECT_EQ(Draw(m_pRoot).Row(90, IsRed), std::pair(36, 68));

    sprite->SetInvisible(); // until placed again
    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0);
    sprite->SetPosition(100, 100, true, 0, 1);

    // Its colour tints the texels; 0 hides it.
    const std::pair<uint32_t, int> tints[] = {
        {0xFF0000FF, 255}, {0xFF00FF00, 0}, {0xFF808080, 128}, {0, 0}};
    for (auto [colour, red] : tints)
    {
        sprite->SetColor(colour);
        EXPECT_TRUE(Near(Draw(m_pRoot).At(50, 90), red, 0, 0)) << std::hex << colour;
    }
}

TEST_F(SpriteTest, QuadsCoverTheirCornersAndBlendWithTheirMaterial)
{
    auto* white = Add(new Node_2DQuad(Vector2f(20, 30), Vector2f(120, 80), 0xFFFFFFFF));
    Material* material = Material::Create();
    white->SetMaterial(material);
    material->Release();
    const Frame frame = Draw(m_pRoot);
    EXPECT_EQ(frame.Row(50, IsWhite), std::pair(20, 120));
    EXPECT_EQ(frame.Column(50, IsWhite), std::pair(30, 80));
    // Translucent black over it halves it.
    auto* shade = Add(new Node_2DQuad(Vector2f(0, 0), Vector2f(480, 320), 0x80000000));
    Material* blend = Material::Create();
    blend->SetBlendMode(Material::c_iBlendAlpha);
    shade->SetMaterial(blend);
    blend->Release();
    EXPECT_TRUE(Near(Draw(m_pRoot).At(119, 79), 127, 127, 127));
}

TEST_F(SpriteTest, BatchDrawsTheShownSpritesFromTexelRectanglesAboutTheirAnchors)
{
    Material* atlas = Material::Create("data/quads.png");
    Node_SpriteBatch* batch = Add(Node_SpriteBatch::Create(3, atlas));
    EXPECT_EQ(atlas->GetRefCount(), 2);
    // 16 x 8 texels of the red quadrant, then of the blue one, anchored at their
    // centres on whole points.
    for (int i = 0; i < 3; ++i)
    {
        batch->SetUV(i, Vector2f(0, i == 1 ? 16 : 0), Vector2f(16, i == 1 ? 24 : 8));
        batch->SetOffset(i, Vector2f(0.5f, 0.5f), false);
        batch->SetPosition(i, 100.0f * (i + 1) + 0.7f, 50.7f, true, 0, 1);
    }
    Frame frame = Draw(m_pRoot);
    EXPECT_EQ(frame.Row(50, IsRed), std::pair(92, 308));
    EXPECT_EQ(frame.Row(50, IsBlue), std::pair(192, 208));
    EXPECT_EQ(frame.Column(100, IsRed), std::pair(46, 54));

    // A hidden sprite is left out of the draw; shown again, it takes its place.
    auto* gl = static_cast<Node_SpriteBatch_GL*>(batch);
    batch->SetInvisible(1);
    frame = Draw(m_pRoot);
    EXPECT_EQ(gl->GetVisibleCount(), 2);
    EXPECT_EQ(frame.Count(IsBlue), 0);
    EXPECT_EQ(frame.Row(50, IsRed), std::pair(92, 308));
    batch->SetPosition(1, 200, 50, true, 0, 1);
    batch->SetColor(0, 0xFF00FF00); // red under a green tint turns black
    frame = Draw(m_pRoot);
    EXPECT_EQ(frame.Row(50, IsBlue), std::pair(192, 208));
    EXPECT_TRUE(IsBlack(frame.At(100, 50)));
    m_pRoot->RemoveChild(batch);
    EXPECT_EQ(atlas->GetRefCount(), 1);
    atlas->Release();
}
