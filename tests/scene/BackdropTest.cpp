// The animated backdrop mesh driven by real fingers on the theremins: the
// joined strip, the bulge around each finger and its exact restore, the
// pattern morph and the texture scroll, and a real frame showing the bulge.
#include "render/Material.h"
#include "scene/Node_Backdrop.h"

#include "SceneContentFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

using zindle_test::SceneContentTest;

namespace
{
constexpr float c_rW = 480.0f;
constexpr float c_rH = 320.0f;
// sqrt(35 H): a finger's reach in points.
const float c_rReach = std::sqrt(35.0f * c_rH);

float Distance(float ax, float ay, float bx, float by)
{
    return std::hypot(ax - bx, ay - by);
}

class BackdropTest : public SceneContentTest
{
  protected:
    Node_Backdrop* MakeBackdrop(unsigned seed = 1)
    {
        std::srand(seed);
        auto* backdrop = new Node_Backdrop();
        for (int i = 0; i < c_iVoices; ++i)
            backdrop->AddTheremin(&Voice(i));
        m_pBackdrop = backdrop;
        return backdrop;
    }
    void TearDown() override
    {
        if (m_pBackdrop)
            m_pBackdrop->Release();
    }

    // Every vertex not within reach of any finger sits at its rest position
    // (up to the last bit of 2b - 0.4b / 0.4 in single precision).
    void ExpectFarVerticesAtRest(const Node_Backdrop& backdrop,
                                 const std::vector<std::pair<float, float>>& fingers)
    {
        for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
        {
            const Vector2f& b = backdrop.GetVertInfo()[k].basePosition;
            bool far = true;
            for (auto [fx, fy] : fingers)
                far = far && Distance(b.x, b.y, fx, fy) >= c_rReach;
            if (!far)
                continue;
            SCOPED_TRACE(k);
            EXPECT_NEAR(backdrop.GetVertices()[k].position.x, b.x, 1e-4f);
            EXPECT_NEAR(backdrop.GetVertices()[k].position.y, b.y, 1e-4f);
        }
    }

    Node_Backdrop* m_pBackdrop = nullptr;
};
} // namespace

TEST_F(BackdropTest, MeshCoversTheScreenInSixteenColumnsAndTwelveRows)
{
    Node_Backdrop& backdrop = *MakeBackdrop();
    for (int i = 0; i < 12; ++i)
    {
        for (int j = 0; j < 16; ++j)
        {
            SCOPED_TRACE(testing::Message() << "row " << i << " column " << j);
            const int k = 16 * i + j;
            const ModelVertex& v = backdrop.GetVertices()[k];
            const Node_Backdrop::VertInfo& info = backdrop.GetVertInfo()[k];
            EXPECT_NEAR(v.position.x, j * c_rW / 15.0f, 1e-3f);
            EXPECT_NEAR(v.position.y, i * c_rH / 11.0f, 1e-3f);
            EXPECT_EQ(v.position.z, 0.0f);
            EXPECT_EQ(info.basePosition.x, v.position.x);
            EXPECT_EQ(info.basePosition.y, v.position.y);
            EXPECT_NEAR(info.baseUV.x, j / 15.0f, 1e-6f);
            EXPECT_NEAR(info.baseUV.y, i / 11.0f, 1e-6f);
            EXPECT_EQ(v.normal.z, 1.0f);
            EXPECT_EQ(v.colour[0] & v.colour[1] & v.colour[2] & v.colour[3], 255);
        }
    }
}

TEST_F(BackdropTest, OneStripCoversEveryCellTwiceJoinedByDegenerateTriangles)
{
    Node_Backdrop& backdrop = *MakeBackdrop();
    ASSERT_EQ(backdrop.GetIndexCount(), 372);
    const uint8_t* index = backdrop.GetIndices();
    const ModelVertex* v = backdrop.GetVertices();

    // Cells hit by proper triangles, and the total area they cover.
    std::vector<int> cellHits(15 * 11, 0);
    double area = 0.0;
    int degenerate = 0;
    for (int t = 0; t + 2 < 372; ++t)
    {
        const int a = index[t], b = index[t + 1], c = index[t + 2];
        ASSERT_LT(std::max({a, b, c}), 192);
        const double twice =
            (v[b].position.x - v[a].position.x) * (v[c].position.y - v[a].position.y) -
            (v[c].position.x - v[a].position.x) * (v[b].position.y - v[a].position.y);
        if (std::fabs(twice) < 1e-3)
        {
            ++degenerate;
            continue;
        }
        area += std::fabs(twice) / 2.0;
        // A proper triangle lies in one cell: the lowest column and row of its corners.
        const int col = std::min({a % 16, b % 16, c % 16});
        const int row = std::min({a / 16, b / 16, c / 16});
        ASSERT_LE(std::max({a % 16, b % 16, c % 16}) - col, 1);
        ASSERT_LE(std::max({a / 16, b / 16, c / 16}) - row, 1);
        ++cellHits[row * 15 + col];
    }
    for (int cell = 0; cell < 15 * 11; ++cell)
        EXPECT_EQ(cellHits[cell], 2) << "cell " << cell;
    EXPECT_NEAR(area, c_rW * c_rH, 1.0);
    // Ten joins of four degenerate triangles each.
    EXPECT_EQ(degenerate, 40);
    // A join repeats the band's last vertex and the next band's first.
    EXPECT_EQ(index[32], 31);
    EXPECT_EQ(index[33], 16);
    EXPECT_EQ(index[371], 191);
}

TEST_F(BackdropTest, FingerPushesVerticesWithinReachAwayFromIt)
{
    Node_Backdrop& backdrop = *MakeBackdrop();
    Down(0, 250, 170);
    ASSERT_TRUE(Voice(0).IsTouchActive());
    backdrop.Update(0.05f);
    EXPECT_FALSE(backdrop.IsRestored());

    const float fx = Voice(0).GetX() * c_rW, fy = Voice(0).GetY() * c_rH;
    int moved = 0;
    for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
    {
        const Vector2f& b = backdrop.GetVertInfo()[k].basePosition;
        const Vector3f& p = backdrop.GetVertices()[k].position;
        const float before = Distance(b.x, b.y, fx, fy);
        if (before >= c_rReach)
            continue;
        SCOPED_TRACE(k);
        // Further from the finger than at rest, along the line from the finger;
        // the push fades to nothing at the edge of the reach.
        if (before < c_rReach - 10.0f)
            EXPECT_GT(Distance(p.x, p.y, fx, fy), before + 0.5f);
        else
            EXPECT_GE(Distance(p.x, p.y, fx, fy), before - 1e-3f);
        const float cross = (b.x - fx) * (p.y - b.y) - (b.y - fy) * (p.x - b.x);
        EXPECT_NEAR(cross / before, 0.0f, 1e-2f);
        // Never pushed past where the finger's reach ends.
        EXPECT_LT(Distance(p.x, p.y, fx, fy), c_rReach);
        ++moved;
    }
    EXPECT_GE(moved, 30);
    ExpectFarVerticesAtRest(backdrop, {{fx, fy}});

    // The finger slides; the bulge follows it at the next frame.
    Move(0, 60, 60);
    backdrop.Update(0.05f);
    ExpectFarVerticesAtRest(backdrop, {{Voice(0).GetX() * c_rW, Voice(0).GetY() * c_rH}});
    EXPECT_NEAR(backdrop.GetVertices()[16 * 5 + 7].position.x, 224.0f, 1e-4f);
}

TEST_F(BackdropTest, FingerExactlyOnAVertexLeavesThatVertexAlone)
{
    Node_Backdrop& backdrop = *MakeBackdrop();
    // (0, 0) is vertex 0 and (96, 0) is vertex 3; both positions normalise exactly.
    for (auto [x, vertex] : {std::pair{0, 0}, std::pair{96, 3}})
    {
        SCOPED_TRACE(vertex);
        Down(0, x, 0);
        backdrop.Update(0.05f);
        ASSERT_EQ(Voice(0).GetX() * c_rW, static_cast<float>(x));
        const Vector3f& p = backdrop.GetVertices()[vertex].position;
        EXPECT_EQ(p.x, static_cast<float>(x));
        EXPECT_EQ(p.y, 0.0f);
        // Its neighbour along the top edge is pushed to the right.
        EXPECT_GT(backdrop.GetVertices()[vertex + 1].position.x, x + 32.0f + 1.0f);
        Up(0);
    }
}

TEST_F(BackdropTest, LastFingerLiftingRestoresTheMeshExactly)
{
    Node_Backdrop& backdrop = *MakeBackdrop();
    backdrop.Update(0.05f);
    EXPECT_TRUE(backdrop.IsRestored());

    Down(0, 100, 100);
    Down(1, 380, 220);
    ASSERT_TRUE(Voice(1).IsTouchActive());
    backdrop.Update(0.05f);
    const std::pair<float, float> second{Voice(1).GetX() * c_rW, Voice(1).GetY() * c_rH};
    ExpectFarVerticesAtRest(backdrop, {{Voice(0).GetX() * c_rW, Voice(0).GetY() * c_rH}, second});

    // One finger left: the mesh still bulges around it alone.
    Up(0);
    backdrop.Update(0.05f);
    EXPECT_FALSE(backdrop.IsRestored());
    ExpectFarVerticesAtRest(backdrop, {second});
    const Vector3f& nearFirst = backdrop.GetVertices()[16 * 3 + 3].position; // (96, 87.3)
    EXPECT_NEAR(nearFirst.x, 96.0f, 1e-4f);

    Up(1);
    backdrop.Update(0.05f);
    EXPECT_TRUE(backdrop.IsRestored());
    for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_EQ(backdrop.GetVertices()[k].position.x, backdrop.GetVertInfo()[k].basePosition.x);
        EXPECT_EQ(backdrop.GetVertices()[k].position.y, backdrop.GetVertInfo()[k].basePosition.y);
    }
}

TEST_F(BackdropTest, PatternChangesOncePerCrossingWithoutAJump)
{
    Node_Backdrop& backdrop = *MakeBackdrop(7);
    const auto oldOffset = [&] { return backdrop.GetVertInfo()[37].oldOffset; };
    int changes = 0;
    Vector2f previousOld = oldOffset();
    float largestStep = 0.0f;
    std::vector<Vector2f> before(Node_Backdrop::c_iVertexCount);
    // 105 s of frames: two crossings, at 50 s and 100 s.
    for (int frame = 0; frame < 2100; ++frame)
    {
        for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
            before[k] = backdrop.GetVertices()[k].texCoord;
        const Vector2f aimedAt = backdrop.GetVertInfo()[37].newOffset;
        backdrop.Update(0.05f);
        if (frame == 0)
            continue; // the first frame moves from the construction's rest coordinates
        for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
        {
            const Vector2f& now = backdrop.GetVertices()[k].texCoord;
            largestStep = std::max(
                {largestStep, std::fabs(now.x - before[k].x), std::fabs(now.y - before[k].y)});
        }
        const Vector2f old = oldOffset();
        if (old.x != previousOld.x || old.y != previousOld.y)
        {
            ++changes;
            SCOPED_TRACE(frame);
            // The new pattern starts where the previous one was headed.
            EXPECT_EQ(old.x, aimedAt.x);
            EXPECT_EQ(old.y, aimedAt.y);
            EXPECT_LT(backdrop.GetPatternPhase(), 0.002f);
            const Vector2f& now = backdrop.GetVertices()[37].texCoord;
            EXPECT_NEAR(now.x, aimedAt.x, 1e-4f);
            EXPECT_NEAR(now.y, aimedAt.y, 1e-4f);
            previousOld = old;
        }
    }
    EXPECT_EQ(changes, 2);
    // A slow morph: no coordinate jumps between frames, across the changes too.
    EXPECT_LT(largestStep, 0.01f);
    EXPECT_GT(largestStep, 0.0f);
}

TEST_F(BackdropTest, ScrollStaysWithinOneTextureRepeat)
{
    Node_Backdrop& backdrop = *MakeBackdrop(3);
    EXPECT_GE(backdrop.GetScrollSpeedX(), 0.03f);
    EXPECT_LT(backdrop.GetScrollSpeedX(), 0.09f);
    EXPECT_GE(backdrop.GetScrollSpeedY(), 0.03f);
    EXPECT_LT(backdrop.GetScrollSpeedY(), 0.09f);
    float lastX = 0.0f;
    int wraps = 0;
    // 500 s: tens of wraps at these speeds.
    for (int frame = 0; frame < 10000; ++frame)
    {
        backdrop.Update(0.05f);
        const Vector3f& p = backdrop.GetTextureTransform().GetPosition();
        ASSERT_GE(p.x, -1.0f);
        ASSERT_LE(p.x, 1.0f);
        ASSERT_GE(p.y, -1.0f);
        ASSERT_LE(p.y, 1.0f);
        if (p.x < lastX)
        {
            ++wraps;
            EXPECT_NEAR(lastX + 0.05f * backdrop.GetScrollSpeedX() - 1.0f, p.x, 1e-4f);
        }
        else
        {
            EXPECT_NEAR(p.x - lastX, 0.05f * backdrop.GetScrollSpeedX(), 1e-4f);
        }
        lastX = p.x;
    }
    EXPECT_GE(wraps, 10);
}

TEST_F(BackdropTest, SeededGeneratorGivesTheSameBackdrop)
{
    // Patterns draw 3 passes x 4 waves x 3 values, twice; then the two speeds.
    std::srand(99);
    for (int i = 0; i < 72; ++i)
        std::rand();
    const float speedX = 0.03f + static_cast<float>(std::rand() & 255) / 256.0f * 0.06f;
    const float speedY = 0.03f + static_cast<float>(std::rand() & 255) / 256.0f * 0.06f;

    Node_Backdrop& a = *MakeBackdrop(99);
    EXPECT_EQ(a.GetScrollSpeedX(), speedX);
    EXPECT_EQ(a.GetScrollSpeedY(), speedY);

    std::srand(99);
    auto* b = new Node_Backdrop();
    for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
    {
        EXPECT_EQ(a.GetVertInfo()[k].oldOffset.x, b->GetVertInfo()[k].oldOffset.x);
        EXPECT_EQ(a.GetVertInfo()[k].newOffset.y, b->GetVertInfo()[k].newOffset.y);
    }
    // Both patterns are random and different from each other.
    EXPECT_NE(a.GetVertInfo()[50].oldOffset.x, a.GetVertInfo()[50].newOffset.x);
    EXPECT_NE(a.GetVertInfo()[50].oldOffset.x, 0.0f);
    b->Release();
}

TEST_F(BackdropTest, SettingTheSameMaterialAgainKeepsIt)
{
    Node_Backdrop& backdrop = *MakeBackdrop();
    Material* material = Material::Create();
    backdrop.SetMaterial(material);
    material->Release(); // the backdrop now holds the only reference
    backdrop.SetMaterial(backdrop.GetMaterial());
    ASSERT_EQ(backdrop.GetMaterial(), material);
    EXPECT_EQ(material->GetRefCount(), 1);
    EXPECT_EQ(material->GetBlendMode(), Material::c_iBlendOpaque);
    backdrop.SetMaterial(nullptr);
    EXPECT_EQ(backdrop.GetMaterial(), nullptr);
}

// A frame of the backdrop textured with a fine checkerboard, drawn with and
// without a finger down: only the picture around the finger changes.
TEST_F(BackdropTest, FrameShowsTheMeshDisplacedAroundTheFinger)
{
    std::vector<uint8_t> checker(64 * 64 * 4);
    for (int y = 0; y < 64; ++y)
    {
        for (int x = 0; x < 64; ++x)
        {
            const bool light = ((x / 4) + (y / 4)) % 2 == 0;
            uint8_t* p = &checker[(y * 64 + x) * 4];
            p[0] = light ? 250 : 20;
            p[1] = light ? 200 : 40;
            p[2] = static_cast<uint8_t>(x * 4);
            p[3] = 255;
        }
    }
    zindle_test::WritePNG(m_dir / "checker.png", 64, 64, 6, checker);
    Material* material = Material::Create("checker.png");
    ASSERT_NE(material->GetTexture(0), nullptr);
    material->SetOptions(Material::c_iBlendOpaque, false, false);
    material->SetTextureMode(1, 1);
    Node_Backdrop& backdrop = *MakeBackdrop(5);
    backdrop.SetMaterial(material);
    material->Release();

    const int fx = 300, fy = 150;
    Down(0, fx, fy);
    backdrop.Update(0.05f);
    DrawFrame(&backdrop);
    const std::vector<uint8_t> bulged = m_gl.ReadLandscape();
    Up(0);
    backdrop.Update(0.0f); // restores the mesh; the pattern and scroll stay put
    DrawFrame(&backdrop);
    const std::vector<uint8_t> rest = m_gl.ReadLandscape();
    ASSERT_EQ(bulged.size(), 480u * 320u * 4u);
    ASSERT_EQ(rest.size(), bulged.size());

    int nearDiffering = 0, nearCount = 0, farDiffering = 0;
    int quadrants[4] = {};
    std::set<int> colours;
    for (int y = 0; y < 320; ++y)
    {
        for (int x = 0; x < 480; ++x)
        {
            const size_t i = (static_cast<size_t>(y) * 480 + x) * 4;
            const bool differs = bulged[i] != rest[i] || bulged[i + 1] != rest[i + 1] ||
                                 bulged[i + 2] != rest[i + 2];
            colours.insert(rest[i]);
            const float d = Distance(x + 0.5f, y + 0.5f, fx, fy);
            // Triangles with a corner inside the reach reach one cell further.
            if (d > c_rReach + 50.0f)
            {
                farDiffering += differs;
            }
            else if (d < 60.0f)
            {
                ++nearCount;
                nearDiffering += differs;
                if (differs)
                    ++quadrants[(x < fx ? 0 : 1) + (y < fy ? 0 : 2)];
            }
        }
    }
    EXPECT_GE(colours.size(), 2u) << "the checkerboard did not draw";
    EXPECT_EQ(farDiffering, 0);
    EXPECT_GT(nearDiffering, nearCount / 3);
    for (int q = 0; q < 4; ++q)
        EXPECT_GT(quadrants[q], nearCount / 20) << "quadrant " << q;
}
