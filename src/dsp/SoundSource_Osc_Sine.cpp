#include "dsp/SoundSource_Osc_Sine.h"

#include "dsp/SoundControlRuns.h"

#include <cmath>

SoundSource_Osc_Sine::SoundSource_Osc_Sine(float sampleRate)
    : SoundStreamSource(1), m_rSampleRate(sampleRate)
{
}

void SoundSource_Osc_Sine::SetPitchSource(SoundControlSource* source, int channel)
{
    m_pPitchSource = source;
    m_iPitchChannel = channel;
}

void SoundSource_Osc_Sine::RenderRun(float increment, float* out, int n)
{
    float angle = m_rAngle;
    for (int s = 0; s < n; ++s)
    {
        out[s] = std::sin(angle);
        angle += increment;
        if (angle >= c_rTwoPi)
            angle -= c_rTwoPi;
    }
    m_rAngle = angle;
}

int SoundSource_Osc_Sine::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    const float sampleRate = m_rSampleRate;
    const SoundControlRuns pitch(m_pPitchSource, m_iPitchChannel, start, count);

    float single = 0.0f;
    if (pitch.IsSingleRun(single) && SanitizePitch(single, sampleRate) == 0.0f)
    {
        if (m_bSilent)
        {
            m_rAngle = 0.0f;
            return 0;
        }
        m_bSilent = true;
        RenderRun(m_rLastIncrement, buffer, count);
        m_rAngle = 0.0f;
        return 1;
    }

    float increment = 0.0f;
    pitch.ForEach(
        [&](float hz, int offset, int n)
        {
            increment = SanitizePitch(hz, sampleRate) * c_rTwoPi / sampleRate;
            if (!(increment > 0.0f))
                increment = 0.0f; // no pitch: hold the current value
            RenderRun(increment, buffer + offset, n);
        });
    m_rLastIncrement = increment;
    m_bSilent = false;
    return 1;
}
