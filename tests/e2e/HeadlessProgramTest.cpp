// The built program, run headless as a user or a script would run it.
#include "support/TestSupport.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using zindle_test::RunCommand;
using zindle_test::ZindleBinary;

namespace
{
// Files left in a directory, apart from the ones named.
int CountFiles(const fs::path& dir)
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++n;
    return n;
}
} // namespace

TEST(HeadlessProgram, WritesTheRunsSilenceToTheSampleAsMono16BitWav)
{
    zindle_test::TempDir dir;
    const fs::path wavPath = dir / "one second.wav";
    const auto result =
        RunCommand(ZindleBinary() + " --headless --seconds 1 --wav '" + wavPath.string() + "'");
    ASSERT_EQ(result.status, 0) << result.output;

    zindle_test::WavFile wav;
    ASSERT_TRUE(zindle_test::ReadWav(wavPath, wav));
    EXPECT_EQ(wav.sampleRate, 44100);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // 20 frames of 0.05 s: the sound ends with the last frame.
    EXPECT_EQ(wav.samples.size(), 44100u);
    for (int16_t s : wav.samples)
        ASSERT_EQ(s, 0);
    EXPECT_EQ(CountFiles(dir.Path()), 1) << "no temporary file is left behind";

    // Whatever the request size.
    const auto small = RunCommand(
        ZindleBinary() + " --headless --seconds 0.5 --buffer 100 --wav '" + wavPath.string() + "'");
    ASSERT_EQ(small.status, 0) << small.output;
    ASSERT_TRUE(zindle_test::ReadWav(wavPath, wav));
    EXPECT_EQ(wav.samples.size(), 22050u);
}

TEST(HeadlessProgram, ZeroSecondsRunsNoFrameAndStopsCleanly)
{
    zindle_test::TempDir dir;
    const auto result = RunCommand(ZindleBinary() + " --headless --seconds 0 --wav '" +
                                   (dir / "empty.wav").string() + "'");
    ASSERT_EQ(result.status, 0) << result.output;
    zindle_test::WavFile wav;
    ASSERT_TRUE(zindle_test::ReadWav(dir / "empty.wav", wav));
    EXPECT_TRUE(wav.samples.empty());
}

TEST(HeadlessProgram, BadArgumentsAndOutputsFailWithOneClearLine)
{
    zindle_test::TempDir dir;
    struct Case
    {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"--bogus", 2, "--bogus"},
        {"--headless --buffer 10", 2, "--buffer"},
        {"--headless --seconds -1", 2, "--seconds"},
        {"--headless --seconds abc", 2, "--seconds"},
        {"--headless --seed", 2, "--seed"},
        {"--headless --data '" + (dir / "missing").string() + "'", 1,
         "resource directory not found"},
        {"--headless --seconds 0.1 --wav '" + (dir / "no" / "dir" / "x.wav").string() + "'", 1,
         "cannot write"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.arguments);
        const auto result = RunCommand(ZindleBinary() + " " + c.arguments);
        EXPECT_EQ(result.status, c.status) << result.output;
        EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
        EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
    }
    EXPECT_EQ(CountFiles(dir.Path()), 0) << "nothing half-written";

    const auto help = RunCommand(ZindleBinary() + " --help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--data", "--headless", "--seconds", "--wav", "--seed", "--buffer",
                               "--fullscreen", "--version"})
        EXPECT_NE(help.output.find(option), std::string::npos) << option;
    const auto version = RunCommand(ZindleBinary() + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.output.find("zindle "), std::string::npos);
}

TEST(HeadlessProgram, UnwritableWavDirectoryLeavesNothing)
{
    if (geteuid() == 0)
    {
        // root writes anywhere: use a path below a regular file instead.
        zindle_test::TempDir dir;
        zindle_test::WriteFile(dir / "file", "x");
        const auto result = RunCommand(ZindleBinary() + " --headless --seconds 0.1 --wav '" +
                                       (dir / "file" / "x.wav").string() + "'");
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_EQ(CountFiles(dir.Path()), 1);
        return;
    }
    zindle_test::TempDir dir;
    fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto result = RunCommand(ZindleBinary() + " --headless --seconds 0.1 --wav '" +
                                   (dir / "x.wav").string() + "'");
    fs::permissions(dir.Path(), fs::perms::owner_all);
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_EQ(CountFiles(dir.Path()), 0);
}
