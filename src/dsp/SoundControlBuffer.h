// The runs one control channel produces for one block: (value, length) pairs in
// time order whose lengths add up to the block's sample count.
#pragma once

#include <memory>

class SoundControlBuffer
{
  public:
    struct Run
    {
        float value;
        int length;
    };

    // capacity = the number of run slots (the sound manager's samples per frame).
    explicit SoundControlBuffer(int capacity);

    SoundControlBuffer(const SoundControlBuffer&) = delete;
    SoundControlBuffer& operator=(const SoundControlBuffer&) = delete;

    // Appends a run clipped to what is left of the block; returns the samples
    // that did not fit.
    int AddValue(float value, int length);

    // Starts a new block of `count` samples stamped `start`.
    void Reset(int start, int count);

    int GetCapacity() const { return m_iCapacity; }
    int GetRemaining() const { return m_iRemaining; }
    int GetRunCount() const { return m_iRunCount; }
    const Run* GetRuns() const { return m_pRuns.get(); }
    const Run& GetRun(int index) const { return m_pRuns[index]; }
    int GetTimeStamp() const { return m_iTimeStamp; }

  private:
    int m_iCapacity;
    int m_iRemaining = 0;
    Run* m_pWrite;
    int m_iRunCount = 0;
    std::unique_ptr<Run[]> m_pRuns;
    int m_iTimeStamp = -1;
};
