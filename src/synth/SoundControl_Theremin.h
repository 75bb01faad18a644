// The playing surface of one voice: owns one finger at a time and turns its
// position into three control channels, 0 the pitch in hertz (0 while no finger
// is down), 1 a timbre value in [0, 1] and 2 the note's velocity (1 .. 127;
// a finger plays at 100). The horizontal position picks the
// pitch inside the octave window of the instrument's state, which every voice
// shares; an autotune stage can pull it onto the enabled notes, gently or by
// snapping. Touch calls run on the main thread, Generate on the audio thread.
#pragma once

#include "dsp/SoundControlSource.h"
#include "dsp/SoundManager.h"
#include "input/TouchListener.h"
#include "synth/InstrumentState.h"

#include <atomic>

class Camera_2D;

class SoundControl_Theremin : public SoundControlSource, public TouchListener
{
  public:
    static constexpr int c_iGlideRun = 30;       // samples per step of a glide
    static constexpr int c_iStillSamples = 3072; // rest before a gentle correction starts (70 ms)
    static constexpr float c_rStillTolerance = 0.0010416667f; // 1/960 of the width
    static constexpr float c_rTouchVelocity = 100.0f;         // a finger's velocity

    // `state`: the window, autotune and notes the voice plays by; it outlives the
    // voice. Runs for blocks of up to `maxBlockSamples` samples.
    explicit SoundControl_Theremin(InstrumentState& state,
                                   int maxBlockSamples = SoundManager::c_iMaxBlockSamples);
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
    // hertz, which autotune leaves alone, its timbre in [0, 1] and its velocity
    // (1 .. 127). `began`: a new note, which starts on its pitch without a
    // glide. It takes the voice as a finger does (no finger can take it) and
    // shows at its pitch on the surface, at the edge when the window does not
    // reach it. Main thread, or the one thread that plays MIDI when that is not
    // the main one.
    void PlayNote(float hz, float timbre, bool began, float velocity = c_rTouchVelocity);
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
        float rVelocity = c_rTouchVelocity;
        float rX = 0.0f;
    };
    const Finger& GetBlockFinger() const { return m_blockFinger; }

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
    void GenerateGentle(SoundControlBuffer* buffer, int count, float octave, float x,
                        const InstrumentState::Snapshot& tables);

    // Finger, written by the main thread and read by the audio thread. A new
    // touch stays set until a block takes it, so that a press released before
    // the next block still sounds for that one block.
    std::atomic<bool> m_bTouchActive{false};
    std::atomic<bool> m_bNewTouch{false};
    std::atomic<bool> m_bExact{false}; // playing a note: its pitch as it is
    // The voice is a note's. MIDI may play notes from the audio thread (a
    // JACK period plays them at their own frames), so these two are atomic too.
    std::atomic<bool> m_bNote{false};
    std::atomic<int> m_iTouchID{-1};
    std::atomic<float> m_rTargetFrequency{0.0f};
    std::atomic<float> m_rTargetTimbre{0.0f};
    std::atomic<float> m_rVelocity{c_rTouchVelocity};
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
    InstrumentState& m_state;

    static_assert(std::atomic<float>::is_always_lock_free);
    static_assert(std::atomic<int>::is_always_lock_free);
    static_assert(std::atomic<bool>::is_always_lock_free);
};
