// Four-stage low-pass ladder with resonance feedback, cutoff from a control
// stream in [0, 1]. When the cutoff drops to a single run of exactly 0 (no
// finger), it plays one faded block from its state and then falls silent.
// Four one-pole stages in series with the fourth fed back to the input; the cutoff maps
// to a stage coefficient (0.2 + 0.8 v)^2 - 0.04, scaled to reach 0.7, and the
// feedback is the resonance times (coefficient + 0.2): the instrument's tuning.
#pragma once

#include "dsp/SoundStreamSource.h"

#include <atomic>

class SoundControlSource;

class SoundSource_LadderFilter : public SoundStreamSource
{
  public:
    static constexpr float c_rMaxResonance = 11.0f;

    SoundSource_LadderFilter();

    void SetSoundSource(SoundStreamSource* source, int channel);
    void SetCutoffSource(SoundControlSource* source, int channel);
    // Feedback amount, 0 (none) to 11 (the panel's full scale); main thread,
    // any time. Values outside the range are clamped, not a number gives 0.
    void SetResonance(float resonance);
    float GetResonance() const { return m_rResonance.load(std::memory_order_relaxed); }

    int Generate(int channel, int start, float* buffer, int count) override;

    // The stage coefficient for a cutoff value: 0 gives 0, 1 gives 0.7.
    static float CutoffCoefficient(float cutoff);
    // The corner frequency of one stage at that cutoff value, in Hz: the
    // one-pole s += g (x - s) has its pole at 1 - g.
    static float CutoffHz(float cutoff, float sampleRate);

  private:
    SoundControlSource* m_pCutoffSource = nullptr;
    int m_iCutoffChannel = 0;
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;
    std::atomic<float> m_rResonance{8.0f};
    float m_rStage[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    bool m_bSilent = false;
    float m_rLastCoefficient = 0.0f;
};
