// The browser renderer: the GL back end drawing into View_Web's portrait
// framebuffer, turned to landscape as on the desktop. The browser runs
// everything on one thread, so the context is always current.
#pragma once

#include "render/Renderer_GL_Landscape.h"

class View_Web;

class Renderer_GL_Web : public Renderer_GL_Landscape
{
  public:
    // Takes ownership of the view.
    Renderer_GL_Web(Window* window, View_Web* view);
    ~Renderer_GL_Web() override;

    bool IsValid() override;
    // Live, the frame is drawn at the canvas's current scale first.
    void BeginFrame(bool clear, unsigned int colour) override;
    bool IsMainThread() override { return true; }
    void Present() override;
    void LockContext() override {}
    void UnlockContext() override {}
    void SetVsync(bool) override {}
    // Nothing: glGetError is a round trip to the browser's GPU process that waits
    // for every draw queued before it. Polled every frame, it held the page's
    // thread for most of each frame in software GL (80-130 ms), and touches
    // queued behind it arrived so late that a double tap took longer than its
    // half-second window.
    void CheckError() override {}

    View_Web* GetView() const { return m_pView; }

  private:
    View_Web* m_pView;
};
