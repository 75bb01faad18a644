// Sine oscillator: a phase accumulator through std::sin, the increment held
// for each pitch run. A note ends with one more unfaded block at the last pitch.
#pragma once

#include "dsp/SoundManager.h"
#include "dsp/SoundStreamSource.h"

class SoundControlSource;

class SoundSource_Osc_Sine : public SoundStreamSource
{
  public:
    static constexpr float c_rTwoPi = 6.2831855f;

    // `sampleRate`: Hz of the stream this sine plays into.
    explicit SoundSource_Osc_Sine(float sampleRate = SoundManager::c_rSampleRate);

    void SetPitchSource(SoundControlSource* source, int channel);

    int Generate(int channel, int start, float* buffer, int count) override;

  private:
    void RenderRun(float increment, float* out, int n);

    float m_rSampleRate; // Hz
    float m_rAngle = 0.0f;
    bool m_bSilent = true;
    float m_rLastIncrement = 0.0f;
    SoundControlSource* m_pPitchSource = nullptr;
    int m_iPitchChannel = 0;
};
