// Fonts and text drawn with OpenGL ES: glyph placement for each justification
// with kerning and spaces, rebuilt text that leaves nothing stale, tints, and
// fonts shared by path and refused whole when malformed. The program's own font
// drawing every interface text is the resource test's.
#include "SceneFixture.h"

#include "render/Texture.h"
#include "scene/Font.h"
#include "scene/Node_Text.h"

using namespace zindle_test;

namespace
{
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
        if (m_pText)
            m_pText->Release();
        EXPECT_TRUE(Font::m_FontList.empty());
        EXPECT_EQ(LiveTextures(), 0);
    }

    Node_Text* m_pText = nullptr;
};
} // namespace

TEST_F(TextTest, JustificationMovesThePenByTheKernedWidth)
{
    // "AV" measures 8 - 2 + 8 = 14; "B" measures 9 and draws 1 right of its pen
    // and 2 below it.
    // The text, its justification, and where red, green and blue start on row
    // 105 (-1: not drawn).
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
        m_pText->SetText(text);
        m_pText->SetJustify(justify);
        const Frame frame = Draw(m_pText);
        EXPECT_EQ(std::tuple(frame.Row(105, IsRed).first, frame.Row(105, IsGreen).first,
                             frame.Row(105, IsBlue)),
                  std::tuple(red, green, std::pair(blue, blue < 0 ? -1 : blue + 6)))
            << text << " justified " << justify;
        EXPECT_EQ(frame.Column(blue + 2, IsBlue),
                  blue < 0 ? std::pair(-1, -1) : std::pair(102, 112));
    }
    // A space adds its 5: the second A of "A A" starts at 100 + 8 + 5.
    m_pText->SetJustify(Node_Text::c_iJustifyLeft);
    m_pText->SetText("A A");
    const Frame frame = Draw(m_pText);
    EXPECT_EQ(frame.Row(105, IsRed), std::pair(100, 119));
    EXPECT_FALSE(IsRed(frame.At(110, 105)));
}

TEST_F(TextTest, NewTextLeavesNothingOfTheOldAndTheColourTintsTheGlyphs)
{
    m_pText->SetPos(50, 50);
    m_pText->SetText("AVBAV");
    EXPECT_EQ(Draw(m_pText).Row(55, IsGreen).second, 50 + 6 + 8 + 9 + 6 + 6);
    m_pText->SetText("ABV"); // shorter: the fourth and fifth glyphs are gone
    EXPECT_EQ(Draw(m_pText).Row(55, IsLit), std::pair(50, 50 + 8 + 9 + 6));
    m_pText->SetText("");
    EXPECT_EQ(Draw(m_pText).Count(IsLit), 0);
    m_pText->SetText("AB");
    m_pText->SetColor(0xFF00FF00); // a green tint: the red and blue glyphs go black
    EXPECT_EQ(Draw(m_pText).Count(IsLit), 0);
    m_pText->SetColor(0xFFFFFFFF);
    const Frame frame = Draw(m_pText);
    EXPECT_EQ(std::pair(frame.Count(IsRed), frame.Count(IsBlue)), std::pair(60, 60));
    m_pText->SetText(nullptr);
    EXPECT_EQ(Draw(m_pText).Count(IsLit), 0);
}

TEST_F(TextTest, FontsAreSharedByPathAndLoadedAfreshAfterTheLastRelease)
{
    Font* held = m_pText->GetFont();
    EXPECT_STREQ(held->GetTexture()->GetFilename(), "data/fonts/glyphs.png");
    Font* again = Font::Load("data/fonts/test.fnt");
    EXPECT_EQ(again, held);
    m_pText->SetFont("data/fonts/test.fnt"); // the same font: no second reference
    EXPECT_EQ(held->GetRefCount(), 2);
    again->Release();
    // Another path naming the same file is another font.
    Font* other = Font::Load("test.fnt");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, held);
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

TEST_F(TextTest, MalformedFontsGiveNothingAndLeakNothing)
{
    // A cut descriptor (its faults are the descriptor test's) or a missing page.
    const std::string good = TestFont().String();
    for (const std::string& bytes :
         {good.substr(0, good.size() - 3), TestFont("nothere.png").String()})
    {
        SCOPED_TRACE(bytes.size());
        WriteFile(m_dir / "bad.fnt", bytes);
        EXPECT_EQ(Font::Load("data/fonts/bad.fnt"), nullptr);
        EXPECT_EQ(Font::m_FontList.size(), 1u);
        EXPECT_EQ(LiveTextures(), 1);
    }
    EXPECT_EQ(Font::Load(nullptr), nullptr);
    EXPECT_EQ(Font::Load("data/fonts/none.fnt"), nullptr);
}

TEST_F(TextTest, FontsOfSeveralPagesDrawFromTheFirst)
{
    // Two pages, the glyphs after them and after the pages the kerning: only
    // the first page is drawn from.
    BmFontWriter pages;
    pages.Info().Chars({{'A', 0, 0, 6, 10, 0, 0, 8}, {'B', 16, 0, 6, 10, 0, 0, 8, 1}});
    pages.Pages({"glyphs.png", "other.png"}).Common(12).Kerning({{'A', 'B', 3}});
    WriteFile(m_dir / "pages.fnt", pages.String());
    m_pText->SetText("AB");
    m_pText->SetPos(100, 100);
    m_pText->SetFont("data/fonts/pages.fnt");
    ASSERT_NE(m_pText->GetFont(), nullptr);
    const Frame frame = Draw(m_pText);
    EXPECT_EQ(frame.Row(105, IsRed), std::pair(100, 106));
    EXPECT_EQ(frame.Row(105, IsBlue), std::pair(111, 117));
}
