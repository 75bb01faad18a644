// Zindle's MIDI output on the host side: owns the MPE encoder that the sound
// engine feeds, and sends what it queued to a Standard MIDI File (--midi) and to
// a live ALSA sequencer port through RtMidi (--midi-out). Headless, the queue is
// drained once per frame, so the same inputs give the same file; live, a sender
// thread drains it every millisecond, so events leave when they are played
// rather than at the next frame.
#pragma once

#include "core/MidiEvent.h"
#include "host/HostOptions.h"
#include "host/MidiFileWriter.h"
#include "synth/MpeEncoder.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class PeriodRenderer;
class RtMidiOut;
class SoundManager;

class MidiOutput
{
  public:
    static constexpr const char* c_sPortName = "Zindle";
    static constexpr int c_iSendIntervalMicroseconds = 1000; // the live sender's period

    MidiOutput();
    ~MidiOutput();

    MidiOutput(const MidiOutput&) = delete;
    MidiOutput& operator=(const MidiOutput&) = delete;

    // Does nothing unless the options ask for MIDI. Otherwise makes the encoder,
    // opens the file and the live port. Without a sequencer the live port is off
    // after one warning line on stderr; only a file that cannot be written fails
    // (false, with the reason).
    bool Open(const HostOptions& options, std::string& error);

    // Once the synth is built: the encoder listens to the sound manager's
    // blocks and reads the voices' theremins (null: stops reading them). Main
    // thread; Detach before the voices or the manager go.
    void Attach(SoundManager* sound, SoundControlSource* const* voices, int count);
    void Detach();

    // Main thread, once per frame: drains the encoder's queue to the outputs
    // (unless the live sender thread does it).
    void Update();

    // After the stream stopped: ends the sounding notes, drains and finishes the
    // file (its track ends at endSampleTime).
    bool Close(int64_t endSampleTime, std::string& error);

    // Through JACK, the process callback takes the encoder's events and sends
    // them (with their frames) itself: the outputs then read them from
    // `relay` (null: from the encoder again). Call it before the callback
    // starts reading the encoder, and with null once the stream stopped and
    // before the relay goes (what it still holds is written first).
    void SetRelay(PeriodRenderer* relay);

    bool IsOpen() const { return m_pEncoder != nullptr; }
    bool IsLive() const { return m_pPort != nullptr; }
    MpeEncoder* GetEncoder() const { return m_pEncoder.get(); }
    // What the live port is: "virtual port Zindle" or the port connected to.
    const std::string& GetPortDescription() const { return m_sPortDescription; }
    bool HasSenderThread() const { return m_sender.joinable(); }
    int64_t GetEventsSent() const { return m_iEventsSent.load(std::memory_order_relaxed); }

  private:
    void OpenLive(const std::string& match);
    void Warn(const std::string& message);
    // The queue's one consumer: the sender thread while it runs, else the caller.
    void DrainToOutputs();
    void StartSender();
    void StopSender();

    std::unique_ptr<MpeEncoder> m_pEncoder;
    SoundManager* m_pSound = nullptr; // the manager the encoder listens to
    std::unique_ptr<RtMidiOut> m_pPort;
    MidiFileWriter m_file;
    std::vector<MidiEvent> m_events;
    std::string m_sPortDescription;
    std::string m_sPortFailure; // the first error RtMidi reported on the open port
    std::atomic<int64_t> m_iEventsSent{0};
    std::thread m_sender;
    std::atomic<bool> m_bSending{false};
    PeriodRenderer* m_pRelay = nullptr; // changed only while the sender is stopped
};
