// Forwards one of n stream inputs, chosen by index; the others are not pulled,
// so their state stays frozen until they are selected again.
#pragma once

#include "dsp/SoundStreamSource.h"

#include <atomic>
#include <vector>

class SoundSource_Switch : public SoundStreamSource
{
  public:
    explicit SoundSource_Switch(int numSources);

    // Before the stream starts. An index outside [0, n) is ignored.
    void SetSource(int index, SoundStreamSource* source, int channel);
    // Main thread, any time. An index outside [0, n) is ignored.
    void SetCurrentSource(int index);
    int GetCurrentSource() const { return m_iCurrentSource.load(std::memory_order_relaxed); }

    int Generate(int channel, int start, float* buffer, int count) override;

  private:
    std::vector<SoundStreamSource::Connection> m_pConnections;
    int m_iNumSources;
    std::atomic<int> m_iCurrentSource{0};
};
