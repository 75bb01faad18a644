// What the renderer draws through a camera: a tree that draws itself once the
// camera's matrices and viewport are set. The scene's nodes are such trees.
#pragma once

class Renderer;

class RenderableTree
{
  public:
    virtual ~RenderableTree() = default;
    // Draws this element (if visible) then its children (if they are visible).
    virtual void RenderTree(Renderer& renderer) = 0;
};
