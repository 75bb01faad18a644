// Writes MIDI events as a Standard MIDI File, format 0, complete or not at all.
// Time is the sample clock: at 120 beats per minute and sampleRate / 2 ticks per
// beat, one tick is exactly one sample, so the same events give the same bytes.
#pragma once

#include "core/MidiEvent.h"
#include "host/OutputFile.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class MidiFileWriter
{
  public:
    static constexpr uint32_t c_iTempo = 500000;        // microseconds per beat: 120 bpm
    static constexpr uint32_t c_iMaxDelta = 0x0FFFFFFF; // the largest delta time a file holds

    MidiFileWriter() = default;
    ~MidiFileWriter();

    MidiFileWriter(const MidiFileWriter&) = delete;
    MidiFileWriter& operator=(const MidiFileWriter&) = delete;

    // Opens the temporary file and writes the header at once, so an unwritable
    // path fails before the performance starts. sampleRate must be even (one
    // tick per sample needs sampleRate / 2 ticks per beat, at most 32766).
    bool Open(const std::string& path, int sampleRate, std::string& error);
    // Appends events in time order; an event earlier than the last one written
    // is written at the last one's time.
    bool Write(const MidiEvent* events, size_t count);
    // Ends the track (at endSampleTime when it is later than the last event),
    // fills in its length and renames the file into place.
    bool Close(int64_t endSampleTime, std::string& error);
    bool IsOpen() const { return m_pFile != nullptr; }
    int64_t GetEventsWritten() const { return m_iEvents; }

  private:
    void PutDelta(int64_t time);
    void PutVariableLength(uint32_t value);
    void Put(const uint8_t* bytes, size_t count);
    void PutByte(uint8_t byte) { Put(&byte, 1); }
    void Failed(); // records errno as the reason the file cannot be finished

    std::unique_ptr<OutputFile> m_pOutput;
    FILE* m_pFile = nullptr; // the output file's stream
    int64_t m_iLastTime = 0;
    int64_t m_iEvents = 0;
    uint32_t m_iTrackBytes = 0;
    bool m_bFailed = false;
};
