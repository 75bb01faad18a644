// Stand-ins for touch tests: a listener that takes every contact and logs it, and
// a landscape renderer and portrait window that draw nothing, for the touch glue's
// rotation.
#pragma once

#include "core/Window.h"
#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "render/Renderer.h"

#include <string>
#include <vector>

namespace zindle_test
{
struct TouchEvent
{
    std::string what;
    int id, x, y; // landscape points as the owner gets them
};

// Bids for every contact (above an idle voice) and logs what it is given.
class TouchRecorder : public TouchListener
{
  public:
    TouchRecorder() { TouchManager::GetInstance()->AddListener(this); }
    ~TouchRecorder() override { TouchManager::GetInstance()->RemoveListener(this); }
    bool TouchGetBid(int, int, float& bid) override
    {
        bid = 1.0f;
        return true;
    }
    void TouchBegan(int id, int x, int y) override { Log("began", id, x, y); }
    void TouchMoved(int id, int x, int y, int, int) override { Log("moved", id, x, y); }
    void TouchEnded(int id, int x, int y, int, int) override { Log("ended", id, x, y); }
    void TouchCanceled(int id, int x, int y, int, int) override { Log("canceled", id, x, y); }
    void Log(const char* what, int id, int x, int y) { log.push_back({what, id, x, y}); }
    int Count(const std::string& what) const
    {
        int n = 0;
        for (const TouchEvent& e : log)
            n += e.what == what ? 1 : 0;
        return n;
    }
    std::vector<TouchEvent> log;
};

class PortraitWindow : public Window
{
  public:
    int GetWidth() const override { return 320; }
    int GetHeight() const override { return 480; }
    bool IsFullscreen() const override { return false; }
    int Process() override { return 0; }
};

// A landscape renderer that draws nothing: only the glue's rotation matters.
class LandscapeRenderer : public Renderer
{
  public:
    explicit LandscapeRenderer(Window* window) : Renderer(window) {}
    bool RecreateDevice() override { return true; }
    bool IsValid() override { return true; }
    void SetMaterial(Material*) override {}
    void SetTransform(const Transform&) override {}
    void BeginFrame(bool, unsigned int) override {}
    void EndFrame(bool) override {}
    void RenderTree(RenderableTree*, Camera*) override {}
    bool IsMainThread() override { return true; }
    bool GetLandscape() override { return true; }
};
} // namespace zindle_test
