// The desktop's touch surface: window points through the letterbox to view
// points, the mouse and SDL fingers as contacts, and the live window routing
// them to the real touch manager.
#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "platform/sdl/TouchInput_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "render/Renderer.h"
#include "scene/Node_Button.h"
#include "scene/Node_Slider.h"
#include "support/TouchTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
using Logger = zindle_test::TouchRecorder;
using Geometry = TouchInput_SDL::Geometry;
using Log = std::vector<std::string>;

SDL_Event MouseButton(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint32 which = 0)
{
    SDL_Event e{.type = type};
    e.button.which = which, e.button.button = button, e.button.x = x, e.button.y = y;
    return e;
}
SDL_Event MouseMotion(int x, int y, Uint32 state = SDL_BUTTON_LMASK, Uint32 which = 0)
{
    SDL_Event e{.type = SDL_MOUSEMOTION};
    e.motion.which = which, e.motion.state = state, e.motion.x = x, e.motion.y = y;
    return e;
}
SDL_Event Finger(Uint32 type, SDL_FingerID finger, float x, float y, SDL_TouchID device = 7)
{
    SDL_Event e{.type = type};
    e.tfinger.touchId = device, e.tfinger.fingerId = finger, e.tfinger.x = x, e.tfinger.y = y;
    return e;
}

// What the listener was given, one "what id x y" line per call, from `from` on.
Log Lines(const Logger& logger, size_t from = 0)
{
    Log lines;
    for (size_t i = from; i < logger.log.size(); ++i)
        lines.push_back(logger.log[i].what + " " + std::to_string(logger.log[i].id) + " " +
                        std::to_string(logger.log[i].x) + " " + std::to_string(logger.log[i].y));
    return lines;
}

class TouchInputTest : public ::testing::Test
{
  protected:
    void SetUp() override { TouchManager::Startup(); }
    void TearDown() override { TouchManager::Shutdown(); }

    zindle_test::PortraitWindow m_window;
    zindle_test::LandscapeRenderer m_renderer{&m_window};
    TouchInput_SDL m_input;
};
} // namespace

// (The default window's top-left corner is played as events below.)
TEST(TouchInputMapping, WindowPointsReachPortraitViewPointsThroughTheLetterbox)
{
    // clang-format off
    const struct { const char* name; Geometry geometry; float wx, wy, landscapeX, landscapeY; bool inside; } cases[] = {
        {"default window, centre", {960, 640, 960, 640}, 480.0f, 320.0f, 240.0f, 160.0f, true},
        {"HiDPI: drawable twice the window", {960, 640, 1920, 1280}, 240.0f, 160.0f, 120.0f, 80.0f, true},
        {"wide window: bars left and right", {1000, 500, 1000, 500}, 125.0f, 0.0f, 0.0f, 0.0f, true},
        {"wide window, in the left bar", {1000, 500, 1000, 500}, 62.5f, 250.0f, -40.0f, 160.0f, false},
        {"tall window: bars above and below", {480, 720, 480, 720}, 240.0f, 240.0f, 240.0f, 40.0f, true},
        {"tall window, below the picture", {480, 720, 480, 720}, 240.0f, 600.0f, 240.0f, 400.0f, false},
        {"native size", {480, 320, 480, 320}, 100.5f, 50.25f, 100.5f, 50.25f, true},
    };
    // clang-format on
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        float vx = -1.0f, vy = -1.0f;
        bool inside = !c.inside;
        ASSERT_TRUE(TouchInput_SDL::WindowToView(c.wx, c.wy, c.geometry, vx, vy, &inside));
        EXPECT_NEAR(vx, 320.0f - c.landscapeY, 1e-3f);
        EXPECT_NEAR(vy, c.landscapeX, 1e-3f);
        EXPECT_EQ(inside, c.inside);
    }
    float vx = 0.0f, vy = 0.0f;
    EXPECT_FALSE(TouchInput_SDL::WindowToView(1.0f, 1.0f, {0, 0, 0, 0}, vx, vy));
    EXPECT_FALSE(TouchInput_SDL::WindowToView(1.0f, 1.0f, {960, 640, 0, 640}, vx, vy));
}

// SDL events in, what the touch manager's owner gets out. The pointer plays
// exactly where it points; fingertips land 5 points right of where they touch.
TEST_F(TouchInputTest, MouseAndFingerEventsBecomeContacts)
{
    const Geometry normal{960, 640, 960, 640}, wide{1000, 500, 1000, 500}; // wide: x 125 to 875
    // clang-format off
    const struct { const char* name; Geometry geometry; std::vector<SDL_Event> events; Log expected; int contactsLeft; } cases[] = {
        {"the left button is one finger; hovering before and after moves nothing", normal,
         {MouseMotion(100, 100, 0), MouseButton(SDL_MOUSEBUTTONDOWN, 480, 320),
          MouseMotion(200, 100), MouseButton(SDL_MOUSEBUTTONUP, 202, 102), MouseMotion(300, 300)},
         {"began 0 240 160", "moved 0 100 50", "ended 0 101 51"}, 0},
        {"other buttons and the mouse's copies of touches are ignored", normal,
         {MouseButton(SDL_MOUSEBUTTONDOWN, 480, 320, SDL_BUTTON_MIDDLE),
          MouseButton(SDL_MOUSEBUTTONDOWN, 480, 320, SDL_BUTTON_LEFT, SDL_TOUCH_MOUSEID),
          MouseMotion(10, 10, SDL_BUTTON_LMASK, SDL_TOUCH_MOUSEID)}, {}, 0},
        {"two fingers and the mouse, each its own contact; lifting one keeps the others", normal,
         {Finger(SDL_FINGERDOWN, 1, 0.25f, 0.5f), Finger(SDL_FINGERDOWN, 2, 0.75f, 0.5f),
          MouseButton(SDL_MOUSEBUTTONDOWN, 0, 0), Finger(SDL_FINGERMOTION, 2, 0.5f, 0.25f),
          Finger(SDL_FINGERUP, 1, 0.25f, 0.5f), MouseMotion(2, 4),
          Finger(SDL_FINGERDOWN, 2, 0.1f, 0.1f, 8)}, // the same id on another device
         {"began 0 125 160", "began 1 365 160", "began 2 0 0", "moved 1 245 80", "ended 0 125 160",
          "moved 2 1 2", "began 0 53 32"}, 3},
        {"landing on the letterbox is ignored, a slide out of the picture followed", wide,
         {MouseButton(SDL_MOUSEBUTTONDOWN, 50, 250), MouseButton(SDL_MOUSEBUTTONUP, 50, 250),
          MouseButton(SDL_MOUSEBUTTONDOWN, 860, 250), MouseMotion(950, 250)},
         {"began 0 470 160", "moved 0 528 160"}, 1},
    };
    // clang-format on
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        TouchInput_SDL input;
        Logger logger;
        for (const SDL_Event& e : c.events)
            input.HandleEvent(e, c.geometry);
        EXPECT_EQ(Lines(logger), c.expected);
        EXPECT_EQ(input.GetContactCount(), c.contactsLeft);
        EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), c.contactsLeft);
    }
    EXPECT_FALSE(m_input.HandleEvent(SDL_Event{.type = SDL_KEYDOWN}, normal))
        << "not a touch event";
}

TEST_F(TouchInputTest, TheLastContactLiftingClearsStaleTouches)
{
    Logger logger;
    m_input.Down(1, 1, 300.0f, 10.0f);
    m_input.Down(1, 2, 200.0f, 30.0f);
    // A contact the desktop never reports again: only the glue's repair ends it.
    TouchManager::GetInstance()->TouchBegan(&logger, 0, 0);
    const size_t from = logger.log.size();
    m_input.Up(1, 1, 300.0f, 10.0f);
    EXPECT_EQ(Lines(logger, from), (Log{"ended 0 15 20", "canceled 2 5 0"}));
    m_input.Cancel(1, 2);
    m_input.Cancel(1, 2); // no longer down: nothing
    m_input.Up(1, 1, 0.0f, 0.0f);
    EXPECT_EQ(Lines(logger, from), (Log{"ended 0 15 20", "canceled 2 5 0", "canceled 1 35 120"}));
    EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 0);
}

TEST(TouchInputLive, TheWindowRoutesMouseAndFingersToTheTouchManager)
{
    auto window = std::make_unique<Window_SDL>(false, false);
    std::unique_ptr<Renderer> renderer(Renderer::Create(window.get()));
    if (!renderer || !renderer->IsValid() || !window->GetSDLWindow())
        GTEST_SKIP() << "no window under this video driver";
    ASSERT_TRUE(renderer->GetLandscape());
    TouchManager::Startup();
    {
        Logger logger;
        int ww = 0, wh = 0;
        SDL_GetWindowSize(window->GetSDLWindow(), &ww, &wh);
        window->HandleEvent(MouseButton(SDL_MOUSEBUTTONDOWN, ww / 2, wh / 2));
        window->HandleEvent(Finger(SDL_FINGERDOWN, 3, 0.0f, 0.0f));
        window->HandleEvent(MouseButton(SDL_MOUSEBUTTONUP, ww / 2, wh / 2));
        window->HandleEvent(Finger(SDL_FINGERUP, 3, 0.0f, 0.0f));
        EXPECT_EQ(Lines(logger),
                  (Log{"began 0 240 160", "began 1 5 0", "ended 0 240 160", "ended 1 5 0"}));
    }
    TouchManager::Shutdown();
}

// The edges of held fingers: 12 points lifts, 13 is another finger, a right drag
// moves a held finger, and no more than the touch table's fingers.
TEST(HeldFingers, TheRightButtonPutsDownMovesAndLiftsFingersThatStay)
{
    TouchManager::Startup(); // headless, the window's points are landscape points
    {
        Window_SDL window(true, false);
        zindle_test::LandscapeRenderer renderer(&window);
        Logger logger;
        auto button = [&](Uint32 type, Uint8 which, int x, int y)
        { window.HandleEvent(MouseButton(type, x, y, which)); };
        auto rightClick = [&](int x, int y)
        {
            button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, x, y);
            button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, x, y);
        };
        TouchInput_SDL& input = window.GetTouchInput();
        rightClick(100, 100);
        rightClick(300, 100);
        rightClick(113, 100);      // 13 points from the first: another finger
        rightClick(100, 100 - 12); // within 12 points: lifts exactly that one, where it was held
        // A right drag from a held finger moves it, and it stays down; hovering moves nothing.
        button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 305, 104);
        window.HandleEvent(MouseMotion(350, 120, SDL_BUTTON_RMASK));
        window.HandleEvent(MouseMotion(400, 160, SDL_BUTTON_RMASK));
        button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 400, 160);
        window.HandleEvent(MouseMotion(250, 250, 0));
        EXPECT_EQ(Lines(logger), (Log{"began 0 100 100", "began 1 300 100", "began 2 113 100",
                                      "ended 0 100 100", "moved 1 350 120", "moved 1 400 160"}));
        EXPECT_EQ(input.GetHeldCount(), 2);

        // No more than the touch table's twelve fingers, the mouse's included.
        for (int i = 0; i < 14; ++i)
            rightClick(20 + 30 * i, 200);
        EXPECT_EQ(input.GetContactCount(), TouchManager::c_iMaxTouches);
        const size_t calls = logger.log.size();
        button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 200, 250);
        EXPECT_EQ(logger.log.size(), calls) << "the mouse too waits";
        rightClick(20, 200); // lifts one: a place is free again
        rightClick(20 + 30 * 13, 200);
        EXPECT_EQ(input.GetContactCount(), TouchManager::c_iMaxTouches);
        EXPECT_EQ(logger.log.back().what, "began");
        // Every finger that found no place is counted where it was refused, for the sign.
        const int refused = TouchManager::GetInstance()->GetRefusedCount();
        EXPECT_EQ(refused, 5) << "four right clicks and the left button";
        button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 470, 40);
        button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 470, 40);
        EXPECT_EQ(TouchManager::GetInstance()->GetRefusedCount(), refused + 1);
        int x = 0, y = 0;
        TouchManager::GetInstance()->GetLastRefused(x, y);
        EXPECT_NEAR(x, 470, TouchManager::c_iOffsetX);
        EXPECT_EQ(y, 40);
    }
    TouchManager::Shutdown();
}

// A right click on a panel button is a click, not a finger left on it: the button
// acts once and lets go; a right drag on a slider moves it and lets go; the
// playing surface beside them still keeps its held fingers.
TEST(HeldFingers, TheRightButtonClicksWidgetsInsteadOfStayingOnThem)
{
    TouchManager::Startup();
    {
        Window_SDL window(true, false);
        zindle_test::LandscapeRenderer renderer(&window);
        Logger surface;
        int clicks = 0;
        Node_Button* modeUp = Node_Button::Create(400.0f, 30.0f, 40.0f, 30.0f);
        modeUp->SetCallback([](void* count, int) { ++*static_cast<int*>(count); }, &clicks, 18);
        Node_Slider* slider = Node_Slider::Create(300.0f, 100.0f, 100.0f, 20.0f);
        auto button = [&](Uint32 type, int x, int y)
        { window.HandleEvent(MouseButton(type, x, y, SDL_BUTTON_RIGHT)); };
        TouchInput_SDL& input = window.GetTouchInput();

        for (int i = 0; i < 2; ++i)
        {
            SCOPED_TRACE(i);
            button(SDL_MOUSEBUTTONDOWN, 415, 45);
            EXPECT_TRUE(modeUp->IsPressed());
            button(SDL_MOUSEBUTTONUP, 415, 45);
            EXPECT_FALSE(modeUp->IsPressed());
            EXPECT_EQ(clicks, i + 1);
            EXPECT_EQ(input.GetContactCount(), 0);
        }

        button(SDL_MOUSEBUTTONDOWN, 320, 110);
        window.HandleEvent(MouseMotion(345, 110, SDL_BUTTON_RMASK));
        button(SDL_MOUSEBUTTONUP, 345, 110);
        EXPECT_FLOAT_EQ(slider->GetValue(), 0.25f);
        EXPECT_FALSE(slider->IsPressed());
        EXPECT_EQ(input.GetContactCount(), 0);

        button(SDL_MOUSEBUTTONDOWN, 100, 200);
        button(SDL_MOUSEBUTTONUP, 100, 200);
        EXPECT_EQ(input.GetHeldCount(), 1);
        EXPECT_EQ(Lines(surface), (Log{"began 0 100 200"}));
        slider->Release();
        modeUp->Release();
    }
    TouchManager::Shutdown();
}
