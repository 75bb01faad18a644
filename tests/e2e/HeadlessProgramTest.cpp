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
#include <map>
#include <set>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// Starts the program in `dir` with its output and errors going to dir/log.
pid_t StartProgram(const fs::path& dir, const std::vector<std::string>& arguments)
{
    const std::string binary = ZindleBinary(), log = (dir / "log").string();
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        if (chdir(dir.c_str()) == 0)
            execv(binary.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// Polls for a minute at most, so that a program that never gets there or
// ignores a signal fails the test instead of hanging it.
template <typename Done> bool Within(const Done& done)
{
    for (int poll = 0; poll < 3000; ++poll, usleep(20000))
        if (done())
            return true;
    return false;
}

// Waits for the program's end (killing it after a minute); its exit status,
// or -1 when it did not exit by itself.
int EndOf(pid_t pid)
{
    int status = 0;
    if (!Within([&] { return waitpid(pid, &status, WNOHANG) == pid; }))
    {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

TEST(HeadlessProgram, WritesTheRunsSilenceToTheSampleAsMono16BitWav)
{
    zindle_test::TempDir dir;
    const fs::path wavPath = dir / "one second.wav";
    // Frames of 0.05 s, whatever the request size: the sound ends with the last frame.
    const std::pair<std::string, size_t> runs[] = {
        {"--seconds 1", 44100u}, {"--seconds 0.5 --buffer 100", 22050u}, {"--seconds 0", 0u}};
    for (const auto& [arguments, length] : runs)
    {
        SCOPED_TRACE(arguments);
        const auto result = RunCommand(ZindleBinary() + " --headless " + arguments + " --wav '" +
                                       wavPath.string() + "'");
        ASSERT_EQ(result.status, 0) << result.output;
        zindle_test::WavFile wav;
        ASSERT_TRUE(zindle_test::ReadWav(wavPath, wav));
        EXPECT_EQ(wav.sampleRate, 44100);
        EXPECT_EQ(wav.channels, 1);
        EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_EQ(wav.samples.size(), length);
        EXPECT_TRUE(
            std::all_of(wav.samples.begin(), wav.samples.end(), [](int16_t s) { return s == 0; }));
        EXPECT_EQ(CountFiles(dir.Path()), 1) << "no temporary file is left behind";
    }
}

TEST(HeadlessProgram, TheReadmesScreenshotCommandMakesItsPicture)
{
    // The command under the README's picture, run from the source tree into a folder of
    // the test's own, draws that picture byte for byte.
    const fs::path source = zindle_test::SourceDataDir().parent_path();
    const std::string readme = zindle_test::ReadFile(source / "README.md");
    const std::string lead = "made of itself: `zindle ";
    const size_t begin = readme.find(lead);
    ASSERT_NE(begin, std::string::npos);
    const size_t end = readme.find('`', begin + lead.size());
    std::string arguments = readme.substr(begin + lead.size(), end - begin - lead.size());
    const std::string picture = "docs/zindle.png";
    ASSERT_TRUE(arguments.ends_with(" --screenshot " + picture)) << arguments;
    zindle_test::TempDir dir;
    arguments.replace(arguments.size() - picture.size(), picture.size(),
                      "'" + (dir / "zindle.png").string() + "'");
    const auto result =
        RunCommand("cd '" + source.string() + "' && " + ZindleBinary() + " " + arguments);
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "");
    EXPECT_TRUE(zindle_test::ReadFile(dir / "zindle.png") ==
                zindle_test::ReadFile(source / picture))
        << arguments;
}

TEST(HeadlessProgram, BadArgumentsAndOutputsFailWithOneClearLine)
{
    // Run in a folder holding outputs that are not plain new files: a pipe
    // nobody reads, device nodes (made here as root, so that a program that
    // replaced them could never harm the real ones), a link, and a script.
    zindle_test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const bool root = geteuid() == 0;
    const std::string null = root ? "null" : "/dev/null", full = root ? "full" : "/dev/full";
    if (root)
    {
        ASSERT_EQ(mknod((dir / null).c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_EQ(mknod((dir / full).c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    zindle_test::WriteFile(dir / "real.wav", "old");
    fs::create_symlink("real.wav", dir / "link.wav");
    zindle_test::WriteFile(dir / "p.zs", "0 tap 10 10\n");
    // Inputs no output may replace, named directly or through the settings, a
    // resource, and a WAV that a run failing at the start must leave alone.
    fs::create_directory(dir / "res");
    const std::map<std::string, std::string> kept = {
        {"p.zs", "0 tap 10 10\n"},
        {"jm.scl", "! jm.scl\njust\n1\n2/1\n"},
        {"wk.kbm", "1\n0\n127\n60\n60\n440\n0\n0\n"},
        {"s.conf", "tuning = jm.scl\nkeymap = wk.kbm\n"},
        {"shotsave.zs", "0 shot x.png\n0 save x.png\n"},
        {"res/blsaw.dat", "table"},
        {"keep.wav", "old"}};
    for (const auto& [name, bytes] : kept)
        zindle_test::WriteFile(dir / name, bytes);
    fs::create_symlink("loopB", dir / "loopA");
    fs::create_symlink("loopA", dir / "loopB");
    const std::string longest = std::string(251, 'n') + ".wav"; // 255 bytes

    struct Case
    {
        std::string arguments;
        int status;
        std::string message;              // in the one line on stderr; none when empty
        std::vector<std::string> created; // files the run leaves in the folder
    };
    const Case cases[] = {
        {"--bogus", 2, "--bogus", {}},
        // Whole numbers: the whole field, decimal, in range, said as every other number is.
        {"--buffer 10", 2, "--buffer: '10' is not a number of samples from 64 to 4096", {}},
        {"--buffer ' 256'", 2, "' 256' is not a number of samples", {}},
        {"--buffer 256x", 2, "'256x' is not a number of samples", {}},
        {"--buffer ''", 2, "--buffer: '' is not a number of samples", {}},
        {"--seed -1", 2, "--seed: '-1' is not a seed from 0 to 4294967295", {}},
        {"--seed 4294967296", 2, "'4294967296' is not a seed", {}},
        {"--seed 1e3", 2, "'1e3' is not a seed", {}},
        {"--midi-bend 0x5", 2, "--midi-bend: '0x5' is not a number of semitones from 1 to 96", {}},
        {"--midi-out ''", 2, "--midi-out: an empty value names nothing (without a value: the", {}},
        {"--midi-in=", 2, "--midi-in: an empty value names nothing", {}},
        {"--tuning-base 0", 2, "--tuning-base: '0' is not a frequency in Hz from 1 to 20000", {}},
        {"--seconds -1", 2, "'-1' is not a number of seconds from 0 to 86400", {}},
        {"--seconds abc", 2, "--seconds", {}},
        {"--seconds nan", 2, "'nan' is not a number of seconds", {}},
        {"--seconds 1e300", 2, "'1e300' is not a number of seconds", {}},
        {"--seed", 2, "--seed", {}},
        {"--tuning-base nan", 2, "'nan' is not a frequency in Hz from 1 to 20000", {}},
        {"--tuning-base 1e-3", 2, "'1e-3' is not a frequency in Hz from 1 to 20000", {}},
        {"--scale nan", 2, "'nan' is not a scale from 1 to 4", {}},
        {"--wav ''", 2, "--wav: an empty value names nothing", {}},
        {"--midi ''", 2, "--midi: an empty value names nothing", {}},
        {"--screenshot ''", 2, "--screenshot: an empty value", {}},
        {"--script ''", 2, "--script: an empty value", {}},
        {"--settings ''", 2, "--settings: an empty value", {}},
        {"--tuning ''", 2, "--tuning: an empty value", {}},
        {"--keymap ''", 2, "--keymap: an empty value", {}},
        {"--play ''", 2, "--play: an empty value", {}},
        {"--data ''", 2, "--data: an empty value", {}},
        {"--audio-driver ''", 2, "--audio-driver: an empty value", {}},
        {"--script /proc/self/status", 2, "/proc/self/status:1: 'Name:' is not a time", {}},
        {"--" + std::string(5000, 'x'), 2, "xxx...", {}},
        {"--data missing", 1, "resource directory not found", {}},
        {"--data res",
         1,
         "resource directory res lacks Default.png, oldsans18.fnt, oldsans18_0",
         {}},
        {"--wav no/dir/x.wav", 1, "cannot write no/dir/x.wav: No such file or directory", {}},
        {"--wav real.wav/x.wav", 1, "cannot write real.wav/x.wav: Not a directory", {}},
        {"--wav same.out --screenshot same.out", 2, "--wav and --screenshot name the same", {}},
        {"--wav X --midi ./sub/../X", 2, "--wav and --midi name the same file ./sub/../X", {}},
        {"--wav link.wav --midi real.wav", 2, "name the same file", {}},
        {"--script p.zs --wav p.zs", 2, "--wav would overwrite the script", {}},
        {"--settings s.conf --wav jm.scl", 2, "--wav would overwrite the scale", {}},
        {"--settings s.conf --midi wk.kbm", 2, "--midi would overwrite the keyboard mapping", {}},
        {"--settings s.conf --screenshot jm.scl", 2, "--screenshot would overwrite the scale", {}},
        {"--play p.zs --screenshot ./p.zs", 2, "would overwrite the MIDI file played", {}},
        {"--data res --screenshot res/blsaw.dat", 2, "would overwrite the resource res/blsaw", {}},
        {"--data res --wav res/../res/blsaw.dat", 2, "would overwrite the resource", {}},
        {"--script shotsave.zs", 2, "shot and the script's save name the same file x.png", {}},
        {"--wav keep.wav --screenshot no/dir/x.png", 1, "cannot write no/dir/x.png: No such", {}},
        {"--wav loopA", 1, "cannot write loopA: Too many levels of symbolic links", {}},
        {"--wav fifo", 1, "cannot write fifo: nothing is reading from it", {}},
        {"--wav " + full, 1, "cannot write " + full + ": No space left on device", {}},
        {"--wav " + null + " --midi m.mid", 0, "", {"m.mid"}},
        {"--wav link.wav", 0, "", {}},
        {"--wav " + longest, 0, "", {longest}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.arguments.substr(0, 200));
        std::set<std::string> before;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            before.insert(entry.path().filename().string());
        // Short runs; a program that would wait forever (on a pipe) fails instead.
        const char* seconds =
            c.arguments.find("--seconds") == std::string::npos ? "--seconds 0.1 " : "";
        const auto result = RunCommand("cd '" + dir.Path().string() + "' && timeout 60 " +
                                       ZindleBinary() + " --headless " + seconds + c.arguments);
        EXPECT_EQ(result.status, c.status) << result.output;
        if (c.message.empty())
        {
            EXPECT_EQ(result.output, "");
        }
        else
        {
            EXPECT_EQ(result.output.rfind("zindle: ", 0), 0u) << result.output;
            EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
            EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1);
            EXPECT_LT(result.output.size(), 300u) << "echoes stay short";
        }
        std::vector<std::string> created;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (!before.count(entry.path().filename().string()))
                created.push_back(entry.path().filename().string());
        EXPECT_EQ(created, c.created) << "nothing half-written, no temporary file";
        for (const std::string& name : c.created)
            fs::remove(dir / name);
        // Special files and links are written through, never replaced.
        EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
        EXPECT_TRUE(fs::is_character_file(dir / null) && fs::is_character_file(dir / full));
        EXPECT_TRUE(fs::is_symlink(dir / "link.wav"));
        for (const auto& [name, bytes] : kept)
            EXPECT_EQ(zindle_test::ReadFile(dir / name), bytes) << name << " is kept";
        EXPECT_TRUE(fs::is_symlink(dir / "loopA") && fs::is_symlink(dir / "loopB"));
    }
    zindle_test::WavFile wav;
    EXPECT_TRUE(zindle_test::ReadWav(dir / "real.wav", wav)) << "written through the link";

    // A pipe gets the whole file, its lengths filled in, when it is complete
    // (standard output named in /proc, where nothing could replace it).
    const auto piped =
        RunCommand(ZindleBinary() + " --headless --seconds 0.1 --wav /proc/self/fd/1 | od -A n -t "
                                    "x1 -N 8");
    // "RIFF", then the 8856 bytes that follow: the header's 36 and 4410 samples.
    EXPECT_EQ(piped.output, " 52 49 46 46 98 22 00 00\n");
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
        const std::string log = (dir / "log").string();
        const pid_t pid =
            StartProgram(dir.Path(), {"--headless", "--seconds", "6000", "--wav", "long.wav",
                                      "--midi", "long.mid", "--screenshot", "long.png"});
        ASSERT_GE(pid, 0);
        // Under way once its temporary WAV holds samples.
        const bool playing = Within(
            [&]
            {
                for (const auto& entry : fs::directory_iterator(dir.Path()))
                    if (entry.path().string().find("long.wav.part-") != std::string::npos &&
                        entry.file_size() > 44 + 65536)
                        return true;
                return false;
            });
        if (playing)
            kill(pid, c.signal);
        const int status = EndOf(pid);
        ASSERT_TRUE(playing) << zindle_test::ReadFile(log);
        ASSERT_EQ(status, c.status) << "killed by the signal, outputs lost";
        EXPECT_EQ(zindle_test::ReadFile(log), "");

        zindle_test::WavFile sound;
        ASSERT_TRUE(zindle_test::ReadWav(dir / "long.wav", sound)) << "the WAV is complete";
        EXPECT_GT(sound.samples.size(), 32768u);
        EXPECT_EQ(sound.samples.size() % 2205, 0u) << "whole frames, its header filled in";
        zindle_test::MidiFile file;
        std::string error;
        EXPECT_TRUE(zindle_test::ReadMidiFile(dir / "long.mid", file, error)) << error;
        EXPECT_TRUE(fs::exists(dir / "long.png"));
        EXPECT_EQ(CountFiles(dir.Path()), 4) << "the three outputs and the log, nothing else";
    }
}

TEST(HeadlessProgram, StalledOrLimitedRunsStopCleanly)
{
    // A file-size limit: the write fails with a reason instead of killing the
    // run, and the temporary file goes.
    {
        zindle_test::TempDir dir;
        const auto result = RunCommand("cd '" + dir.Path().string() + "' && ulimit -f 100 && " +
                                       ZindleBinary() + " --headless --seconds 5 --wav big.wav");
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_EQ(result.output, "zindle: cannot write big.wav: File too large\n");
        EXPECT_EQ(CountFiles(dir.Path()), 0) << "nothing half-written, no temporary file";
    }
    // A pipe whose reader never reads holds the finished WAV only until a signal.
    {
        zindle_test::TempDir dir;
        ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
        const int reader = open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        const pid_t pid =
            StartProgram(dir.Path(), {"--headless", "--seconds", "1", "--wav", "fifo"});
        ASSERT_GE(pid, 0);
        // 88 kB of sound against a pipe of 64 kB: stalled once the pipe is full.
        const bool stalled = Within(
            [&]
            {
                int queued = 0;
                return ioctl(reader, FIONREAD, &queued) == 0 && queued >= 65536;
            });
        kill(pid, SIGTERM);
        EXPECT_TRUE(stalled);
        EXPECT_EQ(EndOf(pid), 143);
        EXPECT_EQ(zindle_test::ReadFile(dir / "log"),
                  "zindle: cannot write fifo: Interrupted system call\n");
        close(reader);
    }
    // Two thousand shots on one frame: a signal stops them between two shots.
    {
        zindle_test::TempDir dir;
        std::string script;
        for (int i = 0; i < 2000; ++i)
            script += "0 shot s.png\n";
        zindle_test::WriteFile(dir / "many.zs", script);
        const pid_t pid = StartProgram(dir.Path(), {"--headless", "--script", "many.zs"});
        ASSERT_GE(pid, 0);
        const bool shooting = Within([&] { return fs::exists(dir / "s.png"); });
        kill(pid, SIGTERM);
        EXPECT_TRUE(shooting);
        EXPECT_EQ(EndOf(pid), 143) << "still shooting a minute after the signal";
        EXPECT_EQ(zindle_test::ReadFile(dir / "log"), "");
        EXPECT_EQ(CountFiles(dir.Path()), 3) << "the script, the shot and the log";
    }
}

TEST(HeadlessProgram, WhatCannotReachStandardOutputIsAFailure)
{
    for (const char* option : {"--help", "--version", "--list-audio"})
    {
        SCOPED_TRACE(option);
        const auto full = RunCommand("{ " + ZindleBinary() + " " + option + " 2>&1 >/dev/full; }");
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.output,
                  "zindle: cannot write the standard output: No space left on device\n");
        const auto written = RunCommand(ZindleBinary() + " " + option + " 2>/dev/null | wc -c");
        EXPECT_EQ(written.status, 0);
        EXPECT_GT(std::stoi(written.output), 10) << "the text itself";
    }
}

TEST(HeadlessProgram, RunsWriteOnlyTheirOutputsAndPrintOnlyTheirOwnLines)
{
    // Every place a library could write of its own accord points into the
    // folder; after the run it holds the one output asked for.
    zindle_test::TempDir dir;
    const auto run = [&](const std::string& unset, const std::string& arguments)
    {
        return RunCommand("cd '" + dir.Path().string() + "' && env -u MESA_SHADER_CACHE_DISABLE " +
                          "-u MESA_GLSL_CACHE_DISABLE " + unset + " HOME=. TMPDIR=. " +
                          "XDG_CACHE_HOME=./cache XDG_CONFIG_HOME=./config " +
                          "MESA_SHADER_CACHE_DIR=./mesa " + ZindleBinary() + " " + arguments);
    };
    const auto headless = run("", "--headless --seconds 0.2 --screenshot x.png");
    EXPECT_EQ(headless.status, 0) << headless.output;
    EXPECT_EQ(headless.output, "");
    std::set<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
        left.insert(fs::relative(entry.path(), dir.Path()).string());
    EXPECT_EQ(left, std::set<std::string>{"x.png"});

    // A live run with no display, no Wayland runtime folder and no sound: the
    // program says what it does in its own lines, and no library adds one.
    const auto live =
        run("-u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR -u WAYLAND_DISPLAY -u DISPLAY", "--seconds 0.2");
    std::istringstream lines(live.output);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.rfind("zindle: ", 0), 0u) << line;
}
