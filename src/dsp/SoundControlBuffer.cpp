#include "dsp/SoundControlBuffer.h"

SoundControlBuffer::SoundControlBuffer(int capacity)
    : m_iCapacity(capacity > 0 ? capacity : 0), m_pRuns(new Run[m_iCapacity > 0 ? m_iCapacity : 1])
{
    m_pWrite = m_pRuns.get();
}

int SoundControlBuffer::AddValue(float value, int length)
{
    // A full run table ends the block as well: never write past the slots.
    if (m_iRemaining <= 0 || length <= 0 || m_iRunCount >= m_iCapacity)
        return length;
    m_iRemaining -= length;
    int overflow = 0;
    if (m_iRemaining < 0)
    {
        overflow = -m_iRemaining;
        length += m_iRemaining;
        m_iRemaining = 0;
    }
    m_pWrite->value = value;
    m_pWrite->length = length;
    ++m_pWrite;
    ++m_iRunCount;
    return overflow;
}

void SoundControlBuffer::Reset(int start, int count)
{
    m_iRunCount = 0;
    m_iTimeStamp = start;
    m_iRemaining = count;
    m_pWrite = m_pRuns.get();
}
