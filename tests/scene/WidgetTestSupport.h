// Widget tests drive real touches through the real touch manager, with a
// playing surface underneath that bids like an idle theremin, and record the
// callbacks the widgets make.
#pragma once

#include "SceneTestSupport.h"

#include "input/TouchListener.h"
#include "input/TouchManager.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zindle_test
{
// Bids -1000 everywhere, like an idle theremin, and records what it gets.
class SurfaceProbe : public TouchListener
{
  public:
    bool TouchGetBid(int /*x*/, int /*y*/, float& bid) override
    {
        bid = -1000.0f;
        return true;
    }
    void TouchBegan(int /*id*/, int x, int y) override { began.push_back({x, y}); }
    void TouchEnded(int /*id*/, int x, int y, int, int) override { ended.push_back({x, y}); }

    std::vector<std::pair<int, int>> began;
    std::vector<std::pair<int, int>> ended;
};

// One record per callback: the id, and for sliders the phase and value.
struct CallbackLog
{
    struct Call
    {
        int id;
        int phase;
        float value;
    };
    std::vector<Call> calls;

    static void Button_Static(void* user, int id)
    {
        static_cast<CallbackLog*>(user)->calls.push_back({id, -1, 0.0f});
    }
    static void Slider_Static(void* user, int id, int phase, float value)
    {
        static_cast<CallbackLog*>(user)->calls.push_back({id, phase, value});
    }
};

class WidgetTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        TouchManager::Startup();
        m_pTouches = TouchManager::GetInstance();
        ASSERT_NE(m_pTouches, nullptr);
    }
    void TearDown() override
    {
        if (m_pTouches)
            m_pTouches->RemoveListener(&m_surface);
        TouchManager::Shutdown();
    }

    // Registers the surface; call it before or after the widgets to set the
    // auction order.
    void AddSurface() { m_pTouches->AddListener(&m_surface); }

    // Contacts by number. Positions are the ones listeners receive: the
    // manager's x offset is taken off on the way in.
    static void* Handle(int finger)
    {
        return reinterpret_cast<void*>(static_cast<intptr_t>(finger));
    }
    void Down(int finger, int x, int y)
    {
        m_pTouches->TouchBegan(Handle(finger), x - TouchManager::c_iOffsetX, y);
    }
    void Move(int finger, int x, int y)
    {
        m_pTouches->TouchMoved(m_pTouches->FindTouchID(Handle(finger)),
                               x - TouchManager::c_iOffsetX, y);
    }
    void Up(int finger, int x, int y)
    {
        m_pTouches->TouchEnded(m_pTouches->FindTouchID(Handle(finger)),
                               x - TouchManager::c_iOffsetX, y);
    }
    void Cancel(int finger, int x, int y)
    {
        m_pTouches->TouchCanceled(m_pTouches->FindTouchID(Handle(finger)),
                                  x - TouchManager::c_iOffsetX, y);
    }

    TouchManager* m_pTouches = nullptr;
    SurfaceProbe m_surface;
    CallbackLog m_log;
};
} // namespace zindle_test
