// The instrument's shared settings, one value per synth that its four voices
// read: the octave window, autotune, the note set and the scale. Every setter
// runs on the main thread and edits the main thread's own copy; what the voices'
// audio blocks read (autotune and the tables they pull onto) is then published
// whole, so that a block hears one set of tables, never a mix.
#pragma once

#include "formats/Tuning.h"

#include <array>
#include <atomic>

class InstrumentState
{
  public:
    static constexpr float c_rFullMin = -2.4375f; // lowest octave the window may reach (12.07 Hz)
    static constexpr float c_rFullMax = 5.4375f;  // highest octave the window may reach (2834.5 Hz)
    static constexpr float c_rFullRange = 7.875f; // c_rFullMax - c_rFullMin
    static constexpr float c_rOrigRange = 5.25f;  // window width in octaves at zoom 0
    static constexpr float c_rPitchSliderZero = 0.5f; // pitch slider position at start

    // What an audio block reads, published whole: autotune and the tables it
    // pulls onto (the instrument's names, without the prefixes of statics).
    struct Snapshot
    {
        int iCorrectionSamples = 4096; // samples a gentle correction takes
        float rAutotuneSpeed = 0.0f;   // 0 off, exactly 1 snap, else gentle
        int iNotesEnabled = 12;        // never below 1
        // Enabled semitones, ascending: the first iNotesEnabled count.
        std::array<float, 12> rNoteTable_Snap = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
        // Nearest enabled semitone (0 .. 12) per half-semitone bin of the octave.
        std::array<float, 24> rNoteTable_Assist = {0, 1, 1, 2, 2, 3, 3, 4,  4,  5,  5,  6,
                                                   6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12};
        // The scale, when there is one (octaves; base relative to the low C).
        bool bTuned = false;
        float rPeriod = 1.0f;
        float rBaseOctave = 0.0f;
        int iDegreesEnabled = 0;
        std::array<float, Tuning::c_iMaxDegrees> rDegreeTable{}; // enabled degrees, ascending

        bool IsAutotuneEnabled_Snap() const { return rAutotuneSpeed == 1.0f; }
        int GetEnabledDegreeCount() const { return bTuned ? iDegreesEnabled : iNotesEnabled; }
        float OctaveToNearestEnabledNote_Snap(float octave) const;
        float AssistedOctave(float octave) const;
        float SnapOctave(float octave) const;
        float GetEnabledNoteValue(int index) const;
        float GetEnabledNoteOctave(int index) const;
        float GetSnapZoneOctave(int k) const;
        int GetFirstIndexBelow(float octave) const;
    };

    // The start: every note, no scale, autotune off, the window at the pitch
    // slider's start position.
    InstrumentState();

    InstrumentState(const InstrumentState&) = delete;
    InstrumentState& operator=(const InstrumentState&) = delete;

    // Everything below runs on the main thread, and reads its own copy.

    // The octave window. Pitch and zoom are slider positions in [0, 1].
    void SetPitchScale(float p);
    float GetPitchScale() const { return m_rRangePitch; }
    void SetPitchZoom(float z);
    float GetPitchZoom() const { return m_rRangeZoom; }
    // Both sliders at once, as a fresh start at those positions gives them.
    void SetWindow(float pitch, float zoom);
    // Moves the window's lower edge to octave o, keeping it inside the full range.
    void SetMinOctave(float o);
    void UpdateRange();
    float GetMinOctave() const { return m_rMinOctave; }
    float GetMaxOctave() const { return m_rMaxOctave; }
    // The horizontal position (0 .. 1) at which octave o lies.
    float OctaveToTouch(float o) const;

    // samples: how long a gentle correction takes; 0 snaps. Not enabled: off.
    void SetAutotuneSamples(int samples, bool enabled);
    bool IsAutotuneEnabled_Snap() const { return m_edit.IsAutotuneEnabled_Snap(); }
    float GetAutotuneSpeed() const { return m_edit.rAutotuneSpeed; }
    int GetCorrectionSamples() const { return m_edit.iCorrectionSamples; }

    // The note set: pitch classes 0 (C) .. 11 (B). The last enabled class stays on.
    void ToggleNote(int note);
    bool IsNoteEnabled(int note) const;
    int GetEnabledNoteCount() const { return m_edit.iNotesEnabled; }
    // The index-th enabled note counted across octaves, in semitones.
    float GetEnabledNoteValue(int index) const { return m_edit.GetEnabledNoteValue(index); }
    // The enabled semitone nearest to s (semitones within an octave); ties go
    // down. The result lies in -1 .. 12.
    float NearestEnabledNote(float semitone) const;
    // The snap quantiser: the octave cut into equal zones, one per enabled note,
    // in their order. Returns semitones.
    float OctaveToNearestEnabledNote_Snap(float octave) const
    {
        return m_edit.OctaveToNearestEnabledNote_Snap(octave);
    }
    // The nearest enabled note to the middle of the half-semitone bin of o, in
    // octaves (with a scale: the nearest enabled degree).
    float AssistedOctave(float octave) const { return m_edit.AssistedOctave(octave); }
    // Where snap puts octave o, in octaves.
    float SnapOctave(float octave) const { return m_edit.SnapOctave(octave); }

    // A scale other than the twelve equal notes on C, or null for those. Its
    // degrees take the notes' place: autotune pulls onto them in every period,
    // note keys 0 .. 11 switch degrees 0 .. 11 (degrees past 11 stay enabled).
    void SetTuning(const Tuning* tuning);
    bool IsTuned() const { return m_edit.bTuned; }
    // Degrees per period: 12 without a scale.
    int GetDegreeCount() const { return m_iDegrees; }
    // Enabled notes or degrees per period.
    int GetEnabledDegreeCount() const { return m_edit.GetEnabledDegreeCount(); }
    // The index-th enabled note or degree counted across periods, in octaves;
    // index 0 is the first one at or above the base.
    float GetEnabledNoteOctave(int index) const { return m_edit.GetEnabledNoteOctave(index); }
    // The centre of snap zone k, in octaves: zone 0 is centred on the base.
    float GetSnapZoneOctave(int k) const { return m_edit.GetSnapZoneOctave(k); }
    // The first index (of enabled notes, or of snap zones, which count alike
    // per period) of the period just below octave o.
    int GetFirstIndexBelow(float octave) const { return m_edit.GetFirstIndexBelow(octave); }

    // Audio thread: the snapshot last published, for one Generate call. It
    // stays as it is until the audio thread's next TakeSnapshot, by any voice.
    // Never allocates, locks or waits.
    const Snapshot& TakeSnapshot();

  private:
    void RebuildNoteTables();
    void RebuildDegreeTable();
    float WindowWidth(float zoom) const;
    float ZoneCount() const;
    // Hands the main thread's snapshot to the audio thread.
    void Publish();

    // Main thread only: the window, the keys and the scale's degrees.
    float m_rMinOctave = -1.125f; // lower edge of the window (29.99 Hz)
    float m_rMaxOctave = 4.125f;  // upper edge of the window (1141.2 Hz)
    float m_rRangeZoom = 0.0f;    // 0 (widest) .. 1 (one period)
    float m_rRangePitch = 0.0f;   // window position within the full range, 0 .. 1
    std::array<bool, 12> m_bNoteEnabled = {true, true, true, true, true, true,
                                           true, true, true, true, true, true};
    int m_iDegrees = 12;
    std::array<float, Tuning::c_iMaxDegrees> m_rDegreeOctave{}; // above degree 0, [0] = 0
    Snapshot m_edit; // the main thread's copy of what it publishes

    // Triple buffering. The three copies are always shared out one each: the
    // main thread's next one to write (m_iBack), the latest published one
    // (m_iLatest), and the one the audio thread reads (m_iFront). Publishing
    // fills the back copy and swaps it for the latest in one exchange; the
    // audio thread, when the latest is fresh, swaps its front copy for it in
    // one exchange. Neither side ever holds the copy the other holds, so the
    // main thread may publish any number of times during a block without
    // touching the copy that block reads (with two copies, a second publish
    // would have to write into it). The audio thread does one load and at most
    // one exchange a block, the main thread one exchange a publish: nothing
    // retries, spins or waits.
    static constexpr int c_iFresh = 4; // set in m_iLatest until the audio thread takes it
    static constexpr int c_iIndexMask = 3;
    std::array<Snapshot, 3> m_copies;
    int m_iBack = 0;               // main thread
    std::atomic<int> m_iLatest{1}; // both: an index, with c_iFresh
    int m_iFront = 2;              // audio thread
    static_assert(std::atomic<int>::is_always_lock_free);
};
