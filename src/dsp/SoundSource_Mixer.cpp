#include "dsp/SoundSource_Mixer.h"

SoundSource_Mixer::SoundSource_Mixer(int maxBlockSamples)
    : SoundStreamSource(1), m_iMaxBlockSamples(maxBlockSamples > 0 ? maxBlockSamples : 0),
      // Sized for the largest block up front, so the audio thread never allocates.
      m_pScratch(new float[m_iMaxBlockSamples > 0 ? m_iMaxBlockSamples : 1])
{
}

void SoundSource_Mixer::AddSoundSource(SoundStreamSource* source, int channel, float /*level*/)
{
    m_connections.emplace_back(source, channel);
}

int SoundSource_Mixer::Generate(int /*channel*/, int start, float* buffer, int count)
{
    // The sound manager never pulls a block longer than the graph is sized for.
    if (count <= 0 || count > m_iMaxBlockSamples)
        return 0;
    float* scratch = m_pScratch.get();
    bool produced = false;
    for (SoundStreamSource::Connection& connection : m_connections)
    {
        float* target = produced ? scratch : buffer;
        if (connection.Generate(start, target, count) == 0)
            continue;
        if (produced)
        {
            for (int s = 0; s < count; ++s)
                buffer[s] += scratch[s];
        }
        produced = true;
    }
    return produced ? 1 : 0;
}
