#include "dsp/SoundSource_VelocityGain.h"

#include "dsp/SoundControlRuns.h"

SoundSource_VelocityGain::SoundSource_VelocityGain() : SoundStreamSource(1) {}

void SoundSource_VelocityGain::SetSoundSource(SoundStreamSource* source, int channel)
{
    m_pSource = source;
    m_iSourceChannel = channel;
}

void SoundSource_VelocityGain::SetVelocitySource(SoundControlSource* source, int channel)
{
    m_pVelocitySource = source;
    m_iVelocityChannel = channel;
}

float SoundSource_VelocityGain::Gain(float velocity)
{
    if (!(velocity > 0.0f))
        return 0.0f;
    const float v = velocity / c_rUnityVelocity;
    const float gain = v * v;
    return gain < c_rMaxGain ? gain : c_rMaxGain;
}

int SoundSource_VelocityGain::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0 || !m_pSource)
        return 0;
    if (m_pSource->Generate(m_iSourceChannel, start, buffer, count) == 0)
    {
        m_bReset = true;
        return 0;
    }
    if (!m_pVelocitySource)
        return 1;
    // Read only when the voice sounds: a silent voice's control source is left
    // alone, as the nodes before it leave it.
    const SoundControlRuns velocity(m_pVelocitySource, m_iVelocityChannel, start, count);
    if (m_bReset)
        m_rGain = Gain(velocity.FirstValue());
    m_bReset = false;

    float single = 0.0f;
    if (m_rGain == 1.0f && velocity.IsSingleRun(single) && Gain(single) == 1.0f)
        return 1; // a finger's level: the signal passes bit for bit

    float gain = m_rGain;
    velocity.ForEach(
        [&](float value, int offset, int n)
        {
            const float target = Gain(value);
            float* out = buffer + offset;
            if (target == gain)
            {
                for (int s = 0; s < n; ++s)
                    out[s] *= gain;
                return;
            }
            const float step = (target - gain) / static_cast<float>(n);
            for (int s = 0; s < n - 1; ++s)
            {
                gain += step;
                out[s] *= gain;
            }
            gain = target; // the run ends exactly on its level
            out[n - 1] *= gain;
        });
    m_rGain = gain;
    return 1;
}
