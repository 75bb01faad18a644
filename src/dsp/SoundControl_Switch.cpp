#include "dsp/SoundControl_Switch.h"

SoundControl_Switch::SoundControl_Switch(int numSources, int maxBlockSamples)
    : SoundControlSource(1, maxBlockSamples), m_pSources(numSources > 0 ? numSources : 0, nullptr),
      m_pChannels(numSources > 0 ? numSources : 0, 0),
      m_iNumSources(numSources > 0 ? numSources : 0)
{
}

void SoundControl_Switch::SetSource(int index, SoundControlSource* source, int channel)
{
    if (index < 0 || index >= m_iNumSources)
        return;
    m_pSources[index] = source;
    m_pChannels[index] = channel;
}

void SoundControl_Switch::SetCurrentSource(int index)
{
    if (index < 0 || index >= m_iNumSources)
        return;
    m_iCurrentSource.store(index, std::memory_order_relaxed);
}

void SoundControl_Switch::Generate(int /*channel*/, int start, SoundControlBuffer* buffer,
                                   int count)
{
    const int index = m_iCurrentSource.load(std::memory_order_relaxed);
    SoundControlSource* source = m_iNumSources > 0 ? m_pSources[index] : nullptr;
    const SoundControlBuffer* input =
        source ? source->UpdateBuffer(m_pChannels[index], start, count) : nullptr;
    if (!input)
    {
        buffer->AddValue(0.0f, count);
        return;
    }
    const int runs = input->GetRunCount();
    for (int r = 0; r < runs; ++r)
        buffer->AddValue(input->GetRun(r).value, input->GetRun(r).length);
}
