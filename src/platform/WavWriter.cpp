#include "platform/WavWriter.h"

#include <sndfile.h>

#include <cerrno>
#include <cstring>

WavWriter::~WavWriter()
{
    if (m_pFile)
        sf_close(m_pFile);
    m_pFile = nullptr;
}

bool WavWriter::Open(const std::string& path, int sampleRate, std::string& error)
{
    m_pOutput = std::make_unique<OutputFile>(path);
    errno = 0;
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    m_pFile = sf_open(m_pOutput->GetTemporaryPath().c_str(), SFM_WRITE, &info);
    if (!m_pFile)
    {
        error =
            "cannot write " + path + ": " + (errno ? std::strerror(errno) : sf_strerror(nullptr));
        m_pOutput.reset();
        return false;
    }
    return true;
}

bool WavWriter::Write(const int16_t* samples, size_t count)
{
    if (!m_pFile || count == 0)
        return m_pFile != nullptr;
    const sf_count_t written = sf_write_short(m_pFile, samples, static_cast<sf_count_t>(count));
    m_iFrames += written;
    if (written != static_cast<sf_count_t>(count))
        m_bFailed = true;
    return !m_bFailed;
}

bool WavWriter::Close(std::string& error)
{
    if (!m_pFile)
        return false;
    const int status = sf_close(m_pFile);
    m_pFile = nullptr;
    if (status != 0 || m_bFailed)
    {
        error = "cannot write " + m_pOutput->GetPath() + ": write failed";
        m_pOutput->Abandon();
        return false;
    }
    return m_pOutput->Commit(error);
}
