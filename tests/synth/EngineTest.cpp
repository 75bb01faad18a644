// The four-voice synth played with real touches: every mode, the limiter's bounds,
// no allocation on the audio path, touches and setters while another thread renders.
#include "dsp/SoundSource_Delay.h"
#include "platform/alsa/MidiInput.h"
#include "support/SoundTestSupport.h"
#include "synth/MidiVoices.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <thread>

using namespace zindle_test;

// Allocations on any thread are counted while the flag is up (the array forms call these).
static std::atomic<bool> g_bCountAllocations{false};
static std::atomic<int> g_iAllocations{0};

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
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

namespace
{
const int c_iFingerX[4] = {100, 180, 260, 340};
void (Synth_FourVoice::*const c_setters[])(float) = {
    &Synth_FourVoice::SetResonance, &Synth_FourVoice::SetPulseWidth,
    &Synth_FourVoice::SetCutoff,    &Synth_FourVoice::SetOverdrive,
    &Synth_FourVoice::SetEchoTime,  &Synth_FourVoice::SetEchoRepeat,
    &Synth_FourVoice::SetEchoLevel};
} // namespace

TEST(Engine, EveryModeStartsANewFingerOnItsPitchAndSoundsWithinTheLimiterBounds)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int mode = 0; mode < Synth_FourVoice::c_iModes; ++mode)
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        {
            Engine engine;
            engine.synth.SetMode(mode);
            engine.synth.SetOverdrive(0.3f);
            engine.Down(0, 60, 100);
            Render(engine.synth.GetRoot(), 2048, 1024);
            // A finger lifts and another lands on the same voice between blocks.
            engine.Up(0);
            engine.Down(1, 400, 200);
            const int stamp = SoundManager::GetInstance()->GetTimeStamp();
            Render(engine.synth.GetRoot(), 1024, 1024);
            const Runs pitch = RunsOf(*engine.synth.GetTheremin(0), 0, stamp, 1024);
            EXPECT_NEAR(pitch.at(0).first, WindowHz(400), 0.01) << "no glide from the old";
            engine.Up(1);

            for (int k = 0; k < 4; ++k)
                engine.Down(k, c_iFingerX[k], 100);
            const std::vector<float> out = Render(engine.synth.GetRoot(), 44100, 1024);
            EXPECT_TRUE(AllFinite(out) && Peak(out) <= 0.95f) << Peak(out);
            EXPECT_GT(Mean(out, 0, 2), 0.01); // RMS above 0.1
            EXPECT_GT(Magnitude(out, WindowHz(c_iFingerX[0])), 0.02) << "the lowest voice";

            // Fingers lift: the voices end, the echo rings on and decays.
            for (int k = 0; k < 4; ++k)
                engine.Up(k);
            const std::vector<float> tail = Render(engine.synth.GetRoot(), 10 * 44100, 1024);
            EXPECT_GT(Peak(tail, 0, 44100), 0.01f);
            EXPECT_LT(Peak(tail, 9 * 44100), 1e-3f);
        }
        // No setting, however extreme, leaves finite samples within the bounds.
        for (float setting : {0.0f, 1.0f, -1.0f, 1e30f, -1e30f, nan, inf})
        {
            SCOPED_TRACE(testing::Message() << "setting " << setting);
            Engine extreme;
            extreme.synth.SetMode(mode);
            for (int k = 0; k < 4; ++k)
                extreme.Down(k, k * 159, k * 106);
            for (auto setter : c_setters)
                (extreme.synth.*setter)(setting);
            const std::vector<float> wild = Render(extreme.synth.GetRoot(), 3 * 44100, 1024);
            ASSERT_TRUE(AllFinite(wild) && Peak(wild) <= 0.95f) << Peak(wild);
        }
    }
}

TEST(Engine, PullingBlocksAllocatesNothingInAnyModeWithEveryControlMoving)
{
    Engine engine;
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(engine.synth.GetRoot());
    std::vector<int16_t> out(3000);
    int produced = 0;
    for (int block = 0; block < 480; ++block)
    {
        // The main thread's part, not counted: every control moves.
        const float x = static_cast<float>(block % 17) / 16.0f;
        engine.synth.SetMode(block / 120);
        for (auto setter : c_setters)
            (engine.synth.*setter)(x);
        engine.synth.SetEchoLevel(block % 40 < 20 ? x : 0.0f);
        InstrumentState& instrument = engine.synth.GetInstrumentState();
        const int autotune[4] = {0, 4410, 264, 0}; // off, slow, fast, snap
        instrument.SetAutotuneSamples(autotune[block / 30 % 4], block / 30 % 4 != 0);
        if (block % 45 == 0)
            instrument.ToggleNote(block / 45 % 12);
        instrument.SetPitchZoom(block % 60 < 30 ? 0.0f : x);
        instrument.SetPitchScale(1.0f - x);
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
        produced += static_cast<int>(
            std::count_if(out.begin(), out.begin() + samples, [](int16_t s) { return s != 0; }));
    }
    manager->SetStreamSource(nullptr);
    EXPECT_EQ(g_iAllocations.load(), 0);
    EXPECT_GT(produced, 100000) << "it played";
}

namespace
{
// Voice blocks not filled by their runs, mixing silence with a note, or out of
// range (a finger plays 12 Hz to 2.8 kHz and autotune a little beyond, a MIDI
// note 8.2 Hz to 12.5 kHz).
int BadRuns(const SoundControlSource& voice, int stamp, int count)
{
    int bad = 0;
    bool silent = false, sounding = false;
    for (int channel = 0; channel < 2; ++channel)
    {
        const SoundControlBuffer* buffer = voice.GetBuffer(channel);
        if (buffer->GetTimeStamp() != stamp)
            continue;
        int total = 0;
        for (int i = 0; i < buffer->GetRunCount(); ++i)
        {
            const float v = buffer->GetRun(i).value;
            total += buffer->GetRun(i).length;
            if (channel == 0)
                (v == 0.0f ? silent : sounding) = true;
            const bool inRange =
                channel == 0 ? v == 0.0f || (v >= 8.0f && v <= 12544.0f) : v >= 0.0f && v <= 1.0f;
            bad += inRange ? 0 : 1;
        }
        bad += total != count ? 1 : 0;
    }
    return bad + (silent && sounding ? 1 : 0);
}
} // namespace

// Fingers land, slide off and lift, with every panel setting, while an audio thread
// pulls blocks of every length through the whole synth.
TEST(EngineThreaded, TouchAndMidiStormAndEverySetterWhileAudioRenders)
{
    Engine engine;
    Synth_FourVoice& synth = engine.synth;
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(synth.GetRoot());
    // What the audio thread found, counted without locks.
    std::atomic<long> blocks{0}, badSamples{0}, badRuns{0};
    std::atomic<float> loudest{0.0f};
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
                    badSamples += std::isfinite(v) && v <= 0.95f ? 0 : 1;
                    if (v > loudest.load(std::memory_order_relaxed))
                        loudest.store(v, std::memory_order_relaxed);
                }
                for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
                    badRuns += BadRuns(*synth.GetTheremin(v), stamp, count);
                ++blocks;
            }
        });

    // MIDI in from a thread of its own, as RtMidi's: a flood of notes, bends,
    // timbre, pedal and zone messages, played on the voices here, between touches.
    MidiInput input;
    MidiVoices midi;
    SoundControl_Theremin* voices[Synth_FourVoice::c_iVoices];
    for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
        voices[v] = synth.GetTheremin(v);
    midi.SetVoices(voices, Synth_FourVoice::c_iVoices);
    size_t sent = 0, played = 0;
    std::thread sender(
        [&]
        {
            std::mt19937 random(99);
            for (; sent < 100000; ++sent)
            {
                const unsigned r = static_cast<unsigned>(random());
                const unsigned char kinds[] = {0x90, 0x80, 0xE0, 0xB0, 0xD0, 0x90};
                unsigned char bytes[3] = {static_cast<unsigned char>(kinds[r % 6] | (r >> 4 & 15)),
                                          static_cast<unsigned char>(r >> 8 & 127),
                                          static_cast<unsigned char>(r >> 16 & 127)};
                if (bytes[0] >> 4 == 0xB)
                    bytes[1] = "\x01\x4A\x40\x65\x64\x06\x7B"[(r >> 24) % 7];
                input.Receive(bytes, bytes[0] >> 4 == 0xD ? 2 : 3);
            }
        });

    std::mt19937 random(1234);
    auto uniform = [&](int lo, int hi)
    { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const int autotune[][2] = {{0, 0}, {4410, 1}, {264, 1}, {0, 1}};
    // At least 40000 steps, and on until the audio thread has pulled 200 blocks
    // among them: a busy machine may hold that thread back for most of the storm.
    for (int step = 0; step < 40000 || (blocks.load() < 200 && step < 4000000); ++step)
    {
        const int action = uniform(0, 10), finger = uniform(0, 5);
        if (action <= 1 && engine.Id(finger) < 0)
            engine.Down(finger, uniform(-10, 485), uniform(0, 320));
        else if (action >= 2 && action <= 4)
            engine.Move(finger, uniform(-15, 505), uniform(-10, 330));
        else if (action == 5)
            engine.Up(finger);
        else if (action == 6)
        {
            const int* mode = autotune[uniform(0, 3)];
            synth.GetInstrumentState().SetAutotuneSamples(mode[0], mode[1] != 0);
            synth.GetInstrumentState().ToggleNote(uniform(0, 11));
        }
        else if (action == 7)
        {
            synth.GetInstrumentState().SetPitchZoom(uniform(0, 4) / 4.0f);
            synth.GetInstrumentState().SetPitchScale(uniform(0, 100) / 100.0f);
        }
        else if (action == 8)
            for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
                synth.GetTheremin(v)->UpdateTouchPosition();
        else if (action == 9)
        {
            synth.SetMode(uniform(0, Synth_FourVoice::c_iModes - 1));
            (synth.*c_setters[uniform(0, 6)])(uniform(0, 16) / 16.0f);
        }
        else if (action == 10 && uniform(0, 50) == 0)
            TouchManager::GetInstance()->KillAllTouches();
        played += input.Drain(midi);
        if (step % 64 == 0) // let the other threads in now and then, also on a single core
            std::this_thread::yield();
    }
    sender.join();
    played += input.Drain(midi);
    stop.store(true, std::memory_order_release);
    audio.join();
    manager->SetStreamSource(nullptr);

    EXPECT_GT(loudest.load(), 0.1f) << "the fingers were heard";
    EXPECT_EQ(badSamples.load(), 0);
    EXPECT_EQ(badRuns.load(), 0);
    EXPECT_EQ(played + input.GetDropped(), sent) << "every message played or counted dropped";
    EXPECT_GT(played, 0u);
    midi.SetVoices(nullptr, 0);
}

// Settings changed while a block renders: the echo switched off and on clears its
// ring, so nothing of the old echo comes back; a new echo time is never lost.
TEST(DelayThreaded, SettingsChangedWhileABlockRendersTakeEffect)
{
    ScopedSoundManager sound;
    std::atomic<bool> loud{true}, fire{false};
    TestSignal input(
        [&](long n)
        {
            if (fire.exchange(false))
                return 1.0f;
            return loud.load(std::memory_order_relaxed) ? ((n / 40) % 2 ? 0.8f : -0.8f) : 0.0f;
        });
    SoundSource_Delay delay;
    delay.SetSoundSource(&input, 0);
    delay.SetDelayTime(0.3f); // about 16,000 samples
    delay.SetFeedback(0.9f);
    delay.SetDelayLevel(0.7f);
    std::vector<float> out;
    // Renders blocks of 512 on an audio thread while `during` runs on this one.
    auto renderWhile = [&](int blocks, const std::function<void()>& during)
    {
        std::thread audio(
            [&]
            {
                const std::vector<float> rendered = Render(&delay, blocks * 512, 512);
                out.insert(out.end(), rendered.begin(), rendered.end());
            });
        during();
        audio.join();
    };
    auto level = [&](float x) { return [&delay, x] { delay.SetDelayLevel(x); }; };

    for (int i = 0; i < 400; ++i)
        renderWhile(1, level(i % 2 ? 0.7f : 0.0f));
    renderWhile(80, level(0.7f)); // the ring fills with echoes
    loud.store(false);
    renderWhile(2, level(0.0f));
    const size_t mark = out.size();
    renderWhile(100, level(0.7f));
    EXPECT_GT(Peak(out, mark - 60 * 512, mark - 3 * 512), 0.1f) << "echoes before it went off";
    EXPECT_EQ(Peak(out, mark + 512), 0.0f) << "nothing of the old echo comes back";

    delay.SetFeedback(0.0f);
    delay.SetDelayLevel(1.0f);
    const float panel[2] = {0.1f, 0.15f};
    int samples[2];
    for (int k = 0; k < 2; ++k)
        samples[k] = SoundSource_Delay::DelaySamples(0.001f + 0.999f * panel[k] * panel[k]);
    for (int trial = 0; trial < 40; ++trial)
    {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const int k = trial % 2;
        renderWhile(1, [&] { delay.SetDelayTime(panel[k]); });
        const size_t at = out.size();
        fire.store(true);
        renderWhile(samples[1] / 512 + 4, [] {});
        EXPECT_EQ((std::vector{out[at], out[at + samples[k]], out[at + samples[1 - k]]}),
                  (std::vector{1.0f, 1.0f, 0.0f}));
    }
}
