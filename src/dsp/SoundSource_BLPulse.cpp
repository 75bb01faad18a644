#include "dsp/SoundSource_BLPulse.h"

#include "dsp/SoundControlRuns.h"
#include "dsp/SoundSource_BLSaw.h"

#include <cstring>

SoundSource_BLPulse::SoundSource_BLPulse(float sampleRate)
    : SoundStreamSource(1), m_rSampleRate(sampleRate),
      m_pTable(SoundSource_BLSaw::GenerateSampleBuffer())
{
}

void SoundSource_BLPulse::SetPitchSource(SoundControlSource* source, int channel)
{
    m_pPitchSource = source;
    m_iPitchChannel = channel;
}

void SoundSource_BLPulse::SetWidthSource(SoundControlSource* source, int channel)
{
    m_pWidthSource = source;
    m_iWidthChannel = channel;
}

int SoundSource_BLPulse::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    const SoundControlRuns pitch(m_pPitchSource, m_iPitchChannel, start, count);
    const SoundControlRuns width(m_pWidthSource, m_iWidthChannel, start, count);

    float single = 0.0f;
    if (pitch.IsSingleRun(single) && SanitizePitch(single, m_rSampleRate) == 0.0f)
    {
        m_rPhase = 0.0f; // no release tail
        return 0;
    }

    constexpr int mask = SoundSource_BLSaw::c_iTableSize - 1;
    const float* table = m_pTable;
    SoundControlRuns::Cursor pitchCursor(pitch);
    SoundControlRuns::Cursor widthCursor(width);
    float phase = m_rPhase;
    float inc = 0.0f, fr = 0.0f, g = 0.0f;
    int step = 1, shift = 0;
    int pitchEnd = 0, widthEnd = 0;
    int pos = 0;
    while (pos < count)
    {
        float value = 0.0f;
        int length = 0;
        if (pos == pitchEnd && pitchCursor.Next(value, length))
        {
            pitchEnd = pos + length;
            inc = SanitizePitch(value, m_rSampleRate) * c_rBufferSize / m_rSampleRate;
            // Below one entry per sample the integer step stays 1 and a negative
            // fraction extrapolates to the exact increment.
            step = static_cast<int>(inc);
            if (step < 1)
                step = 1;
            fr = inc - static_cast<float>(step);
            g = inc > 0.0f ? 1.0f / inc : 0.0f;
        }
        if (pos == widthEnd && widthCursor.Next(value, length))
        {
            widthEnd = pos + length;
            shift = static_cast<int>(ClampUnit(value) * c_rBufferSize);
        }
        const int end = pitchEnd < widthEnd ? pitchEnd : widthEnd;
        if (!(inc > 0.0f))
        {
            std::memset(buffer + pos, 0, sizeof(float) * static_cast<size_t>(end - pos));
            pos = end;
            continue;
        }
        const float rf = 1.0f - fr;
        for (; pos < end; ++pos)
        {
            const int p = static_cast<int>(phase);
            const int j1 = (p + step) & mask;
            const int j2 = (p + step + shift) & mask;
            const int j3 = (p + shift) & mask;
            const float first = fr * table[j1 + 1] + rf * table[j1] - table[p];
            const float second = fr * table[j2 + 1] + rf * table[j2] - table[j3];
            buffer[pos] = g * (first - second);
            phase += inc;
            if (phase >= c_rBufferSize)
                phase -= c_rBufferSize;
        }
    }
    m_rPhase = phase;
    return 1;
}
