#include "app/Timer.h"

#include <chrono>

Timer::ClockFunction Timer::s_pClock = &Timer::SteadyClockNanoseconds;
double Timer::s_rSecondsPerTick = 1e-9;

Timer::Timer() : m_iLastTick(s_pClock()), m_rSecondsPerTick(s_rSecondsPerTick) {}

double Timer::GetTimestep()
{
    const uint64_t now = s_pClock();
    const uint64_t ticks = now - m_iLastTick;
    m_iLastTick = now;
    return static_cast<double>(ticks) * m_rSecondsPerTick;
}

void Timer::SetClock(ClockFunction clock, double secondsPerTick)
{
    if (clock && secondsPerTick > 0.0)
    {
        s_pClock = clock;
        s_rSecondsPerTick = secondsPerTick;
    }
    else
    {
        s_pClock = &Timer::SteadyClockNanoseconds;
        s_rSecondsPerTick = 1e-9;
    }
}

uint64_t Timer::SteadyClockNanoseconds()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}
