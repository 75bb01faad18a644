// Fonts and text drawn with OpenGL ES: fonts shared by path and refused whole
// when malformed, glyph placement for each justification with kerning and
// spaces, and glyph arrays that grow but never draw stale glyphs.
#include "SceneTestSupport.h"
#include "TestFont.h"

#include "render/Texture.h"
#include "scene/Font.h"
#include "scene/Node_Text.h"
#include "scene/Node_Text_GL.h"

#include <filesystem>

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
    }

    Node_Text_GL& GL() { return *static_cast<Node_Text_GL*>(m_pText); }

    Node_Text* m_pText = nullptr;
};
} // namespace

TEST_F(TextTest, JustificationMovesThePenByTheKernedWidth)
{
    struct Case
    {
        const char* text;
        int justify;
        int redStart, greenStart, blueStart; // -1: not drawn
    };
    // "AV" measures 8 - 2 + 8 = 14; "B" measures 9 and draws 1 right of its pen.
    const Case cases[] = {
        {"AV", Node_Text::c_iJustifyLeft, 100, 106, -1},
        {"AV", Node_Text::c_iJustifyCentre, 93, 99, -1},
        {"AV", Node_Text::c_iJustifyRight, 86, 92, -1},
        {"B", Node_Text::c_iJustifyCentre, -1, -1, 97},
        {"B", Node_Text::c_iJustifyRight, -1, -1, 92},
        {"VA", Node_Text::c_iJustifyLeft, 108, 100, -1},     // no pair for V then A
        {"A A", Node_Text::c_iJustifyLeft, 100, -1, -1},     // the space adds 5
        {"A\xC1V", Node_Text::c_iJustifyLeft, 100, 108, -1}, // codes above 127 draw nothing
    };
    m_pText->SetPos(100, 100);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.text) + " justify " + std::to_string(c.justify));
        m_pText->SetText(c.text);
        m_pText->SetJustify(c.justify);
        const Frame frame = Draw(m_pText);
        if (c.redStart >= 0)
        {
            EXPECT_EQ(frame.RowExtent(105, IsRed).first, c.redStart);
        }
        if (c.greenStart >= 0)
            EXPECT_EQ(frame.RowExtent(105, IsGreen).first, c.greenStart);
        else
            EXPECT_EQ(frame.RowExtent(105, IsGreen).first, -1);
        if (c.blueStart >= 0)
        {
            EXPECT_EQ(frame.RowExtent(105, IsBlue), std::make_pair(c.blueStart, c.blueStart + 6));
            EXPECT_EQ(frame.ColumnExtent(c.blueStart + 2, IsBlue), std::make_pair(102, 112));
        }
    }
    // The second A of "A A" after 8 + 5.
    m_pText->SetJustify(Node_Text::c_iJustifyLeft);
    m_pText->SetText("A A");
    EXPECT_EQ(Draw(m_pText).RowExtent(105, IsRed), std::make_pair(100, 119));
    EXPECT_FALSE(IsRed(Draw(m_pText).At(110, 105)));
}

TEST_F(TextTest, GlyphArraysGrowOnlyAndEveryRebuildStartsAfresh)
{
    m_pText->SetPos(50, 50);
    m_pText->SetText("AVBAV");
    Frame frame = Draw(m_pText);
    EXPECT_EQ(GL().GetGlyphCapacity(), 5);
    EXPECT_EQ(GL().GetIndexCount(), 30);
    EXPECT_EQ(frame.RowExtent(55, IsGreen).second, 50 + 6 + 8 + 9 + 6 + 6);

    m_pText->SetText("ABV");
    frame = Draw(m_pText);
    EXPECT_EQ(GL().GetGlyphCapacity(), 5);
    EXPECT_EQ(GL().GetIndexCount(), 18);
    // Only three glyphs: nothing is left of the old fourth and fifth.
    EXPECT_EQ(frame.RowExtent(55, IsLit), std::make_pair(50, 50 + 8 + 9 + 6));

    m_pText->SetText("");
    EXPECT_EQ(Draw(m_pText).Count(IsLit), 0);
    EXPECT_EQ(GL().GetIndexCount(), 0);
    m_pText->SetText("A");
    EXPECT_GT(Draw(m_pText).Count(IsRed), 0);
    m_pText->SetText(nullptr);
    EXPECT_EQ(Draw(m_pText).Count(IsLit), 0);
    EXPECT_EQ(GL().GetGlyphCapacity(), 5);
}

TEST_F(TextTest, SameTextStaysCleanAndLongerTextGetsAnExactBuffer)
{
    m_pText->SetText("AV");
    EXPECT_EQ(m_pText->GetBufferSize(), 3);
    Draw(m_pText);
    EXPECT_FALSE(m_pText->IsDirty());
    m_pText->SetText("AV");
    EXPECT_FALSE(m_pText->IsDirty());
    m_pText->SetText("A");
    EXPECT_TRUE(m_pText->IsDirty());
    EXPECT_EQ(m_pText->GetBufferSize(), 3); // shorter texts reuse the buffer
    m_pText->SetText("AVAVA");
    EXPECT_EQ(m_pText->GetBufferSize(), 6);
    EXPECT_STREQ(m_pText->GetText(), "AVAVA");

    Draw(m_pText);
    for (int step = 0; step < 3; ++step)
    {
        SCOPED_TRACE(step);
        if (step == 0)
            m_pText->SetColor(m_pText->GetColor());
        else if (step == 1)
            m_pText->SetPos(m_pText->GetX(), m_pText->GetY());
        else
            m_pText->SetJustify(m_pText->GetJustify());
        EXPECT_FALSE(m_pText->IsDirty());
    }
}

TEST_F(TextTest, ColourModulatesTheGlyphs)
{
    m_pText->SetText("AB");
    m_pText->SetPos(10, 10);
    m_pText->SetColor(0xFF00FF00); // green tint: red glyph goes black, blue glyph too
    Frame frame = Draw(m_pText);
    EXPECT_EQ(frame.Count(IsLit), 0);
    m_pText->SetColor(0xFFFFFFFF);
    frame = Draw(m_pText);
    EXPECT_EQ(frame.Count(IsRed), 60);
    EXPECT_EQ(frame.Count(IsBlue), 60);
}

TEST_F(TextTest, FontsAreSharedByPathAndReloadedAfterTheLastRelease)
{
    Font* held = m_pText->GetFont();
    EXPECT_EQ(held->GetRefCount(), 1);
    EXPECT_STREQ(held->GetName(), "data/fonts/test.fnt");
    EXPECT_STREQ(held->GetTexture()->GetFilename(), "data/fonts/glyphs.png");
    EXPECT_EQ(held->GetHeight(), 12);
    EXPECT_EQ(held->GetSpaceWidth(), 5);
    EXPECT_EQ(held->GetCharacter('A')->GetKerning('V'), -2);
    EXPECT_EQ(held->GetCharacter(256), nullptr);

    Font* again = Font::Load("data/fonts/test.fnt");
    EXPECT_EQ(again, held);
    EXPECT_EQ(held->GetRefCount(), 2);
    m_pText->SetFont("data/fonts/test.fnt"); // the same font: still one reference from the node
    EXPECT_EQ(held->GetRefCount(), 2);
    again->Release();

    // Another path naming the same file is another font.
    Font* other = Font::Load("test.fnt");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, held);
    EXPECT_EQ(Font::m_FontList.size(), 2u);
    other->Release();

    // A failed load leaves the node without a font; it then draws nothing.
    m_pText->SetText("AV");
    m_pText->SetFont("data/fonts/missing.fnt");
    EXPECT_EQ(m_pText->GetFont(), nullptr);
    EXPECT_TRUE(Font::m_FontList.empty());
    EXPECT_EQ(LiveTextures(), 0);
    EXPECT_EQ(Draw(m_pText).Count(IsLit), 0);

    m_pText->SetFont("data/fonts/test.fnt");
    ASSERT_NE(m_pText->GetFont(), nullptr);
    EXPECT_GT(Draw(m_pText).Count(IsRed), 0);
}

TEST_F(TextTest, MalformedDescriptorsGiveNoFontAndLeakNothing)
{
    m_pText->Release();
    m_pText = nullptr;
    ASSERT_TRUE(Font::m_FontList.empty());
    ASSERT_EQ(LiveTextures(), 0);

    struct Bad
    {
        const char* name;
        std::string bytes;
    };
    std::vector<Bad> bad;
    const std::string good = TestFont().String();
    bad.push_back({"truncated", good.substr(0, good.size() - 3)});
    bad.push_back({"missing page image", TestFont("nothere.png").String()});
    {
        BmFontWriter w; // the page loads, then the chars block is bad
        w.Pages({"glyphs.png"}).Block(4, std::string(21, '\0'));
        bad.push_back({"chars not whole records", w.String()});
    }
    {
        BmFontWriter w;
        w.Pages({"glyphs.png"}).Block(1, 0xFFFFFFFBu, "xx");
        bad.push_back({"size negative as a signed int", w.String()});
    }
    {
        BmFontWriter w;
        w.Pages({"glyphs.png"}).Chars({{'A', 0, 0, 6, 10, 0, 0, 8}}).Pages({"glyphs.png"});
        bad.push_back({"second pages block", w.String()});
    }
    {
        BmFontWriter w;
        w.Pages({"glyphs.png"}).Kerning({{'A', 'V', -2}}).Chars({{'A', 0, 0, 6, 10, 0, 0, 8}});
        bad.push_back({"kerning before chars", w.String()});
    }
    {
        BmFontWriter w;
        w.Common(12).Chars({{'A', 0, 0, 6, 10, 0, 0, 8}});
        bad.push_back({"no pages block", w.String()});
    }
    for (const Bad& b : bad)
    {
        SCOPED_TRACE(b.name);
        WriteBytes("bad.fnt", b.bytes);
        EXPECT_EQ(Font::Load("data/fonts/bad.fnt"), nullptr);
        EXPECT_TRUE(Font::m_FontList.empty());
        EXPECT_EQ(LiveTextures(), 0);
    }
    EXPECT_EQ(Font::Load(nullptr), nullptr);
    EXPECT_EQ(Font::Load("data/fonts/none.fnt"), nullptr);
}

TEST_F(TextTest, DrawsWithFontsMadeByOtherTools)
{
    const auto dir = TestDataDir();
    if (dir.empty())
        GTEST_SKIP() << "no shared test data";
    for (const char* name : {"dynastium-24.fnt", "dynastium-24_0.png", "marediv.fnt",
                             "marediv_0.png", "marediv_1.png"})
        std::filesystem::copy_file(dir / "bmfont" / name, m_dir / name);

    for (const char* path : {"data/fonts/dynastium-24.fnt", "data/fonts/marediv.fnt"})
    {
        SCOPED_TRACE(path);
        m_pText->SetFont(path);
        ASSERT_NE(m_pText->GetFont(), nullptr);
        m_pText->SetText("AB");
        m_pText->SetJustify(Node_Text::c_iJustifyLeft);
        m_pText->SetPos(100, 100);
        // Their glyphs are black on transparent: draw on white.
        const Frame frame = Draw(m_pText, 0xFFFFFF);
        EXPECT_EQ(GL().GetIndexCount(), 12);
        // The glyphs land right of the pen and below it, within two advances.
        EXPECT_GT(frame.Count(IsBlack), 40);
        EXPECT_EQ(frame.ColumnExtent(99, IsBlack).first, -1);
        const auto row = frame.RowExtent(100 + m_pText->GetFont()->GetHeight() / 2, IsBlack);
        EXPECT_GE(row.first, 100);
        EXPECT_LE(row.second, 100 + 2 * 20);
    }
}
