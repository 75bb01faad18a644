// Reading a control input's runs for one block, shared by the stream nodes that
// follow a control stream. A consumer never trusts a producer blindly: runs are
// clipped to the block, a block the runs leave short is padded with the last
// value, and a missing input reads as one run of 0 for the whole block.
#pragma once

#include "dsp/SoundControlBuffer.h"
#include "dsp/SoundControlSource.h"

#include <cmath>

class SoundControlRuns
{
  public:
    SoundControlRuns(SoundControlSource* source, int channel, int start, int count)
        : m_pBuffer(source ? source->UpdateBuffer(channel, start, count) : nullptr), m_iCount(count)
    {
    }

    // True when the block is one run (or no input at all); `value` is then its value.
    bool IsSingleRun(float& value) const
    {
        if (!m_pBuffer)
        {
            value = 0.0f;
            return true;
        }
        if (m_pBuffer->GetRunCount() != 1)
            return false;
        value = m_pBuffer->GetRun(0).value;
        return true;
    }

    // The value of the first run, or 0 when there is none.
    float FirstValue() const
    {
        return (m_pBuffer && m_pBuffer->GetRunCount() > 0) ? m_pBuffer->GetRun(0).value : 0.0f;
    }

    // Walks the block as consecutive stretches that cover exactly `count` samples.
    class Cursor
    {
      public:
        explicit Cursor(const SoundControlRuns& runs) : m_runs(runs) {}

        // The next stretch (length > 0); false once the block is covered.
        bool Next(float& value, int& length)
        {
            const int total = m_runs.m_iCount;
            if (m_iOffset >= total)
                return false;
            const int runCount = m_runs.m_pBuffer ? m_runs.m_pBuffer->GetRunCount() : 0;
            while (m_iRun < runCount)
            {
                const SoundControlBuffer::Run& run = m_runs.m_pBuffer->GetRun(m_iRun++);
                m_rValue = run.value;
                if (run.length <= 0)
                    continue;
                length = run.length < total - m_iOffset ? run.length : total - m_iOffset;
                value = m_rValue;
                m_iOffset += length;
                return true;
            }
            length = total - m_iOffset; // runs ended early: hold the last value
            value = m_rValue;
            m_iOffset = total;
            return true;
        }

      private:
        const SoundControlRuns& m_runs;
        int m_iRun = 0;
        int m_iOffset = 0;
        float m_rValue = 0.0f;
    };

    // Calls f(value, offset, length) for each stretch; returns the last value.
    template <typename F> float ForEach(F&& f) const
    {
        Cursor cursor(*this);
        float value = 0.0f;
        int length = 0;
        int offset = 0;
        while (cursor.Next(value, length))
        {
            f(value, offset, length);
            offset += length;
        }
        return value;
    }

  private:
    SoundControlBuffer* m_pBuffer;
    int m_iCount;
};

// A pitch in hertz as the oscillators may use it: a value that is not a finite
// number, or a positive one below c_rMinPitch, means no note (0); a pitch above
// half the sample rate is held there, so the phase step stays below one table
// period per sample and its reciprocal stays finite. Negative pitches pass.
constexpr float c_rMinPitch = 0.01f; // Hz: one period in 100 s
inline float SanitizePitch(float hz, float sampleRate)
{
    if (!std::isfinite(hz) || (hz > 0.0f && hz < c_rMinPitch))
        return 0.0f;
    const float nyquist = sampleRate * 0.5f;
    return hz > nyquist ? nyquist : hz;
}

// A normalised control value clamped to [0, 1]; not a number gives 0.
inline float ClampUnit(float x)
{
    if (!(x > 0.0f))
        return 0.0f;
    return x < 1.0f ? x : 1.0f;
}
