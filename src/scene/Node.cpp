#include "scene/Node.h"

#include "render/Renderer.h"

#include <algorithm>

Node::~Node()
{
    if (!m_pChildren)
        return;
    // Detach the list first so a child's destructor never reaches it.
    std::unique_ptr<std::list<Node*>> children = std::move(m_pChildren);
    for (Node* child : *children)
    {
        child->m_pParent = nullptr;
        child->Release();
    }
}

void Node::RenderTree(Renderer& renderer)
{
    if (m_bVisible)
    {
        renderer.SetTransform(m_pParent ? UpdateGlobalTransform() : m_localTransform);
        Render(renderer);
    }
    if (m_bChildrenVisible && m_pChildren)
    {
        for (Node* child : *m_pChildren)
            child->RenderTree(renderer);
    }
}

Transform& Node::GetTransform()
{
    SetTransformDirty();
    return m_localTransform;
}

void Node::SetTransformDirty()
{
    m_bTransformDirty = true;
    if (m_pChildren)
    {
        for (Node* child : *m_pChildren)
            child->SetTransformDirty();
    }
}

const Transform& Node::GetGlobalTransform()
{
    if (!m_pParent)
        return m_localTransform;
    return UpdateGlobalTransform();
}

const Transform& Node::UpdateGlobalTransform()
{
    if (m_bTransformDirty)
    {
        m_bTransformDirty = false;
        m_pParent->GetGlobalTransform().TransformBy(m_localTransform, m_globalTransform);
    }
    return m_globalTransform;
}

void Node::AddChild(Node* child)
{
    if (!child || child == this)
        return;
    child->AddRef();
    if (child->m_pParent && child->m_pParent->m_pChildren)
    {
        std::list<Node*>& siblings = *child->m_pParent->m_pChildren;
        auto found = std::find(siblings.begin(), siblings.end(), child);
        if (found != siblings.end())
        {
            siblings.erase(found);
            child->Release(); // the old parent's reference; ours keeps it alive
        }
    }
    if (!m_pChildren)
        m_pChildren = std::make_unique<std::list<Node*>>();
    m_pChildren->push_back(child);
    child->m_pParent = this;
}

bool Node::RemoveChild(Node* child)
{
    if (!m_pChildren)
        return false;
    for (auto it = m_pChildren->begin(); it != m_pChildren->end(); ++it)
    {
        if (*it == child)
        {
            m_pChildren->erase(it);
            child->m_pParent = nullptr;
            child->Release();
            return true;
        }
        if ((*it)->RemoveChild(child))
            return true;
    }
    return false;
}
