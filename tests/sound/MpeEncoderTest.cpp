// The MPE encoder heard by a model receiver: voices emit known control runs
// (or a real theremin is played with touches), the encoder's events are
// replayed, and the pitch the receiver would sound is compared with the pitch
// each voice emitted, run by run.
#include "sound/MpeEncoder.h"
#include "SoundTestSupport.h"
#include "sound/SpscRing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

using namespace zindle_test;

namespace
{
using Runs = std::vector<std::pair<float, int>>;

constexpr int c_iConfigurationEvents = 29; // RPN 6 on the manager, RPN 0 on four members

// A voice like the theremin: channel 0 pitch in hertz, channel 1 timbre, each
// playing the runs it was given for every block; counts its Generate calls.
class TestVoice : public SoundControlSource
{
  public:
    TestVoice() : SoundControlSource(2) {}
    void Hold(float hz, float timbre)
    {
        pitch = {{hz, 1 << 20}};
        this->timbre = {{timbre, 1 << 20}};
    }
    void Generate(int channel, int, SoundControlBuffer* buffer, int) override
    {
        ++generateCalls;
        for (const auto& [value, length] : channel == 0 ? pitch : timbre)
            buffer->AddValue(value, length);
    }
    // What the graph does with a voice in a block, before the encoder reads it.
    void Pull(int stamp, int count)
    {
        UpdateBuffer(0, stamp, count);
        UpdateBuffer(1, stamp, count);
    }

    Runs pitch{{0.0f, 1 << 20}};
    Runs timbre{{0.0f, 1 << 20}};
    int generateCalls = 0;
};

double Note(double hz)
{
    return 69.0 + 12.0 * std::log2(hz / 440.0);
}
float Hz(int note)
{
    return static_cast<float>(440.0 * std::pow(2.0, (note - 69) / 12.0));
}
int BendOf(const MidiEvent& e)
{
    return e.pBytes[1] | (e.pBytes[2] << 7);
}

// What an MPE synth does with the events: per channel, the note that sounds and
// its bend and timbre. Anything ill-formed is a fault: a note started before
// its bend and timbre were sent, a note off for no note, a value sent again.
struct Receiver
{
    struct Channel
    {
        bool on = false, bendSent = false, timbreSent = false;
        int note = -1, bend = 8192, timbre = -1, noteOns = 0;
    };

    explicit Receiver(int range = 48) : bendRange(range) {}

    void Apply(const MidiEvent& e)
    {
        Channel& c = channels[e.Channel()];
        const std::string where = " on channel " + std::to_string(e.Channel() + 1);
        switch (e.Status())
        {
        case 0x90:
            if (c.on || !c.bendSent || !c.timbreSent || e.pBytes[2] != 100)
                faults.push_back("Note On out of place" + where);
            c = {true, false, false, e.pBytes[1], c.bend, c.timbre, c.noteOns + 1};
            break;
        case 0x80:
            if (!c.on || c.note != e.pBytes[1])
                faults.push_back("Note Off without its Note On" + where);
            c.on = c.bendSent = c.timbreSent = false;
            break;
        case 0xE0:
            if (c.on && BendOf(e) == c.bend)
                faults.push_back("the same bend again" + where);
            c.bend = BendOf(e);
            c.bendSent = true;
            break;
        case 0xB0:
            if (e.pBytes[1] != 74 || (c.on && e.pBytes[2] == c.timbre))
                faults.push_back("a controller other than a new timbre" + where);
            c.timbre = e.pBytes[2];
            c.timbreSent = true;
            break;
        default:
            faults.push_back("unexpected status " + std::to_string(e.pBytes[0]));
        }
    }
    double Pitch(int channel) const
    {
        const Channel& c = channels[channel];
        return c.note + (c.bend - 8192) / 8192.0 * bendRange;
    }

    int bendRange;
    Channel channels[16];
    std::vector<std::string> faults;
};

class MpeEncoderTest : public ::testing::Test
{
  protected:
    static std::vector<MidiEvent> Drain(MpeEncoder& encoder)
    {
        std::vector<MidiEvent> events;
        MidiEvent chunk[64];
        while (const size_t n = encoder.Drain(chunk, 64))
            events.insert(events.end(), chunk, chunk + n);
        return events;
    }
    // A fresh encoder whose configuration has been drained.
    static std::unique_ptr<MpeEncoder> MakeEncoder(int range = 48)
    {
        auto encoder = std::make_unique<MpeEncoder>(range);
        EXPECT_EQ(Drain(*encoder).size(), static_cast<size_t>(c_iConfigurationEvents));
        return encoder;
    }
    // The graph pulls every voice, then the encoder reads the block.
    void Process(MpeEncoder& encoder, int count, std::initializer_list<TestVoice*> voices)
    {
        ++m_iStamp;
        for (TestVoice* voice : voices)
            voice->Pull(m_iStamp, count);
        encoder.ProcessBlock(m_iStamp, count);
    }

    // The graph pulls one block of `voice` (voice 0, MIDI channel 2), then the
    // encoder reads it. At the first sample of every pitch and timbre run the
    // receiver must sound that pitch within a cent (nothing for 0 Hz) with that
    // timbre step, every event must fall on such a sample, and a new note is
    // the nearest one.
    void PlayAndCheck(MpeEncoder& encoder, SoundControlSource& voice, Receiver& receiver, int count,
                      std::vector<MidiEvent>* all = nullptr)
    {
        const int64_t blockStart = encoder.GetSampleTime();
        ++m_iStamp;
        Runs runs[2];
        std::set<int> starts;
        for (int channel = 0; channel < 2; ++channel)
        {
            const SoundControlBuffer* buffer = voice.UpdateBuffer(channel, m_iStamp, count);
            int offset = 0;
            for (int i = 0; i < buffer->GetRunCount(); offset += buffer->GetRun(i++).length)
            {
                runs[channel].emplace_back(buffer->GetRun(i).value, buffer->GetRun(i).length);
                starts.insert(offset);
            }
        }
        encoder.ProcessBlock(m_iStamp, count);
        const std::vector<MidiEvent> events = Drain(encoder);
        if (all)
            all->insert(all->end(), events.begin(), events.end());
        auto valueAt = [](const Runs& r, int offset)
        {
            for (const auto& [value, length] : r)
                if ((offset -= length) < 0)
                    return value;
            return r.back().first;
        };
        const Receiver::Channel& c = receiver.channels[1];
        size_t next = 0;
        for (int offset : starts)
        {
            const int noteOns = c.noteOns;
            for (; next < events.size() && events[next].iSampleTime <= blockStart + offset; ++next)
            {
                EXPECT_EQ(events[next].iSampleTime, blockStart + offset) << "between run starts";
                receiver.Apply(events[next]);
            }
            const float hz = valueAt(runs[0], offset);
            SCOPED_TRACE("sample " + std::to_string(blockStart + offset) + ", " +
                         std::to_string(hz) + " Hz");
            if (hz > 0.0f)
            {
                ASSERT_TRUE(c.on);
                EXPECT_NEAR(receiver.Pitch(1), Note(hz), 0.01);
                EXPECT_EQ(c.timbre, std::lround(valueAt(runs[1], offset) * 127.0f));
                if (c.noteOns > noteOns)
                {
                    EXPECT_EQ(c.note, std::lround(Note(hz))) << "a new note is the nearest";
                }
            }
            else
            {
                EXPECT_FALSE(c.on);
            }
        }
        EXPECT_EQ(next, events.size()) << "events after the block's last run start";
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

TEST_F(MpeEncoderTest, ConfigurationOpensALowerZoneOfFourMemberChannels)
{
    for (int range : {48, 24, 96})
    {
        SCOPED_TRACE("bend range " + std::to_string(range));
        MpeEncoder encoder(range);
        const std::vector<MidiEvent> events = Drain(encoder);
        ASSERT_EQ(events.size(), static_cast<size_t>(c_iConfigurationEvents));
        // The RPNs each channel received: (channel, parameter) -> data entry.
        std::map<std::pair<int, int>, std::pair<int, int>> rpns;
        int selected[16][2];
        for (auto& s : selected)
            s[0] = s[1] = 127;
        for (const MidiEvent& e : events)
        {
            ASSERT_EQ(e.iSampleTime, 0);
            ASSERT_EQ(e.Status(), 0xB0);
            int* s = selected[e.Channel()];
            const std::pair<int, int> key{e.Channel(), s[0] * 128 + s[1]};
            if (e.pBytes[1] == 101 || e.pBytes[1] == 100)
                s[e.pBytes[1] == 101 ? 0 : 1] = e.pBytes[2];
            else if (key.second != 127 * 128 + 127) // data entry for an open RPN
                (e.pBytes[1] == 6 ? rpns[key].first : rpns[key].second) = e.pBytes[2];
        }
        // The zone comes first, then the bend ranges; every RPN is closed.
        EXPECT_EQ(events[0].Channel(), 0);
        std::map<std::pair<int, int>, std::pair<int, int>> expected = {{{0, 6}, {4, 0}}};
        for (int ch = 1; ch <= 4; ++ch)
            expected[{ch, 0}] = {range, 0};
        EXPECT_EQ(rpns, expected);
        for (const auto& s : selected)
            EXPECT_EQ(s[0] * 128 + s[1], 127 * 128 + 127);
    }
    EXPECT_EQ(MpeEncoder(500).GetBendRange(), 96);
    EXPECT_EQ(MpeEncoder(0).GetBendRange(), 1);
}

// One voice on channel 2, followed within a cent at every run: held notes at
// several bend ranges, glides within a note and across the bend range (which
// carry on from a new note), snapped semitone jumps (new notes, the bend
// centred), a lift (the note ends at the sample the pitch drops) and timbre
// steps (controller 74 only when the 7-bit value changes).
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

    struct Performance
    {
        const char* name;
        int range;
        Blocks blocks;
        int noteOns;
        int minBends; // a bend at every run start that moves the pitch by a bend step or more
        bool centred;
    };
    const Performance performances[] = {
        {"held, range 12", 12, held, 4, 0, false},
        {"held, range 48", 48, held, 4, 0, false},
        {"held, range 96", 96, held, 4, 0, false},
        {"glide within a note", 48, Glide(200.0f, 300.0f, 1), 1, 34, false},
        {"glide up across the bend range", 48, Glide(40.0f, 1100.0f, 3), 2, 102, false},
        {"glide down across the bend range", 48, Glide(1100.0f, 40.0f, 3), 2, 102, false},
        {"glide by 24 cents", 48, Glide(440.0f, 446.0f, 2), 1, 39, false},
        {"snapped jumps", 48, jumps, 6, 0, true},
        {"lift and a new finger", 48,
         Held(261.63f, 0.3f) + Blocks{{{{261.63f, 100}, {0.0f, 924}}, {{0.3f, 100}, {0.0f, 924}}}} +
             silence + Held(523.25f, 0.9f),
         2, 0, false},
        {"timbre steps", 48,
         Held(330.0f, 0.0f, 1) + Blocks{{{{330.0f, 1024}}, timbreGlide}} + Held(330.0f, 0.5f, 1) +
             Held(330.0f, 0.503f, 1),
         1, 0, false},
    };
    for (const Performance& p : performances)
    {
        SCOPED_TRACE(p.name);
        auto encoder = MakeEncoder(p.range);
        TestVoice voice;
        encoder->SetVoiceSource(0, &voice);
        Receiver receiver(p.range);
        std::vector<MidiEvent> all;
        for (const auto& [pitch, timbre] : p.blocks)
        {
            voice.pitch = pitch;
            voice.timbre = timbre;
            PlayAndCheck(*encoder, voice, receiver, 1024, &all);
            ASSERT_FALSE(HasFailure());
        }
        EXPECT_EQ(receiver.channels[1].noteOns, p.noteOns);
        int bends = 0, offCentre = 0;
        for (const MidiEvent& e : all)
        {
            bends += e.Status() == 0xE0;
            offCentre += e.Status() == 0xE0 && BendOf(e) != 8192;
        }
        EXPECT_GE(bends, p.minBends);
        EXPECT_TRUE(!p.centred || offCentre == 0) << offCentre << " bends off centre";
    }
}

TEST_F(MpeEncoderTest, FourVoicesPlayOnChannelsTwoToFiveInTimeOrder)
{
    auto encoder = MakeEncoder();
    TestVoice voices[4];
    const float pitches[4] = {110.0f, 233.08f, 311.13f, 987.77f};
    for (int k = 0; k < 4; ++k)
    {
        voices[k].pitch = {{0.0f, 100 * (4 - k)}, {pitches[k], 1024}};
        voices[k].timbre = {{0.0f, 100 * (4 - k)}, {0.25f * k, 1024}};
        encoder->SetVoiceSource(k, &voices[k]);
    }
    Process(*encoder, 1024, {&voices[0], &voices[1], &voices[2], &voices[3]});
    const std::vector<MidiEvent> events = Drain(*encoder);
    ASSERT_EQ(events.size(), 12u);
    Receiver receiver;
    for (size_t i = 0; i < events.size(); ++i)
    {
        const int k = 3 - static_cast<int>(i / 3); // voice 3 starts first (at 100), voice 0 last
        EXPECT_EQ(events[i].Channel(), k + 1);
        EXPECT_EQ(events[i].iSampleTime, 100 * (4 - k));
        receiver.Apply(events[i]);
    }
    EXPECT_TRUE(receiver.faults.empty());
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_NEAR(receiver.Pitch(k + 1), Note(pitches[k]), 0.01);
        EXPECT_EQ(receiver.channels[k + 1].timbre, std::lround(0.25f * k * 127.0f));
    }
}

TEST_F(MpeEncoderTest, ReadsOnlyWhatTheGraphPulledAndNeverGenerates)
{
    auto encoder = MakeEncoder();
    TestVoice voice;
    voice.Hold(220.0f, 0.5f);
    encoder->SetVoiceSource(0, &voice);
    Process(*encoder, 256, {&voice}); // both channels pulled: a note
    // The graph pulls nothing (the voice's filter is closed and silent): the
    // voice sounds nothing, and its note ends at the block's start.
    Process(*encoder, 256, {});
    EXPECT_EQ(voice.generateCalls, 2) << "reading never generates";
    // The pitch alone wakes the voice, with the timbre it had.
    voice.Hold(330.0f, 0.9f);
    voice.UpdateBuffer(0, ++m_iStamp, 256);
    encoder->ProcessBlock(m_iStamp, 256);
    EXPECT_EQ(voice.generateCalls, 3);
    // A voice taken out of the encoder ends its note at the next block.
    encoder->SetVoiceSource(0, nullptr);
    Process(*encoder, 256, {&voice});

    const std::vector<MidiEvent> events = Drain(*encoder);
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[3].Status(), 0x80);
    EXPECT_EQ(events[3].iSampleTime, 256);
    EXPECT_EQ(events[5].pBytes[2], 64); // timbre 0.5, held
    EXPECT_EQ(events[6].Status(), 0x90);
    EXPECT_EQ(events[6].iSampleTime, 512);
    EXPECT_EQ(events[7].Status(), 0x80);
    EXPECT_EQ(events[7].iSampleTime, 768);
}

TEST_F(MpeEncoderTest, PitchesBeyondMidisNotesHoldTheEdgeWithoutRetriggering)
{
    // More than 48 semitones below note 0 and above note 127.
    const std::tuple<float, float, int, int> cases[] = {{0.1f, 0.2f, 0, 0},
                                                        {300000.0f, 250000.0f, 127, 16383}};
    for (const auto& [hz, later, note, bend] : cases)
    {
        SCOPED_TRACE(std::to_string(hz) + " Hz");
        auto encoder = MakeEncoder();
        TestVoice voice;
        voice.Hold(hz, 0.5f);
        encoder->SetVoiceSource(0, &voice);
        for (int b = 0; b < 3; ++b)
            Process(*encoder, 256, {&voice});
        voice.Hold(later, 0.5f);
        Process(*encoder, 256, {&voice});
        const std::vector<MidiEvent> events = Drain(*encoder);
        ASSERT_EQ(events.size(), 3u);
        EXPECT_EQ(BendOf(events[0]), bend);
        EXPECT_EQ(events[2].Status(), 0x90);
        EXPECT_EQ(events[2].pBytes[1], note);
    }
}

TEST_F(MpeEncoderTest, AFullQueueDropsAndCountsWhatDoesNotFit)
{
    MpeEncoder encoder(48, 16);
    EXPECT_EQ(encoder.GetDropped(), static_cast<size_t>(c_iConfigurationEvents - 16));
    const std::vector<MidiEvent> events = Drain(encoder);
    ASSERT_EQ(events.size(), 16u);
    EXPECT_EQ(events[0].pBytes[1], 101); // the first ones, in order
    EXPECT_EQ(events[2].pBytes[2], 4);
    TestVoice voice;
    voice.Hold(220.0f, 0.5f);
    encoder.SetVoiceSource(0, &voice);
    Process(encoder, 256, {&voice});
    EXPECT_EQ(Drain(encoder).size(), 3u);
}

// A real theremin played with touches: Snap sends whole semitones with the bend
// centred, Off and the gentle modes glide on one note, resting the gentle modes
// and Snap end on a semitone, and the lift ends the note at its block.
TEST_F(MpeEncoderTest, ARealThereminIsFollowedInEveryAutotuneMode)
{
    Fingers fingers;
    SoundControl_Theremin theremin;
    theremin.SetCamera(&fingers.camera);
    const std::tuple<const char*, int, bool> modes[] = {
        {"Snap", 0, true}, {"Off", 0, false}, {"Fast", 264, true}, {"Slow", 4410, true}};
    for (const auto& [name, samples, enabled] : modes)
    {
        SCOPED_TRACE(name);
        SoundControl_Theremin::SetAutotuneSamples(samples, enabled);
        auto encoder = MakeEncoder();
        encoder->SetVoiceSource(0, &theremin);
        Receiver receiver;
        std::vector<MidiEvent> all;
        auto play = [&](int blocks)
        {
            for (int b = 0; b < blocks; ++b)
                PlayAndCheck(*encoder, theremin, receiver, 512, &all);
        };
        fingers.Down(0, 100, 80);
        play(3);
        for (int x = 110; x <= 400; x += 10)
        {
            fingers.Move(0, x, 80 + x / 4);
            play(1);
        }
        play(12); // rest: the gentle modes correct onto a note
        const double resting = receiver.Pitch(1);
        fingers.Up(0);
        const int64_t lifted = encoder->GetSampleTime();
        play(2);
        ASSERT_FALSE(HasFailure());
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().Status(), 0x80);
        EXPECT_EQ(all.back().iSampleTime, lifted);
        int offCentre = 0;
        for (const MidiEvent& e : all)
            offCentre += e.Status() == 0xE0 && BendOf(e) != 8192;
        const bool snap = std::string(name) == "Snap";
        EXPECT_EQ(offCentre == 0, snap);
        EXPECT_EQ(receiver.channels[1].noteOns > 10, snap) << "one note per zone crossed";
        EXPECT_EQ(receiver.channels[1].noteOns == 1, !snap);
        EXPECT_TRUE(!enabled || std::fabs(resting - std::round(resting)) < 0.01) << resting;
    }
}

// The ring that carries the events from the audio thread to the main thread: a
// producer thread pushes numbered events in batches (again what did not fit)
// through a small ring that wraps hundreds of times, and the consumer thread
// receives every one, in order.
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
            for (int64_t i = 0; i < c_iItems;)
            {
                const size_t n = static_cast<size_t>(std::min<int64_t>(5, c_iItems - i));
                for (size_t k = 0; k < n; ++k)
                    batch[k] = item(i + static_cast<int64_t>(k));
                const size_t pushed = ring.Push(batch, n);
                i += static_cast<int64_t>(pushed);
                if (pushed < n)
                    std::this_thread::yield();
            }
        });
    int64_t next = 0, wrong = 0;
    MidiEvent chunk[7];
    while (next < c_iItems)
    {
        const size_t n = ring.Pop(chunk, std::size(chunk));
        for (size_t k = 0; k < n; ++k, ++next)
        {
            const MidiEvent expected = item(next);
            wrong += chunk[k].iSampleTime != expected.iSampleTime ||
                     std::memcmp(chunk[k].pBytes, expected.pBytes, 3) != 0;
        }
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(ring.Pop(chunk, 1), 0u) << "nothing more than was pushed";
}
