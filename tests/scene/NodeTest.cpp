// The scene node drawn through the GL renderer: global transforms, lazy
// recomputation, visibility switches, draw order and reference counts.
#include "scene/Node.h"
#include "platform/Renderer_GL_SDL.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using zindle_test::GLTestContext;

namespace
{
// Records when it draws and the model matrix the renderer held then.
class Node_Probe : public Node
{
  public:
    explicit Node_Probe(std::vector<const Node*>* order = nullptr, bool* destroyed = nullptr)
        : m_pOrder(order), m_pDestroyed(destroyed)
    {
    }
    ~Node_Probe() override
    {
        if (m_pDestroyed)
            *m_pDestroyed = true;
    }
    void Render(Renderer& renderer) override
    {
        ++m_iRenders;
        if (m_pOrder)
            m_pOrder->push_back(this);
        const float* m = static_cast<Renderer_GL&>(renderer).GetModelMatrix();
        m_position.Set(m[12], m[13], m[14]);
        m_row0.Set(m[0], m[1], m[2]);
        m_row1.Set(m[4], m[5], m[6]);
    }

    int m_iRenders = 0;
    Vector3f m_position, m_row0, m_row1;

  private:
    std::vector<const Node*>* m_pOrder;
    bool* m_pDestroyed;
};

class NodeTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(m_gl.IsValid()) << "no offscreen OpenGL ES 1.1"; }

    void Draw(Node* root)
    {
        Renderer_GL_SDL& renderer = m_gl.GetRenderer();
        renderer.BeginFrame(true, 0);
        renderer.RenderTree(root, m_pCamera);
        renderer.EndFrame(true);
    }

    zindle_test::TempDir m_dir;
    GLTestContext m_gl{m_dir.Path()};
    Camera_2D m_camera;
    Camera_2D* m_pCamera = &m_camera;
};

void ExpectVector(const Vector3f& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-5);
    EXPECT_NEAR(v.y, y, 1e-5);
    EXPECT_NEAR(v.z, z, 1e-5);
}
} // namespace

TEST_F(NodeTest, ChildDrawsAtParentPlusLocalAndFollowsItsParent)
{
    Node* root = new Node();
    Node* parent = new Node();
    Material* material = Material::Create();
    auto* child = new zindle_test::Node_TestQuad(0.0f, 0.0f, 10.0f, 10.0f, material, 0xFF0000FF);
    root->AddChild(parent);
    parent->AddChild(child);
    parent->GetTransform().SetPosition(100.0f, 50.0f, 0.0f);
    child->GetTransform().SetPosition(10.0f, 0.0f, 0.0f);

    Draw(root);
    EXPECT_FLOAT_EQ(child->GetLastModelMatrix()[12], 110.0f);
    EXPECT_FLOAT_EQ(child->GetLastModelMatrix()[13], 50.0f);
    EXPECT_EQ(m_gl.LandscapePixel(115, 55).r, 255);
    EXPECT_EQ(m_gl.LandscapePixel(105, 55).r, 0);

    parent->GetTransform().SetPosition(200.0f, 100.0f, 0.0f);
    Draw(root);
    EXPECT_FLOAT_EQ(child->GetLastModelMatrix()[12], 210.0f);
    EXPECT_FLOAT_EQ(child->GetLastModelMatrix()[13], 100.0f);
    EXPECT_EQ(m_gl.LandscapePixel(215, 105).r, 255);
    EXPECT_EQ(m_gl.LandscapePixel(115, 55).r, 0);

    parent->Release();
    child->Release();
    root->Release();
    material->Release();
}

TEST_F(NodeTest, RotatedParentTurnsChildRowsAndPosition)
{
    Node* root = new Node();
    Node* parent = new Node();
    auto* child = new Node_Probe();
    root->AddChild(parent);
    parent->AddChild(child);
    // The parent turned a quarter turn: its x axis points along y.
    Transform& p = parent->GetTransform();
    p.m_vRow[0].Set(0.0f, 1.0f, 0.0f);
    p.m_vRow[1].Set(-1.0f, 0.0f, 0.0f);
    p.SetPosition(100.0f, 50.0f, 0.0f);
    // The child scaled by 2 along x, at (10, 3).
    Transform& c = child->GetTransform();
    c.m_vRow[0].Set(2.0f, 0.0f, 0.0f);
    c.SetPosition(10.0f, 3.0f, 0.0f);

    Draw(root);
    ExpectVector(child->m_row0, 0.0f, 2.0f, 0.0f);
    ExpectVector(child->m_row1, -1.0f, 0.0f, 0.0f);
    ExpectVector(child->m_position, 100.0f - 3.0f, 50.0f + 10.0f, 0.0f);
    const Transform& global = child->GetGlobalTransform();
    ExpectVector(global.GetPosition(), 97.0f, 60.0f, 0.0f);
    parent->Release();
    child->Release();
    root->Release();
}

TEST_F(NodeTest, GlobalTransformIsComputedOnceUntilMarkedDirty)
{
    Node* root = new Node();
    Node* parent = new Node();
    auto* child = new Node_Probe();
    root->AddChild(parent);
    parent->AddChild(child);
    Transform& local = parent->GetTransform();
    local.SetPosition(10.0f, 20.0f, 0.0f);
    Draw(root);
    EXPECT_FALSE(child->IsTransformDirty());
    ExpectVector(child->m_position, 10.0f, 20.0f, 0.0f);

    // Changing the transform behind the node's back is not seen: the cached
    // global is reused however often the tree is drawn.
    local.SetPosition(30.0f, 40.0f, 0.0f);
    Draw(root);
    Draw(root);
    ExpectVector(child->m_position, 10.0f, 20.0f, 0.0f);

    // Fetching it through GetTransform marks the whole subtree.
    parent->GetTransform();
    EXPECT_TRUE(parent->IsTransformDirty());
    EXPECT_TRUE(child->IsTransformDirty());
    Draw(root);
    ExpectVector(child->m_position, 30.0f, 40.0f, 0.0f);
    EXPECT_EQ(child->m_iRenders, 4);
    parent->Release();
    child->Release();
    root->Release();
}

TEST_F(NodeTest, VisibilitySwitchesHideTheNodeOrItsSubtree)
{
    Node* root = new Node();
    auto* parent = new Node_Probe();
    auto* child = new Node_Probe();
    auto* grandchild = new Node_Probe();
    root->AddChild(parent);
    parent->AddChild(child);
    child->AddChild(grandchild);

    struct Case
    {
        bool visible, childrenVisible;
        int parentDraws, childDraws, grandchildDraws;
    } cases[] = {{true, true, 1, 1, 1},
                 {false, true, 0, 1, 1},
                 {true, false, 1, 0, 0},
                 {false, false, 0, 0, 0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << "visible " << c.visible << ", children visible " << c.childrenVisible);
        parent->SetVisible(c.visible);
        parent->SetChildrenVisible(c.childrenVisible);
        parent->m_iRenders = child->m_iRenders = grandchild->m_iRenders = 0;
        Draw(root);
        EXPECT_EQ(parent->m_iRenders, c.parentDraws);
        EXPECT_EQ(child->m_iRenders, c.childDraws);
        EXPECT_EQ(grandchild->m_iRenders, c.grandchildDraws);
    }
    parent->Release();
    child->Release();
    grandchild->Release();
    root->Release();
}

TEST_F(NodeTest, TreeDrawsInPreOrderChildrenInTheOrderAdded)
{
    std::vector<const Node*> order;
    auto* root = new Node_Probe(&order);
    auto* a = new Node_Probe(&order);
    auto* a1 = new Node_Probe(&order);
    auto* b = new Node_Probe(&order);
    root->AddChild(a);
    a->AddChild(a1);
    root->AddChild(b);
    Draw(root);
    const std::vector<const Node*> expected = {root, a, a1, b};
    EXPECT_EQ(order, expected);

    // Adding a child again moves it to the end of the list.
    root->AddChild(a);
    order.clear();
    Draw(root);
    const std::vector<const Node*> moved = {root, b, a, a1};
    EXPECT_EQ(order, moved);
    EXPECT_EQ(a->GetRefCount(), 2);
    EXPECT_EQ(root->GetChildren()->size(), 2u);
    for (Node* node : {static_cast<Node*>(a), static_cast<Node*>(a1), static_cast<Node*>(b)})
        node->Release();
    root->Release();
}

TEST_F(NodeTest, ReferencesFollowAddMoveAndRemove)
{
    bool childGone = false, grandchildGone = false, strangerGone = false;
    Node* root = new Node();
    Node* first = new Node();
    Node* second = new Node();
    Node* child = new Node_Probe(nullptr, &childGone);
    Node* grandchild = new Node_Probe(nullptr, &grandchildGone);
    EXPECT_EQ(root->GetChildren(), nullptr);
    root->AddChild(first);
    root->AddChild(second);
    first->AddChild(child);
    child->AddChild(grandchild);
    EXPECT_EQ(child->GetRefCount(), 2);

    // Moving to a second parent moves the reference with it.
    second->AddChild(child);
    EXPECT_EQ(child->GetRefCount(), 2);
    EXPECT_EQ(child->GetParent(), second);
    EXPECT_TRUE(first->GetChildren()->empty());
    EXPECT_EQ(second->GetChildren()->size(), 1u);

    // A node that is not in the tree: nothing changes.
    Node* stranger = new Node_Probe(nullptr, &strangerGone);
    EXPECT_FALSE(root->RemoveChild(stranger));
    EXPECT_EQ(stranger->GetRefCount(), 1);
    EXPECT_EQ(child->GetRefCount(), 2);

    // The root finds a grandchild deep down and releases its parent's
    // reference; the creator's is the one left.
    EXPECT_TRUE(root->RemoveChild(grandchild));
    EXPECT_EQ(grandchild->GetParent(), nullptr);
    EXPECT_EQ(grandchild->GetRefCount(), 1);
    EXPECT_TRUE(child->GetChildren()->empty());
    EXPECT_FALSE(grandchildGone);
    grandchild->Release();
    EXPECT_TRUE(grandchildGone);

    // Releasing the creators' references leaves the tree owning its nodes;
    // releasing the root deletes every node nobody else holds.
    first->Release();
    second->Release();
    child->Release();
    EXPECT_FALSE(childGone);
    root->Release();
    EXPECT_TRUE(childGone);
    stranger->Release();
    EXPECT_TRUE(strangerGone);
}

TEST_F(NodeTest, DestroyedParentClearsItsChildrensParentLink)
{
    Node* parent = new Node();
    Node* child = new Node();
    parent->AddChild(child);
    EXPECT_EQ(child->GetParent(), parent);
    parent->Release();
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(child->GetRefCount(), 1);
    // As a root it now draws with its local transform.
    child->GetTransform().SetPosition(5.0f, 6.0f, 0.0f);
    ExpectVector(child->GetGlobalTransform().GetPosition(), 5.0f, 6.0f, 0.0f);
    child->Release();
}
