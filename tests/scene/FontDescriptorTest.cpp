// The BMFont descriptor reader on the program's own font and on descriptors
// written here: what a font keeps, odd but valid layouts, and every way a bad
// file is turned away whole.
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

TEST(FontDescriptor, ReadsTheProgramsOwnFont)
{
    const std::string bytes = ReadFile(SourceDataDir() / "oldsans18.fnt");
    FontDescriptor font;
    const Status status = font.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(status, Status::Ok) << FontDescriptor::Describe(status);
    EXPECT_EQ(font.GetHeight(), 18);
    EXPECT_EQ(font.GetPageName(), "oldsans18_0.png");
    EXPECT_EQ(font.GetSpaceWidth(), 4);
    EXPECT_EQ(font.GetGlyphs().size(), 95u); // ' ' to '~'
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(font.GetGlyphIndex(code) >= 0, code >= 32 && code < 127) << code;
    EXPECT_EQ(Metrics(Glyph(font, 'A')), (std::array{201, 18, 11, 11, 0, 5, 9}));
    EXPECT_EQ(Glyph(font, 'A')->GetKerning('T'), -1);
    EXPECT_EQ(Glyph(font, 'A')->GetKerning('B'), 0);
}

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
        EXPECT_EQ(font.GetHeight(), 18);
        EXPECT_EQ(font.GetSpaceWidth(), 7);
        EXPECT_EQ(font.GetPageName(), "first.png");
        EXPECT_EQ(Metrics(Glyph(font, 65)), (std::array{300, 40, 12, 18, -3, 5, 14}));
        EXPECT_EQ(Metrics(Glyph(font, 66)), (std::array{7, 2, 44, 4, -126, 56, -56}));
        EXPECT_EQ(font.GetGlyphIndex(256), -1);
        EXPECT_EQ(font.GetGlyphIndex(-1), -1);
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
    writer.Kerning({{65, 86, -2},
                    {65, 87, -1},
                    {66, 65, 1},
                    {67, 65, 9},         // no glyph 67
                    {65 + 256, 66, 9},   // a first beyond the table must not reach glyph 65
                    {65, 84, -3},        // a later run for 65 goes after its pairs
                    {66, 65 + 256, 4}}); // the second keeps its low 8 bits: 'A' again
    FontDescriptor font;
    ASSERT_EQ(Parse(font, writer), Status::Ok);
    const FontCharacter* a = Glyph(font, 65);
    ASSERT_EQ(a->GetKerningCount(), 3);
    const int amounts[] = {-2, -1, -3};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(a->GetKerningPair(i).second, "VWT"[i]);
        EXPECT_EQ(a->GetKerningPair(i).amount, amounts[i]);
    }
    EXPECT_EQ(a->GetKerning('T'), -3);
    EXPECT_EQ(a->GetKerning('B'), 0);
    ASSERT_EQ(Glyph(font, 66)->GetKerningCount(), 2);
    EXPECT_EQ(Glyph(font, 66)->GetKerning('A'), 1) << "the first matching pair wins";
}

TEST(FontDescriptor, MalformedDescriptorsAreRejectedAndKeepNothing)
{
    using W = BmFontWriter;
    const std::string valid = ValidFont().String();
    const std::pair<std::string, Status> cases[] = {
        {"", Status::BadMagic},
        {"info face=\"x\" size=18\n", Status::BadMagic}, // a text descriptor
        {"BMF\x02" + valid.substr(4), Status::BadMagic},
        {"BMF\x03", Status::NoChars},
        {W().Pages({"p.png"}).Chars(c_glyphs).Raw("\x05\x0A\x00").String(),
         Status::TruncatedHeader},
        // Negative as a signed int, it would seek backwards.
        {W().Block(1, 0xFFFFFFFBu, "abc").String(), Status::BlockPastEnd},
        {W().Pages({"p.png"}).Block(4, 40, std::string(20, '\0')).String(), Status::BlockPastEnd},
        {W().Pages({"p.png"}).Chars(c_glyphs).Block(5, 0x7FFFFFFAu, std::string(10, '\0')).String(),
         Status::BlockPastEnd},
        {W().Common(18, 16).Pages({"p.png"}).Chars(c_glyphs).String(), Status::BadCommonSize},
        {W().Common(18, 14).Pages({"p.png"}).Chars(c_glyphs).String(), Status::BadCommonSize},
        {W().Block(3, "page.png").Chars(c_glyphs).String(), Status::BadPageName}, // no NUL
        {W().Block(3, std::string("\0other.png\0", 11)).Chars(c_glyphs).String(),
         Status::BadPageName},
        {W().Block(3, "").Chars(c_glyphs).String(), Status::BadPageName},
        {W().Pages({"a.png"}).Pages({"b.png"}).Chars(c_glyphs).String(), Status::DuplicatePages},
        {W().Pages({"a.png"}).Chars(c_glyphs).Chars(c_glyphs).String(), Status::DuplicateChars},
        {W().Pages({"a.png"}).Block(4, std::string(21, '\0')).String(), Status::BadCharsSize},
        {W().Pages({"a.png"}).Chars(c_glyphs).Block(5, std::string(11, '\0')).String(),
         Status::BadKerningSize},
        {W().Pages({"a.png"}).Kerning({{65, 86, -2}}).Chars(c_glyphs).String(),
         Status::KerningBeforeChars},
        {W().Info().Common(18).Pages({"a.png"}).String(), Status::NoChars},
        {W().Info().Common(18).Chars(c_glyphs).String(), Status::NoPages},
        {W().Chars(c_glyphs).Kerning({{65, 86, -2}}).String(), Status::NoPages},
        {W().Pages({"a.png"}).Chars(c_glyphs).Block(6, "x").String(), Status::UnknownBlock},
        {W().Block(0, "").Pages({"a.png"}).Chars(c_glyphs).String(), Status::UnknownBlock},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        const auto& [bytes, expected] = cases[i];
        SCOPED_TRACE(testing::Message()
                     << "case " << i << ": " << FontDescriptor::Describe(expected));
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
