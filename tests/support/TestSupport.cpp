#include "support/TestSupport.h"

#include "dsp/SoundManager.h"
#include "host/Host.h"
#include "input/TouchManager.h"
#include "synth/InstrumentState.h"

#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace zindle_test
{
TempDir::TempDir()
{
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        fs::path candidate =
            fs::temp_directory_path() / ("zindle-test-" + std::to_string(device()));
        std::error_code error;
        if (fs::create_directory(candidate, error))
        {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir()
{
    std::error_code error;
    fs::remove_all(m_path, error);
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

fs::path TestDataDir()
{
    return ZINDLE_TESTDATA_DIR;
}

bool ReadPng(const fs::path& path, Image& image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return false;
    png.format = PNG_FORMAT_RGBA;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    return png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) != 0;
}

double PitchAt(double x, bool fingertip)
{
    const InstrumentState start;
    const double low = start.GetMinOctave();
    const double high = start.GetMaxOctave();
    const double at = fingertip ? x + TouchManager::c_iOffsetX : x;
    return Tuning::c_rLowC * std::pow(2.0, low + (high - low) * at / 480.0);
}

Played PlayScript(const TempDir& dir, const std::string& script, const std::string& extra)
{
    WriteFile(dir / "play.zs", script);
    // Only what this run writes is read back: an earlier run's WAV goes first.
    std::error_code ignored;
    std::filesystem::remove(dir / "play.wav", ignored);
    Played run;
    const ProcessResult result =
        RunCommand(ZindleBinary() + " --headless --seed 7 --script '" + (dir / "play.zs").string() +
                   "' --wav '" + (dir / "play.wav").string() + "' " + extra);
    run.status = result.status;
    run.output = result.output;
    ReadWav(dir / "play.wav", run.wav);
    return run;
}

fs::path SourceDataDir()
{
    return ZINDLE_SOURCE_DATA_DIR;
}

std::string ZindleBinary()
{
    // Another build of the program can be put to the same tests.
    const char* other = std::getenv("ZINDLE_TEST_BINARY");
    return other && *other ? other : ZINDLE_BINARY_PATH;
}

bool ReadWav(const fs::path& path, WavFile& wav)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return false;
    wav.sampleRate = info.samplerate;
    wav.channels = info.channels;
    wav.format = info.format;
    wav.samples.resize(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t read =
        sf_read_short(file, wav.samples.data(), static_cast<sf_count_t>(wav.samples.size()));
    sf_close(file);
    return read == static_cast<sf_count_t>(wav.samples.size());
}

ProcessResult RunCommand(const std::string& command)
{
    ProcessResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> chunk;
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.output.append(chunk.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ScopedSoundManager::ScopedSoundManager()
{
    HostOptions options = Host::GetOptions();
    options.bHeadless = true;
    Host::SetOptions(options);
    SoundManager::Startup(nullptr);
}

ScopedSoundManager::~ScopedSoundManager()
{
    SoundManager::Shutdown();
}
} // namespace zindle_test

namespace zindle_test
{
double EstimateFrequency(const std::vector<int16_t>& samples, size_t begin, size_t end,
                         double minHz, double maxHz, double sampleRate)
{
    end = std::min(end, samples.size());
    const int minLag = static_cast<int>(sampleRate / maxHz);
    const int maxLag = static_cast<int>(sampleRate / minHz) + 1;
    if (begin >= end || end - begin < static_cast<size_t>(2 * maxLag))
        return 0.0;
    const size_t window = end - begin - static_cast<size_t>(maxLag);
    std::vector<double> d(static_cast<size_t>(maxLag) + 2, 0.0);
    for (int lag = 1; lag <= maxLag + 1; ++lag)
    {
        double sum = 0.0;
        for (size_t i = 0; i < window; ++i)
        {
            const double diff = static_cast<double>(samples[begin + i]) -
                                static_cast<double>(samples[begin + i + static_cast<size_t>(lag)]);
            sum += diff * diff;
        }
        d[static_cast<size_t>(lag)] = sum;
    }
    // Cumulative mean normalised difference; the first dip below the threshold
    // is the period.
    std::vector<double> cmnd(d.size(), 1.0);
    double running = 0.0;
    for (size_t lag = 1; lag < d.size(); ++lag)
    {
        running += d[lag];
        cmnd[lag] = running > 0.0 ? d[lag] * static_cast<double>(lag) / running : 1.0;
    }
    size_t best = 0;
    for (size_t lag = static_cast<size_t>(std::max(minLag, 2)); lag + 1 < cmnd.size(); ++lag)
    {
        if (cmnd[lag] < 0.15)
        {
            while (lag + 1 < cmnd.size() && cmnd[lag + 1] < cmnd[lag])
                ++lag;
            best = lag;
            break;
        }
    }
    if (best == 0)
    {
        double lowest = 1e300;
        for (size_t lag = static_cast<size_t>(std::max(minLag, 2)); lag + 1 < cmnd.size(); ++lag)
            if (cmnd[lag] < lowest)
            {
                lowest = cmnd[lag];
                best = lag;
            }
        if (lowest > 0.5)
            return 0.0;
    }
    // Parabolic refinement on the raw difference.
    double period = static_cast<double>(best);
    if (best > 1 && best + 1 < d.size())
    {
        const double a = d[best - 1], b = d[best], c = d[best + 1];
        const double denominator = a - 2.0 * b + c;
        if (denominator > 0.0)
            period += 0.5 * (a - c) / denominator;
    }
    return sampleRate / period;
}

double RelativePower(const std::vector<int16_t>& samples, size_t begin, size_t end, double hz,
                     double sampleRate)
{
    end = std::min(end, samples.size());
    if (begin >= end)
        return 0.0;
    const double w = 2.0 * M_PI * hz / sampleRate;
    double re = 0.0, im = 0.0, total = 0.0;
    for (size_t i = begin; i < end; ++i)
    {
        const double x = samples[i];
        const double phase = w * static_cast<double>(i - begin);
        re += x * std::cos(phase);
        im -= x * std::sin(phase);
        total += x * x;
    }
    const double n = static_cast<double>(end - begin);
    return total > 0.0 ? (re * re + im * im) / (n * total) : 0.0;
}

int PeakLevel(const std::vector<int16_t>& samples, size_t begin, size_t end)
{
    int peak = 0;
    for (size_t i = begin; i < std::min(end, samples.size()); ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}
} // namespace zindle_test
