// What a listener hears from the oscillators, and the saw table they read: the
// shipped file is exactly the computation, a bad file falls back to it.
#include "dsp/SoundSource_BLPulse.h"
#include "dsp/SoundSource_BLSaw.h"
#include "dsp/SoundSource_Osc_Sine.h"
#include "support/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

using namespace zindle_test;

namespace
{
using Table = std::vector<float>;

// The table computed (no dir), or built (or loaded) from the saw file in `dir`
// as the program reads it (a missing file gives no bytes).
Table Saw(const std::filesystem::path& dir = {}, bool* loaded = nullptr)
{
    Table table(SoundSource_BLSaw::c_iTableEntries, -1.0f);
    if (dir.empty())
    {
        SoundSource_BLSaw::ComputeSampleBuffer(table.data());
        return table;
    }
    const std::filesystem::path file = dir / "blsaw.dat";
    const std::string text = std::filesystem::exists(file) ? ReadFile(file) : std::string();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    if (loaded)
        *loaded = SoundSource_BLSaw::LoadSampleBuffer(bytes, text.size(), table.data());
    else
        SoundSource_BLSaw::BuildSampleBuffer(bytes, text.size(), table.data());
    return table;
}

// Bit for bit, so that a negative zero or another NaN would show.
void ExpectBitwiseEqual(const Table& a, const Table& b)
{
    ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
}

std::string Bytes(const Table& table, size_t entries)
{
    std::string bytes(entries * 4, '\0');
    std::memcpy(bytes.data(), table.data(), entries * 4); // the host is little-endian
    return bytes;
}

// Every entry times `factor`.
Table Scaled(Table table, float factor)
{
    for (float& value : table)
        value *= factor;
    return table;
}

constexpr int c_iSecond = 44100;
// The saw's ramp and the pulse's square swing about +-0.7 pi / 2.
const double c_rLevel = 0.7 * std::numbers::pi / 2.0;

// The three oscillators on one pitch control; the pulse has its own width.
struct Oscillators
{
    explicit Oscillators(float hz, float w = 0.5f) : pitch(hz), width(w)
    {
        saw.SetPitchSource(&pitch, 0);
        pulse.SetPitchSource(&pitch, 0);
        pulse.SetWidthSource(&width, 0);
        sine.SetPitchSource(&pitch, 0);
    }
    std::vector<SoundStreamSource*> All() { return {&saw, &pulse, &sine}; }

    TestControl pitch, width;
    SoundSource_BLSaw saw;
    SoundSource_BLPulse pulse;
    SoundSource_Osc_Sine sine;
};

// Power of a saw's harmonics folded back below 22050 Hz over the fundamental's, dB.
double AliasLevelDb(const std::vector<float>& x, double hz)
{
    double alias = 0.0;
    for (int k = 1; k * hz < 40.0 * 44100.0; ++k)
    {
        double f = std::fmod(k * hz, 44100.0);
        f = f > 22050.0 ? 44100.0 - f : f;
        if (k * hz > 22050.0 && f >= 20.0) // not a true harmonic, nor folded onto DC
            alias += std::pow(Magnitude(x, f, 1000), 2.0);
    }
    return 10.0 * std::log10(alias / std::pow(Magnitude(x, hz, 1000), 2.0));
}
} // namespace

TEST(Oscillators, PlayTheirPitchAtTheirLevel)
{
    ScopedSoundManager sound;
    // 10 and 15 Hz step less than one table entry per sample.
    for (float hz : {10.0f, 15.0f, 30.0f, 110.0f, 440.0f, 1141.0f, 2000.0f, 3520.0f})
    {
        SCOPED_TRACE("pitch " + std::to_string(hz));
        Oscillators osc(hz);
        std::vector<std::vector<float>> outs;
        for (SoundStreamSource* source : osc.All())
        {
            outs.push_back(Render(source, 2 * c_iSecond));
            EXPECT_NEAR(MeasureFrequency(outs.back()), hz, hz * 0.002);
            EXPECT_NEAR(Mean(outs.back()), 0.0, 0.02); // a whole number of periods
        }
        const std::vector<float>&saw = outs[0], &pulse = outs[1], &sine = outs[2];
        // A falling ramp: RMS is its peak / sqrt(3).
        EXPECT_NEAR(std::sqrt(Mean(saw, 2000, 2)), c_rLevel / std::sqrt(3.0), c_rLevel * 0.05);
        EXPECT_LT(Peak(saw), c_rLevel * 1.25);
        EXPECT_NEAR(std::sqrt(Mean(pulse, 0, 2)), c_rLevel, c_rLevel * 0.08);
        EXPECT_LT(Peak(pulse), c_rLevel * 3.0);
        // Nearly every sample of the square sits on one of its two levels.
        const auto onLevel = std::count_if(
            pulse.begin(), pulse.end(),
            [](float x) { return std::fabs(std::fabs(x) - c_rLevel) < 0.1 * c_rLevel; });
        EXPECT_TRUE(hz > 660.0f || onLevel > 0.97 * static_cast<double>(pulse.size()));
        EXPECT_NEAR(Magnitude(sine, hz), 1.0, 0.01);
        EXPECT_LE(Peak(sine), 1.0f);
    }
}

TEST(BLSaw, AliasesAtLeast8DbLessThanANaiveRampAtHighPitch)
{
    ScopedSoundManager sound;
    const float hz = 2999.0f;
    Oscillators osc(hz);
    const std::vector<float> bandLimited = Render(&osc.saw, c_iSecond);
    std::vector<float> naive(bandLimited.size());
    double phase = 0.0;
    for (float& x : naive)
    {
        x = static_cast<float>(1.1 * (1.0 - 2.0 * phase));
        phase = std::fmod(phase + hz / 44100.0, 1.0);
    }
    const double naiveDb = AliasLevelDb(naive, hz), bandLimitedDb = AliasLevelDb(bandLimited, hz);
    RecordProperty("blsaw_alias_db", std::to_string(bandLimitedDb));
    EXPECT_LT(bandLimitedDb, naiveDb - 8.0) << "naive " << naiveDb << " dB";
}

TEST(BLPulse, WidthSetsTheDutyCycleAndZeroIsSilence)
{
    ScopedSoundManager sound;
    Oscillators silent(220.0f, 0.0f);
    EXPECT_LT(Peak(Render(&silent.pulse, c_iSecond)), 1e-3f);
    for (float w : {0.25f, 0.5f, 0.9f})
    {
        SCOPED_TRACE("width " + std::to_string(w));
        Oscillators osc(220.0f, w);
        const std::vector<float> out = Render(&osc.pulse, c_iSecond);
        EXPECT_NEAR(Mean(out), 0.0, 0.01);
        // The high level lasts w of the period, the low level the rest.
        const long high = std::count_if(out.begin(), out.end(), [](float x) { return x > 0.0f; });
        EXPECT_NEAR(static_cast<double>(high) / static_cast<double>(out.size()), 1.0 - w, 0.01);
    }
}

// At 0 Hz the saw fades over one block, the sine plays one block, the pulse stops
// at once; all are then silent and start the next note from phase 0.
TEST(Oscillators, EachEndsANoteItsOwnWayAndStaysSilent)
{
    ScopedSoundManager sound;
    const int block = 512;
    Oscillators osc(440.0f);
    for (SoundStreamSource* source : osc.All())
        EXPECT_GT(Peak(Render(source, 4 * block, block)), 0.5f);
    osc.pitch.SetValue(0.0f);
    const Block saw = PullBlock(&osc.saw, block); // the old pitch fading x0.98 per sample
    ASSERT_TRUE(saw.produced);
    EXPECT_GT(Peak(saw.samples, 0, 20), 0.05f);
    for (int i = 0; i < block; ++i)
        ASSERT_LE(std::fabs(saw.samples[i]), 1.25f * std::pow(0.98f, i) + 1e-6f) << i;
    const std::vector<float> sine = PullBlock(&osc.sine, block).samples;
    ASSERT_EQ(sine.size(), static_cast<size_t>(block));
    EXPECT_NEAR(MeasureFrequency(sine), 440.0, 10.0);
    EXPECT_GT(Peak(sine, block - 120), 0.95f);
    EXPECT_FALSE(PullBlock(&osc.pulse, block).produced);
    for (int i = 0; i < 3; ++i)
        for (SoundStreamSource* source : osc.All())
            EXPECT_FALSE(PullBlock(source, block).produced);
    osc.pitch.SetValue(440.0f);
    EXPECT_EQ(PullBlock(&osc.saw, block).samples.at(0), 0.0f);
    EXPECT_EQ(PullBlock(&osc.sine, block).samples.at(0), 0.0f);
}

// A non-finite pitch or width is no note; a huge pitch stays inside the table (ASan).
TEST(Oscillators, NonFiniteOrHugePitchOrWidthGivesFiniteOutput)
{
    ScopedSoundManager sound;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // clang-format off
    const std::vector<Runs> cases = {
        {{nan, 512}}, {{inf, 512}}, {{-inf, 512}}, {{1e30f, 512}}, {{-1e30f, 512}},
        {{44100.0f, 512}}, {{30000.0f, 512}}, {{1e-38f, 512}},
        {{440.0f, 100}, {nan, 100}, {1e9f, 312}},
        {{440.0f, 256}, {inf, 256}}, {{440.0f, 256}, {1e-38f, 256}},
    };
    // clang-format on
    for (size_t c = 0; c < cases.size(); ++c)
    {
        SCOPED_TRACE("case " + std::to_string(c));
        Oscillators osc(440.0f);
        for (SoundStreamSource* source : osc.All())
            Render(source, 1024);
        osc.pitch.SetRuns(cases[c]);
        for (SoundStreamSource* source : osc.All())
        {
            const std::vector<float> out = Render(source, 4096, 512);
            // A jump between extreme pitches leaves a one-sample step, nothing unbounded.
            EXPECT_TRUE(AllFinite(out) && Peak(out) < 64.0f) << Peak(out);
        }
    }
    for (float w : {nan, inf, -3.0f, 7.0f})
    {
        Oscillators osc(440.0f, w);
        const std::vector<float> out = Render(&osc.pulse, 4096);
        EXPECT_TRUE(AllFinite(out) && Peak(out) < 4.0f) << Peak(out);
    }
}

// All 2049 entries, the guard entry included, bit for bit.
TEST(Wavetable, ShippedFileIsTheComputationAndABadFileFallsBackToIt)
{
    EXPECT_EQ(std::filesystem::file_size(SourceDataDir() / "blsaw.dat"), 8192u);
    bool loaded = false;
    const Table shipped = Saw(SourceDataDir(), &loaded), computed = Saw();
    ASSERT_TRUE(loaded);
    ExpectBitwiseEqual(shipped, computed);

    Table damaged = computed;
    damaged[700] = std::nanf("");
    const std::pair<const char*, std::string> files[] = {
        {"missing", ""},
        {"short", Bytes(computed, 1000)},
        {"not a number inside", Bytes(damaged, 2048)},
        {"huge values: no saw sums to them", Bytes(Table(2048, 3e38f), 2048)},
        {"longer: the rest is ignored", Bytes(computed, 2048) + std::string(100, 'x')},
        {"zeros: a silent saw", Bytes(Table(2048, 0.0f), 2048)},
        {"denormals: a silent saw", Bytes(Table(2048, 1e-40f), 2048)},
        {"a thousandth of the saw: near silence", Bytes(Scaled(computed, 1e-3f), 2048)},
    };
    TempDir dir;
    for (const auto& [what, bytes] : files)
    {
        SCOPED_TRACE(what);
        if (!bytes.empty())
            WriteFile(dir / "blsaw.dat", bytes);
        ExpectBitwiseEqual(Saw(dir.Path()), computed);
    }
    // A different valid table is used as read, its guard entry added.
    Table other = computed;
    other[5] = 42.0f;
    WriteFile(dir / "blsaw.dat", Bytes(other, 2048));
    const Table built = Saw(dir.Path());
    EXPECT_EQ((std::pair{built[5], built[2048]}), (std::pair{42.0f, built[2047] + built[0]}));
}
