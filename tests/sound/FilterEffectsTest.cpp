// What a listener hears from the filter and the effects, pulling real blocks.
#include "SoundTestSupport.h"
#include "sound/SoundSource_Amp.h"
#include "sound/SoundSource_Delay.h"
#include "sound/SoundSource_LadderFilter.h"
#include "sound/SoundSource_Limiter.h"
#include "sound/SoundSource_Overdrive.h"

#include <gtest/gtest.h>

#include <string>

using namespace zindle_test;

namespace
{
// A ladder filter on a test input and a constant cutoff control.
struct Filter
{
    Filter(std::function<float(long)> signal, float cutoffValue, float resonance = 0.0f)
        : input(std::move(signal)), cutoff(cutoffValue)
    {
        filter.SetSoundSource(&input, 0);
        filter.SetCutoffSource(&cutoff, 0);
        filter.SetResonance(resonance);
    }
    TestSignal input;
    TestControl cutoff;
    SoundSource_LadderFilter filter;
};

// Steady-state gain of the filter for a sine of `hz`.
double FilterGain(float cutoff, float resonance, double hz)
{
    Filter f(Sine(static_cast<float>(hz)), cutoff, resonance);
    return Magnitude(Render(&f.filter, 44100), hz, 22050);
}

// The frequency at which the feedback loop turns the phase by 180 degrees (and
// so resonates): four stages y += g (x - y) plus the one-sample delay of the
// feedback term.
double LoopResonanceFrequency(double g)
{
    double low = 0.0, high = 22050.0;
    for (int i = 0; i < 60; ++i)
    {
        const double mid = 0.5 * (low + high);
        const double w = 2.0 * std::numbers::pi * mid / 44100.0;
        const double stage = std::atan2((1.0 - g) * std::sin(w), 1.0 - (1.0 - g) * std::cos(w));
        (4.0 * stage + w < std::numbers::pi ? low : high) = mid;
    }
    return 0.5 * (low + high);
}

// A delay on a test input with panel settings.
struct Echo
{
    Echo(std::function<float(long)> signal, float time, float repeat, float level)
        : input(std::move(signal))
    {
        delay.SetSoundSource(&input, 0);
        delay.SetDelayTime(time);
        delay.SetFeedback(repeat);
        delay.SetDelayLevel(level);
    }
    TestSignal input;
    SoundSource_Delay delay;
};
int EchoSamples(float timePanel)
{
    return SoundSource_Delay::DelaySamples(0.001f + 0.999f * timePanel * timePanel);
}
} // namespace

TEST(LadderFilter, ResonancePeaksNearCutoff)
{
    ScopedSoundManager sound;
    for (float cutoff : {0.2f, 0.35f, 0.5f})
    {
        SCOPED_TRACE("cutoff " + std::to_string(cutoff));
        const double corner =
            LoopResonanceFrequency(SoundSource_LadderFilter::CutoffCoefficient(cutoff));
        double peakHz = 0.0, peakGain = 0.0;
        for (double hz = corner / 3.0; hz < corner * 3.0; hz *= 1.03)
        {
            const double gain = FilterGain(cutoff, 8.0f, hz);
            if (gain > peakGain)
            {
                peakGain = gain;
                peakHz = hz;
            }
        }
        EXPECT_NEAR(peakHz, corner, corner * 0.25);
        EXPECT_GT(peakGain, 2.0 * FilterGain(cutoff, 8.0f, 20.0));
        // Without resonance the same filter is a plain low-pass: no peak.
        EXPECT_LT(FilterGain(cutoff, 0.0f, corner), FilterGain(cutoff, 0.0f, 20.0));
        EXPECT_NEAR(FilterGain(cutoff, 0.0f, 20.0), 1.0, 0.02);
        EXPECT_LT(FilterGain(cutoff, 0.0f, corner * 8.0), 0.05);
    }
}

// A closed cutoff plays one faded block and then stops pulling its input; a
// closed cutoff inside a split block holds the stages; a silent input rings out
// for one block.
TEST(LadderFilter, ClosedOrSilentItEndsWithinABlockAndStopsPulling)
{
    ScopedSoundManager sound;
    Filter f(Sine(300.0f, 0.5f), 0.6f);
    Render(&f.filter, 20 * 512, 512);
    f.cutoff.SetValue(0.0f);
    const int callsBefore = f.input.m_iGenerateCalls;
    const Block faded = PullBlock(&f.filter, 512);
    ASSERT_TRUE(faded.produced);
    EXPECT_GT(Peak(faded.samples, 0, 64), 0.05f);
    for (int i = 0; i < 512; ++i)
        ASSERT_LE(std::fabs(faded.samples[i]), 1.5f * (1.0f - i / 512.0f) + 1e-6f) << i;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(PullBlock(&f.filter, 512).produced);
    EXPECT_EQ(f.input.m_iGenerateCalls, callsBefore + 1) << "no pulls while silent";
    f.cutoff.SetValue(0.6f);
    EXPECT_TRUE(PullBlock(&f.filter, 512).produced);
    EXPECT_EQ(f.input.m_iGenerateCalls, callsBefore + 2);

    Render(&f.filter, 4096);
    f.cutoff.SetRuns({{0.0f, 256}, {0.0f, 256}});
    const Block held = PullBlock(&f.filter, 512);
    ASSERT_TRUE(held.produced);
    EXPECT_EQ(held.samples, std::vector<float>(512, held.samples[0])) << "g = 0: the stages hold";
    EXPECT_TRUE(PullBlock(&f.filter, 512).produced);

    f.cutoff.SetValue(0.5f);
    Render(&f.filter, 4096);
    f.input.m_bSilent = true;
    const Block ring = PullBlock(&f.filter, 256);
    ASSERT_TRUE(ring.produced);
    EXPECT_GT(Peak(ring.samples, 0, 8), 0.01f); // the stored state sounds on
    EXPECT_FALSE(PullBlock(&f.filter, 256).produced);
}

TEST(LadderFilter, StaysFiniteAtEveryResonanceAndCutoff)
{
    ScopedSoundManager sound;
    for (float resonance : {0.0f, 8.0f, 11.0f, 1e6f, std::nanf("")})
        for (float cutoff = 0.0f; cutoff <= 1.0f; cutoff += 0.125f)
        {
            SCOPED_TRACE("resonance " + std::to_string(resonance) + " cutoff " +
                         std::to_string(cutoff));
            Filter f([](long n) { return (n / 50) % 2 ? 1.5f : -1.5f; }, cutoff, resonance);
            const std::vector<float> out = Render(&f.filter, 44100);
            ASSERT_TRUE(AllFinite(out));
            EXPECT_LT(Peak(out), 10.0f);
        }
}

TEST(Amp, RampsGainToTheSquaredVolumeAndPassesFullVolumeBitExact)
{
    ScopedSoundManager sound;
    TestSignal input(Sine(440.0f, 1.7f)), reference(Sine(440.0f, 1.7f)); // beyond +-1
    TestControl volume(1.0f);
    SoundSource_Amp amp;
    amp.SetSoundSource(&input, 0);
    amp.SetVolumeSource(&volume, 0);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(PullBlock(&amp, 300).samples, PullBlock(&reference, 300).samples);

    // After silence, volume 0.5 starts at the old gain and ramps to 0.25.
    input.m_bSilent = true;
    EXPECT_FALSE(PullBlock(&amp, 256).produced);
    TestSignal ones(Constant(1.0f));
    amp.SetSoundSource(&ones, 0);
    volume.SetValue(0.5f);
    const std::vector<float> ramp = PullBlock(&amp, 256).samples;
    ASSERT_EQ(ramp.size(), 256u);
    EXPECT_NEAR(ramp[0], 0.5f - 0.25f / 256.0f, 1e-6f);
    EXPECT_NEAR(ramp[128], 0.5f - 0.25f * 129.0f / 256.0f, 1e-5f);
    EXPECT_NEAR(ramp[255], 0.25f, 1e-5f);
    EXPECT_NEAR(Peak(PullBlock(&amp, 256).samples), 0.25f, 1e-5f);
    // Two runs ramp in two legs.
    volume.SetRuns({{1.0f, 100}, {0.0f, 156}});
    const std::vector<float> legs = PullBlock(&amp, 256).samples;
    EXPECT_NEAR(legs[99], 1.0f, 1e-5f);
    EXPECT_NEAR(legs[177], 1.0f - 78.0f / 156.0f, 1e-4f);
    EXPECT_NEAR(legs[255], 0.0f, 1e-5f);
}

TEST(Overdrive, DriveClipsAtUnityAndZeroDrivePassesUnclipped)
{
    ScopedSoundManager sound;
    TestSignal input(Sine(220.0f, 1.5f));
    SoundSource_Overdrive drive;
    drive.SetSoundSource(&input, 0);
    drive.SetDrive(0.0f);
    EXPECT_NEAR(Peak(Render(&drive, 4410)), 1.5f, 1e-3f) << "untouched, even beyond +-1";
    drive.SetDrive(1.0f);
    const std::vector<float> out = Render(&drive, 4410);
    EXPECT_EQ(Peak(out), 1.0f);
    EXPECT_GT(std::count_if(out.begin(), out.end(), [](float x) { return std::fabs(x) == 1.0f; }),
              4000)
        << "x31 and clipped: nearly a square";

    drive.SetDrive(std::nanf(""));
    EXPECT_NEAR(Peak(Render(&drive, 4410)), 1.5f, 1e-3f) << "not a number: no drive";
    input.m_bSilent = true;
    drive.SetSoundSource(&input, 0);
    EXPECT_FALSE(PullBlock(&drive, 64).produced) << "silence passes as silence";
}

// An impulse echoes after the delay time with the level, then the feedback;
// the echo goes on over an input gone silent.
TEST(Delay, EchoArrivesAfterTheDelayTimeWithLevelAndFeedback)
{
    ScopedSoundManager sound;
    Echo echo(Impulse(), 0.1f, 0.5f, 0.8f); // 0.001 + 0.999 * 0.01 of 4 s; 0.25; 0.64
    const int d = EchoSamples(0.1f);
    EXPECT_NEAR(d, 1939, 1);
    std::vector<float> out = Render(&echo.delay, 256);
    echo.input.m_bSilent = true;
    const std::vector<float> rest = Render(&echo.delay, 4 * d);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[d], 0.64f);
    EXPECT_FLOAT_EQ(out[2 * d], 0.64f * 0.25f);
    EXPECT_FLOAT_EQ(out[3 * d], 0.64f * 0.25f * 0.25f);
    for (int i = 1; i < 4 * d; ++i)
        ASSERT_TRUE(i % d == 0 || out[i] == 0.0f) << "sample " << i;
    EXPECT_EQ(SoundSource_Delay::DelaySamples(0.001f), 176);
    EXPECT_EQ(SoundSource_Delay::DelaySamples(1.0f), 176400);
}

TEST(Delay, FeedbackIsLimitedByTheDelayTime)
{
    ScopedSoundManager sound;
    // Times 0.1^2 < 0.2, 0.6^2 in [0.2, 0.5), 0.75^2 >= 0.5.
    for (const auto& [timePanel, feedback] :
         {std::pair{0.1f, 0.95f}, std::pair{0.6f, 0.999f}, std::pair{0.75f, 1.0f}})
    {
        SCOPED_TRACE("time panel " + std::to_string(timePanel));
        Echo echo(Impulse(), timePanel, 1.0f, 1.0f);
        const int d = EchoSamples(timePanel);
        const std::vector<float> out = Render(&echo.delay, 3 * d + 10, 1024);
        EXPECT_FLOAT_EQ(out[d], 1.0f);
        EXPECT_FLOAT_EQ(out[2 * d], feedback);
        EXPECT_FLOAT_EQ(out[3 * d], feedback * feedback);
    }
}

TEST(Delay, ATimeChangeRederivesTheReadPosition)
{
    ScopedSoundManager sound;
    Echo echo(Impulse(), 0.2f, 0.0f, 1.0f);
    const int before = EchoSamples(0.2f), after = EchoSamples(0.1f);
    Render(&echo.delay, 512); // impulse written at 0
    echo.delay.SetDelayTime(0.1f);
    // The read position is re-derived `after` samples behind the write position
    // (512): the impulse written at 0 is heard at `after`, not at `before`.
    const std::vector<float> out = Render(&echo.delay, 2 * before, 512);
    EXPECT_FLOAT_EQ(out[after - 512], 1.0f);
    EXPECT_EQ(Peak(out), 1.0f);
    for (int i = 0; i < static_cast<int>(out.size()); ++i)
        ASSERT_TRUE(i == after - 512 || out[i] == 0.0f) << "sample " << i;
}

TEST(Limiter, NeverExceedsTheLimitAndRecovers)
{
    ScopedSoundManager sound;
    TestSignal input([](long n) { return n < 44100 ? ((n / 100) % 2 ? 2.0f : -2.0f) : 0.5f; });
    SoundSource_Limiter limiter;
    limiter.SetSource(&input, 0);
    const std::vector<float> loud = Render(&limiter, 44100);
    EXPECT_EQ(loud[0], -0.95f); // from the very first sample
    EXPECT_EQ(Peak(loud), 0.95f);

    // Quiet again: the gain relaxes towards 1 (about 22 s time constant).
    const std::vector<float> quiet = Render(&limiter, 10 * 44100);
    EXPECT_NEAR(quiet[0], 0.5f * 0.95f / 2.0f, 1e-3f);
    EXPECT_TRUE(std::is_sorted(quiet.begin(), quiet.end()));
    const float expected = 1.0f - (1.0f - 0.475f) * std::exp(-10.0f * 44100.0f / 987000.0f);
    EXPECT_NEAR(quiet.back() / 0.5f, expected, 0.01f);

    // Silent blocks relax it too, and it comes back to exactly 1.
    input.m_bSilent = true;
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(PullBlock(&limiter, 1024).produced);
    EXPECT_NEAR(limiter.GetGain(), 1.0f, 1e-4f);
    for (int i = 0; i < 20000; ++i)
        PullBlock(&limiter, 1024);
    EXPECT_EQ(limiter.GetGain(), 1.0f);
}
