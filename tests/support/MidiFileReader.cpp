#include "support/MidiFileReader.h"

#include "support/TestSupport.h"

namespace zindle_test
{
namespace
{
class Cursor
{
  public:
    Cursor(const std::string& bytes, size_t begin, size_t end)
        : m_bytes(bytes), m_iPos(begin), m_iEnd(end)
    {
    }
    bool AtEnd() const { return m_iPos >= m_iEnd; }
    bool Byte(uint8_t& out)
    {
        if (AtEnd())
            return false;
        out = static_cast<uint8_t>(m_bytes[m_iPos++]);
        return true;
    }
    bool VariableLength(uint32_t& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i)
        {
            uint8_t b;
            if (!Byte(b))
                return false;
            out = (out << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false; // more than four bytes
    }
    bool Bytes(size_t n, std::vector<uint8_t>& out)
    {
        if (m_iEnd - m_iPos < n)
            return false;
        out.assign(m_bytes.begin() + static_cast<long>(m_iPos),
                   m_bytes.begin() + static_cast<long>(m_iPos + n));
        m_iPos += n;
        return true;
    }

  private:
    const std::string& m_bytes;
    size_t m_iPos;
    size_t m_iEnd;
};

uint32_t BigEndian(const std::string& bytes, size_t at, int n)
{
    uint32_t value = 0;
    for (int i = 0; i < n; ++i)
        value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

bool ParseTrack(Cursor cursor, std::vector<MidiFileEvent>& events, std::string& error)
{
    int64_t tick = 0;
    uint8_t running = 0;
    bool ended = false;
    while (!cursor.AtEnd())
    {
        if (ended)
        {
            error = "bytes after the end of the track";
            return false;
        }
        uint32_t delta;
        uint8_t first;
        if (!cursor.VariableLength(delta) || !cursor.Byte(first))
        {
            error = "truncated event";
            return false;
        }
        tick += delta;
        MidiFileEvent event;
        event.tick = tick;
        if (first == 0xFF)
        {
            uint32_t length;
            if (!cursor.Byte(event.metaType) || !cursor.VariableLength(length) ||
                !cursor.Bytes(length, event.data))
            {
                error = "truncated meta event";
                return false;
            }
            event.status = 0xFF;
            ended = event.metaType == 0x2F;
        }
        else if (first == 0xF0 || first == 0xF7)
        {
            uint32_t length;
            if (!cursor.VariableLength(length) || !cursor.Bytes(length, event.data))
            {
                error = "truncated system-exclusive event";
                return false;
            }
            event.status = first;
            running = 0;
        }
        else
        {
            uint8_t data1;
            if (first & 0x80)
            {
                running = first;
                if (!cursor.Byte(data1))
                {
                    error = "truncated channel message";
                    return false;
                }
            }
            else if (running)
            {
                data1 = first;
            }
            else
            {
                error = "data byte without a status";
                return false;
            }
            event.status = running;
            event.data.push_back(data1);
            const int kind = running & 0xF0;
            if (kind != 0xC0 && kind != 0xD0)
            {
                uint8_t data2;
                if (!cursor.Byte(data2))
                {
                    error = "truncated channel message";
                    return false;
                }
                event.data.push_back(data2);
            }
            if ((data1 & 0x80) || (event.data.size() == 2 && (event.data[1] & 0x80)))
            {
                error = "data byte with the high bit set";
                return false;
            }
        }
        events.push_back(std::move(event));
    }
    if (!ended)
    {
        error = "track without an end";
        return false;
    }
    return true;
}
} // namespace

bool ParseMidiFile(const std::string& bytes, MidiFile& file, std::string& error)
{
    file = MidiFile();
    if (bytes.size() < 14 || bytes.compare(0, 4, "MThd") != 0 || BigEndian(bytes, 4, 4) != 6)
    {
        error = "no MThd header";
        return false;
    }
    file.format = static_cast<int>(BigEndian(bytes, 8, 2));
    file.tracks = static_cast<int>(BigEndian(bytes, 10, 2));
    file.division = static_cast<int>(BigEndian(bytes, 12, 2));
    size_t at = 14;
    for (int t = 0; t < file.tracks; ++t)
    {
        if (bytes.size() - at < 8 || bytes.compare(at, 4, "MTrk") != 0)
        {
            error = "missing track " + std::to_string(t);
            return false;
        }
        const size_t length = BigEndian(bytes, at + 4, 4);
        at += 8;
        if (bytes.size() - at < length)
        {
            error = "track " + std::to_string(t) + " is longer than the file";
            return false;
        }
        file.trackEvents.emplace_back();
        if (!ParseTrack(Cursor(bytes, at, at + length), file.trackEvents.back(), error))
            return false;
        at += length;
    }
    if (at != bytes.size())
    {
        error = "bytes after the last track";
        return false;
    }
    return true;
}

bool ReadMidiFile(const std::filesystem::path& path, MidiFile& file, std::string& error)
{
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code))
    {
        error = "no file " + path.string();
        return false;
    }
    return ParseMidiFile(ReadFile(path), file, error);
}
} // namespace zindle_test
