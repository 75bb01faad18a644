// The sound graph's plumbing: control runs and their caching by block stamp,
// the block loop and the conversion to 16 bits, and what the mixer, the
// switches and the sliders let through (and which inputs they leave alone).
#include "SoundTestSupport.h"
#include "sound/SoundControl_Switch.h"
#include "sound/SoundControl_Tweakable.h"
#include "sound/SoundSource_BLSaw.h"
#include "sound/SoundSource_Mixer.h"
#include "sound/SoundSource_Switch.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

using namespace zindle_test;

namespace
{
// Writes 0.5 into every sample (or reports silence) and records each block's
// stamp and length.
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

// Every run of a control channel for one block, as (value, length).
using Pairs = std::vector<std::pair<float, int>>;
Pairs RunsOf(SoundControlSource& source, int start, int count)
{
    const SoundControlBuffer* buffer = source.UpdateBuffer(0, start, count);
    Pairs runs;
    for (int i = 0; i < buffer->GetRunCount(); ++i)
        runs.emplace_back(buffer->GetRun(i).value, buffer->GetRun(i).length);
    return runs;
}
} // namespace

TEST(ControlBuffer, RunsAreClippedToTheBlockAndToTheRunSlots)
{
    SoundControlBuffer buffer(4);
    buffer.Reset(1, 1024);
    EXPECT_EQ(buffer.AddValue(0.1f, 0), 0) << "an empty run adds nothing";
    EXPECT_EQ(buffer.AddValue(0.5f, 300), 0);
    EXPECT_EQ(buffer.AddValue(0.7f, 800), 76) << "the part beyond the block is returned";
    EXPECT_EQ(buffer.AddValue(0.9f, 10), 10) << "a full block takes nothing more";
    ASSERT_EQ(buffer.GetRunCount(), 2);
    EXPECT_EQ(buffer.GetRun(1).value, 0.7f);
    EXPECT_EQ(buffer.GetRun(1).length, 724);
    EXPECT_EQ(buffer.GetTimeStamp(), 1);

    buffer.Reset(2, 100);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(buffer.AddValue(static_cast<float>(i), 1), 0);
    EXPECT_EQ(buffer.AddValue(9.0f, 1), 1) << "a fifth run does not fit in four slots";
    EXPECT_EQ(buffer.GetRunCount(), 4);
}

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
    std::vector<int16_t> out(2500, 1234);
    manager.RenderOutput(out.data(), 256);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 256, [](int16_t s) { return s == 0; }))
        << "no root: silence";

    StampSource source;
    manager.SetStreamSource(&source);
    manager.RenderOutput(out.data(), 2500);
    EXPECT_EQ(source.lengths, (std::vector<int>{1024, 1024, 452}));
    EXPECT_EQ(source.stamps, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 16383; }));
    source.silent = true;
    manager.RenderOutput(out.data(), 256);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 256, [](int16_t s) { return s == 0; }))
        << "a root reporting silence gives zeros";

    // A direct pull longer than the graph is sized for is silence, never a
    // bigger buffer made on the audio thread.
    EXPECT_EQ(manager.PullBlock(2048), nullptr);
    EXPECT_EQ(source.lengths.size(), 4u) << "the graph was not asked for it";

    // The stamp wraps instead of overflowing, and a control read in the
    // wrapped block still regenerates.
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
    // Every in-range sample converts as the truncation of x * 32767 in double.
    for (int i = -1000; i <= 1000; ++i)
    {
        const float x = static_cast<float>(i) / 1000.0f;
        ASSERT_EQ(SoundManager::ConvertSample(x),
                  static_cast<int16_t>(static_cast<int>(x * 32767.0)));
    }
}

TEST(Mixer, SumsProducingInputsAtUnityAndSkipsSilentOnes)
{
    ScopedSoundManager sound;
    TestSignal a(Constant(0.25f)), b(Constant(-0.5f)), c(Sine(100.0f, 0.125f));
    SoundSource_Mixer mixer;
    mixer.AddSoundSource(&a, 0, 1.0f);
    mixer.AddSoundSource(&b, 0, 0.1f); // the level is not applied
    mixer.AddSoundSource(&c, 0, 1.0f);

    a.m_bSilent = b.m_bSilent = c.m_bSilent = true;
    std::vector<float> buffer(256, 7.0f);
    EXPECT_EQ(mixer.Generate(0, 1, buffer.data(), 256), 0) << "all silent: silence";
    EXPECT_EQ(buffer, std::vector<float>(256, 7.0f)) << "and the buffer untouched";

    c.m_bSilent = false;
    TestSignal reference(Sine(100.0f, 0.125f));
    reference.m_iPosition = c.m_iPosition;
    EXPECT_EQ(PullBlock(&mixer, 300).samples, PullBlock(&reference, 300).samples)
        << "one input: exactly its samples";

    a.m_bSilent = b.m_bSilent = false;
    c.m_bSilent = true;
    EXPECT_EQ(PullBlock(&mixer, 1024).samples, std::vector<float>(1024, -0.25f));
    float big[3000];
    EXPECT_EQ(mixer.Generate(0, 99, big, 3000), 0) << "a block longer than the graph's";
}

// A switch pulls only its selected input: an unselected oscillator keeps its
// phase, so switching back continues the waveform exactly where it stopped.
TEST(Switch, PullsOnlyTheSelectedInputAndLeavesTheOthersFrozen)
{
    ScopedSoundManager sound;
    TestControl pitch(220.0f);
    SoundSource_BLSaw saw, reference;
    saw.SetPitchSource(&pitch, 0);
    reference.SetPitchSource(&pitch, 0);
    TestSignal other(Constant(0.5f));
    SoundSource_Switch sw(2);
    sw.SetSource(0, &saw, 0);
    sw.SetSource(1, &other, 0);
    std::vector<float> switched, uninterrupted;
    for (int block = 0; block < 12; ++block)
    {
        sw.SetCurrentSource(block % 4 == 3 ? 1 : 0);
        const Block b = PullBlock(&sw, 256);
        ASSERT_TRUE(b.produced);
        if (block % 4 == 3)
        {
            EXPECT_EQ(b.samples[0], 0.5f);
            continue;
        }
        switched.insert(switched.end(), b.samples.begin(), b.samples.end());
        const Block r = PullBlock(&reference, 256);
        uninterrupted.insert(uninterrupted.end(), r.samples.begin(), r.samples.end());
    }
    EXPECT_EQ(switched, uninterrupted);
    EXPECT_EQ(other.m_iGenerateCalls, 3);

    // Out-of-range indices are ignored; an empty input is silence.
    sw.SetCurrentSource(2);
    sw.SetCurrentSource(-1);
    sw.SetSource(5, &saw, 0);
    EXPECT_EQ(PullBlock(&sw, 64).samples[0], 0.5f);
    SoundSource_Switch empty(3), none(0);
    empty.SetCurrentSource(2);
    EXPECT_FALSE(PullBlock(&empty, 128).produced);
    EXPECT_FALSE(PullBlock(&none, 128).produced);
}

TEST(ControlSwitch, ForwardsTheSelectedRunsAndGeneratesEachSourceOncePerBlock)
{
    ScopedSoundManager sound;
    TestControl first(0.25f), second;
    second.SetRuns({{0.1f, 100}, {0.9f, 412}});
    SoundControl_Switch sw(2);
    sw.SetSource(0, &first, 0);
    sw.SetSource(1, &second, 0);
    EXPECT_EQ(RunsOf(sw, 1, 512), (Pairs{{0.25f, 512}}));
    EXPECT_EQ(second.m_iGenerateCalls, 0) << "unselected: not generated";

    sw.SetCurrentSource(1);
    sw.SetCurrentSource(7);         // ignored
    second.UpdateBuffer(0, 2, 512); // another consumer read it first this block
    EXPECT_EQ(RunsOf(sw, 2, 512), (Pairs{{0.1f, 100}, {0.9f, 412}}));
    EXPECT_EQ(second.m_iGenerateCalls, 1);

    SoundControl_Switch unset(2);
    unset.SetCurrentSource(1);
    EXPECT_EQ(RunsOf(unset, 3, 64), (Pairs{{0.0f, 64}}));
}

TEST(Tweakable, ChangeRampsAcrossOneBlockInTenSampleStepsWithinItsRange)
{
    ScopedSoundManager sound;
    SoundControl_Tweakable tweakable(0.5f, 0.99f, 0.0f);
    EXPECT_EQ(RunsOf(tweakable, 1, 512), (Pairs{{0.5f, 512}}));

    tweakable.GetTweakable()->SetValue_Range(2.0f); // beyond the slider: its top
    const Pairs ramp = RunsOf(tweakable, 2, 512);
    ASSERT_EQ(ramp.size(), 52u);
    for (int i = 0; i < 51; ++i)
    {
        EXPECT_EQ(ramp[i].second, 10);
        // 0.49 / 51 per step; single-precision steps accumulate a little error.
        EXPECT_NEAR(ramp[i].first, 0.5f + 0.49f * (i + 1) / 51.0f, 4e-6f) << "run " << i;
    }
    EXPECT_EQ(ramp[51], (std::pair<float, int>{0.99f, 2}));
    EXPECT_EQ(RunsOf(tweakable, 3, 512), (Pairs{{0.99f, 512}}));

    // A block shorter than one step carries the new value at once; not a
    // number is the bottom of the range.
    tweakable.GetTweakable()->SetValue_Range(std::nanf(""));
    EXPECT_EQ(RunsOf(tweakable, 4, 7), (Pairs{{0.5f, 7}}));
    EXPECT_EQ(RunsOf(tweakable, 5, 512), (Pairs{{0.5f, 512}}));
    tweakable.GetTweakable()->SetValue_Range(0.5f);
    EXPECT_FLOAT_EQ(RunsOf(tweakable, 6, 9)[0].first, 0.745f);
}
