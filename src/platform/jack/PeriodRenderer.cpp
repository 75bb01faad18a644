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
constexpr int c_iMeasurePeriods = 64; // long enough for the resampler to settle
constexpr int c_iMinPull = 16;        // instrument samples: the smallest pull but before a message
} // namespace

PeriodRenderer::PeriodRenderer(SoundManager& sound, int serverRate, bool capture, int period)
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
    m_pWaiting.reset(new MidiEvent[c_iMaxEvents]);
    // The resampler keeps instrument samples ahead of what it gives out, more
    // or fewer from one period to the next. A dry run of silent periods finds
    // the most; a MIDI message plays that much (and a pull) after its frame,
    // so that every note is late by the same number of frames.
    period = std::clamp(period, 1, 8192);
    std::unique_ptr<float[]> out(new float[static_cast<size_t>(period)]);
    double most = 0.0;
    for (int i = 0; i < c_iMeasurePeriods; ++i)
    {
        Resample(out.get(), period, nullptr, 0, nullptr, true);
        const double ahead =
            static_cast<double>(m_iPulled) * m_rRatio - static_cast<double>(m_iProduced);
        most = std::max(most, ahead);
    }
    m_iLatencyFrames = static_cast<int>(std::ceil(most + c_iMinPull * m_rRatio));
    src_reset(m_pResampler);
    m_iInputCount = 0;
    m_iPulled = 0;
    m_iProduced = 0;
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
    // Until the voices exist, the MIDI file's messages wait in their queue;
    // the port's have nothing to play and are counted as lost.
    if (!voices && count > 0)
    {
        CountDropped(static_cast<size_t>(count));
        count = 0;
    }
    if (voices)
    {
        MidiEvent queued[64];
        for (size_t n; (n = m_queued.Pop(queued, 64)) > 0;)
            for (size_t i = 0; i < n; ++i)
                Play(queued[i], voices);
    }
    MpeEncoder* encoder = m_pEncoder.load(std::memory_order_acquire);
    // Where the encoder's clock stands against the instrument samples pulled.
    const int64_t encoderStart = encoder ? encoder->GetSampleTime() : 0;
    const int64_t pulledStart = m_iPulled;
    const int64_t producedStart = m_iProduced;
    if (count > c_iMaxEvents)
        CountDropped(static_cast<size_t>(count - c_iMaxEvents));
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
        m_iPulled += frames;
        m_iProduced += frames;
    }
    if (!encoder || m_bMidiOutEnded.load(std::memory_order_relaxed))
        return;
    const bool ending = m_bEndMidiOut.load(std::memory_order_acquire);
    if (ending)
    {
        // With no sources the encoder starts nothing more; what sounds ends
        // at the period's last sample.
        for (int voice = 0; voice < Synth_FourVoice::c_iVoices; ++voice)
            encoder->SetVoiceSource(voice, nullptr);
        encoder->EndNotes();
    }
    SendMidiOut(encoderStart, pulledStart, producedStart, frames, sink, user);
    if (ending)
        m_bMidiOutEnded.store(true, std::memory_order_release);
}

void PeriodRenderer::Resample(float* out, int frames, const MidiEvent* events, int count,
                              MidiVoices* voices, bool dry)
{
    // Instrument sample i sounds at server frame i * ratio. A message at a
    // period's frame f plays at the instrument sample that sounds at f plus
    // the latency, rounded up: never before its frame. One late in the period
    // may fall beyond what the period pulls: it waits for the next. The
    // messages wait in order, each stamped with its instrument sample.
    const double periodStart = static_cast<double>(m_iProduced + m_iLatencyFrames);
    if (count > c_iMaxEvents - m_iWaiting)
    {
        CountDropped(static_cast<size_t>(count - (c_iMaxEvents - m_iWaiting)));
        count = c_iMaxEvents - m_iWaiting;
    }
    for (int i = 0; i < count; ++i)
    {
        MidiEvent& waiting = m_pWaiting[m_iWaiting++];
        waiting = events[i];
        waiting.iSampleTime = static_cast<int64_t>(
            std::ceil((periodStart + static_cast<double>(events[i].iSampleTime)) / m_rRatio));
    }
    auto eventSample = [&](int i) { return m_pWaiting[i].iSampleTime; };
    // Nothing is pulled past the sample a message at the next period's first
    // frame plays at: a pull cut short for a message leaves the resampler
    // holding more than usual, and the pulls after it must not run ahead of
    // the messages still to come. (The dry run that measures the latency
    // pulls freely.)
    const int64_t limit =
        dry ? INT64_MAX : static_cast<int64_t>(std::ceil((periodStart + frames) / m_rRatio));
    count = m_iWaiting;
    int produced = 0;
    int next = 0; // the next message to play
    bool needInput = m_iInputCount == 0;
    while (produced < frames)
    {
        if (needInput && m_iInputCount < c_iInputSamples)
        {
            for (; next < count && eventSample(next) <= m_iPulled; ++next)
                Play(m_pWaiting[next], voices);
            // Never a sliver: every pull is a pass through the whole graph.
            int want = static_cast<int>(std::ceil((frames - produced) / m_rRatio));
            want = std::clamp(want, c_iMinPull, c_iInputSamples - m_iInputCount);
            if (next < count)
                want =
                    static_cast<int>(std::clamp<int64_t>(eventSample(next) - m_iPulled, 1, want));
            else if (m_iPulled + want > limit)
                want = static_cast<int>(std::max<int64_t>(limit - m_iPulled, 1));
            Pull(m_pInput.get() + m_iInputCount, want, dry);
            m_iInputCount += want;
            m_iPulled += want;
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
    m_iProduced += frames;
    // Those the period's samples did not reach wait for the next period.
    std::copy(m_pWaiting.get() + next, m_pWaiting.get() + count, m_pWaiting.get());
    m_iWaiting = count - next;
}

void PeriodRenderer::SendMidiOut(int64_t encoderStart, int64_t pulledStart, int64_t producedStart,
                                 int frames, MidiSink sink, void* user)
{
    MpeEncoder* encoder = m_pEncoder.load(std::memory_order_relaxed);
    MidiEvent events[64];
    int last = 0; // the server's MIDI buffers take events in order
    for (size_t n; (n = encoder->Drain(events, 64)) > 0;)
    {
        for (size_t i = 0; i < n; ++i)
        {
            // The instrument sample that played it, and the frame that sounds it.
            const double sample =
                static_cast<double>(pulledStart + (events[i].iSampleTime - encoderStart));
            const double frame = std::ceil(sample * m_rRatio - 1e-9) - producedStart;
            const int at = static_cast<int>(std::clamp(frame, double(last), double(frames - 1)));
            last = at;
            if (sink)
                sink(user, at, events[i]);
        }
        m_midiOut.Push(events, n);
    }
}

size_t PeriodRenderer::DrainCapture(int16_t* out, size_t maximum)
{
    return m_pCapture ? m_pCapture->Pop(out, maximum) : 0;
}
