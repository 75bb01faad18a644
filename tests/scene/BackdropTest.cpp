// The animated backdrop under real fingers on the theremins: frames of the mesh
// and its bulge, the bulge's reach and exact restore, pattern morph and scroll.
#include "SceneFixture.h"

#include "render/Material.h"
#include "scene/Node_Backdrop.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace zindle_test;

namespace
{
const float c_rReach = std::sqrt(35.0f * 320.0f); // a finger's reach in points

class BackdropTest : public SceneTest
{
  protected:
    Node_Backdrop& Make(unsigned seed = 1)
    {
        AddVoices();
        std::srand(seed);
        m_pBackdrop = Own(new Node_Backdrop());
        for (int i = 0; i < 4; ++i)
            m_pBackdrop->AddTheremin(&Voice(i));
        return *m_pBackdrop;
    }
    std::pair<float, float> Finger(int i) { return {Voice(i).GetX() * 480, Voice(i).GetY() * 320}; }

    // Every vertex out of reach of all the fingers sits at rest, up to rounding.
    void ExpectFarVerticesAtRest(const std::vector<std::pair<float, float>>& fingers,
                                 float rounding = 1e-4f)
    {
        for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
        {
            const Vector2f& b = m_pBackdrop->GetVertInfo()[k].basePosition;
            const Vector3f& p = m_pBackdrop->GetVertices()[k].position;
            bool far = true;
            for (auto [fx, fy] : fingers)
                far = far && std::hypot(b.x - fx, b.y - fy) >= c_rReach;
            EXPECT_TRUE(!far || std::max(std::fabs(p.x - b.x), std::fabs(p.y - b.y)) <= rounding)
                << k;
        }
    }

    Node_Backdrop* m_pBackdrop = nullptr;
};
} // namespace

TEST_F(BackdropTest, FingersPushVerticesWithinReachAwayAndTheFrameChangesOnlyThere)
{
    // A checkerboard of 4-texel squares, bluer to the right.
    std::vector<uint8_t> checker;
    for (size_t i = 0; i < 64 * 64; ++i)
    {
        const bool light = ((i % 64) / 4 + (i / 64) / 4) % 2 == 0;
        checker.insert(checker.end(), {uint8_t(light ? 250 : 20), uint8_t(light ? 200 : 40),
                                       uint8_t((i % 64) * 4), 255});
    }
    WritePNG(m_dir / "checker.png", 64, 64, 6, checker);
    Material* material = Own(Material::Create("checker.png"));
    material->SetOptions(Material::c_iBlendOpaque, false, false);
    material->SetTextureMode(1, 1);
    Node_Backdrop& backdrop = Make(5);
    backdrop.SetMaterial(material);

    Down(0, 300, 150);
    backdrop.Update(0.05f);
    EXPECT_FALSE(backdrop.IsRestored());
    const auto [fx, fy] = Finger(0);
    int moved = 0;
    for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
    {
        const Vector2f& b = backdrop.GetVertInfo()[k].basePosition;
        const Vector3f& p = backdrop.GetVertices()[k].position;
        const float before = std::hypot(b.x - fx, b.y - fy);
        if (before >= c_rReach)
            continue;
        SCOPED_TRACE(k);
        // Pushed out along the line from the finger, less towards the reach, never past it.
        const float after = std::hypot(p.x - fx, p.y - fy);
        EXPECT_GT(after, before < c_rReach - 10.0f ? before + 0.5f : before - 1e-3f);
        EXPECT_LT(after, c_rReach);
        EXPECT_NEAR(((b.x - fx) * (p.y - b.y) - (b.y - fy) * (p.x - b.x)) / before, 0.0f, 1e-2f);
        ++moved;
    }
    EXPECT_GE(moved, 30);
    ExpectFarVerticesAtRest({Finger(0)});
    const Frame bulged = Draw(&backdrop, 0xFF00FF);
    Up(0);
    backdrop.Update(0.0f); // restores the mesh; the pattern and scroll stay put
    const Frame rest = Draw(&backdrop, 0xFF00FF);
    // The strip of triangles leaves no hole for the magenta clear to show through.
    EXPECT_EQ(rest.Count([](const Pixel& p) { return p.r > 200 && p.g < 60 && p.b > 200; }), 0);
    int near = 0, farChanged = 0, quadrants[4] = {};
    for (size_t i = 0; i < 480 * 320; ++i)
    {
        const int x = int(i % 480), y = int(i / 480);
        const bool changed = std::memcmp(&bulged.rgba[i * 4], &rest.rgba[i * 4], 3) != 0;
        const float d = std::hypot(x + 0.5f - 300.0f, y + 0.5f - 150.0f);
        farChanged += d > c_rReach + 50.0f && changed; // a corner in reach moves a cell further
        near += d < 60.0f;
        quadrants[(x < 300 ? 0 : 1) + (y < 150 ? 0 : 2)] += d < 60.0f && changed;
    }
    EXPECT_EQ(farChanged, 0);
    EXPECT_GT(quadrants[0] + quadrants[1] + quadrants[2] + quadrants[3], near / 3);
    for (int q = 0; q < 4; ++q)
        EXPECT_GT(quadrants[q], near / 20) << "quadrant " << q;

    // The bulge follows a slide at the next frame, and a second finger makes its own.
    Down(0, 250, 170);
    backdrop.Update(0.05f);
    Move(0, 60, 60);
    Down(1, 380, 220);
    backdrop.Update(0.05f);
    ExpectFarVerticesAtRest({Finger(0), Finger(1)});
    EXPECT_NEAR(backdrop.GetVertices()[16 * 5 + 7].position.x, 224.0f, 1e-4f);
    Up(0);
    backdrop.Update(0.05f);
    ExpectFarVerticesAtRest({Finger(1)});
    Up(1);
    backdrop.Update(0.05f);
    EXPECT_TRUE(backdrop.IsRestored());
    ExpectFarVerticesAtRest({}, 0.0f); // exactly, not nearly

    // A finger exactly on a vertex leaves it alone and pushes its neighbour.
    for (auto [x, vertex] : {std::pair{0, 0}, std::pair{96, 3}})
    {
        SCOPED_TRACE(vertex);
        Down(2, x, 0);
        backdrop.Update(0.05f);
        ASSERT_EQ(Finger(0).first, float(x));
        const Vector3f& on = backdrop.GetVertices()[vertex].position;
        EXPECT_EQ(std::pair(on.x, on.y), std::pair(float(x), 0.0f));
        EXPECT_GT(backdrop.GetVertices()[vertex + 1].position.x, x + 33.0f);
        Up(2);
    }
}

TEST_F(BackdropTest, PatternMorphsWithoutAJumpAndTheTextureScrollsWithinOneRepeat)
{
    Node_Backdrop& backdrop = Make(7);
    Vector2f previousOld = backdrop.GetVertInfo()[37].oldOffset;
    std::vector<Vector2f> before(Node_Backdrop::c_iVertexCount);
    float largestStep = 0.0f, lastX = 0.0f;
    int changes = 0, wraps = 0;
    // 105 s: new patterns at 50 s and 100 s, and many wraps of the scroll.
    for (int frame = 0; frame < 2100; ++frame)
    {
        for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
            before[k] = backdrop.GetVertices()[k].texCoord;
        const Vector2f aimedAt = backdrop.GetVertInfo()[37].newOffset;
        backdrop.Update(0.05f);
        const Vector3f& scroll = backdrop.GetTextureTransform().GetPosition();
        ASSERT_TRUE(std::fabs(scroll.x) <= 1.0f && std::fabs(scroll.y) <= 1.0f);
        const float step = 0.05f * backdrop.GetScrollSpeedX();
        EXPECT_NEAR(scroll.x, lastX + step - (scroll.x < lastX ? 1.0f : 0.0f), 1e-4f);
        wraps += scroll.x < lastX;
        lastX = scroll.x;
        if (frame == 0)
            continue; // the first frame moves from the rest coordinates
        for (int k = 0; k < Node_Backdrop::c_iVertexCount; ++k)
        {
            const Vector2f& now = backdrop.GetVertices()[k].texCoord;
            largestStep = std::max(
                {largestStep, std::fabs(now.x - before[k].x), std::fabs(now.y - before[k].y)});
        }
        const Vector2f old = backdrop.GetVertInfo()[37].oldOffset;
        if (old.x == previousOld.x && old.y == previousOld.y)
            continue;
        ++changes; // the new pattern starts where the previous one was headed
        EXPECT_TRUE(old.x == aimedAt.x && old.y == aimedAt.y) << frame;
        EXPECT_LT(backdrop.GetPatternPhase(), 0.002f) << frame;
        EXPECT_NEAR(backdrop.GetVertices()[37].texCoord.x, aimedAt.x, 1e-4f);
        previousOld = old;
    }
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(largestStep > 0.0f && largestStep < 0.01f) << largestStep;
    EXPECT_GE(wraps, 3);
}
