// Sprites and flat quads drawn with OpenGL ES: corners for pivots, scales,
// rotations and whole-point snapping, colour 0 hiding, tints modulating texels,
// and the material references a sprite holds.
#include "SceneTestSupport.h"

#include "render/Material.h"
#include "render/Texture.h"
#include "scene/Node_2DQuad.h"
#include "scene/Node_Sprite.h"
#include "scene/Node_Sprite_GL.h"

#include <cmath>
#include <numbers>

using namespace zindle_test;

namespace
{
// Red, green, blue and white quadrants, opaque.
constexpr uint32_t c_quadrants[4] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF};

class SpriteTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        WriteQuadrantPNG("quads.png", 64, 32, c_quadrants);
        WriteSolidPNG(m_dir / "lava.png", 256, 256, 255, 255, 255);
        m_pRoot = new Node();
    }
    void TearDown() override { m_pRoot->Release(); }

    Node_Sprite* Add(Node_Sprite* sprite)
    {
        if (sprite)
        {
            m_pRoot->AddChild(sprite);
            sprite->Release();
        }
        return sprite;
    }

    static void ExpectCorner(const ModelVertex& v, float x, float y)
    {
        EXPECT_NEAR(v.position.x, x, 1e-3);
        EXPECT_NEAR(v.position.y, y, 1e-3);
    }

    Node* m_pRoot = nullptr;
};
} // namespace

TEST_F(SpriteTest, CentredImageDrawsNothingUntilPlacedThenCoversItsRectangle)
{
    Node_Sprite* sprite = Add(Node_Sprite::Create("data/lava.png"));
    ASSERT_NE(sprite, nullptr);
    EXPECT_FLOAT_EQ(sprite->GetSize().x, 256.0f);
    EXPECT_FLOAT_EQ(sprite->GetSize().y, 256.0f);
    EXPECT_FLOAT_EQ(sprite->GetOffset().x, 128.0f);
    EXPECT_FLOAT_EQ(sprite->GetOffset().y, 128.0f);
    EXPECT_FALSE(sprite->GetMaterial()->GetZTest());
    EXPECT_FALSE(sprite->GetMaterial()->GetZWrite());

    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0);

    sprite->SetPosition(240, 160, false, 0, 1);
    const Frame frame = Draw(m_pRoot);
    const auto* v = static_cast<Node_Sprite_GL*>(sprite)->GetVertices();
    ExpectCorner(v[0], 112, 32);
    ExpectCorner(v[3], 368, 288);
    EXPECT_EQ(frame.RowExtent(160, IsWhite), std::make_pair(112, 368));
    EXPECT_EQ(frame.ColumnExtent(240, IsWhite), std::make_pair(32, 288));

    sprite->SetInvisible();
    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0);
}

TEST_F(SpriteTest, PivotScaleAndWholePointsPlaceTheCorners)
{
    Node_Sprite* sprite = Add(Node_Sprite::Create("data/quads.png"));
    ASSERT_NE(sprite, nullptr);
    const auto* v = static_cast<Node_Sprite_GL*>(sprite)->GetVertices();
    {
        SCOPED_TRACE("whole points truncate toward zero");
        sprite->SetPosition(10.7f, -3.7f, true, 0, 1);
        EXPECT_FLOAT_EQ(sprite->GetPosition().x, 10.0f);
        EXPECT_FLOAT_EQ(sprite->GetPosition().y, -3.0f);
        Draw(m_pRoot);
        ExpectCorner(v[0], 10 - 32, -3 - 16);
    }
    {
        SCOPED_TRACE("top-left pivot at twice the size");
        sprite->SetOffset(0, 0, false);
        sprite->SetPosition(0, 0, false, 0, 2);
        const Frame frame = Draw(m_pRoot);
        ExpectCorner(v[0], 0, 0);
        ExpectCorner(v[3], 128, 64);
        EXPECT_EQ(frame.RowExtent(10, IsRed), std::make_pair(0, 64));
        EXPECT_EQ(frame.RowExtent(10, IsGreen), std::make_pair(64, 128));
        EXPECT_EQ(frame.RowExtent(50, IsBlue), std::make_pair(0, 64));
    }
    {
        SCOPED_TRACE("pivot in points");
        sprite->SetOffset(5, 6, true);
        sprite->SetPosition(100, 100, false, 0, 1);
        Draw(m_pRoot);
        ExpectCorner(v[0], 95, 94);
        ExpectCorner(v[3], 95 + 64, 94 + 32);
    }
}

TEST_F(SpriteTest, QuarterTurnAboutTheCentreTurnsThePictureCounterClockwise)
{
    Node_Sprite* sprite = Add(Node_Sprite::Create("data/quads.png"));
    ASSERT_NE(sprite, nullptr);
    sprite->SetPosition(240, 160, false, std::numbers::pi_v<float> / 2, 1);
    const Frame frame = Draw(m_pRoot);
    const auto* v = static_cast<Node_Sprite_GL*>(sprite)->GetVertices();
    // The image's top-left corner goes to the bottom-left, its top-right to the top-left.
    ExpectCorner(v[0], 224, 192);
    ExpectCorner(v[1], 224, 128);
    ExpectCorner(v[2], 256, 192);
    ExpectCorner(v[3], 256, 128);
    EXPECT_TRUE(IsGreen(frame.At(230, 135)));
    EXPECT_TRUE(IsWhite(frame.At(250, 135)));
    EXPECT_TRUE(IsRed(frame.At(230, 185)));
    EXPECT_TRUE(IsBlue(frame.At(250, 185)));
    EXPECT_EQ(frame.RowExtent(150, IsLit), std::make_pair(224, 256));
    EXPECT_EQ(frame.ColumnExtent(240, IsLit), std::make_pair(128, 192));
}

TEST_F(SpriteTest, ColourZeroHidesAndOtherColoursTintTheTexels)
{
    Node_Sprite* sprite = Add(Node_Sprite::Create("data/lava.png"));
    ASSERT_NE(sprite, nullptr);
    sprite->SetPosition(240, 160, false, 0, 1);

    sprite->SetColor(0);
    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0);

    struct Tint
    {
        uint32_t colour;
        Pixel expected;
    };
    const Tint tints[] = {{0xFF0000FF, {255, 0, 0, 0}},
                          {0xFF00FF00, {0, 255, 0, 0}},
                          {0xFF808080, {128, 128, 128, 0}}};
    for (const Tint& t : tints)
    {
        SCOPED_TRACE(t.colour);
        sprite->SetColor(t.colour);
        const Pixel p = Draw(m_pRoot).At(240, 160);
        EXPECT_NEAR(p.r, t.expected.r, 2);
        EXPECT_NEAR(p.g, t.expected.g, 2);
        EXPECT_NEAR(p.b, t.expected.b, 2);
    }
}

TEST_F(SpriteTest, NodeSwitchesAndSpriteFlagMustBothAllowDrawing)
{
    Node_Sprite* sprite = Add(Node_Sprite::Create("data/lava.png"));
    ASSERT_NE(sprite, nullptr);
    sprite->SetPosition(240, 160, false, 0, 1);
    EXPECT_GT(Draw(m_pRoot).Count(IsWhite), 0);
    sprite->Node::SetVisible(false);
    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0);
    sprite->Node::SetVisible(true);
    m_pRoot->SetChildrenVisible(false);
    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0);
}

TEST_F(SpriteTest, MaterialReferencesAreHeldOnceAndDroppedWithoutATexture)
{
    EXPECT_EQ(Node_Sprite::Create("data/missing.png"), nullptr);
    WriteSolidPNG(m_dir / "odd.png", 300, 256, 255, 0, 0); // not a power of two
    EXPECT_EQ(Node_Sprite::Create("data/odd.png"), nullptr);
    EXPECT_EQ(LiveTextures(), 0);

    Node_Sprite* sprite = Add(Node_Sprite::Create());
    Material* textured = Material::Create("data/lava.png");
    ASSERT_NE(textured->GetTexture(0), nullptr);
    sprite->SetImage(textured);
    EXPECT_EQ(textured->GetRefCount(), 2);
    sprite->SetImage(textured);
    EXPECT_EQ(textured->GetRefCount(), 2);
    sprite->SetPosition(240, 160, false, 0, 1);
    EXPECT_GT(Draw(m_pRoot).Count(IsWhite), 0);

    // A material without a texture: the sprite lets go of the old one and stops drawing.
    Material* plain = Material::Create();
    sprite->SetImage(plain, Vector2f(0, 0), Vector2f(1, 1), Vector2f(0, 0));
    EXPECT_EQ(sprite->GetMaterial(), nullptr);
    EXPECT_EQ(textured->GetRefCount(), 1);
    EXPECT_EQ(plain->GetRefCount(), 1);
    EXPECT_EQ(Draw(m_pRoot).Count(IsLit), 0);

    // Null is ignored by the whole-image form and clears in the full form.
    sprite->SetImage(textured);
    sprite->SetImage(nullptr);
    EXPECT_EQ(sprite->GetMaterial(), textured);
    plain->Release();
    textured->Release();
    m_pRoot->RemoveChild(sprite);
    EXPECT_EQ(LiveTextures(), 0);
}

TEST_F(SpriteTest, SubRectangleOfTheTextureUsesItsUVs)
{
    Node_Sprite* sprite = Add(Node_Sprite::Create());
    Material* material = Material::Create("data/quads.png");
    // Only the top-right (green) quadrant, pivot at its top-left.
    sprite->SetImage(material, Vector2f(0.5f, 0.0f), Vector2f(1.0f, 0.5f), Vector2f(0, 0));
    material->Release();
    sprite->SetPosition(10, 10, false, 0, 1);
    const Frame frame = Draw(m_pRoot);
    // The size stays the whole texture's: the half-texture is stretched over it.
    EXPECT_EQ(frame.RowExtent(20, IsGreen), std::make_pair(10, 74));
    EXPECT_EQ(frame.Count(IsRed), 0);
}

TEST_F(SpriteTest, TranslucentBlackQuadHalvesTheScreen)
{
    auto* white = new Node_2DQuad(Vector2f(0, 0), Vector2f(480, 320), 0xFFFFFFFF);
    Material* opaque = Material::Create();
    white->SetMaterial(opaque);
    opaque->Release();
    auto* shade = new Node_2DQuad(Vector2f(0, 0), Vector2f(480, 320), 0x80000000);
    Material* blend = Material::Create();
    blend->SetBlendMode(Material::c_iBlendAlpha);
    shade->SetMaterial(blend);
    blend->Release();
    m_pRoot->AddChild(white);
    m_pRoot->AddChild(shade);
    white->Release();
    shade->Release();

    const Frame frame = Draw(m_pRoot);
    for (const auto& [x, y] : {std::pair{0, 0}, {479, 319}, {240, 160}})
    {
        SCOPED_TRACE(x);
        EXPECT_NEAR(frame.At(x, y).r, 127, 2);
        EXPECT_NEAR(frame.At(x, y).b, 127, 2);
    }
}

TEST_F(SpriteTest, QuadCoversExactlyItsCorners)
{
    auto* quad = new Node_2DQuad(Vector2f(20, 30), Vector2f(120, 80), 0xFF0000FF);
    Material* material = Material::Create();
    quad->SetMaterial(material);
    EXPECT_EQ(material->GetRefCount(), 2);
    quad->SetMaterial(material); // the new reference is taken before the old one goes
    EXPECT_EQ(material->GetRefCount(), 2);
    material->Release();
    m_pRoot->AddChild(quad);
    quad->Release();
    const Frame frame = Draw(m_pRoot);
    EXPECT_EQ(frame.RowExtent(50, IsRed), std::make_pair(20, 120));
    EXPECT_EQ(frame.ColumnExtent(50, IsRed), std::make_pair(30, 80));
}
