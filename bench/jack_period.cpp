// The JACK process callback's work per 256-frame period (PeriodRenderer, JACK
// itself aside): the four-voice synth pulled for the period, at a 44.1 kHz
// server (no resampling) and at 48 kHz (libsamplerate's medium-quality sinc).
// With no fingers down the graph is silent and nearly free, which leaves the
// resampler's own share. Counters: microseconds of CPU per period and the
// percentage of the period's real time that is.
#include "dsp/SoundManager.h"
#include "input/TouchManager.h"
#include "platform/jack/PeriodRenderer.h"
#include "render/Camera_2D.h"
#include "synth/Synth_FourVoice.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int c_iPeriod = 256;

class BenchSoundManager : public SoundManager
{
  public:
    BenchSoundManager() { m_iSamplesPerFrame = c_iMaxBlockSamples; }
    void StartStream() override {}
    void StopStream() override {}
};

void BM_JackPeriod(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    const int voices = static_cast<int>(state.range(1));
    if (!TouchManager::GetInstance())
        TouchManager::Startup();
    BenchSoundManager sound;
    Camera_2D camera;
    camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
    Synth_FourVoice synth{SoundManager::c_rSampleRate, SoundManager::c_iMaxBlockSamples};
    synth.SetCamera(&camera);
    synth.SetMode(0);
    synth.SetEchoLevel(0.24f); // the panel's starting echo
    sound.SetStreamSource(synth.GetRoot());
    // About 110, 165, 220 and 330 Hz, the fingers at 40 % of the height.
    static const int x[4] = {128, 182, 226, 280};
    char fingers[4] = {};
    for (int v = 0; v < voices; ++v)
        TouchManager::GetInstance()->TouchBegan(&fingers[v], x[v], 192);
    PeriodRenderer period(sound, rate, false);
    std::vector<float> out(c_iPeriod);
    for (auto _ : state)
    {
        period.Render(out.data(), c_iPeriod, nullptr, 0, nullptr, nullptr);
        benchmark::ClobberMemory();
    }
    TouchManager::GetInstance()->KillAllTouches();
    const double periodSeconds = static_cast<double>(c_iPeriod) / rate;
    state.counters["us_per_period"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 1e6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["percent_of_period"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * periodSeconds / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(rate == SoundManager::c_iSampleRate ? "no resampling"
                                                       : PeriodRenderer::c_sQuality);
}
BENCHMARK(BM_JackPeriod)->ArgNames({"rate", "voices"})->ArgsProduct({{44100, 48000}, {4, 0}});
} // namespace

BENCHMARK_MAIN();
