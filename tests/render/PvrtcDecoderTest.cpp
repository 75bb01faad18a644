// PVRTC decoding: bit layouts and blending checked on hand-made words, and the real
// test pictures checked against their uncompressed original.
#include "render/PvrtcDecoder.h"
#include "render/PvrHeader.h"

#include "PvrTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>

namespace
{
// Colour halves of a word. A: bits 1..15 (bit 0 is the modulation flag), B: bits 16..31.
constexpr uint32_t OpaqueA(uint32_t r5, uint32_t g5, uint32_t b4)
{
    return 0x8000 | r5 << 10 | g5 << 5 | b4 << 1;
}
constexpr uint32_t OpaqueB(uint32_t r5, uint32_t g5, uint32_t b5)
{
    return (0x8000 | r5 << 10 | g5 << 5 | b5) << 16;
}
constexpr uint32_t c_iBlackA = OpaqueA(0, 0, 0);
constexpr uint32_t c_iWhiteA = OpaqueA(31, 31, 15);
constexpr uint32_t c_iBlackB = OpaqueB(0, 0, 0);
constexpr uint32_t c_iWhiteB = OpaqueB(31, 31, 31);
constexpr uint32_t c_iModulationFlag = 1;

struct Word
{
    uint32_t modulation;
    uint32_t colour;
};

// Words as stored, little-endian, in the order given.
std::vector<uint8_t> Pack(const std::vector<Word>& words)
{
    std::vector<uint8_t> bytes;
    for (const Word& word : words)
        for (uint32_t value : {word.modulation, word.colour})
            for (int i = 0; i < 4; ++i)
                bytes.push_back(uint8_t(value >> (8 * i)));
    return bytes;
}

std::vector<uint8_t> Uniform(size_t count, Word word)
{
    return Pack(std::vector<Word>(count, word));
}

struct Texel
{
    int r, g, b, a;
    bool operator==(const Texel&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Texel& t)
{
    return out << "(" << t.r << ", " << t.g << ", " << t.b << ", " << t.a << ")";
}

Texel At(const std::vector<uint8_t>& rgba, uint32_t width, uint32_t x, uint32_t y)
{
    const uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

std::vector<uint8_t> DecodeOrFail(const std::vector<uint8_t>& data, uint32_t width, uint32_t height,
                                  int bitsPerPixel)
{
    std::vector<uint8_t> rgba;
    EXPECT_TRUE(PvrtcDecoder::Decode(data.data(), data.size(), width, height, bitsPerPixel, rgba));
    EXPECT_EQ(rgba.size(), size_t(width) * height * 4);
    return rgba;
}
} // namespace

TEST(PvrtcDecoder, ModulationWeightsBlendColourAToColourB)
{
    // Texel column x holds modulation value x in every row (two bits per texel).
    uint32_t modulation = 0;
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            modulation |= x << (2 * (y * 4 + x));
    const uint32_t red = OpaqueA(31, 0, 0);
    const uint32_t blue = OpaqueB(0, 0, 31);
    struct Case
    {
        const char* name;
        uint32_t flag;
        Texel expected[4];
    };
    // Weights in eighths of B: 0, 3, 5, 8; punch-through 0, 4, 4 with no alpha, 8.
    const Case cases[] = {
        {"standard", 0, {{255, 0, 0, 255}, {159, 0, 95, 255}, {95, 0, 159, 255}, {0, 0, 255, 255}}},
        {"punch-through",
         c_iModulationFlag,
         {{255, 0, 0, 255}, {127, 0, 127, 255}, {127, 0, 127, 0}, {0, 0, 255, 255}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto rgba = DecodeOrFail(Uniform(4, {modulation, red | blue | c.flag}), 8, 8, 4);
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 8; ++x)
                ASSERT_EQ(At(rgba, 8, x, y), c.expected[x % 4]) << "texel " << x << ", " << y;
    }
}

TEST(PvrtcDecoder, TranslucentColoursExpandToEightBits)
{
    // A: alpha 7 of 3 bits, red 15, green 8 of 4 bits, blue 7 of 3 bits.
    const uint32_t a = 7u << 12 | 15u << 8 | 8u << 4 | 7u << 1;
    // B: alpha 3, red 1, green 0, blue 15.
    const uint32_t b = (3u << 12 | 1u << 8 | 0u << 4 | 15u) << 16;
    // Left half of each word shows A, right half B.
    uint32_t modulation = 0;
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 2; x < 4; ++x)
            modulation |= 3u << (2 * (y * 4 + x));
    const auto rgba = DecodeOrFail(Uniform(4, {modulation, a | b}), 8, 8, 4);
    // 3-bit alpha gains a zero bit; colour bits are replicated up to 8 bits.
    EXPECT_EQ(At(rgba, 8, 0, 0), (Texel{255, 140, 255, 238}));
    EXPECT_EQ(At(rgba, 8, 3, 5), (Texel{16, 0, 255, 102}));
}

TEST(PvrtcDecoder, ColoursBlendBilinearlyBetweenWordCentresAndWrap)
{
    // Only the first stored word, word (0, 0) in any order, is white; image A only.
    struct Case
    {
        int bitsPerPixel;
        uint32_t width, height;
        std::vector<std::pair<uint32_t, uint32_t>> texels;
        std::vector<int> expected; // red of each texel
    };
    const Case cases[] = {
        // Word centres at 2, 6, 10, 14: full, three quarters, half, a quarter, none; the
        // left column and top row reach across the edges to word (0, 0).
        {4,
         16,
         16,
         {{2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {15, 2}, {0, 0}, {2, 15}},
         {255, 191, 127, 63, 0, 63, 63, 63}},
        // 8 x 4 texels per word: centres at x = 4, 12, 20, 28 and y = 2, 6.
        {2,
         32,
         8,
         {{4, 2}, {6, 2}, {8, 2}, {12, 2}, {0, 2}, {4, 0}, {4, 4}, {0, 0}},
         {255, 191, 127, 0, 127, 127, 127, 63}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bitsPerPixel == 4 ? "4 bpp" : "2 bpp");
        const size_t count = PvrtcDecoder::LevelSize(c.width, c.height, c.bitsPerPixel) / 8;
        std::vector<Word> words(count, Word{0, c_iBlackA | c_iBlackB});
        words[0].colour = c_iWhiteA | c_iBlackB;
        const auto rgba = DecodeOrFail(Pack(words), c.width, c.height, c.bitsPerPixel);
        for (size_t i = 0; i < c.texels.size(); ++i)
        {
            const auto [x, y] = c.texels[i];
            const Texel t = At(rgba, c.width, x, y);
            EXPECT_EQ(t.r, c.expected[i]) << "texel " << x << ", " << y;
            EXPECT_EQ(t.g, c.expected[i]) << "texel " << x << ", " << y;
            EXPECT_EQ(t.a, 255);
        }
    }
}

TEST(PvrtcDecoder, WordsAreStoredInMortonOrder)
{
    // Stored word i has colour A with red = i mod 32 and green = i / 32, shown at its
    // centre texel exactly.
    struct Case
    {
        uint32_t width, height;
        std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> wordIndex; // x, y, stored at
    };
    const Case cases[] = {
        // 16 x 4 words: two interleaved bit pairs (y in the lower bit), then the rest of x.
        {64,
         16,
         {{0, 0, 0},
          {0, 1, 1},
          {1, 0, 2},
          {1, 1, 3},
          {0, 2, 4},
          {2, 0, 8},
          {4, 0, 16},
          {13, 2, 54},
          {15, 3, 63}}},
        // 2 x 8 words: one interleaved pair, then the rest of y.
        {8, 32, {{1, 0, 2}, {0, 1, 1}, {0, 2, 4}, {1, 2, 6}, {0, 7, 13}, {1, 7, 15}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const size_t count = PvrtcDecoder::LevelSize(c.width, c.height, 4) / 8;
        std::vector<Word> words;
        for (uint32_t i = 0; i < count; ++i)
            words.push_back({0, OpaqueA(i % 32, i / 32, 0) | c_iBlackB});
        const auto rgba = DecodeOrFail(Pack(words), c.width, c.height, 4);
        for (const auto& [x, y, index] : c.wordIndex)
        {
            const Texel t = At(rgba, c.width, 4 * x + 2, 4 * y + 2);
            EXPECT_EQ(t.r >> 3, int(index % 32)) << "word " << x << ", " << y;
            EXPECT_EQ(t.g >> 3, int(index / 32)) << "word " << x << ", " << y;
        }
    }
}

TEST(PvrtcDecoder, TwoBppDirectModeTakesOneBitPerTexel)
{
    // Row 0: texels 4..7 from B; row 2: texel 0 from B; everything else from A.
    const uint32_t modulation = 0x000000F0u | 0x00010000u;
    const auto rgba = DecodeOrFail(Uniform(4, {modulation, c_iBlackA | c_iWhiteB}), 16, 8, 2);
    for (uint32_t y = 0; y < 8; ++y)
    {
        for (uint32_t x = 0; x < 16; ++x)
        {
            const uint32_t lx = x % 8;
            const uint32_t ly = y % 4;
            const bool white = (ly == 0 && lx >= 4) || (ly == 2 && lx == 0);
            ASSERT_EQ(At(rgba, 16, x, y).r, white ? 255 : 0) << "texel " << x << ", " << y;
        }
    }
}

TEST(PvrtcDecoder, TwoBppInterpolatedModeFillsMissingTexelsFromNeighbours)
{
    // Stored texels (x + y even) of rows 1 and 3 have value 3 (B, white), those of rows 0
    // and 2 value 0 (A, black). The others take a mean of stored neighbours.
    const uint32_t stored = 0xFF00FF00u;
    struct Case
    {
        const char* name;
        uint32_t flags; // bit 0 and bit 20 of the modulation half
        int evenRowRed; // missing texels of rows 0 and 2
        int oddRowRed;  // missing texels of rows 1 and 3
    };
    // Weight 8 is 255, weight 4 (mean of 0, 0, 8, 8) is 127.
    const Case cases[] = {
        {"both directions", 0, 127, 127},
        {"horizontal", 1, 0, 255},
        {"vertical", 1 | 1u << 20, 255, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const Word word{stored | c.flags, c_iBlackA | c_iWhiteB | c_iModulationFlag};
        const auto rgba = DecodeOrFail(Uniform(4, word), 16, 8, 2);
        for (uint32_t y = 0; y < 8; ++y)
        {
            for (uint32_t x = 0; x < 16; ++x)
            {
                const bool oddRow = (y % 2) == 1;
                int expected = oddRow ? 255 : 0;
                if ((x + y) % 2 == 1)
                    expected = oddRow ? c.oddRowRed : c.evenRowRed;
                ASSERT_EQ(At(rgba, 16, x, y).r, expected) << "texel " << x << ", " << y;
            }
        }
    }

    // Texel (0, 0) keeps one bit, bit 1, standing for A or B; bit 0 is the flag.
    {
        SCOPED_TRACE("texel 0, 0");
        const Word word{0x2u, c_iBlackA | c_iWhiteB | c_iModulationFlag};
        const auto rgba = DecodeOrFail(Uniform(4, word), 16, 8, 2);
        EXPECT_EQ(At(rgba, 16, 0, 0).r, 255);
        EXPECT_EQ(At(rgba, 16, 2, 0).r, 0);
    }
    // With bit 0 set, texel (4, 2) likewise keeps bit 21 and lends bit 20 to the flag.
    {
        SCOPED_TRACE("texel 4, 2");
        const Word word{0x1u | 1u << 21, c_iBlackA | c_iWhiteB | c_iModulationFlag};
        const auto rgba = DecodeOrFail(Uniform(4, word), 16, 8, 2);
        EXPECT_EQ(At(rgba, 16, 4, 2).r, 255);
        EXPECT_EQ(At(rgba, 16, 3, 2).r, 127); // horizontal mean of 0 and 8
    }
}

TEST(PvrtcDecoder, SmallTexturesShowTheTopLeftOfTheirWords)
{
    std::mt19937 random(7);
    std::vector<uint8_t> data(32);
    for (uint8_t& byte : data)
        byte = uint8_t(random());
    struct Case
    {
        int bitsPerPixel;
        uint32_t fullWidth, fullHeight;
        std::vector<std::pair<uint32_t, uint32_t>> sizes;
    };
    const Case cases[] = {
        {4, 8, 8, {{1, 1}, {2, 2}, {4, 4}, {8, 4}, {4, 8}, {1, 8}}},
        {2, 16, 8, {{1, 1}, {8, 8}, {16, 4}, {4, 8}, {16, 1}}},
    };
    for (const Case& c : cases)
    {
        const auto full = DecodeOrFail(data, c.fullWidth, c.fullHeight, c.bitsPerPixel);
        for (const auto& [width, height] : c.sizes)
        {
            SCOPED_TRACE(testing::Message()
                         << c.bitsPerPixel << " bpp, " << width << " x " << height);
            EXPECT_EQ(PvrtcDecoder::LevelSize(width, height, c.bitsPerPixel), 32u);
            const auto small = DecodeOrFail(data, width, height, c.bitsPerPixel);
            for (uint32_t y = 0; y < height; ++y)
                for (uint32_t x = 0; x < width; ++x)
                    ASSERT_EQ(At(small, width, x, y), At(full, c.fullWidth, x, y));
        }
    }
}

TEST(PvrtcDecoder, RejectsShortDataAndSizesThatAreNotPvrtc)
{
    struct Case
    {
        uint32_t width, height;
        int bitsPerPixel;
        size_t size;
        bool valid;
    };
    const Case cases[] = {
        {128, 128, 4, 8192, true},  {128, 128, 4, 8191, false}, {128, 128, 2, 4096, true},
        {128, 128, 2, 4095, false}, {4, 4, 4, 32, true},        {4, 4, 4, 31, false},
        {4, 4, 4, 8, false},        {8, 8, 2, 16, false},       {1, 1, 2, 32, true},
        {128, 128, 4, 0, false},    {12, 16, 4, 4096, false},   {16, 0, 4, 4096, false},
        {16, 16, 3, 4096, false},   {16, 16, 8, 4096, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " at " << c.bitsPerPixel
                                        << " bpp from " << c.size);
        // Exactly the bytes given, on the heap, so that the address sanitiser sees any
        // read past them.
        std::unique_ptr<uint8_t[]> data(new uint8_t[std::max<size_t>(c.size, 1)]);
        std::fill_n(data.get(), std::max<size_t>(c.size, 1), uint8_t(0x5A));
        std::vector<uint8_t> rgba(3, 0);
        EXPECT_EQ(PvrtcDecoder::Decode(data.get(), c.size, c.width, c.height, c.bitsPerPixel, rgba),
                  c.valid);
        EXPECT_EQ(rgba.size(), c.valid ? size_t(c.width) * c.height * 4 : 0u);
    }
    std::vector<uint8_t> rgba;
    EXPECT_FALSE(PvrtcDecoder::Decode(nullptr, 8192, 128, 128, 4, rgba));
}

TEST(PvrtcDecoder, LevelSizesAddUpToTheRealFilesDataSizes)
{
    if (!pvr_test::HavePvrFiles())
        GTEST_SKIP() << "no shared PVR test files";
    for (const char* name : {"test_image_pvrtc4bpp.pvr", "test_image.pvr",
                             "test_image_pvrtc2bpp.pvr", "pvrtc_image.pvr", "rock_mipmap_4.pvr"})
    {
        SCOPED_TRACE(name);
        const auto file = pvr_test::ReadPvrFile(name);
        PvrHeader header;
        ASSERT_TRUE(PvrHeader::Read(file.data(), file.size(), header));
        const int bitsPerPixel = header.PixelFormat() == PvrHeader::c_iFormatPvrtc2 ? 2 : 4;
        uint64_t total = 0;
        for (uint32_t level = 0; level <= header.mipmapCount; ++level)
            total += PvrtcDecoder::LevelSize(std::max(header.width >> level, 1u),
                                             std::max(header.height >> level, 1u), bitsPerPixel);
        EXPECT_EQ(total, header.dataSize);
        EXPECT_EQ(header.headerSize + total, file.size());
    }
}

TEST(PvrtcDecoder, RealPicturesMatchTheUncompressedOriginal)
{
    if (!pvr_test::HavePvrFiles())
        GTEST_SKIP() << "no shared PVR test files";
    const auto reference = pvr_test::ReferencePicture();
    ASSERT_EQ(reference.size(), 128u * 128u * 4u);
    struct Case
    {
        const char* name;
        int bitsPerPixel;
        double minPsnr; // dB over the colour of texels the original shows opaque
    };
    // Measured: 27.0 dB, 25.3 dB and 22.2 dB. Decoding the words half a texel block off
    // centre loses 3.5 dB; a wrong bit layout loses far more.
    const Case cases[] = {
        {"test_image_pvrtc4bpp.pvr", 4, 26.5},
        {"test_image.pvr", 4, 24.8},
        {"test_image_pvrtc2bpp.pvr", 2, 21.7},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto file = pvr_test::ReadPvrFile(c.name);
        ASSERT_GT(file.size(), PvrHeader::c_iSize);
        const std::vector<uint8_t> data(file.begin() + PvrHeader::c_iSize, file.end());
        const auto rgba = DecodeOrFail(data, 128, 128, c.bitsPerPixel);
        const double psnr = pvr_test::PsnrWhereOpaque(reference, rgba);
        std::cout << c.name << ": " << psnr << " dB where the original is opaque\n";
        EXPECT_GT(psnr, c.minPsnr);

        // The transparent holes come out transparent and the rest opaque.
        size_t holes = 0, holesClear = 0, solid = 0, solidKept = 0;
        for (size_t i = 0; i < 128 * 128; ++i)
        {
            if (reference[4 * i + 3] == 0)
            {
                ++holes;
                holesClear += rgba[4 * i + 3] < 64;
            }
            else if (reference[4 * i + 3] == 255)
            {
                ++solid;
                solidKept += rgba[4 * i + 3] > 192;
            }
        }
        ASSERT_GT(holes, 1000u);
        EXPECT_GT(double(holesClear) / double(holes), 0.9);
        EXPECT_GT(double(solidKept) / double(solid), 0.9);
        std::cout << "  clear holes " << double(holesClear) / double(holes) << ", opaque kept "
                  << double(solidKept) / double(solid) << "\n";
    }
}
