// Frame-time source over a monotonic clock that the host may replace (the
// headless host runs on a virtual clock).
#pragma once

#include <cstdint>

class Timer
{
  public:
    using ClockFunction = uint64_t (*)();

    Timer();

    // Seconds since the previous call (or construction); no clamping.
    double GetTimestep();

    // Replaces the clock every Timer reads: ticks, and seconds per tick.
    // Null restores the steady system clock in nanoseconds.
    static void SetClock(ClockFunction clock, double secondsPerTick);

  private:
    static uint64_t SteadyClockNanoseconds();

    uint64_t m_iLastTick;
    double m_rSecondsPerTick;

    static ClockFunction s_pClock;
    static double s_rSecondsPerTick;
};
