// The headless sound manager: no thread and no device. The host pulls blocks on
// demand, with the same block loop and conversion as the live manager.
#pragma once

#include "dsp/SoundManager.h"

#include <cstdint>

class SoundManager_Offline : public SoundManager
{
  public:
    SoundManager_Offline();

    void StartStream() override { m_bRunning = true; }
    void StopStream() override { m_bRunning = false; }
    bool IsRunning() const { return m_bRunning; }

    // Pulls `count` samples (silence while the stream is stopped) and counts them.
    void Pull(int16_t* out, int count);
    int64_t GetSamplesPulled() const { return m_iSamplesPulled; }

  private:
    bool m_bRunning = false;
    int64_t m_iSamplesPulled = 0;
};
