// The live sound manager on a JACK server (--audio-driver jack): a client
// "Zindle" with a mono output "out" and, when asked, JACK MIDI ports
// "midi_in" and "midi_out". The synth is pulled in JACK's process callback
// at the server's period, with MIDI in at its own frames (PeriodRenderer).
// The server stopping or dropping the client is reported, once, to the main
// loop, which ends the run.
#pragma once

#include "dsp/SoundManager.h"
#include "platform/jack/PeriodRenderer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct _jack_client;
struct _jack_port;

class SoundManager_Jack : public SoundManager
{
  public:
    static constexpr const char* c_sClientName = "Zindle";

    struct Options
    {
        bool bConnect = true;      // out to the system's playback ports at start
        bool bCapture = false;     // keep what is played for --wav (DrainCapture)
        bool bMidiIn = false;      // a JACK MIDI input "midi_in"
        std::string sMidiInMatch;  // connected from the first port whose name holds it
        bool bMidiOut = false;     // a JACK MIDI output "midi_out"
        std::string sMidiOutMatch; // connected to the first port whose name holds it
    };

    // Opens the client and its ports; IsOpen says whether it could (and
    // GetError why not). Never starts a server.
    explicit SoundManager_Jack(const Options& options);
    ~SoundManager_Jack() override;

    // Activates the client and makes the connections asked for.
    void StartStream() override;
    // Deactivates it: no process callback runs after this returns.
    void StopStream() override;

    bool IsOpen() const { return m_pClient != nullptr && m_sError.empty(); }
    const std::string& GetError() const { return m_sError; }
    // "jack, 48000 Hz server, 256-frame period (5.3 ms), ..."
    std::string GetDescription() const;
    // One line per MIDI port: "MIDI input: Zindle:midi_in ..." (empty: none).
    const std::string& GetMidiInDescription() const { return m_sMidiIn; }
    const std::string& GetMidiOutDescription() const { return m_sMidiOut; }
    PeriodRenderer* GetPeriodRenderer() const { return m_pPeriod.get(); }

    // Whether the server has gone (stopped, or dropped the client), and why.
    bool IsServerGone() const { return m_bGone.load(std::memory_order_acquire); }
    std::string GetGoneReason() const { return m_pGoneReason; }

    // --list-audio's line for JACK: whether a server answers, at what rate and period.
    static std::string DescribeServer();

    // JACK's threads.
    int Process(uint32_t frames);
    void ServerGone(const char* reason);
    void SetPeriod(uint32_t frames) { m_iPeriod.store(static_cast<int>(frames)); }

  private:
    static void MidiOut_Static(void* user, int frame, const MidiEvent& event);
    // Connects `port` with the first port of `type` going the other way whose
    // name contains `match` (empty: the physical ones, for audio). Returns
    // the names connected.
    std::string Connect(_jack_port* port, const char* type, bool output, const std::string& match,
                        bool all);

    Options m_options;
    _jack_client* m_pClient = nullptr;
    _jack_port* m_pOut = nullptr;
    _jack_port* m_pMidiIn = nullptr;
    _jack_port* m_pMidiOut = nullptr;
    std::string m_sName; // the client's name as the server gave it
    std::string m_sError;
    std::string m_sConnected; // where out went
    std::string m_sMidiIn;
    std::string m_sMidiOut;
    int m_iRate = 0;
    std::atomic<int> m_iPeriod{0};
    bool m_bActive = false;
    std::unique_ptr<PeriodRenderer> m_pPeriod;
    std::unique_ptr<MidiEvent[]> m_pEvents; // one period's MIDI in (audio thread)
    void* m_pMidiOutBuffer = nullptr;       // the period's MIDI out buffer (audio thread)
    std::atomic<bool> m_bGone{false};
    char m_pGoneReason[256] = {};
};
