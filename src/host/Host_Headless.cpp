#include "host/Host.h"

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

// The headless sound: blocks of the device request's size pulled from the
// offline manager into the WAV, cut at the sample of every script event, so
// that each event sounds from its own sample, and at most 5 ms long while a
// slide runs, which moves at every block.
class HeadlessSound
{
  public:
    HeadlessSound(SoundManager_Offline* sound, WavWriter& wav, int bufferSamples,
                  MidiSchedule& midi)
        : m_pSound(sound), m_wav(wav), m_iBufferSamples(bufferSamples), m_midi(midi),
          m_block(static_cast<size_t>(bufferSamples))
    {
    }

    // Pulls the sound up to `endSample`, playing the script's events and slide
    // steps that fall before it; those at `endSample` itself are left for the
    // frame that runs there.
    void PlayUntil(int64_t endSample, ScriptPlayer& player, ScriptPlayer::Target& target)
    {
        if (!m_pSound)
        {
            player.PlayUntil(endSample - 1, target);
            m_midi.PlayUntil(endSample - 1);
            return;
        }
        int64_t pulled = m_pSound->GetSamplesPulled();
        while (pulled < endSample)
        {
            const int64_t request = player.IsSliding()
                                        ? std::min<int64_t>(m_iBufferSamples, c_iSlideStepSamples)
                                        : m_iBufferSamples;
            const int64_t boundary =
                std::min({endSample, pulled + request, player.GetNextEventSample(),
                          player.GetNextSlideEndSample(pulled), m_midi.GetNextEventSample()});
            if (boundary <= pulled)
            {
                player.PlayUntil(pulled, target);
                m_midi.PlayUntil(pulled);
                continue;
            }
            const int count = static_cast<int>(boundary - pulled);
            m_pSound->Pull(m_block.data(), count);
            if (m_wav.IsOpen())
                m_wav.Write(m_block.data(), static_cast<size_t>(count));
            pulled = boundary;
            if (pulled < endSample)
            {
                player.PlayUntil(pulled, target);
                m_midi.PlayUntil(pulled);
                player.MoveSlides(static_cast<double>(pulled) / Host::c_rSampleRate, target);
            }
        }
    }

  private:
    // 220 samples (5 ms): a slide moves at least 200 times a second.
    static constexpr int64_t c_iSlideStepSamples = 220;

    SoundManager_Offline* m_pSound;
    WavWriter& m_wav;
    int m_iBufferSamples;
    MidiSchedule& m_midi;
    std::vector<int16_t> m_block;
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
    const int64_t frames = static_cast<int64_t>(std::ceil(seconds / c_rActiveFrameInterval - 1e-9));

    Outputs outputs;
    WavWriter& wav = outputs.wav;
    MidiOutput& midi = outputs.midi;
    if (!outputs.Open(options, frames * c_iSamplesPerFrame))
        return 1;

    if (options.bMidiIn)
        std::fprintf(stderr, "zindle: warning: --midi-in plays live only; headless, --play "
                             "plays a MIDI file\n");

    // Frame k runs at exactly t = k * 0.05 s; the timer is made one tick earlier
    // so that every frame, the first included, sees dt = 0.05.
    SetVirtualTick(0);
    Timer::SetClock(&Host::VirtualClock, c_rActiveFrameInterval);

    int status = 0;
    int64_t samplesPulled = 0;
    {
        ZindleApp app;
        if (!StartApp(app))
        {
            Timer::SetClock(nullptr, 0.0);
            return 1;
        }
        auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
        ScriptPlayer player(script);
        ScriptTarget target(WindowTouchInput(app));
        MidiVoices midiIn;
        MidiSchedule schedule(played.GetEvents(), midiIn);
        HeadlessSound audio(sound, wav, options.iBufferSamples, schedule);
        bool lastFrameDrawn = false;
        int64_t framesRun = 0; // fewer than planned when a signal ends the run
        for (int64_t frame = 0; frame < frames && app.IsRunning(); ++frame)
        {
            if (Signals::Caught())
                break;
            const int64_t frameSample = frame * c_iSamplesPerFrame;
            // The sound up to this frame, every event before it at its own sample.
            audio.PlayUntil(frameSample, player, target);
            framesRun = frame + 1;
            SetVirtualTick(static_cast<uint64_t>(frame + 1));
            NotifyFrame(frame);
            app.Update();
            if (frame == 0)
                StartInstrument(app, midi, midiIn);
            // Touches due at the frame's own time arrive between its update and its drawing.
            player.LiftTaps(target);
            player.PlayUntil(frameSample, target);
            schedule.PlayUntil(frameSample);
            player.MoveSlides(static_cast<double>(frame) * c_rActiveFrameInterval, target);
            // Only frames someone will see are drawn; the others still step.
            lastFrameDrawn = player.HasShots();
            if (lastFrameDrawn)
                app.Render();
            else
                app.SkipRender();
            player.TakeShots(target);
            midi.Update();
        }
        audio.PlayUntil(framesRun * c_iSamplesPerFrame, player, target);
        midi.Update();
        if (!options.sScreenshot.empty() && !lastFrameDrawn && framesRun > 0)
            app.Render(); // the last frame, which nobody needed to see until now
        if (!WriteFinalScreenshot(outputs) || target.Failed())
            status = 1;
        if (sound)
            samplesPulled = sound->GetSamplesPulled();
        midiIn.SetVoices(nullptr, 0);
        midi.Detach();
        app.Shutdown();
    }
    Timer::SetClock(nullptr, 0.0);

    return outputs.Close(samplesPulled) ? status : 1;
}
