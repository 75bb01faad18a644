// The sound graph's plumbing: control runs cached by block stamp, the block loop,
// 16-bit conversion, the switch, the sliders' ramps and a voice's velocity level.
#include "dsp/SoundControl_Tweakable.h"
#include "dsp/SoundSource_BLSaw.h"
#include "dsp/SoundSource_Switch.h"
#include "dsp/SoundSource_VelocityGain.h"
#include "support/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

using namespace zindle_test;

namespace
{
// Writes 0.5 (or reports silence) and records each block's stamp and length.
class StampSource : public SoundStreamSource
{
  public:
    StampSource() : SoundStreamSource(1) {}
    int Generate(int, int start, float* buffer, int count) override
    {
        stamps.push_back(start);
        lengths.push_back(count);
        std::fill(buffer, buffer + count, 0.5f);
        return silent ? 0 : 1;
    }
    std::vector<int> stamps, lengths;
    bool silent = false;
};

// A sound manager whose stamp counter a test can set.
class TestSoundManager : public SoundManager
{
  public:
    TestSoundManager() { s_pInstance = this; }
    ~TestSoundManager() override { s_pInstance = nullptr; }
    void StartStream() override {}
    void StopStream() override {}
    void SetStamp(int stamp) { m_iTimeStamp.store(stamp); }
};
} // namespace

TEST(ControlSource, GeneratesOncePerBlockForEveryConsumer)
{
    ScopedSoundManager sound;
    TestControl control(0.25f, 2);
    SoundControlBuffer* first = control.UpdateBuffer(0, 7, 512);
    EXPECT_EQ(control.UpdateBuffer(0, 7, 100), first);
    EXPECT_EQ(control.m_iGenerateCalls, 1) << "the second consumer reuses the block";
    EXPECT_EQ(first->GetRun(0).length, 512);
    control.UpdateBuffer(1, 7, 512);
    EXPECT_EQ(control.m_iGenerateCalls, 2) << "each channel has its own cache";
    EXPECT_EQ(control.UpdateBuffer(0, 8, 512)->GetRunCount(), 1) << "a new block, fresh runs";
    EXPECT_EQ(control.m_iGenerateCalls, 3);
    EXPECT_EQ(control.UpdateBuffer(2, 9, 512), nullptr) << "no such channel";
}

TEST(SoundManagerBlocks, RequestsAreCutIntoStampedBlocksAndSilenceIsZeros)
{
    TestSoundManager manager;
    std::vector<int16_t> out(2500);
    auto render = [&](int n) // true when every sample is the same
    {
        std::fill(out.begin(), out.end(), 1234);
        manager.RenderOutput(out.data(), n);
        return std::all_of(out.begin(), out.begin() + n, [&](int16_t s) { return s == out[0]; });
    };
    EXPECT_TRUE(render(256) && out[0] == 0) << "no root: silence";
    StampSource source;
    manager.SetStreamSource(&source);
    EXPECT_TRUE(render(2500) && out[0] == 16383);
    EXPECT_EQ(source.lengths, (std::vector<int>{1024, 1024, 452}));
    EXPECT_EQ(source.stamps, (std::vector<int>{1, 2, 3}));
    source.silent = true;
    EXPECT_TRUE(render(256) && out[0] == 0) << "a root reporting silence gives zeros";

    // A direct pull longer than the graph is sized for is silence, no new buffer.
    EXPECT_EQ(manager.PullBlock(2048), nullptr);
    EXPECT_EQ(source.lengths.size(), 4u) << "the graph was not asked for it";

    // The stamp wraps, and a control read in the wrapped block still regenerates.
    source.stamps.clear();
    manager.SetStamp(INT_MAX - 1);
    for (int i = 0; i < 3; ++i)
        manager.RenderOutput(out.data(), 64);
    EXPECT_EQ(source.stamps, (std::vector<int>{INT_MAX - 1, INT_MAX, 0}));
    TestControl control;
    control.UpdateBuffer(0, INT_MAX, 64);
    control.UpdateBuffer(0, 0, 64);
    EXPECT_EQ(control.m_iGenerateCalls, 2);
    manager.SetStreamSource(nullptr);
}

TEST(SampleConversion, TruncatesAndClamps)
{
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, int16_t> cases[] = {
        {1.0f, 32767},  {-1.0f, -32767},  {0.5f, 16383},      {-0.5f, -16383}, {0.0f, 0},
        {-0.0f, 0},     {0.95f, 31128},   {1e-6f, 0},         {1.1f, 32767},   {-1.1f, -32767},
        {1.5f, 32767},  {-7.0f, -32767},  {inf, 32767},       {-inf, -32767},  {std::nanf(""), 0},
        {1e30f, 32767}, {-1e30f, -32767}, {0.999999f, 32766},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(SoundManager::ConvertSample(in), out) << in;
}

// A switch pulls only its selected input: switching back continues the waveform
// exactly where it stopped.
TEST(Switch, PullsOnlyTheSelectedInputAndLeavesTheOthersFrozen)
{
    ScopedSoundManager sound;
    TestControl pitch(220.0f);
    SoundSource_BLSaw saw, reference;
    saw.SetPitchSource(&pitch, 0);
    reference.SetPitchSource(&pitch, 0);
    TestSignal other([](long) { return 0.5f; });
    SoundSource_Switch sw(2);
    sw.SetSource(0, &saw, 0);
    sw.SetSource(1, &other, 0);
    for (int block = 0; block < 12; ++block)
    {
        sw.SetCurrentSource(block % 4 == 3 ? 1 : 0);
        const std::vector<float> heard = PullBlock(&sw, 256).samples;
        ASSERT_EQ(heard, block % 4 == 3 ? std::vector<float>(256, 0.5f)
                                        : PullBlock(&reference, 256).samples);
    }
    EXPECT_EQ(other.m_iGenerateCalls, 3);
}

TEST(Tweakable, ChangeRampsAcrossOneBlockWithinItsRange)
{
    ScopedSoundManager sound;
    SoundControl_Tweakable tweakable(0.5f, 0.99f, 0.0f);
    tweakable.GetTweakable()->SetValue_Range(2.0f); // beyond the slider: its top
    const Runs ramp = RunsOf(tweakable, 0, 1, 512);
    ASSERT_EQ(ramp.size(), 52u);
    EXPECT_EQ(ramp[51], (std::pair<float, int>{0.99f, 2}));
    EXPECT_EQ(RunsOf(tweakable, 0, 2, 512), (Runs{{0.99f, 512}}));
    // A block shorter than one step carries the new value at once.
    tweakable.GetTweakable()->SetValue_Range(std::nanf(""));
    EXPECT_EQ(RunsOf(tweakable, 0, 3, 7), (Runs{{0.5f, 7}}));
    tweakable.GetTweakable()->SetValue_Range(0.5f);
    EXPECT_FLOAT_EQ(RunsOf(tweakable, 0, 4, 9)[0].first, 0.745f);
}

// Velocity 100 passes a voice bit for bit; a note starts at its level from
// silence; a new velocity on a sounding voice ramps across the block, with no
// step larger than the ramp's, and ends exactly on its level.
TEST(VelocityGain, StartsAtItsLevelRampsBetweenNotesAndPassesVelocity100BitForBit)
{
    ScopedSoundManager sound;
    TestSignal voice(Sine(440.0f, 0.5f));
    TestSignal reference(Sine(440.0f, 0.5f));
    TestControl velocity(100.0f);
    SoundSource_VelocityGain level;
    level.SetSoundSource(&voice, 0);
    level.SetVelocitySource(&velocity, 0);
    EXPECT_EQ(PullBlock(&level, 256).samples, PullBlock(&reference, 256).samples);

    TestSignal flat([](long) { return 0.5f; });
    level.SetSoundSource(&flat, 0);
    flat.m_bSilent = true;
    EXPECT_FALSE(PullBlock(&level, 256).produced);
    flat.m_bSilent = false;
    velocity.SetValue(50.0f);
    EXPECT_EQ(PullBlock(&level, 256).samples, std::vector<float>(256, 0.125f)) << "(50/100)^2";

    const struct
    {
        float velocity;
        float gain;
    } steps[] = {{100.0f, 1.0f}, {127.0f, SoundSource_VelocityGain::c_rMaxGain}, {10.0f, 0.01f}};
    float before = 0.125f;
    for (const auto& step : steps)
    {
        SCOPED_TRACE(step.velocity);
        velocity.SetValue(step.velocity);
        const std::vector<float> ramp = PullBlock(&level, 256).samples;
        const float largest = std::fabs(0.5f * step.gain - before) / 256.0f * 1.001f;
        float previous = before;
        for (float sample : ramp)
        {
            ASSERT_LE(std::fabs(sample - previous), largest);
            previous = sample;
        }
        EXPECT_FLOAT_EQ(ramp.back(), 0.5f * step.gain);
        before = ramp.back();
    }
}
