// A control source carrying a slider value. A change becomes a linear ramp
// across one block in 10-sample steps; later blocks carry it as one run. The
// value is kept in a Tweakable_Float, which maps the slider's 0..1 onto its range.
#pragma once

#include "dsp/SoundControlSource.h"
#include "dsp/Tweakable_Float.h"

class SoundControl_Tweakable : public SoundControlSource
{
  public:
    static constexpr int c_iStepSamples = 10;

    // Runs for blocks of up to `maxBlockSamples` samples.
    SoundControl_Tweakable(float min, float max, float value,
                           int maxBlockSamples = SoundManager::c_iMaxBlockSamples);

    Tweakable_Float* GetTweakable() { return &m_tweakable; }

    void Generate(int channel, int start, SoundControlBuffer* buffer, int count) override;

  private:
    Tweakable_Float m_tweakable;
    float m_rEmittedValue; // audio thread: the value the last block ended on
};
