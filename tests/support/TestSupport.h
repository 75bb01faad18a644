// Helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zindle_test
{
// A fresh directory under the system's temporary directory, removed with the object.
class TempDir
{
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

  private:
    std::filesystem::path m_path;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// The test data that comes with the tests (tests/data: PngSuite, PVR files,
// BMFont files, golden sound), each with its licence.
std::filesystem::path TestDataDir();
// The source tree's data/ folder.
std::filesystem::path SourceDataDir();
// The built zindle program.
std::string ZindleBinary();

struct WavFile
{
    int sampleRate = 0;
    int channels = 0;
    int format = 0; // libsndfile format word
    std::vector<int16_t> samples;
};
// Reads a WAV file with libsndfile; false when it cannot be read.
bool ReadWav(const std::filesystem::path& path, WavFile& wav);

// An image read with libpng as 8-bit RGBA, top row first.
struct Image
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* At(int x, int y) const
    {
        return &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 4];
    }
};
// False when the file is not a PNG libpng can read.
bool ReadPng(const std::filesystem::path& path, Image& image);

// The pitch the instrument plays at landscape x (0 .. 480) in the octave window
// it starts with, from the instrument state's own window; a fingertip (touch
// screen, script) plays 5 points right of where it lands.
double PitchAt(double x, bool fingertip);

struct ProcessResult
{
    int status = -1;
    std::string output; // stdout and stderr together
};
// Runs a command through the shell and captures its output.
ProcessResult RunCommand(const std::string& command);

// The real program playing a script headless (seed 7): its exit status, its
// messages and the WAV it wrote (play.wav in the folder, beside play.zs).
struct Played
{
    int status = -1;
    std::string output;
    WavFile wav;
};
Played PlayScript(const TempDir& dir, const std::string& script, const std::string& extra = "");

// Starts the headless sound manager (the offline one) for the current test and
// shuts it down at the end of the scope.
class ScopedSoundManager
{
  public:
    ScopedSoundManager();
    ~ScopedSoundManager();
    ScopedSoundManager(const ScopedSoundManager&) = delete;
    ScopedSoundManager& operator=(const ScopedSoundManager&) = delete;
};
} // namespace zindle_test

namespace zindle_test
{
// The fundamental frequency of samples[begin, end) in hertz (YIN difference
// function with parabolic refinement), searched between minHz and maxHz; 0 when
// no periodicity is found.
double EstimateFrequency(const std::vector<int16_t>& samples, size_t begin, size_t end,
                         double minHz = 20.0, double maxHz = 2000.0, double sampleRate = 44100.0);
// Power of samples[begin, end) at one frequency (Goertzel), normalised by the
// window's total power: near 0.5 for a lone sine at that frequency.
double RelativePower(const std::vector<int16_t>& samples, size_t begin, size_t end, double hz,
                     double sampleRate = 44100.0);
// Largest absolute sample in [begin, end).
int PeakLevel(const std::vector<int16_t>& samples, size_t begin, size_t end);
} // namespace zindle_test
