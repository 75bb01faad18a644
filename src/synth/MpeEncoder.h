// Turns what the four voices sound into MPE (lower zone): manager channel 1,
// voice k on member channel k + 2. Runs on the audio thread after the graph
// pulled each block: it reads the runs the graph took from each voice's control
// source in that block (channel 0 pitch in hertz, 0 for no note; channel 1
// timbre in [0, 1]; channel 2, when the source has it, the note's velocity,
// sent with its Note On) and queues MIDI events, stamped with the sample at which
// each run starts, into a lock-free ring that the main thread drains. It never
// generates a control itself, so the sound is the same with MIDI out or
// without: a voice whose pitch the graph did not pull sounded nothing in that
// block (its filter is closed and silent), and its note ends until the graph
// pulls it again. No allocation, lock or I/O per block.
#pragma once

#include "core/MidiEvent.h"
#include "core/SpscRing.h"
#include "dsp/SoundBlockListener.h"
#include "synth/Synth_FourVoice.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class SoundControlSource;

class MpeEncoder : public SoundBlockListener
{
  public:
    static constexpr int c_iManagerChannel = 0;     // MIDI channel 1
    static constexpr int c_iFirstMemberChannel = 1; // MIDI channel 2: voice 0
    static constexpr int c_iDefaultBendRange = 48;  // semitones either way
    static constexpr int c_iMaxBendRange = 96;
    static constexpr int c_iVelocity = 100;       // a note's velocity when its source reads none
    static constexpr int c_iReleaseVelocity = 64; // the neutral release velocity
    static constexpr int c_iTimbreController = 74;
    static constexpr int c_iBendCentre = 8192;
    // Over a second of the busiest playing: four voices gliding make about
    // 12000 events a second.
    static constexpr size_t c_iDefaultQueueEvents = 16384;
    // A pitch this close to a semitone counts as whole (0.01 cent): what snapping emits.
    static constexpr double c_rWholeTolerance = 1e-4;

    // bendRange: the member channels' pitch-bend range in semitones (1 to 96,
    // clamped). The configuration messages are queued at sample time 0.
    explicit MpeEncoder(int bendRange = c_iDefaultBendRange,
                        size_t queueEvents = c_iDefaultQueueEvents);

    MpeEncoder(const MpeEncoder&) = delete;
    MpeEncoder& operator=(const MpeEncoder&) = delete;

    // The control source voice k reads: pitch on its channel 0, timbre on its
    // channel 1, velocity on its channel 2. Null mutes the voice (a sounding note ends at the next
    // block). Like the graph's structure, change it only while the stream is stopped if the old
    // source is about to be destroyed.
    void SetVoiceSource(int voice, SoundControlSource* source);

    // Audio thread, once per block, after the graph pulled it: reads each
    // voice's runs for the block stamped `start` and queues the events. Events
    // at a run's first sample are stamped with that sample's time.
    void ProcessBlock(int start, int count);
    // As the sound manager's block listener: the same, for every block it pulls.
    void BlockPulled(int stamp, int count) override { ProcessBlock(stamp, count); }

    // Ends every sounding note at the current sample time. Producer side: call
    // it only while no block is being processed (after the stream stopped).
    void EndNotes();

    // Main thread: moves queued events out in time order; returns how many.
    size_t Drain(MidiEvent* out, size_t maximum) { return m_queue.Pop(out, maximum); }
    // Events that did not fit in the queue and were lost.
    size_t GetDropped() const { return m_queue.Dropped(); }

    int GetBendRange() const { return m_iBendRange; }
    // Samples processed so far (producer side).
    int64_t GetSampleTime() const { return m_iSampleTime; }

    // A frequency as a fractional MIDI note number (69 is 440 Hz).
    static double FrequencyToNote(double hz);
    // The bend value that raises `note` by `semitones`, or -1 when it lies
    // outside the range.
    static int BendValue(double semitones, int bendRange);

  private:
    struct Voice
    {
        bool bSounding = false;
        bool bWhole = false; // sounding exactly on its note, the bend centred
        int iNote = 0;
        int iBend = c_iBendCentre;
        int iTimbre = 0;
        float rLastHz = -1.0f;
        float rTimbre = 0.0f; // the last timbre read, held while the graph reads none
        float rVelocity = static_cast<float>(c_iVelocity); // the same for the velocity
        double rLastNote = 0.0;
    };

    void QueueConfiguration();
    void Encode(int voice, float hz, float timbre, float velocity, int64_t time);
    void StartNote(int voice, double note, float timbre, float velocity, int64_t time);
    void EndNote(int voice, int64_t time);
    void Queue(int64_t time, int status, int data1, int data2);
    static int NoteNumber(double note);    // the nearest MIDI note, 0 to 127
    static int EdgeBend(double semitones); // the bend at the edge toward `semitones`
    static int TimbreValue(float timbre);

    int m_iBendRange;
    std::atomic<SoundControlSource*> m_pSources[Synth_FourVoice::c_iVoices] = {};
    Voice m_voices[Synth_FourVoice::c_iVoices];
    int64_t m_iSampleTime = 0;
    SpscRing<MidiEvent> m_queue;
};
