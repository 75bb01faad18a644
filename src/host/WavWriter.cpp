#include "host/WavWriter.h"

#include <sndfile.h>

#include <cerrno>
#include <cstdint>

WavWriter::~WavWriter()
{
    if (m_pFile)
        sf_close(m_pFile);
    m_pFile = nullptr;
}

int WavWriter::ChooseFormat(int64_t samples)
{
    const int container = samples > c_iMaxRiffSamples ? SF_FORMAT_RF64 : SF_FORMAT_WAV;
    return container | SF_FORMAT_PCM_16;
}

bool WavWriter::Open(const std::string& path, int sampleRate, int64_t samples, std::string& error)
{
    m_iFrames = 0;
    m_bFailed = false;
    m_pOutput = std::make_unique<OutputFile>(path);
    if (!m_pOutput->Open(error))
    {
        m_pOutput.reset();
        return false;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = ChooseFormat(samples);
    m_iMaxFrames =
        (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64 ? INT64_MAX : c_iMaxRiffSamples;
    errno = 0;
    m_pFile = sf_open_fd(fileno(m_pOutput->GetStream()), SFM_WRITE, &info, SF_FALSE);
    if (!m_pFile)
    {
        m_pOutput->Fail(errno);
        m_pOutput->Commit(error); // reports the reason and leaves nothing behind
        m_pOutput.reset();
        return false;
    }
    return true;
}

bool WavWriter::Write(const int16_t* samples, size_t count)
{
    if (!m_pFile || count == 0)
        return m_pFile != nullptr;
    if (m_bFailed)
        return false;
    if (static_cast<int64_t>(count) > m_iMaxFrames - m_iFrames)
    {
        m_pOutput->Fail(EFBIG);
        m_bFailed = true;
        return false;
    }
    errno = 0;
    const sf_count_t written = sf_write_short(m_pFile, samples, static_cast<sf_count_t>(count));
    m_iFrames += written;
    if (written != static_cast<sf_count_t>(count))
    {
        m_pOutput->Fail(errno);
        m_bFailed = true;
    }
    return !m_bFailed;
}

bool WavWriter::Close(std::string& error)
{
    if (!m_pFile)
        return false;
    errno = 0;
    if (sf_close(m_pFile) != 0)
        m_pOutput->Fail(errno);
    m_pFile = nullptr;
    return m_pOutput->Commit(error);
}
