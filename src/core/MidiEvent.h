// One short MIDI channel message with the sample time at which it happens,
// small and trivially copyable so that it can cross threads in a ring.
#pragma once

#include <cstdint>

struct MidiEvent
{
    int64_t iSampleTime = 0; // samples since the encoder started
    uint8_t iSize = 0;       // bytes used in pBytes: 2 or 3
    uint8_t pBytes[3] = {0, 0, 0};

    static MidiEvent Make(int64_t time, uint8_t status, uint8_t data1, uint8_t data2)
    {
        MidiEvent event;
        event.iSampleTime = time;
        event.iSize = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
        event.pBytes[0] = status;
        event.pBytes[1] = data1;
        event.pBytes[2] = event.iSize == 3 ? data2 : 0;
        return event;
    }

    int Status() const { return pBytes[0] & 0xF0; }
    int Channel() const { return pBytes[0] & 0x0F; } // 0-based: 0 is MIDI channel 1
};
