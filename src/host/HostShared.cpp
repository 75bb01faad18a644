#include "host/HostShared.h"

#include "app/ScriptPlayer.h"
#include "app/State_Main.h"
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "core/Printable.h"
#include "core/TextParse.h"
#include "dsp/SoundManager_Offline.h"
#include "file/File_Bundle.h"
#include "formats/PerformanceScript.h"
#include "formats/ScalaFile.h"
#include "formats/StandardMidiFile.h"
#include "formats/Tuning.h"
#include "host/CommandLine.h"
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
#include "synth/Synth_FourVoice.h"

#include <SDL.h>

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

namespace HostShared
{
namespace
{
// The settings --settings named and the tuning, applied once the main state exists.
std::optional<Settings> g_startSettings;
Tuning g_startTuning;
} // namespace

void Fail(const std::string& message)
{
    std::fprintf(stderr, "zindle: %s\n", message.c_str());
}

bool StartApp(ZindleApp& app)
{
    if (app.Init())
        return true;
    Fail("start-up failed: " + app.GetFailure());
    app.Shutdown();
    return false;
}

TouchInput_SDL* WindowTouchInput(ZindleApp& app)
{
    auto* window = dynamic_cast<Window_SDL*>(app.GetWindow());
    return window ? &window->GetTouchInput() : nullptr;
}

void StartInstrument(ZindleApp& app, MidiOutput& midi, MidiVoices& midiIn)
{
    State_Main* state = app.GetMainState();
    if (state)
        state->SetTuning(&g_startTuning); // first: the window's zones are the scale's
    if (state && g_startSettings)
        state->ApplySettings(*g_startSettings);
    if (state)
    {
        SoundControl_Theremin* theremins[Synth_FourVoice::c_iVoices];
        for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
            theremins[i] = state->GetTheremin(i);
        midiIn.SetVoices(theremins, Synth_FourVoice::c_iVoices);
        midiIn.SetTuning(&g_startTuning); // keys play the scale too
    }
    if (!state || !midi.IsOpen())
        return;
    SoundControlSource* voices[Synth_FourVoice::c_iVoices];
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        voices[i] = state->GetTheremin(i);
    midi.Attach(SoundManager::GetInstance(), voices, Synth_FourVoice::c_iVoices);
}

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

bool LoadPlay(const HostOptions& options, StandardMidiFile& file)
{
    std::string error;
    if (options.sPlayFile.empty() || file.Load(options.sPlayFile, Host::c_rSampleRate, error))
        return true;
    Fail(error);
    return false;
}

bool UsesJack(const HostOptions& options)
{
    return TextParse::Lower(options.sAudioDriver) == "jack";
}

bool UsesJackMidi(const HostOptions& options)
{
    return options.sMidiDriver.empty() ? UsesJack(options) : options.sMidiDriver == "jack";
}

bool CheckAudioChoice(HostOptions& options, std::string& error)
{
    // JACK is Zindle's own driver, beside SDL's.
    if (UsesJack(options))
    {
        options.sAudioDriver = "jack";
        if (!options.sAudioDevice.empty())
        {
            error = "--audio-device does not apply to jack (connect Zindle:out with the "
                    "server's tools)";
            return false;
        }
        return true;
    }
    if (options.sMidiDriver == "jack")
    {
        error = "--midi-driver jack needs --audio-driver jack";
        return false;
    }
    if (options.sAudioDriver.empty() && options.sAudioDevice.empty())
        return true;
    if (options.bHeadless)
        return options.sAudioDriver.empty() ||
               AudioDevices_SDL::CheckDriverName(options.sAudioDriver, error, {"jack"});
    return AudioDevices_SDL::Check(options.sAudioDriver, options.sAudioDevice, error, {"jack"});
}

bool WriteFinalScreenshot(Outputs& outputs)
{
    if (!outputs.screenshot)
        return true;
    std::string error;
    const bool written = Host::WriteScreenshot(*outputs.screenshot, error);
    outputs.screenshot.reset();
    if (written)
        return true;
    Fail(error);
    return false;
}
} // namespace HostShared
