// Overdrive: a drive gain followed by hard clipping at +-1. The panel's drive
// v gives a gain of 1 + 30 v^2 (about +30 dB at full drive).
#pragma once

#include "dsp/SoundStreamSource.h"

#include <atomic>

class SoundSource_Overdrive : public SoundStreamSource
{
  public:
    SoundSource_Overdrive();

    void SetSoundSource(SoundStreamSource* source, int channel);
    // Panel value in [0, 1] (clamped): drive = 1 + 30 x^2; 0 leaves the signal
    // untouched. Main thread, any time.
    void SetDrive(float x);
    float GetDrive() const { return m_rDrive.load(std::memory_order_relaxed); }

    int Generate(int channel, int start, float* buffer, int count) override;

  private:
    std::atomic<float> m_rDrive{1.0f};
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;
};
