// The instrument's four-voice synth, played with real touches through the real
// touch manager: every synth mode sounds, a new finger starts on its own pitch
// whichever channel the graph pulls first, no setting makes it produce anything
// but finite samples within the limiter's bounds, nothing allocates on the
// audio path, and touches and setters are safe while another thread renders.
#include "SoundTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <thread>

using namespace zindle_test;

// This program's allocations are counted while the flag is up, on any thread.
namespace
{
std::atomic<bool> g_bCountAllocations{false};
std::atomic<int> g_iAllocations{0};
} // namespace

// GCC takes these malloc/free pairs for mismatched new and delete once inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    if (g_bCountAllocations.load(std::memory_order_relaxed))
        g_iAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

namespace
{
const int c_iFingerX[4] = {100, 180, 260, 340};
} // namespace

TEST(Engine, EveryModeStartsANewFingerOnItsPitchAndSoundsWithinTheLimiterBounds)
{
    for (int mode = 0; mode < Synth_FourVoice::c_iModes; ++mode)
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Engine engine;
        engine.synth.SetMode(mode);
        engine.synth.SetOverdrive(0.3f);
        engine.Down(0, 60, 100);
        Render(engine.synth.GetRoot(), 2048, 1024);
        // One finger lifts and another lands on the same voice between blocks;
        // the graph pulls the voice's channels in its own order.
        engine.Up(0);
        engine.Down(1, 400, 200);
        const int stamp = SoundManager::GetInstance()->GetTimeStamp();
        Render(engine.synth.GetRoot(), 1024, 1024);
        const SoundControlBuffer* pitch = engine.synth.GetTheremin(0)->UpdateBuffer(0, stamp, 1024);
        ASSERT_GT(pitch->GetRunCount(), 0);
        EXPECT_NEAR(pitch->GetRuns()[0].value, WindowHz(400), 0.01) << "no glide from the old";
        engine.Up(1);

        for (int k = 0; k < 4; ++k)
            engine.Down(k, c_iFingerX[k], 100);
        const std::vector<float> out = Render(engine.synth.GetRoot(), 44100, 1024);
        EXPECT_TRUE(AllFinite(out));
        EXPECT_LE(Peak(out), 0.95f);
        EXPECT_GT(Rms(out), 0.1);
        EXPECT_GT(Magnitude(out, WindowHz(c_iFingerX[0])), 0.02) << "the lowest voice";

        // Fingers lift: the voices end, the echo rings on and decays.
        for (int k = 0; k < 4; ++k)
            engine.Up(k);
        const std::vector<float> tail = Render(engine.synth.GetRoot(), 10 * 44100, 1024);
        EXPECT_GT(Peak(tail, 0, 44100), 0.01f);
        EXPECT_LT(Peak(tail, 9 * 44100), 1e-3f);
    }
}

TEST(Engine, PullingBlocksAllocatesNothingInAnyModeWithEveryControlMoving)
{
    Engine engine;
    Synth_FourVoice& synth = engine.synth;
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(synth.GetRoot());
    std::vector<int16_t> out(3000);
    int produced = 0;
    for (int block = 0; block < 480; ++block)
    {
        // The main thread's part, not counted: every control moves.
        const float x = static_cast<float>(block % 17) / 16.0f;
        synth.SetMode(block / 120);
        synth.SetResonance(x);
        synth.SetPulseWidth(1.0f - x);
        synth.SetCutoff(x);
        synth.SetOverdrive(x);
        synth.SetEchoLevel(block % 40 < 20 ? x : 0.0f);
        synth.SetEchoTime(x);
        synth.SetEchoRepeat(x);
        const int autotune = (block / 30) % 4; // off, slow, fast, snap
        SoundControl_Theremin::SetAutotuneSamples(autotune == 1   ? 4410
                                                  : autotune == 2 ? 264
                                                                  : 0,
                                                  autotune != 0);
        if (block % 45 == 0)
            SoundControl_Theremin::ToggleNote(block / 45 % 12);
        SoundControl_Theremin::SetPitchZoom(block % 60 < 30 ? 0.0f : x);
        SoundControl_Theremin::SetPitchScale(1.0f - x);
        for (int k = 0; k < 4; ++k)
        {
            if (block % 50 == k)
                engine.Up(k);
            else if (block % 50 == k + 5 || block == 0)
                engine.Down(k, c_iFingerX[k], 100);
            else
                engine.Move(k, c_iFingerX[k] + block % 40, 100 + 3 * k + block % 30);
        }
        // The audio path's part: requests of every size, cut into blocks.
        const int samples = 64 + (block * 389) % 2900;
        g_bCountAllocations = true;
        manager->RenderOutput(out.data(), samples);
        g_bCountAllocations = false;
        for (int i = 0; i < samples; ++i)
            produced += out[static_cast<size_t>(i)] != 0 ? 1 : 0;
    }
    manager->SetStreamSource(nullptr);
    EXPECT_EQ(g_iAllocations.load(), 0);
    EXPECT_GT(produced, 100000) << "it played";
}

TEST(Engine, ExtremeSettingsStillGiveFiniteBoundedOutput)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float setting : {0.0f, 1.0f, -1.0f, 1e30f, -1e30f, nan, inf})
    {
        for (int mode = 0; mode < Synth_FourVoice::c_iModes; ++mode)
        {
            SCOPED_TRACE("setting " + std::to_string(setting) + ", mode " + std::to_string(mode));
            Engine engine;
            Synth_FourVoice& synth = engine.synth;
            synth.SetMode(mode);
            for (int k = 0; k < 4; ++k)
                engine.Down(k, k * 159, k * 106); // corners and middles of the surface
            for (auto setter : {&Synth_FourVoice::SetResonance, &Synth_FourVoice::SetPulseWidth,
                                &Synth_FourVoice::SetCutoff, &Synth_FourVoice::SetOverdrive,
                                &Synth_FourVoice::SetEchoTime, &Synth_FourVoice::SetEchoRepeat,
                                &Synth_FourVoice::SetEchoLevel})
                (synth.*setter)(setting);
            const std::vector<float> out = Render(synth.GetRoot(), 3 * 44100, 1024);
            ASSERT_TRUE(AllFinite(out));
            ASSERT_LE(Peak(out), 0.95f);
        }
    }
}

namespace
{
// What the audio thread found, counted without locks: samples not finite or
// beyond the limiter's bounds, and voice blocks whose runs do not fill the
// block, mix silence with a note, or leave the pitch or timbre range.
struct AudioReport
{
    std::atomic<long> blocks{0}, badSamples{0}, badRuns{0};
    std::atomic<float> loudest{0.0f};

    void Check(const SoundControlSource& voice, int stamp, int count)
    {
        bool silent = false, sounding = false;
        for (int channel = 0; channel < 2; ++channel)
        {
            const SoundControlBuffer* buffer = voice.GetBuffer(channel);
            if (buffer->GetTimeStamp() != stamp)
                continue; // not pulled in this block: the voice is silent
            int total = 0;
            for (int i = 0; i < buffer->GetRunCount(); ++i)
            {
                const float v = buffer->GetRun(i).value;
                total += buffer->GetRun(i).length;
                if (channel == 0)
                    (v == 0.0f ? silent : sounding) = true;
                badRuns += (channel == 0 ? v == 0.0f || (v >= 8.0f && v <= 4100.0f)
                                         : v >= 0.0f && v <= 1.0f)
                               ? 0
                               : 1;
            }
            badRuns += total != count ? 1 : 0;
        }
        badRuns += silent && sounding ? 1 : 0; // a block is either a note or silence
    }
};
} // namespace

// Fingers land, slide in and out of the surface and lift, mixed with every
// setting the panel can change, while an audio thread pulls blocks of every
// length through the whole synth, as the live program does.
TEST(EngineThreaded, TouchStormAndEverySetterWhileAudioRenders)
{
    Engine engine;
    Synth_FourVoice& synth = engine.synth;
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(synth.GetRoot());
    AudioReport report;
    std::atomic<bool> stop{false};
    std::thread audio(
        [&]
        {
            const int counts[] = {1024, 256, 17, 64, 29, 1000, 30, 512, 1};
            for (int k = 0; !stop.load(std::memory_order_acquire); ++k)
            {
                const int count = counts[k % std::size(counts)];
                const int stamp = manager->GetTimeStamp();
                const float* block = manager->PullBlock(count);
                for (int i = 0; block && i < count; ++i)
                {
                    const float v = std::fabs(block[i]);
                    report.badSamples += std::isfinite(v) && v <= 0.95f ? 0 : 1;
                    if (v > report.loudest.load(std::memory_order_relaxed))
                        report.loudest.store(v, std::memory_order_relaxed);
                }
                for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
                    report.Check(*synth.GetTheremin(v), stamp, count);
                ++report.blocks;
            }
        });

    std::mt19937 random(1234);
    auto uniform = [&](int lo, int hi)
    { return std::uniform_int_distribution<int>(lo, hi)(random); };
    TouchManager* touches = TouchManager::GetInstance();
    const int autotune[][2] = {{0, 0}, {4410, 1}, {264, 1}, {0, 1}};
    void (Synth_FourVoice::*setters[])(float) = {
        &Synth_FourVoice::SetResonance, &Synth_FourVoice::SetPulseWidth,
        &Synth_FourVoice::SetCutoff,    &Synth_FourVoice::SetOverdrive,
        &Synth_FourVoice::SetEchoTime,  &Synth_FourVoice::SetEchoRepeat,
        &Synth_FourVoice::SetEchoLevel};
    for (int step = 0; step < 40000; ++step)
    {
        const int finger = uniform(0, 5);
        switch (uniform(0, 10))
        {
        case 0:
        case 1:
            if (engine.Id(finger) < 0)
                engine.Down(finger, uniform(-10, 485), uniform(0, 320));
            break;
        case 2:
        case 3:
        case 4:
            engine.Move(finger, uniform(-15, 505), uniform(-10, 330));
            break;
        case 5:
            engine.Up(finger);
            break;
        case 6:
        {
            const int* mode = autotune[uniform(0, 3)];
            SoundControl_Theremin::SetAutotuneSamples(mode[0], mode[1] != 0);
            SoundControl_Theremin::ToggleNote(uniform(0, 11));
            break;
        }
        case 7:
            SoundControl_Theremin::SetPitchZoom(uniform(0, 4) / 4.0f);
            SoundControl_Theremin::SetPitchScale(uniform(0, 100) / 100.0f);
            break;
        case 8:
            for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
                synth.GetTheremin(v)->UpdateTouchPosition();
            break;
        case 9:
            synth.SetMode(uniform(0, Synth_FourVoice::c_iModes - 1));
            (synth.*setters[uniform(0, 6)])(uniform(0, 16) / 16.0f);
            break;
        default:
            if (uniform(0, 50) == 0)
                touches->KillAllTouches();
            break;
        }
        if (step % 64 == 0) // let the audio thread in now and then, also on a single core
            std::this_thread::yield();
    }
    while (report.blocks.load() < 50) // make sure the storm overlapped some audio
        std::this_thread::yield();
    stop.store(true, std::memory_order_release);
    audio.join();
    manager->SetStreamSource(nullptr);

    EXPECT_GT(report.loudest.load(), 0.1f) << "the fingers were heard";
    EXPECT_EQ(report.badSamples.load(), 0);
    EXPECT_EQ(report.badRuns.load(), 0);
}

namespace
{
// Renders 512-sample blocks on its own thread through the sound manager, as the
// audio thread does, keeping every sample, up to the number of blocks allowed
// so far, so that a test can pace it.
class RenderThread
{
  public:
    static constexpr int c_iBlock = 512;

    RenderThread(SoundStreamSource* root, int blocks, int allowed)
        : m_samples(static_cast<size_t>(blocks) * c_iBlock, 0), m_iAllowed(allowed)
    {
        SoundManager::GetInstance()->SetStreamSource(root);
        m_thread = std::thread(
            [this, blocks]
            {
                for (int b = 0; b < blocks; ++b)
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
    ~RenderThread()
    {
        m_bStop.store(true);
        m_thread.join();
        SoundManager::GetInstance()->SetStreamSource(nullptr);
    }

    int BlocksDone() const { return m_iBlocksDone.load(std::memory_order_acquire); }
    void Allow(int more) { m_iAllowed.fetch_add(more); }
    void WaitFor(int blocks)
    {
        while (BlocksDone() < blocks)
            std::this_thread::yield();
    }
    // Lets `blocks` more blocks render and waits until they have.
    void Run(int blocks)
    {
        const int target = BlocksDone() + blocks;
        Allow(blocks);
        WaitFor(target);
    }

    // Samples of blocks already rendered.
    float Sample(long index) const { return m_samples[static_cast<size_t>(index)] / 32767.0f; }
    float BlockPeak(int block) const
    {
        int peak = 0;
        for (int i = 0; i < c_iBlock; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(m_samples[block * c_iBlock + i])));
        return static_cast<float>(peak) / 32767.0f;
    }

  private:
    std::vector<int16_t> m_samples;
    std::atomic<int> m_iBlocksDone{0};
    std::atomic<int> m_iAllowed;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
} // namespace

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

    RenderThread render(&delay, 800, 0);
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

    float before = 0.0f;
    for (int b = mark - 60; b < mark - 3; ++b)
        before = std::max(before, render.BlockPeak(b));
    EXPECT_GT(before, 0.1f) << "echoes were sounding before the echo went off";
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
