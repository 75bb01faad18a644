#include "dsp/SoundSource_Limiter.h"

namespace
{
float Release(float deficit)
{
    deficit *= SoundSource_Limiter::c_rReleaseFactor;
    return deficit < SoundSource_Limiter::c_rDeficitFloor ? 0.0f : deficit;
}
} // namespace

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
    float deficit = m_rDeficit;
    if (!m_pSource || m_pSource->Generate(m_iSourceChannel, start, buffer, count) == 0)
    {
        for (int s = 0; s < count && deficit > 0.0f; ++s)
            deficit = Release(deficit);
        m_rDeficit = deficit;
        return 0;
    }
    for (int s = 0; s < count; ++s)
    {
        const float x = buffer[s];
        const float y = x * (1.0f - deficit);
        if (y > c_rLimit)
        {
            // Attack: this sample lands exactly on the limit.
            buffer[s] = c_rLimit;
            deficit = 1.0f - c_rLimit / x;
        }
        else if (y < -c_rLimit)
        {
            buffer[s] = -c_rLimit;
            deficit = 1.0f + c_rLimit / x;
        }
        else
        {
            buffer[s] = y;
            deficit = Release(deficit);
        }
    }
    m_rDeficit = deficit;
    return 1;
}
