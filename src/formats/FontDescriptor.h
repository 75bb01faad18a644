// Reader of the binary BMFont descriptor (version 3): the line height, the first
// page's image name, the glyphs of codes 0 to 255 and their kerning pairs.
// It works on the bytes of the whole file, so no block can reach past them, and
// any malformed descriptor is rejected as a whole.
#pragma once

#include "formats/FontCharacter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FontDescriptor
{
  public:
    enum class Status
    {
        Ok,
        BadMagic,           // not "BMF" version 3
        TruncatedHeader,    // 1 to 4 bytes left where a block header should be
        BlockPastEnd,       // a block claims more bytes than the file holds
        UnknownBlock,       // a block type other than 1 to 5
        BadCommonSize,      // the common block is not 15 bytes
        DuplicatePages,     // a second pages block
        BadPageName,        // the first page name is empty or has no terminating NUL
        DuplicateChars,     // a second chars block
        BadCharsSize,       // the chars block is not a whole number of 20-byte records
        KerningBeforeChars, // kerning pairs name glyphs that are not read yet
        BadKerningSize,     // the kerning block is not a whole number of 10-byte records
        NoChars,            // the file ends without a chars block
        NoPages,            // the file has glyphs but no page to draw them from
    };

    static constexpr int c_iGlyphCodes = 256; // codes a glyph can be drawn for
    static constexpr size_t c_iCharRecordBytes = 20;
    static constexpr size_t c_iKerningRecordBytes = 10;
    static constexpr size_t c_iCommonBlockBytes = 15;

    FontDescriptor();

    // Reads a whole descriptor. On any failure the descriptor is left empty.
    Status Parse(const uint8_t* data, size_t size);

    int GetHeight() const { return m_iHeight; }
    int GetSpaceWidth() const { return m_iSpaceWidth; }
    const std::string& GetPageName() const { return m_sPageName; }
    // One glyph per record of codes 0 to 255, in file order.
    const std::vector<FontCharacter>& GetGlyphs() const { return m_glyphs; }
    std::vector<FontCharacter>& GetGlyphs() { return m_glyphs; }
    // Index into GetGlyphs() of the glyph for a code, -1 when the file has none.
    int GetGlyphIndex(int code) const;

    static const char* Describe(Status status);

  private:
    void Clear();
    Status ParseBlocks(const uint8_t* data, size_t size);
    Status ReadChars(const uint8_t* block, uint32_t size);
    Status ReadKerning(const uint8_t* block, uint32_t size);

    int m_iHeight = 0;
    int m_iSpaceWidth = 0;
    std::string m_sPageName;
    std::vector<FontCharacter> m_glyphs;
    std::array<int, c_iGlyphCodes> m_iGlyphIndex;
};
