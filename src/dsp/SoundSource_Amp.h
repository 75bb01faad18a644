// Amplifier whose gain follows the square of a volume control in [0, 1],
// ramped linearly across each run (the square gives the volume an even feel
// across the finger's height).
#pragma once

#include "dsp/SoundStreamSource.h"

class SoundControlSource;

class SoundSource_Amp : public SoundStreamSource
{
  public:
    SoundSource_Amp();

    void SetSoundSource(SoundStreamSource* source, int channel);
    void SetVolumeSource(SoundControlSource* source, int channel);

    int Generate(int channel, int start, float* buffer, int count) override;

  private:
    float m_rGain = 0.0f;
    bool m_bReset = true; // seed the gain from the next block's first volume
    SoundControlSource* m_pVolumeSource = nullptr;
    int m_iVolumeChannel = 0;
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;
};
