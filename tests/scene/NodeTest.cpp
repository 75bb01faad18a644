// The scene tree drawn with OpenGL ES: transforms, visibility, ownership; sprites,
// batches and quads placed on whole points, tinted, hidden, cut from texels.
#include "SceneFixture.h"

#include "render/Material.h"
#include "scene/Node_2DQuad.h"
#include "scene/Node_Sprite.h"
#include "scene/Node_SpriteBatch.h"

using namespace zindle_test;

namespace
{
class NodeTest : public SceneTest
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
    }
    template <typename T> T* Add(T* node, Node* parent = nullptr)
    {
        (parent ? parent : m_pRoot)->AddChild(node);
        node->Release();
        return node;
    }
    // A quad child of parent, from (left, top) to (right, bottom), in a colour.
    Node* Quad(Node* parent, float left, float top, float right, float bottom, uint32_t colour)
    {
        return Add(new Node_TestQuad(left, top, right, bottom, m_pMaterial, colour), parent);
    }

    Node* m_pRoot = Own(new Node());
    Material* m_pMaterial = Own(Material::Create());
};
using SpriteTest = NodeTest;

// Says when it is destroyed.
struct Watched : Node
{
    explicit Watched(bool& gone) : m_gone(gone) {}
    ~Watched() override { m_gone = true; }
    bool& m_gone;
};
} // namespace

TEST_F(NodeTest, ChildrenDrawThroughTheirParentsTransformsUnlessSwitchedOff)
{
    Node* parent = Quad(m_pRoot, 0.0f, 0.0f, 0.0f, 0.0f, 0);
    Node* child = Quad(parent, 0.0f, 0.0f, 10.0f, 5.0f, 0xFF0000FF);
    parent->GetTransform().SetPosition(200.0f, 100.0f, 0.0f);
    EXPECT_EQ(Draw(m_pRoot).Count(IsRed), 50);
    // The parent turned a quarter turn (its x axis along y) and moved, the
    // child stretched twice along its own x, at (10, 3): local (u, v) lands at
    // (100 - 3 - v, 50 + 10 + 2u).
    Transform& p = parent->GetTransform();
    p.m_vRow[0].Set(0.0f, 1.0f, 0.0f);
    p.m_vRow[1].Set(-1.0f, 0.0f, 0.0f);
    p.SetPosition(100.0f, 50.0f, 0.0f);
    child->GetTransform().m_vRow[0].Set(2.0f, 0.0f, 0.0f);
    child->GetTransform().SetPosition(10.0f, 3.0f, 0.0f);
    const Frame frame = Draw(m_pRoot);
    EXPECT_EQ(frame.Row(70, IsRed), std::pair(92, 97));
    EXPECT_EQ(frame.Column(94, IsRed), std::pair(60, 80));

    // Switched off, a node hides itself, or its whole subtree.
    m_pRoot->RemoveChild(parent);
    parent = Quad(m_pRoot, 0.0f, 0.0f, 50.0f, 50.0f, 0xFF0000FF);
    child = Quad(parent, 100.0f, 0.0f, 150.0f, 50.0f, 0xFF00FF00);
    Quad(child, 200.0f, 0.0f, 250.0f, 50.0f, 0xFFFF0000);
    for (auto [visible, childrenVisible] :
         {std::pair{true, true}, {false, true}, {true, false}, {false, false}})
    {
        parent->SetVisible(visible);
        parent->SetChildrenVisible(childrenVisible);
        const Frame shown = Draw(m_pRoot);
        EXPECT_EQ(std::pair(IsRed(shown.At(25, 25)), shown.Count(IsGreen) + shown.Count(IsBlue)),
                  std::pair(visible, childrenVisible ? 5000 : 0))
            << visible << childrenVisible;
    }
}

TEST_F(NodeTest, TreeOwnsItsNodesAndAGoneParentLetsGoOfItsChildren)
{
    bool childGone = false;
    Node *root = new Node(), *parent = new Node(), *child = new Watched(childGone);
    root->AddChild(parent);
    parent->AddChild(child);
    child->Release(); // the tree holds the child alone
    root->Release();  // the parent, still held by its creator, loses its root
    EXPECT_TRUE(!childGone && parent->GetParent() == nullptr);
    parent->Release(); // and the child goes with it
    EXPECT_TRUE(childGone);
}

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
    for (auto [colour, red] :
         {std::pair{0xFF0000FFu, 255}, {0xFF00FF00u, 0}, {0xFF808080u, 128}, {0u, 0}})
    {
        sprite->SetColor(colour);
        EXPECT_TRUE(Near(Draw(m_pRoot).At(50, 90), red, 0, 0)) << std::hex << colour;
    }
}

TEST_F(SpriteTest, BatchDrawsTheShownSpritesFromTexelRectanglesAndQuadsCoverTheirCorners)
{
    Material* atlas = Material::Create("data/quads.png");
    Node_SpriteBatch* batch = Add(Node_SpriteBatch::Create(3, atlas));
    EXPECT_EQ(atlas->GetRefCount(), 2);
    // 16 x 8 texels of the red quadrant, then the blue, anchored at their centres.
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
    batch->SetInvisible(1);
    frame = Draw(m_pRoot);
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

    // Flat quads cover their corners, and blend: translucent black halves white.
    m_pMaterial->SetBlendMode(Material::c_iBlendAlpha);
    Add(new Node_2DQuad(Vector2f(20, 30), Vector2f(120, 80), 0xFFFFFFFF))->SetMaterial(m_pMaterial);
    frame = Draw(m_pRoot);
    EXPECT_EQ(frame.Row(50, IsWhite), std::pair(20, 120));
    EXPECT_EQ(frame.Column(50, IsWhite), std::pair(30, 80));
    Add(new Node_2DQuad(Vector2f(0, 0), Vector2f(480, 320), 0x80000000))->SetMaterial(m_pMaterial);
    EXPECT_TRUE(Near(Draw(m_pRoot).At(119, 79), 127, 127, 127));
}
