#include "formats/StandardMidiFile.h"

#include "core/Printable.h"
#include "file/File_Disk.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace
{
// A MIDI channel message's data bytes, by its status's high nibble.
int DataBytes(int status)
{
    const int kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

struct TimedEvent
{
    uint64_t iTick;
    uint64_t iOrder; // track, then position in it: a stable merge
    MidiEvent event;
};

// Reads one track chunk's events; false with the problem.
class TrackReader
{
  public:
    TrackReader(const std::string& bytes, size_t begin, size_t end)
        : m_bytes(bytes), m_iAt(begin), m_iEnd(end)
    {
    }

    bool Read(size_t track, std::vector<TimedEvent>& events, std::map<uint64_t, uint32_t>& tempos,
              uint64_t& endTick, std::string& problem)
    {
        uint64_t tick = 0;
        int running = 0;
        while (m_iAt < m_iEnd)
        {
            uint32_t delta = 0;
            if (!ReadNumber(delta))
                return Fail("a delta time is cut short or longer than four bytes", problem);
            tick += delta;
            int status = Byte();
            if (status < 0x80)
            {
                if (running == 0)
                    return Fail("a data byte without a status (running status before any)",
                                problem);
                status = running;
                --m_iAt; // the byte read is the first data byte
            }
            if (status == 0xFF)
            {
                running = 0;
                const int type = Byte();
                uint32_t length = 0;
                if (type < 0 || !ReadNumber(length) || length > m_iEnd - m_iAt)
                    return Fail("a meta event runs past its track", problem);
                if (type == 0x51 && length == 3)
                {
                    const auto* p = reinterpret_cast<const unsigned char*>(&m_bytes[m_iAt]);
                    const uint32_t tempo = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
                    if (tempo == 0)
                        return Fail("a tempo of 0 microseconds per quarter note", problem);
                    tempos[tick] = tempo;
                }
                m_iAt += length;
                if (type == 0x2F)
                    break; // end of track: anything after it is ignored
            }
            else if (status == 0xF0 || status == 0xF7)
            {
                running = 0;
                uint32_t length = 0;
                if (!ReadNumber(length) || length > m_iEnd - m_iAt)
                    return Fail("a SysEx message runs past its track", problem);
                m_iAt += length; // skipped
            }
            else if (status >= 0xF0)
            {
                return Fail("status byte " + Hex(status) + " has no place in a MIDI file", problem);
            }
            else
            {
                running = status;
                const int count = DataBytes(status);
                uint8_t data[2] = {0, 0};
                for (int i = 0; i < count; ++i)
                {
                    const int byte = Byte();
                    if (byte < 0)
                        return Fail("a message runs past its track", problem);
                    if (byte >= 0x80)
                        return Fail("data byte " + Hex(byte) + " above 127", problem);
                    data[i] = static_cast<uint8_t>(byte);
                }
                events.push_back(
                    {tick, static_cast<uint64_t>(track) << 32 | events.size(),
                     MidiEvent::Make(0, static_cast<uint8_t>(status), data[0], data[1])});
            }
        }
        endTick = std::max(endTick, tick);
        return true;
    }

  private:
    int Byte() { return m_iAt < m_iEnd ? static_cast<unsigned char>(m_bytes[m_iAt++]) : -1; }

    // A variable-length quantity: at most four bytes.
    bool ReadNumber(uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i)
        {
            const int byte = Byte();
            if (byte < 0)
                return false;
            value = value << 7 | static_cast<uint32_t>(byte & 0x7F);
            if ((byte & 0x80) == 0)
                return true;
        }
        return false;
    }

    static std::string Hex(int byte)
    {
        static const char* c_sDigits = "0123456789ABCDEF";
        return std::string("0x") + c_sDigits[(byte >> 4) & 15] + c_sDigits[byte & 15];
    }

    bool Fail(const std::string& what, std::string& problem) const
    {
        problem = what;
        return false;
    }

    const std::string& m_bytes;
    size_t m_iAt;
    size_t m_iEnd;
};

uint32_t BigEndian(const std::string& bytes, size_t at, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return value;
}
} // namespace

bool StandardMidiFile::Parse(const std::string& bytes, const std::string& fileName,
                             double sampleRate, std::string& error)
{
    m_events.clear();
    m_iEndSample = 0;
    auto fail = [&](const std::string& problem)
    {
        error = Printable::Name(fileName) + ": " + problem;
        m_events.clear();
        return false;
    };
    if (bytes.compare(0, 4, "MThd") != 0)
        return fail("not a Standard MIDI File (no MThd header)");
    const uint32_t headerLength = bytes.size() < 14 ? 0 : BigEndian(bytes, 4, 4);
    if (headerLength < 6 || headerLength > bytes.size() - 8)
        return fail("the header is cut short");
    const uint32_t format = BigEndian(bytes, 8, 2);
    const uint32_t tracks = BigEndian(bytes, 10, 2);
    const uint32_t division = BigEndian(bytes, 12, 2);
    if (format > 1)
        return fail("format " + std::to_string(format) + " files are not played (only 0 and 1)");
    if (tracks == 0)
        return fail("no tracks");
    // Seconds per tick: from the tempo (ticks per quarter note), or fixed (SMPTE).
    double smpteSecondsPerTick = 0.0;
    if (division & 0x8000)
    {
        const int fps = -static_cast<int8_t>(division >> 8);
        const int ticksPerFrame = static_cast<int>(division & 0xFF);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0)
            return fail("an SMPTE division that is not 24, 25, 29.97 or 30 frames a second");
        smpteSecondsPerTick = 1.0 / ((fps == 29 ? 29.97 : fps) * ticksPerFrame);
    }
    else if (division == 0)
    {
        return fail("a division of 0 ticks per quarter note");
    }

    std::vector<TimedEvent> events;
    std::map<uint64_t, uint32_t> tempos; // tick -> microseconds per quarter note
    uint64_t endTick = 0;
    size_t at = 8 + headerLength;
    uint32_t found = 0;
    while (found < tracks)
    {
        if (bytes.size() - at < 8)
            return fail("truncated: " + std::to_string(found) + " of " + std::to_string(tracks) +
                        " tracks");
        const uint32_t length = BigEndian(bytes, at + 4, 4);
        if (length > bytes.size() - at - 8)
            return fail("truncated: track " + std::to_string(found + 1) +
                        " runs past the end of the file");
        const bool track = bytes.compare(at, 4, "MTrk") == 0;
        if (track)
        {
            std::string problem;
            TrackReader reader(bytes, at + 8, at + 8 + length);
            if (!reader.Read(found, events, tempos, endTick, problem))
                return fail("track " + std::to_string(found + 1) + ": " + problem);
            ++found;
        }
        at += 8 + length; // chunks of other kinds are skipped
    }

    // Ticks to seconds in one pass, asked in tick order (120 bpm until the first tempo).
    auto next = tempos.begin();
    uint64_t from = 0;
    double time = 0.0;
    double perTick = smpteSecondsPerTick > 0.0 ? smpteSecondsPerTick : 0.5 / division;
    auto seconds = [&](uint64_t tick)
    {
        for (; smpteSecondsPerTick == 0.0 && next != tempos.end() && next->first <= tick; ++next)
        {
            time += static_cast<double>(next->first - from) * perTick;
            from = next->first;
            perTick = next->second / static_cast<double>(division) / 1e6;
        }
        return time + static_cast<double>(tick - from) * perTick;
    };

    std::stable_sort(events.begin(), events.end(),
                     [](const TimedEvent& a, const TimedEvent& b)
                     { return a.iTick != b.iTick ? a.iTick < b.iTick : a.iOrder < b.iOrder; });
    m_events.reserve(events.size());
    const std::string longest =
        "it lasts beyond the 86400 seconds (24 hours) a performance may last";
    for (TimedEvent& timed : events)
    {
        const double at = seconds(timed.iTick);
        if (at > c_rMaxSeconds)
            return fail(longest);
        timed.event.iSampleTime = std::llround(at * sampleRate);
        m_events.push_back(timed.event);
    }
    const double end = seconds(endTick);
    if (end > c_rMaxSeconds)
        return fail(longest);
    m_iEndSample = std::llround(end * sampleRate);
    return true;
}

bool StandardMidiFile::Load(const std::string& path, double sampleRate, std::string& error)
{
    std::string bytes, problem;
    if (!File_Disk::ReadAll(path, c_iMaxFileBytes, bytes, problem))
    {
        error = Printable::Name(path) + ": cannot read the MIDI file: " + problem;
        return false;
    }
    return Parse(bytes, path, sampleRate, error);
}
