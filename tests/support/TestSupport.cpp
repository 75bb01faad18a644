#include "support/TestSupport.h"

#include "platform/Host.h"
#include "sound/SoundManager.h"

#include <sndfile.h>

#include <array>
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
    const fs::path dir = ZINDLE_TESTDATA_DIR;
    std::error_code error;
    return fs::is_directory(dir, error) ? dir : fs::path();
}

fs::path SourceDataDir()
{
    return ZINDLE_SOURCE_DATA_DIR;
}

std::string ZindleBinary()
{
    return ZINDLE_BINARY_PATH;
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
