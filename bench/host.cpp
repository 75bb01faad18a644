// The host as a player and a script meet it.
// BM_LiveInputToVoice: the real live loop (SDL's offscreen video, dummy audio,
// 256-sample device requests) while another thread pushes left-button presses
// into SDL's event queue at random times. Each latency is the time from the push
// to the first audio block whose voice plays the finger. Counters, in
// milliseconds: median, 99th percentile and maximum, with the window focused
// (20 frames a second) and unfocused (5).
// BM_HeadlessDemoToWav: the demo performance rendered headless to a WAV, as
// `zindle --headless --script examples/demo.zs --wav FILE` does, start-up
// included. Counter: real-time factor (seconds of music per second of wall time).
#include "host/Host.h"
#include "app/State_Main.h"
#include "app/ZindleApp.h"
#include "dsp/SoundBlockListener.h"
#include "dsp/SoundManager.h"
#include "host/CommandLine.h"
#include "synth/SoundControl_Theremin.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int c_iPresses = 120;

int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// On the audio thread: notes when voice 0 first plays a pushed press.
class OnsetListener : public SoundBlockListener
{
  public:
    void BlockPulled(int /*stamp*/, int /*count*/) override
    {
        SoundControl_Theremin* theremin = m_pTheremin.load(std::memory_order_acquire);
        const int64_t pushed = m_iPushed.load(std::memory_order_acquire);
        if (!theremin || pushed == 0 || !theremin->GetBlockFinger().bActive)
            return;
        m_iHeard.store(Now() - pushed, std::memory_order_release);
        m_iPushed.store(0, std::memory_order_release);
    }

    std::atomic<SoundControl_Theremin*> m_pTheremin{nullptr};
    std::atomic<int64_t> m_iPushed{0}; // when the pending press was pushed; 0 for none
    std::atomic<int64_t> m_iHeard{-1}; // its latency in ns once heard
};

OnsetListener g_listener;
std::atomic<bool> g_bReady{false};

void Push(Uint32 type, Uint8 button)
{
    SDL_Event event{};
    event.type = type;
    event.button.button = button;
    event.button.x = 480; // the middle of the default 960 x 640 window
    event.button.y = 320;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&event);
}

// Presses and releases the left button at random moments, then quits.
void Player(bool unfocused, std::vector<double>& latencies, std::vector<double>& handled)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> gap(15000, 90000); // microseconds
    while (!g_bReady.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (unfocused)
    {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        SDL_PushEvent(&event);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < c_iPresses; ++i)
    {
        std::this_thread::sleep_for(std::chrono::microseconds(gap(random)));
        g_listener.m_iHeard.store(-1);
        g_listener.m_iPushed.store(Now(), std::memory_order_release);
        Push(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
        const auto deadline = Clock::now() + std::chrono::seconds(1);
        bool seen = false;
        while (g_listener.m_iHeard.load(std::memory_order_acquire) < 0 && Clock::now() < deadline)
        {
            SoundControl_Theremin* theremin = g_listener.m_pTheremin.load();
            if (!seen && theremin && theremin->IsTouchActive())
            {
                seen = true;
                handled.push_back(static_cast<double>(Now() - g_listener.m_iPushed.load()) * 1e-6);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const int64_t heard = g_listener.m_iHeard.load();
        g_listener.m_iPushed.store(0);
        if (heard >= 0)
            latencies.push_back(static_cast<double>(heard) * 1e-6);
        std::this_thread::sleep_for(std::chrono::microseconds(gap(random)));
        Push(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    }
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

void BM_LiveInputToVoice(benchmark::State& state)
{
    const bool unfocused = state.range(0) != 0;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    HostOptions options;
    options.sDataDirectory = CommandLine::FindDataDirectory("", "");
    options.iSeed = 1;
    options.rSeconds = 60.0; // a safety net: the player quits long before
    std::vector<double> latencies, handled;
    for (auto _ : state)
    {
        latencies.clear();
        handled.clear();
        g_bReady = false;
        Host::SetFrameObserver(
            [](int64_t frame)
            {
                // The main state is installed by the first frame's update.
                if (frame != 1)
                    return;
                State_Main* main = ZindleApp::s_pInstance->GetMainState();
                g_listener.m_pTheremin.store(main ? main->GetTheremin(0) : nullptr);
                if (SoundManager* sound = SoundManager::GetInstance())
                    sound->SetBlockListener(&g_listener);
                g_bReady = true;
            });
        std::thread player(Player, unfocused, std::ref(latencies), std::ref(handled));
        Host::Run(options);
        player.join();
        Host::SetFrameObserver(nullptr);
        g_listener.m_pTheremin.store(nullptr);
    }
    if (latencies.empty())
    {
        state.SkipWithError("no press was heard");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q)
    { return latencies[static_cast<size_t>(q * static_cast<double>(latencies.size() - 1))]; };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = latencies.back();
    state.counters["heard"] = static_cast<double>(latencies.size());
    if (!handled.empty())
    {
        std::sort(handled.begin(), handled.end());
        state.counters["handled_p99_ms"] =
            handled[static_cast<size_t>(0.99 * static_cast<double>(handled.size() - 1))];
    }
}
BENCHMARK(BM_LiveInputToVoice)
    ->ArgName("unfocused")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void BM_HeadlessDemoToWav(benchmark::State& state)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    const std::string data = CommandLine::FindDataDirectory("", "");
    HostOptions options;
    options.bHeadless = true;
    options.sDataDirectory = data;
    options.sScript = (std::filesystem::path(data).parent_path() / "examples" / "demo.zs").string();
    options.sWav = (std::filesystem::temp_directory_path() / "zindle-bench-demo.wav").string();
    options.iSeed = 1;
    double music = 0.0;
    for (auto _ : state)
    {
        if (Host::Run(options) != 0)
        {
            state.SkipWithError("the demo did not play");
            return;
        }
        music += 21.0; // the demo's "end"
    }
    std::filesystem::remove(options.sWav);
    state.counters["realtime_x"] = benchmark::Counter(music, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadlessDemoToWav)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

BENCHMARK_MAIN();
