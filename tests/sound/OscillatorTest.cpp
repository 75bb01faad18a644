// What a listener hears from the oscillators: pitch, level, band-limiting and
// how each one ends a note.
#include "SoundTestSupport.h"
#include "sound/SoundSource_BLPulse.h"
#include "sound/SoundSource_BLSaw.h"
#include "sound/SoundSource_Osc_Sine.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

using namespace zindle_test;

namespace
{
constexpr int c_iSecond = 44100;

// Power at the harmonics a saw of `hz` folds back below half the sample rate
// (harmonics 2 Nyquist and up), relative to the fundamental's, in dB.
double AliasLevelDb(const std::vector<float>& x, double hz)
{
    double alias = 0.0;
    for (int k = 1; k * hz < 40.0 * 44100.0; ++k)
    {
        double f = std::fmod(k * hz, 44100.0);
        if (f > 22050.0)
            f = 44100.0 - f;
        if (k * hz <= 22050.0 || f < 20.0)
            continue; // a true harmonic, or folded onto DC
        const double m = Magnitude(x, f, 1000);
        alias += m * m;
    }
    const double fundamental = Magnitude(x, hz, 1000);
    return 10.0 * std::log10(alias / (fundamental * fundamental));
}
} // namespace

TEST(BLSaw, FundamentalAndLevelAtSeveralPitches)
{
    ScopedSoundManager sound;
    for (float hz : {30.0f, 110.0f, 440.0f, 1141.0f, 3520.0f})
    {
        SCOPED_TRACE("pitch " + std::to_string(hz));
        TestControl pitch(hz);
        SoundSource_BLSaw saw;
        saw.SetPitchSource(&pitch, 0);
        const std::vector<float> out = Render(&saw, c_iSecond);
        EXPECT_NEAR(MeasureFrequency(out), hz, hz * 0.002);
        // A falling ramp from about +0.7 pi/2 to -0.7 pi/2: RMS is its peak / sqrt(3).
        const double rampPeak = 0.7 * std::numbers::pi / 2.0;
        EXPECT_NEAR(Rms(out, 2000), rampPeak / std::sqrt(3.0), rampPeak * 0.05);
        EXPECT_LT(Peak(out), rampPeak * 1.25);
        EXPECT_NEAR(Mean(out, 2000), 0.0, 0.02);
    }
}

TEST(BLSaw, AliasesAtLeast8DbLessThanANaiveRampAtHighPitch)
{
    ScopedSoundManager sound;
    const float hz = 2999.0f;
    TestControl pitch(hz);
    SoundSource_BLSaw saw;
    saw.SetPitchSource(&pitch, 0);
    const std::vector<float> bandLimited = Render(&saw, c_iSecond);

    std::vector<float> naive(bandLimited.size());
    double phase = 0.0;
    for (float& x : naive)
    {
        x = static_cast<float>(1.1 * (1.0 - 2.0 * phase));
        phase = std::fmod(phase + hz / 44100.0, 1.0);
    }
    const double naiveDb = AliasLevelDb(naive, hz);
    const double bandLimitedDb = AliasLevelDb(bandLimited, hz);
    RecordProperty("naive_alias_db", std::to_string(naiveDb));
    RecordProperty("blsaw_alias_db", std::to_string(bandLimitedDb));
    EXPECT_LT(bandLimitedDb, naiveDb - 8.0) << "naive " << naiveDb << " dB";
}

TEST(BLPulse, FundamentalAndSquareLevelsAtSeveralPitchesIncludingBelowOneEntryPerSample)
{
    ScopedSoundManager sound;
    // 10 and 15 Hz step less than one table entry per sample.
    for (float hz : {10.0f, 15.0f, 110.0f, 660.0f, 2000.0f})
    {
        SCOPED_TRACE("pitch " + std::to_string(hz));
        TestControl pitch(hz);
        TestControl width(0.5f);
        SoundSource_BLPulse pulse;
        pulse.SetPitchSource(&pitch, 0);
        pulse.SetWidthSource(&width, 0);
        const std::vector<float> out = Render(&pulse, 2 * c_iSecond);
        EXPECT_NEAR(MeasureFrequency(out), hz, hz * 0.002);
        // A square swinging about +-0.7 pi / 2 with zero mean.
        const double level = 0.7 * std::numbers::pi / 2.0;
        EXPECT_NEAR(Mean(out), 0.0, 0.01);
        // Nearly every sample sits on one of the two levels; only the edges
        // (where the low-pitch reading extrapolates) stray.
        long onLevel = 0;
        for (float x : out)
            onLevel += std::fabs(std::fabs(x) - level) < 0.1 * level ? 1 : 0;
        if (hz <= 660.0f)
        {
            EXPECT_GT(static_cast<double>(onLevel) / static_cast<double>(out.size()), 0.97);
        }
        EXPECT_NEAR(Rms(out), level, level * 0.08);
        EXPECT_LT(Peak(out), level * 3.0f);
    }
}

TEST(BLPulse, WidthSetsTheDutyCycleZeroIsSilenceAndHalfIsZeroMeanSquare)
{
    ScopedSoundManager sound;
    for (float w : {0.0f, 0.25f, 0.5f, 0.9f})
    {
        SCOPED_TRACE("width " + std::to_string(w));
        TestControl pitch(220.0f);
        TestControl width(w);
        SoundSource_BLPulse pulse;
        pulse.SetPitchSource(&pitch, 0);
        pulse.SetWidthSource(&width, 0);
        const std::vector<float> out = Render(&pulse, c_iSecond);
        if (w == 0.0f)
        {
            EXPECT_LT(Peak(out), 1e-3f);
            continue;
        }
        EXPECT_NEAR(Mean(out), 0.0, 0.01);
        // Share of samples on the high level: the high level lasts w of the period
        // (0.7 pi w), the low level the rest (0.7 pi (w - 1)).
        long high = 0;
        for (float x : out)
            high += x > 0.0f ? 1 : 0;
        const double duty = static_cast<double>(high) / static_cast<double>(out.size());
        EXPECT_NEAR(duty, 1.0 - w, 0.01);
    }
}

TEST(OscSine, FundamentalAndUnitLevelAtSeveralPitches)
{
    ScopedSoundManager sound;
    for (float hz : {30.0f, 440.0f, 5000.0f})
    {
        SCOPED_TRACE("pitch " + std::to_string(hz));
        TestControl pitch(hz);
        SoundSource_Osc_Sine sine;
        sine.SetPitchSource(&pitch, 0);
        const std::vector<float> out = Render(&sine, c_iSecond);
        EXPECT_NEAR(MeasureFrequency(out), hz, hz * 0.002);
        EXPECT_NEAR(Magnitude(out, hz), 1.0, 0.01);
        EXPECT_LE(Peak(out), 1.0f);
    }
}

// How each oscillator ends a note: the saw fades over one block, the sine plays
// one unfaded block, the pulse stops at once; all are then silent and start the
// next note from phase 0.
TEST(Oscillators, EachEndsANoteItsOwnWayAndStaysSilent)
{
    ScopedSoundManager sound;
    const int block = 512;
    for (float endPitch : {0.0f, -50.0f})
    {
        SCOPED_TRACE("end pitch " + std::to_string(endPitch));
        TestControl pitch(440.0f);
        TestControl width(0.5f);
        SoundSource_BLSaw saw;
        SoundSource_BLPulse pulse;
        SoundSource_Osc_Sine sine;
        saw.SetPitchSource(&pitch, 0);
        pulse.SetPitchSource(&pitch, 0);
        pulse.SetWidthSource(&width, 0);
        sine.SetPitchSource(&pitch, 0);

        for (int i = 0; i < 4; ++i)
        {
            EXPECT_TRUE(PullBlock(&saw, block).produced);
            EXPECT_TRUE(PullBlock(&pulse, block).produced);
            EXPECT_TRUE(PullBlock(&sine, block).produced);
        }
        pitch.SetValue(endPitch);

        // Saw: a block at the old pitch under a x0.98-per-sample fade.
        const Block sawTail = PullBlock(&saw, block);
        ASSERT_TRUE(sawTail.produced);
        EXPECT_GT(Peak(sawTail.samples, 0, 20), 0.05f);
        for (int i = 0; i < block; ++i)
            ASSERT_LE(std::fabs(sawTail.samples[i]), 1.25f * std::pow(0.98f, i) + 1e-6f)
                << "sample " << i;

        // Sine: only the exact 0 Hz ends its note; a negative pitch holds its value.
        const Block sineTail = PullBlock(&sine, block);
        ASSERT_TRUE(sineTail.produced);
        if (endPitch == 0.0f)
        {
            EXPECT_NEAR(MeasureFrequency(sineTail.samples), 440.0, 10.0);
            EXPECT_GT(Peak(sineTail.samples, block - 120), 0.95f); // not faded
        }
        else
        {
            EXPECT_EQ(Peak(sineTail.samples), std::fabs(sineTail.samples[0]));
            EXPECT_EQ(sineTail.samples.front(), sineTail.samples.back());
        }

        // Pulse: no tail at 0 Hz; a negative pitch is silence written out.
        const Block pulseTail = PullBlock(&pulse, block);
        if (endPitch == 0.0f)
            EXPECT_FALSE(pulseTail.produced);
        else
            EXPECT_EQ(Peak(pulseTail.samples), 0.0f);

        for (int i = 0; i < 3; ++i)
        {
            EXPECT_FALSE(PullBlock(&saw, block).produced);
            if (endPitch == 0.0f)
            {
                EXPECT_FALSE(PullBlock(&sine, block).produced);
                EXPECT_FALSE(PullBlock(&pulse, block).produced);
            }
        }

        // The next note starts from phase 0.
        pitch.SetValue(440.0f);
        const Block sawAgain = PullBlock(&saw, block);
        ASSERT_TRUE(sawAgain.produced);
        EXPECT_EQ(sawAgain.samples[0], 0.0f);
        if (endPitch == 0.0f)
        {
            const Block sineAgain = PullBlock(&sine, block);
            ASSERT_TRUE(sineAgain.produced);
            EXPECT_EQ(sineAgain.samples[0], 0.0f);
        }
    }
}

TEST(Oscillators, ZeroPitchRunInsideABlockDoesNotEndTheNote)
{
    ScopedSoundManager sound;
    TestControl pitch(440.0f);
    TestControl width(0.5f);
    SoundSource_BLSaw saw;
    SoundSource_BLPulse pulse;
    SoundSource_Osc_Sine sine;
    saw.SetPitchSource(&pitch, 0);
    pulse.SetPitchSource(&pitch, 0);
    pulse.SetWidthSource(&width, 0);
    sine.SetPitchSource(&pitch, 0);
    PullBlock(&saw, 512);
    PullBlock(&pulse, 512);
    PullBlock(&sine, 512);

    pitch.SetRuns({{440.0f, 200}, {0.0f, 100}, {440.0f, 212}});
    const Block sawBlock = PullBlock(&saw, 512);
    const Block pulseBlock = PullBlock(&pulse, 512);
    const Block sineBlock = PullBlock(&sine, 512);
    ASSERT_TRUE(sawBlock.produced && pulseBlock.produced && sineBlock.produced);
    EXPECT_EQ(Peak(sawBlock.samples, 200, 300), 0.0f);
    EXPECT_GT(Peak(sawBlock.samples, 300, 512), 0.5f);
    EXPECT_EQ(Peak(pulseBlock.samples, 200, 300), 0.0f);
    EXPECT_GT(Peak(pulseBlock.samples, 300, 512), 0.5f);
    for (int i = 200; i < 300; ++i)
        ASSERT_EQ(sineBlock.samples[i], sineBlock.samples[200]); // holds its value
    EXPECT_GT(Peak(sineBlock.samples, 300, 512), 0.9f);
}

// A pitch that is not a finite number is no note, and a pitch far above half
// the sample rate never steps outside the table (ASan watches the reads).
TEST(Oscillators, NonFiniteOrHugePitchGivesFiniteOutput)
{
    ScopedSoundManager sound;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<std::pair<float, int>>> cases = {
        {{nan, 512}},
        {{inf, 512}},
        {{-inf, 512}},
        {{1e30f, 512}},
        {{44100.0f, 512}},
        {{440.0f, 100}, {nan, 100}, {1e9f, 312}},
        {{-1e30f, 512}},
        {{30000.0f, 512}},
        {{440.0f, 256}, {inf, 256}},
        {{1e-38f, 512}},
        {{440.0f, 256}, {1e-38f, 256}},
    };
    for (size_t c = 0; c < cases.size(); ++c)
    {
        SCOPED_TRACE("case " + std::to_string(c));
        TestControl pitch(440.0f);
        TestControl width(0.5f);
        SoundSource_BLSaw saw;
        SoundSource_BLPulse pulse;
        SoundSource_Osc_Sine sine;
        saw.SetPitchSource(&pitch, 0);
        pulse.SetPitchSource(&pitch, 0);
        pulse.SetWidthSource(&width, 0);
        sine.SetPitchSource(&pitch, 0);
        Render(&saw, 1024);
        Render(&pulse, 1024);
        Render(&sine, 1024);
        pitch.SetRuns(cases[c]);
        for (SoundStreamSource* source :
             {static_cast<SoundStreamSource*>(&saw), static_cast<SoundStreamSource*>(&pulse),
              static_cast<SoundStreamSource*>(&sine)})
        {
            const std::vector<float> out = Render(source, 4096, 512);
            EXPECT_TRUE(AllFinite(out));
            // An abrupt jump between extreme pitches leaves a one-sample step
            // (the difference spans the old increment), but nothing unbounded.
            EXPECT_LT(Peak(out), 64.0f);
        }
    }
    // A width that is not a number, or outside [0, 1], still reads inside the table.
    for (float w : {nan, inf, -3.0f, 7.0f})
    {
        TestControl pitch(440.0f);
        TestControl width(w);
        SoundSource_BLPulse pulse;
        pulse.SetPitchSource(&pitch, 0);
        pulse.SetWidthSource(&width, 0);
        const std::vector<float> out = Render(&pulse, 4096);
        EXPECT_TRUE(AllFinite(out));
        EXPECT_LT(Peak(out), 4.0f);
    }
}
