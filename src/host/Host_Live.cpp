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
#include "platform/jack/SoundManager_Jack.h"
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
// Live, a running slide moves every 5 ms: at least 200 moves a second.
constexpr double c_rLiveSlideStep = 0.005;
// The longest wait for the period that ends JACK's MIDI out notes: five of
// the longest periods JACK allows (8192 frames, 0.19 s at 44.1 kHz).
constexpr double c_rMidiOutEndSeconds = 1.0;
} // namespace

int Host::RunLive(const HostOptions& options)
{
    PerformanceScript script;
    StandardMidiFile played;
    if (!LoadScript(options, script) || !LoadPlay(options, played))
        return 2;

    Outputs outputs;
    WavWriter& wav = outputs.wav;
    MidiOutput& midi = outputs.midi;
    // A second over --seconds: the live clock stops a little after it.
    if (!outputs.Open(options, options.rSeconds
                                   ? static_cast<int64_t>((*options.rSeconds + 1.0) * c_rSampleRate)
                                   : WavWriter::c_iUnknownLength))
        return 1;

    DesktopIdentity::ApplyHints();
    int status = 0;
    {
        ZindleApp app;
        if (!StartApp(app))
            return 1;
        auto* sound = dynamic_cast<SoundManager_SDL*>(SoundManager::GetInstance());
        if (sound && !sound->GetDescription().empty())
            std::fprintf(stderr, "zindle: playing on %s\n", sound->GetDescription().c_str());
        auto* jack = dynamic_cast<SoundManager_Jack*>(SoundManager::GetInstance());
        PeriodRenderer* period = jack ? jack->GetPeriodRenderer() : nullptr;
        if (jack && !jack->IsOpen())
        {
            Fail("cannot play through JACK: " + jack->GetError());
            app.Shutdown();
            return 1;
        }
        // Through JACK, MIDI in is played by the process callback at its own
        // frames; the MIDI file's messages join it there.
        const bool jackMidiIn = jack && UsesJackMidi(options) && options.bMidiIn;
        const bool jackMidiOut = jack && UsesJackMidi(options) && options.bMidiOut;
        auto* window = dynamic_cast<Window_SDL*>(app.GetWindow());
        View_SDL* view = View_SDL::GetInstance();
        if (view)
            view->SetDeferredPresent(true);
        std::vector<int16_t> captured(1u << 16);
        auto drain = [&]()
        {
            if ((!sound && !period) || !wav.IsOpen())
                return;
            size_t n;
            while ((n = sound ? sound->DrainCapture(captured.data(), captured.size())
                              : period->DrainCapture(captured.data(), captured.size())) > 0)
                wav.Write(captured.data(), n);
        };

        ScriptPlayer player(script);
        ScriptTarget target(WindowTouchInput(app));
        MidiVoices midiIn;
        MidiSchedule schedule =
            jackMidiIn ? MidiSchedule(played.GetEvents(),
                                      [period](const MidiEvent& event) { period->Queue(event); })
                       : MidiSchedule(played.GetEvents(), midiIn);
        // MIDI arriving wakes the loop through SDL's queue, so that a note is
        // played at once, not at the next frame.
        MidiInput input(
            []
            {
                if (SDL_WasInit(SDL_INIT_EVENTS))
                {
                    SDL_Event wake{};
                    wake.type = SDL_USEREVENT;
                    SDL_PushEvent(&wake);
                }
            });
        if (options.bMidiIn && !jackMidiIn)
            input.Open(options.sMidiInPort);
        s_rFrameInterval = c_rActiveFrameInterval;
        const Uint64 frequency = SDL_GetPerformanceFrequency();
        const Uint64 start = SDL_GetPerformanceCounter();
        auto elapsed = [&]()
        {
            return static_cast<double>(SDL_GetPerformanceCounter() - start) /
                   static_cast<double>(frequency);
        };
        // The script's touches at their own times, slides moved every few milliseconds.
        auto playScript = [&](double now)
        {
            player.PlayUntil(ScriptPlayer::SampleOf(now), target);
            player.MoveSlides(now, target);
            schedule.PlayUntil(ScriptPlayer::SampleOf(now));
            input.Drain(midiIn);
        };
        int64_t frame = 0;
        double lastFrame = -s_rFrameInterval; // when the last frame was due
        while (app.IsRunning())
        {
            if (Signals::Caught())
                break;
            if (jack && jack->IsServerGone())
            {
                const std::string reason = jack->GetGoneReason();
                Fail("the JACK server has gone" +
                     (reason.empty() ? std::string() : " (" + reason + ")") + "; stopping");
                status = 1;
                break;
            }
            double now = elapsed();
            // Read each time: a change of focus changes the rate at once.
            const double frameDue = lastFrame + s_rFrameInterval;
            if (now >= frameDue)
            {
                // A frame more than one interval late starts the count afresh.
                lastFrame = now - frameDue > s_rFrameInterval ? now : frameDue;
                NotifyFrame(frame);
                app.Update();
                if (frame++ == 0)
                {
                    StartInstrument(app, midi, midiIn);
                    // Once the stream runs: the ports are there and connected.
                    if (jack)
                    {
                        std::fprintf(stderr, "zindle: playing on %s\n",
                                     jack->GetDescription().c_str());
                        for (const std::string& line :
                             {jack->GetMidiInDescription(), jack->GetMidiOutDescription()})
                            if (!line.empty())
                                std::printf("zindle: %s\n", line.c_str());
                        std::fflush(stdout);
                    }
                    if (jackMidiIn)
                        period->SetVoices(&midiIn);
                    if (jackMidiOut && midi.GetEncoder())
                    {
                        midi.SetRelay(period);
                        period->SetEncoder(midi.GetEncoder());
                    }
                }
                player.LiftTaps(target);
                playScript(now);
                app.Render();
                // Software GL goes on drawing for many milliseconds after the
                // frame is sent: input is handled meanwhile, then it is shown.
                if (view)
                {
                    const double deadline = elapsed() + s_rFrameInterval;
                    while (view->IsPresentPending() && !view->IsFrameDrawn() &&
                           elapsed() < deadline)
                    {
                        if (window)
                            window->WaitForEvents(0.001);
                        app.ProcessMessages();
                        playScript(elapsed());
                    }
                    view->CompletePresent();
                }
                player.TakeShots(target);
                drain();
                midi.Update();
                if (options.rSeconds && elapsed() >= *options.rSeconds)
                    break;
                continue;
            }
            // Between frames the loop sleeps on input and hands each event to
            // the touch glue as it arrives, so a touch reaches its voice at
            // the next audio block rather than at the next frame.
            double wake = frameDue;
            const int64_t nextEvent =
                std::min(player.GetNextEventSample(), schedule.GetNextEventSample());
            if (nextEvent != ScriptPlayer::c_iNever)
                wake = std::min(wake, static_cast<double>(nextEvent) / Host::c_rSampleRate);
            if (player.IsSliding())
                wake = std::min(wake, now + c_rLiveSlideStep);
            if (window)
                window->WaitForEvents(wake - now);
            app.ProcessMessages();
            playScript(elapsed());
        }
        if (!WriteFinalScreenshot(outputs) || target.Failed())
            status = 1;
        // Everything the device was sent is captured before the sound manager goes.
        if (jack)
        {
            // The notes still held end on JACK's MIDI out before the client goes.
            if (jackMidiOut && midi.GetEncoder() && frame > 0)
            {
                period->EndMidiOut();
                const double deadline = elapsed() + c_rMidiOutEndSeconds;
                while (!period->IsMidiOutEnded() && !jack->IsServerGone() && elapsed() < deadline)
                    SDL_Delay(1);
            }
            jack->StopStream();
            period->SetVoices(nullptr);
            period->SetEncoder(nullptr);
            midi.SetRelay(nullptr);
            drain();
            if (period->GetDropped() > 0)
                std::fprintf(stderr,
                             "zindle: warning: %zu MIDI messages were dropped (they came before "
                             "the instrument started, or more than JACK's periods hold)\n",
                             period->GetDropped());
            if (period->CaptureDropped() > 0)
                std::fprintf(stderr, "zindle: warning: %zu captured samples were dropped\n",
                             period->CaptureDropped());
        }
        if (sound)
        {
            sound->StopStream();
            drain();
            if (sound->CaptureDropped() > 0)
                std::fprintf(stderr, "zindle: warning: %zu captured samples were dropped\n",
                             sound->CaptureDropped());
        }
        if (input.GetDropped() > 0)
            std::fprintf(stderr,
                         "zindle: warning: %zu MIDI messages came too fast and were dropped\n",
                         input.GetDropped());
        midiIn.SetVoices(nullptr, 0);
        midi.Detach();
        app.Shutdown();
    }

    return outputs.Close(0) ? status : 1;
}
