// Speed of the sound engine: each node alone, and the instrument's four-voice
// synth played by still fingers, in 1024-sample blocks. Counters: ns per output sample
// and real-time factor (audio seconds rendered per CPU second).
#include "dsp/DenormalGuard.h"
#include "dsp/SoundControlSource.h"
#include "dsp/SoundControl_Switch.h"
#include "dsp/SoundControl_Tweakable.h"
#include "dsp/SoundManager.h"
#include "dsp/SoundSource_Amp.h"
#include "dsp/SoundSource_BLPulse.h"
#include "dsp/SoundSource_BLSaw.h"
#include "dsp/SoundSource_Delay.h"
#include "dsp/SoundSource_LadderFilter.h"
#include "dsp/SoundSource_Limiter.h"
#include "dsp/SoundSource_Mixer.h"
#include "dsp/SoundSource_Osc_Sine.h"
#include "dsp/SoundSource_Overdrive.h"
#include "dsp/SoundSource_Switch.h"
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "synth/Synth_FourVoice.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace
{
constexpr int c_iBlock = 1024;
constexpr float c_rSampleRate = 44100.0f;

// A finger held still: channel 0 the pitch in Hz, channel 1 the timbre.
class FixedControl : public SoundControlSource
{
  public:
    FixedControl(float pitch, float timbre) : SoundControlSource(2), m_rValue{pitch, timbre} {}
    void Generate(int channel, int, SoundControlBuffer* buffer, int count) override
    {
        buffer->AddValue(m_rValue[channel], count);
    }
    float m_rValue[2];
};

// Plays one precomputed block over and over (a copy costs about nothing).
class BlockSource : public SoundStreamSource
{
  public:
    BlockSource() : SoundStreamSource(1)
    {
        for (int i = 0; i < c_iBlock; ++i)
            m_rBlock[i] = 0.8f * std::sin(static_cast<float>(i) * 0.0627f) +
                          0.3f * std::sin(static_cast<float>(i) * 0.41f);
    }
    int Generate(int, int, float* buffer, int count) override
    {
        std::memcpy(buffer, m_rBlock, sizeof(float) * static_cast<size_t>(count));
        return 1;
    }

  private:
    float m_rBlock[c_iBlock];
};

// The sound manager the nodes size themselves from; no device, no thread.
class BenchSoundManager : public SoundManager
{
  public:
    BenchSoundManager() { m_iSamplesPerFrame = c_iMaxBlockSamples; }
    void StartStream() override {}
    void StopStream() override {}
    static void Ensure()
    {
        if (!s_pInstance)
            s_pInstance = new BenchSoundManager;
    }
};

void SetCounters(benchmark::State& state, int64_t samples)
{
    state.counters["ns/sample"] =
        benchmark::Counter(static_cast<double>(samples) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x realtime"] = benchmark::Counter(static_cast<double>(samples) / c_rSampleRate,
                                                      benchmark::Counter::kIsRate);
}

// Pulls `root` block by block for the benchmark's iterations (one block each).
void RunBlocks(benchmark::State& state, SoundStreamSource& root, bool flushDenormals = true)
{
    std::optional<DenormalGuard> guard;
    if (flushDenormals)
        guard.emplace();
    static float buffer[c_iBlock];
    int stamp = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(root.Generate(0, stamp++, buffer, c_iBlock));
        benchmark::ClobberMemory();
    }
    SetCounters(state, state.iterations() * c_iBlock);
}

// The instrument's synth with `voices` fingers held still on a 480 x 320
// playing area, in one mode, with the panel's settings for that mode.
struct Engine
{
    Engine(int voices, int mode)
    {
        if (!TouchManager::GetInstance())
            TouchManager::Startup();
        camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
        synth.SetCamera(&camera);
        synth.SetMode(mode);
        // The resonance each mode's slider starts at; PWM's cutoff part open.
        synth.SetResonance(mode == 1 ? 0.8f : mode == 3 ? 0.0f : 8.0f / 11.0f);
        synth.SetCutoff(0.7f);
        synth.SetOverdrive(0.3f);
        synth.SetEchoLevel(0.24f); // the panel's starting echo
        synth.SetEchoTime(0.15f);
        synth.SetEchoRepeat(0.4f);
        // About 110, 165, 220 and 330 Hz, the finger at 40 % of the height.
        static const int x[4] = {128, 182, 226, 280};
        for (int v = 0; v < voices; ++v)
            TouchManager::GetInstance()->TouchBegan(&fingers[v], x[v], 192);
    }
    ~Engine() { TouchManager::GetInstance()->KillAllTouches(); }

    void LiftFingers() { TouchManager::GetInstance()->KillAllTouches(); }
    SoundStreamSource& Root() { return *synth.GetRoot(); }

    Camera_2D camera;
    Synth_FourVoice synth{SoundManager::c_rSampleRate, SoundManager::c_iMaxBlockSamples};
    char fingers[4] = {};
};

void BM_Engine(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    const int mode = static_cast<int>(state.range(0));
    const int voices = static_cast<int>(state.range(1));
    Engine engine(voices, mode);
    RunBlocks(state, engine.Root(), state.range(2) != 0);
    static const char* const names[4] = {"Mekko", "Pulse", "Theremin", "PWM"};
    state.SetLabel(std::string(names[mode]) + (state.range(2) ? "" : ", denormals not flushed"));
}
BENCHMARK(BM_Engine)
    ->ArgNames({"mode", "voices", "ftz"})
    ->ArgsProduct({{0, 1, 2, 3}, {1, 4}, {1}})
    ->Args({0, 4, 0});

// The echo tail after the fingers lift, over the stretch in which it decays
// through the smallest floats: timing starts when the output has fallen below
// 1e-36 (still a normal float) and covers the next 1.5 s. Without flushing,
// nearly every multiply of the echo and the limiter there is on a subnormal.
void BM_EchoTail(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    const bool flush = state.range(0) != 0;
    constexpr int c_iTailBlocks = static_cast<int>(1.5f * c_rSampleRate) / c_iBlock;
    static float buffer[c_iBlock];
    int64_t samples = 0;
    int64_t subnormals = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        std::optional<DenormalGuard> guard;
        if (flush)
            guard.emplace();
        auto engine = std::make_unique<Engine>(4, 0);
        int stamp = 0;
        for (int b = 0; b < static_cast<int>(c_rSampleRate) / c_iBlock; ++b)
            engine->Root().Generate(0, stamp++, buffer, c_iBlock);
        engine->LiftFingers();
        float peak = 1.0f;
        while (peak >= 1e-36f)
        {
            engine->Root().Generate(0, stamp++, buffer, c_iBlock);
            peak = 0.0f;
            for (float x : buffer)
                peak = std::max(peak, std::fabs(x));
        }
        state.ResumeTiming();
        for (int b = 0; b < c_iTailBlocks; ++b)
        {
            benchmark::DoNotOptimize(engine->Root().Generate(0, stamp++, buffer, c_iBlock));
            benchmark::ClobberMemory();
            if (b == c_iTailBlocks / 4)
            {
                state.PauseTiming();
                for (float x : buffer)
                    subnormals += std::fpclassify(x) == FP_SUBNORMAL ? 1 : 0;
                state.ResumeTiming();
            }
        }
        state.PauseTiming();
        engine.reset();
        guard.reset();
        state.ResumeTiming();
        samples += static_cast<int64_t>(c_iTailBlocks) * c_iBlock;
    }
    SetCounters(state, samples);
    // Share of subnormal output samples a quarter of the way in.
    state.counters["subnormal share"] =
        static_cast<double>(subnormals) / static_cast<double>(state.iterations() * c_iBlock);
    state.SetLabel(flush ? "denormals flushed" : "denormals not flushed");
}
BENCHMARK(BM_EchoTail)->ArgName("ftz")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Each node alone. Filters and effects process a precomputed block.
void BM_Saw(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    FixedControl finger(220.0f, 0.6f);
    SoundSource_BLSaw saw;
    saw.SetPitchSource(&finger, 0);
    RunBlocks(state, saw);
}
BENCHMARK(BM_Saw);

void BM_Pulse(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    FixedControl finger(220.0f, 0.6f);
    SoundSource_BLPulse pulse;
    pulse.SetPitchSource(&finger, 0);
    pulse.SetWidthSource(&finger, 1);
    RunBlocks(state, pulse);
}
BENCHMARK(BM_Pulse);

void BM_Sine(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    FixedControl finger(220.0f, 0.6f);
    SoundSource_Osc_Sine sine;
    sine.SetPitchSource(&finger, 0);
    RunBlocks(state, sine);
}
BENCHMARK(BM_Sine);

void BM_BlockCopy(benchmark::State& state) // the input the processors below read
{
    BenchSoundManager::Ensure();
    BlockSource input;
    RunBlocks(state, input);
}
BENCHMARK(BM_BlockCopy);

void BM_LadderFilter(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    BlockSource input;
    FixedControl finger(220.0f, 0.6f);
    SoundSource_LadderFilter filter;
    filter.SetSoundSource(&input, 0);
    filter.SetCutoffSource(&finger, 1);
    RunBlocks(state, filter);
}
BENCHMARK(BM_LadderFilter);

void BM_Amp(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    BlockSource input;
    FixedControl finger(220.0f, 0.6f);
    SoundSource_Amp amp;
    amp.SetSoundSource(&input, 0);
    amp.SetVolumeSource(&finger, 1);
    RunBlocks(state, amp);
}
BENCHMARK(BM_Amp);

void BM_Overdrive(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    BlockSource input;
    SoundSource_Overdrive overdrive;
    overdrive.SetSoundSource(&input, 0);
    overdrive.SetDrive(0.5f);
    RunBlocks(state, overdrive);
}
BENCHMARK(BM_Overdrive);

void BM_Delay(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    BlockSource input;
    auto delay = std::make_unique<SoundSource_Delay>();
    delay->SetSoundSource(&input, 0);
    delay->SetDelayLevel(0.24f);
    delay->SetDelayTime(0.15f);
    delay->SetFeedback(0.4f);
    RunBlocks(state, *delay);
}
BENCHMARK(BM_Delay);

void BM_Limiter(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    BlockSource input;
    SoundSource_Limiter limiter;
    limiter.SetSource(&input, 0);
    RunBlocks(state, limiter);
}
BENCHMARK(BM_Limiter);

void BM_Mixer(benchmark::State& state) // four producing inputs
{
    BenchSoundManager::Ensure();
    BlockSource input[4];
    SoundSource_Mixer mixer;
    for (auto& in : input)
        mixer.AddSoundSource(&in, 0, 1.0f);
    RunBlocks(state, mixer);
}
BENCHMARK(BM_Mixer);

void BM_Switch(benchmark::State& state)
{
    BenchSoundManager::Ensure();
    BlockSource input;
    SoundSource_Switch sw(2);
    sw.SetSource(1, &input, 0);
    sw.SetCurrentSource(1);
    RunBlocks(state, sw);
}
BENCHMARK(BM_Switch);
} // namespace

BENCHMARK_MAIN();
