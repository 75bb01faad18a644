#include "sound/SoundSource_Mixer.h"

#include "sound/SoundManager.h"

SoundSource_Mixer::SoundSource_Mixer() : SoundStreamSource(1)
{
    // Sized for the largest block up front, so the audio thread never allocates.
    SoundManager* manager = SoundManager::GetInstance();
    const int samples = manager ? manager->GetSamplesPerFrame() : 0;
    m_iScratchSize =
        samples > SoundManager::c_iMaxBlockSamples ? samples : SoundManager::c_iMaxBlockSamples;
    m_pScratch.reset(new float[m_iScratchSize]);
}

void SoundSource_Mixer::AddSoundSource(SoundStreamSource* source, int channel, float /*level*/)
{
    m_connections.emplace_back(source, channel);
}

int SoundSource_Mixer::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    if (m_iScratchSize < count)
    {
        // Only a block longer than any the graph was sized for gets here.
        m_pScratch.reset(new float[count]);
        m_iScratchSize = count;
    }
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
