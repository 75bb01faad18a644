#include "dsp/SoundSource_BLSaw.h"

#include "dsp/SoundControlRuns.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

float SoundSource_BLSaw::m_rSampleBuffer[SoundSource_BLSaw::c_iTableEntries] = {};
std::once_flag SoundSource_BLSaw::s_sampleBufferBuilt;

namespace
{
constexpr float c_rReleaseDecay = 0.98f; // per sample: about 1 ms to -40 dB

} // namespace

SoundSource_BLSaw::SoundSource_BLSaw(float sampleRate)
    : SoundStreamSource(1), m_rSampleRate(sampleRate)
{
    GenerateSampleBuffer();
}

void SoundSource_BLSaw::SetPitchSource(SoundControlSource* source, int channel)
{
    m_pPitchSource = source;
    m_iPitchChannel = channel;
}

void SoundSource_BLSaw::LoadTable(const unsigned char* bytes, size_t size)
{
    // call_once makes the one-time build safe from any thread, and every caller
    // returns only once the table is complete.
    std::call_once(s_sampleBufferBuilt, [&] { BuildSampleBuffer(bytes, size, m_rSampleBuffer); });
}

float* SoundSource_BLSaw::GenerateSampleBuffer()
{
    LoadTable(nullptr, 0);
    return m_rSampleBuffer;
}

void SoundSource_BLSaw::ComputeSampleBuffer(float* table)
{
    for (int j = 0; j < c_iTableSize; ++j)
        table[j] = 0.0f;

    std::unique_ptr<float[]> sine(new float[c_iTableSize]);
    for (int i = 0; i < c_iTableSize; ++i)
        sine[i] = std::sin((static_cast<float>(i) * 0.00048828125f) * 6.2831855f);

    // Harmonics 1 to 1023 of a falling ramp, amplitude 0.7 * sum(sin(k x) / k).
    for (int k = 1; k < c_iTableSize / 2; ++k)
    {
        const float harmonic = static_cast<float>(k);
        int idx = 0;
        for (int j = 0; j < c_iTableSize; ++j)
        {
            table[j] += (sine[idx] / harmonic) * 0.7f;
            idx = (idx + k) & (c_iTableSize - 1);
        }
    }
    table[c_iTableSize] = table[0];

    // Integrate: playback differentiates again.
    float acc = 0.0f;
    for (int j = 0; j < c_iTableEntries; ++j)
    {
        acc += table[j];
        table[j] = acc;
    }
}

bool SoundSource_BLSaw::LoadSampleBuffer(const unsigned char* bytes, size_t size, float* table)
{
    if (!bytes || size < static_cast<size_t>(c_iFileBytes))
        return false;
    float loaded[c_iTableSize];
    for (int j = 0; j < c_iTableSize; ++j)
    {
        const unsigned char* b = bytes + 4 * j;
        const uint32_t bits = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                              (static_cast<uint32_t>(b[2]) << 16) |
                              (static_cast<uint32_t>(b[3]) << 24);
        std::memcpy(&loaded[j], &bits, sizeof(float));
        // Also false for a value that is not a number.
        if (!(std::fabs(loaded[j]) <= c_rMaxTableValue))
            return false;
    }
    // Playback differentiates the table, so its steps are the saw itself: steps
    // far quieter than the saw's (a table of zeros, of denormals, or scaled
    // down) would play near silence.
    double squares = 0.0;
    for (int j = 1; j < c_iTableSize; ++j)
    {
        const double step = static_cast<double>(loaded[j]) - static_cast<double>(loaded[j - 1]);
        squares += step * step;
    }
    if (std::sqrt(squares / (c_iTableSize - 1)) < c_rMinStepRms)
        return false;
    std::memcpy(table, loaded, sizeof(loaded));
    // The guard entry as the integration gives it: the last sum plus entry 0's
    // own term, which is entry 0 itself. Both are bounded, so this is finite.
    table[c_iTableSize] = table[c_iTableSize - 1] + table[0];
    return true;
}

void SoundSource_BLSaw::BuildSampleBuffer(const unsigned char* bytes, size_t size, float* table)
{
    if (!LoadSampleBuffer(bytes, size, table))
        ComputeSampleBuffer(table);
}

void SoundSource_BLSaw::RenderRun(float frequency, float* out, int n)
{
    const float inc = frequency * c_rBufferSize / m_rSampleRate;
    if (!(inc > 0.0f))
    {
        std::memset(out, 0, sizeof(float) * static_cast<size_t>(n));
        return;
    }
    const float* table = m_rSampleBuffer;
    const float scale = 1.0f / inc;
    float phase = m_rPhase;
    float last = m_rLastValue;
    for (int s = 0; s < n; ++s)
    {
        const int i = static_cast<int>(phase);
        const float fr = phase - static_cast<float>(i);
        const float v = fr * table[i + 1] + (1.0f - fr) * table[i];
        out[s] = scale * (v - last);
        last = v;
        phase += inc;
        if (phase >= c_rBufferSize)
            phase -= c_rBufferSize;
    }
    m_rPhase = phase;
    m_rLastValue = last;
}

int SoundSource_BLSaw::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    const SoundControlRuns pitch(m_pPitchSource, m_iPitchChannel, start, count);

    float single = 0.0f;
    const bool release =
        pitch.IsSingleRun(single) && !(SanitizePitch(single, m_rSampleRate) > 0.0f);
    if (release)
    {
        if (m_bSilent)
            return 0;
        RenderRun(m_rLastFrequency, buffer, count);
        float gain = 1.0f;
        for (int s = 0; s < count; ++s)
        {
            buffer[s] *= gain;
            gain *= c_rReleaseDecay;
        }
        m_rPhase = 0.0f;
        m_rLastValue = 0.0f;
    }
    else
    {
        pitch.ForEach(
            [&](float hz, int offset, int n)
            {
                m_rLastFrequency = SanitizePitch(hz, m_rSampleRate);
                RenderRun(m_rLastFrequency, buffer + offset, n);
            });
    }
    m_bSilent = release;
    return 1;
}
