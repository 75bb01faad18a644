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

#include "host/HostShared.h"
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <vector>

HostOptions Host::s_options;
double Host::s_rFrameInterval = Host::c_rActiveFrameInterval;
std::function<void(int64_t)> Host::s_frameObserver;

using namespace HostShared;

namespace
{
// After --help, --version or --list-audio: 0 when all of it reached standard
// output, else 1 with the reason (a full disk, a closed pipe).
int FinishStandardOutput()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good())
        return 0;
    Fail(std::string("cannot write the standard output: ") + std::strerror(errno ? errno : EIO));
    return 1;
}
} // namespace

void Host::NotifyFrame(int64_t frame)
{
    if (s_frameObserver)
        s_frameObserver(frame);
}

bool Host::WriteScreenshot(const std::string& path, std::string& error)
{
    OutputFile output(path);
    return output.Open(error) && WriteScreenshot(output, error);
}

bool Host::WriteScreenshot(OutputFile& output, std::string& error)
{
    View_SDL* view = View_SDL::GetInstance();
    std::vector<uint8_t> rgba;
    if (!view || !view->ReadLandscapeFrame(rgba))
    {
        output.Abandon();
        error = "cannot write " + Printable::Name(output.GetPath()) + ": no frame to capture";
        return false;
    }
    return PNGWriter::Write(output, view->GetFrameWidth(), view->GetFrameHeight(), rgba, error);
}

int Host::Main(int argc, char** argv)
{
    // First of all, so that a signal at start-up ends the run like any other.
    // Before SDL starts, so that SDL leaves the signals to the frame loops.
    Signals::Install();
    HostOptions options;
    const int status = CommandLine::Parse(argc, argv, options);
    if (status == 0)
        return FinishStandardOutput();
    if (status != CommandLine::c_iContinue)
        return status;
    if (options.bListAudio)
    {
        // Zindle's own JACK client joins SDL's drivers, before the closing line,
        // or alone with --audio-driver jack.
        const std::string jackLine = "  jack         " + SoundManager_Jack::DescribeServer() + "\n";
        std::string listing;
        if (UsesJack(options))
            listing = AudioDevices_SDL::Heading() + jackLine;
        else
        {
            std::string problem;
            if (!options.sAudioDriver.empty() &&
                !AudioDevices_SDL::CheckDriverName(options.sAudioDriver, problem, {"jack"}))
            {
                Fail(problem);
                return 2;
            }
            listing = AudioDevices_SDL::Describe(options.sAudioDriver);
            if (options.sAudioDriver.empty())
            {
                const size_t last =
                    listing.rfind('\n', listing.size() >= 2 ? listing.size() - 2 : 0);
                listing.insert(last == std::string::npos ? 0 : last + 1, jackLine);
            }
        }
        std::fputs(listing.c_str(), stdout);
        return FinishStandardOutput();
    }
    std::string problem;
    if (!CommandLine::CheckFiles(options, {}, problem) || !CheckAudioChoice(options, problem))
    {
        Fail(problem);
        return 2;
    }

    options.sDataDirectory = CommandLine::FindDataDirectory(options.sDataDirectory, argv[0]);
    if (!CommandLine::CheckDataDirectory(options.sDataDirectory, problem))
    {
        Fail(problem);
        return 1;
    }
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
    SetOptions(options);
    if (!LoadSound(s_options))
        return 2;
    // Again now that the settings may have named the scale and the mapping,
    // and the resource directory is known.
    std::string problem;
    if (!CommandLine::CheckFiles(s_options, {}, problem))
    {
        Fail(problem);
        return 2;
    }
    File_Bundle::SetResourceDirectory(options.sDataDirectory);
    ZindleApp::SetRandomSeed(options.iSeed ? *options.iSeed
                                           : static_cast<uint32_t>(std::time(nullptr)));
    return s_options.bHeadless ? RunHeadless(s_options) : RunLive(s_options);
}
