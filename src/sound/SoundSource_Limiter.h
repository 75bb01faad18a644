// Peak limiter at +-0.95: instant attack, the gain relaxes back to 1 with a
// time constant of about 22 s.
#pragma once

#include "sound/SoundStreamSource.h"

class SoundSource_Limiter : public SoundStreamSource
{
public:
    static constexpr float c_rLimit = 0.95f;
    // Nearest float to 0.999999, and exactly one minus it, so the gain settles on 1.
    static constexpr float c_rReleaseFactor = 0.999999f;
    static constexpr float c_rReleaseOffset = 1.013279e-6f;

    SoundSource_Limiter();

    void SetSource(SoundStreamSource* source, int channel);

    int Generate(int channel, int start, float* buffer, int count) override;

    float GetGain() const { return m_rGain; } // audio thread (or while stopped)

private:
    SoundStreamSource* m_pSource = nullptr;
    int m_iSourceChannel = 0;
    float m_rGain = 1.0f;
};
