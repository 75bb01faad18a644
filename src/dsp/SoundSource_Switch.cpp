#include "dsp/SoundSource_Switch.h"

SoundSource_Switch::SoundSource_Switch(int numSources)
    : SoundStreamSource(1), m_pConnections(numSources > 0 ? numSources : 0),
      m_iNumSources(numSources > 0 ? numSources : 0)
{
}

void SoundSource_Switch::SetSource(int index, SoundStreamSource* source, int channel)
{
    if (index < 0 || index >= m_iNumSources)
        return;
    m_pConnections[index] = SoundStreamSource::Connection(source, channel);
}

void SoundSource_Switch::SetCurrentSource(int index)
{
    if (index < 0 || index >= m_iNumSources)
        return;
    m_iCurrentSource.store(index, std::memory_order_relaxed);
}

int SoundSource_Switch::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0 || m_iNumSources == 0)
        return 0;
    const int index = m_iCurrentSource.load(std::memory_order_relaxed);
    return m_pConnections[index].Generate(start, buffer, count);
}
