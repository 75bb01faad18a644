// The four-voice graph as the instrument wires it: every synth mode sounds, no
// setting makes it produce anything but finite samples within the limiter's
// bounds, and every setter is safe while another thread renders.
#include "SoundTestSupport.h"
#include "sound/SoundControl_Switch.h"
#include "sound/SoundControl_Tweakable.h"
#include "sound/SoundSource_Amp.h"
#include "sound/SoundSource_BLPulse.h"
#include "sound/SoundSource_BLSaw.h"
#include "sound/SoundSource_Delay.h"
#include "sound/SoundSource_LadderFilter.h"
#include "sound/SoundSource_Limiter.h"
#include "sound/SoundSource_Mixer.h"
#include "sound/SoundSource_Osc_Sine.h"
#include "sound/SoundSource_Overdrive.h"
#include "sound/SoundSource_Switch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <memory>
#include <string>
#include <thread>

using namespace zindle_test;

namespace
{
// One voice: fixed pitch and timbre controls in place of a finger.
struct Voice
{
    explicit Voice(SoundControl_Tweakable& width, SoundControl_Tweakable& cutoffSlider)
        : widthSwitch(2), oscSwitch(2), cutoffSwitch(2), voiceSwitch(2)
    {
        saw.SetPitchSource(&pitch, 0);
        widthSwitch.SetSource(0, &width, 0);
        widthSwitch.SetSource(1, &timbre, 0);
        pulse.SetPitchSource(&pitch, 0);
        pulse.SetWidthSource(&widthSwitch, 0);
        oscSwitch.SetSource(0, &saw, 0);
        oscSwitch.SetSource(1, &pulse, 0);
        cutoffSwitch.SetSource(0, &timbre, 0);
        cutoffSwitch.SetSource(1, &cutoffSlider, 0);
        filter.SetSoundSource(&oscSwitch, 0);
        filter.SetCutoffSource(&cutoffSwitch, 0);
        sine.SetPitchSource(&pitch, 0);
        amp.SetSoundSource(&sine, 0);
        amp.SetVolumeSource(&timbre, 0);
        voiceSwitch.SetSource(0, &filter, 0);
        voiceSwitch.SetSource(1, &amp, 0);
    }

    // Mode 0 "Mekko", 1 "Pulse", 2 "Theremin", 3 "PWM".
    void SetMode(int mode)
    {
        static constexpr int c_iRouting[4][4] = {
            // oscillator, width, cutoff, voice (-1: unchanged)
            {0, -1, 0, 0},
            {1, 0, 0, 0},
            {-1, -1, -1, 1},
            {1, 1, 1, 0},
        };
        const int* r = c_iRouting[mode];
        if (r[0] >= 0)
            oscSwitch.SetCurrentSource(r[0]);
        if (r[1] >= 0)
            widthSwitch.SetCurrentSource(r[1]);
        if (r[2] >= 0)
            cutoffSwitch.SetCurrentSource(r[2]);
        voiceSwitch.SetCurrentSource(r[3]);
    }

    TestControl pitch;
    TestControl timbre;
    SoundSource_BLSaw saw;
    SoundControl_Switch widthSwitch;
    SoundSource_BLPulse pulse;
    SoundSource_Switch oscSwitch;
    SoundControl_Switch cutoffSwitch;
    SoundSource_LadderFilter filter;
    SoundSource_Osc_Sine sine;
    SoundSource_Amp amp;
    SoundSource_Switch voiceSwitch;
};

struct Engine
{
    Engine() : width(0.5f, 0.99f, 0.0f), cutoff(0.0f, 1.0f, 1.0f)
    {
        for (auto& voice : voices)
        {
            voice = std::make_unique<Voice>(width, cutoff);
            mixer.AddSoundSource(&voice->voiceSwitch, 0, 1.0f);
        }
        overdrive.SetSoundSource(&mixer, 0);
        delay.SetSoundSource(&overdrive, 0);
        delay.SetDelayLevel(0.24f);
        delay.SetDelayTime(0.15f);
        delay.SetFeedback(0.4f);
        limiter.SetSource(&delay, 0);
    }

    SoundControl_Tweakable width;
    SoundControl_Tweakable cutoff;
    std::unique_ptr<Voice> voices[4];
    SoundSource_Mixer mixer;
    SoundSource_Overdrive overdrive;
    SoundSource_Delay delay;
    SoundSource_Limiter limiter;
};

const float c_rPitches[4] = {110.0f, 220.0f, 330.0f, 440.0f};
} // namespace

TEST(Engine, EveryModeSoundsWithinTheLimiterBounds)
{
    ScopedSoundManager sound;
    for (int mode = 0; mode < 4; ++mode)
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Engine engine;
        for (int v = 0; v < 4; ++v)
        {
            engine.voices[v]->pitch.SetValue(c_rPitches[v]);
            engine.voices[v]->timbre.SetValue(0.7f);
            engine.voices[v]->SetMode(mode);
        }
        engine.overdrive.SetDrive(0.3f);
        const std::vector<float> out = Render(&engine.limiter, 44100, 1024);
        EXPECT_TRUE(AllFinite(out));
        EXPECT_LE(Peak(out), 0.95f);
        EXPECT_GT(Rms(out), 0.1);
        EXPECT_GT(Magnitude(out, 110.0), 0.02); // the lowest voice is there

        // Fingers lift: the voices end, the echo rings on and decays.
        for (auto& voice : engine.voices)
        {
            voice->pitch.SetValue(0.0f);
            voice->timbre.SetValue(0.0f);
        }
        const std::vector<float> tail = Render(&engine.limiter, 10 * 44100, 1024);
        EXPECT_GT(Peak(tail, 0, 44100), 0.01f);
        EXPECT_LT(Peak(tail, 9 * 44100), 1e-3f);
    }
}

TEST(Engine, ExtremeSettingsStillGiveFiniteBoundedOutput)
{
    ScopedSoundManager sound;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float setting : {0.0f, 1.0f, -1.0f, 1e30f, -1e30f, nan, inf})
    {
        SCOPED_TRACE("setting " + std::to_string(setting));
        for (int mode = 0; mode < 4; ++mode)
        {
            Engine engine;
            for (int v = 0; v < 4; ++v)
            {
                engine.voices[v]->pitch.SetRuns(
                    {{c_rPitches[v], 300}, {setting, 300}, {1e4f, 424}});
                engine.voices[v]->timbre.SetRuns({{setting, 500}, {1.0f, 524}});
                engine.voices[v]->SetMode(mode);
                engine.voices[v]->filter.SetResonance(setting * 11.0f);
            }
            engine.width.GetTweakable()->SetValue_Range(setting);
            engine.cutoff.GetTweakable()->SetValue_Range(setting);
            engine.overdrive.SetDrive(setting);
            engine.delay.SetDelayTime(setting);
            engine.delay.SetFeedback(setting);
            engine.delay.SetDelayLevel(setting);
            const std::vector<float> out = Render(&engine.limiter, 3 * 44100, 1024);
            ASSERT_TRUE(AllFinite(out)) << "mode " << mode;
            ASSERT_LE(Peak(out), 0.95f) << "mode " << mode;
        }
    }
}

namespace
{
// Renders 512-sample blocks on its own thread through the sound manager, as the
// audio thread does, keeping every sample. It renders up to the number of blocks
// allowed so far, so a test can pace it.
class RenderThread
{
  public:
    static constexpr int c_iBlock = 512;

    RenderThread(SoundStreamSource* root, int blocks, int allowed)
        : m_iBlocks(blocks), m_samples(static_cast<size_t>(blocks) * c_iBlock, 0),
          m_iAllowed(allowed)
    {
        SoundManager::GetInstance()->SetStreamSource(root);
        m_thread = std::thread(
            [this]
            {
                for (int b = 0; b < m_iBlocks && !m_bStop.load(); ++b)
                {
                    while (b >= m_iAllowed.load() && !m_bStop.load())
                        std::this_thread::yield();
                    if (m_bStop.load())
                        break;
                    SoundManager::GetInstance()->RenderOutput(&m_samples[b * c_iBlock], c_iBlock);
                    m_iBlocksDone.store(b + 1, std::memory_order_release);
                }
            });
    }
    ~RenderThread() { Join(); }

    int BlocksDone() const { return m_iBlocksDone.load(std::memory_order_acquire); }
    void Allow(int more) { m_iAllowed.fetch_add(more); }
    void WaitFor(int blocks)
    {
        while (BlocksDone() < std::min(blocks, m_iBlocks))
            std::this_thread::yield();
    }
    // Lets `blocks` more blocks render and waits until they have.
    void Run(int blocks)
    {
        const int target = BlocksDone() + blocks;
        Allow(blocks);
        WaitFor(target);
    }
    void Join()
    {
        if (m_thread.joinable())
        {
            m_bStop.store(true);
            m_thread.join();
            SoundManager::GetInstance()->SetStreamSource(nullptr);
        }
    }

    // Blocks already rendered (after WaitFor or Join).
    float Sample(long index) const { return m_samples[static_cast<size_t>(index)] / 32767.0f; }
    float BlockPeak(int block) const
    {
        int peak = 0;
        for (int i = 0; i < c_iBlock; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(m_samples[block * c_iBlock + i])));
        return static_cast<float>(peak) / 32767.0f;
    }

  private:
    int m_iBlocks;
    std::vector<int16_t> m_samples;
    std::atomic<int> m_iBlocksDone{0};
    std::atomic<int> m_iAllowed;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
} // namespace

// Every setter the panel uses, moved from this thread while another renders.
TEST(EngineThreaded, SettersWhileRendering)
{
    ScopedSoundManager sound;
    Engine engine;
    for (int v = 0; v < 4; ++v)
    {
        engine.voices[v]->pitch.SetValue(c_rPitches[v]);
        engine.voices[v]->timbre.SetValue(0.6f);
    }
    constexpr int c_iBlocks = 400;
    RenderThread render(&engine.limiter, c_iBlocks, c_iBlocks);
    for (int i = 0; render.BlocksDone() < c_iBlocks; ++i)
    {
        const float x = static_cast<float>(i % 17) / 16.0f;
        for (auto& voice : engine.voices)
        {
            voice->SetMode(i % 4);
            voice->filter.SetResonance(x * 11.0f);
        }
        engine.width.GetTweakable()->SetValue_Range(x);
        engine.cutoff.GetTweakable()->SetValue_Range(1.0f - x);
        engine.overdrive.SetDrive(x);
        engine.delay.SetDelayTime(x);
        engine.delay.SetFeedback(1.0f - x);
        engine.delay.SetDelayLevel(i % 3 == 0 ? 0.0f : x);
        std::this_thread::yield();
    }
    render.Join();
    float loudest = 0.0f;
    for (int b = 0; b < c_iBlocks; ++b)
    {
        ASSERT_LE(render.BlockPeak(b), 0.95f);
        loudest = std::max(loudest, render.BlockPeak(b));
    }
    EXPECT_GT(loudest, 0.1f);
}

// Switching the echo off and on while blocks render: the ring is cleared by the
// audio thread, never by the setter, and nothing of the old echo comes back.
TEST(DelayThreaded, EchoSwitchedOffAndOnWhileRenderingClearsTheRing)
{
    ScopedSoundManager sound;
    std::atomic<bool> loud{true};
    TestSignal input(
        [&loud](long n)
        { return loud.load(std::memory_order_relaxed) ? ((n / 40) % 2 ? 0.8f : -0.8f) : 0.0f; });
    SoundSource_Delay delay;
    delay.SetSoundSource(&input, 0);
    delay.SetDelayTime(0.3f); // about 16,000 samples
    delay.SetFeedback(0.9f);
    delay.SetDelayLevel(0.7f);

    constexpr int c_iBlocks = 800;
    RenderThread render(&delay, c_iBlocks, 0);
    for (int i = 0; i < 400; ++i)
    {
        const int target = render.BlocksDone() + 1;
        render.Allow(1);
        delay.SetDelayLevel(i % 2 ? 0.7f : 0.0f); // while that block renders
        render.WaitFor(target);
    }
    delay.SetDelayLevel(0.7f);
    render.Run(80); // the ring fills with echoes
    loud.store(false);
    delay.SetDelayLevel(0.0f);
    render.Run(2);
    const int mark = render.BlocksDone();
    render.Allow(100);
    delay.SetDelayLevel(0.7f);
    render.WaitFor(mark + 100);
    render.Join();

    float before = 0.0f;
    for (int b = mark - 60; b < mark - 3; ++b)
        before = std::max(before, render.BlockPeak(b));
    EXPECT_GT(before, 0.1f); // echoes were sounding before the echo went off
    for (int b = mark + 1; b < mark + 100; ++b)
        ASSERT_EQ(render.BlockPeak(b), 0.0f) << "block " << b;
}

// A new echo time set while a block renders is never lost: the next impulse
// echoes at the time set last.
TEST(DelayThreaded, TimeChangedDuringABlockIsApplied)
{
    ScopedSoundManager sound;
    std::atomic<bool> fire{false};
    std::atomic<long> firedAt{-1};
    TestSignal input(
        [&](long n)
        {
            if (!fire.exchange(false))
                return 0.0f;
            firedAt.store(n);
            return 1.0f;
        });
    SoundSource_Delay delay;
    delay.SetSoundSource(&input, 0);
    delay.SetFeedback(0.0f);
    delay.SetDelayLevel(1.0f);
    const float panel[2] = {0.1f, 0.15f};
    int samples[2];
    for (int k = 0; k < 2; ++k)
        samples[k] = SoundSource_Delay::DelaySamples(0.001f + 0.999f * panel[k] * panel[k]);

    constexpr int c_iTrials = 40;
    const int blocksPerTrial = samples[1] / RenderThread::c_iBlock + 4;
    RenderThread render(&delay, c_iTrials * (blocksPerTrial + 2) + 10, 1);
    render.WaitFor(1);
    for (int trial = 0; trial < c_iTrials; ++trial)
    {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const int k = trial % 2;
        const int target = render.BlocksDone() + 1;
        render.Allow(1);
        delay.SetDelayTime(panel[k]); // while that block renders
        render.WaitFor(target);
        fire.store(true);
        render.Run(blocksPerTrial);
        const long at = firedAt.load();
        ASSERT_GE(at, 0);
        EXPECT_EQ(render.Sample(at), 1.0f);
        EXPECT_EQ(render.Sample(at + samples[k]), 1.0f);
        EXPECT_EQ(render.Sample(at + samples[1 - k]), 0.0f);
    }
}
