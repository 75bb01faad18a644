#include "formats/PngDecoder.h"

#include <array>
#include <cstring>

namespace
{
// Reads a deflate stream bit by bit, least significant bit first.
class BitReader
{
  public:
    BitReader(const uint8_t* data, size_t size) : m_pData(data), m_iSize(size) {}

    // -1 past the end.
    int Bits(int count)
    {
        int value = 0;
        for (int i = 0; i < count; ++i)
        {
            if (m_iByte >= m_iSize)
                return -1;
            value |= ((m_pData[m_iByte] >> m_iBit) & 1) << i;
            if (++m_iBit == 8)
            {
                m_iBit = 0;
                ++m_iByte;
            }
        }
        return value;
    }
    void AlignToByte()
    {
        if (m_iBit != 0)
        {
            m_iBit = 0;
            ++m_iByte;
        }
    }
    size_t GetByte() const { return m_iByte; }
    void SkipBytes(size_t count) { m_iByte += count; }
    size_t GetSize() const { return m_iSize; }
    const uint8_t* GetData() const { return m_pData; }

  private:
    const uint8_t* m_pData;
    size_t m_iSize;
    size_t m_iByte = 0;
    int m_iBit = 0;
};

// A canonical Huffman code: how many codes of each length, and the symbols in
// code order (the decoding of RFC 1951, section by section as zlib's puff does).
struct Huffman
{
    static constexpr int c_iMaxBits = 15;
    std::array<uint16_t, c_iMaxBits + 1> count{};
    std::array<uint16_t, 320> symbol{};

    // False for an over-subscribed set of lengths.
    bool Build(const uint8_t* lengths, int n)
    {
        count.fill(0);
        for (int i = 0; i < n; ++i)
            ++count[lengths[i]];
        int left = 1;
        for (int len = 1; len <= c_iMaxBits; ++len)
        {
            left = left * 2 - count[len];
            if (left < 0)
                return false;
        }
        std::array<uint16_t, c_iMaxBits + 1> offset{};
        for (int len = 1; len < c_iMaxBits; ++len)
            offset[len + 1] = static_cast<uint16_t>(offset[len] + count[len]);
        for (int i = 0; i < n; ++i)
            if (lengths[i] != 0)
                symbol[offset[lengths[i]]++] = static_cast<uint16_t>(i);
        return true;
    }

    // The next symbol, or -1.
    int Decode(BitReader& in) const
    {
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= c_iMaxBits; ++len)
        {
            const int bit = in.Bits(1);
            if (bit < 0)
                return -1;
            code |= bit;
            const int n = count[len];
            if (code - n < first)
                return symbol[index + (code - first)];
            index += n;
            first = (first + n) << 1;
            code <<= 1;
        }
        return -1;
    }
};

constexpr uint16_t c_lengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t c_lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t c_distanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t c_distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool InflateCodes(BitReader& in, const Huffman& lengths, const Huffman& distances, size_t limit,
                  std::vector<uint8_t>& out)
{
    for (;;)
    {
        const int symbol = lengths.Decode(in);
        if (symbol < 0)
            return false;
        if (symbol < 256)
        {
            if (out.size() >= limit)
                return false;
            out.push_back(static_cast<uint8_t>(symbol));
            continue;
        }
        if (symbol == 256)
            return true;
        const int lengthCode = symbol - 257;
        if (lengthCode >= 29)
            return false;
        const int extra = in.Bits(c_lengthExtra[lengthCode]);
        const int distanceCode = distances.Decode(in);
        if (extra < 0 || distanceCode < 0 || distanceCode >= 30)
            return false;
        const int distanceExtra = in.Bits(c_distanceExtra[distanceCode]);
        if (distanceExtra < 0)
            return false;
        const size_t length = c_lengthBase[lengthCode] + static_cast<size_t>(extra);
        const size_t distance = c_distanceBase[distanceCode] + static_cast<size_t>(distanceExtra);
        if (distance > out.size() || out.size() + length > limit)
            return false;
        const size_t from = out.size() - distance;
        for (size_t i = 0; i < length; ++i)
            out.push_back(out[from + i]);
    }
}

bool InflateFixed(BitReader& in, size_t limit, std::vector<uint8_t>& out)
{
    static const std::pair<Huffman, Huffman> fixed = []
    {
        uint8_t lengths[288];
        for (int i = 0; i < 288; ++i)
            lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
        std::pair<Huffman, Huffman> codes;
        codes.first.Build(lengths, 288);
        std::memset(lengths, 5, 30);
        codes.second.Build(lengths, 30);
        return codes;
    }();
    return InflateCodes(in, fixed.first, fixed.second, limit, out);
}

bool InflateDynamic(BitReader& in, size_t limit, std::vector<uint8_t>& out)
{
    static constexpr uint8_t c_order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                            11, 4,  12, 3, 13, 2, 14, 1, 15};
    const int literals = in.Bits(5) + 257;
    const int distances = in.Bits(5) + 1;
    const int codeLengths = in.Bits(4) + 4;
    if (literals > 286 || distances > 30 || codeLengths < 4)
        return false;
    uint8_t lengths[320] = {};
    for (int i = 0; i < codeLengths; ++i)
    {
        const int bits = in.Bits(3);
        if (bits < 0)
            return false;
        lengths[c_order[i]] = static_cast<uint8_t>(bits);
    }
    Huffman lengthCode;
    if (!lengthCode.Build(lengths, 19))
        return false;
    std::memset(lengths, 0, sizeof lengths);
    for (int i = 0; i < literals + distances;)
    {
        const int symbol = lengthCode.Decode(in);
        if (symbol < 0)
            return false;
        if (symbol < 16)
        {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        int repeat = 0;
        uint8_t value = 0;
        if (symbol == 16)
        {
            if (i == 0)
                return false;
            value = lengths[i - 1];
            repeat = 3 + in.Bits(2);
        }
        else
            repeat = symbol == 17 ? 3 + in.Bits(3) : 11 + in.Bits(7);
        if (repeat < 3 || i + repeat > literals + distances)
            return false;
        while (repeat--)
            lengths[i++] = value;
    }
    if (lengths[256] == 0)
        return false;
    Huffman literalCode, distanceCode;
    if (!literalCode.Build(lengths, literals) || !distanceCode.Build(lengths + literals, distances))
        return false;
    return InflateCodes(in, literalCode, distanceCode, limit, out);
}

uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    static const std::array<uint32_t, 256> table = []
    {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n)
        {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

int Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}
} // namespace

bool PngDecoder::Inflate(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out)
{
    out.clear();
    // The zlib header: deflate, a window of at most 32 KiB, no preset dictionary.
    if (size < 6 || (data[0] & 0x0F) != 8 || (data[0] >> 4) > 7 || (data[1] & 0x20) != 0 ||
        ((data[0] << 8) | data[1]) % 31 != 0)
        return false;
    BitReader in(data + 2, size - 2);
    for (;;)
    {
        const int last = in.Bits(1);
        const int type = in.Bits(2);
        bool ok = false;
        if (type == 0)
        {
            in.AlignToByte();
            const size_t at = in.GetByte();
            if (at + 4 > in.GetSize())
                return false;
            const uint8_t* p = in.GetData() + at;
            const size_t length = p[0] | p[1] << 8;
            if ((length ^ 0xFFFF) != size_t(p[2] | p[3] << 8) || at + 4 + length > in.GetSize() ||
                out.size() + length > limit)
                return false;
            out.insert(out.end(), p + 4, p + 4 + length);
            in.SkipBytes(4 + length);
            ok = true;
        }
        else if (type == 1)
            ok = InflateFixed(in, limit, out);
        else if (type == 2)
            ok = InflateDynamic(in, limit, out);
        if (!ok || last < 0)
            return false;
        if (last == 1)
            break;
    }
    // The Adler-32 of what came out closes the stream.
    in.AlignToByte();
    if (in.GetByte() + 4 > in.GetSize())
        return false;
    uint32_t a = 1, b = 0;
    for (uint8_t byte : out)
    {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return BigEndian32(in.GetData() + in.GetByte()) == (b << 16 | a);
}

bool PngDecoder::Decode(const uint8_t* data, size_t size, int maxSide, Image& image,
                        std::string& error)
{
    image = Image();
    static constexpr uint8_t c_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data || size < 8 || std::memcmp(data, c_signature, 8) != 0)
    {
        error = "not a PNG file";
        return false;
    }
    uint32_t width = 0, height = 0;
    int colourType = -1;
    std::vector<uint8_t> compressed;
    std::array<uint8_t, 256 * 4> palette{};
    for (size_t i = 0; i < 256; ++i)
        palette[i * 4 + 3] = 255;
    size_t paletteSize = 0;
    int transparentGrey = -1;
    int transparentRgb[3] = {-1, -1, -1};
    bool ended = false;
    for (size_t at = 8; at + 12 <= size && !ended;)
    {
        const uint32_t length = BigEndian32(data + at);
        if (length > size - at - 12)
            break;
        const uint8_t* type = data + at + 4;
        const uint8_t* body = data + at + 8;
        if (Crc32(type, length + 4) != BigEndian32(body + length))
        {
            error = "damaged chunk";
            return false;
        }
        if (std::memcmp(type, "IHDR", 4) == 0 && length == 13)
        {
            width = BigEndian32(body);
            height = BigEndian32(body + 4);
            colourType = body[9];
            if (body[8] != 8 || body[10] != 0 || body[11] != 0 || body[12] != 0)
            {
                error = "only 8-bit, non-interlaced PNG images are read here";
                return false;
            }
        }
        else if (std::memcmp(type, "PLTE", 4) == 0 && length % 3 == 0 && length <= 768)
        {
            paletteSize = length / 3;
            for (size_t i = 0; i < paletteSize; ++i)
                std::memcpy(&palette[i * 4], body + i * 3, 3);
        }
        else if (std::memcmp(type, "tRNS", 4) == 0)
        {
            image.hasAlpha = true;
            if (colourType == 3)
                for (size_t i = 0; i < length && i < 256; ++i)
                    palette[i * 4 + 3] = body[i];
            else if (colourType == 0 && length >= 2)
                transparentGrey = body[1];
            else if (colourType == 2 && length >= 6)
                for (int c = 0; c < 3; ++c)
                    transparentRgb[c] = body[c * 2 + 1];
        }
        else if (std::memcmp(type, "IDAT", 4) == 0)
            compressed.insert(compressed.end(), body, body + length);
        else if (std::memcmp(type, "IEND", 4) == 0)
            ended = true;
        at += 12 + size_t(length);
    }
    static constexpr int c_channels[7] = {1, 0, 3, 1, 2, 0, 4};
    if (colourType < 0 || colourType > 6 || c_channels[colourType] == 0 || width == 0 ||
        height == 0 || (colourType == 3 && paletteSize == 0))
    {
        error = "no valid header";
        return false;
    }
    if (width > uint32_t(maxSide) || height > uint32_t(maxSide))
    {
        error = "image too large";
        return false;
    }
    if (!ended)
    {
        error = "truncated";
        return false;
    }
    image.hasAlpha = image.hasAlpha || colourType == 4 || colourType == 6;
    const size_t channels = size_t(c_channels[colourType]);
    const size_t stride = width * channels;
    std::vector<uint8_t> raw;
    if (!Inflate(compressed.data(), compressed.size(), (stride + 1) * height, raw) ||
        raw.size() != (stride + 1) * height)
    {
        error = "damaged image data";
        return false;
    }
    // Undo each row's filter in place, then expand to RGBA.
    std::vector<uint8_t> previous(stride, 0);
    image.rgba.resize(size_t(width) * height * 4);
    for (uint32_t y = 0; y < height; ++y)
    {
        const uint8_t filter = raw[y * (stride + 1)];
        uint8_t* row = &raw[y * (stride + 1) + 1];
        if (filter > 4)
        {
            image = Image();
            error = "damaged image data";
            return false;
        }
        for (size_t x = 0; x < stride; ++x)
        {
            const int left = x >= channels ? row[x - channels] : 0;
            const int up = previous[x];
            const int upLeft = x >= channels ? previous[x - channels] : 0;
            const int predicted = filter == 1   ? left
                                  : filter == 2 ? up
                                  : filter == 3 ? (left + up) / 2
                                  : filter == 4 ? Paeth(left, up, upLeft)
                                                : 0;
            row[x] = static_cast<uint8_t>(row[x] + predicted);
        }
        std::memcpy(previous.data(), row, stride);
        uint8_t* out = &image.rgba[size_t(y) * width * 4];
        for (uint32_t x = 0; x < width; ++x, out += 4)
        {
            const uint8_t* in = row + x * channels;
            switch (colourType)
            {
            case 0:
                out[0] = out[1] = out[2] = in[0];
                out[3] = in[0] == transparentGrey ? 0 : 255;
                break;
            case 2:
                std::memcpy(out, in, 3);
                out[3] = in[0] == transparentRgb[0] && in[1] == transparentRgb[1] &&
                                 in[2] == transparentRgb[2]
                             ? 0
                             : 255;
                break;
            case 3:
                std::memcpy(out, &palette[size_t(in[0]) * 4], 4);
                break;
            case 4:
                out[0] = out[1] = out[2] = in[0];
                out[3] = in[1];
                break;
            default:
                std::memcpy(out, in, 4);
                break;
            }
        }
    }
    image.width = int(width);
    image.height = int(height);
    return true;
}
