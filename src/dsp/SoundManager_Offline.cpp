#include "dsp/SoundManager_Offline.h"

#include <cstring>

SoundManager_Offline::SoundManager_Offline() = default;

void SoundManager_Offline::Pull(int16_t* out, int count)
{
    if (!out || count <= 0)
        return;
    if (m_bRunning)
        RenderOutput(out, count);
    else
        std::memset(out, 0, sizeof(int16_t) * static_cast<size_t>(count));
    m_iSamplesPulled += count;
}
