// The desktop's touch surface: window points through the letterbox to view
// points, the mouse and SDL fingers as contacts, and the live window routing
// them to the real touch manager.
#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "platform/TouchInput_SDL.h"
#include "platform/Window_SDL.h"
#include "render/Renderer.h"
#include "support/TouchTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
using Event = zindle_test::TouchEvent;
using Logger = zindle_test::TouchRecorder;
using zindle_test::LandscapeRenderer;
using zindle_test::PortraitWindow;
using Geometry = TouchInput_SDL::Geometry;

SDL_Event MouseButton(Uint32 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint32 which = 0)
{
    SDL_Event e{};
    e.type = type;
    e.button.which = which;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event MouseMotion(int x, int y, Uint32 state = SDL_BUTTON_LMASK, Uint32 which = 0)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.which = which;
    e.motion.state = state;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

SDL_Event Finger(Uint32 type, SDL_FingerID finger, float x, float y, SDL_TouchID device = 7)
{
    SDL_Event e{};
    e.type = type;
    e.tfinger.touchId = device;
    e.tfinger.fingerId = finger;
    e.tfinger.x = x;
    e.tfinger.y = y;
    return e;
}

void ExpectEvent(const Event& e, const std::string& what, int id, int x, int y)
{
    EXPECT_EQ(e.what, what);
    EXPECT_EQ(e.id, id);
    EXPECT_EQ(e.x, x);
    EXPECT_EQ(e.y, y);
}

class TouchInputTest : public ::testing::Test
{
  protected:
    void SetUp() override { TouchManager::Startup(); }
    void TearDown() override { TouchManager::Shutdown(); }

    PortraitWindow m_window;
    LandscapeRenderer m_renderer{&m_window};
    TouchInput_SDL m_input;
    const Geometry m_default{960, 640, 960, 640};
};
} // namespace

TEST(TouchInputMapping, WindowPointsReachPortraitViewPointsThroughTheLetterbox)
{
    struct Case
    {
        const char* name;
        Geometry geometry;
        float wx, wy;
        float landscapeX, landscapeY;
        bool inside;
    };
    // clang-format off
    const Case cases[] = {
        {"default window, top-left", {960, 640, 960, 640}, 0.0f, 0.0f, 0.0f, 0.0f, true},
        {"default window, centre", {960, 640, 960, 640}, 480.0f, 320.0f, 240.0f, 160.0f, true},
        {"near bottom-right", {960, 640, 960, 640}, 958.0f, 638.0f, 479.0f, 319.0f, true},
        {"HiDPI: drawable twice the window", {960, 640, 1920, 1280}, 240.0f, 160.0f, 120.0f, 80.0f, true},
        {"wide window: bars left and right", {1000, 500, 1000, 500}, 125.0f, 0.0f, 0.0f, 0.0f, true},
        {"wide window, in the left bar", {1000, 500, 1000, 500}, 62.5f, 250.0f, -40.0f, 160.0f, false},
        {"tall window: bars above and below", {480, 720, 480, 720}, 240.0f, 240.0f, 240.0f, 40.0f, true},
        {"tall window, below the picture", {480, 720, 480, 720}, 240.0f, 600.0f, 240.0f, 400.0f, false},
        {"native size", {480, 320, 480, 320}, 100.5f, 50.25f, 100.5f, 50.25f, true},
    };
    // clang-format on
    for (const Case& c : cases)
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

TEST_F(TouchInputTest, TheLeftMouseButtonIsOneFinger)
{
    Logger logger;
    m_input.HandleEvent(MouseMotion(100, 100, 0), m_default); // hovering: nothing
    m_input.HandleEvent(MouseButton(SDL_MOUSEBUTTONDOWN, 480, 320), m_default);
    m_input.HandleEvent(MouseMotion(200, 100), m_default);
    m_input.HandleEvent(MouseButton(SDL_MOUSEBUTTONUP, 202, 102), m_default);
    m_input.HandleEvent(MouseMotion(300, 300), m_default); // after the lift: nothing
    ASSERT_EQ(logger.log.size(), 3u);
    // The pointer plays exactly where it points.
    ExpectEvent(logger.log[0], "began", 0, 240, 160);
    ExpectEvent(logger.log[1], "moved", 0, 100, 50);
    ExpectEvent(logger.log[2], "ended", 0, 101, 51);
    EXPECT_EQ(m_input.GetContactCount(), 0);
}

TEST_F(TouchInputTest, OtherButtonsAndMouseCopiesOfTouchesAreIgnored)
{
    Logger logger;
    m_input.HandleEvent(MouseButton(SDL_MOUSEBUTTONDOWN, 480, 320, SDL_BUTTON_MIDDLE), m_default);
    m_input.HandleEvent(
        MouseButton(SDL_MOUSEBUTTONDOWN, 480, 320, SDL_BUTTON_LEFT, SDL_TOUCH_MOUSEID), m_default);
    m_input.HandleEvent(MouseMotion(10, 10, SDL_BUTTON_LMASK, SDL_TOUCH_MOUSEID), m_default);
    EXPECT_TRUE(logger.log.empty());
    EXPECT_EQ(m_input.GetContactCount(), 0);

    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    EXPECT_FALSE(m_input.HandleEvent(key, m_default));
}

TEST_F(TouchInputTest, FingersAreContactsWithTheirOwnIdentity)
{
    Logger logger;
    // Two fingers and the mouse at once.
    m_input.HandleEvent(Finger(SDL_FINGERDOWN, 1, 0.25f, 0.5f), m_default);
    m_input.HandleEvent(Finger(SDL_FINGERDOWN, 2, 0.75f, 0.5f), m_default);
    m_input.HandleEvent(MouseButton(SDL_MOUSEBUTTONDOWN, 0, 0), m_default);
    EXPECT_EQ(m_input.GetContactCount(), 3);
    m_input.HandleEvent(Finger(SDL_FINGERMOTION, 2, 0.5f, 0.25f), m_default);
    // Lifting one of three keeps the others (the set still lists it while it lifts).
    m_input.HandleEvent(Finger(SDL_FINGERUP, 1, 0.25f, 0.5f), m_default);
    m_input.HandleEvent(MouseMotion(2, 4), m_default);
    ASSERT_EQ(logger.log.size(), 6u);
    // Fingertips land 5 points right of where they touch; the pointer does not.
    ExpectEvent(logger.log[0], "began", 0, 125, 160);
    ExpectEvent(logger.log[1], "began", 1, 365, 160);
    ExpectEvent(logger.log[2], "began", 2, 0, 0);
    ExpectEvent(logger.log[3], "moved", 1, 245, 80);
    ExpectEvent(logger.log[4], "ended", 0, 125, 160);
    ExpectEvent(logger.log[5], "moved", 2, 1, 2);

    // The same finger id on another device is another contact.
    m_input.HandleEvent(Finger(SDL_FINGERDOWN, 2, 0.1f, 0.1f, 8), m_default);
    EXPECT_EQ(m_input.GetContactCount(), 3);
    EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 3);
}

TEST_F(TouchInputTest, AContactLandingOnTheLetterboxIsIgnoredButASlideOutIsFollowed)
{
    Logger logger;
    const Geometry wide{1000, 500, 1000, 500}; // picture from x = 125 to 875
    m_input.HandleEvent(MouseButton(SDL_MOUSEBUTTONDOWN, 50, 250), wide);
    m_input.HandleEvent(MouseButton(SDL_MOUSEBUTTONUP, 50, 250), wide);
    EXPECT_TRUE(logger.log.empty());

    m_input.HandleEvent(MouseButton(SDL_MOUSEBUTTONDOWN, 860, 250), wide);
    m_input.HandleEvent(MouseMotion(950, 250), wide);
    ASSERT_EQ(logger.log.size(), 2u);
    EXPECT_EQ(logger.log[1].what, "moved");
    EXPECT_EQ(logger.log[1].x, 528) << "beyond the right edge of the picture";
}

TEST_F(TouchInputTest, TheLastContactLiftingClearsStaleTouches)
{
    Logger logger;
    m_input.Down(1, 1, 300.0f, 10.0f);
    m_input.Down(1, 2, 200.0f, 30.0f);
    // A contact the desktop never reports again: only the glue's repair ends it.
    TouchManager::GetInstance()->TouchBegan(&logger, 0, 0);
    logger.log.clear();
    m_input.Up(1, 1, 300.0f, 10.0f);
    ASSERT_EQ(logger.log.size(), 2u);
    ExpectEvent(logger.log[0], "ended", 0, 15, 20);
    ExpectEvent(logger.log[1], "canceled", 2, 5, 0);
    m_input.Cancel(1, 2);
    ASSERT_EQ(logger.log.size(), 3u);
    ExpectEvent(logger.log[2], "canceled", 1, 35, 120);
    EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 0);
    m_input.Cancel(1, 2); // no longer down: nothing
    m_input.Up(1, 1, 0.0f, 0.0f);
    EXPECT_EQ(logger.log.size(), 3u);
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
        ASSERT_EQ(logger.log.size(), 4u);
        ExpectEvent(logger.log[0], "began", 0, 240, 160);
        EXPECT_EQ(logger.log[1].what, "began");
        EXPECT_EQ(logger.log[1].id, 1);
        ExpectEvent(logger.log[2], "ended", 0, 240, 160);
        EXPECT_EQ(logger.log[3].what, "ended");
    }
    TouchManager::Shutdown();
}

TEST(HeldFingers, TheRightButtonPutsDownMovesAndLiftsFingersThatStay)
{
    // Headless, the window's points are landscape points.
    TouchManager::Startup();
    {
        Window_SDL window(true, false);
        LandscapeRenderer renderer(&window);
        Logger logger;
        auto button = [&](Uint32 type, Uint8 which, int x, int y)
        { window.HandleEvent(MouseButton(type, x, y, which)); };
        auto rightClick = [&](int x, int y)
        {
            button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, x, y);
            button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, x, y);
        };
        auto key = [&](SDL_Keycode sym)
        {
            SDL_Event e{};
            e.type = SDL_KEYDOWN;
            e.key.keysym.sym = sym;
            window.HandleEvent(e);
        };
        TouchInput_SDL& input = window.GetTouchInput();
        rightClick(100, 100);
        rightClick(300, 100);
        rightClick(113, 100); // 13 points from the first: another finger
        ASSERT_EQ(logger.log.size(), 3u);
        ExpectEvent(logger.log[0], "began", 0, 100, 100);
        EXPECT_EQ(input.GetHeldCount(), 3);
        TouchInput_SDL::Finger fingers[TouchInput_SDL::c_iMaxContacts];
        ASSERT_EQ(input.GetFingers(fingers, TouchInput_SDL::c_iMaxContacts), 3);
        EXPECT_TRUE(fingers[0].held);
        EXPECT_FLOAT_EQ(fingers[0].landscapeX, 100.0f);

        // A click within 12 points lifts exactly that finger, where it was held.
        rightClick(100, 100 - 12);
        ExpectEvent(logger.log.back(), "ended", 0, 100, 100);
        EXPECT_EQ(input.GetHeldCount(), 2);
        // A right drag from a held finger moves it, and it stays down.
        button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 305, 104);
        window.HandleEvent(MouseMotion(350, 120, SDL_BUTTON_RMASK));
        window.HandleEvent(MouseMotion(400, 160, SDL_BUTTON_RMASK));
        button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 400, 160);
        window.HandleEvent(MouseMotion(250, 250, 0)); // hovering moves nothing
        ExpectEvent(logger.log.back(), "moved", 1, 400, 160);
        EXPECT_EQ(input.GetHeldCount(), 2);
        // The left button stays one ordinary finger beside them.
        button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 115, 102);
        EXPECT_EQ(input.GetContactCount(), 3);
        // Escape lifts the held fingers, Space every finger.
        key(SDLK_ESCAPE);
        EXPECT_EQ(input.GetHeldCount(), 0);
        EXPECT_EQ(input.GetContactCount(), 1);
        rightClick(50, 50);
        key(SDLK_SPACE);
        EXPECT_EQ(input.GetContactCount(), 0);
        EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 0);

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
        key(SDLK_SPACE);
    }
    TouchManager::Shutdown();
}
