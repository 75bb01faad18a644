// Writes 44.1 kHz mono 16-bit WAV audio (libsndfile), complete or not at all.
#pragma once

#include "host/OutputFile.h"

#include <cstdint>
#include <memory>
#include <string>

struct sf_private_tag;

class WavWriter
{
  public:
    WavWriter() = default;
    ~WavWriter();

    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Opens the temporary file at once, so an unwritable path fails before the
    // performance starts. False with a reason on failure.
    bool Open(const std::string& path, int sampleRate, std::string& error);
    bool Write(const int16_t* samples, size_t count);
    // Finishes the file and renames it into place.
    bool Close(std::string& error);
    bool IsOpen() const { return m_pFile != nullptr; }
    int64_t GetFramesWritten() const { return m_iFrames; }

  private:
    std::unique_ptr<OutputFile> m_pOutput;
    sf_private_tag* m_pFile = nullptr;
    int64_t m_iFrames = 0;
    bool m_bFailed = false;
};
