// The scene tree drawn through the GL renderer: children placed by their
// parents' transforms, visibility switches, and the references the tree holds.
// The draw order, parents first and children as added, shows in the widget,
// robot, sprite and panel tests, where one thing lies over another.
#include "SceneFixture.h"

#include "render/Material.h"

using namespace zindle_test;

namespace
{
class NodeTest : public SceneTest
{
  protected:
    void TearDown() override { m_pMaterial->Release(); }

    // A quad child of parent, from (left, top) to (right, bottom), in a colour.
    Node* Quad(Node* parent, float left, float top, float right, float bottom, uint32_t colour)
    {
        Node* quad = new Node_TestQuad(left, top, right, bottom, m_pMaterial, colour);
        parent->AddChild(quad);
        quad->Release();
        return quad;
    }

    Material* m_pMaterial = Material::Create();
};

// Says when it is destroyed.
struct Watched : Node
{
    explicit Watched(bool& gone) : m_gone(gone) {}
    ~Watched() override { m_gone = true; }
    bool& m_gone;
};
} // namespace

TEST_F(NodeTest, ChildDrawsThroughItsParentsTransformAndFollowsIt)
{
    Node* root = new Node();
    Node* parent = Quad(root, 0.0f, 0.0f, 0.0f, 0.0f, 0);
    Node* child = Quad(parent, 0.0f, 0.0f, 10.0f, 5.0f, 0xFF0000FF);
    parent->GetTransform().SetPosition(100.0f, 50.0f, 0.0f);
    child->GetTransform().SetPosition(10.0f, 0.0f, 0.0f);
    EXPECT_EQ(Draw(root).Row(52, IsRed), std::pair(110, 120));
    parent->GetTransform().SetPosition(200.0f, 100.0f, 0.0f); // the child follows
    Frame frame = Draw(root);
    EXPECT_EQ(frame.Row(102, IsRed), std::pair(210, 220));
    EXPECT_EQ(frame.Count(IsRed), 50);

    // The parent turned a quarter turn (its x axis along y) and the child
    // stretched twice along its own x, at (10, 3): local (u, v) lands at
    // (100 - 3 - v, 50 + 10 + 2u).
    Transform& p = parent->GetTransform();
    p.m_vRow[0].Set(0.0f, 1.0f, 0.0f);
    p.m_vRow[1].Set(-1.0f, 0.0f, 0.0f);
    p.SetPosition(100.0f, 50.0f, 0.0f);
    child->GetTransform().m_vRow[0].Set(2.0f, 0.0f, 0.0f);
    child->GetTransform().SetPosition(10.0f, 3.0f, 0.0f);
    frame = Draw(root);
    EXPECT_EQ(frame.Row(70, IsRed), std::pair(92, 97));
    EXPECT_EQ(frame.Column(94, IsRed), std::pair(60, 80));
    root->Release();
}

TEST_F(NodeTest, VisibilitySwitchesHideTheNodeOrItsSubtree)
{
    Node* root = new Node();
    Node* parent = Quad(root, 0.0f, 0.0f, 50.0f, 50.0f, 0xFF0000FF);
    Node* child = Quad(parent, 100.0f, 0.0f, 150.0f, 50.0f, 0xFF00FF00);
    Quad(child, 200.0f, 0.0f, 250.0f, 50.0f, 0xFFFF0000);
    for (auto [visible, childrenVisible] :
         {std::pair{true, true}, {false, true}, {true, false}, {false, false}})
    {
        parent->SetVisible(visible);
        parent->SetChildrenVisible(childrenVisible);
        const Frame frame = Draw(root);
        EXPECT_EQ(IsRed(frame.At(25, 25)), visible) << visible << childrenVisible;
        EXPECT_EQ(frame.Count(IsGreen) + frame.Count(IsBlue), childrenVisible ? 5000 : 0)
            << visible << childrenVisible;
    }
    root->Release();
}

TEST_F(NodeTest, TreeOwnsItsNodesAndAGoneParentLetsGoOfItsChildren)
{
    bool childGone = false;
    Node* root = new Node();
    Node* parent = new Node();
    Node* child = new Watched(childGone);
    root->AddChild(parent);
    parent->AddChild(child);
    EXPECT_EQ(child->GetRefCount(), 2);
    child->Release(); // the tree holds the child alone
    root->Release();  // the parent, still held by its creator, loses its root
    EXPECT_FALSE(childGone);
    EXPECT_EQ(parent->GetParent(), nullptr);
    parent->GetTransform().SetPosition(5.0f, 6.0f, 0.0f); // a root has its local transform
    EXPECT_EQ(parent->GetGlobalTransform().GetPosition().x, 5.0f);
    parent->Release(); // and the child goes with it
    EXPECT_TRUE(childGone);
}
