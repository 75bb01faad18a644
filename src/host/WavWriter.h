// Writes 44.1 kHz mono 16-bit WAV audio (libsndfile), complete or not at all.
// A RIFF WAV holds at most 4 GiB: a longer sound is written as RF64, the same
// WAV with 64-bit lengths, and a sound of unknown length stops with "File too
// large" rather than get a header that lies.
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

    static constexpr int64_t c_iUnknownLength = -1;
    // The most 16-bit mono samples a RIFF WAV can hold: its lengths are 32-bit
    // byte counts, and the header libsndfile writes takes 44 bytes of them.
    static constexpr int64_t c_iMaxRiffSamples = (0xFFFFFFFFll - 44) / 2;

    // The libsndfile format for a sound of `samples` samples (or
    // c_iUnknownLength): RIFF WAV while it fits, RF64 beyond.
    static int ChooseFormat(int64_t samples);

    // Opens the temporary file at once, so an unwritable path fails before the
    // performance starts. `samples` is the sound's length, when known, which
    // chooses the format. False with a reason on failure.
    bool Open(const std::string& path, int sampleRate, int64_t samples, std::string& error);
    bool Write(const int16_t* samples, size_t count);
    // Finishes the file and renames it into place.
    bool Close(std::string& error);
    bool IsOpen() const { return m_pFile != nullptr; }
    int64_t GetFramesWritten() const { return m_iFrames; }

  private:
    std::unique_ptr<OutputFile> m_pOutput;
    sf_private_tag* m_pFile = nullptr;
    int64_t m_iFrames = 0;
    int64_t m_iMaxFrames = 0; // what the chosen format holds
    bool m_bFailed = false;
};
