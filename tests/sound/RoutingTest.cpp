// Mixer, switches and tweakables: what reaches the output, and which inputs are
// left alone.
#include "SoundTestSupport.h"
#include "sound/SoundControl_Switch.h"
#include "sound/SoundControl_Tweakable.h"
#include "sound/SoundSource_BLSaw.h"
#include "sound/SoundSource_Mixer.h"
#include "sound/SoundSource_Switch.h"
#include "sound/Tweakable_Float.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace zindle_test;

namespace
{
// Every run of a control channel for one block.
std::vector<SoundControlBuffer::Run> Runs(SoundControlSource& source, int start, int count)
{
    const SoundControlBuffer* buffer = source.UpdateBuffer(0, start, count);
    return std::vector<SoundControlBuffer::Run>(buffer->GetRuns(),
                                                buffer->GetRuns() + buffer->GetRunCount());
}
} // namespace

TEST(Mixer, SumsProducingInputsAndSkipsSilentOnes)
{
    ScopedSoundManager sound;
    TestSignal a(Constant(0.25f));
    TestSignal b(Constant(-0.5f));
    TestSignal c(Sine(100.0f, 0.125f));
    SoundSource_Mixer mixer;
    mixer.AddSoundSource(&a, 0, 1.0f);
    mixer.AddSoundSource(&b, 0, 0.1f); // the level is not applied
    mixer.AddSoundSource(&c, 0, 1.0f);

    {
        SCOPED_TRACE("all silent: silence, buffer untouched");
        a.m_bSilent = b.m_bSilent = c.m_bSilent = true;
        std::vector<float> buffer(256, 7.0f);
        EXPECT_EQ(mixer.Generate(0, 1, buffer.data(), 256), 0);
        for (float x : buffer)
            ASSERT_EQ(x, 7.0f);
        EXPECT_EQ(a.m_iGenerateCalls, 1);
        EXPECT_EQ(c.m_iGenerateCalls, 1);
    }
    {
        SCOPED_TRACE("one input: exactly its samples");
        c.m_bSilent = false;
        TestSignal reference(Sine(100.0f, 0.125f));
        reference.m_iPosition = c.m_iPosition;
        const Block mixed = PullBlock(&mixer, 300);
        const Block expected = PullBlock(&reference, 300);
        ASSERT_TRUE(mixed.produced);
        EXPECT_EQ(mixed.samples, expected.samples);
    }
    {
        SCOPED_TRACE("several inputs: their sum at unity gain");
        a.m_bSilent = b.m_bSilent = false;
        c.m_bSilent = true;
        const Block mixed = PullBlock(&mixer, 1024);
        ASSERT_TRUE(mixed.produced);
        for (float x : mixed.samples)
            ASSERT_EQ(x, -0.25f);
    }
    {
        SCOPED_TRACE("a block longer than the graph is sized for is silence");
        float buffer[3000];
        EXPECT_EQ(mixer.Generate(0, 99, buffer, 3000), 0);
    }
}

// A switch pulls only its selected input: an unselected oscillator keeps its
// phase, so switching back continues the waveform exactly where it stopped.
TEST(Switch, PullsOnlyTheSelectedInputAndLeavesTheOthersFrozen)
{
    ScopedSoundManager sound;
    TestControl pitch(220.0f);
    SoundSource_BLSaw saw;
    SoundSource_BLSaw reference;
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
        if (sw.GetCurrentSource() == 1)
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

    {
        SCOPED_TRACE("out-of-range indices are ignored; an empty input is silence");
        sw.SetCurrentSource(2);
        sw.SetCurrentSource(-1);
        EXPECT_EQ(sw.GetCurrentSource(), 1);
        sw.SetSource(5, &saw, 0); // ignored
        SoundSource_Switch empty(3);
        empty.SetCurrentSource(2);
        EXPECT_FALSE(PullBlock(&empty, 128).produced);
        SoundSource_Switch none(0);
        EXPECT_FALSE(PullBlock(&none, 128).produced);
    }
}

TEST(ControlSwitch, ForwardsTheSelectedRunsAndGeneratesEachSourceOncePerBlock)
{
    ScopedSoundManager sound;
    TestControl first(0.25f);
    TestControl second;
    second.SetRuns({{0.1f, 100}, {0.9f, 412}});
    SoundControl_Switch sw(2);
    sw.SetSource(0, &first, 0);
    sw.SetSource(1, &second, 0);

    const auto a = Runs(sw, 1, 512);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].value, 0.25f);
    EXPECT_EQ(a[0].length, 512);
    EXPECT_EQ(second.m_iGenerateCalls, 0); // unselected: not generated

    sw.SetCurrentSource(1);
    second.UpdateBuffer(0, 2, 512); // another consumer read it first this block
    const auto b = Runs(sw, 2, 512);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].value, 0.1f);
    EXPECT_EQ(b[0].length, 100);
    EXPECT_EQ(b[1].value, 0.9f);
    EXPECT_EQ(b[1].length, 412);
    EXPECT_EQ(second.m_iGenerateCalls, 1);

    sw.SetCurrentSource(7); // ignored
    EXPECT_EQ(sw.GetCurrentSource(), 1);

    SoundControl_Switch unset(2);
    unset.SetCurrentSource(1);
    const auto c = Runs(unset, 3, 64);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].value, 0.0f);
    EXPECT_EQ(c[0].length, 64);
}

TEST(Tweakable, ChangeRampsAcrossOneBlockInTenSampleSteps)
{
    ScopedSoundManager sound;
    SoundControl_Tweakable tweakable(0.0f, 1.0f, 0.5f);
    const auto steady = Runs(tweakable, 1, 512);
    ASSERT_EQ(steady.size(), 1u);
    EXPECT_EQ(steady[0].value, 0.5f);
    EXPECT_EQ(steady[0].length, 512);

    tweakable.GetTweakable()->SetValue_Range(1.0f);
    const auto ramp = Runs(tweakable, 2, 512);
    ASSERT_EQ(ramp.size(), 52u);
    for (int i = 0; i < 51; ++i)
    {
        EXPECT_EQ(ramp[i].length, 10);
        // 0.5 / 51 per step; single-precision steps accumulate a little error.
        EXPECT_NEAR(ramp[i].value, 0.5f + 0.5f * (i + 1) / 51.0f, 4e-6f) << "run " << i;
        if (i > 0)
        {
            EXPECT_GT(ramp[i].value, ramp[i - 1].value);
        }
    }
    EXPECT_NEAR(ramp[50].value, 1.0f, 4e-6f); // the last step lands on the target
    EXPECT_EQ(ramp[51].value, 1.0f);
    EXPECT_EQ(ramp[51].length, 2);

    const auto after = Runs(tweakable, 3, 512);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].value, 1.0f);

    {
        SCOPED_TRACE("a block shorter than one step carries the new value at once");
        tweakable.GetTweakable()->SetValue_Range(0.25f);
        const auto shortBlock = Runs(tweakable, 4, 7);
        ASSERT_EQ(shortBlock.size(), 1u);
        EXPECT_EQ(shortBlock[0].value, 0.25f);
        EXPECT_EQ(shortBlock[0].length, 7);
        const auto next = Runs(tweakable, 5, 512);
        ASSERT_EQ(next.size(), 1u);
        EXPECT_EQ(next[0].value, 0.25f);
    }
}

TEST(Tweakable, ValueStaysWithinItsRange)
{
    Tweakable_Float width(0.5f, 0.99f, 0.0f);
    EXPECT_EQ(width.GetValue_Absolute(), 0.5f);
    width.SetValue_Range(2.0f);
    EXPECT_EQ(width.GetValue_Absolute(), 0.99f);
    width.SetValue_Range(-1.0f);
    EXPECT_EQ(width.GetValue_Absolute(), 0.5f);
    width.SetValue_Range(0.5f);
    EXPECT_FLOAT_EQ(width.GetValue_Absolute(), 0.745f);
    width.SetValue_Range(std::nanf(""));
    EXPECT_EQ(width.GetValue_Absolute(), 0.5f);
    EXPECT_EQ(Tweakable_Float(0.0f, 1.0f, 3.0f).GetValue_Absolute(), 1.0f);
    EXPECT_EQ(Tweakable_Float(0.0f, 1.0f, std::nanf("")).GetValue_Absolute(), 0.0f);
}
