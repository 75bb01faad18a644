#include "sound/SoundSource_Limiter.h"

SoundSource_Limiter::SoundSource_Limiter() : SoundStreamSource(1) {}

void SoundSource_Limiter::SetSource(SoundStreamSource* source, int channel)
{
    m_pSource = source;
    m_iSourceChannel = channel;
}

int SoundSource_Limiter::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    float gain = m_rGain;
    if (!m_pSource || m_pSource->Generate(m_iSourceChannel, start, buffer, count) == 0)
    {
        for (int s = 0; s < count; ++s)
            gain = gain * c_rReleaseFactor + c_rReleaseOffset;
        m_rGain = gain;
        return 0;
    }
    for (int s = 0; s < count; ++s)
    {
        const float x = buffer[s];
        const float y = x * gain;
        if (y > c_rLimit)
        {
            buffer[s] = c_rLimit;
            gain = c_rLimit / x;
        }
        else if (y < -c_rLimit)
        {
            buffer[s] = -c_rLimit;
            gain = -c_rLimit / x;
        }
        else
        {
            buffer[s] = y;
            gain = gain * c_rReleaseFactor + c_rReleaseOffset;
        }
    }
    m_rGain = gain;
    return 1;
}
