// Four theremins played by a storm of touches and setting changes on the main
// thread while an audio thread pulls blocks through real oscillators, filters
// and a mixer, as the live program does.
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "sound/SoundControl_Theremin.h"
#include "sound/SoundControl_Tweakable.h"
#include "sound/SoundManager.h"
#include "sound/SoundSource_Amp.h"
#include "sound/SoundSource_BLPulse.h"
#include "sound/SoundSource_BLSaw.h"
#include "sound/SoundSource_LadderFilter.h"
#include "sound/SoundSource_Mixer.h"
#include "sound/SoundSource_Osc_Sine.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>

namespace
{
using Theremin = SoundControl_Theremin;

// What the audio thread found, counted without locks.
struct AudioReport
{
    std::atomic<long> blocks{0};
    std::atomic<long> soundingBlocks{0};
    std::atomic<long> nonFiniteSamples{0};
    std::atomic<long> badPitchRuns{
        0};                          // not finite, or beyond half an octave outside the full range
    std::atomic<long> mixedPitch{0}; // a block with both silent and sounding runs
    std::atomic<long> badTimbreRuns{0}; // outside [0, 1]
    std::atomic<long> badLengths{0};    // runs not adding up to the block
};

void CheckControl(Theremin& voice, int stamp, int count, AudioReport& report)
{
    // Already generated for this stamp by the graph: this only reads the cache.
    const SoundControlBuffer* pitch = voice.UpdateBuffer(0, stamp, count);
    const SoundControlBuffer* timbre = voice.UpdateBuffer(1, stamp, count);
    int total = 0;
    bool silent = false, sounding = false;
    for (int i = 0; i < pitch->GetRunCount(); ++i)
    {
        const auto& run = pitch->GetRun(i);
        total += run.length;
        if (run.value == 0.0f)
            silent = true;
        else if (std::isfinite(run.value) && run.value >= 8.0f && run.value <= 4100.0f)
            sounding = true;
        else
            ++report.badPitchRuns;
    }
    if (silent && sounding)
        ++report.mixedPitch;
    if (total != count)
        ++report.badLengths;
    total = 0;
    for (int i = 0; i < timbre->GetRunCount(); ++i)
    {
        const auto& run = timbre->GetRun(i);
        total += run.length;
        if (!(run.value >= 0.0f && run.value <= 1.0f))
            ++report.badTimbreRuns;
    }
    if (total != count)
        ++report.badLengths;
}
} // namespace

TEST(ThereminThreaded, TouchAndSettingStormWhileAudioRendersThroughOscillators)
{
    zindle_test::ScopedSoundManager sound;
    TouchManager::Startup();
    Theremin::ResetSettings();
    SoundManager* manager = SoundManager::GetInstance();
    ASSERT_NE(manager, nullptr);

    Camera_2D camera;
    camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));

    // The four synth voices: saw and pulse through ladder filters, a sine
    // through an amplifier, a pulse whose width follows the finger.
    std::unique_ptr<Theremin> voices[4];
    for (auto& voice : voices)
    {
        voice = std::make_unique<Theremin>();
        voice->SetCamera(&camera);
    }
    SoundSource_BLSaw saw;
    saw.SetPitchSource(voices[0].get(), 0);
    SoundSource_LadderFilter sawFilter;
    sawFilter.SetSoundSource(&saw, 0);
    sawFilter.SetCutoffSource(voices[0].get(), 1);

    SoundControl_Tweakable halfWidth(0.0f, 1.0f, 0.5f);
    SoundSource_BLPulse pulse;
    pulse.SetPitchSource(voices[1].get(), 0);
    pulse.SetWidthSource(&halfWidth, 0);
    SoundSource_LadderFilter pulseFilter;
    pulseFilter.SetSoundSource(&pulse, 0);
    pulseFilter.SetCutoffSource(voices[1].get(), 1);

    SoundSource_Osc_Sine sine;
    sine.SetPitchSource(voices[2].get(), 0);
    SoundSource_Amp amp;
    amp.SetSoundSource(&sine, 0);
    amp.SetVolumeSource(voices[2].get(), 1);

    SoundSource_BLPulse pwm;
    pwm.SetPitchSource(voices[3].get(), 0);
    pwm.SetWidthSource(voices[3].get(), 1);

    SoundSource_Mixer mixer;
    mixer.AddSoundSource(&sawFilter, 0, 1.0f);
    mixer.AddSoundSource(&pulseFilter, 0, 1.0f);
    mixer.AddSoundSource(&amp, 0, 1.0f);
    mixer.AddSoundSource(&pwm, 0, 1.0f);
    manager->SetStreamSource(&mixer);
    manager->StartStream();

    AudioReport report;
    std::atomic<bool> stop{false};
    std::thread audio(
        [&]
        {
            // Block lengths as --buffer may give them, short ones included.
            const int counts[] = {1024, 256, 17, 64, 29, 1000, 30, 512, 1};
            int k = 0;
            while (!stop.load(std::memory_order_acquire))
            {
                const int count = counts[k++ % std::size(counts)];
                const int stamp = manager->GetTimeStamp();
                const float* block = manager->PullBlock(count);
                if (block)
                {
                    ++report.soundingBlocks;
                    for (int i = 0; i < count; ++i)
                    {
                        if (!std::isfinite(block[i]))
                            ++report.nonFiniteSamples;
                    }
                }
                for (auto& voice : voices)
                    CheckControl(*voice, stamp, count, report);
                ++report.blocks;
            }
        });

    // The storm: six fingers landing, sliding (in and out of the surface) and
    // lifting, mixed with every setting the panel can change.
    std::mt19937 random(1234);
    auto uniform = [&](int lo, int hi)
    { return std::uniform_int_distribution<int>(lo, hi)(random); };
    char handles[6] = {};
    TouchManager* touches = TouchManager::GetInstance();
    const int autotune[][2] = {{0, 0}, {4410, 1}, {264, 1}, {0, 1}};
    for (int step = 0; step < 40000; ++step)
    {
        void* handle = &handles[uniform(0, 5)];
        const int id = touches->FindTouchID(handle);
        switch (uniform(0, 9))
        {
        case 0:
        case 1:
            if (id < 0)
                touches->TouchBegan(handle, uniform(-5, 480), uniform(0, 320));
            break;
        case 2:
        case 3:
        case 4:
            touches->TouchMoved(id, uniform(-20, 500), uniform(-10, 330));
            break;
        case 5:
            touches->TouchEnded(id, uniform(0, 480), uniform(0, 320));
            break;
        case 6:
        {
            const int* mode = autotune[uniform(0, 3)];
            Theremin::SetAutotuneSamples(mode[0], mode[1] != 0);
            Theremin::ToggleNote(uniform(0, 11));
            break;
        }
        case 7:
            Theremin::SetPitchZoom(uniform(0, 4) / 4.0f);
            Theremin::SetPitchScale(uniform(0, 100) / 100.0f);
            break;
        case 8:
            for (auto& voice : voices)
                voice->UpdateTouchPosition();
            break;
        default:
            if (uniform(0, 50) == 0)
                touches->KillAllTouches();
            break;
        }
        // Let the audio thread in now and then, also on a single core.
        if (step % 64 == 0)
            std::this_thread::yield();
    }
    // Make sure the storm overlapped some audio, then stop.
    while (report.blocks.load() < 50)
        std::this_thread::yield();
    stop.store(true, std::memory_order_release);
    audio.join();

    manager->StopStream();
    manager->SetStreamSource(nullptr);

    EXPECT_GT(report.blocks.load(), 0);
    EXPECT_GT(report.soundingBlocks.load(), 0) << "the fingers were heard";
    EXPECT_EQ(report.nonFiniteSamples.load(), 0);
    EXPECT_EQ(report.badPitchRuns.load(), 0);
    EXPECT_EQ(report.mixedPitch.load(), 0) << "a block is either a note or silence";
    EXPECT_EQ(report.badTimbreRuns.load(), 0);
    EXPECT_EQ(report.badLengths.load(), 0);

    for (auto& voice : voices)
        voice.reset();
    TouchManager::Shutdown();
    Theremin::ResetSettings();
}
