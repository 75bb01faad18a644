#include "dsp/SoundControl_Tweakable.h"

SoundControl_Tweakable::SoundControl_Tweakable(float min, float max, float value,
                                               int maxBlockSamples)
    : SoundControlSource(1, maxBlockSamples), m_tweakable(min, max, value),
      m_rEmittedValue(m_tweakable.GetValue_Absolute())
{
}

void SoundControl_Tweakable::Generate(int /*channel*/, int /*start*/, SoundControlBuffer* buffer,
                                      int count)
{
    const float value = m_tweakable.GetValue_Absolute();
    const int steps = count / c_iStepSamples;
    // A block too short for one step carries the new value at once.
    if (value != m_rEmittedValue && steps > 0)
    {
        const float step = (value - m_rEmittedValue) / static_cast<float>(steps);
        float emitted = m_rEmittedValue;
        for (int i = 0; i < steps; ++i)
        {
            emitted += step;
            buffer->AddValue(emitted, c_iStepSamples);
        }
        buffer->AddValue(value, count - c_iStepSamples * steps);
    }
    else
    {
        buffer->AddValue(value, count);
    }
    m_rEmittedValue = value;
}
