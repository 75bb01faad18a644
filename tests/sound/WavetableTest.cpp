// The saw table: the shipped resource file must be exactly what the program
// computes, and a missing, short, damaged or implausible file falls back to
// the computation.
#include "file/File_Bundle.h"
#include "sound/SoundSource_BLSaw.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

using namespace zindle_test;

namespace
{
using Table = std::vector<float>;

Table Computed()
{
    Table table(SoundSource_BLSaw::c_iTableEntries);
    SoundSource_BLSaw::ComputeSampleBuffer(table.data());
    return table;
}

// Builds the table with the resource directory pointing at `dir`.
Table BuiltFrom(const std::string& dir)
{
    const std::string saved = File_Bundle::GetResourceDirectory();
    File_Bundle::SetResourceDirectory(dir);
    Table table(SoundSource_BLSaw::c_iTableEntries, -1.0f);
    SoundSource_BLSaw::BuildSampleBuffer(table.data());
    File_Bundle::SetResourceDirectory(saved);
    return table;
}

void ExpectBitwiseEqual(const Table& a, const Table& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
    {
        uint32_t x = 0, y = 0;
        std::memcpy(&x, &a[i], 4);
        std::memcpy(&y, &b[i], 4);
        ASSERT_EQ(x, y) << "entry " << i << ": " << a[i] << " vs " << b[i];
    }
}

std::string Bytes(const Table& table, size_t entries)
{
    std::string bytes(entries * 4, '\0');
    std::memcpy(bytes.data(), table.data(), entries * 4); // the host is little-endian
    return bytes;
}
} // namespace

TEST(Wavetable, ShippedFileMatchesTheComputationBitForBit)
{
    const Table computed = Computed();
    const std::filesystem::path file = SourceDataDir() / "blsaw.dat";
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_EQ(std::filesystem::file_size(file), 8192u);

    Table loaded(SoundSource_BLSaw::c_iTableEntries);
    const std::string saved = File_Bundle::GetResourceDirectory();
    File_Bundle::SetResourceDirectory(SourceDataDir().string());
    const bool ok = SoundSource_BLSaw::LoadSampleBuffer(loaded.data());
    File_Bundle::SetResourceDirectory(saved);
    ASSERT_TRUE(ok);
    // All 2049 entries, the guard entry included.
    ExpectBitwiseEqual(loaded, computed);
}

TEST(Wavetable, ComputedTableStartsAtZeroAndItsGuardHoldsOnePeriodSum)
{
    const Table table = Computed();
    EXPECT_EQ(table[0], 0.0f);
    // The guard is the sum over one whole period of a zero-mean wave: near 0.
    EXPECT_NEAR(table[2048], 0.0f, 1e-3f);
    EXPECT_EQ(table[2048], table[2047] + table[0]);
    // Its peak is the integral of the ramp's positive half.
    float peak = 0.0f;
    for (float v : table)
        peak = std::max(peak, v);
    EXPECT_NEAR(peak, 0.7 * std::numbers::pi / 2.0 * 1024.0 / 2.0, 30.0);
}

TEST(Wavetable, MissingShortDamagedOrImplausibleFileFallsBackToTheComputation)
{
    const Table computed = Computed();
    TempDir dir;
    {
        SCOPED_TRACE("missing");
        ExpectBitwiseEqual(BuiltFrom(dir.Path().string()), computed);
    }
    {
        SCOPED_TRACE("short");
        WriteFile(dir / "blsaw.dat", Bytes(computed, 1000));
        ExpectBitwiseEqual(BuiltFrom(dir.Path().string()), computed);
    }
    {
        SCOPED_TRACE("not a number inside");
        Table damaged = computed;
        damaged[700] = std::nanf("");
        WriteFile(dir / "blsaw.dat", Bytes(damaged, 2048));
        ExpectBitwiseEqual(BuiltFrom(dir.Path().string()), computed);
    }
    {
        SCOPED_TRACE("huge finite values: no saw sums to them, and the guard would overflow");
        WriteFile(dir / "blsaw.dat", Bytes(Table(2048, 3e38f), 2048));
        ExpectBitwiseEqual(BuiltFrom(dir.Path().string()), computed);
    }
    {
        SCOPED_TRACE("longer file: the rest is ignored");
        WriteFile(dir / "blsaw.dat", Bytes(computed, 2048) + std::string(100, 'x'));
        ExpectBitwiseEqual(BuiltFrom(dir.Path().string()), computed);
    }
    {
        SCOPED_TRACE("a different valid table is used as read");
        Table other = computed;
        other[5] = 42.0f;
        WriteFile(dir / "blsaw.dat", Bytes(other, 2048));
        const Table built = BuiltFrom(dir.Path().string());
        EXPECT_EQ(built[5], 42.0f);
        EXPECT_EQ(built[2048], built[2047] + built[0]);
    }
}
