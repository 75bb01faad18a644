// The application frame: state switching, the event queue, the frame-time
// source and the window's message pump.
#include "app/App.h"
#include "app/AppState.h"
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "core/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
std::vector<std::string> g_log;
uint64_t g_iTicks = 0;

class LoggingState : public AppState
{
  public:
    explicit LoggingState(std::string name) : m_sName(std::move(name)) {}
    ~LoggingState() override { g_log.push_back(m_sName + ".destroy"); }
    bool Init() override { return g_log.push_back(m_sName + ".init"), AppState::Init(); }
    void Update(float dt) override
    {
        g_log.push_back(m_sName + ".update");
        m_rLastDt = dt;
        if (m_pNext)
            App::s_pInstance->SetState(std::exchange(m_pNext, nullptr));
    }
    void Exit() override { g_log.push_back(m_sName + ".exit"); }

    std::string m_sName;
    float m_rLastDt = -1.0f;
    AppState* m_pNext = nullptr; // requested from inside Update
};

class TestApp : public App
{
  public:
    bool Render() override { return true; }
};

class ClockScope
{
  public:
    ClockScope()
    {
        g_iTicks = 0;
        g_log.clear();
        Timer::SetClock([] { return g_iTicks; }, 0.001); // one tick = 1 ms
    }
    ~ClockScope() { Timer::SetClock(nullptr, 0.0); }
};
} // namespace

TEST(FrameLoop, StatesSwitchAtTheStartOfTheNextFrame)
{
    ClockScope clock;
    TestApp app;
    ASSERT_TRUE(app.Init());
    EXPECT_EQ(App::s_pInstance, &app);

    auto* first = new LoggingState("first");
    auto* second = new LoggingState("second");
    EXPECT_FALSE(app.SetState(nullptr)) << "a null state is ignored";
    app.SetState(first);
    app.SetState(second);
    EXPECT_EQ(g_log, (std::vector<std::string>{"first.destroy"}))
        << "a replaced waiting state is destroyed without Init or Exit";
    EXPECT_EQ(app.GetState(), nullptr) << "SetState never switches by itself";

    g_iTicks = 50;
    app.Update();
    EXPECT_EQ(g_log, (std::vector<std::string>{"first.destroy", "second.init", "second.update"}));
    EXPECT_FLOAT_EQ(second->m_rLastDt, 0.05f) << "the first step counts from the timer's creation";
    EXPECT_TRUE(second->IsInited());

    // A switch requested inside Update happens at the start of the next frame,
    // followed by the new state's first update in that frame.
    auto* third = new LoggingState("third");
    second->m_pNext = third;
    g_log.clear();
    g_iTicks = 100;
    app.Update();
    EXPECT_EQ(g_log, (std::vector<std::string>{"second.update"}));
    g_log.clear();
    g_iTicks = 3100; // a 3 s stall is passed on whole
    app.Update();
    EXPECT_EQ(g_log, (std::vector<std::string>{"second.exit", "second.destroy", "third.init",
                                               "third.update"}));
    EXPECT_FLOAT_EQ(third->m_rLastDt, 3.0f);

    g_log.clear();
    app.SetState(new LoggingState("waiting"));
    app.Shutdown();
    EXPECT_EQ(g_log, (std::vector<std::string>{"third.exit", "third.destroy", "waiting.destroy"}));
    g_log.clear();
    app.Shutdown();
    app.Update();
    EXPECT_TRUE(g_log.empty()) << "a second shutdown and a frame without state do nothing";
}

TEST(FrameLoop, EventsQueueInOrderAndTheTimerPassesOnEveryStall)
{
    TestApp app;
    int code = 42;
    void* data = &code;
    EXPECT_FALSE(app.GetNextEvent(code, data));
    EXPECT_EQ(code, 42) << "outputs are left alone on an empty queue";
    int a = 1;
    app.PostEvent(10, &a);
    app.PostEvent(20, nullptr);
    ASSERT_TRUE(app.GetNextEvent(code, data));
    EXPECT_EQ(std::pair(code, data), std::pair(10, static_cast<void*>(&a)));
    app.PostEvent(30, nullptr);
    ASSERT_TRUE(app.GetNextEvent(code, data) && code == 20);
    app.Shutdown(); // drains what is left (LeakSanitizer would see it)
    EXPECT_FALSE(app.GetNextEvent(code, data));

    ClockScope clock;
    g_iTicks = 1000;
    Timer timer;
    EXPECT_DOUBLE_EQ(timer.GetTimestep(), 0.0);
    g_iTicks = 1020;
    EXPECT_DOUBLE_EQ(timer.GetTimestep(), 0.02);
    g_iTicks = 61020;
    EXPECT_DOUBLE_EQ(timer.GetTimestep(), 60.0) << "no clamp";
}

namespace
{
// A window whose message pump replays a fixed list.
class ScriptedWindow : public Window
{
  public:
    explicit ScriptedWindow(std::vector<int> messages) : m_messages(std::move(messages)) {}
    int GetWidth() const override { return 320; }
    int GetHeight() const override { return 480; }
    bool IsFullscreen() const override { return true; }
    int Process() override { return m_iNext < m_messages.size() ? m_messages[m_iNext++] : 0; }
    std::vector<int> m_messages;
    size_t m_iNext = 0;
};

class WindowedApp : public ZindleApp
{
  public:
    void UseWindow(Window* window) { m_pWindow = window; }
};
} // namespace

TEST(FrameLoop, WindowMessagesAreDrainedEachFrameAndQuitClearsRunning)
{
    ClockScope clock;
    WindowedApp app;
    auto* window = new ScriptedWindow({1, 2, 0, 1});
    app.UseWindow(window);
    EXPECT_TRUE(app.IsRunning());
    app.Update();
    // 1 and 2 (quit) are consumed, then 0 ends the frame's pump.
    EXPECT_EQ(std::pair(window->m_iNext, app.IsRunning()), std::pair(size_t{3}, false));
    app.Update();
    EXPECT_EQ(window->m_iNext, 4u) << "frames go on after quit";
    app.Shutdown();
    EXPECT_EQ(app.GetWindow(), nullptr);
}
