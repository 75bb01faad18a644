// Small sources and measurements for the sound engine tests: a control source
// that plays given runs, a stream source that plays a given signal, a block
// loop through the real sound manager, and pitch and level measurements.
#pragma once

#include "sound/SoundControlSource.h"
#include "sound/SoundManager.h"
#include "sound/SoundStreamSource.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

namespace zindle_test
{
// A one-channel control source that emits the runs it was given for every block
// (a constant by default); counts its Generate calls.
class TestControl : public SoundControlSource
{
  public:
    explicit TestControl(float value = 0.0f) : SoundControlSource(1) { SetValue(value); }

    void SetValue(float value) { m_runs = {{value, 1 << 20}}; }
    // Runs as (value, length); the last one is cut to the block.
    void SetRuns(std::vector<std::pair<float, int>> runs) { m_runs = std::move(runs); }

    void Generate(int, int, SoundControlBuffer* buffer, int) override
    {
        ++m_iGenerateCalls;
        for (const auto& [value, length] : m_runs)
            buffer->AddValue(value, length);
    }

    int m_iGenerateCalls = 0;

  private:
    std::vector<std::pair<float, int>> m_runs;
};

// A stream source playing signal(n) for its running sample index n, or silence
// while `silent` is set; counts its Generate calls.
class TestSignal : public SoundStreamSource
{
  public:
    explicit TestSignal(std::function<float(long)> signal)
        : SoundStreamSource(1), m_signal(std::move(signal))
    {
    }

    int Generate(int, int, float* buffer, int count) override
    {
        ++m_iGenerateCalls;
        if (m_bSilent)
            return 0;
        for (int i = 0; i < count; ++i)
            buffer[i] = m_signal(m_iPosition++);
        return 1;
    }

    bool m_bSilent = false;
    int m_iGenerateCalls = 0;
    long m_iPosition = 0;

  private:
    std::function<float(long)> m_signal;
};

inline std::function<float(long)> Constant(float value)
{
    return [value](long) { return value; };
}
inline std::function<float(long)> Sine(float hz, float amplitude = 1.0f)
{
    return [hz, amplitude](long n)
    { return amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * n / 44100.0)); };
}

// One pulled block: its samples, or none for silence.
struct Block
{
    bool produced = false;
    std::vector<float> samples;
};

// Pulls one block of `count` samples from `root` through the running sound
// manager (the offline one, started by ScopedSoundManager).
inline Block PullBlock(SoundStreamSource* root, int count)
{
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(root);
    const float* data = manager->PullBlock(count);
    manager->SetStreamSource(nullptr);
    Block block;
    block.produced = data != nullptr;
    if (data)
        block.samples.assign(data, data + count);
    return block;
}

// Pulls blocks until `samples` samples are rendered; silent blocks give zeros.
inline std::vector<float> Render(SoundStreamSource* root, int samples, int blockSize = 256)
{
    std::vector<float> out;
    out.reserve(static_cast<size_t>(samples));
    while (static_cast<int>(out.size()) < samples)
    {
        const int n = std::min(blockSize, samples - static_cast<int>(out.size()));
        const Block block = PullBlock(root, n);
        if (block.produced)
            out.insert(out.end(), block.samples.begin(), block.samples.end());
        else
            out.insert(out.end(), static_cast<size_t>(n), 0.0f);
    }
    return out;
}

// Frequency from the rising zero crossings between the first and the last one.
inline double MeasureFrequency(const std::vector<float>& x, size_t skip = 0)
{
    long first = -1, last = -1, crossings = 0;
    for (size_t i = skip + 1; i < x.size(); ++i)
    {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f)
        {
            if (first < 0)
                first = static_cast<long>(i);
            last = static_cast<long>(i);
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return (crossings - 1) * 44100.0 / static_cast<double>(last - first);
}

// Amplitude of the component at `hz` (Goertzel over the whole span).
inline double Magnitude(const std::vector<float>& x, double hz, size_t skip = 0)
{
    const double w = 2.0 * std::numbers::pi * hz / 44100.0;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = skip; i < x.size(); ++i)
    {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(x.size() - skip);
}

inline double Rms(const std::vector<float>& x, size_t from = 0, size_t to = 0)
{
    if (to == 0 || to > x.size())
        to = x.size();
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

inline double Mean(const std::vector<float>& x, size_t from = 0, size_t to = 0)
{
    if (to == 0 || to > x.size())
        to = x.size();
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += x[i];
    return to > from ? sum / static_cast<double>(to - from) : 0.0;
}

inline float Peak(const std::vector<float>& x, size_t from = 0, size_t to = 0)
{
    if (to == 0 || to > x.size())
        to = x.size();
    float peak = 0.0f;
    for (size_t i = from; i < to; ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

inline bool AllFinite(const std::vector<float>& x)
{
    for (float v : x)
        if (!std::isfinite(v))
            return false;
    return true;
}
} // namespace zindle_test
