// Reads a Standard MIDI File (format 0 or 1) into channel messages timed in
// samples: tempo changes and SMPTE divisions applied, running status followed,
// tracks merged in time order. SysEx and meta events other than tempo are
// skipped; a malformed or truncated file is refused with one line.
#pragma once

#include "core/MidiEvent.h"

#include <cstdint>
#include <string>
#include <vector>

class StandardMidiFile
{
  public:
    static constexpr uint64_t c_iMaxFileBytes = 16u << 20; // 16 MiB
    static constexpr double c_rMaxSeconds = 86400.0;       // 24 hours

    // False with "file: problem" in error.
    bool Parse(const std::string& bytes, const std::string& fileName, double sampleRate,
               std::string& error);
    bool Load(const std::string& path, double sampleRate, std::string& error);

    // Every channel message, in time order (a track's own order kept at equal times).
    const std::vector<MidiEvent>& GetEvents() const { return m_events; }
    // When the last track ends, in samples.
    int64_t GetEndSample() const { return m_iEndSample; }

  private:
    std::vector<MidiEvent> m_events;
    int64_t m_iEndSample = 0;
};
