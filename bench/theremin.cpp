// Cost of one theremin voice per block: both control channels of a moving
// finger, in each autotune mode, with twelve notes or a scale of the most
// degrees a scale may have, and the touch manager's auction for a new finger.
#include "formats/Tuning.h"
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "synth/InstrumentState.h"
#include "synth/SoundControl_Theremin.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
// Mode: 0 off, 1 gentle ("Slow"), 2 snap, 3 gentle with the finger resting
// (the correction toward the nearest degree runs every block). Degrees: 0 the twelve notes, else
// a scale of that many equal degrees to the octave, a little off C.
void BM_ThereminBlock(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const int mode = static_cast<int>(state.range(1));
    const int degrees = static_cast<int>(state.range(2));
    TouchManager::Startup();
    InstrumentState instrument;
    if (degrees > 0)
    {
        std::vector<double> cents;
        for (int i = 1; i <= degrees; ++i)
            cents.push_back(1200.0 * i / degrees);
        const Tuning scale("equal", cents, 70.0);
        instrument.SetTuning(&scale);
    }
    if (mode == 1 || mode == 3)
        instrument.SetAutotuneSamples(4410, true);
    else if (mode == 2)
        instrument.SetAutotuneSamples(0, true);
    Camera_2D camera;
    camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
    {
        SoundControl_Theremin voice(instrument);
        voice.SetCamera(&camera);
        int handle = 0;
        TouchManager* manager = TouchManager::GetInstance();
        manager->TouchBegan(&handle, 100, 100);
        int stamp = 0, x = 100;
        for (auto _ : state)
        {
            // A finger sliding back and forth: every block glides.
            x = x >= 400 ? 100 : x + 7;
            if (mode != 3)
                manager->TouchMoved(0, x, 100 + x / 4);
            ++stamp;
            benchmark::DoNotOptimize(voice.UpdateBuffer(0, stamp, count));
            benchmark::DoNotOptimize(voice.UpdateBuffer(1, stamp, count));
        }
        state.SetItemsProcessed(state.iterations() * count);
    }
    TouchManager::Shutdown();
}
BENCHMARK(BM_ThereminBlock)
    ->ArgNames({"samples", "mode", "degrees"})
    ->Args({256, 0, 0})
    ->Args({256, 1, 0})
    ->Args({256, 2, 0})
    ->Args({1024, 1, 0})
    ->Args({256, 1, 1024})
    ->Args({256, 2, 1024})
    ->Args({256, 3, 0})
    ->Args({256, 3, 1024});

void BM_TouchAuction(benchmark::State& state)
{
    TouchManager::Startup();
    Camera_2D camera;
    camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
    {
        InstrumentState instrument;
        SoundControl_Theremin voices[4] = {
            SoundControl_Theremin(instrument), SoundControl_Theremin(instrument),
            SoundControl_Theremin(instrument), SoundControl_Theremin(instrument)};
        for (auto& voice : voices)
            voice.SetCamera(&camera);
        int handle = 0;
        TouchManager* manager = TouchManager::GetInstance();
        for (auto _ : state)
        {
            manager->TouchBegan(&handle, 200, 100);
            manager->TouchEnded(manager->FindTouchID(&handle), 200, 100);
        }
    }
    TouchManager::Shutdown();
}
BENCHMARK(BM_TouchAuction);
} // namespace

BENCHMARK_MAIN();
