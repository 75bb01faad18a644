// Held fingers on the right mouse button and the keys that lift fingers,
// through the window's event handling (headless: window points are landscape
// points) into the real touch manager.
#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "platform/Window_SDL.h"
#include "render/Renderer.h"
#include "support/TouchTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Logged = zindle_test::TouchEvent;
using Recorder = zindle_test::TouchRecorder;
using zindle_test::LandscapeRenderer;

class HeldFingers : public ::testing::Test
{
  protected:
    void SetUp() override { TouchManager::Startup(); }
    void TearDown() override { TouchManager::Shutdown(); }

    void Button(Uint32 type, Uint8 button, int x, int y)
    {
        SDL_Event e{};
        e.type = type;
        e.button.button = button;
        e.button.x = x;
        e.button.y = y;
        m_window.HandleEvent(e);
    }
    void Motion(Uint32 state, int x, int y)
    {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.state = state;
        e.motion.x = x;
        e.motion.y = y;
        m_window.HandleEvent(e);
    }
    void RightClick(int x, int y)
    {
        Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, x, y);
        Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, x, y);
    }
    void Key(SDL_Keycode key)
    {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = key;
        m_window.HandleEvent(e);
    }
    TouchInput_SDL& Input() { return m_window.GetTouchInput(); }

    Window_SDL m_window{true, false};
    LandscapeRenderer m_renderer{&m_window};
};
} // namespace

TEST_F(HeldFingers, ARightClickLeavesANewFingerDownEachTime)
{
    Recorder recorder;
    RightClick(100, 100);
    RightClick(200, 150);
    ASSERT_EQ(recorder.log.size(), 2u);
    EXPECT_EQ(recorder.log[0].what, "began");
    EXPECT_EQ(recorder.log[0].x, 100);
    EXPECT_EQ(recorder.log[0].y, 100);
    EXPECT_EQ(recorder.log[1].what, "began");
    EXPECT_NE(recorder.log[0].id, recorder.log[1].id);
    EXPECT_EQ(Input().GetHeldCount(), 2);

    TouchInput_SDL::Finger fingers[TouchInput_SDL::c_iMaxContacts];
    ASSERT_EQ(Input().GetFingers(fingers, TouchInput_SDL::c_iMaxContacts), 2);
    EXPECT_TRUE(fingers[0].held);
    EXPECT_FLOAT_EQ(fingers[0].landscapeX, 100.0f);
    EXPECT_FLOAT_EQ(fingers[0].landscapeY, 100.0f);
}

TEST_F(HeldFingers, ARightClickWithinTwelvePointsLiftsExactlyThatFinger)
{
    Recorder recorder;
    RightClick(100, 100);
    RightClick(300, 100);
    RightClick(113, 100); // 13 points away: another finger
    EXPECT_EQ(Input().GetHeldCount(), 3);
    RightClick(100, 100 - 12); // 12 points away from the first, 13 from the third
    EXPECT_EQ(Input().GetHeldCount(), 2);
    ASSERT_EQ(recorder.Count("ended"), 1);
    EXPECT_EQ(recorder.log.back().what, "ended");
    EXPECT_EQ(recorder.log.back().id, recorder.log[0].id);
    EXPECT_EQ(recorder.log.back().x, 100) << "lifted where it was held";
    EXPECT_EQ(recorder.log.back().y, 100);
}

TEST_F(HeldFingers, ARightDragMovesAHeldFingerAndLeavesItDown)
{
    Recorder recorder;
    RightClick(100, 100);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 105, 104);
    Motion(SDL_BUTTON_RMASK, 150, 120);
    Motion(SDL_BUTTON_RMASK, 200, 160);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 200, 160);
    Motion(0, 250, 250); // hovering moves nothing
    ASSERT_EQ(recorder.log.size(), 3u);
    EXPECT_EQ(recorder.log[1].what, "moved");
    EXPECT_EQ(recorder.log[2].what, "moved");
    EXPECT_EQ(recorder.log[2].x, 200);
    EXPECT_EQ(recorder.log[2].y, 160);
    EXPECT_EQ(Input().GetHeldCount(), 1);
    RightClick(200, 160);
    EXPECT_EQ(Input().GetHeldCount(), 0) << "found at its new place";
}

TEST_F(HeldFingers, TheLeftButtonStaysOneOrdinaryFingerBesideThem)
{
    Recorder recorder;
    RightClick(100, 100);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 102, 102); // near a held finger: still a new one
    Motion(SDL_BUTTON_LMASK, 300, 300);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 300, 300);
    EXPECT_EQ(recorder.Count("began"), 2);
    EXPECT_EQ(recorder.Count("ended"), 1);
    EXPECT_EQ(Input().GetHeldCount(), 1);
    EXPECT_EQ(Input().GetContactCount(), 1);
}

TEST_F(HeldFingers, EscapeLiftsTheHeldFingersAndSpaceLiftsEveryFinger)
{
    Recorder recorder;
    RightClick(50, 50);
    RightClick(150, 50);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 300, 200);
    Key(SDLK_ESCAPE);
    EXPECT_EQ(recorder.Count("ended"), 2);
    EXPECT_EQ(Input().GetHeldCount(), 0);
    EXPECT_EQ(Input().GetContactCount(), 1) << "the mouse's finger stays";

    RightClick(50, 50);
    Key(SDLK_SPACE);
    EXPECT_EQ(recorder.Count("ended"), 4);
    EXPECT_EQ(Input().GetContactCount(), 0);
    EXPECT_EQ(TouchManager::GetInstance()->GetActiveTouchCount(), 0);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 300, 200); // already lifted: nothing
    EXPECT_EQ(recorder.Count("ended"), 4);
}

TEST_F(HeldFingers, NoMoreThanTheTouchTablesTwelveFingers)
{
    Recorder recorder;
    for (int i = 0; i < 14; ++i)
        RightClick(20 + 30 * i, 100);
    EXPECT_EQ(Input().GetContactCount(), TouchManager::c_iMaxTouches);
    EXPECT_EQ(recorder.Count("began"), TouchManager::c_iMaxTouches);
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 200, 250);
    EXPECT_EQ(recorder.Count("began"), TouchManager::c_iMaxTouches) << "the mouse too waits";
    // A click on a place refused earlier grabs nothing and lands nothing.
    RightClick(20 + 30 * 13, 100);
    EXPECT_EQ(Input().GetContactCount(), TouchManager::c_iMaxTouches);
    RightClick(20, 100);
    RightClick(20 + 30 * 13, 100);
    EXPECT_EQ(recorder.Count("ended"), 1);
    EXPECT_EQ(recorder.Count("began"), TouchManager::c_iMaxTouches + 1) << "a place was freed";
}
