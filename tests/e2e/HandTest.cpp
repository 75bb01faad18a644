// Playing with one mouse and a keyboard: the real instrument run headless in
// this process, fed synthetic SDL events through the window's event handling
// (headless, window points are landscape points), its sound pulled block by
// block and its frames read back. Also the real program's rings in screenshots.
#include "app/State_Main.h"
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "dsp/SoundManager.h"
#include "dsp/SoundManager_Offline.h"
#include "file/File_Bundle.h"
#include "host/Host.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "platform/sdl/View_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "scene/Node_Notice.h"
#include "scene/Node_Sprite.h"
#include "support/TestSupport.h"
#include "synth/SoundControl_Theremin.h"
#include "synth/Synth_FourVoice.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using zindle_test::RelativePower;

namespace
{
constexpr double c_rRate = 44100.0;

// The pointer plays where it points, in the instrument's window.
double PredictedPitch(double x)
{
    return zindle_test::PitchAt(x, false);
}

SDL_Event Button(Uint32 type, Uint8 button, int x, int y)
{
    SDL_Event e{};
    e.type = type;
    e.button.which = 0;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event Key(SDL_Keycode key)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    return e;
}

// The session's virtual clock, in frames (0.05 s a tick), as a headless run keeps one.
uint64_t g_iTick = 0;
uint64_t SessionClock()
{
    return g_iTick;
}

// A window of this size (offscreen video), for a session played at its pixels.
int g_iWindowWidth = 0, g_iWindowHeight = 0;

Renderer* MakeSizedRenderer(Window* window)
{
    auto* renderer = new Renderer_GL_SDL(
        window, new View_SDL(false, false, 1.0f, g_iWindowWidth, g_iWindowHeight));
    renderer->SetHand(Host::GetOptions().bShowFingers, &Host::NoteMarks);
    return renderer;
}

SoundManager* MakeOfflineSound(Window*)
{
    return new SoundManager_Offline();
}

// The instrument on the virtual clock, as the host runs it: headless (window
// points are landscape points), or in a window of `width` x `height` pixels
// whose clicks come in window pixels.
class Session
{
  public:
    explicit Session(bool showFingers = true, int width = 0, int height = 0)
    {
        HostOptions options;
        options.bHeadless = width == 0;
        options.sDataDirectory = std::getenv("ZINDLE_DATA");
        options.iSeed = 7;
        options.bShowFingers = showFingers;
        Host::SetOptions(options);
        if (width > 0)
        {
            g_iWindowWidth = width;
            g_iWindowHeight = height;
            Renderer::SetFactory(&MakeSizedRenderer);
            SoundManager::SetPlatformFactory(&MakeOfflineSound);
        }
        File_Bundle::SetResourceDirectory(options.sDataDirectory);
        ZindleApp::SetRandomSeed(7);
        g_iTick = 0;
        Timer::SetClock(&SessionClock, Host::c_rActiveFrameInterval);
        m_bStarted = m_app.Init();
        m_pWindow = dynamic_cast<Window_SDL*>(m_app.GetWindow());
        m_pSound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
        // The first frames bring the main state up.
        if (Ready())
            Run(0.5);
    }
    ~Session()
    {
        m_app.Shutdown();
        Timer::SetClock(nullptr, 0.0);
        Host::InstallPlatform();
    }

    bool Ready() const { return m_bStarted && m_pWindow && m_pSound; }

    void Run(double seconds)
    {
        const int frames = static_cast<int>(std::lround(seconds / Host::c_rActiveFrameInterval));
        // The host's default device request.
        std::vector<int16_t> block(256);
        for (int i = 0; i < frames; ++i)
        {
            g_iTick = ++m_iTick;
            m_app.Update();
            m_app.Render();
            const int64_t target = static_cast<int64_t>(m_iTick) * Host::c_iSamplesPerFrame;
            while (m_pSound->GetSamplesPulled() < target)
            {
                m_pSound->Pull(block.data(), static_cast<int>(block.size()));
                samples.insert(samples.end(), block.begin(), block.end());
            }
        }
    }
    void Send(const SDL_Event& event) { m_pWindow->HandleEvent(event); }
    State_Main* State() { return m_app.GetMainState(); }
    void RightClick(int x, int y)
    {
        Send(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, x, y));
        Send(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, x, y));
    }
    void LeftTap(int x, int y)
    {
        Send(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, x, y));
        Run(0.05);
        Send(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, x, y));
    }
    // The seconds of sound pulled so far.
    double Now() const { return static_cast<double>(samples.size()) / c_rRate; }
    size_t At(double seconds) const { return static_cast<size_t>(seconds * c_rRate); }
    TouchInput_SDL& Touch() { return m_pWindow->GetTouchInput(); }

    // "Theremin" (the second mode after the first): pure sines.
    void ChooseTheremin()
    {
        Send(Key(SDLK_TAB));
        Run(0.8);
        LeftTap(449, 50); // mode ">"
        Run(0.2);
        LeftTap(449, 50);
        Run(0.2);
        Send(Key(SDLK_TAB));
        Run(0.8);
    }

    std::vector<int16_t> samples;

  private:
    ZindleApp m_app;
    bool m_bStarted = false;
    Window_SDL* m_pWindow = nullptr;
    SoundManager_Offline* m_pSound = nullptr;
    uint64_t m_iTick = 0;
};

struct Frame
{
    std::vector<uint8_t> rgba; // 480 x 320 landscape
    bool Read()
    {
        View_SDL* view = View_SDL::GetInstance();
        return view && view->ReadLandscapeFrame(rgba);
    }
    const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * 480 + x) * 4]; }
};

bool IsWhite(const uint8_t* p)
{
    return p[0] > 235 && p[1] > 235 && p[2] > 235;
}

bool IsAmber(const uint8_t* p)
{
    return p[0] > 230 && p[1] > 140 && p[1] < 200 && p[2] < 40;
}

bool IsDark(const uint8_t* p)
{
    return p[0] + p[1] + p[2] < 30;
}
} // namespace

TEST(Hand, ThreeHeldFingersAndTheMouseSoundFourVoicesUntilLifted)
{
    Session session;
    ASSERT_TRUE(session.Ready());
    session.ChooseTheremin();
    const int xs[5] = {60, 180, 300, 420, 240};
    session.RightClick(xs[0], 80);
    session.RightClick(xs[1], 80);
    session.RightClick(xs[2], 80);
    session.Send(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, xs[3], 80));
    session.RightClick(xs[4], 80); // a fifth finger: no idle voice left
    // Which of the five pitches sound over the next second.
    auto sounding = [&]()
    {
        const double t = session.Now();
        session.Run(1.5);
        std::vector<bool> heard;
        for (int x : xs)
            heard.push_back(RelativePower(session.samples, session.At(t + 0.5), session.At(t + 1.5),
                                          PredictedPitch(x)) > 0.02);
        return heard;
    };
    EXPECT_EQ(sounding(), (std::vector<bool>{true, true, true, true, false}));
    session.RightClick(xs[1] + 8, 80 - 8); // beside the second held finger: lifts exactly it
    EXPECT_EQ(sounding(), (std::vector<bool>{true, false, true, true, false}));
    session.Send(Key(SDLK_ESCAPE)); // every held finger; the mouse plays on
    EXPECT_EQ(sounding(), (std::vector<bool>{false, false, false, true, false}));
    session.Send(Key(SDLK_SPACE)); // the mouse too
    const double spaced = session.Now();
    session.Run(1.0);
    EXPECT_LT(
        zindle_test::PeakLevel(session.samples, session.At(spaced + 0.5), session.At(spaced + 1.0)),
        100);
}

TEST(Hand, ARightClickOnAPanelButtonPressesItOnceAndLetsGo)
{
    Session session;
    ASSERT_TRUE(session.Ready());
    session.Send(Key(SDLK_TAB));
    session.Run(0.8);
    // Mode ">" twice by right clicks: "Theremin" only if each pressed exactly
    // once, and no finger is left on the button.
    for (int i = 0; i < 2; ++i)
    {
        session.RightClick(449, 50);
        session.Run(0.5);
        EXPECT_EQ(session.Touch().GetContactCount(), 0) << "the button let go";
    }
    EXPECT_EQ(session.State()->GetSynthMode(), Synth_FourVoice::c_iModeTheremin);
    session.Send(Key(SDLK_TAB));
    session.Run(0.8);
    session.Send(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 240, 80));
    const double t = session.Now();
    session.Run(1.0);
    const size_t from = session.At(t + 0.3), to = session.At(t + 1.0);
    const double f = PredictedPitch(240);
    EXPECT_GT(RelativePower(session.samples, from, to, f), 0.3) << "a pure sine";
    EXPECT_LT(RelativePower(session.samples, from, to, 2 * f), 0.01);
    EXPECT_LT(RelativePower(session.samples, from, to, 3 * f), 0.01);
    session.Send(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 240, 80));

    // Three single clicks on the corner: the hint speaks of the mouse and Tab.
    for (int i = 0; i < 3; ++i)
    {
        session.LeftTap(455, 295);
        session.Run(0.7);
    }
    const Node_Notice* notice = session.State()->GetNotice();
    ASSERT_TRUE(notice && notice->IsShowing());
    EXPECT_STREQ(notice->GetText(), "Double-click the corner or press Tab for controls");
    EXPECT_FALSE(session.State()->GetHint()->IsVisible()) << "not the touch screen's picture";
}

TEST(Hand, TabClosesThePanelFromEveryPageAndLeavesAPlayableSurface)
{
    Session session;
    ASSERT_TRUE(session.Ready());
    // How many points of the panel's separator column are drawn.
    auto separator = [](const Frame& frame)
    {
        int dark = 0;
        for (int y = 0; y < 320; y += 8)
            dark += IsDark(frame.At(315, y)) && IsDark(frame.At(316, y)) ? 1 : 0;
        return dark;
    };
    Frame frame;
    ASSERT_TRUE(frame.Read());
    EXPECT_LT(separator(frame), 10) << "closed at first";
    // "Pulse" has every page: its "Synth Controls" too.
    session.Send(Key(SDLK_TAB));
    session.Run(1.0);
    ASSERT_TRUE(frame.Read());
    EXPECT_EQ(separator(frame), 40) << "Tab opens the panel";
    session.LeftTap(449, 50); // mode ">"
    session.Run(0.2);
    session.Send(Key(SDLK_TAB));
    session.Run(1.0);

    struct Page
    {
        const char* name;
        int x, y; // its button on the main page
    };
    const Page pages[] = {{"main page", 0, 0},
                          {"Synth Controls", 398, 100},
                          {"Effects", 398, 150},
                          {"Scale", 398, 200},
                          {"About", 357, 280}};
    for (const Page& page : pages)
    {
        SCOPED_TRACE(page.name);
        session.Send(Key(SDLK_TAB));
        session.Run(0.8);
        if (page.x > 0)
        {
            session.LeftTap(page.x, page.y);
            session.Run(1.2);
        }
        session.Send(Key(SDLK_TAB));
        session.Run(1.2);
        ASSERT_TRUE(frame.Read());
        EXPECT_LT(separator(frame), 10) << "the panel is closed";
        int dark = 0;
        for (int y = 0; y < 320; y += 4)
            for (int x = 0; x < 480; x += 4)
                dark += IsDark(frame.At(x, y)) ? 1 : 0;
        EXPECT_LT(dark, 96 * 10) << "the scene shows everywhere (under 10% dark)";

        // A press where the panel's buttons were plays its note.
        session.Send(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 440, 100));
        const double t = session.Now();
        session.Run(0.4);
        session.Send(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 440, 100));
        session.Run(0.2);
        const double f = zindle_test::EstimateFrequency(session.samples, session.At(t + 0.1),
                                                        session.At(t + 0.4));
        EXPECT_NEAR(f, PredictedPitch(440), PredictedPitch(440) * 0.01);
    }
}

TEST(Hand, APointerOnTheNoteGridsCLineSoundsC)
{
    Session session;
    ASSERT_TRUE(session.Ready());
    session.Send(Key(SDLK_TAB));
    session.Run(0.8);
    session.LeftTap(398, 200); // "Scale  >"
    session.Run(0.8);
    session.LeftTap(398, 107); // "Note Grid"
    session.Send(Key(SDLK_TAB));
    session.Run(1.0);
    Frame frame;
    ASSERT_TRUE(frame.Read());
    // The C an octave above the low C (130.81 Hz): a pale yellow line near x = 194.
    auto paleYellow = [](const uint8_t* p) { return p[0] > 230 && p[1] > 230 && p[2] < 200; };
    int line = -1;
    for (int x = 180; x < 210 && line < 0; ++x)
        if (paleYellow(frame.At(x, 20)) && paleYellow(frame.At(x, 300)))
            line = x;
    ASSERT_GE(line, 0) << "no C line drawn";
    session.Send(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, line, 160));
    const double t = session.Now();
    session.Run(0.5);
    const double f =
        zindle_test::EstimateFrequency(session.samples, session.At(t + 0.1), session.At(t + 0.5));
    EXPECT_NEAR(12.0 * std::log2(f / 130.8128), 0.0, 0.1) << "semitones from C";
}

TEST(Hand, RingsMarkEveryFingerAndHeldOnesDiffer)
{
    for (bool show : {true, false})
    {
        SCOPED_TRACE(show ? "rings" : "--no-fingers");
        Session session(show);
        ASSERT_TRUE(session.Ready());
        session.RightClick(100, 100);
        session.Send(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 300, 200));
        session.Run(0.1);
        Frame frame;
        ASSERT_TRUE(frame.Read());
        // On the ring, in all four directions.
        const int dx[4] = {8, -8, 0, 0}, dy[4] = {0, 0, 8, -8};
        int held = 0, moving = 0;
        for (int i = 0; i < 4; ++i)
        {
            held += IsAmber(frame.At(100 + dx[i], 100 + dy[i])) ? 1 : 0;
            moving += IsWhite(frame.At(300 + dx[i], 200 + dy[i])) ? 1 : 0;
        }
        EXPECT_EQ(held, show ? 4 : 0);
        EXPECT_EQ(moving, show ? 4 : 0);
        EXPECT_EQ(IsAmber(frame.At(100, 100)), show) << "a held finger's dot";
        EXPECT_FALSE(IsWhite(frame.At(300, 200))) << "a moving finger's ring is open";

        // Lifted, the marks go.
        session.Send(Key(SDLK_SPACE));
        session.Run(0.1);
        ASSERT_TRUE(frame.Read());
        EXPECT_FALSE(IsAmber(frame.At(108, 100)));
        EXPECT_FALSE(IsWhite(frame.At(308, 200)));
    }
}

TEST(LiveLoopThread, AClickBetweenFramesReachesItsVoiceBeforeTheNextFrame)
{
    // The real live loop (offscreen window, dummy audio); another thread
    // clicks in the middle of a frame interval, as a player does.
    std::atomic<int64_t> frame{-1};
    std::atomic<int64_t> activeAt{-1}; // the first frame that found the voice playing
    SoundControl_Theremin* voice = nullptr;
    Host::SetFrameObserver(
        [&](int64_t number)
        {
            if (number == 1)
                voice = ZindleApp::s_pInstance->GetMainState()->GetTheremin(0);
            // Before the frame's own update reads the window's events.
            if (voice && activeAt < 0 && voice->IsTouchActive())
                activeAt = number;
            frame = number;
        });
    int64_t clicked = -1;
    std::thread player(
        [&]()
        {
            while (frame < 3)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const int64_t start = frame;
            while (frame == start)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            SDL_Event e = Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 480, 320);
            SDL_PushEvent(&e);
            clicked = frame; // a frame that starts now may already have the click
            for (int i = 0; i < 200 && activeAt < 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        });
    HostOptions options;
    options.sDataDirectory = std::getenv("ZINDLE_DATA");
    options.iSeed = 7;
    options.rSeconds = 20.0;
    const int status = Host::Run(options);
    player.join();
    Host::SetFrameObserver(nullptr);
    EXPECT_EQ(status, 0);
    ASSERT_GE(activeAt.load(), 0) << "the click never reached a voice";
    EXPECT_LE(activeAt.load(), clicked + 1)
        << "handled when it arrived, not by the next frame's update";
}

TEST(Hand, CtrlSSavesTheSettingsIntoTheConfigurationFolderEachTime)
{
    zindle_test::TempDir config;
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    std::string shown;
    {
        Session session;
        ASSERT_TRUE(session.Ready());
        session.ChooseTheremin();
        SDL_Event save = Key(SDLK_s);
        save.key.keysym.mod = KMOD_LCTRL;
        session.Send(save);
        session.Send(save);
        // Said in the window too, where the hint shows, for a player without a terminal.
        if (const Node_Notice* notice = session.State()->GetNotice(); notice && notice->IsShowing())
            shown = notice->GetText();
    }
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_FALSE(shown.empty()) << "nothing said on screen";
    EXPECT_EQ(shown.substr(0, 9), "Saved to ");
    EXPECT_EQ(shown.substr(shown.size() - 5), ".conf");
    int saved = 0;
    for (const auto& entry : std::filesystem::directory_iterator(config / "zindle"))
    {
        ++saved;
        EXPECT_NE(zindle_test::ReadFile(entry.path()).find("mode = Theremin"), std::string::npos);
    }
    EXPECT_EQ(saved, 2);
}

TEST(Hand, AtThreePixelsAPointClicksPressThePanelButtonsAndNoteKeysDrawnThere)
{
    // A 1440 x 960 window draws at 3 pixels a point: a click at a control's
    // window pixels (its points times 3) presses that control.
    Session session(false, 1440, 960);
    ASSERT_TRUE(session.Ready());
    ASSERT_EQ(Renderer::GetInstance()->GetPixelScale(), 3.0f);
    State_Main* state = session.State();
    ASSERT_NE(state, nullptr);
    session.Send(Key(SDLK_TAB));
    session.Run(0.8);
    ASSERT_TRUE(state->IsPanelOpen());
    session.LeftTap(3 * 450, 3 * 50); // mode ">"
    session.Run(0.2);
    EXPECT_EQ(state->GetSynthMode(), 1);
    session.LeftTap(3 * 398, 3 * 200); // "Scale  >"
    session.Run(0.6);
    session.LeftTap(3 * 349, 3 * 200); // the C# key
    session.Run(0.2);
    const InstrumentState& instrument = state->GetSynth()->GetInstrumentState();
    EXPECT_FALSE(instrument.IsNoteEnabled(1));
    EXPECT_TRUE(instrument.IsNoteEnabled(0) && instrument.IsNoteEnabled(2));
    // What was pressed is what the frame shows there: the frame is the window's size.
    View_SDL* view = View_SDL::GetInstance();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetFrameWidth(), 1440);
    EXPECT_EQ(view->GetFrameHeight(), 960);
}
