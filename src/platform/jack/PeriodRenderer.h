// One period of a sound server's output made from the instrument: each MIDI
// message is played on the voices at its own frame (the pull is split there),
// and a server running at another rate than the instrument's 44.1 kHz gets
// the sound resampled with libsamplerate. This is the whole of the JACK
// process callback but JACK itself, so that a benchmark can run it as it is.
// Render allocates nothing, locks nothing and logs nothing.
#pragma once

#include "core/MidiEvent.h"
#include "core/SpscRing.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class MidiVoices;
class MpeEncoder;
class SoundManager;
struct SRC_STATE_tag;

class PeriodRenderer
{
  public:
    static constexpr int c_iMaxEvents = 512;     // MIDI messages one period carries
    static constexpr int c_iInputSamples = 8192; // instrument samples waiting for the resampler
    static constexpr const char* c_sQuality = "libsamplerate's medium-quality sinc";

    // `sound` makes the instrument's blocks at 44100 Hz; `serverRate` is the
    // rate the periods are played at. `capture`: every instrument sample
    // played is also queued for the main thread (DrainCapture), at 44100 Hz.
    // `period`: the server frames a period usually holds (the resampler's
    // latency is measured for it; any period plays).
    PeriodRenderer(SoundManager& sound, int serverRate, bool capture, int period = 256);
    ~PeriodRenderer();

    PeriodRenderer(const PeriodRenderer&) = delete;
    PeriodRenderer& operator=(const PeriodRenderer&) = delete;

    // False, with the reason, when the resampler could not be made.
    bool IsValid() const { return m_sError.empty(); }
    const std::string& GetError() const { return m_sError; }
    int GetServerRate() const { return m_iServerRate; }
    bool IsResampling() const { return m_pResampler != nullptr; }
    // Server frames from a MIDI message's frame to the sound it starts, which
    // the resampler needs (0 without one).
    int GetResamplerLatency() const { return m_iLatencyFrames; }

    // Main thread: the voices MIDI plays on (null: none yet; the port's
    // messages are dropped, the queued ones wait);
    // the encoder whose events Render hands out (null: none).
    void SetVoices(MidiVoices* voices) { m_pVoices.store(voices, std::memory_order_release); }
    void SetEncoder(MpeEncoder* encoder) { m_pEncoder.store(encoder, std::memory_order_release); }
    // Main thread: a message played at the start of the next period.
    void Queue(const MidiEvent& event) { m_queued.Push(&event, 1); }
    // Main thread, as the run ends: the next period ends every note MIDI out
    // holds, sends the note-offs and starts no note after them, so that no
    // note hangs on what listens; IsMidiOutEnded says when that period ran.
    void EndMidiOut() { m_bEndMidiOut.store(true, std::memory_order_release); }
    bool IsMidiOutEnded() const { return m_bMidiOutEnded.load(std::memory_order_acquire); }

    // Where MIDI out goes, on the audio thread: each event at the server
    // frame (within the period) of the block that played it, in order.
    using MidiSink = void (*)(void* user, int frame, const MidiEvent& event);

    // The audio thread's work for one period: `frames` server frames into
    // `out`, with `events` (their iSampleTime the frame within the period,
    // in order) played at their frames. The encoder's events, if any, go to
    // `sink` and are kept for DrainMidiOut.
    void Render(float* out, int frames, const MidiEvent* events, int count, MidiSink sink,
                void* user);

    // Main thread: what was played, for --wav (44100 Hz) and --midi.
    size_t DrainCapture(int16_t* out, size_t maximum);
    size_t CaptureDropped() const { return m_pCapture ? m_pCapture->Dropped() : 0; }
    size_t DrainMidiOut(MidiEvent* out, size_t maximum) { return m_midiOut.Pop(out, maximum); }
    // MIDI messages lost: in, before the voices were set, or more than a
    // period holds (c_iMaxEvents) or can keep waiting; out, more than the
    // server's buffer took (the sink says) or DrainMidiOut's queue held.
    void CountDropped(size_t messages)
    {
        m_iDropped.fetch_add(messages, std::memory_order_relaxed);
    }
    size_t GetDropped() const
    {
        return m_iDropped.load(std::memory_order_relaxed) + m_midiOut.Dropped();
    }

  private:
    // `count` instrument samples into `out`; zeros when `dry`.
    void Pull(float* out, int count, bool dry);
    void Play(const MidiEvent& event, MidiVoices* voices);
    // The resampled period: pulls instrument samples just in time, split at
    // the events' instrument frames.
    void Resample(float* out, int frames, const MidiEvent* events, int count, MidiVoices* voices,
                  bool dry);
    void SendMidiOut(int64_t encoderStart, int64_t pulledStart, int64_t producedStart, int frames,
                     MidiSink sink, void* user);

    SoundManager& m_sound;
    int m_iServerRate;
    double m_rRatio; // server frames per instrument sample
    SRC_STATE_tag* m_pResampler = nullptr;
    int m_iLatencyFrames = 0;
    std::string m_sError;
    std::unique_ptr<float[]> m_pInput; // instrument samples not yet resampled
    int m_iInputCount = 0;
    // Resampling: messages not yet played, stamped with their instrument samples.
    std::unique_ptr<MidiEvent[]> m_pWaiting;
    int m_iWaiting = 0;
    int64_t m_iPulled = 0;                 // instrument samples pulled since the start
    int64_t m_iProduced = 0;               // server frames given out since the start
    std::unique_ptr<int16_t[]> m_pScratch; // one block as 16-bit samples, for the capture
    std::unique_ptr<SpscRing<int16_t>> m_pCapture;
    SpscRing<MidiEvent> m_queued{1024};
    SpscRing<MidiEvent> m_midiOut{16384};
    std::atomic<MidiVoices*> m_pVoices{nullptr};
    std::atomic<MpeEncoder*> m_pEncoder{nullptr};
    std::atomic<bool> m_bEndMidiOut{false};
    std::atomic<bool> m_bMidiOutEnded{false};
    std::atomic<size_t> m_iDropped{0};
};
