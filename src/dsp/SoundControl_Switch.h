// Forwards the runs of one of n control inputs, chosen by index.
#pragma once

#include "dsp/SoundControlSource.h"

#include <atomic>
#include <vector>

class SoundControl_Switch : public SoundControlSource
{
  public:
    // Runs for blocks of up to `maxBlockSamples` samples.
    explicit SoundControl_Switch(int numSources,
                                 int maxBlockSamples = SoundManager::c_iMaxBlockSamples);

    // Before the stream starts. An index outside [0, n) is ignored.
    void SetSource(int index, SoundControlSource* source, int channel);
    // Main thread, any time. An index outside [0, n) is ignored.
    void SetCurrentSource(int index);
    int GetCurrentSource() const { return m_iCurrentSource.load(std::memory_order_relaxed); }

    // An input that was never set reads as 0 for the whole block.
    void Generate(int channel, int start, SoundControlBuffer* buffer, int count) override;

  private:
    std::vector<SoundControlSource*> m_pSources;
    std::vector<int> m_pChannels;
    int m_iNumSources;
    std::atomic<int> m_iCurrentSource{0};
};
