#include "dsp/SoundControlSource.h"

SoundControlSource::SoundControlSource(int numChannels, int maxBlockSamples)
    : m_iNumChannels(numChannels > 0 ? numChannels : 0),
      m_pBuffers(new SoundControlBuffer*[m_iNumChannels > 0 ? m_iNumChannels : 1])
{
    for (int i = 0; i < m_iNumChannels; ++i)
        m_pBuffers[i] = new SoundControlBuffer(maxBlockSamples);
}

SoundControlSource::~SoundControlSource()
{
    for (int i = 0; i < m_iNumChannels; ++i)
        delete m_pBuffers[i];
    delete[] m_pBuffers;
}

SoundControlBuffer* SoundControlSource::UpdateBuffer(int channel, int start, int count)
{
    if (channel < 0 || channel >= m_iNumChannels)
        return nullptr;
    SoundControlBuffer* buffer = m_pBuffers[channel];
    if (buffer->GetTimeStamp() == start)
        return buffer;
    buffer->Reset(start, count);
    Generate(channel, start, buffer, count);
    return buffer;
}
