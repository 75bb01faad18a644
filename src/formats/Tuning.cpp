#include "formats/Tuning.h"

#include <cmath>
#include <utility>

Tuning::Tuning() : m_rBaseHz(c_rLowC)
{
    for (int i = 1; i <= 12; ++i)
        m_cents.push_back(100.0 * i);
}

Tuning::Tuning(std::string description, std::vector<double> cents, double baseHz)
    : m_sDescription(std::move(description)), m_cents(std::move(cents)), m_rBaseHz(baseHz)
{
    if (m_cents.empty())
        m_cents.push_back(1200.0); // a scale of its period alone
}

double Tuning::GetDegreeOctaves(int degree) const
{
    const int n = GetDegreeCount();
    const int period = FloorDivide(degree, n);
    const int step = degree - period * n;
    const double within = step == 0 ? 0.0 : m_cents[static_cast<size_t>(step - 1)] / 1200.0;
    return period * GetPeriodOctaves() + within;
}

bool Tuning::IsTwelveEqualOnC() const
{
    // A thousandth of a cent is far below what anyone hears or a file states.
    constexpr double c_rTolerance = 1e-3; // cents
    if (GetDegreeCount() != 12)
        return false;
    for (int i = 0; i < 12; ++i)
        if (std::fabs(m_cents[static_cast<size_t>(i)] - 100.0 * (i + 1)) > c_rTolerance)
            return false;
    const double cents = 1200.0 * std::log2(m_rBaseHz / c_rLowC);
    return std::fabs(cents - 1200.0 * std::round(cents / 1200.0)) <= c_rTolerance;
}

bool Tuning::KeyDegree(const KeyMap& keys, int key, int& degree) const
{
    const int offset = key - keys.iMiddleKey;
    if (keys.degrees.empty())
    {
        degree = offset;
        return true;
    }
    const int size = static_cast<int>(keys.degrees.size());
    const int repeat = FloorDivide(offset, size);
    const int entry = keys.degrees[static_cast<size_t>(offset - repeat * size)];
    if (entry < 0)
        return false;
    degree = entry + repeat * (keys.iOctaveDegree > 0 ? keys.iOctaveDegree : GetDegreeCount());
    return true;
}

bool Tuning::KeyFrequency(int key, double& hz) const
{
    int degree = 0;
    if (!KeyDegree(m_keys, key, degree))
        return false;
    hz = m_keys.rMiddleHz * std::exp2(GetDegreeOctaves(degree));
    return std::isnormal(hz);
}
