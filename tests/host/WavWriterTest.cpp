// The WAV writer's container: RIFF while the sound fits in 4 GiB, RF64 beyond.
#include "host/WavWriter.h"

#include "support/TestSupport.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <vector>

TEST(WavWriter, SoundsBeyondFourGibibytesAreWrittenAsRf64)
{
    // 4 GiB less the 44 bytes of header hold this many 16-bit samples exactly.
    const struct
    {
        int64_t samples;
        int container;
    } cases[] = {{WavWriter::c_iUnknownLength, SF_FORMAT_WAV},
                 {0, SF_FORMAT_WAV},
                 {2147483625, SF_FORMAT_WAV},
                 {2147483626, SF_FORMAT_RF64},
                 {int64_t{86400} * 44100, SF_FORMAT_RF64}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.samples);
        EXPECT_EQ(WavWriter::ChooseFormat(c.samples), c.container | SF_FORMAT_PCM_16);
    }

    // A writer told of such a length writes an RF64 file that reads back whole.
    zindle_test::TempDir dir;
    std::vector<int16_t> ramp(1000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(i * 30 - 15000);
    WavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open((dir / "long.wav").string(), 44100, 2147483626, error)) << error;
    EXPECT_TRUE(writer.Write(ramp.data(), ramp.size()));
    ASSERT_TRUE(writer.Close(error)) << error;
    zindle_test::WavFile wav;
    ASSERT_TRUE(zindle_test::ReadWav(dir / "long.wav", wav));
    EXPECT_EQ(wav.format, SF_FORMAT_RF64 | SF_FORMAT_PCM_16);
    EXPECT_EQ(wav.sampleRate, 44100);
    EXPECT_EQ(wav.samples, ramp);
}
