// Peak limiter at +-0.95: instant attack, the gain relaxes back to 1 with a
// time constant of about 987,000 samples (22 s).
#pragma once

#include "dsp/SoundStreamSource.h"

class SoundSource_Limiter : public SoundStreamSource
{
  public:
    static constexpr float c_rLimit = 0.95f;
    static constexpr float c_rReleaseFactor = 0.999999f; // per sample, on the gain's distance to 1
    // Below this the distance is gone: the gain is exactly 1 again.
    static constexpr float c_rDeficitFloor = 1e-9f;

    SoundSource_Limiter();

    void SetSource(SoundStreamSource* source, int channel);

    int Generate(int channel, int start, float* buffer, int count) override;

    float GetGain() const { return 1.0f - m_rDeficit; } // audio thread (or while stopped)

  private:
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;
    // The gain is kept as its distance below 1: a float gain just under 1 cannot
    // take steps of a millionth of that distance, and would stall about 3% short.
    float m_rDeficit = 0.0f;
};
