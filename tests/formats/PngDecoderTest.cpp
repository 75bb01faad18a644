// The browser's own PNG reader against libpng: every image it takes (the
// program's art and the PNG suite's 8-bit, non-interlaced images) reads to the
// same RGBA as PNGImage gives through libpng, and everything else is refused.
#include "support/TestSupport.h"

#include "formats/PNGImage.h"
#include "formats/PngDecoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace zindle_test;

namespace
{
std::vector<uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
} // namespace

TEST(PngDecoder, ReadsWhatLibpngReadsAndRefusesTheRest)
{
    int same = 0, refused = 0;
    for (const fs::path& folder : {TestDataDir() / "pngsuite", SourceDataDir()})
        for (const auto& entry : fs::directory_iterator(folder))
        {
            if (entry.path().extension() != ".png")
                continue;
            SCOPED_TRACE(entry.path().string());
            const std::vector<uint8_t> bytes = ReadBytes(entry.path());
            PNGImage reference;
            const bool libpng = reference.Decode(bytes.data(), bytes.size());
            PngDecoder::Image image;
            std::string error;
            if (!PngDecoder::Decode(bytes.data(), bytes.size(), PNGImage::c_iMaxSide, image, error))
            {
                EXPECT_FALSE(error.empty());
                // Only what the reader leaves to libpng, or a damaged file.
                EXPECT_TRUE(!libpng || bytes[24] != 8 || bytes[28] != 0) << error;
                ++refused;
                continue;
            }
            ASSERT_TRUE(libpng);
            EXPECT_EQ(image.width, reference.GetWidth());
            EXPECT_EQ(image.height, reference.GetHeight());
            EXPECT_EQ(image.hasAlpha, reference.HasAlpha());
            EXPECT_TRUE(image.rgba == reference.GetRGBA());
            ++same;
        }
    EXPECT_GT(same, 80); // the program's art and the suite's 8-bit images
    EXPECT_GT(refused, 50);
}

TEST(PngDecoder, DamageAnywhereIsRefusedNeverRead)
{
    const std::vector<uint8_t> good = ReadBytes(SourceDataDir() / "about.png");
    PngDecoder::Image image;
    std::string error;
    ASSERT_TRUE(PngDecoder::Decode(good.data(), good.size(), PNGImage::c_iMaxSide, image, error));
    for (size_t cut : {size_t(0), size_t(7), size_t(40), good.size() / 2, good.size() - 13})
    {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        EXPECT_FALSE(PngDecoder::Decode(good.data(), cut, PNGImage::c_iMaxSide, image, error));
        EXPECT_TRUE(image.rgba.empty());
    }
    // A flipped byte inside the image data breaks the inflate or its checksum.
    for (size_t at = 60; at < good.size() - 20; at += good.size() / 7)
    {
        SCOPED_TRACE("flipped byte " + std::to_string(at));
        std::vector<uint8_t> bad = good;
        bad[at] ^= 0x55;
        EXPECT_FALSE(
            PngDecoder::Decode(bad.data(), bad.size(), PNGImage::c_iMaxSide, image, error));
    }
    EXPECT_FALSE(PngDecoder::Decode(good.data(), good.size(), 16, image, error));
    EXPECT_EQ(error, "image too large");
}
