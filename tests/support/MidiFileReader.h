// Reads Standard MIDI Files back for the tests with libsmf, an independent reader:
// every event of every track with its absolute tick (running status expanded),
// meta and system-exclusive events included.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zindle_test
{
struct MidiFileEvent
{
    int64_t tick = 0;
    uint8_t status = 0;        // 0x80..0xEF channel message, 0xF0/0xF7 sysex, 0xFF meta
    uint8_t metaType = 0;      // meta events only
    std::vector<uint8_t> data; // channel: the data bytes; meta and sysex: the payload

    int Kind() const { return status & 0xF0; }
    int Channel() const { return status & 0x0F; }
};

struct MidiFile
{
    int format = -1;
    int tracks = 0;
    int division = 0;
    std::vector<std::vector<MidiFileEvent>> trackEvents;
};

// False with a reason when the file is not a well-formed Standard MIDI File.
bool ReadMidiFile(const std::filesystem::path& path, MidiFile& file, std::string& error);
} // namespace zindle_test
