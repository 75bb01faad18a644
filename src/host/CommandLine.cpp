#include "host/CommandLine.h"

#include "core/Printable.h"
#include "core/TextParse.h"
#include "formats/PerformanceScript.h"
#include "formats/Tuning.h"
#include "host/OutputFile.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace
{
constexpr size_t c_iMaxMessage = 120; // characters of a command-line parser's message

// A number option's check: the whole value a finite number from `min` to
// `max` (the same parser as every file's numbers), or what it is not.
CLI::Validator RealFrom(double min, double max, const std::string& what)
{
    const auto shown = [](double limit) { return std::to_string(static_cast<long>(limit)); };
    const std::string expected = what + " from " + shown(min) + " to " + shown(max);
    return CLI::Validator(
        [=](std::string& text) -> std::string
        {
            double value = 0.0;
            if (TextParse::ParseReal(text, value) && value >= min && value <= max)
                return {};
            return "'" + Printable::Quote(text) + "' is not " + expected;
        },
        "");
}

// A whole-number option's check: the whole value a decimal integer from `min`
// to `max`, or what it is not. The value is then read by the same parser.
CLI::Validator IntegerFrom(long min, long max, const std::string& what)
{
    const std::string expected =
        what + " from " + std::to_string(min) + " to " + std::to_string(max);
    return CLI::Validator(
        [=](std::string& text) -> std::string
        {
            long value = 0;
            if (TextParse::ParseInteger(text, min, max, value))
                return {};
            return "'" + Printable::Quote(text) + "' is not " + expected;
        },
        "");
}

// An integer option's value, already checked by IntegerFrom.
long IntegerOf(const std::string& text)
{
    long value = 0;
    TextParse::ParseInteger(text, LONG_MIN, LONG_MAX, value);
    return value;
}

// Every option's value: an empty one would be quietly the same as none.
const CLI::Validator
    c_nonEmpty([](std::string& text) -> std::string
               { return text.empty() ? "an empty value names nothing" : std::string(); },
               "");

// Whether the resolved path names a file that exists inside the folder.
bool IsInside(const std::string& path, const std::string& folder)
{
    std::error_code failure;
    if (!fs::exists(path, failure))
        return false;
    const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
    return path.rfind(prefix, 0) == 0;
}
} // namespace

int CommandLine::Parse(int argc, char** argv, HostOptions& options)
{
    CLI::App app{"Zindle: a four-voice touch synthesizer with a robot face.", "zindle"};
    app.set_version_flag("--version", std::string("zindle ") + ZINDLE_VERSION);
    app.footer("In the window: the left mouse button is a finger; the right button puts down a\n"
               "held finger that stays down (right-click it to lift it, right-drag it to move\n"
               "it; up to 12 fingers; on a panel button or slider it is a plain click).\n"
               "Keys: Tab opens or closes the panel, Escape lifts the held fingers, Space\n"
               "lifts every finger, F11 full screen, Ctrl+S saves the settings (into\n"
               "$XDG_CONFIG_HOME/zindle; the window says where), Ctrl+Q quit.\n"
               "Exit status: 0 success, 1 run-time failure, 2 bad arguments or script,\n"
               "128 + N after signal N (130 after Ctrl+C; the outputs are finished).");

    std::string data;
    double seconds = 0.0;
    std::string seed, buffer, bendRange;
    app.add_option("--data", data,
                   "resource directory (default: $ZINDLE_DATA, then "
                   "../share/zindle/data beside the program, then the "
                   "source tree's data/)");
    auto* headlessOption =
        app.add_flag("--headless", options.bHeadless,
                     "no window and no sound device: virtual clock, offscreen GL");
    auto* secondsOption =
        app.add_option("--seconds", seconds, "stop after this many seconds (at most 86400)")
            ->type_name("SECONDS")
            ->check(RealFrom(0.0, PerformanceScript::c_rMaxSeconds, "a number of seconds"));
    app.add_option("--script", options.sScript,
                   "play a performance script (.zs), headless or live");
    app.add_option("--wav", options.sWav, "write the audio to this WAV file");
    app.add_option("--screenshot", options.sScreenshot,
                   "write the last presented frame as a 480 x 320 landscape PNG at exit "
                   "(N times that with --scale N)");
    app.add_option("--scale", options.rPixelScale,
                   "headless: draw frames and screenshots at N pixels a point, 1 to 4, "
                   "fractions allowed (default 1: 480 x 320); a window always draws at its "
                   "own pixel size")
        ->type_name("N")
        ->check(RealFrom(1.0, 4.0, "a scale"))
        ->needs(headlessOption);
    auto* seedOption = app.add_option("--seed", seed,
                                      "seed of the random generator, 0 to 4294967295 "
                                      "(default: the clock)")
                           ->type_name("N")
                           ->check(IntegerFrom(0, UINT32_MAX, "a seed"));
    auto* bufferOption =
        app.add_option("--buffer", buffer,
                       "samples per device request, 64 to 4096 (default 256: 5.8 ms)")
            ->type_name("N")
            ->check(IntegerFrom(64, 4096, "a number of samples"));
    app.add_option("--audio-driver", options.sAudioDriver,
                   "play through this audio driver (pipewire, pulseaudio, alsa, ..., or "
                   "jack: Zindle's own JACK client; see --list-audio)")
        ->type_name("NAME");
    bool noConnect = false;
    app.add_flag("--no-connect", noConnect,
                 "jack: leave Zindle:out unconnected (default: to the system's playback ports)");
    app.add_option("--audio-device", options.sAudioDevice,
                   "play on the first output device whose name contains this, ignoring case")
        ->type_name("NAME");
    app.add_flag("--list-audio", options.bListAudio,
                 "list the audio drivers (with --audio-driver, that one) and their output "
                 "devices, then stop");
    app.add_flag("--fullscreen", options.bFullscreen, "start in full screen");
    app.add_option("--midi", options.sMidiFile,
                   "write what the voices play as MPE to this MIDI file");
    auto* midiOutOption =
        app.add_option("--midi-out", options.sMidiOutPort,
                       "play MPE live on the ALSA sequencer: a virtual port \"Zindle\", or "
                       "connected to the first port whose name contains NAME (through JACK: "
                       "Zindle:midi_out)")
            ->expected(0, 1)
            ->type_name("[NAME]");
    auto* midiInOption =
        app.add_option(
               "--midi-in", options.sMidiInPort,
               "play the voices live from the ALSA sequencer: a virtual port \"Zindle In\", "
               "or connected to the first port whose name contains NAME (through JACK: "
               "Zindle:midi_in, each message at its own frame)")
            ->expected(0, 1)
            ->type_name("[NAME]");
    app.add_option("--midi-driver", options.sMidiDriver,
                   "live MIDI through alsa (the ALSA sequencer) or jack (ports Zindle:midi_in "
                   "and Zindle:midi_out); default: jack with --audio-driver jack, else alsa")
        ->type_name("alsa|jack")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string
            {
                return text == "alsa" || text == "jack"
                           ? std::string()
                           : "'" + Printable::Quote(text) + "' is not alsa or jack";
            },
            ""));
    app.add_option("--play", options.sPlayFile,
                   "play a Standard MIDI File on the voices (headless: to the sample); a "
                   "note's velocity sets its voice's level")
        ->type_name("FILE.mid");
    auto* bendOption =
        app.add_option("--midi-bend", bendRange,
                       "pitch-bend range of the MIDI member channels in semitones, 1 to 96 "
                       "(default 48)")
            ->type_name("N")
            ->check(IntegerFrom(1, 96, "a number of semitones"));
    app.add_flag("--mute", options.bMute, "silence Zindle's own sound (for MIDI output)");
    app.add_option("--settings", options.sSettings,
                   "start with the settings in FILE (saved by Ctrl+S or a script's save)")
        ->type_name("FILE");
    app.add_option("--tuning", options.sTuning,
                   "play in the scale of a Scala file: autotune, the note grid and the note "
                   "keys follow its degrees, and MIDI notes play it (key 60 on degree 0)")
        ->type_name("FILE.scl");
    auto* keymapOption =
        app.add_option("--keymap", options.sKeymap,
                       "place the scale's degree 0 by a Scala keyboard mapping's reference "
                       "frequency and middle note; MIDI notes play the degrees it maps them to")
            ->type_name("FILE.kbm");
    double tuningBase = 0.0;
    auto* baseOption =
        app.add_option("--tuning-base", tuningBase,
                       "frequency of the scale's degree 0 in Hz (default: the "
                       "C at 65.41 Hz)")
            ->type_name("HZ")
            ->check(RealFrom(Tuning::c_rMinBaseHz, Tuning::c_rMaxBaseHz, "a frequency in Hz"));
    keymapOption->excludes(baseOption);
    bool noFingers = false;
    app.add_flag("--no-fingers", noFingers,
                 "draw no rings at the fingers (in the window and in screenshots)");

    // An empty value is refused everywhere: a MIDI port option without a
    // value, not with an empty one, asks for the virtual port.
    for (CLI::Option* option : app.get_options())
        if (option->get_expected_max() > 0)
            option->check(c_nonEmpty);

    // CLI11 reads a port option given an empty value as the option alone, the
    // virtual port; the empty name is refused like every other empty value.
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        for (const std::string name : {"--midi-out", "--midi-in"})
        {
            if (argument == name + "=" || (argument == name && i + 1 < argc && !*argv[i + 1]))
            {
                std::fprintf(stderr,
                             "zindle: %s: an empty value names nothing (without a value: the "
                             "virtual port) (try --help)\n",
                             name.c_str());
                return 2;
            }
        }
    }
    try
    {
        app.parse(argc, argv);
        options.bShowFingers = !noFingers;
        options.bConnect = !noConnect;
    }
    catch (const CLI::CallForHelp& e)
    {
        std::cout << app.help();
        return 0;
    }
    catch (const CLI::CallForVersion& e)
    {
        std::cout << e.what() << "\n";
        return 0;
    }
    catch (const CLI::ParseError& e)
    {
        std::fprintf(stderr, "zindle: %s (try --help)\n",
                     Printable::Quote(e.what(), c_iMaxMessage).c_str());
        return 2;
    }
    options.bMidiOut = midiOutOption->count() > 0;
    options.bMidiIn = midiInOption->count() > 0;
    if (secondsOption->count() > 0)
        options.rSeconds = seconds;
    if (seedOption->count() > 0)
        options.iSeed = static_cast<uint32_t>(IntegerOf(seed));
    if (bufferOption->count() > 0)
        options.iBufferSamples = static_cast<int>(IntegerOf(buffer));
    if (bendOption->count() > 0)
        options.iMidiBendRange = static_cast<int>(IntegerOf(bendRange));
    if (baseOption->count() > 0)
        options.rTuningBase = tuningBase;
    options.sDataDirectory = data;
    return c_iContinue;
}

std::string CommandLine::FindDataDirectory(const std::string& requested, const char* argv0)
{
    if (!requested.empty())
        return requested;
    if (const char* env = std::getenv("ZINDLE_DATA"); env && *env)
        return env;
    std::error_code error;
    if (argv0 && *argv0)
    {
        fs::path exe = fs::canonical("/proc/self/exe", error);
        if (error)
            exe = fs::absolute(argv0, error);
        if (!error)
        {
            const fs::path installed = exe.parent_path() / ".." / "share" / "zindle" / "data";
            if (fs::is_directory(installed, error))
                return installed.lexically_normal().string();
        }
    }
    return ZINDLE_SOURCE_DATA_DIR;
}

bool CommandLine::CheckDataDirectory(const std::string& directory, std::string& error)
{
    // The launch image, the saw table and the font: a folder without them is
    // not Zindle's, even if it holds pictures. A damaged one is only left out.
    static const char* const c_sRequired[] = {"Default.png", "blsaw.dat", "oldsans18.fnt",
                                              "oldsans18_0.png"};
    std::error_code failure;
    if (!fs::is_directory(directory, failure))
    {
        error = "resource directory not found: " + Printable::Name(directory);
        return false;
    }
    std::string missing;
    for (const char* name : c_sRequired)
        if (!fs::exists(fs::path(directory) / name, failure))
            missing += (missing.empty() ? "" : ", ") + std::string(name);
    if (missing.empty())
        return true;
    error = "resource directory " + Printable::Name(directory) + " lacks " + missing;
    return false;
}

bool CommandLine::CheckFiles(const HostOptions& options, const std::vector<std::string>& shots,
                             std::string& error, const std::vector<std::string>& saves)
{
    struct Output
    {
        std::string what;
        std::string path;
        bool bSave = false;
    };
    std::vector<Output> outputs;
    for (const auto& [what, path] :
         {std::pair{"--wav", &options.sWav}, std::pair{"--midi", &options.sMidiFile},
          std::pair{"--screenshot", &options.sScreenshot}})
    {
        if (!path->empty())
            outputs.push_back({what, *path});
    }
    const size_t named = outputs.size(); // the options' outputs come first
    for (const std::string& shot : shots)
        outputs.push_back({"the script's shot", shot});
    for (const std::string& save : saves)
        outputs.push_back({"the script's save", save, true});

    // The resource directory as the system sees it, so that a path through a
    // link into it is caught too.
    std::string resources;
    if (!options.sDataDirectory.empty())
    {
        std::error_code failure;
        resources = std::filesystem::weakly_canonical(options.sDataDirectory, failure).string();
        if (failure)
            resources.clear();
    }
    for (size_t i = 0; i < outputs.size(); ++i)
    {
        const Output& output = outputs[i];
        for (const auto& [what, path] : {std::pair{"the script", &options.sScript},
                                         std::pair{"the settings", &options.sSettings},
                                         std::pair{"the scale", &options.sTuning},
                                         std::pair{"the keyboard mapping", &options.sKeymap},
                                         std::pair{"the MIDI file played", &options.sPlayFile}})
        {
            // Saving over the settings the run started from is keeping them.
            if (output.bSave && path == &options.sSettings)
                continue;
            if (!path->empty() && OutputFile::SameFile(output.path, *path))
            {
                error = output.what + " would overwrite " + what + " " + Printable::Name(*path);
                return false;
            }
        }
        if (!resources.empty() && IsInside(OutputFile::Resolve(output.path), resources))
        {
            error = output.what + " would overwrite the resource " + Printable::Name(output.path);
            return false;
        }
        // A shot may repeat another shot and a save another save: each one is
        // a whole file in its turn. Anything else naming one file twice would
        // leave only the last of them.
        for (size_t j = i + 1; j < outputs.size(); ++j)
        {
            if (i >= named && output.bSave == outputs[j].bSave)
                continue;
            if (OutputFile::SameFile(output.path, outputs[j].path))
            {
                error = output.what + " and " + outputs[j].what + " name the same file " +
                        Printable::Name(outputs[j].path);
                return false;
            }
        }
    }
    return true;
}
