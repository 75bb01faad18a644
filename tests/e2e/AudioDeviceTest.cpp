// Choosing the sound device: the program lists SDL's drivers and their devices, refuses a
// driver or device it does not have with one line naming the choices, and a live run says
// once where it plays. The test environment names SDL's dummy driver (SDL_AUDIODRIVER).
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using zindle_test::RunCommand;
using zindle_test::ZindleBinary;

TEST(AudioDevice, ListingNamesEachDriverItsDevicesAndTheOneARunUses)
{
    const std::string header = "Audio drivers and their output devices (--audio-driver NAME, "
                               "--audio-device NAME):\n";
    const std::string dummy =
        "  dummy        'System audio output device' (test driver: plays nothing)\n";
    const std::string disk = "  disk         'System audio output device' (test driver: writes "
                             "the sound to $SDL_DISKAUDIOFILE, else sdlaudio.raw)\n";
    struct Case
    {
        std::string arguments;
        std::string lastLine; // or with --audio-driver, the whole listing
    };
    const Case cases[] = {
        {"", "A run plays on dummy unless --audio-driver or SDL_AUDIODRIVER chooses another.\n"},
        {"SDL_AUDIODRIVER=disk",
         "A run plays on disk unless --audio-driver or SDL_AUDIODRIVER chooses another.\n"},
        // The option names the one driver listed, in any case.
        {"--audio-driver DISK", header + disk},
        {"SDL_AUDIODRIVER=disk --audio-driver dummy", header + dummy},
    };
    zindle_test::TempDir dir;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.arguments);
        const std::string environment =
            c.arguments.starts_with("SDL_") ? c.arguments.substr(0, c.arguments.find(' ')) : "";
        const std::string options = c.arguments.substr(environment.size());
        const bool all = options.find("--audio-driver") == std::string::npos;
        const auto result =
            RunCommand("cd '" + dir.Path().string() + "' && env " + environment + " " +
                       ZindleBinary() + " --list-audio --headless --seconds 5 " + options + " 2>&1");
        ASSERT_EQ(result.status, 0) << result.output;
        if (all)
        {
            EXPECT_EQ(result.output.rfind(header, 0), 0u) << result.output;
            EXPECT_NE(result.output.find("\n" + dummy), std::string::npos) << result.output;
            EXPECT_NE(result.output.find("\n" + disk), std::string::npos) << result.output;
            ASSERT_GE(result.output.size(), c.lastLine.size());
            EXPECT_EQ(result.output.substr(result.output.size() - c.lastLine.size()), c.lastLine)
                << result.output;
        }
        else
        {
            EXPECT_EQ(result.output, c.lastLine);
        }
        // A driver that does not start says why in full, never cut short.
        for (size_t at = result.output.find("does not start here: "); at != std::string::npos;
             at = result.output.find("does not start here: ", at + 1))
            EXPECT_NE(result.output.substr(result.output.find('\n', at) - 3, 3), "...")
                << result.output;
        EXPECT_TRUE(fs::is_empty(dir.Path())) << "listing the disk driver writes nothing";
    }
}

TEST(AudioDevice, AnUnknownDriverOrDeviceIsRefusedWithOneLineNamingTheChoices)
{
    struct Case
    {
        std::string arguments;
        std::string message; // the whole line but the list of drivers
    };
    const Case cases[] = {
        {"--audio-driver nosuch", "zindle: unknown audio driver 'nosuch' (choose from: "},
        {"--headless --audio-driver nosuch",
         "zindle: unknown audio driver 'nosuch' (choose from: "},
        {"--audio-driver dummy --audio-device nosuch",
         "zindle: no dummy output device name contains 'nosuch' (choose from: 'System audio "
         "output device')\n"},
        {"--audio-device nosuch",
         "zindle: no dummy output device name contains 'nosuch' (choose from: 'System audio "
         "output device')\n"},
        {"--audio-driver '\x1b[2J'", "zindle: unknown audio driver '\\x1B[2J' (choose from: "},
        {"--list-audio --audio-driver nosuch",
         "zindle: unknown audio driver 'nosuch' (choose from: "},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.arguments);
        // Refused before a window or a device opens: a run that started would last 30 s.
        const auto result =
            RunCommand("timeout 20 " + ZindleBinary() + " --seconds 30 " + c.arguments);
        EXPECT_EQ(result.status, 2) << result.output;
        EXPECT_EQ(result.output.rfind(c.message, 0), 0u) << result.output;
        EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
        if (c.message.back() != '\n')
        {
            EXPECT_NE(result.output.find(", disk (test driver), dummy (test driver), jack)\n"),
                      std::string::npos)
                << "the drivers SDL has and Zindle's own JACK client are the choices, SDL's "
                   "test drivers marked: "
                << result.output;
        }
    }
}

TEST(AudioDevice, ALiveRunSaysOnceWhereItPlaysAtWhichBufferAndLatency)
{
    zindle_test::TempDir dir;
    const fs::path raw = dir / "disk.raw";
    struct Case
    {
        std::string arguments;
        std::string line;
    };
    const Case cases[] = {
        {"", "zindle: playing on dummy, default device, 44100 Hz, 256-sample buffer (5.8 ms "
             "latency)\n"},
        {"--buffer 1024", "zindle: playing on dummy, default device, 44100 Hz, 1024-sample "
                          "buffer (23.2 ms latency)\n"},
        {"--audio-device SYSTEM", "zindle: playing on dummy, 'System audio output device', "
                                  "44100 Hz, 256-sample buffer (5.8 ms latency)\n"},
        // The option outranks SDL_AUDIODRIVER, which names the dummy driver here.
        {"--audio-driver disk --buffer 64",
         "zindle: playing on disk, default device, 44100 Hz, 64-sample buffer (1.5 ms "
         "latency)\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.arguments);
        const auto result =
            RunCommand("SDL_DISKAUDIOFILE='" + raw.string() + "' SDL_DISKAUDIODELAY=0 timeout 60 " +
                       ZindleBinary() + " --seconds 0.3 " + c.arguments);
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_NE(result.output.find(c.line), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("playing on"), result.output.rfind("playing on"))
            << "said once: " << result.output;
    }
    std::error_code error;
    EXPECT_GT(fs::file_size(raw, error), 0u) << "the disk driver played";
}
