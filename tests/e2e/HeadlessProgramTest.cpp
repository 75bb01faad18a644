// The built program, run headless as a user or a script would run it.
#include "support/MidiFileReader.h"
#include "support/TestSupport.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using zindle_test::RunCommand;
using zindle_test::ZindleBinary;

namespace
{
// How many files a directory holds.
int CountFiles(const fs::path& dir)
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++n;
    return n;
}
} // namespace

TEST(HeadlessProgram, WritesWholeBlocksOfSilenceAsMono16BitWav)
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
    // 20 frames of 0.05 s, pulled in whole device requests of 256 samples.
    EXPECT_GE(wav.samples.size(), 44100u);
    EXPECT_EQ(wav.samples.size() % 256, 0u);
    EXPECT_LT(wav.samples.size(), 44100u + 256u);
    for (int16_t s : wav.samples)
        ASSERT_EQ(s, 0);
    EXPECT_EQ(CountFiles(dir.Path()), 1) << "no temporary file is left behind";

    // The request size follows --buffer.
    const auto small = RunCommand(
        ZindleBinary() + " --headless --seconds 0.5 --buffer 100 --wav '" + wavPath.string() + "'");
    ASSERT_EQ(small.status, 0) << small.output;
    ASSERT_TRUE(zindle_test::ReadWav(wavPath, wav));
    EXPECT_EQ(wav.samples.size(), 22100u);
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

TEST(HeadlessProgram, SignalsEndARunWithItsOutputsComplete)
{
    const struct
    {
        int signal;
        int status; // as shells expect: 128 + the signal
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(strsignal(c.signal));
        zindle_test::TempDir dir;
        const std::string binary = ZindleBinary(), log = (dir / "log").string();
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            if (chdir(dir.Path().c_str()) == 0)
                execl(binary.c_str(), binary.c_str(), "--headless", "--seconds", "6000", "--wav",
                      "long.wav", "--midi", "long.mid", "--screenshot", "long.png", nullptr);
            _exit(127);
        }
        // Polls for a minute at most, so that a program that never starts
        // writing or ignores the signal fails the test instead of hanging it.
        auto within = [](const auto& done)
        {
            for (int poll = 0; poll < 3000; ++poll, usleep(20000))
                if (done())
                    return true;
            return false;
        };
        // Under way once its temporary WAV holds samples.
        const bool playing = within(
            [&]
            {
                for (const auto& entry : fs::directory_iterator(dir.Path()))
                    if (entry.path().string().find("long.wav.part-") != std::string::npos &&
                        entry.file_size() > 44 + 65536)
                        return true;
                return false;
            });
        int status = 0;
        if (playing)
            kill(pid, c.signal);
        const bool ended = within([&] { return waitpid(pid, &status, WNOHANG) == pid; });
        if (!ended)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        ASSERT_TRUE(playing && ended) << zindle_test::ReadFile(log);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal, outputs lost";
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        EXPECT_EQ(zindle_test::ReadFile(log), "");

        zindle_test::WavFile sound;
        ASSERT_TRUE(zindle_test::ReadWav(dir / "long.wav", sound)) << "the WAV is complete";
        EXPECT_GT(sound.samples.size(), 32768u);
        EXPECT_EQ(sound.samples.size() % 256, 0u) << "whole blocks, its header filled in";
        zindle_test::MidiFile file;
        std::string error;
        EXPECT_TRUE(zindle_test::ReadMidiFile(dir / "long.mid", file, error)) << error;
        EXPECT_TRUE(fs::exists(dir / "long.png"));
        EXPECT_EQ(CountFiles(dir.Path()), 4) << "the three outputs and the log, nothing else";
    }
}
