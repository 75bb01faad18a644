// The theremin control played with real touches through the real touch manager,
// heard by pulling its control blocks: the octave window, the note set, snap and
// gentle autotune, glides and fingers leaving the surface.
#include "SoundTestSupport.h"
#include "sound/SoundControl_Theremin.h"

#include <gtest/gtest.h>

#include <memory>

using namespace zindle_test;

namespace
{
using Runs = std::vector<SoundControlBuffer::Run>;
using Theremin = SoundControl_Theremin;

class ThereminTest : public ::testing::Test, public Fingers
{
  protected:
    Theremin& AddVoice()
    {
        m_voices.push_back(std::make_unique<Theremin>());
        m_voices.back()->SetCamera(&camera);
        return *m_voices.back();
    }

    // One block of both channels, pitch first as in "Mekko", or timbre first
    // as the graph pulls them in the other modes.
    void Pull(Theremin& voice, int count, Runs* pitch, Runs* timbre = nullptr,
              bool timbreFirst = false)
    {
        ++m_iStamp;
        for (int channel : {timbreFirst ? 1 : 0, timbreFirst ? 0 : 1})
        {
            const SoundControlBuffer* buffer = voice.UpdateBuffer(channel, m_iStamp, count);
            Runs runs(buffer->GetRuns(), buffer->GetRuns() + buffer->GetRunCount());
            int total = 0;
            for (const auto& run : runs)
                total += run.length;
            EXPECT_EQ(total, count) << "channel " << channel;
            if (Runs* out = channel == 0 ? pitch : timbre)
                *out = runs;
        }
    }
    // The value a block ends on.
    float PullEnd(Theremin& voice, int count = 1024)
    {
        Runs pitch;
        Pull(voice, count, &pitch);
        return pitch.back().value;
    }
    // The value of a block that must be one run.
    float PullOne(Theremin& voice, int count = 1024, int channel = 0)
    {
        Runs runs[2];
        Pull(voice, count, &runs[0], &runs[1]);
        EXPECT_EQ(runs[channel].size(), 1u);
        return runs[channel][0].value;
    }

    ScopedSoundManager m_sound;
    std::vector<std::unique_ptr<Theremin>> m_voices;
    int m_iStamp = 0;
};

void ExpectHz(double actual, double expected, const char* what = "")
{
    EXPECT_NEAR(actual, expected, expected * 2e-5) << what;
}

// Toggles the classes so that exactly `notes` are enabled, enabling first: the
// last enabled class cannot be switched off.
void EnableOnly(std::initializer_list<int> notes)
{
    auto wanted = [&](int i) { return std::find(notes.begin(), notes.end(), i) != notes.end(); };
    for (bool enable : {true, false})
        for (int i = 0; i < 12; ++i)
            if (wanted(i) == enable && Theremin::IsNoteEnabled(i) != enable)
                Theremin::ToggleNote(i);
}
} // namespace

TEST_F(ThereminTest, PitchFollowsTheWindowAcrossTheSurface)
{
    struct Case
    {
        const char* name;
        float pitch, zoom; // pitch < 0: the window as the first voice opens it
        double minOctave, maxOctave;
    };
    const Case cases[] = {
        {"as the first voice opens it", -1.0f, 0.0f, -1.125, 4.125},
        {"lowest", 0.0f, 0.0f, -2.4375, 2.8125},
        {"highest", 1.0f, 0.0f, 0.1875, 5.4375},
        // width 0.5 * 5.25 + 0.5 * 1.0825 = 3.16625, slack 4.70875
        {"half zoom, quarter pitch", 0.25f, 0.5f, -1.2603125, 1.9059375},
        // full zoom: one octave plus 0.99 of a zone, 1.0825 octaves
        {"full zoom", 0.5f, 1.0f, 0.95875, 2.04125},
    };
    Theremin& voice = AddVoice();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (c.pitch >= 0.0f)
        {
            Theremin::SetPitchScale(c.pitch);
            Theremin::SetPitchZoom(c.zoom);
        }
        for (int x : {0, 240, 480})
        {
            SCOPED_TRACE(x);
            Down(0, x, 160);
            ExpectHz(PullOne(voice),
                     OctaveHz(c.minOctave + x / 480.0 * (c.maxOctave - c.minOctave)));
            Up(0);
            EXPECT_EQ(PullOne(voice), 0.0f);
        }
    }
    AddVoice();
    EXPECT_NEAR(Theremin::GetMinOctave(), 0.95875, 1e-5) << "a later voice leaves the window";
}

TEST_F(ThereminTest, FullZoomStepsTheWindowOneNoteZoneAtATime)
{
    AddVoice();
    Theremin::SetPitchZoom(1.0f);
    const float width = Theremin::GetMaxOctave() - Theremin::GetMinOctave();
    // k = (int)(0.5 + 12 * 0.95875) = 12: one zone up puts the edge at 12.5 / 12.
    Theremin::SetPitchScale(0.9f);
    EXPECT_NEAR(Theremin::GetMinOctave(), 12.5f / 12.0f, 1e-6);
    EXPECT_NEAR(Theremin::GetMaxOctave() - Theremin::GetMinOctave(), width, 1e-5);
    Theremin::SetPitchScale(Theremin::GetPitchScale()); // the slider where it is
    EXPECT_NEAR(Theremin::GetMinOctave(), 12.5f / 12.0f, 1e-6);
    for (float edge : {11.5f, 10.5f})
    {
        Theremin::SetPitchScale(0.0f);
        EXPECT_NEAR(Theremin::GetMinOctave(), edge / 12.0f, 1e-6);
    }
    // Past the ends of the full range the window stops at them.
    Theremin::SetMinOctave(-10.0f);
    EXPECT_FLOAT_EQ(Theremin::GetMinOctave(), -2.4375f);
    Theremin::SetMinOctave(10.0f);
    EXPECT_FLOAT_EQ(Theremin::GetMaxOctave(), 5.4375f);

    // Snap's zones, one per enabled note: a mode or note change waits for the
    // next window change, which is then one octave plus 0.99 of a zone wide.
    EnableOnly({0, 7});
    Theremin::SetAutotuneSamples(0, true);
    EXPECT_FLOAT_EQ(Theremin::GetMaxOctave() - Theremin::GetMinOctave(), width);
    Theremin::SetPitchZoom(1.0f);
    EXPECT_NEAR(Theremin::GetMaxOctave() - Theremin::GetMinOctave(), 2.99f / 2.0f, 1e-5);
    // One zone per step whatever the count, also where the edges n * o + 0.5
    // round just below a whole number: the edge sits at (j + 0.5) / n.
    const struct
    {
        std::initializer_list<int> notes;
        int j;
    } cases[] = {
        {{0, 2, 4, 5, 7, 9, 11}, 15},
        {{0, 2, 4, 5, 7, 9, 11}, -16},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 6},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, -7},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 20},
    };
    for (const auto& [notes, j] : cases)
    {
        const float n = static_cast<float>(notes.size());
        EnableOnly(notes);
        Theremin::SetPitchZoom(1.0f);
        for (int direction : {1, -1})
        {
            SCOPED_TRACE(testing::Message() << "n " << n << " j " << j << " step " << direction);
            Theremin::SetMinOctave((static_cast<float>(j) + 0.5f) / n);
            Theremin::SetPitchScale(Theremin::GetPitchScale() + 0.01f * direction);
            EXPECT_NEAR(Theremin::GetMinOctave(), (j + 0.5 + direction) / n, 1e-5);
        }
    }
}

TEST_F(ThereminTest, NoteSetChoosesTheNearestEnabledNoteAndKeepsItsLastNote)
{
    EnableOnly({0, 7});
    EXPECT_EQ(Theremin::GetEnabledNoteCount(), 2);
    const std::pair<float, float> nearest[] = {
        {3.5f, 0.0f}, {3.6f, 7.0f}, {10.0f, 12.0f}, {-0.4f, 0.0f}}; // ties go down
    for (const auto& [semitone, note] : nearest)
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(semitone), note) << semitone;
    // Notes counted across octaves, below the first one too.
    const float values[] = {-17, -12, -5, 0, 7, 12, 19};
    for (int i = -3; i <= 3; ++i)
        EXPECT_FLOAT_EQ(Theremin::GetEnabledNoteValue(i), values[i + 3]) << i;
    // The gentle autotune's table: half-semitone bin 7 (3.5 .. 4 semitones)
    // goes to G, bin 6 (3 .. 3.5) to C, bin 23 to the next C.
    EXPECT_FLOAT_EQ(Theremin::AssistedOctave(3.75f / 12.0f), 7.0f / 12.0f);
    EXPECT_FLOAT_EQ(Theremin::AssistedOctave(3.25f / 12.0f), 0.0f);
    EXPECT_FLOAT_EQ(Theremin::AssistedOctave(1.0f + 11.9f / 12.0f), 2.0f);

    // The last enabled note stays on; bad note numbers are ignored.
    for (int note : {7, 0, 12, -1})
        Theremin::ToggleNote(note);
    EXPECT_EQ(Theremin::GetEnabledNoteCount(), 1);
    EXPECT_TRUE(Theremin::IsNoteEnabled(0));
    EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(6.0f), 0.0f);
    EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(6.1f), 12.0f);
    EXPECT_FLOAT_EQ(Theremin::GetEnabledNoteValue(-1), -12.0f);
    EXPECT_FLOAT_EQ(Theremin::GetEnabledNoteValue(2), 24.0f);

    // All twelve again: every half-semitone bin goes to its nearest semitone.
    for (int i = 1; i < 12; ++i)
        Theremin::ToggleNote(i);
    for (int i = 0; i < 24; ++i)
        EXPECT_FLOAT_EQ(Theremin::AssistedOctave((0.25f + 0.5f * i) / 12.0f), ((i + 1) / 2) / 12.0f)
            << i;
}

TEST_F(ThereminTest, SnapLandsExactlyOnEnabledSemitones)
{
    Theremin& voice = AddVoice();
    EnableOnly({0, 4, 7});
    Theremin::SetAutotuneSamples(0, true);
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
        const long pitchClass = ((rounded % 12) + 12) % 12;
        EXPECT_TRUE(pitchClass == 0 || pitchClass == 4 || pitchClass == 7) << rounded;
        EXPECT_GE(hz, last);
        notesHeard += hz > last ? 1 : 0;
        last = hz;
    }
    // 5.25 octaves of three zones each.
    EXPECT_GE(notesHeard, 15);
    EXPECT_LE(notesHeard, 17);

    // Just below an octave, u - floor(u) rounds up to 1.0: the last zone of
    // the octave below plays, inside the note table (ASan watches).
    for (int n : {2, 12})
    {
        if (n == 12)
            EnableOnly({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
        else
            EnableOnly({0, 7});
        const float octave = std::nextafter(-0.5f / static_cast<float>(n), -1.0f);
        EXPECT_FLOAT_EQ(Theremin::OctaveToNearestEnabledNote_Snap(octave), n == 12 ? -1.0f : -5.0f);
        EXPECT_FLOAT_EQ(Theremin::AssistedOctave(std::nextafter(0.0f, -1.0f)), 0.0f);
    }
}

TEST_F(ThereminTest, GlidesFollowAMovingFingerOverWholeBlocks)
{
    Theremin& voice = AddVoice();
    Down(0, 120, 80);
    Runs pitch, timbre;
    Pull(voice, 1024, &pitch, &timbre);
    ASSERT_EQ(pitch.size(), 1u) << "a new finger starts on its pitch";
    ASSERT_EQ(timbre.size(), 1u);
    const float fromHz = pitch[0].value;
    EXPECT_FLOAT_EQ(timbre[0].value, 0.75f);

    // 34 runs of 30 samples and one of 4, linear in hertz, the timbre alike.
    Move(0, 360, 240);
    const double toHz = WindowHz(360);
    Pull(voice, 1024, &pitch, &timbre);
    ASSERT_EQ(pitch.size(), 35u);
    ASSERT_EQ(timbre.size(), 35u);
    for (int i = 0; i < 34; ++i)
    {
        EXPECT_EQ(pitch[i].length, 30);
        ExpectHz(pitch[i].value, fromHz + (toHz - fromHz) * (i + 1) / 34.0);
        EXPECT_NEAR(timbre[i].value, 0.75 - 0.5 * (i + 1) / 34.0, 1e-5);
    }
    EXPECT_EQ(pitch[34].length, 4);
    ExpectHz(pitch[34].value, toHz);
    EXPECT_FLOAT_EQ(timbre[34].value, 0.25f);
    ExpectHz(PullEnd(voice), toHz, "at rest the pitch stays on the target");

    // A block of a whole number of runs has no remainder.
    Move(0, 240, 240);
    Pull(voice, 60, &pitch, &timbre);
    ASSERT_EQ(pitch.size(), 2u);
    ExpectHz(pitch[1].value, OctaveHz(1.5));
    // A block shorter than one run reaches the target at once.
    for (int count : {1, 17, 29})
    {
        SCOPED_TRACE(count);
        Move(0, 100 + count, 200);
        Pull(voice, count, &pitch, &timbre);
        ASSERT_EQ(pitch.size(), 1u);
        ExpectHz(pitch[0].value, WindowHz(100 + count));
        ASSERT_EQ(timbre.size(), 1u);
        EXPECT_NEAR(timbre[0].value, 1.0 - 200 / 320.0, 1e-6);
    }
}

// "Slow" and "Fast" start a finger on the nearest note, keep that correction
// while it moves, pull it onto the nearest note after 3072 samples of rest, and
// release it while the finger slides on.
TEST_F(ThereminTest, GentleAutotuneStartsOnANoteCorrectsAfterRestAndReleasesOnASlide)
{
    const std::tuple<const char*, int, int> modes[] = {{"Slow", 4410, 4}, {"Fast", 264, 1}};
    for (const auto& [name, samples, correctionBlocks] : modes)
    {
        SCOPED_TRACE(name);
        m_voices.clear();
        Theremin& voice = AddVoice();
        Theremin::SetAutotuneSamples(samples, true);

        const double landOctave = -1.125 + 100 * 5.25 / 480.0; // -0.375 semitone
        Down(0, 100, 160);
        ExpectHz(PullOne(voice), OctaveHz(0.0), "a new finger starts exactly on the nearest note");
        const double correction = 0.0 - landOctave;
        const double restOctave = -1.125 + 112 * 5.25 / 480.0; // 1.2 semitones
        Move(0, 112, 160);
        Runs pitch;
        Pull(voice, 1024, &pitch);
        ASSERT_EQ(pitch.size(), 35u);
        ExpectHz(pitch.back().value, OctaveHz(restOctave + correction), "kept while moving");
        for (int block = 1; block <= 2; ++block)
            ExpectHz(PullEnd(voice), OctaveHz(restOctave + correction), "held while resting");

        // The third still block starts the correction toward semitone 1; each
        // block covers the gap left divided by the whole blocks left.
        const double aim = 1.0 / 12.0;
        for (int block = 1; block <= correctionBlocks; ++block)
        {
            SCOPED_TRACE(block);
            const double expected = restOctave + correction +
                                    (aim - restOctave - correction) * block / correctionBlocks;
            ExpectHz(PullEnd(voice), OctaveHz(expected));
        }
        ExpectHz(PullEnd(voice), OctaveHz(aim), "stays on the note");

        // Sliding on (0.4375 octave per block), five releases of 70 % leave
        // less than 1 % of a semitone.
        for (int x = 140; x <= 340; x += 40)
        {
            Move(0, x, 160);
            Pull(voice, 1024, &pitch);
        }
        const double semitones = 12.0 * std::log2(pitch.back().value / WindowHz(340));
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
        Runs pitch, timbre;
        Down(0, 100, 100);
        Pull(voice, 1024, &pitch, &timbre, timbreFirst);
        // One finger lifts and another lands on the same voice between two
        // blocks: the new one starts on its own pitch and timbre, no glide.
        Up(0);
        Down(1, 400, 200);
        Pull(voice, 1024, &pitch, &timbre, timbreFirst);
        ASSERT_EQ(pitch.size(), 1u);
        ExpectHz(pitch[0].value, WindowHz(400));
        ASSERT_EQ(timbre.size(), 1u);
        EXPECT_FLOAT_EQ(timbre[0].value, 1.0f - 200.0f / 320.0f);

        // A press that lifts before the next block still sounds for that block.
        Up(1);
        Down(2, 300, 80);
        Up(2);
        EXPECT_FALSE(voice.IsTouchActive()) << "free for the next finger at once";
        Pull(voice, 256, &pitch, &timbre, timbreFirst);
        ASSERT_EQ(pitch.size(), 1u);
        ExpectHz(pitch[0].value, WindowHz(300));
        EXPECT_FLOAT_EQ(timbre[0].value, 0.75f);
        EXPECT_EQ(PullOne(voice, 256), 0.0f) << "and then no longer";
        EXPECT_EQ(PullOne(voice, 256, 1), 0.0f);
    }
}

TEST_F(ThereminTest, AFingerLeavingTheSurfaceOrForgottenEndsItsNote)
{
    Theremin& voice = AddVoice();
    Down(0, 200, 100); // finger A
    EXPECT_GT(PullOne(voice), 0.0f);
    Move(0, 481, 100);
    EXPECT_FALSE(voice.IsTouchActive());
    EXPECT_EQ(PullOne(voice), 0.0f);
    EXPECT_EQ(PullOne(voice, 1024, 1), 0.0f);
    Move(0, 200, 100);
    EXPECT_EQ(PullOne(voice), 0.0f) << "sliding back in does not restart it";

    // A new finger B takes the voice without a slide; A, still owned by the
    // voice in the touch manager, no longer steers it.
    Down(1, 100, 50);
    ExpectHz(PullOne(voice), WindowHz(100));
    const float bTimbre = PullOne(voice, 1024, 1);
    Move(0, 300, 200);
    Up(0);
    EXPECT_TRUE(voice.IsTouchActive());
    ExpectHz(PullOne(voice), WindowHz(100));
    EXPECT_FLOAT_EQ(PullOne(voice, 1024, 1), bTimbre);

    // The frame poll follows the window under a still finger, with a glide.
    Theremin::SetPitchScale(1.0f);
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
    EXPECT_EQ(PullOne(second), 0.0f);
}

TEST_F(ThereminTest, FourVoicesTakeFourFingersAndAFifthIsIgnored)
{
    for (int i = 0; i < 4; ++i)
        AddVoice();
    for (int finger = 0; finger < 5; ++finger)
        Down(finger, 50 + 100 * finger, 160);
    for (int v = 0; v < 4; ++v)
    {
        SCOPED_TRACE(v);
        EXPECT_EQ(m_voices[v]->GetTouchID(), v);
        ExpectHz(PullOne(*m_voices[v]), WindowHz(50 + 100 * v));
    }
    EXPECT_EQ(Id(4), -1);

    // A lifted finger frees its voice and its id; the next finger takes both.
    Up(1);
    EXPECT_FALSE(m_voices[1]->IsTouchActive());
    Down(6, 200, 100);
    EXPECT_TRUE(m_voices[1]->IsTouchActive());
    EXPECT_EQ(m_voices[1]->GetTouchID(), 1);

    // A higher bidder under the finger wins over every free voice.
    Up(6);
    struct Widget : TouchListener
    {
        Widget() { TouchManager::GetInstance()->AddListener(this); }
        ~Widget() override { TouchManager::GetInstance()->RemoveListener(this); }
        bool TouchGetBid(int, int, float& bid) override
        {
            bid = 1000.0f;
            return true;
        }
    } widget;
    Down(5, 10, 10);
    EXPECT_FALSE(m_voices[1]->IsTouchActive());
}
