// Text drawn with OpenGL ES, fonts shared by path or refused whole, and the
// BMFont descriptor reader on descriptors written here, odd, valid or malformed.
#include "SceneFixture.h"

#include "formats/FontDescriptor.h"
#include "render/Texture.h"
#include "scene/Font.h"
#include "scene/Node_Text.h"

using namespace zindle_test;
using Status = FontDescriptor::Status;

namespace
{
const FontCharacter& Glyph(const FontDescriptor& font, int code) // throws when missing
{
    return font.GetGlyphs().at(size_t(font.GetGlyphIndex(code)));
}
std::array<int, 7> Metrics(const FontCharacter& g) // x, y, width, height, offsets, advance
{
    return {g.x, g.y, g.width, g.height, g.xoffset, g.yoffset, g.xadvance};
}

const std::vector<BmGlyph> c_glyphs = {
    {65, 10, 20, 12, 18, -1, 2, 13}, {86, 30, 20, 11, 18, 0, 2, 12}, {32, 0, 0, 0, 0, 0, 0, 6}};
const BmFontWriter c_valid =
    BmFontWriter().Info().Common(18).Pages({"page.png"}).Chars(c_glyphs).Kerning({{65, 86, -2}});

class TextTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        WriteTestFont(m_dir.Path());
        m_pText = Node_Text::Create();
        m_pText->SetFont("data/fonts/test.fnt");
        ASSERT_NE(m_pText->GetFont(), nullptr);
    }
    void TearDown() override
    {
        m_pText->Release();
        EXPECT_TRUE(Font::m_FontList.empty());
        EXPECT_EQ(LiveTextures(), 0);
    }
    Frame Show(const char* text) { return m_pText->SetText(text), Draw(m_pText); }

    Node_Text* m_pText = nullptr;
};
} // namespace

TEST_F(TextTest, GlyphsFollowJustificationKerningAndSpacesAndTakeTheColour)
{
    // "AV" measures 8 - 2 + 8 = 14; "B" measures 9 and draws 1 right of its pen
    // and 2 below it. Where red, green and blue start on row 105 (-1: not drawn).
    using J = Node_Text;
    // clang-format off
    const std::tuple<const char*, int, int, int, int> cases[] = {
        {"AV", J::c_iJustifyLeft, 100, 106, -1}, {"AV", J::c_iJustifyCentre, 93, 99, -1},
        {"AV", J::c_iJustifyRight, 86, 92, -1}, {"B", J::c_iJustifyCentre, -1, -1, 97},
        {"B", J::c_iJustifyRight, -1, -1, 92},
        {"VA", J::c_iJustifyLeft, 108, 100, -1},      // no pair for V then A
        {"A\xC1V", J::c_iJustifyLeft, 100, 108, -1}}; // codes above 127 draw nothing
    // clang-format on
    m_pText->SetPos(100, 100);
    for (const auto& [text, justify, red, green, blue] : cases)
    {
        m_pText->SetJustify(justify);
        const Frame frame = Show(text);
        EXPECT_EQ(std::tuple(frame.Row(105, IsRed).first, frame.Row(105, IsGreen).first,
                             frame.Row(105, IsBlue)),
                  std::tuple(red, green, std::pair(blue, blue < 0 ? -1 : blue + 6)))
            << text << " justified " << justify;
        EXPECT_EQ(frame.Column(blue + 2, IsBlue),
                  blue < 0 ? std::pair(-1, -1) : std::pair(102, 112));
    }
    // A space adds its 5: the second A of "A A" starts at 100 + 8 + 5.
    m_pText->SetJustify(Node_Text::c_iJustifyLeft);
    Frame frame = Show("A A");
    EXPECT_EQ(frame.Row(105, IsRed), std::pair(100, 119));
    EXPECT_FALSE(IsRed(frame.At(110, 105)));

    // New text leaves nothing of the old, and the colour tints the glyphs.
    m_pText->SetPos(50, 50);
    EXPECT_EQ(Show("AVBAV").Row(55, IsGreen).second, 50 + 6 + 8 + 9 + 6 + 6);
    // Shorter: the fourth and fifth glyphs are gone.
    EXPECT_EQ(Show("ABV").Row(55, IsLit), std::pair(50, 50 + 8 + 9 + 6));
    EXPECT_EQ(Show("").Count(IsLit), 0);
    m_pText->SetColor(0xFF00FF00); // a green tint: the red and blue glyphs go black
    EXPECT_EQ(Show("AB").Count(IsLit), 0);
    m_pText->SetColor(0xFFFFFFFF);
    frame = Draw(m_pText);
    EXPECT_EQ(std::pair(frame.Count(IsRed), frame.Count(IsBlue)), std::pair(60, 60));
    EXPECT_EQ(Show(nullptr).Count(IsLit), 0);
}

TEST_F(TextTest, FontsAreSharedByPathAndLoadedAfreshAfterTheLastRelease)
{
    Font* held = m_pText->GetFont();
    EXPECT_STREQ(held->GetTexture()->GetFilename(), "data/fonts/glyphs.png");
    Font* again = Font::Load("data/fonts/test.fnt");
    m_pText->SetFont("data/fonts/test.fnt"); // the same font: no second reference
    EXPECT_TRUE(again == held && held->GetRefCount() == 2);
    again->Release();
    Font* other = Font::Load("test.fnt"); // another path to the same file: another font
    EXPECT_TRUE(other != nullptr && other != held);
    other->Release();

    // A failed load leaves the node without a font: it draws nothing.
    m_pText->SetText("AV");
    m_pText->SetFont("data/fonts/missing.fnt");
    EXPECT_EQ(m_pText->GetFont(), nullptr);
    EXPECT_TRUE(Font::m_FontList.empty());
    EXPECT_EQ(Draw(m_pText).Count(IsLit), 0);
    m_pText->SetFont("data/fonts/test.fnt");
    EXPECT_GT(Draw(m_pText).Count(IsRed), 0);
}

TEST_F(TextTest, MalformedDescriptorsGiveNoFontAndLeakNothing)
{
    // A cut descriptor (its faults are the descriptor test's) or a missing page.
    const std::string good = TestFont().String();
    for (const std::string& bytes :
         {good.substr(0, good.size() - 3), TestFont("nothere.png").String()})
    {
        SCOPED_TRACE(bytes.size());
        WriteFile(m_dir / "bad.fnt", bytes);
        EXPECT_EQ(Font::Load("data/fonts/bad.fnt"), nullptr);
        EXPECT_EQ(std::pair(Font::m_FontList.size(), LiveTextures()), std::pair(size_t(1), 1));
    }
    EXPECT_EQ(Font::Load(nullptr), nullptr);
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
        ASSERT_EQ(font.Parse(writer.Data(), writer.Size()), Status::Ok);
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
    ASSERT_EQ(font.Parse(writer.Data(), writer.Size()), Status::Ok);
    const FontCharacter &a = Glyph(font, 65), &b = Glyph(font, 66);
    std::vector<std::pair<int, int>> pairs;
    for (int i = 0; i < a.GetKerningCount(); ++i)
        pairs.push_back({a.GetKerningPair(i).second, a.GetKerningPair(i).amount});
    EXPECT_EQ(pairs, (std::vector<std::pair<int, int>>{{'V', -2}, {'W', -1}, {'T', -3}}));
    EXPECT_EQ(std::pair(a.GetKerning('T'), a.GetKerning('B')), std::pair(-3, 0));
    // The first matching pair wins.
    EXPECT_EQ(std::pair(b.GetKerningCount(), b.GetKerning('A')), std::pair(2, 1));
}

TEST(FontDescriptor, MalformedDescriptorsAreRejectedAndKeepNothing)
{
    using W = BmFontWriter;
    using S = Status;
    const std::vector<BmGlyph>& g = c_glyphs;
    const BmFontWriter& valid = c_valid;
    // clang-format off
    const std::pair<std::string, Status> cases[] = {
        {"", S::BadMagic},
        {"BMF\x02" + valid.String().substr(4), S::BadMagic},
        {"BMF\x03", S::NoChars},
        {W().Pages({"p.png"}).Chars(g).String() + "\x05\x0A", S::TruncatedHeader},
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
        ASSERT_EQ(font.Parse(valid.Data(), valid.Size()), Status::Ok);
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
    const size_t head = BmFontWriter().Info().Common(18).Pages({"page.png"}).Chars(c_glyphs).Size();
    const std::string& full = c_valid.String();
    FontDescriptor font;
    for (size_t length = 0; length <= full.size(); ++length)
    {
        SCOPED_TRACE(length);
        // An exact copy, so that the address sanitiser sees any read past its end.
        const std::vector<uint8_t> prefix(full.begin(), full.begin() + long(length));
        const Status status = font.Parse(prefix.data(), prefix.size());
        EXPECT_EQ(status == Status::Ok, length == head || length == full.size())
            << FontDescriptor::Describe(status);
    }
}
