// Scales and settings files through the real program: what snap plays in a
// Scala scale (measured from the WAV), where degree 0 lies, the twelve-note
// default untouched, settings that sound the same when loaded, and every bad
// file refused with its line before anything is written.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using namespace zindle_test;

namespace
{
constexpr double c_rLowC = 65.406395; // Hz, the instrument's octave 0
constexpr double c_rRate = 44100.0;

// The landscape x at which a script's finger plays octave o in the starting
// window (-1.125 .. 4.125 over 480 points; a fingertip plays 5 points right).
double XOf(double octave)
{
    return (octave + 1.125) / 5.25 * 480.0 - 5.0;
}

// Held notes, one after another, 0.5 s apart, each 0.4 s long.
std::string Notes(const std::vector<double>& octaves)
{
    std::ostringstream script;
    for (size_t i = 0; i < octaves.size(); ++i)
    {
        script << 0.1 + 0.5 * i << " down 1 " << XOf(octaves[i]) << " 100\n"
               << 0.5 + 0.5 * i << " up 1\n";
    }
    return script.str();
}

// The pitch of note i of Notes(), in its steady middle.
double PitchOfNote(const WavFile& wav, size_t i)
{
    const double start = 0.1 + 0.5 * static_cast<double>(i);
    return EstimateFrequency(wav.samples, static_cast<size_t>((start + 0.1) * c_rRate),
                             static_cast<size_t>((start + 0.35) * c_rRate), 50.0, 2000.0);
}

double Cents(double hz, double expected)
{
    return 1200.0 * std::log2(hz / expected);
}

// Sine voices, snap, no echo: each note's pitch alone in the WAV.
const char* const c_sSnapSine = "mode = Theremin\nautotune = Snap\necho_volume = 0\n";

const char* const c_sJustMajor = "! just.scl\n"
                                 "5-limit just major\n"
                                 " 7\n"
                                 "!\n"
                                 " 9/8   ! anything after the pitch is ignored\n"
                                 " 5/4\n 4/3\n 3/2\n 5/3\n 15/8\n 2\n";
const double c_rJustRatios[8] = {1.0, 9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8, 2.0};
} // namespace

TEST(Tuning, SnapLandsOnEveryDegreeOfAJustScaleWithinATenthOfACent)
{
    TempDir dir;
    WriteFile(dir / "just.scl", c_sJustMajor);
    WriteFile(dir / "snap.conf", c_sSnapSine);
    // The centres of the seven snap zones of octave 2, and the next octave's first.
    std::vector<double> octaves;
    for (int j = 0; j <= 7; ++j)
        octaves.push_back(2.0 + j / 7.0);
    const Played run = PlayScript(dir, Notes(octaves) + "4.2 end\n",
                                  "--settings '" + (dir / "snap.conf").string() + "' --tuning '" +
                                      (dir / "just.scl").string() + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    for (size_t j = 0; j < octaves.size(); ++j)
    {
        SCOPED_TRACE(testing::Message() << "degree " << j);
        EXPECT_NEAR(Cents(PitchOfNote(run.wav, j), 4.0 * c_rLowC * c_rJustRatios[j]), 0.0, 0.1);
    }
}

TEST(Tuning, FastAutotuneStartsOnTheNearestDegreeWhereAKeyboardMappingPutsDegreeZero)
{
    TempDir dir;
    WriteFile(dir / "just.scl", c_sJustMajor);
    WriteFile(dir / "fast.conf", "mode = Theremin\nautotune = Fast\necho_volume = 0\n");
    // The example mapping: A (key 69, degree 5: 5/3) at 440 Hz puts degree 0 at 264 Hz.
    const fs::path keymap =
        fs::path(ZINDLE_TEST_SOURCE_DIR) / ".." / "examples" / "white-keys-a440.kbm";
    // Fingers off the degrees: 35 cents above 9/8, 40 cents below the next 1/1,
    // 45 cents above 3/2, and 45 cents below 3/2 an octave up.
    const std::pair<double, double> fingers[] = {
        {9.0 / 8, 35.0}, {2.0, -40.0}, {3.0 / 2, 45.0}, {3.0, -45.0}};
    std::vector<double> octaves;
    for (const auto& [ratio, cents] : fingers)
        octaves.push_back(std::log2(264.0 * ratio / c_rLowC) + cents / 1200.0);
    const Played run =
        PlayScript(dir, Notes(octaves) + "2.2 end\n",
                   "--settings '" + (dir / "fast.conf").string() + "' --tuning '" +
                       (dir / "just.scl").string() + "' --keymap '" + keymap.string() + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    for (size_t i = 0; i < octaves.size(); ++i)
    {
        SCOPED_TRACE(testing::Message() << "finger " << i);
        EXPECT_NEAR(Cents(PitchOfNote(run.wav, i), 264.0 * fingers[i].first), 0.0, 0.1);
    }
}

TEST(Tuning, ATritaveScaleRepeatsAtThreeToOneFromTheBaseItIsGiven)
{
    // Bohlen-Pierce: thirteen equal steps of the tritave, in cents, and the period "3".
    std::ostringstream scale;
    scale << "Bohlen-Pierce, equal\n13\n";
    const double tritave = 1200.0 * std::log2(3.0);
    for (int k = 1; k < 13; ++k)
        scale << std::fixed << tritave * k / 13.0 << "\n";
    scale << "3\n";
    TempDir dir;
    WriteFile(dir / "bp.scl", scale.str());
    WriteFile(dir / "snap.conf", c_sSnapSine);
    // Degree 0 on 100 Hz: degrees 0 and 1 of the tritave above it, and degree 0 of the next.
    const double hz[3] = {300.0, 300.0 * std::pow(3.0, 1.0 / 13.0), 900.0};
    std::vector<double> octaves;
    for (double f : hz)
        octaves.push_back(std::log2(f / c_rLowC));
    const Played run = PlayScript(dir, Notes(octaves) + "1.7 end\n",
                                  "--settings '" + (dir / "snap.conf").string() + "' --tuning '" +
                                      (dir / "bp.scl").string() + "' --tuning-base 100");
    ASSERT_EQ(run.status, 0) << run.output;
    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(testing::Message() << hz[i] << " Hz");
        EXPECT_NEAR(Cents(PitchOfNote(run.wav, i), hz[i]), 0.0, 0.1);
    }
}

TEST(Tuning, TwelveEqualOnCPlaysExactlyAsWithoutAScale)
{
    TempDir dir;
    std::string cents = "twelve equal, in cents\n12\n", ratios = "! octave as a ratio\n\n12\n";
    for (int k = 1; k <= 12; ++k)
    {
        cents += std::to_string(100 * k) + ".0\n";
        ratios += k < 12 ? std::to_string(100 * k) + ".00000\n" : "2/1\n";
    }
    WriteFile(dir / "cents.scl", cents);
    WriteFile(dir / "ratios.scl", ratios);
    const std::string demo =
        ReadFile(fs::path(ZINDLE_TEST_SOURCE_DIR) / ".." / "examples" / "demo.zs");
    const std::string plain[2] = {"", "--tuning '" + (dir / "cents.scl").string() +
                                          "' --tuning-base 130.81279"};
    std::string wav[2], png[2];
    for (int i = 0; i < 2; ++i)
    {
        const std::string shot = (dir / "last.png").string();
        const Played run = PlayScript(dir, demo, plain[i] + " --screenshot '" + shot + "'");
        ASSERT_EQ(run.status, 0) << run.output;
        wav[i] = ReadFile(dir / "play.wav");
        png[i] = ReadFile(shot);
    }
    EXPECT_TRUE(wav[0] == wav[1]) << "the WAV differs";
    EXPECT_TRUE(png[0] == png[1]) << "the screenshot differs";
    const Played ratio = PlayScript(dir, demo, "--tuning '" + (dir / "ratios.scl").string() + "'");
    ASSERT_EQ(ratio.status, 0) << ratio.output;
    EXPECT_TRUE(ReadFile(dir / "play.wav") == wav[0]) << "an octave written 2/1";
}

TEST(Tuning, SettingsSavedByAScriptSoundTheSameWhenLoaded)
{
    TempDir dir;
    // Through the panel: a longer echo, "Pulse", "Snap", a note key and the grid.
    const std::string panel = "0.2 tap 455 295\n0.4 tap 455 295\n" // open
                              "1.0 tap 398 150\n"                  // "Effects  >"
                              "1.7 down 4 350 95\n1.8 slide 4 420 95 0.4\n2.3 up 4\n"
                              "2.6 tap 398 280\n" // "Back"
                              "3.2 tap 449 50\n"  // mode ">": "Pulse"
                              "3.6 tap 398 200\n" // "Scale  >"
                              "4.3 tap 449 160\n4.5 tap 449 160\n4.7 tap 449 160\n"
                              "5.0 tap 349 202\n"                   // note key C#
                              "5.3 tap 398 107\n"                   // "Note Grid"
                              "5.8 tap 398 280\n6.5 tap 440 280\n"; // "Back", "Close"
    const std::string notes = "8.0 down 1 100 200\n8.3 down 2 300 60\n8.6 slide 1 250 150 1.0\n"
                              "10.0 up 1\n10.2 up 2\n13.0 end\n";
    const Played made = PlayScript(dir, panel + "7.0 save kept.conf\n" + notes);
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string kept = ReadFile(dir / "kept.conf");
    for (const char* line : {"mode = Pulse", "autotune = Snap", "notes = C D D#", "grid = on"})
        EXPECT_NE(kept.find(line), std::string::npos) << line << " in\n" << kept;

    // The corner passes the first tap of its double tap to the surface: that
    // blip leaves voice 0 a history (its oscillator's phase) that a loaded run
    // lacks, worth a few LSB. Without the settings the sound is another.
    const auto from = static_cast<size_t>(7.9 * c_rRate);
    auto largestDifference = [&](const WavFile& other)
    {
        int largest = 0;
        for (size_t i = from; i < made.wav.samples.size() && i < other.samples.size(); ++i)
            largest = std::max(largest, std::abs(made.wav.samples[i] - other.samples[i]));
        return largest;
    };
    const Played loaded =
        PlayScript(dir, notes, "--settings '" + (dir / "kept.conf").string() + "'");
    ASSERT_EQ(loaded.status, 0) << loaded.output;
    ASSERT_EQ(made.wav.samples.size(), loaded.wav.samples.size());
    EXPECT_LE(largestDifference(loaded.wav), 32);
    EXPECT_GT(PeakLevel(loaded.wav.samples, from, loaded.wav.samples.size()), 10000);
    const Played plainRun = PlayScript(dir, notes);
    ASSERT_EQ(plainRun.status, 0) << plainRun.output;
    EXPECT_GT(largestDifference(plainRun.wav), 3000);
}

TEST(Tuning, ABadScaleMappingOrSettingsFileExitsWithItsLineAndWritesNothing)
{
    struct Bad
    {
        const char* option;
        const char* text;
        const char* problem; // after "<file>:"
    };
    // clang-format off
    const Bad bad[] = {
        {"--tuning", "description only\n", "2: missing the number of pitches"},
        {"--tuning", "no count\n\n", "2: missing the number of pitches"},
        {"--tuning", "x\n3\n9/8\n5/4\n", "5: missing pitch 3 of 3"},
        {"--tuning", "x\n2\n0/1\n2/1\n", "3: the ratio '0/1' is not above zero"},
        {"--tuning", "x\n2\n-3/2\n2/1\n", "3: the ratio '-3/2' is not above zero"},
        {"--tuning", "x\n3\n5/4\n9/8\n2/1\n", "4: the pitches must rise, but '9/8'"},
        {"--tuning", "x\n1\n1/1\n", "3: the first pitch '1/1' is not above 1/1"},
        {"--tuning", "x\n1\n-100.0\n", "3: the first pitch '-100.0' is not above 1/1"},
        {"--tuning", "x\n2\nabc\n2/1\n", "3: 'abc' is not a pitch"},
        {"--tuning", "x\n2\n1.2.3\n2/1\n", "3: '1.2.3' is not a pitch in cents"},
        {"--tuning", "x\ntwelve\n", "2: 'twelve' is not a number of pitches"},
        {"--tuning", "x\n2000\n", "2: a scale needs 1 to 1024 pitches"},
        {"--keymap", "0\n0\n127\n60\n69\n", "6: missing the reference frequency"},
        {"--keymap", "0\n0\n127\n60\n200\n440\n0\n", "5: '200' is not the reference note"},
        {"--keymap", "0\n0\n127\n60\n69\n-5\n0\n", "6: '-5' is not a reference frequency"},
        {"--keymap", "3\n0\n127\n60\n69\n440\n0\n0\n1\n", "10: missing map entry 3 of 3"},
        {"--keymap", "2\n0\n127\n60\n69\n440\n0\n0\nx\n", "5: the reference note 69 is not mapped"},
        {"--settings", "mode = Pulse\nloudness = 1\n", "2: unknown setting 'loudness'"},
        {"--settings", "\n\ntimbre = 1.5\n", "3: '1.5' is not a slider position from 0 to 1"},
        {"--settings", "mode = Organ\n", "1: 'Organ' is not a mode (\"Mekko\", \"Pulse\""},
        {"--settings", "notes =\n", "1: no note key is on"},
        {"--settings", "grid\n", "1: expected \"name = value\""},
        {"--settings", "tuning = missing.scl\n", "missing.scl: cannot read the scale"},
    };
    // clang-format on
    TempDir dir;
    for (const Bad& b : bad)
    {
        SCOPED_TRACE(std::string(b.option) + " with\n" + b.text);
        const fs::path file = dir / "bad";
        WriteFile(file, b.text);
        fs::remove(dir / "play.wav");
        const Played run = PlayScript(dir, "0.1 down 1 100 100\n1 end\n",
                                      std::string(b.option) + " '" + file.string() + "'");
        EXPECT_EQ(run.status, 2);
        const bool names = run.output.find("/bad:") != std::string::npos ||
                           std::string(b.problem).find(':') != std::string::npos;
        EXPECT_TRUE(names) << run.output;
        EXPECT_NE(run.output.find(b.problem), std::string::npos) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_FALSE(fs::exists(dir / "play.wav"));
    }
}
