// Test sources, blocks pulled through the real sound manager, measurements, and
// the real synth played with fingers through the real touch manager.
#pragma once

#include "dsp/SoundControlSource.h"
#include "dsp/SoundManager.h"
#include "dsp/SoundStreamSource.h"
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "support/TestSupport.h"
#include "synth/Synth_FourVoice.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

namespace zindle_test
{
// Control runs as (value, length).
using Runs = std::vector<std::pair<float, int>>;

// Emits the given runs (a constant by default) per channel; counts Generate calls.
class TestControl : public SoundControlSource
{
  public:
    explicit TestControl(float value = 0.0f, int channels = 1)
        : SoundControlSource(channels), m_runs(static_cast<size_t>(channels))
    {
        SetValue(value);
    }

    void SetValue(float value) { SetRuns({{value, 1 << 20}}); }
    // The last run is cut to the block; channel -1: every channel.
    void SetRuns(const Runs& runs, int channel = -1)
    {
        for (size_t c = 0; c < m_runs.size(); ++c)
            if (channel < 0 || static_cast<size_t>(channel) == c)
                m_runs[c] = runs;
    }

    void Generate(int channel, int, SoundControlBuffer* buffer, int) override
    {
        ++m_iGenerateCalls;
        for (const auto& [value, length] : m_runs[static_cast<size_t>(channel)])
            buffer->AddValue(value, length);
    }

    int m_iGenerateCalls = 0;

  private:
    std::vector<Runs> m_runs;
};

// The runs of one channel of `source` for the block stamped `stamp`.
inline Runs RunsOf(SoundControlSource& source, int channel, int stamp, int count)
{
    const SoundControlBuffer* buffer = source.UpdateBuffer(channel, stamp, count);
    Runs runs;
    for (int i = 0; i < buffer->GetRunCount(); ++i)
        runs.emplace_back(buffer->GetRun(i).value, buffer->GetRun(i).length);
    return runs;
}

// Plays signal(n), or silence while `m_bSilent`; counts its Generate calls.
class TestSignal : public SoundStreamSource
{
  public:
    explicit TestSignal(std::function<float(long)> signal) : SoundStreamSource(1), m_signal(signal)
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

inline std::function<float(long)> Sine(float hz, float amplitude = 1.0f)
{
    return [hz, amplitude](long n)
    { return amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * n / 44100.0)); };
}

// One block pulled from `root` through the running (offline) sound manager.
struct Block
{
    bool produced = false;
    std::vector<float> samples; // none for silence
};
inline Block PullBlock(SoundStreamSource* root, int count)
{
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(root);
    const float* data = manager->PullBlock(count);
    manager->SetStreamSource(nullptr);
    Block block{data != nullptr, {}};
    if (data)
        block.samples.assign(data, data + count);
    return block;
}

// Pulls blocks until `samples` samples are rendered; silent blocks give zeros.
inline std::vector<float> Render(SoundStreamSource* root, int samples, int blockSize = 256)
{
    std::vector<float> out;
    while (static_cast<int>(out.size()) < samples)
    {
        const int n = std::min(blockSize, samples - static_cast<int>(out.size()));
        const Block block = PullBlock(root, n);
        out.insert(out.end(), block.samples.begin(), block.samples.end());
        out.resize(out.size() + (block.produced ? 0 : static_cast<size_t>(n)), 0.0f);
    }
    return out;
}

// Frequency from the rising zero crossings between the first and the last one.
inline double MeasureFrequency(const std::vector<float>& x, size_t skip = 0)
{
    long first = -1, last = -1, crossings = 0;
    for (size_t i = skip + 1; i < x.size(); ++i)
        if (x[i - 1] < 0.0f && x[i] >= 0.0f)
        {
            first = first < 0 ? static_cast<long>(i) : first;
            last = static_cast<long>(i);
            ++crossings;
        }
    return crossings < 2 ? 0.0 : (crossings - 1) * 44100.0 / static_cast<double>(last - first);
}

// Amplitude of the component at `hz` (Goertzel over the whole span).
inline double Magnitude(const std::vector<float>& x, double hz, size_t skip = 0)
{
    const double coeff = 2.0 * std::cos(2.0 * std::numbers::pi * hz / 44100.0);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = skip; i < x.size(); ++i)
        s2 = std::exchange(s1, x[i] + coeff * s1 - s2);
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(x.size() - skip);
}

// Mean (of the squares: power 2) and peak of x[from, end).
inline double Mean(const std::vector<float>& x, size_t from = 0, int power = 1)
{
    double sum = 0.0;
    for (size_t i = from; i < x.size(); ++i)
        sum += std::pow(static_cast<double>(x[i]), power);
    return sum / static_cast<double>(x.size() - from);
}
inline float Peak(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX)
{
    float peak = 0.0f;
    for (size_t i = from; i < std::min(to, x.size()); ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return peak;
}
inline bool AllFinite(const std::vector<float>& x)
{
    return std::all_of(x.begin(), x.end(), [](float v) { return std::isfinite(v); });
}

// The pitch of octave o above the low C, and the pitch a finger at x plays in
// the default window (octaves -1.125 .. 4.125 across 480 points).
inline const auto OctaveHz = [](double octave) { return 65.406395 * std::pow(2.0, octave); };
inline const auto WindowHz = [](double x) { return OctaveHz(-1.125 + 5.25 * x / 480.0); };

// Fingers at landscape points through the real touch manager on a 480 x 320
// playing area.
class Fingers
{
  public:
    Fingers()
    {
        TouchManager::Startup();
        camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
    }
    ~Fingers() { TouchManager::Shutdown(); }

    void Down(int k, int x, int y)
    {
        TouchManager::GetInstance()->TouchBegan(&m_handles[k], x - TouchManager::c_iOffsetX, y);
    }
    void Move(int k, int x, int y)
    {
        TouchManager::GetInstance()->TouchMoved(Id(k), x - TouchManager::c_iOffsetX, y);
    }
    void Up(int k) { TouchManager::GetInstance()->TouchEnded(Id(k), 0, 0); }
    int Id(int k) { return TouchManager::GetInstance()->FindTouchID(&m_handles[k]); }

    Camera_2D camera;

  private:
    char m_handles[16] = {};
};

// The synth as the program starts (its echo on, its instrument state fresh), on
// the fingers' area.
class Engine : public Fingers
{
  public:
    Engine() { synth.SetCamera(&camera); }

    ScopedSoundManager sound;
    Synth_FourVoice synth{SoundManager::c_rSampleRate, SoundManager::c_iMaxBlockSamples};
};
} // namespace zindle_test
