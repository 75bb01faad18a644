// Push buttons under real touches through the touch manager: bids over the
// playing surface, sliding off and back, lifting inside or outside, cancels,
// inactive buttons, touch borders and camera mapping; and what the player sees.
#include "TestFont.h"
#include "WidgetTestSupport.h"

#include "scene/Node_Button.h"
#include "scene/Node_Text.h"

using namespace zindle_test;

namespace
{
constexpr bool IsFace(const Pixel& p) // default face: opaque blue
{
    return p.b > 200 && p.r < 60 && p.g < 60;
}
constexpr bool IsPressedFace(const Pixel& p) // default pressed face: light blue
{
    return p.b > 200 && p.r > 110 && p.r < 160 && p.g > 110 && p.g < 160;
}

class ButtonTest : public WidgetTest
{
  protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        m_pButton = Node_Button::Create(10, 20, 100, 40);
        m_pButton->SetCallback(&CallbackLog::Button_Static, &m_log, 7);
    }
    void TearDown() override
    {
        if (m_pButton)
            m_pButton->Release();
        WidgetTest::TearDown();
    }

    Node_Button* m_pButton = nullptr;
};
} // namespace

TEST_F(ButtonTest, TouchRectangleEdgesAndBorders)
{
    struct Point
    {
        int x, y;
        bool inside;
    };
    const Point plain[] = {{10, 20, true},  {109, 59, true}, {110, 20, false},
                           {10, 60, false}, {9, 20, false},  {10, 19, false}};
    for (const Point& p : plain)
    {
        SCOPED_TRACE(::testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(m_pButton->PointIsInside(p.x, p.y), p.inside);
    }
    m_pButton->SetTouchBorder(5, 5, 5, 5);
    m_pButton->SetTouchBorder(5, 5, 5, 5); // not cumulative
    const Point bordered[] = {{5, 15, true}, {114, 59, true}, {4, 15, false}, {115, 64, false}};
    for (const Point& p : bordered)
    {
        SCOPED_TRACE(::testing::Message() << p.x << "," << p.y << " with border");
        EXPECT_EQ(m_pButton->PointIsInside(p.x, p.y), p.inside);
    }
    // Moving the node moves its touch rectangle.
    m_pButton->GetTransform().SetPosition(100, 50, 0);
    EXPECT_TRUE(m_pButton->PointIsInside(105, 65));
    EXPECT_FALSE(m_pButton->PointIsInside(104, 64));
}

TEST_F(ButtonTest, ReleaseCallbackFollowsSlidingOffAndBack)
{
    AddSurface(); // registered after the button, yet the button outbids it
    {
        SCOPED_TRACE("lift inside after sliding off and back");
        Down(1, 50, 40);
        EXPECT_TRUE(m_pButton->IsPressed());
        EXPECT_TRUE(IsPressedFace(Draw(m_pButton).At(60, 40)));
        Move(1, 200, 40);
        EXPECT_FALSE(m_pButton->IsPressed());
        EXPECT_TRUE(IsFace(Draw(m_pButton).At(60, 40)));
        Move(1, 60, 30);
        EXPECT_TRUE(m_pButton->IsPressed());
        EXPECT_TRUE(m_log.calls.empty());
        Up(1, 60, 30);
        ASSERT_EQ(m_log.calls.size(), 1u);
        EXPECT_EQ(m_log.calls[0].id, 7);
        EXPECT_FALSE(m_pButton->IsPressed());
    }
    {
        SCOPED_TRACE("lift outside");
        m_log.calls.clear();
        Down(1, 50, 40);
        Move(1, 50, 100);
        Up(1, 50, 100);
        EXPECT_TRUE(m_log.calls.empty());
    }
    {
        SCOPED_TRACE("slide off, lift back inside without a move");
        Down(1, 50, 40);
        Move(1, 50, 100);
        Up(1, 50, 40); // not pressed at the end: nothing
        EXPECT_TRUE(m_log.calls.empty());
    }
    EXPECT_TRUE(m_surface.began.empty());
}

TEST_F(ButtonTest, CallbackOnTouchFiresOnceAtTouchDown)
{
    m_pButton->SetCallbackOnTouch(true);
    Down(1, 50, 40);
    EXPECT_EQ(m_log.calls.size(), 1u);
    Up(1, 50, 40);
    EXPECT_EQ(m_log.calls.size(), 1u);
}

TEST_F(ButtonTest, CancelUnlightsWithoutCallingBack)
{
    Down(1, 50, 40);
    m_pTouches->KillAllTouches();
    EXPECT_FALSE(m_pButton->IsPressed());
    EXPECT_TRUE(m_log.calls.empty());
    Down(2, 50, 40);
    Cancel(2, 50, 40);
    EXPECT_TRUE(m_log.calls.empty());
    EXPECT_TRUE(IsFace(Draw(m_pButton).At(60, 40)));
}

TEST_F(ButtonTest, InactiveButtonPassesTouchesToTheSurface)
{
    AddSurface();
    m_pButton->SetActive(false);
    Down(1, 50, 40);
    EXPECT_FALSE(m_pButton->IsPressed());
    ASSERT_EQ(m_surface.began.size(), 1u);
    EXPECT_EQ(m_surface.began[0], std::make_pair(50, 40));
    Up(1, 50, 40);
    EXPECT_EQ(m_surface.ended.size(), 1u);

    // Made inactive while held: it lights and unlights but never calls back.
    m_pButton->SetActive(true);
    Down(2, 50, 40);
    m_pButton->SetActive(false);
    Up(2, 50, 40);
    EXPECT_TRUE(m_log.calls.empty());
    EXPECT_FALSE(m_pButton->IsPressed());
    EXPECT_EQ(m_surface.began.size(), 1u);
}

TEST_F(ButtonTest, CameraPlacementMapsTouchesIntoTheLayer)
{
    AddSurface();
    // The panel layer shown 100 points lower: its camera looks at y 60.
    Camera_2D panel;
    panel.SetPosition(240, 60);
    m_pButton->SetCamera(&panel);
    EXPECT_TRUE(m_pButton->PointIsInside(10, 120));
    EXPECT_TRUE(m_pButton->PointIsInside(109, 159));
    EXPECT_FALSE(m_pButton->PointIsInside(10, 119));
    EXPECT_FALSE(m_pButton->PointIsInside(50, 40));

    Down(1, 50, 40); // where the button would be without the camera
    EXPECT_EQ(m_surface.began.size(), 1u);
    Up(1, 50, 40);
    Down(2, 50, 140);
    Up(2, 50, 140);
    EXPECT_EQ(m_log.calls.size(), 1u);
    EXPECT_EQ(m_surface.began.size(), 1u);
}

TEST_F(ButtonTest, DrawsAFramedFaceAndACentredLabelThatFollowTheTouch)
{
    WriteTestFont(m_dir.Path());
    m_pButton->SetPosition(100, 100, 80, 40);
    // Pressed, the label turns green: the red glyph then shows black.
    m_pButton->SetFont("data/fonts/test.fnt", 0xFFFFFFFF, 0xFF00FF00);
    m_pButton->SetText("AV");
    Node_Text* label = m_pButton->GetLabel();
    ASSERT_NE(label->GetFont(), nullptr);
    EXPECT_EQ(label->GetX(), 140);
    EXPECT_EQ(label->GetY(), 114);

    Frame frame = Draw(m_pButton, 0xFFFFFF);
    // A 2-point black frame around the face.
    EXPECT_TRUE(IsBlack(frame.At(100, 100)));
    EXPECT_TRUE(IsBlack(frame.At(101, 139)));
    EXPECT_TRUE(IsBlack(frame.At(179, 120)));
    EXPECT_TRUE(IsFace(frame.At(102, 102)));
    EXPECT_TRUE(IsFace(frame.At(177, 137)));
    EXPECT_TRUE(IsWhite(frame.At(180, 120)));
    // "AV" is 14 wide: centred on x 140 it starts at 133.
    EXPECT_EQ(frame.RowExtent(118, IsRed), std::make_pair(133, 139));

    Down(1, 150, 120);
    frame = Draw(m_pButton, 0xFFFFFF);
    EXPECT_TRUE(IsPressedFace(frame.At(102, 102)));
    EXPECT_EQ(frame.RowExtent(118, IsRed).first, -1);
    EXPECT_TRUE(IsBlack(frame.At(135, 118)));
    Up(1, 150, 120);
    frame = Draw(m_pButton, 0xFFFFFF);
    EXPECT_EQ(frame.RowExtent(118, IsRed), std::make_pair(133, 139));

    m_pButton->SetTextOffset(10, 5);
    EXPECT_EQ(label->GetX(), 150);
    EXPECT_EQ(label->GetY(), 119);

    // Without its background only the label draws.
    m_pButton->SetColor(false, 0xFF0000FF, 0xFF00FF00);
    frame = Draw(m_pButton, 0xFFFFFF);
    EXPECT_TRUE(IsWhite(frame.At(102, 102)));
    EXPECT_GT(frame.Count(IsRed), 0);

    // Custom colours.
    m_pButton->SetColor(true, 0xFF00FF00, 0xFF0000FF);
    EXPECT_TRUE(IsGreen(Draw(m_pButton).At(102, 102)));
}

TEST_F(ButtonTest, LabelWithoutAFontIsNotPlaced)
{
    m_pButton->SetFont("data/fonts/missing.fnt", 0xFFFFFFFF, 0xFFFFFFFF);
    m_pButton->SetTextOffset(10, 10);
    EXPECT_EQ(m_pButton->GetLabel()->GetFont(), nullptr);
    EXPECT_EQ(m_pButton->GetLabel()->GetX(), 0);
    EXPECT_EQ(m_pButton->GetLabel()->GetY(), 0);
    m_pButton->SetText("AV");
    EXPECT_TRUE(IsFace(Draw(m_pButton).At(50, 40)));
}

TEST_F(ButtonTest, DestroyedButtonLeavesTheAuction)
{
    AddSurface();
    Down(1, 50, 40);
    m_pButton->Release(); // while it holds a touch
    m_pButton = nullptr;
    Up(1, 50, 40);
    Down(2, 50, 40);
    EXPECT_EQ(m_surface.began.size(), 1u);
    EXPECT_TRUE(m_log.calls.empty());
}
