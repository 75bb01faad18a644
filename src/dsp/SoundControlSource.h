// Base of every control-rate node. Each channel's runs are computed at most once
// per block: consumers read them through UpdateBuffer(), which caches by stamp.
#pragma once

#include "dsp/SoundControlBuffer.h"
#include "dsp/SoundManager.h"

#include <memory>

class SoundControlSource
{
  public:
    // Each channel's buffer holds the runs of a block of up to
    // `maxBlockSamples` samples, sized here so that the audio path never allocates.
    explicit SoundControlSource(int numChannels,
                                int maxBlockSamples = SoundManager::c_iMaxBlockSamples);
    virtual ~SoundControlSource();

    SoundControlSource(const SoundControlSource&) = delete;
    SoundControlSource& operator=(const SoundControlSource&) = delete;

    virtual void Generate(int channel, int start, SoundControlBuffer* buffer, int count) = 0;

    // The runs of `channel` for the block stamped `start`; generated only when
    // the buffer does not already hold that block. Null for a bad channel.
    SoundControlBuffer* UpdateBuffer(int channel, int start, int count);
    // The runs `channel` holds now, whichever block they belong to (see the
    // buffer's stamp); never generates. Null for a bad channel.
    const SoundControlBuffer* GetBuffer(int channel) const
    {
        return channel >= 0 && channel < m_iNumChannels ? m_pBuffers[channel] : nullptr;
    }

    int GetNumChannels() const { return m_iNumChannels; }

  protected:
    int m_iNumChannels;
    SoundControlBuffer** m_pBuffers;
};
