// Sums any number of stream inputs at unity gain, skipping silent ones.
#pragma once

#include "dsp/SoundManager.h"
#include "dsp/SoundStreamSource.h"

#include <memory>
#include <vector>

class SoundSource_Mixer : public SoundStreamSource
{
  public:
    // Blocks of up to `maxBlockSamples`; a longer one is silence.
    explicit SoundSource_Mixer(int maxBlockSamples = SoundManager::c_iMaxBlockSamples);

    // Appends an input; only before the stream starts. `level` is not applied:
    // every input is summed at unity gain.
    void AddSoundSource(SoundStreamSource* source, int channel, float level);

    int Generate(int channel, int start, float* buffer, int count) override;

  private:
    int m_iMaxBlockSamples;
    std::unique_ptr<float[]> m_pScratch; // m_iMaxBlockSamples: one input's block
    std::vector<SoundStreamSource::Connection> m_connections;
};
