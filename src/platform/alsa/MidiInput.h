// Zindle's MIDI input on the ALSA sequencer through RtMidi (--midi-in): a
// virtual port "Zindle In", or connected to the first port whose name holds a
// given text. RtMidi's thread hands each channel message over through a
// lock-free ring and wakes the main loop, which plays them on the voices; the
// audio thread never sees MIDI. A flood is dropped, never waited for.
#pragma once

#include "core/MidiEvent.h"
#include "core/SpscRing.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

class MidiVoices;
class RtMidiIn;

class MidiInput
{
  public:
    static constexpr const char* c_sPortName = "Zindle In";
    static constexpr size_t c_iQueueSize = 4096; // messages between two drains

    // `wake`, called from RtMidi's thread once per batch of messages, makes
    // the main loop call Drain soon (null: the loop drains at its own pace).
    using Wake = void (*)();
    explicit MidiInput(Wake wake = nullptr);
    ~MidiInput();

    MidiInput(const MidiInput&) = delete;
    MidiInput& operator=(const MidiInput&) = delete;

    // Opens the port (`match` empty: the virtual port). Without a sequencer,
    // or when the port cannot be opened, one warning line and no input.
    void Open(const std::string& match);
    bool IsOpen() const { return m_pPort != nullptr; }
    const std::string& GetPortDescription() const { return m_sPortDescription; }

    // Any thread but the main one (RtMidi's): one message received. Anything
    // but a channel message of two or three bytes is skipped.
    void Receive(const unsigned char* bytes, size_t size);
    // Main thread: plays every message received since the last call, in order.
    // Returns how many.
    size_t Drain(MidiVoices& voices);
    size_t GetDropped() const { return m_queue.Dropped(); }

  private:
    SpscRing<MidiEvent> m_queue{c_iQueueSize};
    std::atomic<bool> m_bWakePending{false};
    Wake m_pWake;
    std::unique_ptr<RtMidiIn> m_pPort;
    std::string m_sPortDescription;
    std::string m_sPortFailure;
};
