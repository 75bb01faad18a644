#include "formats/FontDescriptor.h"

namespace
{
constexpr uint8_t c_magic[4] = {0x42, 0x4D, 0x46, 0x03}; // "BMF", version 3
constexpr size_t c_iBlockHeaderBytes = 5;                // type byte, 32-bit size

enum BlockType : uint8_t
{
    c_iBlockInfo = 1,
    c_iBlockCommon = 2,
    c_iBlockPages = 3,
    c_iBlockChars = 4,
    c_iBlockKerning = 5,
};

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int16_t ReadS16(const uint8_t* p)
{
    return static_cast<int16_t>(ReadU16(p));
}

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
} // namespace

FontDescriptor::FontDescriptor()
{
    Clear();
}

void FontDescriptor::Clear()
{
    m_iHeight = 0;
    m_iSpaceWidth = 0;
    m_sPageName.clear();
    m_glyphs.clear();
    m_iGlyphIndex.fill(-1);
}

int FontDescriptor::GetGlyphIndex(int code) const
{
    if (code < 0 || code >= c_iGlyphCodes)
        return -1;
    return m_iGlyphIndex[static_cast<size_t>(code)];
}

FontDescriptor::Status FontDescriptor::Parse(const uint8_t* data, size_t size)
{
    Clear();
    const Status status = ParseBlocks(data, size);
    if (status != Status::Ok)
        Clear();
    return status;
}

FontDescriptor::Status FontDescriptor::ParseBlocks(const uint8_t* data, size_t size)
{
    if (!data || size < sizeof(c_magic))
        return Status::BadMagic;
    for (size_t i = 0; i < sizeof(c_magic); ++i)
    {
        if (data[i] != c_magic[i])
            return Status::BadMagic;
    }

    bool bHavePages = false;
    bool bHaveChars = false;
    size_t pos = sizeof(c_magic);
    for (;;)
    {
        const size_t left = size - pos;
        if (left == 0)
        {
            if (!bHaveChars)
                return Status::NoChars;
            return bHavePages ? Status::Ok : Status::NoPages;
        }
        if (left < c_iBlockHeaderBytes)
            return Status::TruncatedHeader;

        const uint8_t type = data[pos];
        // The size is unsigned and checked against what is left before it is
        // used, so no block can reach outside the file or move backwards.
        const uint32_t blockSize = ReadU32(data + pos + 1);
        pos += c_iBlockHeaderBytes;
        if (blockSize > size - pos)
            return Status::BlockPastEnd;
        const uint8_t* block = data + pos;
        pos += blockSize;

        switch (type)
        {
        case c_iBlockInfo:
            break; // nothing in it is used
        case c_iBlockCommon:
            if (blockSize != c_iCommonBlockBytes)
                return Status::BadCommonSize;
            m_iHeight = ReadU16(block); // line height; the rest is not used
            break;
        case c_iBlockPages:
        {
            if (bHavePages)
                return Status::DuplicatePages;
            // Only the first page is used; its name must end inside the block.
            size_t length = 0;
            while (length < blockSize && block[length] != 0)
                ++length;
            if (length == 0 || length == blockSize)
                return Status::BadPageName;
            m_sPageName.assign(reinterpret_cast<const char*>(block), length);
            bHavePages = true;
            break;
        }
        case c_iBlockChars:
        {
            if (bHaveChars)
                return Status::DuplicateChars;
            const Status status = ReadChars(block, blockSize);
            if (status != Status::Ok)
                return status;
            bHaveChars = true;
            break;
        }
        case c_iBlockKerning:
        {
            if (!bHaveChars)
                return Status::KerningBeforeChars;
            const Status status = ReadKerning(block, blockSize);
            if (status != Status::Ok)
                return status;
            // The kerning block ends the descriptor: whatever follows is not read.
            return bHavePages ? Status::Ok : Status::NoPages;
        }
        default:
            return Status::UnknownBlock;
        }
    }
}

FontDescriptor::Status FontDescriptor::ReadChars(const uint8_t* block, uint32_t size)
{
    if (size % c_iCharRecordBytes != 0)
        return Status::BadCharsSize;
    const size_t count = size / c_iCharRecordBytes;
    for (size_t i = 0; i < count; ++i)
    {
        const uint8_t* record = block + i * c_iCharRecordBytes;
        const uint32_t id = ReadU32(record);
        if (id >= static_cast<uint32_t>(c_iGlyphCodes))
            continue; // Unicode glyphs beyond the 8-bit table cannot be drawn
        FontCharacter glyph;
        glyph.x = ReadU16(record + 4);
        glyph.y = ReadU16(record + 6);
        // Sizes and metrics keep their low 8 bits: glyphs are small.
        glyph.width = static_cast<uint8_t>(ReadU16(record + 8));
        glyph.height = static_cast<uint8_t>(ReadU16(record + 10));
        glyph.xoffset = static_cast<int8_t>(ReadU16(record + 12) & 0xFF);
        glyph.yoffset = static_cast<int8_t>(ReadU16(record + 14) & 0xFF);
        glyph.xadvance = static_cast<int8_t>(ReadU16(record + 16) & 0xFF);
        // Page and channel (bytes 18 and 19) are not used: one page only.
        if (id == 32)
            m_iSpaceWidth = ReadS16(record + 16);
        // A later record for the same code replaces the earlier one.
        m_iGlyphIndex[id] = static_cast<int>(m_glyphs.size());
        m_glyphs.push_back(glyph);
    }
    return Status::Ok;
}

FontDescriptor::Status FontDescriptor::ReadKerning(const uint8_t* block, uint32_t size)
{
    if (size % c_iKerningRecordBytes != 0)
        return Status::BadKerningSize;
    const size_t count = size / c_iKerningRecordBytes;
    for (size_t i = 0; i < count; ++i)
    {
        const uint8_t* record = block + i * c_iKerningRecordBytes;
        const uint32_t first = ReadU32(record);
        // Pairs for a glyph the file does not have (or cannot draw) are dropped.
        if (first >= static_cast<uint32_t>(c_iGlyphCodes) || m_iGlyphIndex[first] < 0)
            continue;
        const auto second = static_cast<signed char>(record[4]); // low 8 bits
        const auto amount = static_cast<signed char>(record[8]);
        m_glyphs[static_cast<size_t>(m_iGlyphIndex[first])].AddKerning(second, amount);
    }
    return Status::Ok;
}

const char* FontDescriptor::Describe(Status status)
{
    switch (status)
    {
    case Status::Ok:
        return "ok";
    case Status::BadMagic:
        return "not a binary BMFont version 3 descriptor";
    case Status::TruncatedHeader:
        return "the file ends inside a block header";
    case Status::BlockPastEnd:
        return "a block claims more bytes than the file holds";
    case Status::UnknownBlock:
        return "unknown block type";
    case Status::BadCommonSize:
        return "the common block is not 15 bytes";
    case Status::DuplicatePages:
        return "a second pages block";
    case Status::BadPageName:
        return "the page name is empty or not terminated";
    case Status::DuplicateChars:
        return "a second chars block";
    case Status::BadCharsSize:
        return "the chars block is not a whole number of records";
    case Status::KerningBeforeChars:
        return "a kerning block before the chars block";
    case Status::BadKerningSize:
        return "the kerning block is not a whole number of records";
    case Status::NoChars:
        return "no chars block";
    case Status::NoPages:
        return "no pages block";
    }
    return "unknown status";
}
