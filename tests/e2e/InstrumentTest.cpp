// The whole instrument through the real program, headless: scripted fingers and
// taps in, the WAV and screenshots out.
#include "support/TestSupport.h"

#include <png.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
using zindle_test::EstimateFrequency;
using zindle_test::PeakLevel;
using zindle_test::RelativePower;

namespace
{
using zindle_test::Image;
using zindle_test::Played;
using zindle_test::ReadPng;
constexpr double c_rRate = 44100.0;

// The pitch a script's finger at landscape x plays in the default window.
double PredictedPitch(double x)
{
    return zindle_test::PitchAt(x, true);
}
using zindle_test::PlayScript;

size_t At(double seconds)
{
    return static_cast<size_t>(seconds * c_rRate);
}

// Taps that open the panel (a double tap on the corner) at time t.
std::string OpenPanel(double t)
{
    char text[128];
    std::snprintf(text, sizeof text, "%.2f tap 455 295\n%.2f tap 455 295\n", t, t + 0.2);
    return text;
}

std::string Tap(double t, int x, int y)
{
    return std::to_string(t) + " tap " + std::to_string(x) + " " + std::to_string(y) + "\n";
}

// Reaches synth mode `mode` through the panel: open, ">" mode times, "Close".
// Returns the time when the panel has closed again.
double ChooseMode(std::string& script, int mode)
{
    if (mode == 0)
        return 0.0;
    script += OpenPanel(0.0);
    double t = 0.8;
    for (int i = 0; i < mode; ++i, t += 0.2)
        script += Tap(t, 449, 50); // mode ">"
    script += Tap(t, 440, 280);    // "Close"
    return t + 0.7;
}

// Mean absolute difference of two images over a rectangle.
double Difference(const Image& a, const Image& b, int x0, int y0, int x1, int y1)
{
    double sum = 0.0;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x, ++n)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(static_cast<int>(a.At(x, y)[c]) - static_cast<int>(b.At(x, y)[c]));
    return n ? sum / (3.0 * n) : 0.0;
}
} // namespace

TEST(Instrument, AFingerPlaysThePitchOfItsPlaceInEverySynthMode)
{
    const char* names[4] = {"Mekko", "Pulse", "Theremin", "PWM"};
    for (int mode = 0; mode < 4; ++mode)
    {
        SCOPED_TRACE(names[mode]);
        zindle_test::TempDir dir;
        std::string script;
        const double start = ChooseMode(script, mode);
        char text[256];
        std::snprintf(text, sizeof text, "%.2f down 1 240 160\n%.2f move 1 120 160\n%.2f up 1\n",
                      start, start + 1.0, start + 2.0);
        script += text;
        const Played run = PlayScript(dir, script);
        ASSERT_EQ(run.status, 0) << run.output;
        const double middle = EstimateFrequency(run.wav.samples, At(start + 0.3), At(start + 0.9));
        EXPECT_NEAR(middle, PredictedPitch(240), PredictedPitch(240) * 0.005);
        const double left = EstimateFrequency(run.wav.samples, At(start + 1.3), At(start + 1.9));
        EXPECT_NEAR(left, PredictedPitch(120), PredictedPitch(120) * 0.005);
        EXPECT_GT(PeakLevel(run.wav.samples, At(start + 0.3), At(start + 0.9)), 3000) << "audible";
    }
}

TEST(Instrument, FourFingersPlayFourVoicesAndLiftingThemEndsInSilence)
{
    zindle_test::TempDir dir;
    std::string script;
    const double t = ChooseMode(script, 2); // pure sines make each voice easy to find
    const int xs[5] = {60, 180, 300, 420, 240};
    for (int i = 0; i < 5; ++i)
        script += std::to_string(t + 0.1 * i) + " down " + std::to_string(i + 1) + " " +
                  std::to_string(xs[i]) + " 80\n";
    script += std::to_string(t + 2.0) + " up 2\n";
    for (int i : {1, 3, 4, 5})
        script += std::to_string(t + 3.5) + " up " + std::to_string(i) + "\n";
    script += std::to_string(t + 6.0) + " end\n";
    const Played run = PlayScript(dir, script);
    ASSERT_EQ(run.status, 0) << run.output;
    // Which of the five pitches sound from `from` for a second.
    auto sounding = [&](double from)
    {
        std::vector<bool> heard;
        for (int x : xs)
            heard.push_back(
                RelativePower(run.wav.samples, At(from), At(from + 1.0), PredictedPitch(x)) > 0.02);
        return heard;
    };
    EXPECT_EQ(sounding(t + 0.8), (std::vector<bool>{true, true, true, true, false}))
        << "four voices; the fifth finger finds none idle";
    EXPECT_EQ(sounding(t + 2.3), (std::vector<bool>{true, false, true, true, false}))
        << "a lift ends exactly its voice, and a finger that found none does not take it";
    EXPECT_GT(PeakLevel(run.wav.samples, At(t + 3.55), At(t + 3.8)), 0) << "the echo rings on";
    EXPECT_EQ(PeakLevel(run.wav.samples, At(t + 5.0), At(t + 6.0)), 0) << "then nothing";
    EXPECT_EQ(run.wav.samples.size(), At(t + 6.0)) << "the script's end sets the length";
}

TEST(Instrument, SnapLandsOnEnabledSemitones)
{
    // Panel, "Scale  >", autotune ">" three times ("Snap"), "Back", "Close", a
    // finger between G and G# (199.6 Hz); then the same with key G switched off.
    zindle_test::TempDir dir;
    const Played run =
        PlayScript(dir, OpenPanel(0.0) + Tap(0.8, 398, 200) + Tap(1.5, 449, 160) +
                            Tap(1.7, 449, 160) + Tap(1.9, 449, 160) + Tap(2.1, 398, 280) +
                            Tap(2.8, 440, 280) + "3.5 down 1 245 160\n4.5 up 1\n" + OpenPanel(5.0) +
                            Tap(5.8, 398, 200) + Tap(6.5, 419, 229) + Tap(7.1, 398, 280) +
                            Tap(7.8, 440, 280) + "8.5 down 1 245 160\n9.5 up 1\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NEAR(EstimateFrequency(run.wav.samples, At(3.8), At(4.4)), 196.0, 196.0 * 0.003)
        << "G3, the nearest semitone";
    EXPECT_NEAR(EstimateFrequency(run.wav.samples, At(8.8), At(9.4)), 207.65, 207.65 * 0.003)
        << "G# once G is switched off";
}

TEST(Instrument, ThePanelTheHintAndTheNoteGridShowInScreenshots)
{
    // One performance: three missed double taps (the hint), then the panel
    // opened, "Scale  >", "Note Grid", "Back", "Close".
    zindle_test::TempDir dir;
    const std::string script = "0.0 shot first.png\n" + Tap(0.1, 455, 295) + Tap(1.1, 455, 295) +
                               Tap(2.1, 455, 295) + "3.0 shot hint.png\n" + OpenPanel(6.0) +
                               "7.0 shot open.png\n" + Tap(7.2, 398, 200) + Tap(7.9, 398, 107) +
                               Tap(8.5, 398, 280) + Tap(9.2, 440, 280) + "10.0 shot grid.png\n";
    const Played run = PlayScript(dir, script);
    ASSERT_EQ(run.status, 0) << run.output;
    Image first, hint, open, grid;
    ASSERT_TRUE(ReadPng(dir / "first.png", first));
    ASSERT_TRUE(ReadPng(dir / "hint.png", hint));
    ASSERT_TRUE(ReadPng(dir / "open.png", open));
    ASSERT_TRUE(ReadPng(dir / "grid.png", grid));
    ASSERT_EQ(open.width, 480);
    ASSERT_EQ(open.height, 320);
    EXPECT_GT(Difference(first, hint, 200, 285, 430, 305), 15.0) << "the hint beside the corner";
    // The separator: a black line two points wide where the scene ends (480 - 165).
    for (int y = 0; y < 320; y += 7)
        for (int x = 315; x < 317; ++x)
        {
            const uint8_t* p = open.At(x, y);
            ASSERT_LT(p[0] + p[1] + p[2], 30) << x << "," << y;
        }
    EXPECT_GT(Difference(first, open, 320, 0, 480, 320), 20.0) << "the panel covers the right";
    // Closed again, the scene is back, with a vertical line for each enabled
    // note across the octave window.
    EXPECT_LT(Difference(first, grid, 320, 0, 480, 260), Difference(first, open, 320, 0, 480, 260));
    auto bright = [](const uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] > 120; };
    int lines = 0;
    for (int x = 0; x < 480; ++x)
    {
        int rows = 0;
        for (int y = 0; y < 320; y += 4)
            rows += bright(grid.At(x, y)) && !bright(first.At(x, y)) ? 1 : 0;
        lines += rows > 60 ? 1 : 0;
    }
    EXPECT_GE(lines, 20);
}

TEST(Instrument, EveryEventSoundsFromItsOwnSample)
{
    // Presses between frames and between device requests; the third lifts the
    // moment it lands, and still sounds.
    zindle_test::TempDir dir;
    const double downs[] = {0.101, 0.8237, 1.5013, 2.2333};
    const Played run = PlayScript(dir, "0.101 down 1 240 200\n0.3 up 1\n"
                                       "0.8237 down 1 300 150\n1.0 up 1\n"
                                       "1.5013 down 1 200 100\n1.5013 up 1\n"
                                       "2.2333 down 1 260 120\n2.4 up 1\n2.6 end\n");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<int16_t>& samples = run.wav.samples;
    for (double t : downs)
    {
        SCOPED_TRACE(t);
        const size_t due = static_cast<size_t>(std::lround(t * c_rRate));
        EXPECT_LT(PeakLevel(samples, due - At(0.05), due), 30) << "silent before";
        size_t onset = due - At(0.05);
        while (onset < samples.size() && std::abs(samples[onset]) < 30)
            ++onset;
        EXPECT_GE(onset, due);
        EXPECT_LT(onset, due + At(0.001)) << "sounds within 1 ms of its time";
    }
    // The instant press sounds for one device request (5.8 ms) and stops.
    EXPECT_LT(PeakLevel(samples, At(1.5013 + 0.015), At(1.5013 + 0.06)), 50);
}

TEST(Instrument, ASlideGlidesWithoutStairs)
{
    zindle_test::TempDir dir;
    const Played run =
        PlayScript(dir, "0 down 1 300 160\n0.2 slide 1 460 160 1.0\n1.3 up 1\n1.5 end\n");
    ASSERT_EQ(run.status, 0) << run.output;
    // Pitch measured every 5 ms along the slide rises at every step.
    double previous = 0.0;
    int flat = 0;
    for (double t = 0.3; t < 1.0; t += 0.005)
    {
        const double f = EstimateFrequency(run.wav.samples, At(t), At(t) + 512, 200.0, 1200.0);
        flat += f > previous * 1.002 ? 0 : 1;
        previous = f;
    }
    EXPECT_LE(flat, 4) << "5 ms steps in which the pitch did not move";
}

TEST(Instrument, SameInputsGiveIdenticalFilesWhetherEveryFrameIsDrawnOrNot)
{
    // A chord, a slide, the panel opened and closed, the robot back at rest.
    const std::vector<std::pair<double, std::string>> events = {
        {0.0, "down 1 100 100"}, {0.1, "down 2 300 200"}, {0.15, "slide 1 400 200 0.3"},
        {0.5, "up 1"},           {0.5, "up 2"},           {0.55, "tap 455 295"},
        {0.75, "tap 455 295"},   {1.25, "tap 440 280"},   {1.4, "shot s.png"}};
    std::string script, everyFrame;
    for (const auto& [time, event] : events)
        script += std::to_string(time) + " " + event + "\n";
    // A shot at every frame makes every frame drawn.
    size_t next = 0;
    for (int frame = 0; frame < 36; ++frame)
    {
        const double t = frame * 0.05;
        for (; next < events.size() && events[next].first <= t + 1e-9; ++next)
            everyFrame += std::to_string(events[next].first) + " " + events[next].second + "\n";
        everyFrame += std::to_string(t) + " shot f" + std::to_string(frame) + ".png\n";
    }
    zindle_test::TempDir a, b, c;
    auto last = [](const zindle_test::TempDir& dir)
    { return " --seconds 1.8 --screenshot '" + (dir / "last.png").string() + "'"; };
    const Played drawn = PlayScript(a, everyFrame, last(a));
    const Played undrawn = PlayScript(b, script, last(b));
    const Played again = PlayScript(c, script, last(c));
    ASSERT_EQ(drawn.status, 0) << drawn.output;
    ASSERT_EQ(undrawn.status, 0) << undrawn.output;
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_TRUE(fs::exists(a / "f35.png")) << "every frame drawn";
    for (const char* name : {"play.wav", "s.png", "last.png"})
    {
        SCOPED_TRACE(name);
        const std::string bytes = zindle_test::ReadFile(b / name);
        EXPECT_FALSE(bytes.empty());
        EXPECT_EQ(zindle_test::ReadFile(a / name), bytes);
        EXPECT_EQ(zindle_test::ReadFile(c / name), bytes);
    }
}

TEST(Instrument, BadScriptsAndResourcesFailClearly)
{
    zindle_test::TempDir dir;
    fs::create_directory(dir / "folder.zs");
    ASSERT_EQ(mkfifo((dir / "fifo.zs").c_str(), 0600), 0);
    struct Case
    {
        std::string name;
        std::string script; // the text of play.zs
        std::string path;   // what --script names
        int status;
        std::string message; // in the one line on stderr; none when empty
    };
    const Case cases[] = {
        {"malformed", "0 down 1 10 10\n1 move 2 5 5\n", "play.zs", 2,
         "play.zs:2: move of contact 2, which is not down"},
        {"missing", "", "/no/such.zs", 2, "/no/such.zs: cannot read the script"},
        {"a folder", "", "folder.zs", 2, "folder.zs: cannot read the script: Is a directory"},
        {"a pipe without a writer", "", "fifo.zs", 2, "fifo.zs: cannot read the script: not a"},
        {"an end after 24 hours", "1e18 end\n", "play.zs", 2, "play.zs:1: '1e18' is beyond"},
        {"a 5 MB word", "0 " + std::string(5 << 20, 'w') + "\n", "play.zs", 2,
         "play.zs:1: unknown event 'www"},
        {"a byte-order mark first, far-off coordinates",
         "\xEF\xBB\xBF"
         "0 down 1 1e30 -1e30\n0.1 move 1 9 1e300\n1 end\n",
         "play.zs", 0, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        zindle_test::WriteFile(dir / "play.zs", c.script);
        // A program that would wait forever (on a pipe) fails instead.
        const auto run = zindle_test::RunCommand(
            "cd '" + dir.Path().string() + "' && timeout 120 " + zindle_test::ZindleBinary() +
            " --headless --script " + c.path + " --wav play.wav");
        EXPECT_EQ(run.status, c.status) << run.output.substr(0, 300);
        if (c.message.empty())
        {
            EXPECT_EQ(run.output, "");
            continue;
        }
        EXPECT_EQ(run.output.rfind("zindle: ", 0), 0u) << run.output.substr(0, 300);
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output.substr(0, 300);
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1);
        EXPECT_LT(run.output.size(), 300u) << "echoes stay short";
        EXPECT_FALSE(fs::exists(dir / "play.wav")) << "no output for a script that never played";
    }
    {
        SCOPED_TRACE("resources that are damaged, missing, a folder, a pipe, or a saw table of "
                     "huge numbers: each left out, the instrument still plays");
        zindle_test::TempDir data;
        for (const auto& entry : fs::directory_iterator(zindle_test::SourceDataDir()))
            fs::copy(entry.path(), data / entry.path().filename().string());
        zindle_test::WriteFile(data / "oldsans18.fnt", "BMF\x03garbage");
        zindle_test::WriteFile(data / "robot4.png", "\x89PNG\r\n\x1a\nbroken");
        fs::remove(data / "panelbg.png");
        fs::remove(data / "lava.png");
        fs::create_directory(data / "lava.png");
        fs::remove(data / "decals.png");
        ASSERT_EQ(mkfifo((data / "decals.png").c_str(), 0600), 0);
        zindle_test::WriteFile(data / "blsaw.dat", std::string(8192, '\x7F'));
        const Played run = PlayScript(dir, "0 down 1 240 160\n1 up 1\n1.5 end\n",
                                      "--data '" + data.Path().string() + "' --screenshot '" +
                                          (dir / "corrupt.png").string() + "'");
        EXPECT_EQ(run.status, 0) << "elements whose resources fail are left out: " << run.output;
        EXPECT_TRUE(fs::exists(dir / "corrupt.png"));
        EXPECT_EQ(run.output, "zindle: warning: " + (data / "lava.png").string() +
                                  ": Is a directory; left out\nzindle: warning: " +
                                  (data / "decals.png").string() +
                                  ": not a regular file; left out\n");
        EXPECT_GT(PeakLevel(run.wav.samples, At(0.2), At(0.9)), 3000) << "the computed saw plays";
    }
}
