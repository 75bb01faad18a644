// MIDI in through the real program: Standard MIDI Files played with --play,
// heard in the WAV (pitch, bend, timbre, a fifth note, the sustain pedal, the
// tempo, a Scala scale and its keyboard mapping, velocity), the program's own
// MPE output played back, and every malformed file refused with one line
// before anything is written.
#include "support/MidiFileReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zindle_test;

namespace
{
constexpr double c_rRate = 44100.0;

// Standard MIDI File bytes, written here from the format's definition.
std::string Number(uint32_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Delta(uint32_t ticks)
{
    std::string out(1, static_cast<char>(ticks & 0x7F));
    for (ticks >>= 7; ticks > 0; ticks >>= 7)
        out.insert(out.begin(), static_cast<char>(0x80 | (ticks & 0x7F)));
    return out;
}

struct Event
{
    uint32_t delta;    // ticks after the event before
    std::string bytes; // as they stand in the file (running status allowed)
};

std::string Track(const std::vector<Event>& events, bool end = true)
{
    std::string body;
    for (const Event& e : events)
        body += Delta(e.delta) + e.bytes;
    if (end)
        body += std::string("\x00\xFF\x2F\x00", 4);
    return "MTrk" + Number(static_cast<uint32_t>(body.size()), 4) + body;
}

std::string Smf(int format, const std::vector<std::string>& tracks, int division = 480)
{
    std::string file = "MThd" + Number(6, 4) + Number(format, 2) +
                       Number(static_cast<uint32_t>(tracks.size()), 2) + Number(division, 2);
    for (const std::string& t : tracks)
        file += t;
    return file;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

const std::string c_sTempo120 = Bytes({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}); // 500000 us
const std::string c_sTempo240 = Bytes({0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}); // 250000 us

Played PlayFile(const TempDir& dir, const std::string& smf, const std::string& settings,
                const std::string& extra = "")
{
    WriteFile(dir / "play.mid", smf);
    WriteFile(dir / "play.conf", settings);
    return PlayScript(dir, "",
                      "--play '" + (dir / "play.mid").string() + "' --settings '" +
                          (dir / "play.conf").string() + "' " + extra);
}

double PitchBetween(const WavFile& wav, double from, double to)
{
    return EstimateFrequency(wav.samples, size_t(from * c_rRate), size_t(to * c_rRate), 50.0,
                             2000.0);
}

double Cents(double hz, double expected)
{
    return 1200.0 * std::log2(hz / expected);
}

double Level(const WavFile& wav, double from, double to)
{
    return PeakLevel(wav.samples, size_t(from * c_rRate), size_t(to * c_rRate));
}

const char* const c_sSine = "mode = Theremin\necho_volume = 0\n";

// One note every half second (at 120 bpm, 480 ticks a beat), each held 0.4 s:
// {channel, key, velocity}, with a pitch bend sent on the note's channel first.
struct Note
{
    int channel;
    int key;
    int velocity = 100;
    int bend = 8192;
};
std::string Notes(const std::vector<Note>& notes)
{
    std::vector<Event> events;
    uint32_t rest = 0;
    for (const Note& n : notes)
    {
        events.push_back({rest, Bytes({0xE0 | n.channel, n.bend & 0x7F, n.bend >> 7})});
        events.push_back({0, Bytes({0x90 | n.channel, n.key, n.velocity})});
        events.push_back({384, Bytes({0x80 | n.channel, n.key, 0})});
        rest = 96;
    }
    return Smf(0, {Track(events)});
}

// The steady middle of note i of Notes().
std::pair<double, double> NoteWindow(size_t i)
{
    return {0.5 * static_cast<double>(i) + 0.1, 0.5 * static_cast<double>(i) + 0.38};
}

double Rms(const WavFile& wav, std::pair<double, double> window)
{
    double sum = 0.0;
    const size_t from = size_t(window.first * c_rRate), to = size_t(window.second * c_rRate);
    for (size_t i = from; i < to; ++i)
        sum += double(wav.samples[i]) * wav.samples[i];
    return std::sqrt(sum / double(to - from));
}
} // namespace

TEST(MidiIn, NotesSoundTheirExactPitchBentByTheirChannelAtTheFilesTempo)
{
    // 120 bpm for two beats, then 240 bpm: tick 960 is 1.0 s, tick 1440 is 1.25 s.
    const std::string tempo = Track({{0, c_sTempo120}, {960, c_sTempo240}});
    const std::string notes = Track({
        {0, Bytes({0x90, 69, 100})},  // A4 on channel 1 ...
        {480, Bytes({69, 0})},        // ... off by running status (velocity 0)
        {480, Bytes({0xB1, 101, 0})}, // channel 2: RPN 0 (running status), bend range 12
        {0, Bytes({100, 0})},
        {0, Bytes({6, 12})},
        {0, Bytes({99, 1})}, // an NRPN (vibrato rate): its data entry leaves the bend range
        {0, Bytes({98, 8})},
        {0, Bytes({6, 48})},
        {0, Bytes({0xE1, 0x7F, 0x7F})}, // the whole bend up: +11.9985 semitones
        {0, Bytes({0x91, 57, 90})},     // A3 on channel 2, bent
        {240, Bytes({0x81, 57, 0})},
        {240, Bytes({0xF0, 0x03, 0x7E, 0x09, 0xF7})}, // a SysEx, skipped
        {0, Bytes({0xFF, 0x7F, 0x02, 0x00, 0x00})},   // a sequencer-specific meta, skipped
        {0, Bytes({0x90, 60, 100})},                  // C4 at 1.25 s
        {480, Bytes({0x80, 60, 0})},
        {0, Bytes({0xB0, 101, 0})}, // MPE configuration: a lower zone of 3 members
        {0, Bytes({100, 6})},
        {0, Bytes({6, 3})},
        {0, Bytes({0xE2, 0x00, 0x60})}, // a member bends its own note: +24 of 48 semitones
        {0, Bytes({0x92, 45, 100})},    // A2 on channel 3: 440 Hz
        {480, Bytes({0x82, 45, 0})},
    });
    TempDir dir;
    const Played run = PlayFile(dir, Smf(1, {tempo, notes}), c_sSine);
    ASSERT_EQ(run.status, 0) << run.output;
    // The file ends at 1.75 s, and 2 s of tail follow.
    EXPECT_EQ(run.wav.samples.size(), size_t(3.75 * c_rRate));
    EXPECT_NEAR(Cents(PitchBetween(run.wav, 0.1, 0.45), 440.0), 0.0, 0.1);
    const double bent = 220.0 * std::exp2((16383 - 8192) / 8192.0 * 12.0 / 12.0);
    EXPECT_NEAR(Cents(PitchBetween(run.wav, 1.02, 1.12), bent), 0.0, 0.1);
    EXPECT_NEAR(Cents(PitchBetween(run.wav, 1.3, 1.48), 261.625565), 0.0, 0.1);
    EXPECT_NEAR(Cents(PitchBetween(run.wav, 1.55, 1.73), 440.0), 0.0, 0.1);
    // Silence before each note, and the note from its own sample on.
    const size_t onset = size_t(1.25 * c_rRate);
    EXPECT_EQ(Level(run.wav, 1.20, 1.25), 0);
    EXPECT_GT(PeakLevel(run.wav.samples, onset, onset + 3), 0);
}

TEST(MidiIn, TimbreFollowsCC74AFifthNoteAddsNothingAndThePedalHoldsNotes)
{
    // "Mekko": CC 74 opens the filter; a brighter note has more of its top.
    auto brightness = [](const WavFile& wav, double from, double to)
    {
        double change = 0.0, level = 0.0;
        for (size_t i = size_t(from * c_rRate) + 1; i < size_t(to * c_rRate); ++i)
        {
            change += std::abs(wav.samples[i] - wav.samples[i - 1]);
            level += std::abs(wav.samples[i]);
        }
        return change / level;
    };
    const std::string mekko = "mode = Mekko\necho_volume = 0\n";
    TempDir dir;
    const Played filter = PlayFile(dir,
                                   Smf(0, {Track({{0, Bytes({0xB0, 74, 10})},
                                                  {0, Bytes({0x90, 45, 100})},
                                                  {480, Bytes({0xB0, 74, 120})},
                                                  {480, Bytes({0x80, 45, 0})}})}),
                                   mekko);
    ASSERT_EQ(filter.status, 0) << filter.output;
    EXPECT_GT(brightness(filter.wav, 0.6, 0.95), 2.0 * brightness(filter.wav, 0.1, 0.45));

    // Four notes at once, then a fifth: the fifth changes no sample.
    std::vector<Event> four = {{0, Bytes({0x90, 48, 100})},
                               {0, Bytes({52, 100})},
                               {0, Bytes({55, 100})},
                               {0, Bytes({59, 100})}};
    std::vector<Event> five = four;
    five.push_back({240, Bytes({62, 100})});
    four.push_back({240, Bytes({0xB0, 7, 100})}); // as long, and nothing to play
    for (auto* notes : {&four, &five})
        notes->push_back({720, Bytes({0xB0, 123, 0})}); // all notes off
    const Played chord = PlayFile(dir, Smf(0, {Track(four)}), mekko);
    ASSERT_EQ(chord.status, 0) << chord.output;
    const Played fifth = PlayFile(dir, Smf(0, {Track(five)}), mekko);
    ASSERT_EQ(fifth.status, 0) << fifth.output;
    EXPECT_GT(Level(chord.wav, 0.3, 0.9), 3000);
    EXPECT_TRUE(chord.wav.samples == fifth.wav.samples);

    // The pedal down before the note-off holds the note until it lifts at 1.5 s.
    const std::string pedal = Smf(0, {Track({{0, Bytes({0x90, 57, 100})},
                                             {240, Bytes({0xB0, 64, 127})},
                                             {240, Bytes({0x80, 57, 0})},
                                             {960, Bytes({0xB0, 64, 0})}})});
    const Played held = PlayFile(dir, pedal, c_sSine);
    ASSERT_EQ(held.status, 0) << held.output;
    EXPECT_GT(Level(held.wav, 1.3, 1.45), 3000) << "held past its note-off at 0.5 s";
    EXPECT_EQ(Level(held.wav, 1.8, 2.2), 0) << "ended when the pedal lifted";
}

TEST(MidiIn, KeysPlayTheLoadedScaleThroughItsMappingAndUnmappedKeysAreSilent)
{
    TempDir dir;
    const fs::path examples = fs::path(ZINDLE_TEST_SOURCE_DIR) / ".." / "examples";
    struct Expected
    {
        Note note;
        double hz; // 0: silent
    };
    // 19 equal steps without a mapping: key 60 is degree 0 on middle C, one
    // key a degree. A bend still counts in semitones (+1 of the plain 2).
    const double middleC = 261.625565;
    auto edo19 = [middleC](int key) { return middleC * std::exp2((key - 60) / 19.0); };
    const Expected nineteen[] = {
        {{0, 60}, middleC},       {{0, 61}, edo19(61)},
        {{0, 66}, edo19(66)},     {{0, 79}, 2.0 * middleC},
        {{0, 41}, middleC / 2.0}, {{1, 65, 100, 12288}, edo19(65) * std::exp2(1.0 / 12.0)}};
    // Just major on the white keys, A (key 69, degree 5) at 440 Hz: degree 0
    // at 264 Hz; the black keys are mapped to x and play nothing.
    const Expected white[] = {{{0, 60}, 264.0}, {{0, 62}, 297.0}, {{0, 69}, 440.0}, {{0, 61}, 0.0},
                              {{0, 72}, 528.0}, {{0, 57}, 220.0}, {{0, 70}, 0.0}};
    const struct
    {
        const char* what;
        std::string options;
        std::vector<Expected> notes;
    } cases[] = {
        {"19-equal",
         "--tuning '" + (examples / "19-equal.scl").string() + "'",
         {std::begin(nineteen), std::end(nineteen)}},
        {"just major, white keys",
         "--tuning '" + (examples / "just-major.scl").string() + "' --keymap '" +
             (examples / "white-keys-a440.kbm").string() + "'",
         {std::begin(white), std::end(white)}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<Note> notes;
        for (const Expected& e : c.notes)
            notes.push_back(e.note);
        const Played run = PlayFile(dir, Notes(notes), c_sSine, c.options);
        ASSERT_EQ(run.status, 0) << run.output;
        for (size_t i = 0; i < c.notes.size(); ++i)
        {
            SCOPED_TRACE(testing::Message() << "key " << c.notes[i].note.key);
            const auto [from, to] = NoteWindow(i);
            if (c.notes[i].hz == 0.0)
                EXPECT_EQ(Level(run.wav, from - 0.05, to + 0.1), 0);
            else
                EXPECT_NEAR(Cents(PitchBetween(run.wav, from, to), c.notes[i].hz), 0.0, 0.1);
        }
    }
}

TEST(MidiIn, VelocitySetsTheVoicesLevelInEveryModeAndTheMpeOutputCarriesIt)
{
    // Amplitude (v / 100)^2, at most +3 dB: velocity 100 is a finger's level.
    const int velocities[] = {100, 50, 127, 10, 110};
    const double gains[] = {1.0, 0.25, std::sqrt(2.0), 0.01, 1.21};
    std::vector<Note> notes;
    for (int v : velocities)
        notes.push_back({0, 57, v});
    TempDir dir;
    for (const char* mode : {"Theremin", "Mekko"})
    {
        SCOPED_TRACE(mode);
        const Played run =
            PlayFile(dir, Notes(notes), std::string("mode = ") + mode + "\necho_volume = 0\n",
                     "--midi '" + (dir / "out.mid").string() + "'");
        ASSERT_EQ(run.status, 0) << run.output;
        const double unity = Rms(run.wav, NoteWindow(0));
        ASSERT_GT(unity, 1000.0);
        for (size_t i = 1; i < std::size(velocities); ++i)
        {
            SCOPED_TRACE(testing::Message() << "velocity " << velocities[i]);
            EXPECT_NEAR(Rms(run.wav, NoteWindow(i)) / unity, gains[i], 0.01 * gains[i]);
        }
        MidiFile out;
        std::string error;
        ASSERT_TRUE(ReadMidiFile(dir / "out.mid", out, error)) << error;
        std::vector<int> sent;
        for (const MidiFileEvent& e : out.trackEvents.at(0))
            if (e.Kind() == 0x90 && e.data.at(1) > 0)
                sent.push_back(e.data[1]);
        EXPECT_EQ(sent, std::vector<int>(std::begin(velocities), std::end(velocities)));
    }
}

TEST(MidiIn, TheProgramsOwnMpeOutputPlayedBackSoundsTheSamePitches)
{
    // Two fingers in "Theremin": the first glides, the second lands while the
    // first is down (two member channels at once) and sounds on after it lifts.
    TempDir dir;
    WriteFile(dir / "sine.conf", c_sSine);
    const std::string settings = "--settings '" + (dir / "sine.conf").string() + "'";
    const Played fingers = PlayScript(dir,
                                      "0.1 down 1 150 100\n0.4 slide 1 200 100 0.3\n"
                                      "1.2 down 2 300 200\n1.8 up 1\n2.6 up 2\n3 end\n",
                                      settings + " --midi '" + (dir / "out.mid").string() + "'");
    ASSERT_EQ(fingers.status, 0) << fingers.output;
    const Played back =
        PlayScript(dir, "", settings + " --play '" + (dir / "out.mid").string() + "' --seconds 3");
    ASSERT_EQ(back.status, 0) << back.output;
    // Where one voice sounds alone: before and after the glide, and the second finger.
    for (const auto& [from, to] : {std::pair{0.2, 0.35}, std::pair{0.8, 1.15}, std::pair{1.9, 2.5}})
    {
        SCOPED_TRACE(testing::Message() << from << " s");
        const double played = PitchBetween(fingers.wav, from, to);
        ASSERT_GT(played, 0.0);
        // MPE bends come in steps of 96 / 16384 semitones: 0.6 cent.
        EXPECT_NEAR(Cents(PitchBetween(back.wav, from, to), played), 0.0, 0.4);
    }
}

TEST(MidiIn, ANoteShowsOnTheSurfaceWhereItsPitchAndTimbreLie)
{
    // A3 (octave 1.75 above the low C) at timbre 64/127: in the starting window
    // x = (1.75 + 1.125) / 5.25 * 480, y = (1 - 64/127) * 320. A ring marks it.
    const double x = (std::log2(220.0 / 65.406395) + 1.125) / 5.25 * 480.0;
    const double y = (1.0 - 64.0 / 127.0) * 320.0;
    const std::string note = Smf(0, {Track({{0, Bytes({0xB0, 74, 64})},
                                            {0, Bytes({0x90, 57, 100})},
                                            {960, Bytes({0x80, 57, 0})}})});
    TempDir dir;
    int white[2] = {0, 0};
    for (const bool rings : {true, false})
    {
        SCOPED_TRACE(rings ? "rings" : "--no-fingers");
        const std::string shot = (dir / "shot.png").string();
        const Played run =
            PlayFile(dir, note, c_sSine,
                     "--seconds 0.5 --screenshot '" + shot + "'" + (rings ? "" : " --no-fingers"));
        ASSERT_EQ(run.status, 0) << run.output;
        Image image;
        ASSERT_TRUE(ReadPng(shot, image));
        const int dx[4] = {8, -8, 0, 0}, dy[4] = {0, 0, 8, -8};
        for (int i = 0; i < 4; ++i)
        {
            const uint8_t* p = image.At(int(std::lround(x)) + dx[i], int(std::lround(y)) + dy[i]);
            white[rings ? 0 : 1] += p[0] > 220 && p[1] > 220 && p[2] > 220 ? 1 : 0;
        }
    }
    EXPECT_EQ(white[0], 4);
    EXPECT_EQ(white[1], 0);
}

TEST(MidiIn, AMalformedFileExitsWithOneLineAndWritesNothing)
{
    const std::string note = Bytes({0x90, 60, 100});
    const std::string header = "MThd" + Number(6, 4) + Number(0, 2) + Number(1, 2) + Number(480, 2);
    struct Bad
    {
        const char* what;
        std::string bytes;
        const char* problem;
    };
    const Bad bad[] = {
        {"not MIDI", "RIFF....WAVEfmt ", "not a Standard MIDI File"},
        {"a header cut short", "MThd" + Number(6, 4) + Number(0, 2), "the header is cut short"},
        {"format 2", Smf(2, {Track({})}), "format 2 files are not played"},
        {"no ticks per beat", Smf(0, {Track({})}, 0), "a division of 0 ticks"},
        {"a missing track", Smf(1, {Track({})}).replace(10, 2, Number(2, 2)), "truncated: 1 of 2"},
        {"a track past the end", Smf(0, {Track({{0, note}})}).substr(0, 24),
         "runs past the end of the file"},
        {"a five-byte delta",
         header + "MTrk" + Number(6, 4) + Bytes({0x81, 0x81, 0x81, 0x81, 0x01, 0}),
         "a delta time is cut short or longer than four bytes"},
        {"running status before any", Smf(0, {Track({{0, Bytes({60, 100})}})}),
         "a data byte without a status"},
        {"a data byte above 127", Smf(0, {Track({{0, Bytes({0x90, 60, 0x90})}})}),
         "data byte 0x90 above 127"},
        {"a message cut by its track's end", Smf(0, {Track({{0, Bytes({0x90, 60})}}, false)}),
         "a message runs past its track"},
        {"a meta event too long", Smf(0, {Track({{0, Bytes({0xFF, 0x01, 0x40, 'x'})}}, false)}),
         "a meta event runs past its track"},
        {"a status with no length", Smf(0, {Track({{0, Bytes({0xF4})}})}),
         "status byte 0xF4 has no place"},
        {"a tempo of zero", Smf(0, {Track({{0, Bytes({0xFF, 0x51, 3, 0, 0, 0})}})}),
         "a tempo of 0"},
        {"days long",
         Smf(0, {Track({{0, Bytes({0xFF, 0x51, 3, 0x7F, 0xFF, 0xFF})}, {0x0FFFFFFF, note}})}),
         "beyond the 86400 seconds"},
    };
    TempDir dir;
    for (const Bad& b : bad)
    {
        SCOPED_TRACE(b.what);
        fs::remove(dir / "play.wav");
        const Played run = PlayFile(dir, b.bytes, c_sSine);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.output.find("play.mid: "), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(b.problem), std::string::npos) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_FALSE(fs::exists(dir / "play.wav"));
    }
}
