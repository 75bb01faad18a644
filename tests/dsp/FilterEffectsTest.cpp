// What a listener hears from the filter and the effects, pulling real blocks.
#include "dsp/SoundSource_Delay.h"
#include "dsp/SoundSource_LadderFilter.h"
#include "dsp/SoundSource_Limiter.h"
#include "support/SoundTestSupport.h"

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

// Where the loop turns the phase by 180 degrees, and so resonates: four stages
// y += g (x - y) and the feedback's one-sample delay.
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

// A delay on an impulse with panel settings.
struct Echo
{
    Echo(float time, float repeat, float level) : input([](long n) { return n == 0 ? 1.0f : 0.0f; })
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
        std::pair<double, double> peak; // (gain, hz)
        for (double hz = corner / 3.0; hz < corner * 3.0; hz *= 1.03)
            peak = std::max(peak, {FilterGain(cutoff, 8.0f, hz), hz});
        EXPECT_NEAR(peak.second, corner, corner * 0.25);
        EXPECT_GT(peak.first, 2.0 * FilterGain(cutoff, 8.0f, 20.0));
        // Without resonance the same filter is a plain low-pass: no peak.
        EXPECT_LT(FilterGain(cutoff, 0.0f, corner), FilterGain(cutoff, 0.0f, 20.0));
        EXPECT_NEAR(FilterGain(cutoff, 0.0f, 20.0), 1.0, 0.02);
        EXPECT_LT(FilterGain(cutoff, 0.0f, corner * 8.0), 0.05);
    }
}

// A closed cutoff fades over a block, then stops pulling; silence rings one block.
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
            SCOPED_TRACE(testing::Message() << "resonance " << resonance << " cutoff " << cutoff);
            Filter f([](long n) { return (n / 50) % 2 ? 1.5f : -1.5f; }, cutoff, resonance);
            const std::vector<float> out = Render(&f.filter, 44100);
            ASSERT_TRUE(AllFinite(out) && Peak(out) < 10.0f) << Peak(out);
        }
}

// An impulse echoes after the delay time with the level, then the feedback.
TEST(Delay, EchoArrivesAfterTheDelayTimeWithLevelAndFeedback)
{
    ScopedSoundManager sound;
    Echo echo(0.1f, 0.5f, 0.8f); // 0.001 + 0.999 * 0.01 of 4 s; 0.25; 0.64
    const int d = EchoSamples(0.1f);
    std::vector<float> out = Render(&echo.delay, 256);
    echo.input.m_bSilent = true;
    const std::vector<float> rest = Render(&echo.delay, 4 * d);
    out.insert(out.end(), rest.begin(), rest.end());
    const float echoes[] = {1.0f, 0.64f, 0.64f * 0.25f, 0.64f * 0.25f * 0.25f};
    for (int i = 0; i < 4 * d; ++i)
        ASSERT_FLOAT_EQ(out[i], i % d ? 0.0f : echoes[i / d]) << "sample " << i;
}

TEST(Delay, FeedbackIsLimitedByTheDelayTime)
{
    ScopedSoundManager sound;
    // Times 0.1^2 < 0.2, 0.6^2 in [0.2, 0.5), 0.75^2 >= 0.5.
    for (const auto& [timePanel, feedback] :
         {std::pair{0.1f, 0.95f}, std::pair{0.6f, 0.999f}, std::pair{0.75f, 1.0f}})
    {
        SCOPED_TRACE("time panel " + std::to_string(timePanel));
        Echo echo(timePanel, 1.0f, 1.0f);
        const int d = EchoSamples(timePanel);
        const std::vector<float> out = Render(&echo.delay, 3 * d + 10, 1024);
        EXPECT_EQ((std::vector{out[d], out[2 * d], out[3 * d]}),
                  (std::vector{1.0f, feedback, feedback * feedback}));
    }
}

TEST(Limiter, NeverExceedsTheLimitAndRecovers)
{
    ScopedSoundManager sound;
    TestSignal input([](long n) { return n < 44100 ? ((n / 100) % 2 ? 2.0f : -2.0f) : 0.5f; });
    SoundSource_Limiter limiter;
    limiter.SetSource(&input, 0);
    const std::vector<float> loud = Render(&limiter, 44100);
    EXPECT_EQ((std::pair{loud[0], Peak(loud)}), (std::pair{-0.95f, 0.95f})); // from the first

    // Quiet again: the gain relaxes towards 1 (about 22 s time constant).
    const std::vector<float> quiet = Render(&limiter, 10 * 44100);
    EXPECT_NEAR(quiet[0], 0.5f * 0.95f / 2.0f, 1e-3f);
    EXPECT_TRUE(std::is_sorted(quiet.begin(), quiet.end()));
    const float expected = 1.0f - (1.0f - 0.475f) * std::exp(-10.0f * 44100.0f / 987000.0f);
    EXPECT_NEAR(quiet.back() / 0.5f, expected, 0.01f);

    // Silent blocks relax it too, and it comes back to exactly 1.
    input.m_bSilent = true;
    for (int i = 0; i < 30000; ++i)
        ASSERT_FALSE(PullBlock(&limiter, 1024).produced);
    EXPECT_EQ(limiter.GetGain(), 1.0f);
}
