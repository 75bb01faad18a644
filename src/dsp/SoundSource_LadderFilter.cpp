#include "dsp/SoundSource_LadderFilter.h"

#include <cmath>

#include "dsp/SoundControlRuns.h"

#include <cstring>

SoundSource_LadderFilter::SoundSource_LadderFilter() : SoundStreamSource(1) {}

void SoundSource_LadderFilter::SetSoundSource(SoundStreamSource* source, int channel)
{
    m_pSource = source;
    m_iSourceChannel = channel;
}

void SoundSource_LadderFilter::SetCutoffSource(SoundControlSource* source, int channel)
{
    m_pCutoffSource = source;
    m_iCutoffChannel = channel;
}

void SoundSource_LadderFilter::SetResonance(float resonance)
{
    if (!(resonance > 0.0f))
        resonance = 0.0f;
    if (resonance > c_rMaxResonance)
        resonance = c_rMaxResonance;
    m_rResonance.store(resonance, std::memory_order_relaxed);
}

float SoundSource_LadderFilter::CutoffCoefficient(float cutoff)
{
    // (0.2 + 0.8 v)^2 - 0.04 spans [0, 0.96]; 0.7291667 = 0.7 / 0.96.
    const float v = ClampUnit(cutoff);
    const float a = 0.2f + 0.8f * v;
    return (a * a - 0.04f) * 0.7291667f;
}

float SoundSource_LadderFilter::CutoffHz(float cutoff, float sampleRate)
{
    return std::log(1.0f / (1.0f - CutoffCoefficient(cutoff))) * sampleRate /
           (2.0f * static_cast<float>(M_PI));
}

int SoundSource_LadderFilter::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    const float resonance = m_rResonance.load(std::memory_order_relaxed);
    const SoundControlRuns cutoff(m_pCutoffSource, m_iCutoffChannel, start, count);

    float single = 0.0f;
    const bool release = cutoff.IsSingleRun(single) && single == 0.0f;
    if (release && m_bSilent)
        return 0;

    const bool inputSilent =
        !m_pSource || m_pSource->Generate(m_iSourceChannel, start, buffer, count) == 0;
    if (inputSilent)
    {
        if (m_bSilent)
            return 0;
        std::memset(buffer, 0, sizeof(float) * static_cast<size_t>(count)); // ring out
    }

    float s1 = m_rStage[0], s2 = m_rStage[1], s3 = m_rStage[2], s4 = m_rStage[3];
    float g = m_rLastCoefficient;
    cutoff.ForEach(
        [&](float value, int offset, int n)
        {
            g = release ? m_rLastCoefficient : CutoffCoefficient(value);
            const float fb = resonance * (g + 0.2f);
            float* out = buffer + offset;
            for (int s = 0; s < n; ++s)
            {
                s1 += g * (out[s] - fb * s4 - s1);
                s2 += g * (s1 - s2);
                s3 += g * (s2 - s3);
                s4 += g * (s3 - s4);
                out[s] = s4;
            }
        });
    m_rStage[0] = s1;
    m_rStage[1] = s2;
    m_rStage[2] = s3;
    m_rStage[3] = s4;

    if (release)
    {
        const float length = static_cast<float>(count);
        for (int s = 0; s < count; ++s)
            buffer[s] *= 1.0f - static_cast<float>(s) / length;
    }
    m_rLastCoefficient = g;
    m_bSilent = release || inputSilent;
    return 1;
}
