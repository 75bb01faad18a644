// The BMFont descriptor reader on descriptors written here: what a font keeps,
// odd but valid layouts, and every way a bad file is turned away whole. The
// program's own font is the resource test's.
#include "SceneFixture.h"

#include "scene/FontDescriptor.h"

using namespace zindle_test;
using Status = FontDescriptor::Status;

namespace
{
Status Parse(FontDescriptor& descriptor, const BmFontWriter& writer)
{
    return descriptor.Parse(writer.Data(), writer.Size());
}

const FontCharacter* Glyph(const FontDescriptor& descriptor, int code)
{
    const int index = descriptor.GetGlyphIndex(code);
    return index < 0 ? nullptr : &descriptor.GetGlyphs()[static_cast<size_t>(index)];
}

const std::vector<BmGlyph> c_glyphs = {
    {65, 10, 20, 12, 18, -1, 2, 13}, {86, 30, 20, 11, 18, 0, 2, 12}, {32, 0, 0, 0, 0, 0, 0, 6}};

BmFontWriter ValidFont()
{
    BmFontWriter writer;
    return writer.Info().Common(18).Pages({"page.png"}).Chars(c_glyphs).Kerning({{65, 86, -2}});
}

// x, y, width, height, x offset, y offset and advance of a glyph.
std::array<int, 7> Metrics(const FontCharacter* g)
{
    if (!g)
        return {};
    return {g->x, g->y, g->width, g->height, g->xoffset, g->yoffset, g->xadvance};
}
} // namespace

TEST(FontDescriptor, KeepsLineHeightFirstPageGlyphsAndSpaceInOddButValidLayouts)
{
    const std::vector<BmGlyph> wide = {
        {65, 300, 40, 12, 18, -3, 5, 14},
        {32, 0, 0, 0, 0, 0, 0, 7},
        {66, 1, 2, 300, 260, 130, -200, 200}, // metrics keep their low 8 bits
        {321, 9, 9, 9, 9, 9, 9, 9},           // beyond the 8-bit table: left out
        {0xFFFFFFFFu, 5, 5, 5, 5, 5, 5, 5},
        {66, 7, 2, 300, 260, 130, -200, 200, 1}}; // a later record replaces the earlier
    BmFontWriter layouts[5];
    layouts[0].Info().Common(18).Pages({"first.png", "second.png"}).Chars(wide);
    layouts[1].Chars(wide).Common(18).Pages({"first.png"}); // pages after the glyphs
    layouts[2].Block(1, "").Pages({"first.png"}).Common(18).Chars(wide).Kerning({});
    // Whatever follows the kerning block is not read, not even a block past the end.
    layouts[3].Common(18).Pages({"first.png"}).Chars(wide).Kerning({}).Block(9, 0xFFFFFFFBu, "x");
    layouts[4].Common(18).Block(3, std::string("first.png\0\0junk", 15)).Chars(wide);
    for (const BmFontWriter& writer : layouts)
    {
        SCOPED_TRACE(&writer - layouts);
        FontDescriptor font;
        ASSERT_EQ(Parse(font, writer), Status::Ok);
        EXPECT_EQ(std::tuple(font.GetHeight(), font.GetSpaceWidth(), font.GetPageName()),
                  std::tuple(18, 7, "first.png"));
        EXPECT_EQ(Metrics(Glyph(font, 65)), (std::array{300, 40, 12, 18, -3, 5, 14}));
        EXPECT_EQ(Metrics(Glyph(font, 66)), (std::array{7, 2, 44, 4, -126, 56, -56}));
        EXPECT_TRUE(font.GetGlyphIndex(256) == -1 && font.GetGlyphIndex(-1) == -1);
        int codes = 0;
        for (int code = 0; code < 256; ++code)
            codes += font.GetGlyphIndex(code) >= 0;
        EXPECT_EQ(codes, 3) << "321 and 0xFFFFFFFF must not wrap onto the table";
    }
}

TEST(FontDescriptor, KerningRunsAttachInFileOrderAndMissingGlyphsAreDropped)
{
    BmFontWriter writer;
    writer.Pages({"p.png"}).Chars({{65, 0, 0, 1, 1, 0, 0, 1}, {66, 0, 0, 1, 1, 0, 0, 1}});
    // No glyph 67; a first beyond the table must not reach glyph 65; a later run
    // for 65 goes after its pairs; a second keeps its low 8 bits: 65 + 256 is 'A'.
    // clang-format off
    writer.Kerning({{65, 86, -2}, {65, 87, -1}, {66, 65, 1}, {67, 65, 9}, {65 + 256, 66, 9},
                    {65, 84, -3}, {66, 65 + 256, 4}});
    // clang-format on
    FontDescriptor font;
    ASSERT_EQ(Parse(font, writer), Status::Ok);
    const FontCharacter* a = Glyph(font, 65);
    ASSERT_EQ(a->GetKerningCount(), 3);
    const int amounts[] = {-2, -1, -3};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::pair(int(a->GetKerningPair(i).second), int(a->GetKerningPair(i).amount)),
                  std::pair(int("VWT"[i]), amounts[i]));
    EXPECT_EQ(a->GetKerning('T'), -3);
    EXPECT_EQ(a->GetKerning('B'), 0);
    ASSERT_EQ(Glyph(font, 66)->GetKerningCount(), 2);
    EXPECT_EQ(Glyph(font, 66)->GetKerning('A'), 1) << "the first matching pair wins";
}

TEST(FontDescriptor, MalformedDescriptorsAreRejectedAndKeepNothing)
{
    using W = BmFontWriter;
    using S = Status;
    const std::vector<BmGlyph>& g = c_glyphs;
    // clang-format off
    const std::pair<std::string, Status> cases[] = {
        {"", S::BadMagic},
        {"BMF\x02" + ValidFont().String().substr(4), S::BadMagic},
        {"BMF\x03", S::NoChars},
        {W().Pages({"p.png"}).Chars(g).Raw("\x05\x0A\x00").String(), S::TruncatedHeader},
        {W().Block(1, 0xFFFFFFFBu, "abc").String(), S::BlockPastEnd}, // negative as an int
        {W().Pages({"p.png"}).Block(4, 40, std::string(20, '\0')).String(), S::BlockPastEnd},
        {W().Common(18, 16).Pages({"p.png"}).Chars(g).String(), S::BadCommonSize},
        {W().Block(3, "page.png").Chars(g).String(), S::BadPageName}, // no NUL
        {W().Block(3, std::string("\0other.png\0", 11)).Chars(g).String(), S::BadPageName},
        {W().Pages({"a.png"}).Pages({"b.png"}).Chars(g).String(), S::DuplicatePages},
        {W().Pages({"a.png"}).Chars(g).Chars(g).String(), S::DuplicateChars},
        {W().Pages({"a.png"}).Block(4, std::string(21, '\0')).String(), S::BadCharsSize},
        {W().Pages({"a.png"}).Chars(g).Block(5, std::string(11, '\0')).String(), S::BadKerningSize},
        {W().Pages({"a.png"}).Kerning({{65, 86, -2}}).Chars(g).String(), S::KerningBeforeChars},
        {W().Info().Common(18).Pages({"a.png"}).String(), S::NoChars},
        {W().Info().Common(18).Chars(g).String(), S::NoPages},
        {W().Pages({"a.png"}).Chars(g).Block(6, "x").String(), S::UnknownBlock}};
    // clang-format on
    for (const auto& [bytes, expected] : cases)
    {
        SCOPED_TRACE(FontDescriptor::Describe(expected));
        FontDescriptor font;
        // A good parse first: a rejection must also clear what it kept.
        ASSERT_EQ(Parse(font, ValidFont()), Status::Ok);
        EXPECT_EQ(font.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                  expected);
        EXPECT_TRUE(font.GetGlyphs().empty() && font.GetPageName().empty());
        EXPECT_EQ(font.GetHeight() + font.GetSpaceWidth(), 0);
        for (int code = 0; code < FontDescriptor::c_iGlyphCodes; ++code)
            ASSERT_EQ(font.GetGlyphIndex(code), -1);
    }
}

TEST(FontDescriptor, EveryTruncationIsRejectedUnlessItEndsOnAWholeFont)
{
    BmFontWriter head;
    head.Info().Common(18).Pages({"page.png"}).Chars(c_glyphs);
    const std::string full = ValidFont().String();
    FontDescriptor font;
    for (size_t length = 0; length <= full.size(); ++length)
    {
        SCOPED_TRACE(length);
        // An exact copy, so that the address sanitiser sees any read past its end.
        const std::vector<uint8_t> prefix(full.begin(), full.begin() + long(length));
        const Status status = font.Parse(prefix.data(), prefix.size());
        EXPECT_EQ(status == Status::Ok, length == head.Size() || length == full.size())
            << FontDescriptor::Describe(status);
    }
}
