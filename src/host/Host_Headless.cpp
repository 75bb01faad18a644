#include "host/Host.h"

#include "app/HeadlessRun.h"
#include "app/ScriptPlayer.h"
#include "app/State_Main.h"
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "core/Printable.h"
#include "dsp/SoundManager_Offline.h"
#include "file/File_Bundle.h"
#include "formats/PerformanceScript.h"
#include "formats/ScalaFile.h"
#include "formats/StandardMidiFile.h"
#include "formats/Tuning.h"
#include "host/CommandLine.h"
#include "host/HostShared.h"
#include "host/MidiOutput.h"
#include "host/PNGWriter.h"
#include "host/SettingsFile.h"
#include "host/Signals.h"
#include "host/WavWriter.h"
#include "platform/alsa/MidiInput.h"
#include "platform/sdl/AudioDevices_SDL.h"
#include "platform/sdl/DesktopIdentity.h"
#include "platform/sdl/SoundManager_SDL.h"
#include "platform/sdl/View_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "synth/MidiVoices.h"
#include "synth/SoundControl_Theremin.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

using namespace HostShared;

namespace
{
constexpr double c_rDefaultHeadlessSeconds = 10.0;

// The desktop's part of the shared headless loop: the WAV, the MIDI file played
// beside the script, MIDI out, the frame observer and the signals that stop a run.
class DesktopHeadless : public HeadlessRun::Host
{
  public:
    DesktopHeadless(ZindleApp& app, WavWriter& wav, MidiSchedule& schedule, MidiOutput& midi,
                    MidiVoices& midiIn)
        : m_app(app), m_wav(wav), m_schedule(schedule), m_midi(midi), m_midiIn(midiIn)
    {
    }
    void TakeSamples(const int16_t* samples, int count) override
    {
        if (m_wav.IsOpen())
            m_wav.Write(samples, static_cast<size_t>(count));
    }
    int64_t GetNextEventSample() const override { return m_schedule.GetNextEventSample(); }
    void PlayEventsUntil(int64_t sample) override { m_schedule.PlayUntil(sample); }
    bool Interrupted() override { return Signals::Caught(); }
    void FrameStarting(int64_t frame) override { ::Host::NotifyFrame(frame); }
    void InstrumentStarted() override { StartInstrument(m_app, m_midi, m_midiIn); }
    void FrameDone() override { m_midi.Update(); }

  private:
    ZindleApp& m_app;
    WavWriter& m_wav;
    MidiSchedule& m_schedule;
    MidiOutput& m_midi;
    MidiVoices& m_midiIn;
};
} // namespace

int Host::RunHeadless(const HostOptions& options)
{
    // Offscreen GL needs no display; respect a driver the caller chose.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // A headless run writes what it was asked to and nothing else: no shader
    // cache under the home folder (older Mesa reads the second name).
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    setenv("MESA_GLSL_CACHE_DISABLE", "true", 0);

    PerformanceScript script;
    StandardMidiFile played;
    if (!LoadScript(options, script) || !LoadPlay(options, played))
        return 2;

    // By default a performance lasts until its script and its MIDI file are
    // over, with 2 s of echo tail after the file.
    double seconds =
        options.sScript.empty() && options.sPlayFile.empty() ? c_rDefaultHeadlessSeconds : 0.0;
    if (!options.sScript.empty())
        seconds = script.GetDefaultSeconds();
    if (!options.sPlayFile.empty())
        seconds =
            std::max(seconds, static_cast<double>(played.GetEndSample()) / c_rSampleRate + 2.0);
    if (options.rSeconds)
        seconds = *options.rSeconds;
    const int64_t frames =
        static_cast<int64_t>(std::ceil(seconds / HeadlessRun::c_rFrameInterval - 1e-9));

    // The outputs open before the performance (an unwritable path fails at once),
    // knowing its length (a WAV past what RIFF holds is written as RF64).
    Outputs outputs;
    WavWriter& wav = outputs.wav;
    MidiOutput& midi = outputs.midi;
    if (!outputs.Open(options, frames * HeadlessRun::c_iSamplesPerFrame))
        return 1;

    if (options.bMidiIn)
        std::fprintf(stderr, "zindle: warning: --midi-in plays live only; headless, --play "
                             "plays a MIDI file\n");

    // Frame k runs at exactly t = k * 0.05 s.
    HeadlessRun::InstallClock();

    int status = 0;
    int64_t samplesPulled = 0;
    {
        ZindleApp app;
        if (!StartApp(app))
        {
            HeadlessRun::RemoveClock();
            return 1;
        }
        auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
        ScriptPlayer player(script);
        ScriptTarget target(WindowTouchInput(app));
        MidiVoices midiIn;
        MidiSchedule schedule(played.GetEvents(), midiIn);
        DesktopHeadless desktop(app, wav, schedule, midi, midiIn);
        HeadlessRun run(app, sound, player, target, desktop, options.iBufferSamples);
        run.Run(frames);
        if (!options.sScreenshot.empty() && !run.WasLastFrameDrawn() && run.GetFramesRun() > 0)
            app.Render(); // the last frame, which nobody needed to see until now
        if (!WriteFinalScreenshot(outputs) || target.Failed())
            status = 1;
        if (sound)
            samplesPulled = sound->GetSamplesPulled();
        midiIn.SetVoices(nullptr, 0);
        midi.Detach();
        app.Shutdown();
    }
    HeadlessRun::RemoveClock();

    return outputs.Close(samplesPulled) ? status : 1;
}
