// The BMFont descriptor reader on descriptors written here and on files made by
// other tools: what a font keeps, and every way a bad file is turned away whole.
#include "BmFontWriter.h"
#include "support/TestSupport.h"

#include "scene/FontDescriptor.h"

#include <gtest/gtest.h>

#include <set>

using zindle_test::BmFontWriter;
using zindle_test::BmGlyph;
using zindle_test::BmKerning;
using Status = FontDescriptor::Status;

namespace
{
FontDescriptor::Status Parse(FontDescriptor& descriptor, const BmFontWriter& writer)
{
    return descriptor.Parse(writer.Bytes().data(), writer.Bytes().size());
}

const FontCharacter* Glyph(const FontDescriptor& descriptor, int code)
{
    const int index = descriptor.GetGlyphIndex(code);
    return index < 0 ? nullptr : &descriptor.GetGlyphs()[static_cast<size_t>(index)];
}

std::vector<BmGlyph> SomeGlyphs()
{
    return {
        {65, 10, 20, 12, 18, -1, 2, 13}, {86, 30, 20, 11, 18, 0, 2, 12}, {32, 0, 0, 0, 0, 0, 0, 6}};
}

BmFontWriter ValidFont()
{
    BmFontWriter writer;
    writer.Info().Common(18).Pages({"page.png"}).Chars(SomeGlyphs()).Kerning({{65, 86, -2}});
    return writer;
}
} // namespace

TEST(FontDescriptor, ReadsLineHeightPageGlyphsAndSpaceWidth)
{
    BmFontWriter writer;
    writer.Info().Common(18).Pages({"first.png", "second.png"});
    writer.Chars({{65, 300, 40, 12, 18, -3, 5, 14},
                  {32, 0, 0, 0, 0, 0, 0, 7},
                  {66, 1, 2, 300, 260, 130, -200, 200}, // metrics keep their low 8 bits
                  {321, 9, 9, 9, 9, 9, 9, 9},           // beyond the 8-bit table
                  {0xFFFFFFFFu, 5, 5, 5, 5, 5, 5, 5}});
    FontDescriptor descriptor;
    ASSERT_EQ(Parse(descriptor, writer), Status::Ok);

    EXPECT_EQ(descriptor.GetHeight(), 18);
    EXPECT_EQ(descriptor.GetSpaceWidth(), 7);
    EXPECT_EQ(descriptor.GetPageName(), "first.png");

    const FontCharacter* a = Glyph(descriptor, 65);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->x, 300);
    EXPECT_EQ(a->y, 40);
    EXPECT_EQ(a->width, 12);
    EXPECT_EQ(a->height, 18);
    EXPECT_EQ(a->xoffset, -3);
    EXPECT_EQ(a->yoffset, 5);
    EXPECT_EQ(a->xadvance, 14);
    EXPECT_EQ(a->GetKerningCount(), 0);

    const FontCharacter* b = Glyph(descriptor, 66);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, 300 & 0xFF);
    EXPECT_EQ(b->height, 260 & 0xFF);
    EXPECT_EQ(b->xoffset, -126); // 130 as a signed byte
    EXPECT_EQ(b->yoffset, 56);   // -200 as a signed byte
    EXPECT_EQ(b->xadvance, -56); // 200 as a signed byte

    // 321 and 0xFFFFFFFF must not wrap onto 65 (its x stayed 300 above); the
    // table holds 65, 66 and 32 only.
    EXPECT_EQ(descriptor.GetGlyphs().size(), 3u);
    EXPECT_EQ(descriptor.GetGlyphIndex(256), -1);
    EXPECT_EQ(descriptor.GetGlyphIndex(-1), -1);
}

TEST(FontDescriptor, LaterRecordForACodeReplacesTheEarlierOne)
{
    BmFontWriter writer;
    writer.Pages({"p.png"}).Chars({{65, 1, 1, 5, 5, 0, 0, 6}, {65, 2, 2, 7, 7, 0, 0, 8}});
    FontDescriptor descriptor;
    ASSERT_EQ(Parse(descriptor, writer), Status::Ok);
    ASSERT_NE(Glyph(descriptor, 65), nullptr);
    EXPECT_EQ(Glyph(descriptor, 65)->x, 2);
    EXPECT_EQ(Glyph(descriptor, 65)->xadvance, 8);
}

TEST(FontDescriptor, KerningRunsAttachInFileOrderAndMissingGlyphsAreDropped)
{
    BmFontWriter writer;
    writer.Pages({"p.png"}).Chars({{65, 0, 0, 1, 1, 0, 0, 1}, {66, 0, 0, 1, 1, 0, 0, 1}});
    writer.Kerning({{65, 86, -2},
                    {65, 87, -1},
                    {66, 65, 1},
                    {67, 65, 9},         // no glyph 67
                    {65 + 256, 66, 9},   // first beyond the table must not reach glyph 65
                    {65, 84, -3},        // a later run for 65 appends after its pairs
                    {66, 65 + 256, 4}}); // second keeps its low 8 bits: 'A' again
    FontDescriptor descriptor;
    ASSERT_EQ(Parse(descriptor, writer), Status::Ok);

    const FontCharacter* a = Glyph(descriptor, 65);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->GetKerningCount(), 3);
    const char seconds[] = {'V', 'W', 'T'};
    const int amounts[] = {-2, -1, -3};
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(a->GetKerningPair(i).second, seconds[i]);
        EXPECT_EQ(a->GetKerningPair(i).amount, amounts[i]);
        EXPECT_EQ(a->GetKerning(seconds[i]), amounts[i]);
    }
    EXPECT_EQ(a->GetKerning('B'), 0);

    const FontCharacter* b = Glyph(descriptor, 66);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->GetKerningCount(), 2);
    EXPECT_EQ(b->GetKerning('A'), 1); // the first matching pair wins
}

TEST(FontDescriptor, BlocksAfterKerningAreNotRead)
{
    BmFontWriter writer = ValidFont();
    writer.Block(9, 0xFFFFFFFBu, "junk"); // would be rejected anywhere before
    FontDescriptor descriptor;
    EXPECT_EQ(Parse(descriptor, writer), Status::Ok);
    ASSERT_NE(Glyph(descriptor, 65), nullptr);
    EXPECT_EQ(Glyph(descriptor, 65)->GetKerning('V'), -2);
}

TEST(FontDescriptor, PagesMayFollowChars)
{
    BmFontWriter writer;
    writer.Chars(SomeGlyphs()).Common(20).Pages({"late.png"});
    FontDescriptor descriptor;
    EXPECT_EQ(Parse(descriptor, writer), Status::Ok);
    EXPECT_EQ(descriptor.GetPageName(), "late.png");
    EXPECT_EQ(descriptor.GetHeight(), 20);
}

struct MalformedCase
{
    const char* name;
    std::string bytes;
    Status expected;
};

void PrintTo(const MalformedCase& c, std::ostream* out)
{
    *out << c.name;
}

class FontDescriptorMalformed : public ::testing::TestWithParam<MalformedCase>
{
};

TEST_P(FontDescriptorMalformed, IsRejectedAndKeepsNothing)
{
    const MalformedCase& c = GetParam();
    FontDescriptor descriptor;
    // A good parse first: a rejection must also clear what an earlier one kept.
    ASSERT_EQ(Parse(descriptor, ValidFont()), Status::Ok);
    const auto* data = reinterpret_cast<const uint8_t*>(c.bytes.data());
    EXPECT_EQ(descriptor.Parse(data, c.bytes.size()), c.expected)
        << FontDescriptor::Describe(descriptor.Parse(data, c.bytes.size()));
    EXPECT_TRUE(descriptor.GetGlyphs().empty());
    EXPECT_TRUE(descriptor.GetPageName().empty());
    EXPECT_EQ(descriptor.GetHeight(), 0);
    EXPECT_EQ(descriptor.GetSpaceWidth(), 0);
    for (int code = 0; code < FontDescriptor::c_iGlyphCodes; ++code)
        ASSERT_EQ(descriptor.GetGlyphIndex(code), -1);
}

std::vector<MalformedCase> MalformedCases()
{
    const std::string valid = ValidFont().String();
    std::vector<MalformedCase> cases;
    auto add = [&](const char* name, const BmFontWriter& w, Status s) {
        cases.push_back({name, w.String(), s});
    };

    cases.push_back({"Empty", "", Status::BadMagic});
    cases.push_back({"TextDescriptor", "info face=\"x\" size=18\n", Status::BadMagic});
    cases.push_back({"Version2", "BMF\x02" + valid.substr(4), Status::BadMagic});
    cases.push_back({"MagicOnly", "BMF\x03", Status::NoChars});
    {
        BmFontWriter w;
        w.Pages({"p.png"}).Chars(SomeGlyphs()).Raw("\x05\x0A\x00");
        add("TruncatedBlockHeader", w, Status::TruncatedHeader);
    }
    {
        BmFontWriter w;
        w.Block(1, 0xFFFFFFFBu, "abc"); // negative as a signed int: would seek backwards
        add("InfoSizeNegativeAsSigned", w, Status::BlockPastEnd);
    }
    {
        BmFontWriter w;
        w.Pages({"p.png"}).Block(4, 40, std::string(20, '\0'));
        add("CharsClaimsMoreThanFile", w, Status::BlockPastEnd);
    }
    {
        BmFontWriter w;
        w.Pages({"p.png"}).Chars(SomeGlyphs()).Block(5, 0x7FFFFFFAu, std::string(10, '\0'));
        add("KerningClaimsMoreThanFile", w, Status::BlockPastEnd);
    }
    {
        BmFontWriter w;
        w.Info().Common(18, 16).Pages({"p.png"}).Chars(SomeGlyphs());
        add("CommonSize16", w, Status::BadCommonSize);
    }
    {
        BmFontWriter w;
        w.Info().Common(18, 14).Pages({"p.png"}).Chars(SomeGlyphs());
        add("CommonSize14", w, Status::BadCommonSize);
    }
    {
        BmFontWriter w;
        w.Block(3, "page.png").Chars(SomeGlyphs()); // no NUL inside the block
        add("PageNameWithoutNul", w, Status::BadPageName);
    }
    {
        BmFontWriter w;
        w.Block(3, std::string("\0other.png\0", 11)).Chars(SomeGlyphs());
        add("EmptyPageName", w, Status::BadPageName);
    }
    {
        BmFontWriter w;
        w.Block(3, "").Chars(SomeGlyphs());
        add("EmptyPagesBlock", w, Status::BadPageName);
    }
    {
        BmFontWriter w;
        w.Pages({"a.png"}).Pages({"b.png"}).Chars(SomeGlyphs());
        add("SecondPagesBlock", w, Status::DuplicatePages);
    }
    {
        BmFontWriter w;
        w.Pages({"a.png"}).Chars(SomeGlyphs()).Chars(SomeGlyphs());
        add("SecondCharsBlock", w, Status::DuplicateChars);
    }
    {
        BmFontWriter w;
        w.Pages({"a.png"}).Block(4, std::string(21, '\0'));
        add("CharsNotWholeRecords", w, Status::BadCharsSize);
    }
    {
        BmFontWriter w;
        w.Pages({"a.png"}).Chars(SomeGlyphs()).Block(5, std::string(11, '\0'));
        add("KerningNotWholeRecords", w, Status::BadKerningSize);
    }
    {
        BmFontWriter w;
        w.Pages({"a.png"}).Kerning({{65, 86, -2}}).Chars(SomeGlyphs());
        add("KerningBeforeChars", w, Status::KerningBeforeChars);
    }
    {
        BmFontWriter w;
        w.Info().Common(18).Pages({"a.png"});
        add("EndsAfterPages", w, Status::NoChars);
    }
    {
        BmFontWriter w;
        w.Info().Common(18).Chars(SomeGlyphs());
        add("NoPagesBlock", w, Status::NoPages);
    }
    {
        BmFontWriter w;
        w.Chars(SomeGlyphs()).Kerning({{65, 86, -2}});
        add("NoPagesBeforeKerning", w, Status::NoPages);
    }
    {
        BmFontWriter w;
        w.Pages({"a.png"}).Chars(SomeGlyphs()).Block(6, "x");
        add("BlockType6", w, Status::UnknownBlock);
    }
    {
        BmFontWriter w;
        w.Block(0, "").Pages({"a.png"}).Chars(SomeGlyphs());
        add("BlockType0", w, Status::UnknownBlock);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EachWay, FontDescriptorMalformed, ::testing::ValuesIn(MalformedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FontDescriptor, EveryTruncationIsRejectedUnlessItEndsOnAWholeFont)
{
    BmFontWriter head;
    head.Info().Common(18).Pages({"page.png"}).Chars(SomeGlyphs());
    const size_t afterChars = head.Bytes().size();
    const std::vector<uint8_t> full = ValidFont().Bytes();
    ASSERT_GT(full.size(), afterChars);

    FontDescriptor descriptor;
    for (size_t length = 0; length <= full.size(); ++length)
    {
        SCOPED_TRACE(length);
        // The copy puts the end of the data at the end of an allocation, so the
        // address sanitizer sees any read past it.
        std::vector<uint8_t> prefix(full.begin(), full.begin() + static_cast<long>(length));
        const Status status = descriptor.Parse(prefix.data(), prefix.size());
        const bool whole = length == afterChars || length == full.size();
        EXPECT_EQ(status == Status::Ok, whole) << FontDescriptor::Describe(status);
    }
}

TEST(FontDescriptor, ReadsBinaryFontsMadeByOtherTools)
{
    const auto dir = zindle_test::TestDataDir();
    if (dir.empty())
        GTEST_SKIP() << "no shared test data";

    struct Expected
    {
        const char* file;
        int height;
        const char* page;
        BmGlyph a;
    };
    const Expected fonts[] = {
        {"dynastium-24.fnt", 24, "dynastium-24_0.png", {65, 65, 47, 12, 21, 0, 0, 15}},
        {"marediv.fnt", 32, "marediv_0.png", {65, 140, 167, 13, 20, 0, 8, 15}},
    };
    for (const Expected& e : fonts)
    {
        SCOPED_TRACE(e.file);
        const std::string bytes = zindle_test::ReadFile(dir / "bmfont" / e.file);
        ASSERT_FALSE(bytes.empty());
        FontDescriptor descriptor;
        const auto status =
            descriptor.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ASSERT_EQ(status, Status::Ok) << FontDescriptor::Describe(status);
        EXPECT_EQ(descriptor.GetHeight(), e.height);
        EXPECT_EQ(descriptor.GetPageName(), e.page);
        const FontCharacter* a = Glyph(descriptor, 'A');
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->x, e.a.x);
        EXPECT_EQ(a->y, e.a.y);
        EXPECT_EQ(a->width, e.a.width);
        EXPECT_EQ(a->height, e.a.height);
        EXPECT_EQ(a->yoffset, e.a.yoffset);
        EXPECT_EQ(a->xadvance, e.a.xadvance);
        // Both files kern '/' against '/' by -6 in their first pair.
        const FontCharacter* slash = Glyph(descriptor, '/');
        ASSERT_NE(slash, nullptr);
        EXPECT_EQ(slash->GetKerning('/'), -6);
        EXPECT_GT(descriptor.GetSpaceWidth(), 0);
        // The "invalid char" glyph (id 0xFFFFFFFF) and Unicode glyphs are left out.
        std::set<int> codes;
        for (int code = 0; code < 256; ++code)
            if (descriptor.GetGlyphIndex(code) >= 0)
                codes.insert(code);
        EXPECT_EQ(codes.size(), descriptor.GetGlyphs().size());
        EXPECT_TRUE(codes.count(' '));
    }
}
