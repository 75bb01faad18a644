#include "dsp/SoundSource_Overdrive.h"

#include "dsp/SoundControlRuns.h"

SoundSource_Overdrive::SoundSource_Overdrive() : SoundStreamSource(1) {}

void SoundSource_Overdrive::SetSoundSource(SoundStreamSource* source, int channel)
{
    m_pSource = source;
    m_iSourceChannel = channel;
}

void SoundSource_Overdrive::SetDrive(float x)
{
    const float v = ClampUnit(x);
    m_rDrive.store(1.0f + 30.0f * v * v, std::memory_order_relaxed);
}

int SoundSource_Overdrive::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0 || !m_pSource)
        return 0;
    const int result = m_pSource->Generate(m_iSourceChannel, start, buffer, count);
    const float drive = m_rDrive.load(std::memory_order_relaxed);
    if (drive <= 1.0f || result == 0)
        return result;
    for (int s = 0; s < count; ++s)
    {
        const float y = buffer[s] * drive;
        buffer[s] = y > 1.0f ? 1.0f : (y < -1.0f ? -1.0f : y);
    }
    return 1;
}
