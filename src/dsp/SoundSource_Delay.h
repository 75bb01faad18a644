// Feedback echo over a four-second ring held by the object. Setters run on the
// main thread while audio plays: each writes one atomic value, and work on the
// ring itself (re-deriving the read position, clearing it when the echo is
// switched on) is left to the audio thread at the start of its next block.
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
    // Echo level x^2. Switching the echo on from 0 clears the ring first.
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
    std::atomic<bool> m_bClearRequested{false};
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;

    // Audio thread only.
    std::unique_ptr<float[]> m_pRing;
    int m_iReadPosition = -1; // -1: derive from the write position
    int m_iWritePosition = 0;
    float m_rAppliedDelayTime = 0.0f;
};
