// Band-limited pulse of variable width: the difference of two band-limited saw
// readings of the shared table, the second shifted by the width (a pulse is
// the difference of two saws); the table is the saw's.
#pragma once

#include "dsp/SoundManager.h"
#include "dsp/SoundStreamSource.h"

class SoundControlSource;

class SoundSource_BLPulse : public SoundStreamSource
{
  public:
    static constexpr float c_rBufferSize = 2048.0f; // table period in entries

    // `sampleRate`: Hz of the stream this pulse plays into.
    explicit SoundSource_BLPulse(float sampleRate = SoundManager::c_rSampleRate);

    void SetPitchSource(SoundControlSource* source, int channel);
    // Width as a fraction of the period, [0, 1); 0.5 is a square wave.
    void SetWidthSource(SoundControlSource* source, int channel);

    int Generate(int channel, int start, float* buffer, int count) override;

  private:
    float m_rSampleRate;
    float m_rPhase = 0.0f;
    SoundControlSource* m_pPitchSource = nullptr;
    int m_iPitchChannel = 0;
    SoundControlSource* m_pWidthSource = nullptr;
    int m_iWidthChannel = 0;
    const float* m_pTable = nullptr;
};
