// Writes binary BMFont descriptors (version 3) for the font tests: well-formed
// ones block by block, and malformed ones by raw blocks and sizes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zindle_test
{
struct BmGlyph
{
    uint32_t id = 0;
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    int16_t xoffset = 0;
    int16_t yoffset = 0;
    int16_t xadvance = 0;
};

struct BmKerning
{
    uint32_t first = 0;
    uint32_t second = 0;
    int16_t amount = 0;
};

class BmFontWriter
{
  public:
    BmFontWriter() { m_bytes = {'B', 'M', 'F', 3}; }

    // A block with any type, declared size and content.
    BmFontWriter& Block(uint8_t type, uint32_t declaredSize, const std::string& content)
    {
        m_bytes.push_back(type);
        PutU32(declaredSize);
        m_bytes.insert(m_bytes.end(), content.begin(), content.end());
        return *this;
    }
    BmFontWriter& Block(uint8_t type, const std::string& content)
    {
        return Block(type, static_cast<uint32_t>(content.size()), content);
    }

    BmFontWriter& Info()
    {
        return Block(1,
                     std::string("\x12\x00\x40\x00\x64\x01\x00\x00\x00\x00\x01\x01\x00Test\0", 18));
    }
    BmFontWriter& Common(uint16_t lineHeight, uint32_t size = 15)
    {
        std::string content(size, '\0');
        if (size >= 2)
        {
            content[0] = static_cast<char>(lineHeight & 0xFF);
            content[1] = static_cast<char>(lineHeight >> 8);
        }
        return Block(2, content);
    }
    // Page names, each followed by its NUL.
    BmFontWriter& Pages(const std::vector<std::string>& names)
    {
        std::string content;
        for (const std::string& name : names)
            content += name + '\0';
        return Block(3, content);
    }
    BmFontWriter& Chars(const std::vector<BmGlyph>& glyphs)
    {
        std::string content;
        for (const BmGlyph& g : glyphs)
        {
            Append32(content, g.id);
            Append16(content, g.x);
            Append16(content, g.y);
            Append16(content, g.width);
            Append16(content, g.height);
            Append16(content, static_cast<uint16_t>(g.xoffset));
            Append16(content, static_cast<uint16_t>(g.yoffset));
            Append16(content, static_cast<uint16_t>(g.xadvance));
            content += '\0';   // page
            content += '\x0F'; // channel
        }
        return Block(4, content);
    }
    BmFontWriter& Kerning(const std::vector<BmKerning>& pairs)
    {
        std::string content;
        for (const BmKerning& k : pairs)
        {
            Append32(content, k.first);
            Append32(content, k.second);
            Append16(content, static_cast<uint16_t>(k.amount));
        }
        return Block(5, content);
    }
    BmFontWriter& Raw(const std::string& bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    std::string String() const { return std::string(m_bytes.begin(), m_bytes.end()); }

  private:
    void PutU32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    static void Append16(std::string& s, uint16_t v)
    {
        s += static_cast<char>(v & 0xFF);
        s += static_cast<char>(v >> 8);
    }
    static void Append32(std::string& s, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
    }

    std::vector<uint8_t> m_bytes;
};
} // namespace zindle_test
