#include "dsp/Tweakable_Float.h"

#include "dsp/SoundControlRuns.h"

namespace
{
float ClampInto(float x, float low, float high)
{
    if (x > high)
        return high;
    if (!(x >= low))
        return low; // below min, or not a number
    return x;
}
} // namespace

Tweakable_Float::Tweakable_Float(float min, float max, float value)
    : min(min), max(max), value(ClampInto(value, min, max))
{
}

void Tweakable_Float::SetValue_Range(float r)
{
    value.store(min + ClampUnit(r) * (max - min), std::memory_order_relaxed);
}
