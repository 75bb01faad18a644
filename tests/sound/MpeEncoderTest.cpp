// The MPE encoder heard by a model receiver: voices emit known control runs
// (or a real theremin is played with touches), the encoder's events are
// replayed, and the pitch the receiver would sound is compared with the pitch
// each voice emitted, run by run.
#include "sound/MpeEncoder.h"
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "sound/SoundControl_Theremin.h"
#include "sound/SoundSource_Osc_Sine.h"
#include "sound/SoundTestSupport.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace
{
using Runs = std::vector<std::pair<float, int>>;

constexpr int c_iConfigurationEvents = 29; // RPN 6 on the manager, RPN 0 on four members

// A voice like the theremin: channel 0 pitch in hertz, channel 1 timbre, each
// playing the runs it was given for every block; counts its Generate calls.
// Every voice alive is in the graph that MpeEncoderTest::Process pulls.
class TestVoice : public SoundControlSource
{
  public:
    TestVoice() : SoundControlSource(2) { Graph().push_back(this); }
    ~TestVoice() override { std::erase(Graph(), this); }
    static std::vector<TestVoice*>& Graph()
    {
        static std::vector<TestVoice*> graph;
        return graph;
    }
    // What the graph does with a voice in a block, before the encoder reads it.
    void Pull(int stamp, int count)
    {
        UpdateBuffer(0, stamp, count);
        UpdateBuffer(1, stamp, count);
    }

    void Hold(float hz, float timbre)
    {
        m_pitch = {{hz, 1 << 20}};
        m_timbre = {{timbre, 1 << 20}};
    }
    void Generate(int channel, int, SoundControlBuffer* buffer, int) override
    {
        ++m_iGenerateCalls;
        for (const auto& [value, length] : channel == 0 ? m_pitch : m_timbre)
            buffer->AddValue(value, length);
    }

    Runs m_pitch{{0.0f, 1 << 20}};
    Runs m_timbre{{0.0f, 1 << 20}};
    int m_iGenerateCalls = 0;
};

double Note(double hz)
{
    return 69.0 + 12.0 * std::log2(hz / 440.0);
}

// What an MPE synth does with the events: per channel, the note that sounds and
// its bend and timbre; anything ill-formed is recorded as a fault.
struct Receiver
{
    struct Channel
    {
        bool on = false;
        int note = -1;
        int bend = 8192;
        int timbre = -1;
        int noteOns = 0;
    };

    explicit Receiver(int range = 48) : bendRange(range) {}

    void Apply(const MidiEvent& e)
    {
        Channel& c = channels[e.Channel()];
        switch (e.Status())
        {
        case 0x90:
            if (c.on)
                faults.push_back("Note On while a note sounds on channel " +
                                 std::to_string(e.Channel() + 1));
            if (e.pBytes[2] != 100)
                faults.push_back("velocity " + std::to_string(e.pBytes[2]));
            c.on = true;
            c.note = e.pBytes[1];
            ++c.noteOns;
            break;
        case 0x80:
            if (!c.on || c.note != e.pBytes[1])
                faults.push_back("Note Off without its Note On");
            c.on = false;
            break;
        case 0xE0:
            c.bend = e.pBytes[1] | (e.pBytes[2] << 7);
            break;
        case 0xB0:
            if (e.pBytes[1] == 74)
                c.timbre = e.pBytes[2];
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
    std::vector<MidiEvent> Drain(MpeEncoder& encoder)
    {
        std::vector<MidiEvent> events;
        MidiEvent chunk[64];
        size_t n;
        while ((n = encoder.Drain(chunk, 64)) > 0)
            events.insert(events.end(), chunk, chunk + n);
        return events;
    }
    // A fresh encoder whose configuration has been drained.
    std::unique_ptr<MpeEncoder> MakeEncoder(int range = 48)
    {
        auto encoder = std::make_unique<MpeEncoder>(range);
        EXPECT_EQ(Drain(*encoder).size(), static_cast<size_t>(c_iConfigurationEvents));
        return encoder;
    }
    // The graph pulls every voice, then the encoder reads the block.
    void Process(MpeEncoder& encoder, int count)
    {
        ++m_iStamp;
        for (TestVoice* voice : TestVoice::Graph())
            voice->Pull(m_iStamp, count);
        encoder.ProcessBlock(m_iStamp, count);
    }

    // Processes one block of the voice's runs and checks, at the first sample
    // of every pitch and timbre run, that the receiver sounds that pitch within
    // a cent (or nothing for 0 Hz) and has that timbre step.
    void PlayAndCheck(MpeEncoder& encoder, TestVoice& voice, int channel, Receiver& receiver,
                      int count, std::vector<MidiEvent>* all = nullptr)
    {
        const int64_t blockStart = encoder.GetSampleTime();
        Process(encoder, count);
        const std::vector<MidiEvent> events = Drain(encoder);
        if (all)
            all->insert(all->end(), events.begin(), events.end());
        std::map<int, std::pair<float, float>> checkpoints; // offset -> (hz, timbre)
        auto valueAt = [](const Runs& runs, int offset)
        {
            int end = 0;
            for (const auto& [value, length] : runs)
            {
                end += length;
                if (offset < end)
                    return value;
            }
            return runs.back().first;
        };
        for (const Runs* runs : {&voice.m_pitch, &voice.m_timbre})
        {
            int offset = 0;
            for (const auto& run : *runs)
            {
                if (offset >= count)
                    break;
                checkpoints[offset] = {valueAt(voice.m_pitch, offset),
                                       valueAt(voice.m_timbre, offset)};
                offset += run.second;
            }
        }
        size_t next = 0;
        for (const auto& [offset, values] : checkpoints)
        {
            while (next < events.size() && events[next].iSampleTime <= blockStart + offset)
            {
                EXPECT_GE(events[next].iSampleTime, blockStart);
                if (next > 0)
                {
                    EXPECT_GE(events[next].iSampleTime, events[next - 1].iSampleTime);
                }
                receiver.Apply(events[next++]);
            }
            const auto& [hz, timbre] = values;
            SCOPED_TRACE("sample " + std::to_string(blockStart + offset) + ", " +
                         std::to_string(hz) + " Hz");
            const Receiver::Channel& c = receiver.channels[channel];
            if (hz > 0.0f)
            {
                ASSERT_TRUE(c.on);
                EXPECT_NEAR(receiver.Pitch(channel), Note(hz), 0.01);
                EXPECT_EQ(c.timbre, std::lround(timbre * 127.0f));
            }
            else
            {
                EXPECT_FALSE(c.on);
            }
        }
        EXPECT_EQ(next, events.size()) << "events after the block's last run start";
        EXPECT_TRUE(receiver.faults.empty()) << receiver.faults.front();
    }

    zindle_test::ScopedSoundManager m_sound;
    int m_iStamp = 0;
};

// The RPNs each channel received: (channel, parameter) -> data entry (MSB, LSB).
std::map<std::pair<int, int>, std::pair<int, int>> Rpns(const std::vector<MidiEvent>& events)
{
    std::map<std::pair<int, int>, std::pair<int, int>> rpns;
    int selected[16][2];
    for (auto& s : selected)
        s[0] = s[1] = 127;
    for (const MidiEvent& e : events)
    {
        if (e.Status() != 0xB0)
            continue;
        const int ch = e.Channel();
        const int parameter = selected[ch][0] * 128 + selected[ch][1];
        switch (e.pBytes[1])
        {
        case 101:
            selected[ch][0] = e.pBytes[2];
            break;
        case 100:
            selected[ch][1] = e.pBytes[2];
            break;
        case 6:
            if (parameter != 127 * 128 + 127)
                rpns[{ch, parameter}] = {e.pBytes[2], 0};
            break;
        case 38:
            if (parameter != 127 * 128 + 127)
                rpns[{ch, parameter}].second = e.pBytes[2];
            break;
        }
    }
    return rpns;
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
        for (const MidiEvent& e : events)
        {
            EXPECT_EQ(e.iSampleTime, 0);
            EXPECT_EQ(e.Status(), 0xB0);
        }
        // The zone comes first, then the bend ranges; every RPN is closed.
        EXPECT_EQ(events[0].Channel(), 0);
        const auto rpns = Rpns(events);
        std::map<std::pair<int, int>, std::pair<int, int>> expected = {{{0, 6}, {4, 0}}};
        for (int ch = 1; ch <= 4; ++ch)
            expected[{ch, 0}] = {range, 0};
        EXPECT_EQ(rpns, expected);
        EXPECT_EQ(events.back().pBytes[1], 100);
        EXPECT_EQ(events.back().pBytes[2], 127);
    }
    EXPECT_EQ(MpeEncoder(500).GetBendRange(), 96);
    EXPECT_EQ(MpeEncoder(0).GetBendRange(), 1);
}

TEST_F(MpeEncoderTest, OneVoicePlaysOneNoteOnChannelTwoAtThePitchItSounds)
{
    // Across the whole reach of the voices, between semitones and on them.
    for (int range : {48, 12, 96})
    {
        for (float hz : {12.07f, 29.99f, 65.406395f, 185.0f, 440.0f, 452.9f, 1141.2f, 2834.5f})
        {
            SCOPED_TRACE(std::to_string(hz) + " Hz, range " + std::to_string(range));
            auto encoder = MakeEncoder(range);
            TestVoice voice;
            voice.Hold(hz, 0.6f);
            encoder->SetVoiceSource(0, &voice);
            Process(*encoder, 512);
            const std::vector<MidiEvent> events = Drain(*encoder);
            ASSERT_EQ(events.size(), 3u);
            EXPECT_EQ(events[0].Status(), 0xE0);
            EXPECT_EQ(events[1].Status(), 0xB0);
            EXPECT_EQ(events[1].pBytes[1], 74);
            EXPECT_EQ(events[1].pBytes[2], 76); // 0.6 * 127
            EXPECT_EQ(events[2].Status(), 0x90);
            EXPECT_EQ(events[2].pBytes[1], std::lround(Note(hz)));
            EXPECT_EQ(events[2].pBytes[2], 100);
            Receiver receiver(range);
            for (const MidiEvent& e : events)
            {
                EXPECT_EQ(e.Channel(), 1);
                EXPECT_EQ(e.iSampleTime, 0);
                receiver.Apply(e);
            }
            EXPECT_NEAR(receiver.Pitch(1), Note(hz), 0.01);
            // A held pitch sends nothing more.
            Process(*encoder, 512);
            EXPECT_TRUE(Drain(*encoder).empty());
        }
    }
}

TEST_F(MpeEncoderTest, FourVoicesPlayOnChannelsTwoToFiveInTimeOrder)
{
    auto encoder = MakeEncoder();
    TestVoice voices[4];
    const float pitches[4] = {110.0f, 233.08f, 311.13f, 987.77f};
    for (int k = 0; k < 4; ++k)
    {
        voices[k].m_pitch = {{0.0f, 100 * (4 - k)}, {pitches[k], 1024}};
        voices[k].m_timbre = {{0.0f, 100 * (4 - k)}, {0.25f * k, 1024}};
        encoder->SetVoiceSource(k, &voices[k]);
    }
    Process(*encoder, 1024);
    const std::vector<MidiEvent> events = Drain(*encoder);
    ASSERT_EQ(events.size(), 12u);
    Receiver receiver;
    for (size_t i = 0; i < events.size(); ++i)
    {
        // Voice 3 starts first (at 100), voice 0 last (at 400).
        const int k = 3 - static_cast<int>(i / 3);
        EXPECT_EQ(events[i].Channel(), k + 1);
        EXPECT_EQ(events[i].iSampleTime, 100 * (4 - k));
        receiver.Apply(events[i]);
    }
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_TRUE(receiver.channels[k + 1].on);
        EXPECT_NEAR(receiver.Pitch(k + 1), Note(pitches[k]), 0.01);
        EXPECT_EQ(receiver.channels[k + 1].timbre, std::lround(0.25f * k * 127.0f));
    }
    EXPECT_EQ(receiver.channels[0].noteOns + receiver.channels[5].noteOns, 0);
}

TEST_F(MpeEncoderTest, WholeSemitoneJumpsPlayNewNotesWithTheBendCentred)
{
    // What snapping emits: whole semitones, jumping at run boundaries.
    auto encoder = MakeEncoder();
    TestVoice voice;
    Receiver receiver;
    std::vector<MidiEvent> all;
    const int notes[] = {57, 60, 59, 67, 31, 79};
    auto hz = [](int note)
    { return static_cast<float>(440.0 * std::pow(2.0, (note - 69) / 12.0)); };
    for (size_t i = 0; i + 1 < std::size(notes); ++i)
    {
        voice.m_pitch = {{hz(notes[i]), 300}, {hz(notes[i + 1]), 1024}};
        voice.m_timbre = {{0.5f, 1024}};
        encoder->SetVoiceSource(0, &voice);
        PlayAndCheck(*encoder, voice, 1, receiver, 512, &all);
    }
    int noteOns = 0;
    for (const MidiEvent& e : all)
    {
        if (e.Status() == 0xE0)
        {
            EXPECT_EQ(e.pBytes[1] | (e.pBytes[2] << 7), 8192) << "at " << e.iSampleTime;
        }
        if (e.Status() == 0x90)
        {
            EXPECT_EQ(e.pBytes[1], notes[noteOns++]);
        }
    }
    EXPECT_EQ(noteOns, 6);
}

TEST_F(MpeEncoderTest, GlidesSendBendsThatFollowThePitchWithinACent)
{
    // Linear glides in 30-sample runs, as the theremin emits them: a short one
    // that stays on its note, and one across more than the bend range, which
    // carries on from a new note.
    struct Case
    {
        float from, to;
        int blocks, expectedNotes;
    };
    for (const Case& c : {Case{200.0f, 300.0f, 4, 1}, Case{40.0f, 1100.0f, 12, 2},
                          Case{1100.0f, 40.0f, 12, 2}, Case{440.0f, 446.0f, 8, 1}})
    {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to) + " Hz");
        auto encoder = MakeEncoder();
        TestVoice voice;
        encoder->SetVoiceSource(0, &voice);
        Receiver receiver;
        std::vector<MidiEvent> all;
        voice.Hold(c.from, 0.5f);
        PlayAndCheck(*encoder, voice, 1, receiver, 256, &all);
        const int count = 256, steps = count / 30;
        float f = c.from;
        const float step = (c.to - c.from) / static_cast<float>(steps * c.blocks);
        for (int b = 0; b < c.blocks; ++b)
        {
            voice.m_pitch.clear();
            for (int s = 0; s < steps; ++s)
            {
                f += step;
                voice.m_pitch.push_back({f, 30});
            }
            voice.m_pitch.push_back({f, count - 30 * steps});
            PlayAndCheck(*encoder, voice, 1, receiver, count, &all);
        }
        EXPECT_EQ(receiver.channels[1].noteOns, c.expectedNotes);
        // A bend goes out at each run start that moves the pitch by a bend
        // step (48 semitones / 8192) or more: every run of the wide glides, and
        // at least one per step of the narrow one.
        int bends = 0;
        for (const MidiEvent& e : all)
            bends += e.Status() == 0xE0;
        const double cents = std::fabs(Note(c.to) - Note(c.from)) * 100.0;
        const double bendStep = 4800.0 / 8192.0;
        EXPECT_GE(bends, std::min<double>(steps * c.blocks, cents / bendStep - 1.0));
    }
}

TEST_F(MpeEncoderTest, LiftSendsNoteOffAtTheSampleWhereThePitchDrops)
{
    auto encoder = MakeEncoder();
    TestVoice voice;
    encoder->SetVoiceSource(0, &voice);
    Receiver receiver;
    voice.Hold(261.63f, 0.3f);
    PlayAndCheck(*encoder, voice, 1, receiver, 256);
    PlayAndCheck(*encoder, voice, 1, receiver, 256);

    // The finger lifts: the pitch drops to 0 at sample 100 of the third block.
    voice.m_pitch = {{261.63f, 100}, {0.0f, 1024}};
    voice.m_timbre = {{0.3f, 100}, {0.0f, 1024}};
    std::vector<MidiEvent> events;
    PlayAndCheck(*encoder, voice, 1, receiver, 256, &events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Status(), 0x80);
    EXPECT_EQ(events[0].pBytes[1], 60);
    EXPECT_EQ(events[0].iSampleTime, 512 + 100);

    // Silence sends nothing; the next finger starts a note at its block.
    voice.Hold(0.0f, 0.0f);
    events.clear();
    PlayAndCheck(*encoder, voice, 1, receiver, 256, &events);
    EXPECT_TRUE(events.empty());
    voice.Hold(523.25f, 0.9f);
    PlayAndCheck(*encoder, voice, 1, receiver, 256, &events);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].Status(), 0x90);
    EXPECT_EQ(events[2].pBytes[1], 72);
    EXPECT_EQ(events[2].iSampleTime, 1024);
}

TEST_F(MpeEncoderTest, TimbreSendsControllerSeventyFourOnEveryStepOnly)
{
    auto encoder = MakeEncoder();
    TestVoice voice;
    encoder->SetVoiceSource(0, &voice);
    Receiver receiver;
    voice.Hold(330.0f, 0.0f);
    PlayAndCheck(*encoder, voice, 1, receiver, 256);

    // A timbre glide from 0 to 1 in 30-sample runs: each run start that
    // changes the 7-bit value sends it, and only those.
    std::vector<MidiEvent> events;
    voice.m_timbre.clear();
    int expected = 0, last = 0;
    for (int s = 1; s <= 34; ++s)
    {
        const float t = s / 34.0f;
        voice.m_timbre.push_back({t, 30});
        const int value = static_cast<int>(std::lround(t * 127.0f));
        expected += value != last;
        last = value;
    }
    voice.m_timbre.push_back({1.0f, 4});
    PlayAndCheck(*encoder, voice, 1, receiver, 1024, &events);
    ASSERT_EQ(static_cast<int>(events.size()), expected);
    for (const MidiEvent& e : events)
    {
        EXPECT_EQ(e.Status(), 0xB0);
        EXPECT_EQ(e.pBytes[1], 74);
    }
    EXPECT_EQ(receiver.channels[1].timbre, 127);

    // Less than a step sends nothing: 0.5 and 0.503 are both 64.
    voice.Hold(330.0f, 0.5f);
    PlayAndCheck(*encoder, voice, 1, receiver, 256);
    events.clear();
    voice.Hold(330.0f, 0.503f);
    PlayAndCheck(*encoder, voice, 1, receiver, 256, &events);
    EXPECT_TRUE(events.empty());
}

TEST_F(MpeEncoderTest, ReadsOnlyWhatTheGraphPulledAndNeverGenerates)
{
    auto encoder = MakeEncoder();
    TestVoice voice;
    voice.Hold(220.0f, 0.5f);
    encoder->SetVoiceSource(0, &voice);

    // The graph pulls both channels: the encoder reads the same block.
    voice.Pull(++m_iStamp, 256);
    encoder->ProcessBlock(m_iStamp, 256);
    // The graph pulls nothing (the voice's filter is closed and silent): the
    // voice sounds nothing, and its note ends at the block's start.
    encoder->ProcessBlock(++m_iStamp, 256);
    EXPECT_EQ(voice.m_iGenerateCalls, 2) << "reading never generates";
    // The pitch alone wakes the voice, with the timbre it had.
    voice.Hold(330.0f, 0.9f);
    voice.UpdateBuffer(0, ++m_iStamp, 256);
    encoder->ProcessBlock(m_iStamp, 256);
    EXPECT_EQ(voice.m_iGenerateCalls, 3);

    const std::vector<MidiEvent> events = Drain(*encoder);
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[3].Status(), 0x80);
    EXPECT_EQ(events[3].iSampleTime, 256);
    EXPECT_EQ(events[5].pBytes[1], 74);
    EXPECT_EQ(events[5].pBytes[2], 64); // 0.5, held
    EXPECT_EQ(events[6].Status(), 0x90);
    EXPECT_EQ(events[6].iSampleTime, 512);
}

TEST_F(MpeEncoderTest, RemovedVoicesAndTheEndOfPlayingReleaseEveryNote)
{
    auto encoder = MakeEncoder();
    TestVoice a, b;
    a.Hold(220.0f, 0.5f);
    b.Hold(330.0f, 0.5f);
    encoder->SetVoiceSource(0, &a);
    encoder->SetVoiceSource(3, &b);
    Process(*encoder, 256);
    encoder->SetVoiceSource(0, nullptr);
    Process(*encoder, 256);
    encoder->EndNotes();
    encoder->EndNotes(); // nothing sounds any more
    const std::vector<MidiEvent> events = Drain(*encoder);
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[6].Status(), 0x80);
    EXPECT_EQ(events[6].Channel(), 1);
    EXPECT_EQ(events[6].iSampleTime, 256);
    EXPECT_EQ(events[7].Status(), 0x80);
    EXPECT_EQ(events[7].Channel(), 4);
    EXPECT_EQ(events[7].iSampleTime, 512);
}

TEST_F(MpeEncoderTest, PitchesBeyondMidisNotesHoldTheEdgeWithoutRetriggering)
{
    struct Case
    {
        float hz, later;
        int note, bend;
    };
    // More than 48 semitones below note 0 and above note 127.
    for (const Case& c : {Case{0.1f, 0.2f, 0, 0}, Case{300000.0f, 250000.0f, 127, 16383}})
    {
        SCOPED_TRACE(std::to_string(c.hz) + " Hz");
        auto encoder = MakeEncoder();
        TestVoice voice;
        voice.Hold(c.hz, 0.5f);
        encoder->SetVoiceSource(0, &voice);
        for (int b = 0; b < 3; ++b)
            Process(*encoder, 256);
        voice.Hold(c.later, 0.5f);
        Process(*encoder, 256);
        const std::vector<MidiEvent> events = Drain(*encoder);
        ASSERT_EQ(events.size(), 3u);
        EXPECT_EQ(events[0].pBytes[1] | (events[0].pBytes[2] << 7), c.bend);
        EXPECT_EQ(events[2].Status(), 0x90);
        EXPECT_EQ(events[2].pBytes[1], c.note);
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
    Process(encoder, 256);
    EXPECT_EQ(Drain(encoder).size(), 3u);
}

namespace
{
// Real theremins played with touches through the real touch manager.
class MpeEncoderThereminTest : public MpeEncoderTest
{
  protected:
    void SetUp() override
    {
        TouchManager::Startup();
        SoundControl_Theremin::ResetSettings();
        m_camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
        m_voice = std::make_unique<SoundControl_Theremin>();
        m_voice->SetCamera(&m_camera);
    }
    void TearDown() override
    {
        m_voice.reset();
        TouchManager::Shutdown();
        SoundControl_Theremin::ResetSettings();
    }
    void Touch(int phase, int x, int y)
    {
        TouchManager* manager = TouchManager::GetInstance();
        if (phase == 0)
            manager->TouchBegan(&m_handle, x - TouchManager::c_iOffsetX, y);
        else if (phase == 1)
            manager->TouchMoved(manager->FindTouchID(&m_handle), x - TouchManager::c_iOffsetX, y);
        else
            manager->TouchEnded(manager->FindTouchID(&m_handle), x - TouchManager::c_iOffsetX, y);
    }
    // The graph pulls the theremin's next block (pitch first, as the voice's
    // oscillator does); the mirror keeps its runs for the checks.
    void PullNextBlock(TestVoice& mirror, int count)
    {
        for (int channel = 0; channel < 2; ++channel)
        {
            const SoundControlBuffer* buffer = m_voice->UpdateBuffer(channel, m_iStamp + 1, count);
            Runs& runs = channel == 0 ? mirror.m_pitch : mirror.m_timbre;
            runs.clear();
            for (int i = 0; i < buffer->GetRunCount(); ++i)
                runs.push_back({buffer->GetRun(i).value, buffer->GetRun(i).length});
        }
    }

    Camera_2D m_camera;
    std::unique_ptr<SoundControl_Theremin> m_voice;
    char m_handle = 0;
};
} // namespace

TEST_F(MpeEncoderThereminTest, AFingerIsHeardOnChannelTwoInEveryAutotuneMode)
{
    // Snap sends whole semitones with the bend centred; Off and the gentle
    // modes send glides; in every mode the receiver follows the theremin within
    // a cent at each run, and the lift ends the note at the block it sounds.
    struct Mode
    {
        const char* name;
        int samples;
        bool enabled;
    };
    for (const Mode& mode : {Mode{"Snap", 0, true}, Mode{"Off", 0, false}, Mode{"Fast", 264, true},
                             Mode{"Slow", 4410, true}})
    {
        SCOPED_TRACE(mode.name);
        SoundControl_Theremin::SetAutotuneSamples(mode.samples, mode.enabled);
        auto encoder = MakeEncoder();
        encoder->SetVoiceSource(0, m_voice.get());
        Receiver receiver;
        TestVoice mirror; // the theremin's runs, for the checks
        std::vector<MidiEvent> all;
        auto play = [&](int blocks)
        {
            for (int b = 0; b < blocks; ++b)
            {
                PullNextBlock(mirror, 512);
                // The encoder then reads the block the graph pulled.
                PlayAndCheck(*encoder, mirror, 1, receiver, 512, &all);
            }
        };
        Touch(0, 100, 80);
        play(3);
        for (int x = 110; x <= 400; x += 10)
        {
            Touch(1, x, 80 + x / 4);
            play(1);
        }
        play(12); // rest: the gentle modes correct onto a note
        Touch(2, 400, 180);
        const int64_t lifted = encoder->GetSampleTime();
        play(2);
        ASSERT_FALSE(HasFailure());
        EXPECT_FALSE(receiver.channels[1].on);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back().Status(), 0x80);
        EXPECT_EQ(all.back().iSampleTime, lifted);
        int bendsOffCentre = 0, noteOns = 0;
        for (const MidiEvent& e : all)
        {
            bendsOffCentre += e.Status() == 0xE0 && (e.pBytes[1] | (e.pBytes[2] << 7)) != 8192;
            noteOns += e.Status() == 0x90;
        }
        if (std::string(mode.name) == "Snap")
        {
            EXPECT_EQ(bendsOffCentre, 0);
            EXPECT_GT(noteOns, 10); // one per note zone crossed
        }
        else
        {
            EXPECT_GT(bendsOffCentre, 20);
            EXPECT_EQ(noteOns, 1);
        }
        if (mode.enabled)
        {
            // Resting, the gentle modes and snap end exactly on a semitone.
            EXPECT_NEAR(receiver.channels[1].note +
                            (receiver.channels[1].bend - 8192) / 8192.0 * 48,
                        std::round(receiver.Pitch(1)), 0.01);
        }
    }
}

TEST_F(MpeEncoderThereminTest, NotePlusBendIsThePitchTheVoiceSounds)
{
    // The block loop as the instrument runs it: the sound manager pulls a sine
    // voice that follows the theremin, then the encoder reads the same block.
    // The receiver's note plus bend is compared with the sine's measured pitch.
    SoundControl_Theremin::SetAutotuneSamples(0, false);
    SoundSource_Osc_Sine sine;
    sine.SetPitchSource(m_voice.get(), 0);
    SoundManager* manager = SoundManager::GetInstance();
    manager->SetStreamSource(&sine);
    for (int x : {13, 150, 241, 377, 466})
    {
        SCOPED_TRACE("finger at x = " + std::to_string(x));
        auto encoder = MakeEncoder();
        encoder->SetVoiceSource(0, m_voice.get());
        Touch(0, x, 100);
        std::vector<float> audio;
        for (int b = 0; b < 2 * 44100 / 256; ++b)
        {
            const int stamp = manager->GetTimeStamp();
            const float* block = manager->PullBlock(256);
            ASSERT_NE(block, nullptr);
            audio.insert(audio.end(), block, block + 256);
            encoder->ProcessBlock(stamp, 256);
        }
        Touch(2, x, 100);
        Receiver receiver;
        for (const MidiEvent& e : Drain(*encoder))
            receiver.Apply(e);
        ASSERT_TRUE(receiver.channels[1].on);
        EXPECT_EQ(receiver.channels[1].noteOns, 1);
        const double measured = zindle_test::MeasureFrequency(audio, 512);
        EXPECT_NEAR(receiver.Pitch(1), Note(measured), 0.01) << measured << " Hz";
        // Let the note end before the next finger.
        for (int b = 0; b < 2; ++b)
        {
            const int stamp = manager->GetTimeStamp();
            manager->PullBlock(256);
            encoder->ProcessBlock(stamp, 256);
        }
    }
    manager->SetStreamSource(nullptr);
}

TEST(MpeEncoderThread, AudioThreadProducesMainThreadDrainsNothingLostOrReordered)
{
    zindle_test::ScopedSoundManager sound;
    // Four voices gliding and lifting in a pattern; a reference encoder run on
    // one thread gives the events expected, and how many each block makes.
    auto setBlock = [](TestVoice* voices, int block)
    {
        for (int k = 0; k < 4; ++k)
        {
            voices[k].m_pitch.clear();
            voices[k].m_timbre.clear();
            const bool sounding = (block + 7 * k) % 23 < 17;
            for (int s = 0; s < 8; ++s)
            {
                const float hz =
                    sounding ? 100.0f * (k + 1) * (1.0f + 0.001f * ((block * 8 + s) % 400)) : 0.0f;
                voices[k].m_pitch.push_back({hz, 32});
                voices[k].m_timbre.push_back({sounding ? ((block + s) % 50) / 50.0f : 0.0f, 32});
            }
        }
    };
    constexpr int c_iBlocks = 3000;
    std::vector<MidiEvent> expected;
    std::vector<size_t> expectedAfterBlock;
    {
        MpeEncoder reference(48, 1 << 22);
        TestVoice voices[4];
        for (int k = 0; k < 4; ++k)
            reference.SetVoiceSource(k, &voices[k]);
        MidiEvent e;
        while (reference.Drain(&e, 1) == 1)
            expected.push_back(e);
        for (int b = 0; b < c_iBlocks; ++b)
        {
            setBlock(voices, b);
            for (TestVoice& voice : voices)
                voice.Pull(b + 1, 256);
            reference.ProcessBlock(b + 1, 256);
            while (reference.Drain(&e, 1) == 1)
                expected.push_back(e);
            expectedAfterBlock.push_back(expected.size());
        }
        reference.EndNotes();
        while (reference.Drain(&e, 1) == 1)
            expected.push_back(e);
    }
    ASSERT_GT(expected.size(), 50000u);

    MpeEncoder encoder(48, 1024); // far smaller than the whole performance
    TestVoice voices[4];
    for (int k = 0; k < 4; ++k)
        encoder.SetVoiceSource(k, &voices[k]);
    std::atomic<size_t> drained{0};
    std::atomic<bool> done{false};
    std::thread audio(
        [&]()
        {
            for (int b = 0; b < c_iBlocks; ++b)
            {
                // Real time: the next block comes only when the consumer has
                // kept up, as a device callback would wait for its period.
                const size_t before = b == 0 ? 0 : expectedAfterBlock[b - 1];
                while (expectedAfterBlock[b] - drained.load() > 1000 && before > drained.load())
                    std::this_thread::yield();
                setBlock(voices, b);
                for (TestVoice& voice : voices)
                    voice.Pull(b + 1, 256);
                encoder.ProcessBlock(b + 1, 256);
            }
            done.store(true);
        });
    std::vector<MidiEvent> received;
    MidiEvent chunk[97];
    while (true)
    {
        const bool finished = done.load();
        const size_t n = encoder.Drain(chunk, std::size(chunk));
        received.insert(received.end(), chunk, chunk + n);
        drained.store(received.size());
        if (n == 0 && finished)
            break;
        if (n == 0)
            std::this_thread::yield();
    }
    audio.join();
    encoder.EndNotes(); // producer side, now that the audio thread has stopped
    size_t n;
    while ((n = encoder.Drain(chunk, std::size(chunk))) > 0)
        received.insert(received.end(), chunk, chunk + n);

    EXPECT_EQ(encoder.GetDropped(), 0u);
    ASSERT_EQ(received.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        ASSERT_EQ(received[i].iSampleTime, expected[i].iSampleTime) << "event " << i;
        ASSERT_EQ(std::vector<uint8_t>(received[i].pBytes, received[i].pBytes + 3),
                  std::vector<uint8_t>(expected[i].pBytes, expected[i].pBytes + 3))
            << "event " << i;
    }
}
