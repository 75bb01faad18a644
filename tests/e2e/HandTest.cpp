// Playing with one mouse and a keyboard: the real instrument run headless in
// this process, fed synthetic SDL events through the window's event handling
// (headless, window points are landscape points), its sound pulled block by
// block and its frames read back. Also the real program's rings in screenshots.
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "file/File_Bundle.h"
#include "platform/Host.h"
#include "platform/SoundManager_Offline.h"
#include "platform/View_SDL.h"
#include "platform/Window_SDL.h"
#include "support/TestSupport.h"

#include <SDL.h>
#include <png.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using zindle_test::RelativePower;

namespace
{
constexpr double c_rRate = 44100.0;

// The default octave window; the touch manager moves every touch 5 points right.
double PredictedPitch(double x)
{
    return 65.406395 * std::pow(2.0, -1.125 + 5.25 * (x + 5.0) / 480.0);
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

// The instrument running headless on the virtual clock, as the host runs it.
class Session
{
  public:
    explicit Session(bool showFingers = true)
    {
        HostOptions options;
        options.bHeadless = true;
        options.sDataDirectory = std::getenv("ZINDLE_DATA");
        options.iSeed = 7;
        options.bShowFingers = showFingers;
        Host::SetOptions(options);
        File_Bundle::SetResourceDirectory(options.sDataDirectory);
        ZindleApp::SetRandomSeed(7);
        Host::SetVirtualTick(0);
        Timer::SetClock(&Host::VirtualClock, Host::c_rActiveFrameInterval);
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
    }

    bool Ready() const { return m_bStarted && m_pWindow && m_pSound; }

    void Run(double seconds)
    {
        const int frames = static_cast<int>(std::lround(seconds / Host::c_rActiveFrameInterval));
        // The host's default device request.
        std::vector<int16_t> block(256);
        for (int i = 0; i < frames; ++i)
        {
            Host::SetVirtualTick(++m_iTick);
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
    EXPECT_EQ(session.Touch().GetHeldCount(), 4);
    EXPECT_EQ(session.Touch().GetContactCount(), 5);
    const double t = session.Now();
    session.Run(1.5);
    {
        const size_t from = session.At(t + 0.5), to = session.At(t + 1.5);
        for (int i = 0; i < 4; ++i)
        {
            SCOPED_TRACE(xs[i]);
            EXPECT_GT(RelativePower(session.samples, from, to, PredictedPitch(xs[i])), 0.05)
                << "each of the four fingers sounds";
        }
        EXPECT_LT(RelativePower(session.samples, from, to, PredictedPitch(240)), 0.002)
            << "the fifth finger plays nothing";
    }

    // A right click beside the second held finger lifts exactly that one.
    session.RightClick(xs[1] + 8, 80 - 8);
    EXPECT_EQ(session.Touch().GetHeldCount(), 3);
    const double lifted = session.Now();
    session.Run(1.5);
    {
        const size_t from = session.At(lifted + 0.5), to = session.At(lifted + 1.5);
        EXPECT_LT(RelativePower(session.samples, from, to, PredictedPitch(xs[1])), 0.002);
        for (int i : {0, 2, 3})
        {
            SCOPED_TRACE(xs[i]);
            EXPECT_GT(RelativePower(session.samples, from, to, PredictedPitch(xs[i])), 0.05);
        }
    }

    // Escape lifts every held finger; the mouse's finger plays on.
    session.Send(Key(SDLK_ESCAPE));
    EXPECT_EQ(session.Touch().GetHeldCount(), 0);
    const double escaped = session.Now();
    session.Run(1.5);
    {
        const size_t from = session.At(escaped + 0.5), to = session.At(escaped + 1.5);
        for (int i : {0, 2})
        {
            SCOPED_TRACE(xs[i]);
            EXPECT_LT(RelativePower(session.samples, from, to, PredictedPitch(xs[i])), 0.002);
        }
        EXPECT_GT(RelativePower(session.samples, from, to, PredictedPitch(xs[3])), 0.2);
    }

    // Space lifts the mouse's finger too.
    session.Send(Key(SDLK_SPACE));
    EXPECT_EQ(session.Touch().GetContactCount(), 0);
    const double spaced = session.Now();
    session.Run(1.0);
    EXPECT_LT(
        zindle_test::PeakLevel(session.samples, session.At(spaced + 0.5), session.At(spaced + 1.0)),
        100);
}

TEST(Hand, AHeldFingerOnAPanelButtonPressesItOnce)
{
    Session session;
    ASSERT_TRUE(session.Ready());
    session.Send(Key(SDLK_TAB));
    session.Run(0.8);
    // Mode ">" twice, each by a held finger left down for a second: "Theremin"
    // only if every hold pressed exactly once.
    for (int i = 0; i < 2; ++i)
    {
        session.RightClick(449, 50);
        session.Run(1.0);
        session.Send(Key(SDLK_ESCAPE));
        session.Run(0.2);
    }
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
}

TEST(Hand, TabOpensAndClosesThePanel)
{
    Session session;
    ASSERT_TRUE(session.Ready());
    auto separator = [&]()
    {
        Frame frame;
        EXPECT_TRUE(frame.Read());
        int dark = 0;
        for (int y = 0; y < 320; y += 8)
            dark += IsDark(frame.At(315, y)) && IsDark(frame.At(316, y)) ? 1 : 0;
        return dark;
    };
    EXPECT_LT(separator(), 10) << "closed at first";
    session.Send(Key(SDLK_TAB));
    session.Run(1.0);
    EXPECT_EQ(separator(), 40) << "the panel's separator";
    session.Send(Key(SDLK_TAB));
    session.Run(1.0);
    EXPECT_LT(separator(), 10) << "closed again";
    EXPECT_LT(zindle_test::PeakLevel(session.samples, 0, session.samples.size()), 100)
        << "no tap reached a voice";
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

TEST(Hand, TheProgramsScreenshotsShowScriptFingersUnlessTurnedOff)
{
    zindle_test::TempDir dir;
    zindle_test::WriteFile(dir / "hold.zs", "0.0 down 1 100 100\n0.0 down 2 300 200\n"
                                            "0.5 shot fingers.png\n1.0 up 1\n1.0 up 2\n"
                                            "1.5 shot lifted.png\n2.0 end\n");
    for (bool show : {true, false})
    {
        SCOPED_TRACE(show ? "rings" : "--no-fingers");
        const auto result = zindle_test::RunCommand(
            zindle_test::ZindleBinary() + " --headless --seed 7 --script '" +
            (dir / "hold.zs").string() + "'" + (show ? "" : " --no-fingers"));
        ASSERT_EQ(result.status, 0) << result.output;
        for (const char* name : {"fingers.png", "lifted.png"})
        {
            SCOPED_TRACE(name);
            png_image png{};
            png.version = PNG_IMAGE_VERSION;
            ASSERT_TRUE(png_image_begin_read_from_file(&png, (dir / name).c_str()));
            png.format = PNG_FORMAT_RGBA;
            Frame frame;
            frame.rgba.resize(PNG_IMAGE_SIZE(png));
            ASSERT_TRUE(png_image_finish_read(&png, nullptr, frame.rgba.data(), 0, nullptr));
            ASSERT_EQ(png.width, 480u);
            // Script contacts stay down until "up": moving fingers, white rings.
            const bool expected = show && std::string(name) == "fingers.png";
            int white = 0;
            for (int d : {-8, 8})
                white += (IsWhite(frame.At(100 + d, 100)) ? 1 : 0) +
                         (IsWhite(frame.At(300, 200 + d)) ? 1 : 0);
            EXPECT_EQ(white, expected ? 4 : 0);
        }
    }
}
