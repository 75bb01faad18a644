// Feedback echo over a four-second ring held by the object. Setters run on the
// main thread while audio plays: each writes one atomic value. The audio thread
// re-derives the read position at its next block; switching the echo on clears
// the ring on the main thread, while no block uses it, so the audio thread never
// does work out of proportion to its block.
// The panel's curves are squares (time, level, repeat), with the feedback
// capped below 0.95 for short times so the echo cannot build up.
#pragma once

#include "dsp/SoundStreamSource.h"

#include <atomic>
#include <memory>

class SoundSource_Delay : public SoundStreamSource
{
  public:
    static constexpr int c_iRingSamples = 176400; // 4 s at 44100 Hz

    SoundSource_Delay();

    void SetSoundSource(SoundStreamSource* source, int channel);
    // Panel values in [0, 1] (clamped; not a number gives 0). Main thread, any time.
    // Time: x^2 spread over 0.001 to 1.0 of the ring (176 to 176400 samples);
    // the echo jumps to the new time at the next block.
    void SetDelayTime(float x);
    // Repeat: feedback x^2, limited to 0.95 below time 0.2 and to 0.999 below 0.5.
    void SetFeedback(float x);
    // Echo level x^2. Switching the echo on from 0 clears the ring first: the
    // echo starts from silence. That may wait for a block in progress to end.
    void SetDelayLevel(float x);
    // The settings as stored (after the curves above).
    float GetDelayTime() const { return m_rDelayTime.load(std::memory_order_relaxed); }
    float GetFeedback() const { return m_rFeedback.load(std::memory_order_relaxed); }
    float GetDelayLevel() const { return m_rDelayLevel.load(std::memory_order_relaxed); }

    int Generate(int channel, int start, float* buffer, int count) override;

    // The echo's delay in samples for a normalised time.
    static int DelaySamples(float time);

  private:
    // Set by the main thread only; the audio thread compares its applied copy.
    std::atomic<float> m_rDelayTime{1.0f};
    std::atomic<float> m_rFeedback{0.0f};
    std::atomic<float> m_rDelayLevel{0.0f};
    // Set by the audio thread from before it reads the level until it is done
    // with the ring: while it is false and the level is 0, the ring is the main
    // thread's to clear.
    std::atomic<bool> m_bRingInUse{false};
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;

    // The audio thread's, but for the clearing above.
    std::unique_ptr<float[]> m_pRing;
    // Audio thread only.
    int m_iReadPosition = -1; // -1: derive from the write position
    int m_iWritePosition = 0;
    float m_rAppliedDelayTime = 0.0f;
};
