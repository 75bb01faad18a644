// The sprite batch drawn with OpenGL ES: texture rectangles in texels, anchors
// in pixels or fractions, rotated corners, visible sprites packed into one draw,
// and a batch without a texture drawing nothing.
#include "SceneTestSupport.h"

#include "render/Material.h"
#include "scene/Node_SpriteBatch.h"
#include "scene/Node_SpriteBatch_GL.h"

#include <numbers>

using namespace zindle_test;

namespace
{
class SpriteBatchTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        // 256 x 128: red left half, green right half (top); blue and white below.
        const uint32_t colours[4] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF};
        WriteQuadrantPNG("atlas.png", 256, 128, colours);
        m_pMaterial = Material::Create("data/atlas.png");
        ASSERT_NE(m_pMaterial->GetTexture(0), nullptr);
    }
    void TearDown() override
    {
        if (m_pMaterial)
            m_pMaterial->Release();
    }

    static void ExpectCorner(const Vector3f& c, float x, float y)
    {
        EXPECT_NEAR(c.x, x, 1e-3);
        EXPECT_NEAR(c.y, y, 1e-3);
    }

    Material* m_pMaterial = nullptr;
};
} // namespace

TEST_F(SpriteBatchTest, TexelRectanglesAnchorsAndSnappingPlaceTheCorners)
{
    Node_SpriteBatch* batch = Node_SpriteBatch::Create(3, m_pMaterial);
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(m_pMaterial->GetRefCount(), 2);
    EXPECT_FLOAT_EQ(batch->GetTextureSize().x, 256.0f);

    batch->SetUV(0, Vector2f(0, 0), Vector2f(32, 16));
    EXPECT_FLOAT_EQ(batch->GetSprite(0)->uvMax.x, 0.125f);
    EXPECT_FLOAT_EQ(batch->GetSprite(0)->uvMax.y, 0.125f);

    batch->SetPosition(0, 10.7f, -3.2f, true, 0, 1);
    EXPECT_FLOAT_EQ(batch->GetSprite(0)->position.x, 10.0f);
    EXPECT_FLOAT_EQ(batch->GetSprite(0)->position.y, -3.0f);

    // Pixel anchor and the same anchor as a fraction of the 32 x 16 sprite.
    batch->SetUV(1, Vector2f(0, 0), Vector2f(32, 16));
    batch->SetOffset(1, Vector2f(16, 8), true);
    batch->SetPosition(1, 100, 50, false, 0, 1);
    batch->SetUV(2, Vector2f(0, 0), Vector2f(32, 16));
    batch->SetOffset(2, Vector2f(0.5f, 0.5f), false);
    batch->SetPosition(2, 100, 50, false, 0, 1);
    Draw(batch);
    for (int i = 1; i <= 2; ++i)
    {
        SCOPED_TRACE(i);
        ExpectCorner(batch->GetSprite(i)->corners[0], 84, 42);
        ExpectCorner(batch->GetSprite(i)->corners[3], 116, 58);
    }

    // Scaled about the anchor.
    batch->SetPosition(1, 100, 50, false, 0, 2);
    Draw(batch);
    ExpectCorner(batch->GetSprite(1)->corners[0], 68, 34);
    ExpectCorner(batch->GetSprite(1)->corners[3], 132, 66);
    batch->Release();
}

TEST_F(SpriteBatchTest, QuarterTurnRotatesCornersAboutTheAnchor)
{
    Node_SpriteBatch* batch = Node_SpriteBatch::Create(1, m_pMaterial);
    batch->SetUV(0, Vector2f(0, 0), Vector2f(32, 16));
    batch->SetPosition(0, 100, 50, false, std::numbers::pi_v<float> / 2, 1);
    const Frame frame = Draw(batch);
    const auto& c = batch->GetSprite(0)->corners;
    ExpectCorner(c[0], 100, 50);
    ExpectCorner(c[1], 100, 18);
    ExpectCorner(c[2], 116, 50);
    ExpectCorner(c[3], 116, 18);
    // The 32 x 16 red sprite now stands 16 wide and 32 tall.
    EXPECT_EQ(frame.RowExtent(30, IsRed), std::make_pair(100, 116));
    EXPECT_EQ(frame.ColumnExtent(108, IsRed), std::make_pair(18, 50));
    batch->Release();
}

TEST_F(SpriteBatchTest, OnlyVisibleSpritesArePackedAndDrawn)
{
    Node_SpriteBatch* batch = Node_SpriteBatch::Create(3, m_pMaterial);
    auto* gl = static_cast<Node_SpriteBatch_GL*>(batch);
    const Vector2f green0(128, 0), green1(160, 16);
    for (int i = 0; i < 3; ++i)
    {
        batch->SetUV(i, green0, green1);
        batch->SetPosition(i, 20.0f + 100.0f * i, 100, false, 0, 1);
    }
    batch->SetInvisible(1);
    EXPECT_FALSE(batch->GetVisible(1));

    Frame frame = Draw(batch);
    EXPECT_EQ(gl->GetVisibleCount(), 2);
    // Sprite 2 is packed right after sprite 0.
    EXPECT_NEAR(gl->GetVertices()[4].position.x, 220.0f, 1e-3);
    EXPECT_NEAR(gl->GetVertices()[4].texCoord.x, 0.5f, 1e-6);
    EXPECT_EQ(frame.RowExtent(108, IsGreen), std::make_pair(20, 252));
    EXPECT_FALSE(IsGreen(frame.At(130, 108)));
    EXPECT_TRUE(IsGreen(frame.At(230, 108)));

    // Shown again, it takes its place in slot order.
    batch->SetPosition(1, 120, 100, false, 0, 1);
    frame = Draw(batch);
    EXPECT_EQ(gl->GetVisibleCount(), 3);
    EXPECT_NEAR(gl->GetVertices()[4].position.x, 120.0f, 1e-3);
    EXPECT_TRUE(IsGreen(frame.At(130, 108)));

    // A tint multiplies the texels: green under a red tint turns black.
    batch->SetColor(0, 0xFF0000FF);
    frame = Draw(batch);
    EXPECT_TRUE(IsBlack(frame.At(30, 108)));
    batch->Release();
}

TEST_F(SpriteBatchTest, OutOfRangeIndicesAreIgnored)
{
    Node_SpriteBatch* batch = Node_SpriteBatch::Create(2, m_pMaterial);
    for (int index : {-1, 2, 1000})
    {
        SCOPED_TRACE(index);
        batch->SetPosition(index, 10, 10, false, 0, 1);
        batch->SetUV(index, Vector2f(0, 0), Vector2f(8, 8));
        batch->SetOffset(index, Vector2f(1, 1), true);
        batch->SetColor(index, 0);
        batch->SetInvisible(index);
        EXPECT_FALSE(batch->GetVisible(index));
        EXPECT_EQ(batch->GetSprite(index), nullptr);
    }
    EXPECT_EQ(Draw(batch).Count(IsLit), 0);
    batch->Release();
    EXPECT_EQ(Node_SpriteBatch::Create(-1), nullptr);
    EXPECT_EQ(Node_SpriteBatch::Create(Node_SpriteBatch::c_iMaxSprites + 1), nullptr);
}

TEST_F(SpriteBatchTest, WithoutATextureNothingIsKeptOrDrawn)
{
    EXPECT_EQ(Node_SpriteBatch::Create(4, nullptr), nullptr);

    Material* plain = Material::Create();
    Node_SpriteBatch* batch = Node_SpriteBatch::Create(4, plain);
    ASSERT_NE(batch, nullptr);
    EXPECT_EQ(batch->GetMaterial(), nullptr);
    EXPECT_EQ(plain->GetRefCount(), 1);
    batch->SetUV(0, Vector2f(0, 0), Vector2f(32, 16)); // no size to divide by: ignored
    EXPECT_FLOAT_EQ(batch->GetSprite(0)->uvMax.x, 1.0f);
    batch->SetPosition(0, 100, 100, false, 0, 1);
    EXPECT_EQ(Draw(batch).Count(IsLit), 0);

    // Given a textured material later, it draws; given the same one again, no
    // second reference; given an untextured one, it lets go.
    batch->SetMaterial(m_pMaterial);
    batch->SetMaterial(m_pMaterial);
    EXPECT_EQ(m_pMaterial->GetRefCount(), 2);
    EXPECT_GT(Draw(batch).Count(IsLit), 0);
    batch->SetMaterial(plain);
    EXPECT_EQ(m_pMaterial->GetRefCount(), 1);
    EXPECT_EQ(Draw(batch).Count(IsLit), 0);
    plain->Release();
    batch->Release();
}
