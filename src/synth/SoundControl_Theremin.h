// The playing surface of one voice: owns one finger at a time and turns its
// position into two control channels, 0 the pitch in hertz (0 while no finger
// is down) and 1 a timbre value in [0, 1]. The horizontal position picks the
// pitch inside a window of octaves shared by every voice; an autotune stage can
// pull it onto the enabled notes, gently or by snapping. Touch calls and every
// static setter run on the main thread, Generate on the audio thread.
#pragma once

#include "dsp/SoundControlSource.h"
#include "formats/Tuning.h"
#include "input/TouchListener.h"

#include <atomic>

class Camera_2D;

class SoundControl_Theremin : public SoundControlSource, public TouchListener
{
  public:
    static constexpr float c_rLowC =
        Tuning::c_rLowC;                          // Hz, octave 0: the C two octaves below middle C
    static constexpr float c_rFullMin = -2.4375f; // lowest octave the window may reach (12.07 Hz)
    static constexpr float c_rFullMax = 5.4375f;  // highest octave the window may reach (2834.5 Hz)
    static constexpr float c_rFullRange = 7.875f; // c_rFullMax - c_rFullMin
    static constexpr float c_rOrigRange = 5.25f;  // window width in octaves at zoom 0
    static constexpr float c_rPitchSliderZero = 0.5f; // pitch slider position applied at start
    static constexpr int c_iGlideRun = 30;            // samples per step of a glide
    static constexpr int c_iStillSamples = 3072; // rest before a gentle correction starts (70 ms)
    static constexpr float c_rStillTolerance = 0.0010416667f; // 1/960 of the width
    static constexpr int c_iMaxDegrees = 1024;                // a scale's degrees per period

    // Runs for blocks of up to `maxBlockSamples` samples.
    explicit SoundControl_Theremin(int maxBlockSamples = SoundManager::c_iMaxBlockSamples);
    ~SoundControl_Theremin() override;

    // The camera whose viewport is the playing area (landscape screen points).
    void SetCamera(Camera_2D* camera) { m_pCamera = camera; }

    bool TouchGetBid(int x, int y, float& bid) override;
    void TouchBegan(int id, int x, int y) override;
    void TouchMoved(int id, int x, int y, int prevX, int prevY) override;
    void TouchEnded(int id, int x, int y, int prevX, int prevY) override;

    // Once per frame: follows the owned touch, or ends the note when the touch
    // manager no longer knows it. A voice playing a note shows it where the
    // window now puts its pitch.
    void UpdateTouchPosition();

    // The voice played by a note (MIDI) instead of a finger: its exact pitch in
    // hertz, which autotune leaves alone, and its timbre in [0, 1]. `began`: a
    // new note, which starts on its pitch without a glide. It takes the voice
    // as a finger does (no finger can take it) and shows at its pitch on the
    // surface, at the edge when the window does not reach it. Main thread.
    void PlayNote(float hz, float timbre, bool began);
    void EndNote();
    bool IsPlayingNote() const { return m_bNote; }

    // The finger position normalised to the viewport, in [0, 1] while active.
    float GetX() const { return m_rX.load(std::memory_order_relaxed); }
    float GetY() const { return m_rY.load(std::memory_order_relaxed); }
    bool IsTouchActive() const { return m_bTouchActive.load(std::memory_order_relaxed); }
    int GetTouchID() const { return m_iTouchID; }

    void Generate(int channel, int start, SoundControlBuffer* buffer, int count) override;

    // The finger as the audio thread sees it for one block: taken once, by
    // whichever channel is pulled first in the block, so both channels (and
    // anything that reads them) agree on it. Audio thread only.
    struct Finger
    {
        bool bActive = false;   // sounds in this block
        bool bNewTouch = false; // landed since the last block: start on its pitch
        bool bExact = false;    // a note's own pitch: no autotune
        float rFrequency = 0.0f;
        float rTimbre = 0.0f;
        float rX = 0.0f;
    };
    const Finger& GetBlockFinger() const { return m_blockFinger; }

    // The octave window. Pitch and zoom are slider positions in [0, 1].
    static void SetPitchScale(float p);
    static float GetPitchScale() { return m_rRangePitch.load(std::memory_order_relaxed); }
    static void SetPitchZoom(float z);
    static float GetPitchZoom() { return m_rRangeZoom.load(std::memory_order_relaxed); }
    // Both sliders at once, as a fresh start at those positions gives them.
    static void SetWindow(float pitch, float zoom);
    // Moves the window's lower edge to octave o, keeping it inside the full range.
    static void SetMinOctave(float o);
    static void UpdateRange();
    static float GetMinOctave() { return m_rMinOctave.load(std::memory_order_relaxed); }
    static float GetMaxOctave() { return m_rMaxOctave.load(std::memory_order_relaxed); }
    // The horizontal position (0 .. 1) at which octave o lies.
    static float OctaveToTouch(float o);

    // samples: how long a gentle correction takes; 0 snaps. Not enabled: off.
    static void SetAutotuneSamples(int samples, bool enabled);
    static bool IsAutotuneEnabled_Snap();
    static float GetAutotuneSpeed() { return s_rAutotuneSpeed.load(std::memory_order_relaxed); }
    static int GetCorrectionSamples()
    {
        return c_iCorrectionSamples.load(std::memory_order_relaxed);
    }

    // The note set: pitch classes 0 (C) .. 11 (B). The last enabled class stays on.
    static void ToggleNote(int note);
    static bool IsNoteEnabled(int note);
    static int GetEnabledNoteCount() { return s_iNotesEnabled.load(std::memory_order_relaxed); }
    // The index-th enabled note counted across octaves, in semitones.
    static float GetEnabledNoteValue(int index);
    // The enabled semitone nearest to s (semitones within an octave); ties go
    // down. The result lies in -1 .. 12.
    static float NearestEnabledNote(float semitone);
    // The snap quantiser: the octave cut into equal zones, one per enabled note,
    // in their order. Returns semitones.
    static float OctaveToNearestEnabledNote_Snap(float octave);
    // The nearest enabled note to the middle of the half-semitone bin of o, in
    // octaves (with a scale: the nearest enabled degree).
    static float AssistedOctave(float octave);
    // Where snap puts octave o, in octaves.
    static float SnapOctave(float octave);

    // A scale other than the twelve equal notes on C, or null for those. Its
    // degrees take the notes' place: autotune pulls onto them in every period,
    // note keys 0 .. 11 switch degrees 0 .. 11 (degrees past 11 stay enabled).
    // Main thread, before the voices play.
    static void SetTuning(const Tuning* tuning);
    static bool IsTuned() { return s_bTuned.load(std::memory_order_relaxed); }
    // Degrees per period: 12 without a scale.
    static int GetDegreeCount() { return s_iDegrees.load(std::memory_order_relaxed); }
    // Enabled notes or degrees per period.
    static int GetEnabledDegreeCount();
    // The index-th enabled note or degree counted across periods, in octaves;
    // index 0 is the first one at or above the base.
    static float GetEnabledNoteOctave(int index);
    // The centre of snap zone k, in octaves: zone 0 is centred on the base.
    static float GetSnapZoneOctave(int k);
    // The first index (of enabled notes, or of snap zones, which count alike
    // per period) of the period just below octave o.
    static int GetFirstIndexBelow(float octave);

    // Every static setting back to its start value (the window as the first
    // instance leaves it). Main thread, with no audio running.
    static void ResetSettings();

  private:
    // Normalises (x, y) to the viewport. Inside: stores the targets and then
    // publishes the finger active (and, when it has just landed, new). Outside:
    // the note ends.
    void Place(int x, int y, bool began);
    // Where a note's pitch and timbre show on the surface.
    void ShowNote();
    // Takes the finger for the block stamped `start`, once per block.
    void TakeFinger(int start);
    void GeneratePitch(SoundControlBuffer* buffer, int count);
    void GenerateTimbre(SoundControlBuffer* buffer, int count);
    void GenerateGentle(SoundControlBuffer* buffer, int count, float octave, float x);
    static void RebuildNoteTables();
    static void RebuildDegreeTable();
    static float WindowWidth(float zoom);
    static float ZoneCount();

    // Finger, written by the main thread and read by the audio thread. A new
    // touch stays set until a block takes it, so that a press released before
    // the next block still sounds for that one block.
    std::atomic<bool> m_bTouchActive{false};
    std::atomic<bool> m_bNewTouch{false};
    std::atomic<bool> m_bExact{false}; // playing a note: its pitch as it is
    bool m_bNote = false;              // main thread: the voice is a note's
    int m_iTouchID = -1;
    std::atomic<float> m_rTargetFrequency{0.0f};
    std::atomic<float> m_rTargetTimbre{0.0f};
    std::atomic<float> m_rX{0.0f};
    std::atomic<float> m_rY{0.0f};

    // Audio thread only.
    Finger m_blockFinger;
    int m_iFingerStamp = -1;   // the block m_blockFinger belongs to (stamps are never negative)
    float m_rFrequency = 0.0f; // glided raw pitch at the end of the last block
    float m_rTimbre = 0.0f;
    bool m_bPitchWasActive = false;
    bool m_bTimbreWasActive = false;
    float m_rCorrection = 0.0f;       // octaves added to the raw pitch
    float m_rLastRawOctave = 0.0f;    // raw octave at the end of the last pitch block
    float m_rCorrectionOctave = 0.0f; // raw octave where the correction was last aimed
    float m_rHoldX = 0.0f;            // reference position of a still finger
    int m_iHoldSamples = 0;           // samples the finger has stayed still
    bool m_bCorrecting = false;
    int m_iCorrectionRemaining = 0;

    Camera_2D* m_pCamera = nullptr;

    // Shared by every voice and set at run time, whatever their prefixes say
    // (the names are the instrument's own).
    static std::atomic<int> c_iCorrectionSamples;
    static std::atomic<float> m_rMinOctave;
    static std::atomic<float> m_rMaxOctave;
    static std::atomic<float> m_rRangeZoom;
    static std::atomic<float> m_rRangePitch;
    static std::atomic<float> s_rAutotuneSpeed; // 0 off, exactly 1 snap, else gentle
    static std::atomic<bool> s_bNoteEnabled[12];
    static std::atomic<int> s_iNotesEnabled;
    static std::atomic<float> s_rNoteTable_Snap[12];   // enabled semitones, ascending
    static std::atomic<float> s_rNoteTable_Assist[24]; // nearest enabled note per half-semitone
    static bool m_bInitialised;
    // The scale, when there is one (octaves; base relative to the low C).
    static std::atomic<bool> s_bTuned;
    static std::atomic<int> s_iDegrees;
    static std::atomic<float> s_rPeriod;
    static std::atomic<float> s_rBaseOctave;
    static std::atomic<float> s_rDegreeOctave[c_iMaxDegrees]; // above degree 0, [0] = 0
    static std::atomic<int> s_iDegreesEnabled;
    static std::atomic<float> s_rDegreeTable[c_iMaxDegrees]; // enabled degrees, ascending

    static_assert(std::atomic<float>::is_always_lock_free);
    static_assert(std::atomic<int>::is_always_lock_free);
    static_assert(std::atomic<bool>::is_always_lock_free);
};
