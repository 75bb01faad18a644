// PVRTC version 1 decoding. Each 64-bit word holds a modulation half (low 32 bits) and
// a colour half: two colours, A and B, of two low-resolution images. Both images are
// bilinearly upscaled with their samples at the word centres, wrapping at the edges,
// and every texel blends the two by its modulation weight in eighths.
#include "formats/PvrtcDecoder.h"

#include <algorithm>
#include <array>

namespace
{
constexpr uint32_t c_iWordBytes = 8;
constexpr uint32_t c_iBlockHeight = 4; // texels per word vertically, at both rates
constexpr uint32_t c_iMinWords = 2;    // every level holds at least 2 x 2 words

// Texel modulation as stored in the weight map: weight 0..8 in the low bits, flags above.
constexpr uint8_t c_iWeightMask = 0x0F;
constexpr uint8_t c_iHorizontal = 0x10;   // 2 bpp: mean of the left and right weights
constexpr uint8_t c_iVertical = 0x20;     // 2 bpp: mean of the upper and lower weights
constexpr uint8_t c_iPunchThrough = 0x80; // texel alpha is zero

constexpr std::array<uint8_t, 4> c_aStandardWeights = {0, 3, 5, 8};
constexpr std::array<uint8_t, 4> c_aPunchThroughWeights = {0, 4, 4 | c_iPunchThrough, 8};

bool IsPowerOfTwo(uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

uint32_t BlockWidth(int bitsPerPixel)
{
    return bitsPerPixel == 4 ? 4 : 8;
}

uint32_t ReadLittleEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Index of word (x, y) in Morton order: bits of x and y interleaved with y in the lower
// bit of each pair, as far as the smaller side reaches; the rest of the longer side's
// coordinate above that.
uint32_t MortonIndex(uint32_t x, uint32_t y, uint32_t wordsX, uint32_t wordsY)
{
    const uint32_t shorter = std::min(wordsX, wordsY);
    uint32_t index = 0;
    uint32_t bit = 0;
    for (; (1u << bit) < shorter; ++bit)
    {
        index |= ((y >> bit) & 1u) << (2 * bit);
        index |= ((x >> bit) & 1u) << (2 * bit + 1);
    }
    return index | ((x | y) >> bit) << (2 * bit);
}

// A colour of one word with red, green and blue at 5 bits and alpha at 4 bits.
struct Colour
{
    int r, g, b, a;
};

int Expand4To5(uint32_t v)
{
    return int((v << 1) | (v >> 3));
}
int Expand3To5(uint32_t v)
{
    return int((v << 2) | (v >> 1));
}
int Expand3To4(uint32_t v)
{
    return int(v << 1);
}

// Colour A lives in bits 1..15 of the colour half (bit 0 is the modulation flag).
Colour ColourA(uint32_t bits)
{
    if (bits & 0x8000) // opaque, RGB 5:5:4
        return {int((bits >> 10) & 31), int((bits >> 5) & 31), Expand4To5((bits >> 1) & 15), 15};
    // translucent, ARGB 3:4:4:3
    return {Expand4To5((bits >> 8) & 15), Expand4To5((bits >> 4) & 15), Expand3To5((bits >> 1) & 7),
            Expand3To4((bits >> 12) & 7)};
}

// Colour B is the upper 16 bits of the colour half, given here shifted down.
Colour ColourB(uint32_t bits)
{
    if (bits & 0x8000) // opaque, RGB 5:5:5
        return {int((bits >> 10) & 31), int((bits >> 5) & 31), int(bits & 31), 15};
    // translucent, ARGB 3:4:4:4
    return {Expand4To5((bits >> 8) & 15), Expand4To5((bits >> 4) & 15), Expand4To5(bits & 15),
            Expand3To4((bits >> 12) & 7)};
}

struct Word
{
    uint32_t modulation;
    uint32_t colour;
};

struct Level
{
    uint32_t wordsX, wordsY; // powers of two, at least 2
    uint32_t paddedWidth, paddedHeight;
    std::vector<Word> words;         // row by row
    std::vector<uint8_t> modulation; // one entry per texel of the padded size
};

// 4 bpp: two bits per texel, weights by the word's modulation flag.
void FillModulation4(Level& level)
{
    for (uint32_t wy = 0; wy < level.wordsY; ++wy)
    {
        for (uint32_t wx = 0; wx < level.wordsX; ++wx)
        {
            const Word& word = level.words[size_t(wy) * level.wordsX + wx];
            const auto& weights = (word.colour & 1) ? c_aPunchThroughWeights : c_aStandardWeights;
            for (uint32_t ly = 0; ly < 4; ++ly)
            {
                uint8_t* row = &level.modulation[size_t(wy * 4 + ly) * level.paddedWidth + wx * 4];
                for (uint32_t lx = 0; lx < 4; ++lx)
                    row[lx] = weights[(word.modulation >> (2 * (ly * 4 + lx))) & 3];
            }
        }
    }
}

// 2 bpp, flag 0: one bit per texel picks image A or B. Flag 1: two-bit values for the
// texels of one checkerboard colour; the others take the mean of their neighbours,
// horizontally, vertically or both as bits 0 and 20 say.
void FillModulation2(Level& level)
{
    const uint32_t width = level.paddedWidth;
    for (uint32_t wy = 0; wy < level.wordsY; ++wy)
    {
        for (uint32_t wx = 0; wx < level.wordsX; ++wx)
        {
            const Word& word = level.words[size_t(wy) * level.wordsX + wx];
            const uint32_t bits = word.modulation;
            uint8_t* block = &level.modulation[size_t(wy * 4) * width + wx * 8];
            if ((word.colour & 1) == 0)
            {
                for (uint32_t ly = 0; ly < 4; ++ly)
                    for (uint32_t lx = 0; lx < 8; ++lx)
                        block[ly * width + lx] = ((bits >> (ly * 8 + lx)) & 1) ? 8 : 0;
                continue;
            }
            uint8_t missing = c_iHorizontal | c_iVertical;
            if (bits & 1)
                missing = (bits & (1u << 20)) ? c_iVertical : c_iHorizontal;
            for (uint32_t ly = 0; ly < 4; ++ly)
            {
                for (uint32_t lx = 0; lx < 8; ++lx)
                {
                    if ((lx + ly) & 1)
                    {
                        block[ly * width + lx] = missing;
                        continue;
                    }
                    uint32_t value = (bits >> (2 * (ly * 4 + lx / 2))) & 3;
                    // Texel (0, 0), and (4, 2) when bit 0 is set, lend their low bit to the
                    // flags and keep one bit, which stands for A or B.
                    if ((lx == 0 && ly == 0) || (lx == 4 && ly == 2 && (bits & 1)))
                        value = (value & 2) ? 3 : 0;
                    block[ly * width + lx] = c_aStandardWeights[value];
                }
            }
        }
    }

    // Neighbours of a missing texel are all stored ones, so one pass in place will do.
    const uint32_t height = level.paddedHeight;
    for (uint32_t y = 0; y < height; ++y)
    {
        const uint8_t* up = &level.modulation[size_t((y - 1) & (height - 1)) * width];
        const uint8_t* down = &level.modulation[size_t((y + 1) & (height - 1)) * width];
        uint8_t* row = &level.modulation[size_t(y) * width];
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint8_t missing = row[x] & (c_iHorizontal | c_iVertical);
            if (missing == 0)
                continue;
            const int left = row[(x - 1) & (width - 1)] & c_iWeightMask;
            const int right = row[(x + 1) & (width - 1)] & c_iWeightMask;
            const int above = up[x] & c_iWeightMask;
            const int below = down[x] & c_iWeightMask;
            int weight;
            if (missing == c_iHorizontal)
                weight = (left + right + 1) / 2;
            else if (missing == c_iVertical)
                weight = (above + below + 1) / 2;
            else
                weight = (left + right + above + below + 2) / 4;
            row[x] = uint8_t(weight);
        }
    }
}

// Upscales both images and modulates. The loop runs over the regions between four word
// centres, where the same four colours of each image apply. BlockWidth is 4 or 8 texels.
template <uint32_t BlockWidth>
void Reconstruct(const Level& level, const std::vector<Colour>& colourA,
                 const std::vector<Colour>& colourB, uint32_t width, uint32_t height, uint8_t* rgba)
{
    // The bilinear weights sum to 16 (4 bpp) or 32 (2 bpp): extra fraction bits.
    constexpr int fraction = BlockWidth == 4 ? 0 : 1;
    const uint32_t maskX = level.paddedWidth - 1;
    const uint32_t maskY = level.paddedHeight - 1;

    for (uint32_t wy = 0; wy < level.wordsY; ++wy)
    {
        const size_t row0 = size_t(wy) * level.wordsX;
        const size_t row1 = size_t((wy + 1) & (level.wordsY - 1)) * level.wordsX;
        for (uint32_t wx = 0; wx < level.wordsX; ++wx)
        {
            const uint32_t wx1 = (wx + 1) & (level.wordsX - 1);
            const size_t corners[4] = {row0 + wx, row0 + wx1, row1 + wx, row1 + wx1};
            for (uint32_t dy = 0; dy < c_iBlockHeight; ++dy)
            {
                const uint32_t y = (wy * c_iBlockHeight + c_iBlockHeight / 2 + dy) & maskY;
                if (y >= height)
                    continue;
                // Each image's left and right columns at this row, in the order r, g, b, a.
                int left[2][4];
                int right[2][4];
                const int top = int(c_iBlockHeight - dy);
                const int bottom = int(dy);
                for (int image = 0; image < 2; ++image)
                {
                    const std::vector<Colour>& colours = image == 0 ? colourA : colourB;
                    const Colour& p = colours[corners[0]];
                    const Colour& q = colours[corners[1]];
                    const Colour& r = colours[corners[2]];
                    const Colour& s = colours[corners[3]];
                    left[image][0] = p.r * top + r.r * bottom;
                    left[image][1] = p.g * top + r.g * bottom;
                    left[image][2] = p.b * top + r.b * bottom;
                    left[image][3] = p.a * top + r.a * bottom;
                    right[image][0] = q.r * top + s.r * bottom;
                    right[image][1] = q.g * top + s.g * bottom;
                    right[image][2] = q.b * top + s.b * bottom;
                    right[image][3] = q.a * top + s.a * bottom;
                }
                const uint8_t* modulation = &level.modulation[size_t(y) * level.paddedWidth];
                uint8_t* out = rgba + size_t(y) * width * 4;
                for (uint32_t dx = 0; dx < BlockWidth; ++dx)
                {
                    const uint32_t x = (wx * BlockWidth + BlockWidth / 2 + dx) & maskX;
                    if (x >= width)
                        continue;
                    const int wl = int(BlockWidth - dx);
                    const int wr = int(dx);
                    const uint8_t mod = modulation[x];
                    const int weight = mod & c_iWeightMask;
                    uint8_t* texel = out + size_t(x) * 4;
                    for (int c = 0; c < 4; ++c)
                    {
                        // Colour channels hold 5 integer bits, alpha 4, plus the fraction:
                        // scale to 8 bits by replicating the top bits.
                        const int a = left[0][c] * wl + right[0][c] * wr;
                        const int b = left[1][c] * wl + right[1][c] * wr;
                        int a8;
                        int b8;
                        if (c < 3)
                        {
                            a8 = (a >> (1 + fraction)) + (a >> (6 + fraction));
                            b8 = (b >> (1 + fraction)) + (b >> (6 + fraction));
                        }
                        else
                        {
                            a8 = (a >> fraction) + (a >> (4 + fraction));
                            b8 = (b >> fraction) + (b >> (4 + fraction));
                        }
                        texel[c] = uint8_t((a8 * (8 - weight) + b8 * weight) >> 3);
                    }
                    if (mod & c_iPunchThrough)
                        texel[3] = 0;
                }
            }
        }
    }
}
} // namespace

namespace PvrtcDecoder
{
uint64_t LevelSize(uint32_t width, uint32_t height, int bitsPerPixel)
{
    if ((bitsPerPixel != 2 && bitsPerPixel != 4) || !IsPowerOfTwo(width) || !IsPowerOfTwo(height))
        return 0;
    const uint64_t wordsX = std::max(width / BlockWidth(bitsPerPixel), c_iMinWords);
    const uint64_t wordsY = std::max(height / c_iBlockHeight, c_iMinWords);
    return wordsX * wordsY * c_iWordBytes;
}

bool Decode(const uint8_t* data, size_t size, uint32_t width, uint32_t height, int bitsPerPixel,
            std::vector<uint8_t>& rgba)
{
    rgba.clear();
    const uint64_t levelSize = LevelSize(width, height, bitsPerPixel);
    if (levelSize == 0 || data == nullptr || size < levelSize)
        return false;

    const uint32_t blockWidth = BlockWidth(bitsPerPixel);
    Level level;
    level.wordsX = std::max(width / blockWidth, c_iMinWords);
    level.wordsY = std::max(height / c_iBlockHeight, c_iMinWords);
    level.paddedWidth = level.wordsX * blockWidth;
    level.paddedHeight = level.wordsY * c_iBlockHeight;

    const size_t wordCount = size_t(level.wordsX) * level.wordsY;
    level.words.resize(wordCount);
    std::vector<Colour> colourA(wordCount);
    std::vector<Colour> colourB(wordCount);
    for (uint32_t wy = 0; wy < level.wordsY; ++wy)
    {
        for (uint32_t wx = 0; wx < level.wordsX; ++wx)
        {
            const uint8_t* p =
                data + size_t(MortonIndex(wx, wy, level.wordsX, level.wordsY)) * c_iWordBytes;
            const size_t i = size_t(wy) * level.wordsX + wx;
            level.words[i] = {ReadLittleEndian32(p), ReadLittleEndian32(p + 4)};
            colourA[i] = ColourA(level.words[i].colour & 0xFFFF);
            colourB[i] = ColourB(level.words[i].colour >> 16);
        }
    }

    level.modulation.resize(size_t(level.paddedWidth) * level.paddedHeight);
    if (bitsPerPixel == 4)
        FillModulation4(level);
    else
        FillModulation2(level);

    rgba.resize(size_t(width) * height * 4);
    if (bitsPerPixel == 4)
        Reconstruct<4>(level, colourA, colourB, width, height, rgba.data());
    else
        Reconstruct<8>(level, colourA, colourB, width, height, rgba.data());
    return true;
}
} // namespace PvrtcDecoder
