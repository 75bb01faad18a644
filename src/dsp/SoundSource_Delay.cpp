#include "dsp/SoundSource_Delay.h"

#include "dsp/SoundControlRuns.h"

#include <algorithm>
#include <cstring>
#include <thread>

SoundSource_Delay::SoundSource_Delay() : SoundStreamSource(1), m_pRing(new float[c_iRingSamples]())
{
}

void SoundSource_Delay::SetSoundSource(SoundStreamSource* source, int channel)
{
    m_pSource = source;
    m_iSourceChannel = channel;
}

void SoundSource_Delay::SetDelayTime(float x)
{
    const float t = ClampUnit(x * x);
    m_rDelayTime.store(0.001f + 0.999f * t, std::memory_order_relaxed);
}

void SoundSource_Delay::SetFeedback(float x)
{
    m_rFeedback.store(ClampUnit(x * x), std::memory_order_relaxed);
}

void SoundSource_Delay::SetDelayLevel(float x)
{
    const float level = ClampUnit(x * x);
    // Only this thread stores the level, so the relaxed read is the current one.
    if (m_rDelayLevel.load(std::memory_order_relaxed) == 0.0f && level > 0.0f)
    {
        // The stored level is 0, so a block that starts from here on leaves the
        // ring alone; one that read an earlier, positive level may still be
        // using it, and is waited for. Sequentially consistent with the audio
        // thread's flag-then-level, so neither order of the two slips through.
        while (m_bRingInUse.load(std::memory_order_seq_cst))
            std::this_thread::yield();
        std::memset(m_pRing.get(), 0, sizeof(float) * c_iRingSamples);
    }
    // A block that sees the new level also sees the cleared ring.
    m_rDelayLevel.store(level, std::memory_order_seq_cst);
}

int SoundSource_Delay::DelaySamples(float time)
{
    if (time <= 0.0f)
        return 1;
    if (time < 1.0f)
        return static_cast<int>(time * static_cast<float>(c_iRingSamples));
    return c_iRingSamples;
}

int SoundSource_Delay::Generate(int /*channel*/, int start, float* buffer, int count)
{
    if (count <= 0)
        return 0;
    const bool produced =
        m_pSource && m_pSource->Generate(m_iSourceChannel, start, buffer, count) != 0;
    m_bRingInUse.store(true, std::memory_order_seq_cst);
    const float level = m_rDelayLevel.load(std::memory_order_seq_cst);
    if (level <= 0.0f)
    {
        m_bRingInUse.store(false, std::memory_order_release);
        return produced ? 1 : 0;
    }
    if (!produced)
        std::memset(buffer, 0, sizeof(float) * static_cast<size_t>(count)); // echoes go on

    float* ring = m_pRing.get();

    const float time = m_rDelayTime.load(std::memory_order_relaxed);
    float feedback = m_rFeedback.load(std::memory_order_relaxed);
    if (feedback > 0.95f && time < 0.2f)
        feedback = 0.95f;
    else if (feedback > 0.999f && time < 0.5f)
        feedback = 0.999f;

    int write = m_iWritePosition;
    if (write >= c_iRingSamples)
        write = 0;
    int read = m_iReadPosition;
    if (read < 0 || time != m_rAppliedDelayTime)
    {
        read = write - DelaySamples(time);
        if (read < 0)
            read += c_iRingSamples;
        m_rAppliedDelayTime = time;
    }

    int done = 0;
    while (done < count)
    {
        // Work in chunks that end where either position wraps.
        const int n = std::min({count - done, c_iRingSamples - read, c_iRingSamples - write});
        float* out = buffer + done;
        for (int s = 0; s < n; ++s)
        {
            const float x = out[s];
            const float d = ring[read + s];
            out[s] = x + d * level;
            ring[write + s] = x + feedback * d;
        }
        done += n;
        read += n;
        write += n;
        if (read >= c_iRingSamples)
            read = 0;
        if (write >= c_iRingSamples)
            write = 0;
    }
    m_iReadPosition = read;
    m_iWritePosition = write;
    m_bRingInUse.store(false, std::memory_order_release);
    return 1;
}
