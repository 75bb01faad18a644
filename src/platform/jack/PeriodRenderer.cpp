#include "platform/jack/PeriodRenderer.h"

#include "dsp/DenormalGuard.h"
#include "dsp/SoundManager.h"
#include "synth/MidiVoices.h"
#include "synth/MpeEncoder.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr int c_iMeasurePeriod = 256; // server frames per period of the latency's dry run
constexpr int c_iMeasurePeriods = 64; // long enough for the resampler to settle
constexpr int c_iMinPull = 32;        // instrument samples: the smallest pull but before a message
} // namespace

PeriodRenderer::PeriodRenderer(SoundManager& sound, int serverRate, bool capture)
    : m_sound(sound), m_iServerRate(serverRate),
      m_rRatio(static_cast<double>(serverRate) / SoundManager::c_iSampleRate),
      m_pScratch(new int16_t[SoundManager::c_iMaxBlockSamples])
{
    if (capture)
        m_pCapture = std::make_unique<SpscRing<int16_t>>(1u << 18); // about 6 s
    if (serverRate == SoundManager::c_iSampleRate)
        return;
    int error = 0;
    m_pResampler = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &error);
    if (!m_pResampler)
    {
        m_sError = std::string("cannot resample: ") + src_strerror(error);
        return;
    }
    m_pInput.reset(new float[c_iInputSamples]);
    // The resampler needs instrument samples ahead of what it gives out: a dry
    // run of silent periods shows how far, which is the latency it adds.
    std::unique_ptr<float[]> out(new float[c_iMeasurePeriod]);
    int64_t pulled = 0;
    for (int i = 0; i < c_iMeasurePeriods; ++i)
        pulled += Resample(out.get(), c_iMeasurePeriod, nullptr, 0, nullptr, true);
    const double ahead = (static_cast<double>(pulled) - m_iInputCount) * m_rRatio -
                         static_cast<double>(c_iMeasurePeriod) * c_iMeasurePeriods;
    m_iLatencyFrames = static_cast<int>(std::lround(ahead));
    src_reset(m_pResampler);
    m_iInputCount = 0;
}

PeriodRenderer::~PeriodRenderer()
{
    if (m_pResampler)
        src_delete(m_pResampler);
}

void PeriodRenderer::Pull(float* out, int count, bool dry)
{
    if (dry)
    {
        std::fill(out, out + count, 0.0f);
        return;
    }
    const int limit = std::clamp(m_sound.GetSamplesPerFrame(), 1, SoundManager::c_iMaxBlockSamples);
    const bool muted = m_sound.IsMuted();
    while (count > 0)
    {
        const int n = std::min(count, limit);
        const float* block = m_sound.PullBlock(n);
        if (block && !muted)
            std::memcpy(out, block, sizeof(float) * static_cast<size_t>(n));
        else
            std::fill(out, out + n, 0.0f);
        if (m_pCapture)
        {
            for (int i = 0; i < n; ++i)
                m_pScratch[i] = SoundManager::ConvertSample(out[i]);
            m_pCapture->Push(m_pScratch.get(), static_cast<size_t>(n));
        }
        out += n;
        count -= n;
    }
}

void PeriodRenderer::Play(const MidiEvent& event, MidiVoices* voices)
{
    if (voices)
        voices->Handle(event);
}

void PeriodRenderer::Render(float* out, int frames, const MidiEvent* events, int count,
                            MidiSink sink, void* user)
{
    if (!out || frames <= 0)
        return;
    DenormalGuard guard;
    MidiVoices* voices = m_pVoices.load(std::memory_order_acquire);
    // Before the voices exist, MIDI waits rather than being lost.
    if (voices)
    {
        MidiEvent queued[64];
        for (size_t n; (n = m_queued.Pop(queued, 64)) > 0;)
            for (size_t i = 0; i < n; ++i)
                Play(queued[i], voices);
    }
    MpeEncoder* encoder = m_pEncoder.load(std::memory_order_acquire);
    const int64_t encoderStart = encoder ? encoder->GetSampleTime() : 0;
    count = std::clamp(count, 0, c_iMaxEvents);
    if (m_pResampler)
    {
        Resample(out, frames, events, count, voices, false);
    }
    else
    {
        int done = 0;
        for (int i = 0; i < count; ++i)
        {
            const int at = std::clamp(static_cast<int>(events[i].iSampleTime), done, frames);
            if (at > done)
                Pull(out + done, at - done, false);
            done = at;
            Play(events[i], voices);
        }
        Pull(out + done, frames - done, false);
    }
    if (encoder)
        SendMidiOut(encoderStart, frames, sink, user);
}

int PeriodRenderer::Resample(float* out, int frames, const MidiEvent* events, int count,
                             MidiVoices* voices, bool dry)
{
    int produced = 0;
    int pulled = 0; // instrument samples pulled in this period
    int next = 0;   // the next event to play
    // An event at server frame f plays at instrument sample f / ratio of the
    // period, so that every note keeps its place however the period falls.
    auto eventSample = [&](int i)
    { return static_cast<int>(static_cast<double>(events[i].iSampleTime) / m_rRatio); };
    bool needInput = m_iInputCount == 0;
    while (produced < frames)
    {
        if (needInput && m_iInputCount < c_iInputSamples)
        {
            for (; next < count && eventSample(next) <= pulled; ++next)
                Play(events[next], voices);
            // Never a sliver: every pull is a pass through the whole graph.
            int want = static_cast<int>(std::ceil((frames - produced) / m_rRatio));
            want = std::clamp(want, c_iMinPull, c_iInputSamples - m_iInputCount);
            if (next < count)
                want = std::max(1, std::min(want, eventSample(next) - pulled));
            Pull(m_pInput.get() + m_iInputCount, want, dry);
            m_iInputCount += want;
            pulled += want;
        }
        SRC_DATA data{};
        data.data_in = m_pInput.get();
        data.input_frames = m_iInputCount;
        data.data_out = out + produced;
        data.output_frames = frames - produced;
        data.src_ratio = m_rRatio;
        if (src_process(m_pResampler, &data) != 0)
        {
            std::fill(out + produced, out + frames, 0.0f); // cannot happen with a fixed ratio
            break;
        }
        const int used = static_cast<int>(data.input_frames_used);
        m_iInputCount -= used;
        if (m_iInputCount > 0 && used > 0)
            std::memmove(m_pInput.get(), m_pInput.get() + used,
                         sizeof(float) * static_cast<size_t>(m_iInputCount));
        produced += static_cast<int>(data.output_frames_gen);
        needInput = m_iInputCount == 0 || (used == 0 && data.output_frames_gen == 0);
    }
    // Messages the period's samples did not reach play at its end.
    for (; next < count; ++next)
        Play(events[next], voices);
    return pulled;
}

void PeriodRenderer::SendMidiOut(int64_t periodStart, int frames, MidiSink sink, void* user)
{
    MpeEncoder* encoder = m_pEncoder.load(std::memory_order_relaxed);
    MidiEvent events[64];
    int last = 0; // the server's MIDI buffers take events in order
    for (size_t n; (n = encoder->Drain(events, 64)) > 0;)
    {
        for (size_t i = 0; i < n; ++i)
        {
            const double offset = static_cast<double>(events[i].iSampleTime - periodStart);
            const int frame =
                std::clamp(static_cast<int>(std::floor(offset * m_rRatio)), last, frames - 1);
            last = frame;
            if (sink)
                sink(user, frame, events[i]);
        }
        m_midiOut.Push(events, n);
    }
}

size_t PeriodRenderer::DrainCapture(int16_t* out, size_t maximum)
{
    return m_pCapture ? m_pCapture->Pop(out, maximum) : 0;
}
