// Golden sound: windows of the real synth played with real touches (and one with
// MIDI notes), per mode, with each autotune, a Scala scale and the echo, compared
// within one 16-bit step with tests/data/golden.
// After a change meant to alter the sound, listen to the new windows and store them:
//     ZINDLE_GOLDEN=1 build/release/tests/test_synth --gtest_filter='Windows/Golden*'
// writes the files instead of comparing.
#include "core/MidiEvent.h"
#include "formats/ScalaFile.h"
#include "formats/Tuning.h"
#include "support/SoundTestSupport.h"
#include "synth/MidiVoices.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <string>

using namespace zindle_test;

namespace
{
constexpr int c_iBlock = 256; // the performance acts between blocks

struct SoundWindow
{
    const char* name;
    int mode;
    int from, samples;                        // the stored part of the performance
    void (*play)(Engine& engine, int sample); // before the block that starts at `sample`
};
void PrintTo(const SoundWindow& window, std::ostream* out)
{
    *out << window.name;
}

// clang-format off
const SoundWindow c_windows[] = {
    {"Mekko", Synth_FourVoice::c_iModeMekko, 0, 4096, [](Engine& e, int t) {
        if (t == 0) { e.synth.SetResonance(8 / 11.0f); e.Down(0, 100, 120); e.Down(1, 260, 200); }
        if (t == 1024) e.Move(1, 200, 60); // a glide that opens the filter
        if (t == 2560) e.Up(0);            // the saw's release
    }},
    {"Pulse", Synth_FourVoice::c_iModePulse, 0, 4096, [](Engine& e, int t) {
        if (t == 0) { e.synth.SetResonance(0.8f); e.synth.SetPulseWidth(0.3f); e.Down(0, 150, 60); }
        if (t == 0) { e.synth.SetOverdrive(0.25f); e.Down(1, 330, 250); } // to limit
        if (t == 1536) e.Move(0, 180, 200);
    }},
    {"Theremin", Synth_FourVoice::c_iModeTheremin, 0, 4096, [](Engine& e, int t) {
        if (t == 0) e.Down(0, 240, 290);    // quiet
        if (t == 1024) e.Move(0, 240, 40);  // loud
        if (t == 2048) e.Down(1, 360, 160);
    }},
    {"PWM", Synth_FourVoice::c_iModePWM, 0, 4096, [](Engine& e, int t) {
        if (t == 0) { e.synth.SetCutoff(0.4f); e.synth.SetResonance(0.3f); e.Down(0, 200, 80); }
        if (t == 1536) e.synth.SetCutoff(0.8f); // a slider's ramp
        if (t == 2560) e.Move(0, 220, 250);     // the width follows the finger
    }},
    {"SlowAutotune", Synth_FourVoice::c_iModeTheremin, 2048, 6144, [](Engine& e, int t) {
        if (t == 0) e.synth.GetInstrumentState().SetAutotuneSamples(4410, true);
        if (t == 0) e.Down(0, 100, 100);
        if (t == 256) e.Move(0, 112, 100); // from C to 0.2 semitone above C sharp: corrected
    }},
    {"Echo", Synth_FourVoice::c_iModeMekko, 1024, 5120, [](Engine& e, int t) {
        if (t == 0) { e.synth.SetEchoLevel(1.0f); e.synth.SetEchoTime(0.1f); e.Down(0, 300, 150); }
        if (t == 0) e.synth.SetEchoRepeat(1.0f); // held below 1 at so short a time (1938 samples)
        if (t == 512) e.Up(0);
    }},
    {"FastAutotune", Synth_FourVoice::c_iModeTheremin, 2048, 4096, [](Engine& e, int t) {
        if (t == 0) e.synth.GetInstrumentState().SetAutotuneSamples(264, true);
        if (t == 0) e.Down(0, 100, 100);
        if (t == 256) e.Move(0, 112, 100); // the same rest, pulled in about 6 ms
    }},
    {"SnapAutotune", Synth_FourVoice::c_iModeMekko, 0, 4096, [](Engine& e, int t) {
        InstrumentState& state = e.synth.GetInstrumentState();
        if (t == 0) {
            state.SetAutotuneSamples(0, true);
            for (int note : {1, 3, 5, 6, 8, 10, 11}) state.ToggleNote(note); // C D E G A
            e.Down(0, 150, 120);
        }
        if (t == 1024) e.Move(0, 175, 120); // across zones: the pitch jumps
        if (t == 2560) e.Move(0, 205, 160);
    }},
    {"ScalaTuning", Synth_FourVoice::c_iModePulse, 0, 4096, [](Engine& e, int t) {
        static Tuning justMajor;
        if (t == 0) {
            std::string error;
            const char* scale = "! just major\nJust major\n7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n";
            ASSERT_TRUE(ScalaFile::ParseScale(scale, "just.scl", justMajor, error)) << error;
            e.synth.GetInstrumentState().SetTuning(&justMajor);
            e.synth.GetInstrumentState().SetAutotuneSamples(0, true); // on the degrees
            e.synth.SetResonance(0.5f);
            e.Down(0, 120, 150);
            e.Down(1, 280, 100);
        }
        if (t == 2048) e.Move(0, 140, 150);
    }},
    {"MidiNote", Synth_FourVoice::c_iModePWM, 0, 4096, [](Engine& e, int t) {
        static MidiVoices midi; // the keyboard's voices, made afresh at the start
        const auto send = [](uint8_t status, uint8_t a, uint8_t b)
        { midi.Handle(MidiEvent::Make(0, status, a, b)); };
        if (t == 0) {
            SoundControl_Theremin* voices[Synth_FourVoice::c_iVoices];
            for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
                voices[v] = e.synth.GetTheremin(v);
            midi.Reset();
            midi.SetVoices(voices, Synth_FourVoice::c_iVoices);
            send(0x90, 57, 100); // A3, 220 Hz
        }
        if (t == 1024) send(0xE0, 0, 96);  // bent up a semitone
        if (t == 2048) send(0x90, 64, 80); // a second voice
        if (t == 3072) send(0x80, 57, 0);
    }},
};
// clang-format on

std::vector<int16_t> Perform(const SoundWindow& window)
{
    Engine engine;
    engine.synth.SetMode(window.mode);
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(engine.synth.GetRoot());
    std::vector<int16_t> out(static_cast<size_t>(window.from + window.samples));
    for (int t = 0; t < static_cast<int>(out.size()); t += c_iBlock)
    {
        window.play(engine, t);
        manager->RenderOutput(&out[static_cast<size_t>(t)], c_iBlock);
    }
    manager->SetStreamSource(nullptr);
    return std::vector<int16_t>(out.begin() + window.from, out.end());
}

bool WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples)
{
    SF_INFO info = {0, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const auto count = static_cast<sf_count_t>(samples.size());
    const bool written = file && sf_write_short(file, samples.data(), count) == count;
    return file && sf_close(file) == 0 && written;
}

using Golden = ::testing::TestWithParam<SoundWindow>;
} // namespace

TEST_P(Golden, TheSynthPlaysTheStoredWindow)
{
    const SoundWindow& window = GetParam();
    const std::vector<int16_t> now = Perform(window);
    ASSERT_GT(PeakLevel(now, 0, now.size()), 3000) << "a sound, not silence";
    const std::filesystem::path file =
        TestDataDir() / "golden" / (std::string(window.name) + ".wav");
    if (const char* golden = std::getenv("ZINDLE_GOLDEN"); golden && std::string(golden) == "1")
    {
        std::filesystem::create_directories(file.parent_path());
        ASSERT_TRUE(WriteWav(file, now)) << file;
        GTEST_SKIP() << "ZINDLE_GOLDEN=1: wrote " << file << " instead of comparing";
    }
    WavFile stored;
    ASSERT_TRUE(ReadWav(file, stored)) << file << " cannot be read; ZINDLE_GOLDEN=1 writes it";
    ASSERT_EQ(stored.samples.size(), now.size());
    int differing = 0, first = -1;
    for (size_t i = 0; i < now.size(); ++i)
        if (std::abs(now[i] - stored.samples[i]) > 1 && differing++ == 0)
            first = static_cast<int>(i);
    EXPECT_EQ(differing, 0) << "samples differ by more than one step, the first at sample "
                            << window.from + first << " of the performance";
}

INSTANTIATE_TEST_SUITE_P(Windows, Golden, ::testing::ValuesIn(c_windows),
                         [](const testing::TestParamInfo<SoundWindow>& info)
                         { return std::string(info.param.name); });
