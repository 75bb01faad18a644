// MPE out of the real program: a scripted performance played headless into a
// MIDI file, read back and compared with what the WAV holds.
#include "support/MidiFileReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
constexpr double c_rBendRange = 48.0; // semitones either side

double PredictedPitch(double x)
{
    return zindle_test::PitchAt(x, true);
}

double Cents(double a, double b)
{
    return 1200.0 * std::log2(a / b);
}

struct Performance
{
    zindle_test::WavFile wav;
    std::vector<zindle_test::MidiFileEvent> events; // the one track
};

void Play(const std::string& script, Performance& out)
{
    zindle_test::TempDir dir;
    const auto run =
        zindle_test::PlayScript(dir, script, "--midi '" + (dir / "p.mid").string() + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    zindle_test::MidiFile midi;
    std::string error;
    ASSERT_TRUE(zindle_test::ReadMidiFile(dir / "p.mid", midi, error)) << error;
    ASSERT_EQ(midi.format, 0);
    ASSERT_EQ(midi.trackEvents.size(), 1u);
    out.wav = run.wav;
    out.events = midi.trackEvents[0];
}

// Replays the channel messages: the pitch each member channel sounds at a tick.
struct Channel
{
    int note = -1;
    int bend = 8192;
    int timbre = -1;
    double Pitch() const
    {
        const double semitones = note + (bend - 8192) / 8192.0 * c_rBendRange;
        return 440.0 * std::pow(2.0, (semitones - 69.0) / 12.0);
    }
};

std::map<int, Channel> StateAt(const std::vector<zindle_test::MidiFileEvent>& events, int64_t tick)
{
    std::map<int, Channel> channels;
    for (const auto& e : events)
    {
        if (e.tick > tick)
            break;
        Channel& c = channels[e.Channel()];
        if (e.Kind() == 0x90 && e.data.size() == 2 && e.data[1] > 0)
            c.note = e.data[0];
        else if (e.Kind() == 0x80 || (e.Kind() == 0x90 && e.data.size() == 2 && e.data[1] == 0))
            c.note = -1;
        else if (e.Kind() == 0xE0 && e.data.size() == 2)
            c.bend = e.data[0] | (e.data[1] << 7);
        else if (e.Kind() == 0xB0 && e.data.size() == 2 && e.data[0] == 74)
            c.timbre = e.data[1];
    }
    return channels;
}

int64_t Tick(double seconds)
{
    return static_cast<int64_t>(seconds * 44100.0);
}
} // namespace

TEST(MidiProgram, OneFingerIsOneMpeNoteAtTheSoundingPitch)
{
    Performance p;
    Play("0.0 down 1 240 160\n1.0 move 1 120 240\n2.0 up 1\n3.0 end\n", p);
    ASSERT_FALSE(p.events.empty());

    // The zone configuration comes first (after the tempo): RPN 6 on the
    // manager channel (1), selected with CC 101 and 100.
    size_t first = 0;
    while (first < p.events.size() && p.events[first].status == 0xFF)
        ++first;
    ASSERT_LT(first + 2, p.events.size());
    EXPECT_EQ(p.events[first].Kind(), 0xB0);
    EXPECT_EQ(p.events[first].Channel(), 0);
    EXPECT_EQ(p.events[first].tick, 0);
    EXPECT_EQ(p.events[first].data, (std::vector<uint8_t>{101, 0}));
    EXPECT_EQ(p.events[first + 1].data, (std::vector<uint8_t>{100, 6}));

    int noteOns = 0;
    for (const auto& e : p.events)
        if (e.Kind() == 0x90 && e.data[1] > 0)
        {
            ++noteOns;
            EXPECT_EQ(e.Channel(), 1) << "voice 0 plays on member channel 2";
            EXPECT_EQ(e.data[1], 100);
        }
    EXPECT_EQ(noteOns, 1) << "one finger, one note, however it glides";

    for (const auto& [at, x, y] : {std::tuple{0.6, 240.0, 160.0}, std::tuple{1.6, 120.0, 240.0}})
    {
        SCOPED_TRACE(at);
        const Channel c = StateAt(p.events, Tick(at))[1];
        ASSERT_GE(c.note, 0);
        EXPECT_NEAR(Cents(c.Pitch(), PredictedPitch(x)), 0.0, 1.0) << "within a cent of the voice";
        const double measured =
            zindle_test::EstimateFrequency(p.wav.samples, static_cast<size_t>(Tick(at - 0.3)),
                                           static_cast<size_t>(Tick(at + 0.3)));
        EXPECT_NEAR(Cents(c.Pitch(), measured), 0.0, 5.0) << "and of what the WAV holds";
        EXPECT_NEAR(c.timbre, (1.0 - y / 320.0) * 127.0, 1.0) << "CC 74 follows the height";
    }

    // The note ends where the finger lifts (the pitch drops to 0 at the next block).
    int64_t off = -1;
    for (const auto& e : p.events)
        if (e.Kind() == 0x80 && e.Channel() == 1)
            off = e.tick;
    EXPECT_GE(off, Tick(2.0));
    EXPECT_LE(off, Tick(2.1));
}

TEST(MidiProgram, FourFingersUseChannelsTwoToFiveAndAFifthSendsNothing)
{
    Performance p;
    Play("0.0 down 1 60 100\n0.05 down 2 160 100\n0.1 down 3 260 100\n0.15 down 4 360 100\n"
         "0.2 down 5 440 100\n1.0 slide 4 420 100 0.5\n2.0 up 1\n2.0 up 2\n2.0 up 3\n2.0 up 4\n"
         "2.0 up 5\n3.0 end\n",
         p);
    std::map<int, int> ons;
    for (const auto& e : p.events)
        if (e.Kind() == 0x90 && e.data[1] > 0)
            ++ons[e.Channel()];
    EXPECT_EQ(ons, (std::map<int, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}}));

    const auto channels = StateAt(p.events, Tick(0.8));
    const double xs[4] = {60, 160, 260, 360};
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(Cents(channels.at(k + 1).Pitch(), PredictedPitch(xs[k])), 0.0, 1.0) << k;

    // The slide of the fourth finger sends bends that rise with it.
    int lastBend = -1;
    int bends = 0;
    for (const auto& e : p.events)
        if (e.Kind() == 0xE0 && e.Channel() == 4 && e.tick > Tick(1.0) && e.tick < Tick(1.6))
        {
            const int bend = e.data[0] | (e.data[1] << 7);
            EXPECT_GT(bend, lastBend);
            lastBend = bend;
            ++bends;
        }
    EXPECT_GT(bends, 5);
    EXPECT_NEAR(Cents(StateAt(p.events, Tick(1.8)).at(4).Pitch(), PredictedPitch(420)), 0.0, 1.0);
}

TEST(MidiProgram, TheSoundIsTheSameWithAndWithoutMidiAndTheFileRepeats)
{
    // "PWM" with its Cutoff slider dragged shut while a finger plays: the
    // closed filter stops pulling the voice, which falls silent, moves
    // unheard, and wakes when the slider opens again.
    const std::string script = R"(
0.0 tap 455 295         # the panel opens
0.2 tap 455 295
0.8 tap 449 50          # mode ">" three times: "PWM"
1.0 tap 449 50
1.2 tap 449 50
1.6 tap 398 100         # "Synth Controls"
2.4 down 5 100 160      # a finger plays
2.6 down 1 460 45       # the Cutoff slider is dragged shut
2.7 slide 1 300 45 0.5
3.4 up 1
4.0 move 5 200 100      # unheard
5.0 down 1 335 45       # the slider opens again
5.1 slide 1 470 45 0.3
5.5 up 1
6.0 move 5 150 60
7.0 up 5
8.0 end
)";
    zindle_test::TempDir dir;
    zindle_test::WriteFile(dir / "p.zs", script);
    const std::string run = "cd '" + dir.Path().string() + "' && " + zindle_test::ZindleBinary() +
                            " --headless --seed 1 --script p.zs --wav ";
    for (const char* outputs : {"plain.wav", "midi.wav --midi p.mid", "again.wav --midi q.mid"})
    {
        const auto result = zindle_test::RunCommand(run + outputs);
        ASSERT_EQ(result.status, 0) << result.output;
    }
    const std::string plain = zindle_test::ReadFile(dir / "plain.wav");
    EXPECT_GT(plain.size(), 44u * 1000);
    EXPECT_TRUE(plain == zindle_test::ReadFile(dir / "midi.wav")) << "byte for byte";
    EXPECT_TRUE(zindle_test::ReadFile(dir / "p.mid") == zindle_test::ReadFile(dir / "q.mid"))
        << "the same performance, the same MIDI file";

    // The voice did fall silent and wake: its note ended and started again.
    zindle_test::MidiFile midi;
    std::string error;
    ASSERT_TRUE(zindle_test::ReadMidiFile(dir / "p.mid", midi, error)) << error;
    int noteOns = 0; // after the panel's taps
    for (const auto& e : midi.trackEvents[0])
        noteOns += e.Kind() == 0x90 && e.tick > Tick(2.0);
    EXPECT_EQ(noteOns, 2);
}
