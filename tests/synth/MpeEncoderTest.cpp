// The MPE encoder heard by a model receiver: the pitch the receiver would sound
// is compared with the pitch each voice emitted, run by run.
#include "synth/MpeEncoder.h"
#include "core/SpscRing.h"
#include "support/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>

using namespace zindle_test;

namespace
{
const auto Note = [](double hz) { return 69.0 + 12.0 * std::log2(hz / 440.0); };
const auto Hz = [](int note)
{ return static_cast<float>(440.0 * std::pow(2.0, (note - 69) / 12.0)); };
const auto BendOf = [](const MidiEvent& e) { return e.pBytes[1] | (e.pBytes[2] << 7); };
// A voice like the theremin: channel 0 pitch in hertz, channel 1 timbre.
void Hold(TestControl& voice, float hz, float timbre)
{
    voice.SetRuns({{hz, 1 << 20}}, 0);
    voice.SetRuns({{timbre, 1 << 20}}, 1);
}

// An MPE synth: the zone and bend ranges from their RPNs, then per member channel
// a note with its bend and timbre. Anything ill-formed is a fault (a range before
// the zone, a note outside it or before its bend and timbre, a value sent again).
struct Receiver
{
    struct Channel
    {
        bool on = false, bendSent = false, timbreSent = false;
        int note = -1, bend = 8192, timbre = -1, noteOns = 0, range = 2, rpn = 0x3FFF;
    };

    void Apply(const MidiEvent& e)
    {
        const int channel = e.Channel(), d1 = e.pBytes[1], d2 = e.pBytes[2];
        Channel& c = channels[channel];
        const bool cc = e.Status() == 0xB0, member = channel >= 1 && channel <= zone;
        if (e.Status() == 0x90 && member && !c.on && c.bendSent && c.timbreSent && d2 == 100)
            c = {true, false, false, d1, c.bend, c.timbre, c.noteOns + 1, c.range, c.rpn};
        else if (e.Status() == 0x80 && c.on && c.note == d1)
            c.on = c.bendSent = c.timbreSent = false;
        else if (e.Status() == 0xE0 && !(c.on && BendOf(e) == c.bend))
            c.bend = BendOf(e), c.bendSent = true;
        else if (cc && (d1 == 101 || d1 == 100))
            c.rpn = d1 == 101 ? (d2 << 7) | (c.rpn & 127) : (c.rpn & ~127) | d2;
        else if (cc && d1 == 6 && channel == 0 && c.rpn == 6)
            zone = d2;
        else if (cc && d1 == 6 && member && c.rpn == 0)
            c.range = d2;
        else if (cc && d1 == 38 && member && c.rpn == 0 && d2 == 0)
            ; // the bend range's cents
        else if (cc && d1 == 74 && !(c.on && d2 == c.timbre))
            c.timbre = d2, c.timbreSent = true;
        else
            faults.push_back(testing::PrintToString(std::vector<int>{e.pBytes[0], d1, d2}));
    }
    double Pitch(int channel) const
    {
        const Channel& c = channels[channel];
        return c.note + (c.bend - 8192) / 8192.0 * c.range;
    }

    int zone = 0;
    Channel channels[16];
    std::vector<std::string> faults;
};

class MpeEncoderTest : public ::testing::Test
{
  protected:
    static std::vector<MidiEvent> Drain(MpeEncoder& encoder)
    {
        std::vector<MidiEvent> events(MpeEncoder::c_iDefaultQueueEvents);
        events.resize(encoder.Drain(events.data(), events.size()));
        return events;
    }
    // A fresh encoder whose configuration the receiver has taken.
    static std::unique_ptr<MpeEncoder> MakeEncoder(Receiver& receiver, int range = 48)
    {
        auto encoder = std::make_unique<MpeEncoder>(range);
        for (const MidiEvent& e : Drain(*encoder))
            receiver.Apply(e);
        EXPECT_TRUE(receiver.faults.empty() && receiver.zone == 4);
        for (const Receiver::Channel& c : receiver.channels)
            EXPECT_EQ(c.rpn, 0x3FFF) << "an RPN left open";
        return encoder;
    }
    // The graph pulls both channels of every voice, then the encoder reads the block.
    void Process(MpeEncoder& encoder, int count, std::initializer_list<TestControl*> voices)
    {
        ++m_iStamp;
        for (TestControl* voice : voices)
            for (int channel : {0, 1})
                voice->UpdateBuffer(channel, m_iStamp, count);
        encoder.ProcessBlock(m_iStamp, count);
    }

    // One block of voice 0 (channel 2): at each change the receiver sounds that pitch
    // within a cent with that timbre, a new note the nearest; no events elsewhere.
    void PlayAndCheck(MpeEncoder& encoder, TestControl& voice, Receiver& receiver, int count,
                      std::vector<MidiEvent>& all)
    {
        const int64_t start = encoder.GetSampleTime();
        ++m_iStamp;
        auto perSample = [&](int channel)
        {
            std::vector<float> values;
            for (auto [value, length] : RunsOf(voice, channel, m_iStamp, count))
                values.insert(values.end(), static_cast<size_t>(length), value);
            return values;
        };
        const std::vector<float> hz = perSample(0), timbre = perSample(1);
        encoder.ProcessBlock(m_iStamp, count);
        const std::vector<MidiEvent> events = Drain(encoder);
        all.insert(all.end(), events.begin(), events.end());
        const Receiver::Channel& c = receiver.channels[1];
        size_t next = 0;
        for (size_t i = 0; i < hz.size(); ++i)
        {
            if (i > 0 && hz[i] == hz[i - 1] && timbre[i] == timbre[i - 1])
                continue;
            const int noteOns = c.noteOns;
            for (; next < events.size() && events[next].iSampleTime <= start + int64_t(i); ++next)
            {
                EXPECT_EQ(events[next].iSampleTime, start + int64_t(i)) << "between changes";
                receiver.Apply(events[next]);
            }
            SCOPED_TRACE(testing::Message() << "sample " << start + int64_t(i) << ", " << hz[i]);
            ASSERT_EQ(c.on, hz[i] > 0.0f);
            if (!c.on)
                continue;
            // Beyond MIDI's notes: the edge note, bent to the edge of the range.
            const double note = std::clamp(Note(hz[i]), -1.0 * c.range, 127.0 + c.range);
            EXPECT_NEAR(receiver.Pitch(1), note, 0.01);
            EXPECT_EQ(c.timbre, std::lround(timbre[i] * 127.0f));
            EXPECT_TRUE(c.noteOns == noteOns || c.note == std::clamp(std::lround(note), 0L, 127L))
                << "a new note is the nearest";
        }
        EXPECT_EQ(next, events.size()) << "events after the block's last change";
        EXPECT_TRUE(receiver.faults.empty()) << receiver.faults.front();
    }

    ScopedSoundManager m_sound;
    int m_iStamp = 0;
};

// Blocks of (pitch runs, timbre runs) for one voice; helpers make the usual ones.
using Blocks = std::vector<std::pair<Runs, Runs>>;
Blocks Held(float hz, float timbre, int blocks = 2)
{
    return Blocks(static_cast<size_t>(blocks), {{{hz, 1 << 20}}, {{timbre, 1 << 20}}});
}
// A linear glide in 30-sample runs, as the theremin emits it, over blocks of 1024.
Blocks Glide(float from, float to, int blocks)
{
    Blocks out = Held(from, 0.5f, 1);
    const float step = (to - from) / static_cast<float>(34 * blocks);
    for (int b = 0; b < blocks; ++b)
    {
        Runs pitch;
        for (int s = 0; s < 34; ++s)
            pitch.emplace_back(from += step, 30);
        pitch.emplace_back(from, 4);
        out.push_back({pitch, {{0.5f, 1024}}});
    }
    return out;
}
Blocks operator+(Blocks a, const Blocks& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
} // namespace

// One voice on channel 2, followed within a cent at every change: held notes at
// bend ranges 1 to 96, glides within a note and across the bend range, snapped
// jumps (new notes, the bend centred), a lift, timbre steps and pitches beyond
// MIDI's notes (held at the edge, not sent again).
TEST_F(MpeEncoderTest, OneVoiceIsFollowedWithinACentAtEveryRun)
{
    const Blocks silence = Held(0.0f, 0.0f, 1);
    Blocks held;
    for (float hz : {12.07f, 65.406395f, 452.9f, 2834.5f})
        held = held + Held(hz, 0.6f) + silence;
    Blocks jumps;
    const int notes[] = {57, 60, 59, 67, 31, 79};
    for (size_t i = 0; i + 1 < std::size(notes); ++i)
        jumps.push_back({{{Hz(notes[i]), 300}, {Hz(notes[i + 1]), 1024}}, {{0.5f, 1024}}});
    Runs timbreGlide;
    for (int s = 1; s <= 34; ++s)
        timbreGlide.emplace_back(s / 34.0f, 30);
    timbreGlide.emplace_back(1.0f, 4);
    const Blocks lift = Held(261.63f, 0.3f) +
                        Blocks{{{{261.63f, 100}, {0.0f, 924}}, {{0.3f, 100}, {0.0f, 924}}}} +
                        silence + Held(523.25f, 0.9f);
    const Blocks timbre = Held(330.0f, 0.0f, 1) + Blocks{{{{330.0f, 1024}}, timbreGlide}} +
                          Held(330.0f, 0.5f, 1) + Held(330.0f, 0.503f, 1);

    // minBends: a bend at every run start that moves the pitch by a bend step or more.
    // clang-format off
    struct { const char* name; int range; Blocks blocks; int noteOns, minBends; bool centred; }
        performances[] = {
        {"held, range 12", 12, held, 4, 0, false},
        {"held, range 48", 48, held, 4, 0, false},
        {"held, range 96", 96, held, 4, 0, false},
        {"held, range 500: 96", 500, held, 4, 0, false},
        {"held, range 0: 1", 0, held, 4, 0, false},
        {"glide within a note", 48, Glide(200.0f, 300.0f, 1), 1, 34, false},
        {"glide up across the bend range", 48, Glide(40.0f, 1100.0f, 3), 2, 102, false},
        {"glide down across the bend range", 48, Glide(1100.0f, 40.0f, 3), 2, 102, false},
        {"glide by 24 cents", 48, Glide(440.0f, 446.0f, 2), 1, 39, false},
        {"snapped jumps", 48, jumps, 6, 0, true},
        {"lift and a new finger", 48, lift, 2, 0, false},
        {"timbre steps", 48, timbre, 1, 0, false},
        {"far below note 0", 48, Held(0.1f, 0.5f) + Held(0.2f, 0.5f), 1, 1, false},
        {"far above note 127", 48, Held(3e5f, 0.5f) + Held(2.5e5f, 0.5f), 1, 1, false},
    };
    // clang-format on
    for (const auto& p : performances)
    {
        SCOPED_TRACE(p.name);
        Receiver receiver;
        auto encoder = MakeEncoder(receiver, p.range);
        for (int ch = 1; ch <= 4; ++ch)
            EXPECT_EQ(receiver.channels[ch].range, std::clamp(p.range, 1, 96));
        TestControl voice(0.0f, 2);
        encoder->SetVoiceSource(0, &voice);
        std::vector<MidiEvent> all;
        for (const auto& [pitch, timbre] : p.blocks)
        {
            voice.SetRuns(pitch, 0);
            voice.SetRuns(timbre, 1);
            PlayAndCheck(*encoder, voice, receiver, 1024, all);
            ASSERT_FALSE(HasFailure());
        }
        EXPECT_EQ(receiver.channels[1].noteOns, p.noteOns);
        long bends = 0, offCentre = 0;
        for (const MidiEvent& e : all)
        {
            bends += e.Status() == 0xE0;
            offCentre += e.Status() == 0xE0 && BendOf(e) != 8192;
        }
        EXPECT_GE(bends, p.minBends);
        EXPECT_TRUE(!p.centred || offCentre == 0) << offCentre << " bends off centre";
    }
}

TEST_F(MpeEncoderTest, ReadsOnlyWhatTheGraphPulledAndDropsWhatDoesNotFit)
{
    Receiver receiver;
    auto encoder = MakeEncoder(receiver);
    TestControl voice(0.0f, 2);
    Hold(voice, 220.0f, 0.5f);
    encoder->SetVoiceSource(0, &voice);
    Process(*encoder, 256, {&voice}); // both channels pulled: a note
    // The graph pulls nothing (the voice's filter is closed and silent): the
    // voice sounds nothing, and its note ends at the block's start.
    Process(*encoder, 256, {});
    EXPECT_EQ(voice.m_iGenerateCalls, 2) << "reading never generates";
    // The pitch alone wakes the voice, with the timbre it had.
    Hold(voice, 330.0f, 0.9f);
    voice.UpdateBuffer(0, ++m_iStamp, 256);
    encoder->ProcessBlock(m_iStamp, 256);
    EXPECT_EQ(voice.m_iGenerateCalls, 3);
    // A voice taken out of the encoder ends its note at the next block.
    encoder->SetVoiceSource(0, nullptr);
    Process(*encoder, 256, {&voice});

    std::vector<std::pair<int, int64_t>> notes; // (status, sample)
    for (const MidiEvent& e : Drain(*encoder))
    {
        receiver.Apply(e);
        if (e.Status() == 0x80 || e.Status() == 0x90)
            notes.emplace_back(e.Status(), e.iSampleTime);
    }
    EXPECT_TRUE(receiver.faults.empty());
    EXPECT_EQ(notes, (decltype(notes){{0x90, 0}, {0x80, 256}, {0x90, 512}, {0x80, 768}}));
    EXPECT_EQ(receiver.channels[1].timbre, 64) << "the timbre it had, 0.5";

    // A full queue drops and counts what does not fit, keeping the first in order.
    MpeEncoder small(48, 16);
    EXPECT_EQ(small.GetDropped(), 13u); // of the 29 configuration events
    const std::vector<MidiEvent> events = Drain(small);
    ASSERT_EQ(events.size(), 16u);
    EXPECT_EQ((std::pair{events[0].pBytes[1], events[2].pBytes[2]}),
              (std::pair<uint8_t, uint8_t>{101, 4}));
    Hold(voice, 220.0f, 0.5f);
    small.SetVoiceSource(0, &voice);
    Process(small, 256, {&voice});
    EXPECT_EQ(Drain(small).size(), 3u);
}

// The events' ring from the audio thread: numbered events pushed in batches through
// a small ring that wraps hundreds of times all arrive, in order.
TEST(SpscRingThread, EveryItemPassesInOrderThroughAWrappingRing)
{
    constexpr int64_t c_iItems = 50000;
    auto item = [](int64_t i)
    { return MidiEvent::Make(i, static_cast<uint8_t>(0x90 | (i & 15)), i & 127, (i >> 7) & 127); };
    SpscRing<MidiEvent> ring(256);
    std::thread producer(
        [&]
        {
            MidiEvent batch[5];
            for (int64_t i = 0; i < c_iItems; std::this_thread::yield())
            {
                const int64_t n = std::min<int64_t>(5, c_iItems - i);
                for (int64_t k = 0; k < n; ++k)
                    batch[k] = item(i + k);
                i += static_cast<int64_t>(ring.Push(batch, static_cast<size_t>(n)));
            }
        });
    int64_t next = 0, wrong = 0;
    MidiEvent chunk[7];
    for (; next < c_iItems; std::this_thread::yield())
        for (size_t k = 0, n = ring.Pop(chunk, std::size(chunk)); k < n; ++k, ++next)
            wrong += chunk[k].iSampleTime != next ||
                     std::memcmp(chunk[k].pBytes, item(next).pBytes, 3) != 0;
    producer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(ring.Pop(chunk, 1), 0u) << "nothing more than was pushed";
}
