// The theremin control played with real touches through the real touch manager,
// heard by pulling its control blocks: the octave window, the note set, snap and
// gentle autotune, glides and fingers leaving the surface.
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "sound/SoundControl_Theremin.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
using Runs = std::vector<SoundControlBuffer::Run>;
using Theremin = SoundControl_Theremin;

// Frequency of octave o above the low C.
double Hz(double octave)
{
    return 65.406395 * std::pow(2.0, octave);
}

class ThereminTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        TouchManager::Startup();
        Theremin::ResetSettings();
        m_camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
    }
    void TearDown() override
    {
        m_voices.clear();
        TouchManager::Shutdown();
        Theremin::ResetSettings();
    }

    Theremin& AddVoice()
    {
        m_voices.push_back(std::make_unique<Theremin>());
        m_voices.back()->SetCamera(&m_camera);
        return *m_voices.back();
    }

    // Contacts at landscape points; the manager adds its 5-point x offset, so
    // the view position is 5 points to the left.
    void* Handle(int i) { return &m_handles[i]; }
    void Down(int handle, int x, int y)
    {
        TouchManager::GetInstance()->TouchBegan(Handle(handle), x - TouchManager::c_iOffsetX, y);
    }
    void Move(int handle, int x, int y)
    {
        TouchManager* manager = TouchManager::GetInstance();
        manager->TouchMoved(manager->FindTouchID(Handle(handle)), x - TouchManager::c_iOffsetX, y);
    }
    void Up(int handle)
    {
        TouchManager* manager = TouchManager::GetInstance();
        const int id = manager->FindTouchID(Handle(handle));
        int x = 0, y = 0;
        manager->GetTouchPosition(id, x, y);
        manager->TouchEnded(id, x - TouchManager::c_iOffsetX, y);
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
            ASSERT_NE(buffer, nullptr);
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
        return pitch.empty() ? -1.0f : pitch.back().value;
    }
    // The value of a block that must be one run.
    float PullOne(Theremin& voice, int count = 1024, int channel = 0)
    {
        Runs pitch, timbre;
        Pull(voice, count, &pitch, &timbre);
        const Runs& runs = channel == 0 ? pitch : timbre;
        EXPECT_EQ(runs.size(), 1u);
        return runs.empty() ? -1.0f : runs[0].value;
    }

    zindle_test::ScopedSoundManager m_sound;
    Camera_2D m_camera;
    std::vector<std::unique_ptr<Theremin>> m_voices;
    char m_handles[16] = {};
    int m_iStamp = 0;
};

void ExpectHz(double actual, double expected, const char* what = "")
{
    EXPECT_NEAR(actual, expected, expected * 2e-5) << what;
}

// Toggles the classes so that exactly `notes` are enabled.
void EnableOnly(std::initializer_list<int> notes)
{
    for (int note : notes)
    {
        if (!Theremin::IsNoteEnabled(note))
            Theremin::ToggleNote(note);
    }
    for (int i = 0; i < 12; ++i)
    {
        if (Theremin::IsNoteEnabled(i) && std::find(notes.begin(), notes.end(), i) == notes.end())
            Theremin::ToggleNote(i);
    }
}
} // namespace

TEST_F(ThereminTest, FirstVoiceOpensTheDefaultWindow)
{
    EXPECT_FLOAT_EQ(Theremin::GetPitchScale(), 0.0f);
    AddVoice();
    EXPECT_FLOAT_EQ(Theremin::GetPitchScale(), 0.5f);
    EXPECT_FLOAT_EQ(Theremin::GetMinOctave(), -1.125f);
    EXPECT_FLOAT_EQ(Theremin::GetMaxOctave(), 4.125f);
    // A later voice leaves the window where the player put it.
    Theremin::SetPitchScale(0.0f);
    AddVoice();
    EXPECT_FLOAT_EQ(Theremin::GetPitchScale(), 0.0f);
}

TEST_F(ThereminTest, PitchAtTheWindowsEdgesAndMiddle)
{
    struct Case
    {
        const char* name;
        float pitch, zoom;
        std::initializer_list<int> snapNotes; // empty: autotune off
        double minOctave, maxOctave;
    };
    const Case cases[] = {
        {"default", 0.5f, 0.0f, {}, -1.125, 4.125},
        {"lowest", 0.0f, 0.0f, {}, -2.4375, 2.8125},
        {"highest", 1.0f, 0.0f, {}, 0.1875, 5.4375},
        // width 0.5 * 5.25 + 0.5 * 1.0825 = 3.16625, slack 4.70875
        {"half zoom, quarter pitch", 0.25f, 0.5f, {}, -1.2603125, 1.9059375},
        // full zoom: one octave plus 0.99 of a zone, 1.0825 octaves
        {"full zoom", 0.5f, 1.0f, {}, 0.95875, 2.04125},
        // snap with seven notes: (7 + 0.99) / 7 = 1.141428 octaves
        {"full zoom, snap, seven notes", 0.5f, 1.0f, {0, 2, 4, 5, 7, 9, 11}, 0.9292857, 2.0707143},
    };
    Theremin& voice = AddVoice();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Theremin::ResetSettings();
        Theremin::SetPitchScale(0.5f);
        if (c.snapNotes.size() != 0)
        {
            EnableOnly(c.snapNotes);
            Theremin::SetAutotuneSamples(0, true);
        }
        Theremin::SetPitchScale(c.pitch);
        Theremin::SetPitchZoom(c.zoom);
        EXPECT_NEAR(Theremin::GetMinOctave(), c.minOctave, 1e-5);
        EXPECT_NEAR(Theremin::GetMaxOctave(), c.maxOctave, 1e-5);
        if (c.snapNotes.size() != 0)
            continue; // snapped pitches are checked on their own
        const int xs[] = {0, 240, 480};
        for (int x : xs)
        {
            SCOPED_TRACE(x);
            Down(0, x, 160);
            ASSERT_TRUE(voice.IsTouchActive());
            const double octave = c.minOctave + (x / 480.0) * (c.maxOctave - c.minOctave);
            ExpectHz(PullOne(voice), Hz(octave));
            Up(0);
            EXPECT_EQ(PullOne(voice), 0.0f);
        }
    }
}

TEST_F(ThereminTest, DefaultWindowNumbers)
{
    Theremin& voice = AddVoice();
    const struct
    {
        int x;
        double hz;
    } points[] = {{0, 29.99}, {240, 185.0}, {480, 1141.2}};
    for (const auto& p : points)
    {
        SCOPED_TRACE(p.x);
        Down(0, p.x, 160);
        EXPECT_NEAR(PullOne(voice), p.hz, 0.05);
        Up(0);
        PullOne(voice);
    }
    EXPECT_NEAR(Theremin::OctaveToTouch(1.5f), 0.5f, 1e-6);
}

TEST_F(ThereminTest, FullZoomStepsTheWindowByOneZoneAndClampsIt)
{
    AddVoice();
    Theremin::SetPitchZoom(1.0f);
    const float width = Theremin::GetMaxOctave() - Theremin::GetMinOctave();
    EXPECT_NEAR(width, 1.0825f, 1e-5);

    // k = (int)(0.5 + 12 * 0.95875) = 12: one zone up puts the edge at 12.5 / 12.
    Theremin::SetPitchScale(0.9f);
    EXPECT_NEAR(Theremin::GetMinOctave(), 12.5f / 12.0f, 1e-6);
    EXPECT_NEAR(Theremin::GetMaxOctave() - Theremin::GetMinOctave(), width, 1e-5);
    EXPECT_NEAR(Theremin::GetPitchScale(), (12.5f / 12.0f + 2.4375f) / (7.875f - width), 1e-6);

    // The slider at the current fraction changes nothing.
    Theremin::SetPitchScale(Theremin::GetPitchScale());
    EXPECT_NEAR(Theremin::GetMinOctave(), 12.5f / 12.0f, 1e-6);

    Theremin::SetPitchScale(0.0f);
    EXPECT_NEAR(Theremin::GetMinOctave(), 11.5f / 12.0f, 1e-6);
    Theremin::SetPitchScale(0.0f);
    EXPECT_NEAR(Theremin::GetMinOctave(), 10.5f / 12.0f, 1e-6);

    // Past the ends of the full range the window falls back to a fraction of 0 or 1.
    Theremin::SetMinOctave(-10.0f);
    EXPECT_FLOAT_EQ(Theremin::GetPitchScale(), 0.0f);
    EXPECT_FLOAT_EQ(Theremin::GetMinOctave(), -2.4375f);
    Theremin::SetMinOctave(10.0f);
    EXPECT_FLOAT_EQ(Theremin::GetPitchScale(), 1.0f);
    EXPECT_FLOAT_EQ(Theremin::GetMaxOctave(), 5.4375f);
}

TEST_F(ThereminTest, FullZoomStepsOneZoneWhateverTheZoneCount)
{
    // Zone counts whose edges n * o + 0.5 round just below a whole number.
    const struct
    {
        std::initializer_list<int> notes;
        int j; // the edge sits at (j + 0.5) / n
    } cases[] = {{{0, 2, 4, 5, 7, 9, 11}, 15},
                 {{0, 2, 4, 5, 7, 9, 11}, -16},
                 {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 6},
                 {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, -7},
                 {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 20}};
    AddVoice();
    Theremin::SetAutotuneSamples(0, true);
    for (const auto& c : cases)
    {
        const float n = static_cast<float>(c.notes.size());
        SCOPED_TRACE(testing::Message() << "n " << n << " j " << c.j);
        EnableOnly(c.notes);
        Theremin::SetPitchZoom(1.0f);
        for (int direction : {1, -1})
        {
            Theremin::SetMinOctave((static_cast<float>(c.j) + 0.5f) / n);
            Theremin::SetPitchScale(Theremin::GetPitchScale() + 0.01f * direction);
            EXPECT_NEAR(Theremin::GetMinOctave(), (c.j + 0.5 + direction) / n, 1e-5) << direction;
        }
    }
}

TEST_F(ThereminTest, AModeOrNoteChangeWaitsForTheNextWindowChange)
{
    AddVoice();
    Theremin::SetPitchZoom(1.0f);
    const float before = Theremin::GetMaxOctave() - Theremin::GetMinOctave();
    EnableOnly({0, 7});
    Theremin::SetAutotuneSamples(0, true);
    EXPECT_FLOAT_EQ(Theremin::GetMaxOctave() - Theremin::GetMinOctave(), before);
    Theremin::SetPitchZoom(1.0f);
    EXPECT_NEAR(Theremin::GetMaxOctave() - Theremin::GetMinOctave(), 2.99f / 2.0f, 1e-5);
}

TEST_F(ThereminTest, NoteSetTogglesKeepsTheLastNoteAndRebuildsTables)
{
    EXPECT_EQ(Theremin::GetEnabledNoteCount(), 12);
    EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(3.4f), 3.0f);
    EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(11.6f), 12.0f);

    EnableOnly({0, 7});
    EXPECT_EQ(Theremin::GetEnabledNoteCount(), 2);
    {
        SCOPED_TRACE("C and G");
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(3.5f), 0.0f) << "ties go down";
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(3.6f), 7.0f);
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(10.0f), 12.0f);
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(-0.4f), 0.0f);
        // Notes counted across octaves, below the first one too.
        const float expected[] = {-17, -12, -5, 0, 7, 12, 19};
        for (int i = -3; i <= 3; ++i)
            EXPECT_FLOAT_EQ(Theremin::GetEnabledNoteValue(i), expected[i + 3]) << i;
        // The assist table: half-semitone bin 7 (3.5 .. 4 semitones) goes to G,
        // bin 6 (3 .. 3.5) to C, bin 23 to the next C.
        EXPECT_FLOAT_EQ(Theremin::AssistedOctave(3.75f / 12.0f), 7.0f / 12.0f);
        EXPECT_FLOAT_EQ(Theremin::AssistedOctave(3.25f / 12.0f), 0.0f);
        EXPECT_FLOAT_EQ(Theremin::AssistedOctave(1.0f + 11.9f / 12.0f), 2.0f);
    }
    {
        SCOPED_TRACE("C alone");
        Theremin::ToggleNote(7);
        EXPECT_EQ(Theremin::GetEnabledNoteCount(), 1);
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(11.6f), 12.0f);
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(5.9f), 0.0f);
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(6.0f), 0.0f);
        EXPECT_FLOAT_EQ(Theremin::NearestEnabledNote(6.1f), 12.0f);
        Theremin::ToggleNote(0);
        EXPECT_EQ(Theremin::GetEnabledNoteCount(), 1);
        EXPECT_TRUE(Theremin::IsNoteEnabled(0));
        EXPECT_FLOAT_EQ(Theremin::GetEnabledNoteValue(-1), -12.0f);
        EXPECT_FLOAT_EQ(Theremin::GetEnabledNoteValue(2), 24.0f);
    }
    {
        SCOPED_TRACE("bad note numbers are ignored");
        Theremin::ToggleNote(12);
        Theremin::ToggleNote(-1);
        EXPECT_EQ(Theremin::GetEnabledNoteCount(), 1);
        EXPECT_FALSE(Theremin::IsNoteEnabled(12));
    }
    {
        SCOPED_TRACE("back to all twelve");
        for (int i = 1; i < 12; ++i)
            Theremin::ToggleNote(i);
        EXPECT_EQ(Theremin::GetEnabledNoteCount(), 12);
        for (int i = 0; i < 24; ++i)
            EXPECT_FLOAT_EQ(Theremin::AssistedOctave((0.25f + 0.5f * i) / 12.0f),
                            static_cast<float>((i + 1) / 2) / 12.0f)
                << i;
    }
}

TEST_F(ThereminTest, SnapLandsExactlyOnEnabledSemitones)
{
    EXPECT_FLOAT_EQ(Theremin::OctaveToNearestEnabledNote_Snap(0.04f), 0.0f);
    EXPECT_FLOAT_EQ(Theremin::OctaveToNearestEnabledNote_Snap(0.05f), 1.0f);

    Theremin& voice = AddVoice();
    EnableOnly({0, 4, 7});
    Theremin::SetAutotuneSamples(0, true);
    ASSERT_TRUE(Theremin::IsAutotuneEnabled_Snap());
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
        if (hz > last)
            ++notesHeard;
        last = hz;
    }
    // 5.25 octaves of three zones each.
    EXPECT_GE(notesHeard, 15);
    EXPECT_LE(notesHeard, 17);
}

TEST_F(ThereminTest, SnapJustBelowAnOctaveStaysInsideTheNoteTable)
{
    // u - floor(u) rounds up to 1.0 here; the last zone of the octave below plays.
    for (int n : {12, 2})
    {
        SCOPED_TRACE(n);
        if (n == 2)
            EnableOnly({0, 7});
        const float zoneHalf = 0.5f / static_cast<float>(n);
        const float octave = std::nextafter(-zoneHalf, -1.0f);
        EXPECT_FLOAT_EQ(Theremin::OctaveToNearestEnabledNote_Snap(octave), n == 12 ? -1.0f : -5.0f);
        // The assisted octave has the same edge.
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

    Move(0, 360, 240);
    const double toHz = Hz(-1.125 + 0.75 * 5.25);
    Pull(voice, 1024, &pitch, &timbre);
    {
        SCOPED_TRACE("pitch: 34 runs of 30 samples and one of 4, linear in hertz");
        ASSERT_EQ(pitch.size(), 35u);
        for (int i = 0; i < 34; ++i)
        {
            EXPECT_EQ(pitch[i].length, 30);
            ExpectHz(pitch[i].value, fromHz + (toHz - fromHz) * (i + 1) / 34.0);
        }
        EXPECT_EQ(pitch[34].length, 4);
        ExpectHz(pitch[34].value, toHz);
    }
    {
        SCOPED_TRACE("timbre: the same runs from 0.75 to 0.25");
        ASSERT_EQ(timbre.size(), 35u);
        for (int i = 0; i < 34; ++i)
            EXPECT_NEAR(timbre[i].value, 0.75 - 0.5 * (i + 1) / 34.0, 1e-5);
        EXPECT_FLOAT_EQ(timbre[34].value, 0.25f);
    }
    // At rest the pitch stays on the target.
    ExpectHz(PullEnd(voice), toHz);

    {
        SCOPED_TRACE("a block of a whole number of runs has no remainder");
        Move(0, 240, 240);
        Pull(voice, 60, &pitch, &timbre);
        ASSERT_EQ(pitch.size(), 2u);
        ExpectHz(pitch[1].value, Hz(1.5));
    }
    {
        SCOPED_TRACE("a block shorter than one run reaches the target at once");
        for (int count : {1, 17, 29})
        {
            Move(0, 100 + count, 200);
            Pull(voice, count, &pitch, &timbre);
            ASSERT_EQ(pitch.size(), 1u);
            ExpectHz(pitch[0].value, Hz(-1.125 + (100 + count) / 480.0 * 5.25));
            ASSERT_EQ(timbre.size(), 1u);
            EXPECT_NEAR(timbre[0].value, 1.0 - 200 / 320.0, 1e-6);
        }
    }
}

TEST_F(ThereminTest, GentleAutotuneStartsOnANoteAndCorrectsOnlyAfterRest)
{
    // The window starts at octave -1.125 and a point is 5.25 / 480 octave.
    struct Mode
    {
        const char* name;
        int samples;
        int correctionBlocks; // 1024-sample blocks from the start of the correction
    };
    const Mode modes[] = {{"Slow", 4410, 4}, {"Fast", 264, 1}};
    for (const Mode& mode : modes)
    {
        SCOPED_TRACE(mode.name);
        Theremin::ResetSettings();
        m_voices.clear();
        Theremin& voice = AddVoice();
        Theremin::SetAutotuneSamples(mode.samples, true);
        EXPECT_EQ(Theremin::GetCorrectionSamples(), mode.samples);

        const double landOctave = -1.125 + 100 * 5.25 / 480.0; // -0.03125: -0.375 semitone
        Down(0, 100, 160);
        ExpectHz(PullOne(voice), Hz(0.0), "a new finger starts exactly on the nearest note");

        // A small move keeps the correction (0.375 semitone up) while it moves.
        const double restOctave = -1.125 + 112 * 5.25 / 480.0; // 0.09999: 1.2 semitones
        Move(0, 112, 160);
        Runs pitch;
        Pull(voice, 1024, &pitch);
        ASSERT_EQ(pitch.size(), 35u);
        const double correction = 0.0 - landOctave;
        ExpectHz(pitch.back().value, Hz(restOctave + correction));

        // Resting: the count reaches 3072 samples in the third still block,
        // which starts the correction toward semitone 1.
        const double aim = 1.0 / 12.0;
        for (int block = 1; block <= 2; ++block)
        {
            SCOPED_TRACE(block);
            ExpectHz(PullEnd(voice), Hz(restOctave + correction), "held while resting");
        }
        for (int block = 1; block <= mode.correctionBlocks; ++block)
        {
            SCOPED_TRACE(block);
            Pull(voice, 1024, &pitch);
            const double end = pitch.back().value;
            if (block < mode.correctionBlocks)
            {
                // Each block covers the gap left divided by the whole blocks left.
                const double expectedCorrection =
                    correction + (aim - restOctave - correction) * block / mode.correctionBlocks;
                ExpectHz(end, Hz(restOctave + expectedCorrection), "on the way");
                EXPECT_GT(std::fabs(end - Hz(aim)), 0.05);
            }
            else
            {
                ExpectHz(end, Hz(aim), "arrived");
            }
        }
        ExpectHz(PullEnd(voice), Hz(aim), "stays on the note");
        Up(0);
    }
}

TEST_F(ThereminTest, GentleAutotuneReleasesItsCorrectionDuringASlide)
{
    Theremin& voice = AddVoice();
    Theremin::SetAutotuneSamples(264, true);
    Down(0, 100, 160); // 0.375 semitone below C: corrected up to C
    ExpectHz(PullOne(voice), Hz(0.0));
    Runs pitch;
    for (int x = 140; x <= 340; x += 40) // 0.4375 octave per block
    {
        Move(0, x, 160);
        Pull(voice, 1024, &pitch);
    }
    // After five releases of 70 % the correction is below 1 % of a semitone.
    const double raw = -1.125 + 340 * 5.25 / 480.0;
    const double semitones = 12.0 * std::log2(pitch.back().value / Hz(raw));
    EXPECT_NEAR(semitones, 0.0, 0.01);
    EXPECT_GT(semitones, 0.0);
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
        ExpectHz(pitch[0].value, Hz(-1.125 + 5.25 * 400.0 / 480.0));
        ASSERT_EQ(timbre.size(), 1u);
        EXPECT_FLOAT_EQ(timbre[0].value, 1.0f - 200.0f / 320.0f);

        // A press that lifts before the next block still sounds for that block.
        Up(1);
        Down(2, 300, 80);
        Up(2);
        EXPECT_FALSE(voice.IsTouchActive()) << "free for the next finger at once";
        Pull(voice, 256, &pitch, &timbre, timbreFirst);
        ASSERT_EQ(pitch.size(), 1u);
        ExpectHz(pitch[0].value, Hz(-1.125 + 5.25 * 300.0 / 480.0));
        EXPECT_FLOAT_EQ(timbre[0].value, 0.75f);
        EXPECT_EQ(PullOne(voice, 256), 0.0f) << "and then no longer";
        EXPECT_EQ(PullOne(voice, 256, 1), 0.0f);
    }
}

TEST_F(ThereminTest, AFingerSlidingOutOfTheSurfaceEndsTheNote)
{
    Theremin& voice = AddVoice();
    Down(0, 200, 100);
    EXPECT_GT(PullOne(voice), 0.0f);
    Move(0, 481, 100);
    EXPECT_FALSE(voice.IsTouchActive());
    EXPECT_EQ(PullOne(voice), 0.0f);
    EXPECT_EQ(PullOne(voice, 1024, 1), 0.0f);
    // Sliding back in does not restart it; a new touch anywhere does, without a slide.
    Move(0, 200, 100);
    EXPECT_EQ(PullOne(voice), 0.0f);
    Down(1, 400, 100);
    ExpectHz(PullOne(voice), Hz(-1.125 + 400 / 480.0 * 5.25));
    // A finger landing outside the playing area plays nothing.
    Theremin& second = AddVoice();
    m_camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(240.0f, 320.0f));
    Down(2, 300, 100);
    EXPECT_FALSE(second.IsTouchActive());
    EXPECT_EQ(PullOne(second), 0.0f);
}

TEST_F(ThereminTest, AGivenUpTouchNoLongerSteersTheVoice)
{
    Theremin& voice = AddVoice();
    Down(0, 200, 100); // finger A
    PullOne(voice);
    Move(0, 490, 100); // A slides past the right edge: the voice lets go
    EXPECT_FALSE(voice.IsTouchActive());
    Down(1, 100, 50); // finger B takes the same voice
    ASSERT_TRUE(voice.IsTouchActive());
    const double bHz = Hz(-1.125 + 100 / 480.0 * 5.25);
    ExpectHz(PullOne(voice), bHz);
    const float bTimbre = PullOne(voice, 1024, 1);

    Move(0, 300, 200); // A is still owned by the voice in the touch manager
    EXPECT_TRUE(voice.IsTouchActive());
    ExpectHz(PullOne(voice), bHz);
    Up(0);
    EXPECT_TRUE(voice.IsTouchActive());
    ExpectHz(PullOne(voice), bHz);
    EXPECT_FLOAT_EQ(PullOne(voice, 1024, 1), bTimbre);
    TouchManager::GetInstance()->KillUnverifiedTouches(); // cancels B
    EXPECT_FALSE(voice.IsTouchActive());
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
        EXPECT_TRUE(m_voices[v]->IsTouchActive());
        EXPECT_EQ(m_voices[v]->GetTouchID(), v);
        ExpectHz(PullOne(*m_voices[v]), Hz(-1.125 + (50 + 100 * v) / 480.0 * 5.25));
    }
    EXPECT_EQ(TouchManager::GetInstance()->FindTouchID(Handle(4)), -1);

    // A lifted finger frees its voice and its id; the next finger takes both.
    Up(1);
    EXPECT_FALSE(m_voices[1]->IsTouchActive());
    Down(6, 200, 100);
    EXPECT_TRUE(m_voices[1]->IsTouchActive());
    EXPECT_EQ(m_voices[1]->GetTouchID(), 1);

    // A higher bidder under the finger wins over every free voice.
    Up(6);
    class Widget : public TouchListener
    {
      public:
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

TEST_F(ThereminTest, FramePollFollowsTheWindowAndDropsAnUnknownTouch)
{
    Theremin& voice = AddVoice();
    Down(0, 240, 20);
    ExpectHz(PullOne(voice), Hz(1.5));
    // The pitch slider moves the window under a still finger.
    Theremin::SetPitchScale(1.0f);
    voice.UpdateTouchPosition();
    ExpectHz(PullEnd(voice), Hz((0.1875 + 5.4375) / 2.0), "glides to the new pitch");

    // A touch manager that has forgotten the touch ends the note.
    TouchManager::Shutdown();
    TouchManager::Startup();
    voice.UpdateTouchPosition();
    EXPECT_FALSE(voice.IsTouchActive());
    EXPECT_EQ(PullOne(voice), 0.0f);
}
