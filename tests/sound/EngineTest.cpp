// The instrument's four-voice synth, played with real touches through the real
// touch manager: every synth mode sounds, a new finger starts on its own pitch
// whichever channel the graph pulls first, no setting makes it produce anything
// but finite samples within the limiter's bounds, and every setter is safe while
// another thread renders.
#include "SoundTestSupport.h"
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "sound/Synth_FourVoice.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
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
// The synth on a 480 x 320 playing area, its fingers put down through the touch manager.
class Engine
{
  public:
    Engine()
    {
        TouchManager::Startup();
        SoundControl_Theremin::ResetSettings();
        m_camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
        synth = std::make_unique<Synth_FourVoice>();
        synth->SetCamera(&m_camera);
        // The panel's echo as the program starts.
        synth->SetEchoLevel(0.24f);
        synth->SetEchoTime(0.15f);
        synth->SetEchoRepeat(0.4f);
    }
    ~Engine()
    {
        synth.reset();
        TouchManager::Shutdown();
        SoundControl_Theremin::ResetSettings();
    }

    // Finger k at landscape point (x, y); it goes to the first idle voice.
    void Down(int k, int x, int y)
    {
        TouchManager::GetInstance()->TouchBegan(&m_fingers[k], x - TouchManager::c_iOffsetX, y);
    }
    void Move(int k, int x, int y)
    {
        TouchManager* manager = TouchManager::GetInstance();
        manager->TouchMoved(manager->FindTouchID(&m_fingers[k]), x - TouchManager::c_iOffsetX, y);
    }
    void Up(int k)
    {
        TouchManager* manager = TouchManager::GetInstance();
        manager->TouchEnded(manager->FindTouchID(&m_fingers[k]), 0, 0);
    }
    // The pitch a finger at x plays in the default window.
    static double Hz(int x) { return 65.406395 * std::pow(2.0, -1.125 + 5.25 * x / 480.0); }

    ScopedSoundManager sound;
    std::unique_ptr<Synth_FourVoice> synth;

  private:
    Camera_2D m_camera;
    char m_fingers[8] = {};
};

const int c_iFingerX[4] = {100, 180, 260, 340};
} // namespace

TEST(Engine, EveryModeSoundsWithinTheLimiterBounds)
{
    for (int mode = 0; mode < Synth_FourVoice::c_iModes; ++mode)
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Engine engine;
        engine.synth->SetMode(mode);
        engine.synth->SetOverdrive(0.3f);
        for (int k = 0; k < 4; ++k)
            engine.Down(k, c_iFingerX[k], 100);
        const std::vector<float> out = Render(engine.synth->GetRoot(), 44100, 1024);
        EXPECT_TRUE(AllFinite(out));
        EXPECT_LE(Peak(out), 0.95f);
        EXPECT_GT(Rms(out), 0.1);
        EXPECT_GT(Magnitude(out, Engine::Hz(c_iFingerX[0])), 0.02) << "the lowest voice";

        // Fingers lift: the voices end, the echo rings on and decays.
        for (int k = 0; k < 4; ++k)
            engine.Up(k);
        const std::vector<float> tail = Render(engine.synth->GetRoot(), 10 * 44100, 1024);
        EXPECT_GT(Peak(tail, 0, 44100), 0.01f);
        EXPECT_LT(Peak(tail, 9 * 44100), 1e-3f);
    }
}

TEST(Engine, ANewFingerStartsOnItsPitchInEveryMode)
{
    for (int mode = 0; mode < Synth_FourVoice::c_iModes; ++mode)
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Engine engine;
        engine.synth->SetMode(mode);
        engine.Down(0, 60, 100);
        Render(engine.synth->GetRoot(), 2048, 1024);
        // One finger lifts and another lands on the same voice between blocks.
        engine.Up(0);
        engine.Down(1, 400, 200);
        const int stamp = SoundManager::GetInstance()->GetTimeStamp();
        Render(engine.synth->GetRoot(), 1024, 1024);
        // What the graph pulled from the voice in that block, in its own order.
        const SoundControlBuffer* pitch =
            engine.synth->GetTheremin(0)->UpdateBuffer(0, stamp, 1024);
        ASSERT_NE(pitch, nullptr);
        ASSERT_GT(pitch->GetRunCount(), 0);
        EXPECT_NEAR(pitch->GetRuns()[0].value, Engine::Hz(400), 0.01) << "no glide from the old";
    }
}

TEST(Engine, PullingBlocksAllocatesNothingInAnyModeWithEveryControlMoving)
{
    Engine engine;
    Synth_FourVoice& synth = *engine.synth;
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
        SCOPED_TRACE("setting " + std::to_string(setting));
        for (int mode = 0; mode < Synth_FourVoice::c_iModes; ++mode)
        {
            Engine engine;
            engine.synth->SetMode(mode);
            for (int k = 0; k < 4; ++k)
                engine.Down(k, k * 159, k * 106); // corners and middles of the surface
            Synth_FourVoice& synth = *engine.synth;
            synth.SetResonance(setting);
            synth.SetPulseWidth(setting);
            synth.SetCutoff(setting);
            synth.SetOverdrive(setting);
            synth.SetEchoTime(setting);
            synth.SetEchoRepeat(setting);
            synth.SetEchoLevel(setting);
            const std::vector<float> out = Render(synth.GetRoot(), 3 * 44100, 1024);
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
    Engine engine;
    for (int k = 0; k < 4; ++k)
        engine.Down(k, c_iFingerX[k], 120);
    Synth_FourVoice& synth = *engine.synth;
    constexpr int c_iBlocks = 400;
    RenderThread render(synth.GetRoot(), c_iBlocks, c_iBlocks);
    for (int i = 0; render.BlocksDone() < c_iBlocks; ++i)
    {
        const float x = static_cast<float>(i % 17) / 16.0f;
        synth.SetMode(i % Synth_FourVoice::c_iModes);
        synth.SetResonance(x);
        synth.SetPulseWidth(x);
        synth.SetCutoff(1.0f - x);
        synth.SetOverdrive(x);
        synth.SetEchoTime(x);
        synth.SetEchoRepeat(1.0f - x);
        synth.SetEchoLevel(i % 3 == 0 ? 0.0f : x);
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
