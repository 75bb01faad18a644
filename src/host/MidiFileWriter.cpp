#include "host/MidiFileWriter.h"

#include "core/Printable.h"

#include <cerrno>

namespace
{
constexpr long c_iTrackLengthOffset = 18; // after "MThd", its 6 bytes and "MTrk"
const char c_sTrackName[] = "Zindle";

void PutBigEndian(uint8_t* out, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[i] = static_cast<uint8_t>(value & 0xFF);
}
} // namespace

MidiFileWriter::~MidiFileWriter() = default; // the output file abandons what was not closed

bool MidiFileWriter::Open(const std::string& path, int sampleRate, std::string& error)
{
    if (sampleRate <= 0 || sampleRate % 2 != 0 || sampleRate / 2 > 0x7FFF)
    {
        error = "cannot write " + Printable::Name(path) + ": sample rate " +
                std::to_string(sampleRate) + " has no exact MIDI file division";
        return false;
    }
    m_pOutput = std::make_unique<OutputFile>(path);
    if (!m_pOutput->Open(error))
    {
        m_pOutput.reset();
        return false;
    }
    m_pFile = m_pOutput->GetStream();
    m_iLastTime = 0;
    m_iEvents = 0;
    m_iTrackBytes = 0;
    m_bFailed = false;

    uint8_t header[22] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0, 'M', 'T', 'r', 'k'};
    PutBigEndian(header + 12, static_cast<uint32_t>(sampleRate / 2), 2); // ticks per beat
    // The track length (bytes 18..21) is filled in by Close().
    if (std::fwrite(header, 1, sizeof(header), m_pFile) != sizeof(header))
        Failed();

    const uint8_t name[] = {0x00, 0xFF, 0x03, static_cast<uint8_t>(sizeof(c_sTrackName) - 1)};
    Put(name, sizeof(name));
    Put(reinterpret_cast<const uint8_t*>(c_sTrackName), sizeof(c_sTrackName) - 1);
    uint8_t tempo[] = {0x00, 0xFF, 0x51, 0x03, 0, 0, 0};
    PutBigEndian(tempo + 4, c_iTempo, 3);
    Put(tempo, sizeof(tempo));
    return true;
}

bool MidiFileWriter::Write(const MidiEvent* events, size_t count)
{
    if (!m_pFile)
        return false;
    for (size_t i = 0; i < count; ++i)
    {
        const MidiEvent& event = events[i];
        const int status = event.pBytes[0];
        if (status < 0x80 || status >= 0xF0 || event.iSize < 2 || event.iSize > 3)
            continue; // only channel messages belong in the track
        PutDelta(event.iSampleTime);
        Put(event.pBytes, event.iSize);
        ++m_iEvents;
    }
    return !m_bFailed;
}

bool MidiFileWriter::Close(int64_t endSampleTime, std::string& error)
{
    if (!m_pFile)
        return false;
    PutDelta(endSampleTime);
    const uint8_t end[] = {0xFF, 0x2F, 0x00};
    Put(end, sizeof(end));

    uint8_t length[4];
    PutBigEndian(length, m_iTrackBytes, 4);
    if (!m_bFailed && (std::fseek(m_pFile, c_iTrackLengthOffset, SEEK_SET) != 0 ||
                       std::fwrite(length, 1, 4, m_pFile) != 4))
        Failed();
    m_pFile = nullptr;
    return m_pOutput->Commit(error);
}

void MidiFileWriter::PutDelta(int64_t time)
{
    int64_t delta = time > m_iLastTime ? time - m_iLastTime : 0;
    // A gap longer than a delta time can hold (about 100 minutes) is bridged
    // with repeats of the tempo, which change nothing.
    while (delta > c_iMaxDelta)
    {
        PutVariableLength(c_iMaxDelta);
        uint8_t tempo[] = {0xFF, 0x51, 0x03, 0, 0, 0};
        PutBigEndian(tempo + 3, c_iTempo, 3);
        Put(tempo, sizeof(tempo));
        delta -= c_iMaxDelta;
    }
    PutVariableLength(static_cast<uint32_t>(delta));
    if (time > m_iLastTime)
        m_iLastTime = time;
}

void MidiFileWriter::PutVariableLength(uint32_t value)
{
    // Seven bits per byte, most significant first, the high bit set on all but the last.
    uint8_t bytes[4];
    int n = 0;
    bytes[n++] = static_cast<uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0)
        bytes[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
    for (int i = n - 1; i >= 0; --i)
        PutByte(bytes[i]);
}

void MidiFileWriter::Put(const uint8_t* bytes, size_t count)
{
    if (!m_pFile || m_bFailed)
        return;
    if (std::fwrite(bytes, 1, count, m_pFile) != count)
        Failed();
    m_iTrackBytes += static_cast<uint32_t>(count);
}

void MidiFileWriter::Failed()
{
    m_pOutput->Fail(errno);
    m_bFailed = true;
}
