// A settable parameter within [min, max]. The user interface sets it on the main
// thread; the audio thread reads it once per block.
#pragma once

#include <atomic>

class Tweakable_Float
{
  public:
    // `value` is clamped into [min, max].
    Tweakable_Float(float min, float max, float value);

    // r in [0, 1] (clamped; not a number gives 0) maps onto [min, max].
    void SetValue_Range(float r);
    float GetValue_Absolute() const { return value.load(std::memory_order_relaxed); }

    float GetMin() const { return min; }
    float GetMax() const { return max; }

  private:
    float min;
    float max;
    std::atomic<float> value;
};
