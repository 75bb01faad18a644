#include "dsp/SoundSource_Amp.h"

#include "dsp/SoundControlRuns.h"

SoundSource_Amp::SoundSource_Amp() : SoundStreamSource(1) {}

void SoundSource_Amp::SetSoundSource(SoundStreamSource* source, int channel)
{
    m_pSource = source;
    m_iSourceChannel = channel;
}

void SoundSource_Amp::SetVolumeSource(SoundControlSource* source, int channel)
{
    m_pVolumeSource = source;
    m_iVolumeChannel = channel;
}

int SoundSource_Amp::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    const SoundControlRuns volume(m_pVolumeSource, m_iVolumeChannel, start, count);
    if (!m_pSource || m_pSource->Generate(m_iSourceChannel, start, buffer, count) == 0)
    {
        m_bReset = true;
        return 0;
    }
    if (m_bReset || m_rGain == 0.0f)
        m_rGain = ClampUnit(volume.FirstValue()); // start where the control is, unsquared
    m_bReset = false;

    float single = 0.0f;
    if (volume.IsSingleRun(single) && single == 1.0f)
        return 1; // full volume: the signal passes bit for bit

    float gain = m_rGain;
    volume.ForEach(
        [&](float value, int offset, int n)
        {
            const float v = ClampUnit(value);
            const float step = (v * v - gain) / static_cast<float>(n);
            float* out = buffer + offset;
            if (step == 0.0f)
            {
                for (int s = 0; s < n; ++s)
                    out[s] *= gain;
                return;
            }
            for (int s = 0; s < n; ++s)
            {
                gain += step;
                out[s] *= gain;
            }
        });
    m_rGain = gain;
    return 1;
}
