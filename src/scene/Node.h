// An element of the scene tree: a local transform, a cached global transform,
// two visibility switches and an ordered list of children, each of which the
// node holds one reference on.
#pragma once

#include "core/RefCounted.h"
#include "core/Transform.h"
#include "render/RenderableTree.h"

#include <list>
#include <memory>

class Renderer;

class Node : public RefCounted, public RenderableTree
{
  public:
    Node() = default;
    // Releases every child in order, clearing its parent link first.
    ~Node() override;

    // Draws this node (if visible) then its children (if children are visible).
    void RenderTree(Renderer& renderer) override;
    // Draws this node alone, with its transform already set.
    virtual void Render(Renderer& /*renderer*/) {}

    // This node's own drawing only.
    void SetVisible(bool visible) { m_bVisible = visible; }
    bool IsVisible() const { return m_bVisible; }
    // The whole subtree below this node.
    void SetChildrenVisible(bool visible) { m_bChildrenVisible = visible; }
    bool AreChildrenVisible() const { return m_bChildrenVisible; }

    // The local transform, writable: marks this node and its subtree dirty.
    Transform& GetTransform();
    void SetTransformDirty();
    bool IsTransformDirty() const { return m_bTransformDirty; }
    // Parent's global composed with the local transform, recomputed lazily.
    const Transform& GetGlobalTransform();

    // Takes a reference on child and moves it to the end of this node's list.
    void AddChild(Node* child);
    // Searches the subtree depth-first; releases the node found. False when
    // it is not below this node.
    bool RemoveChild(Node* child);

    Node* GetParent() const { return m_pParent; }
    // Null until the first child is added.
    const std::list<Node*>* GetChildren() const { return m_pChildren.get(); }

  private:
    const Transform& UpdateGlobalTransform();

    Transform m_localTransform;
    Transform m_globalTransform;
    bool m_bTransformDirty = true;
    bool m_bVisible = true;
    bool m_bChildrenVisible = true;
    std::unique_ptr<std::list<Node*>> m_pChildren;
    Node* m_pParent = nullptr;
};
