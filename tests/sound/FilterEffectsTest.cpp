// What a listener hears from the filter and the effects, pulling real blocks.
#include "SoundTestSupport.h"
#include "sound/SoundSource_Amp.h"
#include "sound/SoundSource_Delay.h"
#include "sound/SoundSource_LadderFilter.h"
#include "sound/SoundSource_Limiter.h"
#include "sound/SoundSource_Overdrive.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

using namespace zindle_test;

namespace
{
// Steady-state gain of the filter for a sine of `hz`.
double FilterGain(float cutoff, float resonance, double hz)
{
    TestSignal input(Sine(static_cast<float>(hz)));
    TestControl control(cutoff);
    SoundSource_LadderFilter filter;
    filter.SetSoundSource(&input, 0);
    filter.SetCutoffSource(&control, 0);
    filter.SetResonance(resonance);
    const std::vector<float> out = Render(&filter, 44100);
    return Magnitude(out, hz, 22050);
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

// An impulse at sample 0, then silence.
std::function<float(long)> Impulse()
{
    return [](long n) { return n == 0 ? 1.0f : 0.0f; };
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
        const double dc = FilterGain(cutoff, 8.0f, 20.0);
        EXPECT_GT(peakGain, 2.0 * dc);
        // Without resonance the same filter is a plain low-pass: no peak.
        EXPECT_LT(FilterGain(cutoff, 0.0f, corner), FilterGain(cutoff, 0.0f, 20.0));
        EXPECT_NEAR(FilterGain(cutoff, 0.0f, 20.0), 1.0, 0.02);
        EXPECT_LT(FilterGain(cutoff, 0.0f, corner * 8.0), 0.05);
    }
}

TEST(LadderFilter, CutoffZeroPlaysOneFadedBlockThenStopsPullingItsInput)
{
    ScopedSoundManager sound;
    TestSignal input(Sine(300.0f, 0.5f));
    TestControl cutoff(0.6f);
    SoundSource_LadderFilter filter;
    filter.SetSoundSource(&input, 0);
    filter.SetCutoffSource(&cutoff, 0);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(PullBlock(&filter, 512).produced);

    // Twin filter that keeps its cutoff shows what the faded block faded.
    cutoff.SetValue(0.0f);
    const int callsBefore = input.m_iGenerateCalls;
    const Block faded = PullBlock(&filter, 512);
    ASSERT_TRUE(faded.produced);
    EXPECT_EQ(input.m_iGenerateCalls, callsBefore + 1);
    EXPECT_GT(Peak(faded.samples, 0, 64), 0.05f);
    for (int i = 0; i < 512; ++i)
        ASSERT_LE(std::fabs(faded.samples[i]), 1.5f * (1.0f - i / 512.0f) + 1e-6f) << i;
    EXPECT_LT(Peak(faded.samples, 500), 0.05f);

    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(PullBlock(&filter, 512).produced);
    EXPECT_EQ(input.m_iGenerateCalls, callsBefore + 1); // no pulls while silent

    cutoff.SetValue(0.6f);
    EXPECT_TRUE(PullBlock(&filter, 512).produced);
    EXPECT_EQ(input.m_iGenerateCalls, callsBefore + 2);
}

TEST(LadderFilter, CutoffZeroInsideASplitBlockHoldsTheStagesInsteadOfReleasing)
{
    ScopedSoundManager sound;
    TestSignal input(Sine(300.0f, 0.5f));
    TestControl cutoff(0.6f);
    SoundSource_LadderFilter filter;
    filter.SetSoundSource(&input, 0);
    filter.SetCutoffSource(&cutoff, 0);
    Render(&filter, 4096);
    cutoff.SetRuns({{0.0f, 256}, {0.0f, 256}});
    const Block held = PullBlock(&filter, 512);
    ASSERT_TRUE(held.produced);
    for (float x : held.samples)
        ASSERT_EQ(x, held.samples[0]); // g = 0: the last stage keeps its value
    EXPECT_TRUE(PullBlock(&filter, 512).produced);
}

TEST(LadderFilter, SilentInputRingsOutForOneBlock)
{
    ScopedSoundManager sound;
    TestSignal input(Sine(500.0f, 0.8f));
    TestControl cutoff(0.5f);
    SoundSource_LadderFilter filter;
    filter.SetSoundSource(&input, 0);
    filter.SetCutoffSource(&cutoff, 0);
    Render(&filter, 4096);
    input.m_bSilent = true;
    const Block ring = PullBlock(&filter, 256);
    ASSERT_TRUE(ring.produced);
    EXPECT_GT(Peak(ring.samples, 0, 8), 0.01f); // the stored state sounds on
    EXPECT_FALSE(PullBlock(&filter, 256).produced);
    EXPECT_FALSE(PullBlock(&filter, 256).produced);
}

TEST(LadderFilter, StaysFiniteAtEveryResonanceAndCutoff)
{
    ScopedSoundManager sound;
    for (float resonance : {0.0f, 8.0f, 11.0f, 1e6f, std::nanf("")})
        for (float cutoff = 0.0f; cutoff <= 1.0f; cutoff += 0.125f)
        {
            SCOPED_TRACE("resonance " + std::to_string(resonance) + " cutoff " +
                         std::to_string(cutoff));
            TestSignal input([](long n) { return (n / 50) % 2 ? 1.5f : -1.5f; });
            TestControl control(cutoff);
            SoundSource_LadderFilter filter;
            filter.SetSoundSource(&input, 0);
            filter.SetCutoffSource(&control, 0);
            filter.SetResonance(resonance);
            const std::vector<float> out = Render(&filter, 44100);
            ASSERT_TRUE(AllFinite(out));
            EXPECT_LT(Peak(out), 10.0f);
        }
}

TEST(Amp, RampsGainToTheSquaredVolumeAndPassesFullVolumeBitExact)
{
    ScopedSoundManager sound;
    TestSignal input(Sine(440.0f, 1.7f)); // beyond +-1 on purpose
    TestControl volume(1.0f);
    SoundSource_Amp amp;
    amp.SetSoundSource(&input, 0);
    amp.SetVolumeSource(&volume, 0);
    {
        SCOPED_TRACE("volume 1.0 is bit-exact");
        TestSignal reference(Sine(440.0f, 1.7f));
        for (int i = 0; i < 4; ++i)
        {
            const Block a = PullBlock(&amp, 300);
            const Block r = PullBlock(&reference, 300);
            ASSERT_TRUE(a.produced);
            ASSERT_EQ(a.samples, r.samples);
        }
    }
    {
        SCOPED_TRACE("after silence, 0.5 starts at 0.5 and ramps to 0.25");
        input.m_bSilent = true;
        EXPECT_FALSE(PullBlock(&amp, 256).produced);
        TestSignal ones(Constant(1.0f));
        amp.SetSoundSource(&ones, 0);
        volume.SetValue(0.5f);
        const Block ramp = PullBlock(&amp, 256);
        ASSERT_TRUE(ramp.produced);
        EXPECT_NEAR(ramp.samples[0], 0.5f - 0.25f / 256.0f, 1e-6f);
        EXPECT_NEAR(ramp.samples[128], 0.5f - 0.25f * 129.0f / 256.0f, 1e-5f);
        EXPECT_NEAR(ramp.samples[255], 0.25f, 1e-5f);
        const Block steady = PullBlock(&amp, 256);
        for (float x : steady.samples)
            ASSERT_NEAR(x, 0.25f, 1e-5f);
    }
    {
        SCOPED_TRACE("two runs ramp in two legs");
        TestSignal ones(Constant(1.0f));
        amp.SetSoundSource(&ones, 0);
        volume.SetRuns({{1.0f, 100}, {0.0f, 156}});
        const Block legs = PullBlock(&amp, 256);
        EXPECT_NEAR(legs.samples[99], 1.0f, 1e-5f);
        EXPECT_NEAR(legs.samples[255], 0.0f, 1e-5f);
        EXPECT_NEAR(legs.samples[177], 1.0f - 78.0f / 156.0f, 1e-4f);
    }
}

TEST(Overdrive, DriveClipsAtUnityAndZeroDrivePassesUnclipped)
{
    ScopedSoundManager sound;
    TestSignal input(Sine(220.0f, 1.5f));
    SoundSource_Overdrive drive;
    drive.SetSoundSource(&input, 0);
    {
        SCOPED_TRACE("panel 0: untouched, even beyond +-1");
        drive.SetDrive(0.0f);
        const std::vector<float> out = Render(&drive, 4410);
        EXPECT_NEAR(Peak(out), 1.5f, 1e-3f);
    }
    {
        SCOPED_TRACE("panel 1: x31 then clipped");
        drive.SetDrive(1.0f);
        const std::vector<float> out = Render(&drive, 4410);
        EXPECT_EQ(Peak(out), 1.0f);
        long clipped = 0;
        for (float x : out)
            clipped += std::fabs(x) == 1.0f ? 1 : 0;
        EXPECT_GT(clipped, 4000); // nearly a square
    }
    {
        SCOPED_TRACE("panel 0.5: gain 8.5 on a quiet signal");
        TestSignal quiet(Constant(0.01f));
        drive.SetSoundSource(&quiet, 0);
        drive.SetDrive(0.5f);
        EXPECT_NEAR(PullBlock(&drive, 64).samples[10], 0.085f, 1e-6f);
        drive.SetDrive(1e20f); // out of range: the panel's full scale
        EXPECT_NEAR(PullBlock(&drive, 64).samples[10], 0.31f, 1e-6f);
        drive.SetDrive(std::nanf(""));
        EXPECT_EQ(PullBlock(&drive, 64).samples[10], 0.01f);
    }
    {
        SCOPED_TRACE("silence passes as silence");
        input.m_bSilent = true;
        drive.SetSoundSource(&input, 0);
        EXPECT_FALSE(PullBlock(&drive, 64).produced);
    }
}

TEST(Delay, EchoArrivesAfterTheDelayTimeWithLevelAndFeedback)
{
    ScopedSoundManager sound;
    TestSignal input(Impulse());
    SoundSource_Delay delay;
    delay.SetSoundSource(&input, 0);
    delay.SetDelayTime(0.1f);  // 0.001 + 0.999 * 0.01 of 4 s
    delay.SetFeedback(0.5f);   // 0.25
    delay.SetDelayLevel(0.8f); // 0.64
    const int d = SoundSource_Delay::DelaySamples(0.001f + 0.999f * 0.1f * 0.1f);
    EXPECT_NEAR(d, 1939, 1);
    const std::vector<float> out = Render(&delay, 4 * d + 100, 256);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[d], 0.64f);
    EXPECT_FLOAT_EQ(out[2 * d], 0.64f * 0.25f);
    EXPECT_FLOAT_EQ(out[3 * d], 0.64f * 0.25f * 0.25f);
    for (int i = 1; i < 4 * d; ++i)
        if (i % d != 0)
        {
            ASSERT_EQ(out[i], 0.0f) << "sample " << i;
        }

    // Shortest and longest times.
    EXPECT_EQ(SoundSource_Delay::DelaySamples(0.001f), 176);
    EXPECT_EQ(SoundSource_Delay::DelaySamples(1.0f), 176400);
}

TEST(Delay, FeedbackIsLimitedByTheDelayTime)
{
    ScopedSoundManager sound;
    struct Case
    {
        float timePanel;
        float expectedFeedback;
    };
    // Times 0.1^2 < 0.2, 0.6^2 in [0.2, 0.5), 0.75^2 >= 0.5.
    for (const Case& c : {Case{0.1f, 0.95f}, Case{0.6f, 0.999f}, Case{0.75f, 1.0f}})
    {
        SCOPED_TRACE("time panel " + std::to_string(c.timePanel));
        TestSignal input(Impulse());
        SoundSource_Delay delay;
        delay.SetSoundSource(&input, 0);
        delay.SetDelayTime(c.timePanel);
        delay.SetFeedback(1.0f);
        delay.SetDelayLevel(1.0f);
        const float t = 0.001f + 0.999f * c.timePanel * c.timePanel;
        const int d = SoundSource_Delay::DelaySamples(t);
        const std::vector<float> out = Render(&delay, 3 * d + 10, 1024);
        EXPECT_FLOAT_EQ(out[d], 1.0f);
        EXPECT_FLOAT_EQ(out[2 * d], c.expectedFeedback);
        EXPECT_FLOAT_EQ(out[3 * d], c.expectedFeedback * c.expectedFeedback);
    }
}

TEST(Delay, SwitchingTheEchoOnClearsOldEchoes)
{
    ScopedSoundManager sound;
    TestSignal input([](long n) { return n < 1000 ? 0.5f : 0.0f; });
    SoundSource_Delay delay;
    delay.SetSoundSource(&input, 0);
    delay.SetDelayTime(0.1f);
    delay.SetFeedback(0.9f);
    delay.SetDelayLevel(1.0f);
    Render(&delay, 3000); // the ring now holds echoes of the burst
    delay.SetDelayLevel(0.0f);
    Render(&delay, 2000); // echo off: the ring is left alone
    delay.SetDelayLevel(0.5f);
    const std::vector<float> out = Render(&delay, 20000);
    EXPECT_EQ(Peak(out), 0.0f);

    // Without the off-on, the echoes would still be there.
    delay.SetDelayLevel(0.7f); // level to level: no clear
    input.m_iPosition = 0;
    Render(&delay, 3000);
    delay.SetDelayLevel(0.6f);
    EXPECT_GT(Peak(Render(&delay, 20000)), 0.05f);
}

TEST(Delay, TimeChangeRederivesTheReadPositionAndEchoesOverSilence)
{
    ScopedSoundManager sound;
    TestSignal input(Impulse());
    SoundSource_Delay delay;
    delay.SetSoundSource(&input, 0);
    delay.SetDelayTime(0.2f);
    delay.SetFeedback(0.0f);
    delay.SetDelayLevel(1.0f);
    const int before = SoundSource_Delay::DelaySamples(0.001f + 0.999f * 0.04f);
    const int after = SoundSource_Delay::DelaySamples(0.001f + 0.999f * 0.01f);
    Render(&delay, 512); // impulse written at 0
    delay.SetDelayTime(0.1f);
    // The read position is re-derived `after` samples behind the write position
    // (512): the impulse written at 0 is heard at `after`, not at `before`.
    const std::vector<float> out = Render(&delay, 2 * before, 512);
    EXPECT_FLOAT_EQ(out[after - 512], 1.0f);
    EXPECT_EQ(out[before - 512], 0.0f);
    EXPECT_EQ(Peak(out), 1.0f);
    for (size_t i = 0; i < out.size(); ++i)
        if (static_cast<int>(i) != after - 512)
        {
            ASSERT_EQ(out[i], 0.0f) << i;
        }

    input.m_iPosition = 0; // a fresh impulse at the new time
    input.m_bSilent = false;
    const std::vector<float> second = Render(&delay, 2 * after, 512);
    EXPECT_FLOAT_EQ(second[0], 1.0f);
    EXPECT_FLOAT_EQ(second[after], 1.0f);

    // A silent input still carries the echo: the delay never reports silence.
    input.m_iPosition = 0;
    Render(&delay, 256);
    input.m_bSilent = true;
    std::vector<float> tail;
    for (int i = 0; i * 256 < 2 * after; ++i)
    {
        const Block b = PullBlock(&delay, 256);
        ASSERT_TRUE(b.produced);
        tail.insert(tail.end(), b.samples.begin(), b.samples.end());
    }
    EXPECT_FLOAT_EQ(tail[after - 256], 1.0f);
}

TEST(Limiter, NeverExceedsTheLimitAndRecovers)
{
    ScopedSoundManager sound;
    TestSignal input([](long n) { return n < 44100 ? ((n / 100) % 2 ? 2.0f : -2.0f) : 0.5f; });
    SoundSource_Limiter limiter;
    limiter.SetSource(&input, 0);
    const std::vector<float> loud = Render(&limiter, 44100);
    EXPECT_EQ(loud[0], -0.95f); // from the very first sample
    EXPECT_LE(Peak(loud), 0.95f);
    EXPECT_EQ(Peak(loud), 0.95f);

    // Quiet again: the gain relaxes towards 1 (about 22 s time constant).
    const std::vector<float> quiet = Render(&limiter, 10 * 44100);
    EXPECT_NEAR(quiet[0], 0.5f * 0.95f / 2.0f, 1e-3f);
    for (size_t i = 1; i < quiet.size(); ++i)
        ASSERT_GE(quiet[i], quiet[i - 1]);
    const float expected = 1.0f - (1.0f - 0.475f) * std::exp(-10.0f * 44100.0f / 987000.0f);
    EXPECT_NEAR(quiet.back() / 0.5f, expected, 0.01f);

    // Silent blocks relax it too, and it comes back to exactly 1.
    input.m_bSilent = true;
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(PullBlock(&limiter, 1024).produced);
    EXPECT_NEAR(limiter.GetGain(), 1.0f, 1e-4f);
    for (int i = 0; i < 20000; ++i)
        ASSERT_FALSE(PullBlock(&limiter, 1024).produced);
    EXPECT_EQ(limiter.GetGain(), 1.0f);
}
