// A voice's level from its note's velocity (a control stream of 1 .. 127):
// amplitude (v / 100)^2, so velocity 100 is unity and passes the signal bit
// for bit, 50 is a quarter (-12 dB) and 10 a hundredth (-40 dB); above 100 it
// rises to +3 dB at 119 and holds there, so a hard key cannot push a voice
// much past a finger's level. A change ramps linearly across its run, except
// from silence, where the level starts where the velocity is.
#pragma once

#include "dsp/SoundStreamSource.h"

class SoundControlSource;

class SoundSource_VelocityGain : public SoundStreamSource
{
  public:
    static constexpr float c_rUnityVelocity = 100.0f;
    static constexpr float c_rMaxGain = 1.41421356f; // +3 dB

    SoundSource_VelocityGain();

    void SetSoundSource(SoundStreamSource* source, int channel);
    // No velocity source: the signal passes unchanged.
    void SetVelocitySource(SoundControlSource* source, int channel);

    int Generate(int channel, int start, float* buffer, int count) override;

    // The amplitude for a velocity; 0 and below (and not a number) give 0.
    static float Gain(float velocity);

  private:
    float m_rGain = 1.0f;
    bool m_bReset = true; // the next sounding block starts at its velocity's gain
    SoundControlSource* m_pVelocitySource = nullptr;
    int m_iVelocityChannel = 0;
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;
};
