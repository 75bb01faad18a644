#include "synth/MpeEncoder.h"

#include "dsp/SoundControlSource.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace
{
constexpr int c_iNoteOff = 0x80;
constexpr int c_iNoteOn = 0x90;
constexpr int c_iControlChange = 0xB0;
constexpr int c_iPitchBend = 0xE0;

// The runs of one control channel for one block, walked in time order. Past
// the last run (a producer that left the block short) the last value holds.
struct Lane
{
    const SoundControlBuffer::Run* pRuns = nullptr;
    int iCount = 0;
    int iIndex = 0;
    int iEnd = INT_MAX; // offset where the current run ends
    float rValue = 0.0f;

    Lane() = default;
    explicit Lane(float value) : rValue(value) {}
    explicit Lane(const SoundControlBuffer* buffer)
    {
        if (buffer->GetRunCount() > 0)
        {
            pRuns = buffer->GetRuns();
            iCount = buffer->GetRunCount();
            rValue = pRuns[0].value;
            iEnd = pRuns[0].length;
            if (iCount == 1)
                iEnd = INT_MAX;
        }
    }

    void AdvanceTo(int offset)
    {
        while (iEnd <= offset)
        {
            ++iIndex;
            rValue = pRuns[iIndex].value;
            iEnd = iIndex + 1 < iCount ? iEnd + pRuns[iIndex].length : INT_MAX;
        }
    }
};

// The runs of `channel` when the graph pulled them for the block stamped
// `start`, else null.
const SoundControlBuffer* PulledBuffer(const SoundControlSource* source, int channel, int start)
{
    const SoundControlBuffer* buffer = source->GetBuffer(channel);
    return buffer && buffer->GetTimeStamp() == start ? buffer : nullptr;
}
} // namespace

MpeEncoder::MpeEncoder(int bendRange, size_t queueEvents)
    : m_iBendRange(std::clamp(bendRange, 1, c_iMaxBendRange)), m_queue(queueEvents)
{
    QueueConfiguration();
}

void MpeEncoder::QueueConfiguration()
{
    // MPE configuration (RPN 6 on the manager channel): a lower zone of four
    // member channels. Then each member channel's pitch-bend range (RPN 0).
    // Each RPN is closed with the null RPN so that stray data entries do nothing.
    auto rpn = [this](int channel, int number, int msb, int lsb)
    {
        Queue(0, c_iControlChange | channel, 101, 0);
        Queue(0, c_iControlChange | channel, 100, number);
        Queue(0, c_iControlChange | channel, 6, msb);
        if (lsb >= 0)
            Queue(0, c_iControlChange | channel, 38, lsb);
        Queue(0, c_iControlChange | channel, 101, 127);
        Queue(0, c_iControlChange | channel, 100, 127);
    };
    rpn(c_iManagerChannel, 6, Synth_FourVoice::c_iVoices, -1);
    for (int voice = 0; voice < Synth_FourVoice::c_iVoices; ++voice)
        rpn(c_iFirstMemberChannel + voice, 0, m_iBendRange, 0);
}

void MpeEncoder::SetVoiceSource(int voice, SoundControlSource* source)
{
    if (voice >= 0 && voice < Synth_FourVoice::c_iVoices)
        m_pSources[voice].store(source, std::memory_order_release);
}

void MpeEncoder::ProcessBlock(int start, int count)
{
    if (count <= 0)
        return;

    // Three lanes per voice: pitch, timbre and velocity. A voice is present
    // while the graph pulled its pitch in this block; an unpulled timbre or
    // velocity holds.
    constexpr int c_iLanes = 3;
    Lane lanes[Synth_FourVoice::c_iVoices * c_iLanes];
    bool present[Synth_FourVoice::c_iVoices] = {};
    for (int voice = 0; voice < Synth_FourVoice::c_iVoices; ++voice)
    {
        const SoundControlSource* source = m_pSources[voice].load(std::memory_order_acquire);
        const SoundControlBuffer* pitch = source ? PulledBuffer(source, 0, start) : nullptr;
        present[voice] = pitch != nullptr;
        if (!pitch)
            continue;
        const SoundControlBuffer* timbre = PulledBuffer(source, 1, start);
        const SoundControlBuffer* velocity = PulledBuffer(source, 2, start);
        lanes[voice * c_iLanes] = Lane(pitch);
        lanes[voice * c_iLanes + 1] = timbre ? Lane(timbre) : Lane(m_voices[voice].rTimbre);
        lanes[voice * c_iLanes + 2] = velocity ? Lane(velocity) : Lane(m_voices[voice].rVelocity);
    }

    // Visit every run start of every lane in time order; at each one, voices
    // in order, so the queue stays sorted by time.
    int offset = 0;
    while (offset < count)
    {
        const int64_t time = m_iSampleTime + offset;
        for (int voice = 0; voice < Synth_FourVoice::c_iVoices; ++voice)
        {
            if (!present[voice])
            {
                if (m_voices[voice].bSounding)
                    EndNote(voice, time);
                continue;
            }
            Lane* lane = &lanes[voice * c_iLanes];
            for (int k = 0; k < c_iLanes; ++k)
                lane[k].AdvanceTo(offset);
            Encode(voice, lane[0].rValue, lane[1].rValue, lane[2].rValue, time);
        }
        int next = INT_MAX;
        for (const Lane& lane : lanes)
            next = std::min(next, lane.iEnd);
        offset = next;
    }
    m_iSampleTime += count;
}

void MpeEncoder::EndNotes()
{
    for (int voice = 0; voice < Synth_FourVoice::c_iVoices; ++voice)
    {
        if (m_voices[voice].bSounding)
            EndNote(voice, m_iSampleTime);
    }
}

void MpeEncoder::Encode(int voice, float hz, float timbre, float velocity, int64_t time)
{
    Voice& v = m_voices[voice];
    v.rTimbre = timbre;
    v.rVelocity = velocity;
    if (!(hz > 0.0f) || !std::isfinite(hz))
    {
        if (v.bSounding)
            EndNote(voice, time);
        return;
    }
    if (hz != v.rLastHz)
    {
        v.rLastHz = hz;
        v.rLastNote = FrequencyToNote(hz);
    }
    if (!v.bSounding)
    {
        StartNote(voice, v.rLastNote, timbre, velocity, time);
        return;
    }
    const double nearest = std::round(v.rLastNote);
    const bool whole = std::fabs(v.rLastNote - nearest) < c_rWholeTolerance;
    int bend = BendValue(v.rLastNote - v.iNote, m_iBendRange);
    // A jump from one whole semitone to another (snapping) plays a new note;
    // so does a glide that leaves the bend range around the note, so that the
    // pitch sent stays exact. Beyond MIDI's notes the bend holds at its edge.
    const bool beyondRange = bend < 0 && NoteNumber(v.rLastNote) != v.iNote;
    if (beyondRange || (whole && v.bWhole && static_cast<int>(nearest) != v.iNote))
    {
        EndNote(voice, time);
        StartNote(voice, v.rLastNote, timbre, velocity, time);
        return;
    }
    if (bend < 0)
        bend = EdgeBend(v.rLastNote - v.iNote);
    v.bWhole = whole && static_cast<int>(nearest) == v.iNote;
    const int channel = c_iFirstMemberChannel + voice;
    if (bend != v.iBend)
    {
        v.iBend = bend;
        Queue(time, c_iPitchBend | channel, bend & 0x7F, bend >> 7);
    }
    const int value = TimbreValue(timbre);
    if (value != v.iTimbre)
    {
        v.iTimbre = value;
        Queue(time, c_iControlChange | channel, c_iTimbreController, value);
    }
}

void MpeEncoder::StartNote(int voice, double note, float timbre, float velocity, int64_t time)
{
    Voice& v = m_voices[voice];
    const int channel = c_iFirstMemberChannel + voice;
    v.iNote = NoteNumber(note);
    v.iBend = BendValue(note - v.iNote, m_iBendRange);
    if (v.iBend < 0)
        v.iBend = EdgeBend(note - v.iNote); // only beyond MIDI's notes
    v.iTimbre = TimbreValue(timbre);
    v.bSounding = true;
    v.bWhole = std::fabs(note - v.iNote) < c_rWholeTolerance;
    Queue(time, c_iPitchBend | channel, v.iBend & 0x7F, v.iBend >> 7);
    Queue(time, c_iControlChange | channel, c_iTimbreController, v.iTimbre);
    // A Note On's velocity is 1 .. 127 (0 would end the note).
    const int noteVelocity = std::isfinite(velocity)
                                 ? static_cast<int>(std::clamp(std::lround(velocity), 1L, 127L))
                                 : c_iVelocity;
    Queue(time, c_iNoteOn | channel, v.iNote, noteVelocity);
}

void MpeEncoder::EndNote(int voice, int64_t time)
{
    Voice& v = m_voices[voice];
    Queue(time, c_iNoteOff | (c_iFirstMemberChannel + voice), v.iNote, c_iReleaseVelocity);
    v.bSounding = false;
    v.rLastHz = -1.0f;
}

void MpeEncoder::Queue(int64_t time, int status, int data1, int data2)
{
    const MidiEvent event =
        MidiEvent::Make(time, static_cast<uint8_t>(status), static_cast<uint8_t>(data1),
                        static_cast<uint8_t>(data2));
    m_queue.Push(&event, 1);
}

double MpeEncoder::FrequencyToNote(double hz)
{
    return 69.0 + 12.0 * std::log2(hz / 440.0);
}

int MpeEncoder::BendValue(double semitones, int bendRange)
{
    // The receiver maps bend b to (b - 8192) / 8192 * range semitones.
    const long value = c_iBendCentre + std::lround(semitones / bendRange * c_iBendCentre);
    return value < 0 || value > 16383 ? -1 : static_cast<int>(value);
}

int MpeEncoder::NoteNumber(double note)
{
    return static_cast<int>(std::clamp(std::round(note), 0.0, 127.0));
}

int MpeEncoder::EdgeBend(double semitones)
{
    return semitones < 0.0 ? 0 : 16383;
}

int MpeEncoder::TimbreValue(float timbre)
{
    if (!(timbre > 0.0f))
        return 0;
    return static_cast<int>(std::lround(std::min(timbre, 1.0f) * 127.0f));
}
