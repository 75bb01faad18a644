// The theremin control played with real touches, heard in its control blocks: the
// octave window, the note set, autotune, glides and fingers leaving the surface.
#include "support/SoundTestSupport.h"
#include "synth/InstrumentState.h"
#include "synth/SoundControl_Theremin.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <set>

using namespace zindle_test;

namespace
{
using Theremin = SoundControl_Theremin;

class ThereminTest : public ::testing::Test, public Fingers
{
  protected:
    Theremin& AddVoice()
    {
        m_voices.push_back(std::make_unique<Theremin>(m_state));
        m_voices.back()->SetCamera(&camera);
        return *m_voices.back();
    }

    // One block of both channels, pitch first as in "Mekko", or timbre first as
    // the graph pulls them in the other modes; every block is filled.
    Runs Pull(Theremin& voice, int count = 1024, Runs* timbre = nullptr, bool timbreFirst = false)
    {
        Runs runs[2];
        ++m_iStamp;
        for (int channel : {timbreFirst ? 1 : 0, timbreFirst ? 0 : 1})
        {
            runs[channel] = RunsOf(voice, channel, m_iStamp, count);
            EXPECT_EQ(std::accumulate(runs[channel].begin(), runs[channel].end(), 0,
                                      [](int sum, const auto& run) { return sum + run.second; }),
                      count);
        }
        if (timbre)
            *timbre = runs[1];
        return runs[0];
    }
    float PullEnd(Theremin& voice, int count = 1024) { return Pull(voice, count).back().first; }
    float PullOne(Theremin& voice, int count = 1024)
    {
        const Runs runs = Pull(voice, count);
        EXPECT_EQ(runs.size(), 1u);
        return runs[0].first;
    }

    // Enables exactly `notes`, enabling first: the last enabled one cannot be switched off.
    void EnableOnly(std::initializer_list<int> notes)
    {
        auto wanted = [&](int i)
        { return std::find(notes.begin(), notes.end(), i) != notes.end(); };
        for (bool enable : {true, false})
            for (int i = 0; i < 12; ++i)
                if (wanted(i) == enable && m_state.IsNoteEnabled(i) != enable)
                    m_state.ToggleNote(i);
    }

    ScopedSoundManager m_sound;
    InstrumentState m_state; // the voices' window, notes and autotune, as the program starts
    std::vector<std::unique_ptr<Theremin>> m_voices;
    int m_iStamp = 0;
};

const auto ExpectHz = [](double actual, double expected, const char* what = "")
{ EXPECT_NEAR(actual, expected, expected * 2e-5) << what; };
} // namespace

TEST_F(ThereminTest, PitchFollowsTheWindowAcrossTheSurface)
{
    // Half zoom: 0.5 * 5.25 + 0.5 * 1.0825 octaves wide; full: an octave and 0.99 of a zone.
    // clang-format off
    const struct { const char* name; float pitch, zoom; double minOctave, maxOctave; } cases[] = {
        {"as the first voice opens it", -1.0f, 0.0f, -1.125, 4.125},
        {"lowest", 0.0f, 0.0f, -2.4375, 2.8125},
        {"highest", 1.0f, 0.0f, 0.1875, 5.4375},
        {"half zoom, quarter pitch", 0.25f, 0.5f, -1.2603125, 1.9059375},
        {"full zoom", 0.5f, 1.0f, 0.95875, 2.04125},
    };
    // clang-format on
    Theremin& voice = AddVoice();
    for (const auto& c : cases)
    {
        if (c.pitch >= 0.0f) // else the window as the first voice opens it
            m_state.SetPitchScale(c.pitch), m_state.SetPitchZoom(c.zoom);
        for (int x : {0, 240, 480})
        {
            SCOPED_TRACE(testing::Message() << c.name << ", x " << x);
            Down(0, x, 160);
            ExpectHz(PullOne(voice),
                     OctaveHz(c.minOctave + x / 480.0 * (c.maxOctave - c.minOctave)));
            Up(0);
            EXPECT_EQ(PullOne(voice), 0.0f);
        }
    }
    AddVoice();
    EXPECT_NEAR(m_state.GetMinOctave(), 0.95875, 1e-5) << "a later voice leaves the window";
}

TEST_F(ThereminTest, FullZoomStepsTheWindowOneNoteZoneAtATime)
{
    AddVoice();
    m_state.SetPitchZoom(1.0f);
    const float width = m_state.GetMaxOctave() - m_state.GetMinOctave();
    // k = (int)(0.5 + 12 * 0.95875) = 12: up one zone to 12.5 / 12, stay, then down by zones.
    for (const auto& [scale, edge] :
         {std::pair{0.9f, 12.5f}, {-1.0f, 12.5f}, {0.0f, 11.5f}, {0.0f, 10.5f}})
    {
        m_state.SetPitchScale(scale < 0.0f ? m_state.GetPitchScale() : scale);
        EXPECT_NEAR(m_state.GetMinOctave(), edge / 12.0f, 1e-6) << edge;
        EXPECT_NEAR(m_state.GetMaxOctave() - m_state.GetMinOctave(), width, 1e-5);
    }

    // Snap's zones, one per enabled note, wait for the next window change.
    EnableOnly({0, 7});
    m_state.SetAutotuneSamples(0, true);
    EXPECT_FLOAT_EQ(m_state.GetMaxOctave() - m_state.GetMinOctave(), width);
    m_state.SetPitchZoom(1.0f);
    EXPECT_NEAR(m_state.GetMaxOctave() - m_state.GetMinOctave(), 2.99f / 2.0f, 1e-5);
    // One zone per step also where n * o + 0.5 rounds just below a whole number.
    for (const auto& [n, j] : {std::pair{7, 15}, {11, -7}})
    {
        EnableOnly(n == 7 ? std::initializer_list<int>{0, 2, 4, 5, 7, 9, 11}
                          : std::initializer_list<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        m_state.SetPitchZoom(1.0f);
        for (int direction : {1, -1})
        {
            SCOPED_TRACE(testing::Message() << "n " << n << " j " << j << " step " << direction);
            m_state.SetMinOctave((j + 0.5f) / static_cast<float>(n));
            m_state.SetPitchScale(m_state.GetPitchScale() + 0.01f * direction);
            EXPECT_NEAR(m_state.GetMinOctave(), (j + 0.5 + direction) / n, 1e-5);
        }
    }
}

TEST_F(ThereminTest, SnapLandsExactlyOnEnabledSemitones)
{
    Theremin& voice = AddVoice();
    EnableOnly({0, 4, 7});
    m_state.SetAutotuneSamples(0, true);
    Down(0, 0, 100);
    double last = 0.0;
    int notesHeard = 0;
    for (int x = 0; x <= 480; x += 3)
    {
        SCOPED_TRACE(x);
        Move(0, x, 100);
        const double hz = PullOne(voice);
        const double semitone = 12.0 * std::log2(hz / 65.406395);
        const long rounded = std::lround(semitone);
        EXPECT_NEAR(semitone, static_cast<double>(rounded), 1e-4);
        EXPECT_TRUE((std::set<long>{0, 4, 7}).count(((rounded % 12) + 12) % 12)) << rounded;
        EXPECT_GE(hz, last);
        notesHeard += hz > last ? 1 : 0;
        last = hz;
    }
    EXPECT_TRUE(notesHeard >= 15 && notesHeard <= 17) << notesHeard; // 5.25 octaves of 3

    // With C and G: snap's nearest note (ties go down, the next C counts) and the
    // gentle autotune's half-semitone bins (3.5 .. 4 to G, 3 .. 3.5 to C).
    EnableOnly({0, 7});
    for (const auto& [semitone, note] : {std::pair{3.5f, 0.0f}, {3.6f, 7.0f}, {10.0f, 12.0f}})
        EXPECT_FLOAT_EQ(m_state.NearestEnabledNote(semitone), note) << semitone;
    for (const auto& [semitone, note] : {std::pair{3.75f, 7.0f}, {3.25f, 0.0f}, {23.9f, 24.0f}})
        EXPECT_FLOAT_EQ(m_state.AssistedOctave(semitone / 12.0f), note / 12.0f) << semitone;
    m_state.ToggleNote(12), m_state.ToggleNote(-1);
    EXPECT_EQ(m_state.GetEnabledNoteCount(), 2) << "bad note numbers are ignored";
    // Just below an octave u - floor(u) rounds to 1.0: still inside the table (ASan).
    const float octave = std::nextafter(-0.25f, -1.0f);
    EXPECT_FLOAT_EQ(m_state.OctaveToNearestEnabledNote_Snap(octave), -5.0f);
    EXPECT_FLOAT_EQ(m_state.AssistedOctave(std::nextafter(0.0f, -1.0f)), 0.0f);
}

TEST_F(ThereminTest, GlidesFollowAMovingFingerOverWholeBlocks)
{
    Theremin& voice = AddVoice();
    Down(0, 120, 80);
    Runs timbre;
    Runs pitch = Pull(voice, 1024, &timbre);
    ASSERT_EQ(pitch.size(), 1u) << "a new finger starts on its pitch";
    ASSERT_EQ(timbre, (Runs{{0.75f, 1024}}));
    const float fromHz = pitch[0].first;

    // 34 runs of 30 samples and one of 4, linear in hertz, the timbre alike.
    Move(0, 360, 240);
    const double toHz = WindowHz(360);
    pitch = Pull(voice, 1024, &timbre);
    ASSERT_EQ((std::pair{pitch.size(), timbre.size()}), (std::pair<size_t, size_t>{35, 35}));
    for (int i = 0; i < 35; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(pitch[i].second, i < 34 ? 30 : 4);
        ExpectHz(pitch[i].first, fromHz + (toHz - fromHz) * std::min(i + 1, 34) / 34.0);
        EXPECT_NEAR(timbre[i].first, 0.75 - 0.5 * std::min(i + 1, 34) / 34.0, 1e-5);
    }
    ExpectHz(PullEnd(voice), toHz, "at rest the pitch stays on the target");

    // Whole runs leave no remainder; a block shorter than a run reaches the target.
    Move(0, 240, 240);
    pitch = Pull(voice, 60);
    ASSERT_EQ(pitch.size(), 2u);
    ExpectHz(pitch[1].first, OctaveHz(1.5));
    Move(0, 129, 200);
    pitch = Pull(voice, 29, &timbre);
    ASSERT_EQ(pitch.size(), 1u);
    ExpectHz(pitch[0].first, WindowHz(129));
    EXPECT_EQ(timbre, (Runs{{0.375f, 29}}));
}

// "Slow" and "Fast" start a finger on the nearest note, keep that correction while
// it moves, correct again after 3072 samples of rest, and release it on a slide.
TEST_F(ThereminTest, GentleAutotuneStartsOnANoteCorrectsAfterRestAndReleasesOnASlide)
{
    for (const auto& [name, samples, correctionBlocks] :
         {std::tuple{"Slow", 4410, 4}, std::tuple{"Fast", 264, 1}})
    {
        SCOPED_TRACE(name);
        m_voices.clear();
        Theremin& voice = AddVoice();
        m_state.SetAutotuneSamples(samples, true);

        Down(0, 100, 160); // 0.375 semitone above C
        ExpectHz(PullOne(voice), OctaveHz(0.0), "a new finger starts exactly on the nearest note");
        const double correction = 1.125 - 100 * 5.25 / 480.0;
        const double rest = -1.125 + 112 * 5.25 / 480.0 + correction; // 1.2 semitones up
        Move(0, 112, 160);
        const Runs pitch = Pull(voice);
        ASSERT_EQ(pitch.size(), 35u);
        ExpectHz(pitch.back().first, OctaveHz(rest), "kept while moving");
        for (int block = 1; block <= 2; ++block)
            ExpectHz(PullEnd(voice), OctaveHz(rest), "held while resting");

        // The third still block starts the correction to semitone 1, in equal steps.
        const double aim = 1.0 / 12.0;
        for (int block = 1; block <= correctionBlocks + 1; ++block)
            ExpectHz(PullEnd(voice),
                     OctaveHz(rest +
                              (aim - rest) * std::min(block, correctionBlocks) / correctionBlocks));

        // Sliding on, five releases of 70 % leave less than 1 % of a semitone.
        float end = 0.0f;
        for (int x = 140; x <= 340; x += 40)
        {
            Move(0, x, 160);
            end = PullEnd(voice);
        }
        const double semitones = 12.0 * std::log2(end / WindowHz(340));
        EXPECT_NEAR(semitones, 0.0, 0.01);
        EXPECT_NE(semitones, 0.0);
        Up(0);
    }
}

TEST_F(ThereminTest, EachBlockTakesOneFingerWhicheverChannelIsPulledFirst)
{
    Theremin& voice = AddVoice();
    for (bool timbreFirst : {false, true})
    {
        SCOPED_TRACE(timbreFirst ? "timbre first" : "pitch first");
        Runs timbre;
        Down(0, 100, 100);
        Pull(voice, 1024, &timbre, timbreFirst);
        // A finger lifts and another lands between blocks: no glide from the old.
        Up(0);
        Down(1, 400, 200);
        Runs pitch = Pull(voice, 1024, &timbre, timbreFirst);
        ASSERT_EQ(pitch.size(), 1u);
        ExpectHz(pitch[0].first, WindowHz(400));
        EXPECT_EQ(timbre, (Runs{{1.0f - 200.0f / 320.0f, 1024}}));

        // A press that lifts before the next block still sounds for that block.
        Up(1);
        Down(2, 300, 80);
        Up(2);
        EXPECT_FALSE(voice.IsTouchActive()) << "free for the next finger at once";
        pitch = Pull(voice, 256, &timbre, timbreFirst);
        ASSERT_EQ(pitch.size(), 1u);
        ExpectHz(pitch[0].first, WindowHz(300));
        EXPECT_EQ(timbre, (Runs{{0.75f, 256}}));
        EXPECT_EQ(Pull(voice, 256, &timbre, timbreFirst), (Runs{{0.0f, 256}})) << "then no more";
        EXPECT_EQ(timbre, (Runs{{0.0f, 256}}));
    }
}

TEST_F(ThereminTest, AFingerLeavingTheSurfaceOrForgottenEndsItsNote)
{
    Theremin& voice = AddVoice();
    Down(0, 200, 100); // finger A
    EXPECT_GT(PullOne(voice), 0.0f);
    Move(0, 481, 100);
    EXPECT_FALSE(voice.IsTouchActive());
    Runs timbre;
    EXPECT_EQ(Pull(voice, 1024, &timbre), (Runs{{0.0f, 1024}}));
    EXPECT_EQ(timbre, (Runs{{0.0f, 1024}}));
    Move(0, 200, 100);
    EXPECT_EQ(PullOne(voice), 0.0f) << "sliding back in does not restart it";

    // A new finger B takes the voice without a slide; A no longer steers it.
    Down(1, 100, 50);
    ExpectHz(PullOne(voice), WindowHz(100));
    Move(0, 300, 200);
    Up(0);
    EXPECT_TRUE(voice.IsTouchActive());
    ExpectHz(PullOne(voice), WindowHz(100));

    // The frame poll follows the window under a still finger, with a glide.
    m_state.SetPitchScale(1.0f);
    voice.UpdateTouchPosition();
    ExpectHz(PullEnd(voice), OctaveHz(0.1875 + 100 / 480.0 * 5.25));
    // A cancelled touch, or one the touch manager has forgotten, ends the note.
    TouchManager::GetInstance()->KillUnverifiedTouches();
    EXPECT_FALSE(voice.IsTouchActive());
    Down(3, 200, 100);
    ExpectHz(PullOne(voice), OctaveHz(0.1875 + 200 / 480.0 * 5.25));
    TouchManager::Shutdown();
    TouchManager::Startup();
    voice.UpdateTouchPosition();
    EXPECT_FALSE(voice.IsTouchActive());
    EXPECT_EQ(PullOne(voice), 0.0f);

    // A finger landing outside the playing area plays nothing.
    Theremin& second = AddVoice();
    camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(240.0f, 320.0f));
    Down(2, 300, 100);
    EXPECT_FALSE(second.IsTouchActive());
    Down(4, 200, 100);
    EXPECT_TRUE(second.IsTouchActive());
}
