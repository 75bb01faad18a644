#include "platform/Host.h"

#include "app/State_Main.h"
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "file/File_Bundle.h"
#include "file/Printable.h"
#include "file/ScalaFile.h"
#include "platform/AudioDevices_SDL.h"
#include "platform/CommandLine.h"
#include "platform/DesktopIdentity.h"
#include "platform/MidiInput.h"
#include "platform/MidiOutput.h"
#include "platform/PNGWriter.h"
#include "platform/PerformanceScript.h"
#include "platform/ScriptPlayer.h"
#include "platform/SettingsFile.h"
#include "platform/Signals.h"
#include "platform/SoundManager_Offline.h"
#include "platform/SoundManager_SDL.h"
#include "platform/StandardMidiFile.h"
#include "platform/View_SDL.h"
#include "platform/WavWriter.h"
#include "platform/Window_SDL.h"
#include "sound/MidiVoices.h"
#include "sound/SoundControl_Theremin.h"
#include "sound/Tuning.h"

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

HostOptions Host::s_options;
double Host::s_rFrameInterval = Host::c_rActiveFrameInterval;
uint64_t Host::s_iVirtualTick = 0;
std::function<void(int64_t)> Host::s_frameObserver;

namespace
{
constexpr double c_rDefaultHeadlessSeconds = 10.0;
// Live, a running slide moves every 5 ms: at least 200 moves a second.
constexpr double c_rLiveSlideStep = 0.005;

void Fail(const std::string& message)
{
    std::fprintf(stderr, "zindle: %s\n", message.c_str());
}

// The run's output files: opened before the performance, so an unwritable path
// fails at once, and finished (renamed into place) after it.
struct Outputs
{
    WavWriter wav;
    MidiOutput midi;

    // False after reporting the problem.
    bool Open(const HostOptions& options)
    {
        std::string error;
        if ((!options.sWav.empty() &&
             !wav.Open(options.sWav, SoundManager::c_iSampleRate, error)) ||
            !midi.Open(options, error))
        {
            Fail(error);
            return false;
        }
        return true;
    }

    // False after reporting a file that could not be finished.
    bool Close(int64_t endSampleTime)
    {
        bool ok = true;
        std::string error;
        if (wav.IsOpen() && !wav.Close(error))
        {
            Fail(error);
            ok = false;
        }
        if (!midi.Close(endSampleTime, error))
        {
            Fail(error);
            ok = false;
        }
        return ok;
    }
};

// Starts the application; one clear line and false when it cannot start.
bool StartApp(ZindleApp& app)
{
    if (app.Init())
        return true;
    Fail("start-up failed: " + app.GetFailure());
    app.Shutdown();
    return false;
}

// Plays a script's touches into the window's touch input as contacts of their
// own device, and writes its shots.
class ScriptTarget : public ScriptPlayer::Target
{
  public:
    explicit ScriptTarget(TouchInput_SDL* input) : m_pInput(input) {}

    void TouchDown(int contact, float x, float y) override
    {
        m_positions[contact] = {ViewX(y), x};
        if (m_pInput)
            m_pInput->Down(c_iScriptDevice, contact, ViewX(y), x);
    }
    void TouchMove(int contact, float x, float y) override
    {
        m_positions[contact] = {ViewX(y), x};
        if (m_pInput)
            m_pInput->Move(c_iScriptDevice, contact, ViewX(y), x);
    }
    void TouchUp(int contact) override
    {
        const auto at = m_positions.find(contact);
        if (at == m_positions.end())
            return;
        if (m_pInput)
            m_pInput->Up(c_iScriptDevice, contact, at->second.first, at->second.second);
        m_positions.erase(at);
    }
    void Shot(const std::string& path) override
    {
        std::string error;
        if (!Host::WriteScreenshot(path, error))
        {
            Fail(error);
            m_bFailed = true;
        }
    }
    void Save(const std::string& path) override
    {
        std::string saved, error;
        if (!Host::SaveSettings(path, saved, error))
        {
            Fail(error);
            m_bFailed = true;
        }
    }
    bool Failed() const { return m_bFailed; }

  private:
    static constexpr int64_t c_iScriptDevice = -3; // apart from the mouse and every touch device

    // Landscape (X, Y) is the portrait view point (320 - Y, X).
    static float ViewX(float landscapeY) { return 320.0f - landscapeY; }

    TouchInput_SDL* m_pInput;
    std::map<int, std::pair<float, float>> m_positions; // view points of the contacts down
    bool m_bFailed = false;
};

TouchInput_SDL* WindowTouchInput(ZindleApp& app)
{
    auto* window = dynamic_cast<Window_SDL*>(app.GetWindow());
    return window ? &window->GetTouchInput() : nullptr;
}

// A MIDI file's messages played on the voices, each at its own sample.
class MidiSchedule
{
  public:
    MidiSchedule(const std::vector<MidiEvent>& events, MidiVoices& voices)
        : m_events(events), m_voices(voices)
    {
    }
    int64_t GetNextEventSample() const
    {
        return m_iNext < m_events.size() ? m_events[m_iNext].iSampleTime : ScriptPlayer::c_iNever;
    }
    void PlayUntil(int64_t sample)
    {
        for (; m_iNext < m_events.size() && m_events[m_iNext].iSampleTime <= sample; ++m_iNext)
            m_voices.Handle(m_events[m_iNext]);
    }

  private:
    const std::vector<MidiEvent>& m_events;
    MidiVoices& m_voices;
    size_t m_iNext = 0;
};

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

// The settings --settings named and the tuning, applied once the main state exists.
std::optional<Settings> g_startSettings;
Tuning g_startTuning;

// The main state has just been built (the first frame): it takes the tuning
// and the settings the run started with, MIDI in plays its voices, and MIDI out
// hears them (until they go).
void StartInstrument(ZindleApp& app, MidiOutput& midi, MidiVoices& midiIn)
{
    State_Main* state = app.GetMainState();
    if (state)
        state->SetTuning(&g_startTuning); // first: the window's zones are the scale's
    if (state && g_startSettings)
        state->ApplySettings(*g_startSettings);
    if (state)
    {
        SoundControl_Theremin* theremins[State_Main::c_iVoices];
        for (int i = 0; i < State_Main::c_iVoices; ++i)
            theremins[i] = state->GetTheremin(i);
        midiIn.SetVoices(theremins, State_Main::c_iVoices);
    }
    if (!state || !midi.IsOpen())
        return;
    SoundControlSource* voices[State_Main::c_iVoices];
    for (int i = 0; i < State_Main::c_iVoices; ++i)
        voices[i] = state->GetTheremin(i);
    midi.Attach(SoundManager::GetInstance(), voices, State_Main::c_iVoices);
}

// Loads --script; false after reporting a bad script (exit status 2).
bool LoadScript(const HostOptions& options, PerformanceScript& script)
{
    if (options.sScript.empty())
        return true;
    std::string error;
    std::vector<std::string> shots, saves;
    if (script.Load(options.sScript, error))
    {
        for (const ScriptEvent& event : script.GetEvents())
            if (event.eKind == ScriptEvent::Kind::Shot)
                shots.push_back(event.sPath);
            else if (event.eKind == ScriptEvent::Kind::Save)
                saves.push_back(event.sPath);
        if (CommandLine::CheckFiles(options, shots, error, saves))
            return true;
    }
    Fail(error);
    return false;
}

// --settings and the tuning (--tuning, --keymap, --tuning-base, else the
// settings' own), read whole before anything starts; false after reporting a
// bad file (exit status 2). The options then name the tuning's files as
// absolute paths, for the settings the run saves.
bool LoadSound(HostOptions& options)
{
    g_startSettings.reset();
    std::string error;
    if (!options.sSettings.empty())
    {
        Settings settings;
        if (!SettingsFile::Load(options.sSettings, settings, error))
        {
            Fail(error);
            return false;
        }
        if (options.sTuning.empty() && options.sKeymap.empty() && !options.rTuningBase)
        {
            options.sTuning = settings.sTuning;
            options.sKeymap = settings.sKeymap;
            options.rTuningBase = settings.rTuningBase;
        }
        g_startSettings = settings;
    }
    if (!ScalaFile::Load(options.sTuning, options.sKeymap, options.rTuningBase, g_startTuning,
                         error))
    {
        Fail(error);
        return false;
    }
    for (std::string* path : {&options.sTuning, &options.sKeymap})
    {
        std::error_code failure;
        if (!path->empty())
            *path = std::filesystem::absolute(*path, failure).lexically_normal().string();
    }
    return true;
}

// --play: the whole file read before anything starts; false after reporting a
// bad file (exit status 2).
bool LoadPlay(const HostOptions& options, StandardMidiFile& file)
{
    std::string error;
    if (options.sPlayFile.empty() || file.Load(options.sPlayFile, Host::c_rSampleRate, error))
        return true;
    Fail(error);
    return false;
}

// --audio-driver and --audio-device, before anything opens: the driver must
// exist and, live, start here with a device that matches (which the options
// then name in full). Headless runs open no device, so only the name counts.
bool CheckAudioChoice(HostOptions& options, std::string& error)
{
    if (options.sAudioDriver.empty() && options.sAudioDevice.empty())
        return true;
    if (options.bHeadless)
        return options.sAudioDriver.empty() ||
               AudioDevices_SDL::CheckDriverName(options.sAudioDriver, error);
    return AudioDevices_SDL::Check(options.sAudioDriver, options.sAudioDevice, error);
}

// The final frame, when the command line asked for it; false after reporting a failure.
bool WriteFinalScreenshot(const HostOptions& options)
{
    if (options.sScreenshot.empty())
        return true;
    std::string error;
    if (Host::WriteScreenshot(options.sScreenshot, error))
        return true;
    Fail(error);
    return false;
}
} // namespace

void Host::NotifyFrame(int64_t frame)
{
    if (s_frameObserver)
        s_frameObserver(frame);
}

bool Host::WriteScreenshot(const std::string& path, std::string& error)
{
    View_SDL* view = View_SDL::GetInstance();
    std::vector<uint8_t> rgba;
    if (!view || !view->ReadLandscapeFrame(rgba))
    {
        error = "cannot write " + Printable::Name(path) + ": no frame to capture";
        return false;
    }
    return PNGWriter::WriteRGB(path, View_SDL::c_iBackingHeight, View_SDL::c_iBackingWidth, rgba,
                               error);
}

int Host::Main(int argc, char** argv)
{
    HostOptions options;
    const int status = CommandLine::Parse(argc, argv, options);
    if (status != CommandLine::c_iContinue)
        return status;
    if (options.bListAudio)
    {
        std::fputs(AudioDevices_SDL::Describe().c_str(), stdout);
        return 0;
    }
    std::string problem;
    if (!CommandLine::CheckFiles(options, {}, problem) || !CheckAudioChoice(options, problem))
    {
        Fail(problem);
        return 2;
    }

    options.sDataDirectory = CommandLine::FindDataDirectory(options.sDataDirectory, argv[0]);
    std::error_code error;
    if (!std::filesystem::is_directory(options.sDataDirectory, error))
    {
        Fail("resource directory not found: " + Printable::Name(options.sDataDirectory));
        return 1;
    }
    // Before SDL starts, so that SDL leaves the signals to the frame loops.
    Signals::Install();
    const int result = Run(options);
    return Signals::Caught() ? Signals::ExitStatus() : result;
}

bool Host::SaveSettings(const std::string& path, std::string& saved, std::string& error)
{
    ZindleApp* app = ZindleApp::s_pInstance;
    State_Main* state = app ? app->GetMainState() : nullptr;
    if (!state)
    {
        error = "no settings to save before the instrument starts";
        return false;
    }
    Settings settings = state->CaptureSettings();
    settings.sTuning = s_options.sTuning;
    settings.sKeymap = s_options.sKeymap;
    settings.rTuningBase = s_options.sKeymap.empty() ? s_options.rTuningBase : std::nullopt;
    saved = path;
    return path.empty() ? SettingsFile::SaveInDirectory(settings, saved, error)
                        : SettingsFile::Save(path, settings, error);
}

int Host::Run(const HostOptions& options)
{
    s_options = options;
    if (!LoadSound(s_options))
        return 2;
    File_Bundle::SetResourceDirectory(options.sDataDirectory);
    ZindleApp::SetRandomSeed(options.iSeed ? *options.iSeed
                                           : static_cast<uint32_t>(std::time(nullptr)));
    return s_options.bHeadless ? RunHeadless(s_options) : RunLive(s_options);
}

int Host::RunHeadless(const HostOptions& options)
{
    // Offscreen GL needs no display; respect a driver the caller chose.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);

    PerformanceScript script;
    StandardMidiFile played;
    if (!LoadScript(options, script) || !LoadPlay(options, played))
        return 2;

    Outputs outputs;
    WavWriter& wav = outputs.wav;
    MidiOutput& midi = outputs.midi;
    if (!outputs.Open(options))
        return 1;

    if (options.bMidiIn)
        std::fprintf(stderr, "zindle: warning: --midi-in plays live only; headless, --play "
                             "plays a MIDI file\n");

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
        if (!WriteFinalScreenshot(options) || target.Failed())
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

int Host::RunLive(const HostOptions& options)
{
    PerformanceScript script;
    StandardMidiFile played;
    if (!LoadScript(options, script) || !LoadPlay(options, played))
        return 2;

    Outputs outputs;
    WavWriter& wav = outputs.wav;
    MidiOutput& midi = outputs.midi;
    if (!outputs.Open(options))
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
        auto* window = dynamic_cast<Window_SDL*>(app.GetWindow());
        View_SDL* view = View_SDL::GetInstance();
        if (view)
            view->SetDeferredPresent(true);
        std::vector<int16_t> captured(1u << 16);
        auto drain = [&]()
        {
            if (!sound || !wav.IsOpen())
                return;
            size_t n;
            while ((n = sound->DrainCapture(captured.data(), captured.size())) > 0)
                wav.Write(captured.data(), n);
        };

        ScriptPlayer player(script);
        ScriptTarget target(WindowTouchInput(app));
        MidiVoices midiIn;
        MidiSchedule schedule(played.GetEvents(), midiIn);
        MidiInput input;
        if (options.bMidiIn)
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
                    StartInstrument(app, midi, midiIn);
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
        if (!WriteFinalScreenshot(options) || target.Failed())
            status = 1;
        // Everything the device was sent is captured before the sound manager goes.
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
