// Buttons, the double-tap corner button and sliders under real touches, over a
// surface that bids like an idle theremin: what they take, call and show.
#include "SceneFixture.h"

#include "scene/Node_Button.h"
#include "scene/Node_DoubleClickButton.h"
#include "scene/Node_Slider.h"
#include "scene/Node_Text.h"

using namespace zindle_test;

namespace
{
// The default faces and frames: opaque blue, light blue while pressed.
const Match IsPressed = [](const Pixel& p)
{ return p.b > 200 && p.r > 110 && p.r < 160 && p.g > 110 && p.g < 160; };

class ButtonTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_pButton = Own(Node_Button::Create(10, 20, 100, 40));
        m_pButton->SetCallback(&CallbackLog::Button, &m_log, 7);
        AddSurface(); // after the button, which still outbids it
    }
    // Whether a touch at (x, y) is the button's.
    bool Takes(int x, int y)
    {
        Down(1, x, y);
        const bool pressed = m_pButton->IsPressed();
        Up(1, x, y);
        return pressed;
    }

    Node_Button* m_pButton = nullptr;
};

class DoubleClickButtonTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        WriteSolidPNG(m_dir / "doubletap.png", 32, 32, 255, 255, 255);
        AddSurface(); // first: the button still outbids it on a second tap
        Make("data/doubletap.png");
    }
    void Make(const char* image)
    {
        m_pButton = Own(Node_DoubleClickButton::Create(image));
        m_pButton->SetCallback(&CallbackLog::Button, &m_log, 3);
    }
    void Frames(int count) // at 20 frames a second
    {
        while (count-- > 0)
            m_pButton->Update(0.05f);
    }
    void Tap(int f, int x = 460, int y = 300) { Down(f, x, y), Frames(1), Up(f, x, y); }
    // The image's centre: green while armed (0xAA88FF88), grey while idle (0x66666666).
    bool Armed() { return Near(Draw(m_pButton).At(455, 295), 136, 255, 136, 25); }
    bool Idle() { return Near(Draw(m_pButton).At(455, 295), 102, 102, 102, 20); }

    Node_DoubleClickButton* m_pButton = nullptr;
};

class SliderTest : public SceneTest
{
  protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        AddSurface();
        m_pSlider = Own(Node_Slider::Create(100, 100, 200, 20));
        m_pSlider->SetCallback(&CallbackLog::Slider, &m_log, 9);
    }

    Node_Slider* m_pSlider = nullptr;
};
using Calls = std::vector<CallbackLog::Call>; // id, phase, value
const int c_began = Node_Slider::c_iPhaseBegan, c_changed = Node_Slider::c_iPhaseChanged;
const int c_ended = Node_Slider::c_iPhaseEnded;
} // namespace

TEST_F(ButtonTest, TakesTouchesInsideItsRectangleBorderAndLayer)
{
    EXPECT_TRUE(Takes(10, 20) && Takes(109, 59));
    EXPECT_FALSE(Takes(110, 20) || Takes(10, 60) || Takes(9, 20) || Takes(10, 19));
    m_pButton->SetTouchBorder(5, 5, 5, 5);
    m_pButton->SetTouchBorder(5, 5, 5, 5); // not cumulative
    EXPECT_TRUE(Takes(5, 15) && Takes(114, 64));
    EXPECT_FALSE(Takes(4, 15) || Takes(115, 64));
    m_pButton->SetTouchBorder(0, 0, 0, 0);
    m_pButton->GetTransform().SetPosition(100, 50, 0); // moving the node moves the rectangle
    EXPECT_TRUE(Takes(110, 70) && !Takes(109, 69));
    // In the panel's layer, shown 100 points lower: its camera looks at y 60.
    m_pButton->GetTransform().SetPosition(0, 0, 0);
    Camera_2D panel;
    panel.SetPosition(240, 60);
    m_pButton->SetCamera(&panel);
    EXPECT_TRUE(Takes(10, 120) && Takes(109, 159));
    EXPECT_FALSE(Takes(10, 119) || Takes(50, 40));
    EXPECT_EQ(std::pair(m_surface.began.size(), m_log.calls.size()), std::pair(9ul, 7ul));
}

TEST_F(ButtonTest, CallsBackOnALiftInsideAndNeverWhenCancelledOrInactive)
{
    Down(1, 50, 40); // slides off and back, then lifts inside: one call
    EXPECT_TRUE(IsPressed(Draw(m_pButton).At(60, 40)));
    Move(1, 200, 40);
    EXPECT_TRUE(IsBlue(Draw(m_pButton).At(60, 40)));
    Move(1, 60, 30);
    EXPECT_TRUE(m_pButton->IsPressed() && m_log.calls.empty());
    Up(1, 60, 30);
    ASSERT_EQ(m_log.calls.size(), 1u);
    EXPECT_TRUE(std::get<0>(m_log.calls[0]) == 7 && !m_pButton->IsPressed());
    for (int liftY : {100, 40}) // lifted outside; slid off, lifted back inside without a move
        Down(1, 50, 40), Move(1, 50, 100), Up(1, 50, liftY);
    Down(2, 50, 40); // cancelled
    Touches().KillAllTouches();
    EXPECT_TRUE(IsBlue(Draw(m_pButton).At(60, 40)));
    Down(3, 50, 40); // made inactive while held
    m_pButton->SetActive(false);
    Up(3, 50, 40);
    EXPECT_EQ(std::tuple(m_pButton->IsPressed(), m_log.calls.size(), m_surface.began.size()),
              std::tuple(false, 1ul, 0ul));
    Down(4, 50, 40); // inactive, it passes the touch to the surface
    Up(4, 50, 40);
    EXPECT_EQ(m_surface.began, (std::vector<std::pair<int, int>>{{50, 40}}));
    EXPECT_EQ(m_surface.ended.size(), 1u);

    m_pButton->SetActive(true); // calling back at touch down fires once
    m_pButton->SetCallbackOnTouch(true);
    Down(5, 50, 40);
    EXPECT_EQ(m_log.calls.size(), 2u);
    Drop(m_pButton); // destroyed while it holds a touch, it leaves the auction
    Up(5, 50, 40);
    Down(6, 50, 40);
    EXPECT_EQ(std::pair(m_log.calls.size(), m_surface.began.size()), std::pair(2ul, 2ul));
}

TEST_F(ButtonTest, DrawsAFramedFaceAndACentredLabelThatFollowTheTouch)
{
    WriteTestFont(m_dir.Path());
    m_pButton->SetText("AV");
    m_pButton->SetPosition(100, 100, 80, 40);
    // Pressed, the label turns green: its red glyph then shows black.
    m_pButton->SetFont("data/fonts/test.fnt", 0xFFFFFFFF, 0xFF00FF00);
    Frame frame = Draw(m_pButton, 0xFFFFFF);
    // A 2-point black frame around the face; "AV", 14 wide, centred on x 140.
    for (auto [x, y] : {std::pair{100, 100}, {101, 139}, {179, 120}})
        EXPECT_TRUE(IsBlack(frame.At(x, y))) << x << ", " << y;
    EXPECT_TRUE(IsBlue(frame.At(102, 102)) && IsBlue(frame.At(177, 137)));
    EXPECT_TRUE(IsWhite(frame.At(180, 120)));
    EXPECT_EQ(frame.Row(118, IsRed), std::pair(133, 139));
    Down(1, 150, 120);
    frame = Draw(m_pButton, 0xFFFFFF);
    EXPECT_TRUE(IsPressed(frame.At(102, 102)) && IsBlack(frame.At(135, 118)));
    EXPECT_EQ(frame.Row(118, IsRed).first, -1);
    Up(1, 150, 120);
    m_pButton->SetTextOffset(10, 5);
    EXPECT_EQ(Draw(m_pButton, 0xFFFFFF).Row(123, IsRed), std::pair(143, 149));
    m_pButton->SetColor(false, 0xFF0000FF, 0xFF00FF00); // without its background: the label only
    frame = Draw(m_pButton, 0xFFFFFF);
    EXPECT_TRUE(IsWhite(frame.At(102, 102)) && frame.Count(IsRed) > 0);
    m_pButton->SetColor(true, 0xFF00FF00, 0xFF0000FF);
    EXPECT_TRUE(IsGreen(Draw(m_pButton).At(102, 102)));
}

TEST_F(DoubleClickButtonTest, SecondTapWithinHalfASecondIsTakenAndCallsBackOnLift)
{
    Frames(1);
    // The 32-point image centred in the 50-point corner, grey while idle.
    const Frame frame = Draw(m_pButton);
    EXPECT_EQ(frame.Row(295, IsLit), std::pair(439, 471));
    EXPECT_EQ(frame.Column(455, IsLit), std::pair(279, 311));
    EXPECT_TRUE(Idle());
    Tap(1);
    ASSERT_EQ(m_surface.began.size(), 1u); // the first tap played a note
    EXPECT_TRUE(Armed());
    Frames(5); // 0.3 s after the first tap, at the corner's far edge
    Down(2, 479, 319);
    EXPECT_EQ(std::pair(m_surface.began.size(), m_log.calls.size()), std::pair(1ul, 0ul));
    Frames(1);
    EXPECT_TRUE(Idle());
    Up(2, 479, 319);
    ASSERT_EQ(m_log.calls.size(), 1u);
    EXPECT_TRUE(std::get<0>(m_log.calls[0]) == 3 && m_pButton->GetFailedClickCount(false) == 0);
    Tap(3); // straight after a double tap, the next tap is a first tap again
    EXPECT_EQ(m_surface.began.size(), 2u);
    Frames(2); // a second tap lifted outside calls nobody
    Down(4, 460, 300), Move(4, 300, 200), Up(4);
    EXPECT_EQ(m_log.calls.size(), 1u);
    Tap(5); // a cancelled one acts as a lift
    Down(6, 460, 300);
    Touches().KillAllTouches();
    EXPECT_EQ(std::pair(m_log.calls.size(), m_surface.began.size()), std::pair(2ul, 3ul));
}

TEST_F(DoubleClickButtonTest, TapsTooFarApartAreFirstTapsAndCountAsFailed)
{
    Tap(1);
    Frames(11); // 0.6 s after the first tap
    EXPECT_EQ(m_pButton->GetFailedClickCount(false), 1);
    EXPECT_TRUE(Idle());
    Tap(2);
    EXPECT_EQ(m_surface.began.size(), 2u);
    Frames(12);
    EXPECT_EQ(m_pButton->GetFailedClickCount(true), 2);
    EXPECT_EQ(m_pButton->GetFailedClickCount(false), 0) << "read and reset";
    // Outside the corner, or hidden, every tap plays through.
    for (const auto& [x, y] : {std::pair{429, 300}, {460, 269}, {200, 100}, {460, 300}})
    {
        m_pButton->SetVisible(x != 460 || y != 300);
        Tap(3, x, y);
        Tap(4, x, y);
        EXPECT_FALSE(m_pButton->IsArmed()) << x << ", " << y;
    }
    EXPECT_EQ(Draw(m_pButton).Count(IsLit), 0);
    EXPECT_EQ(std::pair(m_log.calls.size(), m_surface.began.size()), std::pair(0ul, 10ul));
    Drop(m_pButton); // without its image it draws nothing but takes double taps
    Make("data/missing.png");
    Tap(5);
    Frames(3);
    Tap(6);
    EXPECT_EQ(std::pair(m_log.calls.size(), Draw(m_pButton).Count(IsLit)), std::pair(1ul, 0));
}

TEST_F(SliderTest, DragsMoveTheValueByDistanceOverWidthAndClamp)
{
    m_pSlider->SetValue(0.5f);
    Down(1, 280, 110); // far right of the fill: the value does not jump
    Move(1, 330, 115); // +50 of 200; the vertical move is ignored
    Move(1, 480, 300); // +150, far outside the slider
    Move(1, 490, 300); // held at the end: still reported
    Move(1, 390, 300); // back by 100 from wherever the finger is
    Up(1, 100, 110);   // the lift position changes nothing
    Down(2, 150, 110);
    Move(2, -500, 110);
    Move(2, -400, 110);
    Touches().KillAllTouches(); // a cancelled drag ends like a lift
    // clang-format off
    EXPECT_EQ(m_log.calls, (Calls{{9, c_began, 0.5f}, {9, c_changed, 0.75f}, {9, c_changed, 1.0f},
                                  {9, c_changed, 1.0f}, {9, c_changed, 0.5f}, {9, c_ended, 0.5f},
                                  {9, c_began, 0.5f}, {9, c_changed, 0.0f}, {9, c_changed, 0.5f},
                                  {9, c_ended, 0.5f}}));
    // clang-format on
    EXPECT_TRUE(m_surface.began.empty());

    // Values pushed in are held to the ends silently; Apply announces them while active.
    m_log.calls.clear();
    for (auto [pushed, held] : {std::pair{1.7f, 1.0f}, {-0.2f, 0.0f}})
        EXPECT_FLOAT_EQ((m_pSlider->SetValue(pushed), m_pSlider->GetValue()), held) << pushed;
    m_pSlider->SetValue(0.25f);
    m_pSlider->Apply();
    m_pSlider->SetActive(false);
    m_pSlider->Apply();
    EXPECT_EQ(m_log.calls, (Calls{{9, c_changed, 0.25f}}));
}

TEST_F(SliderTest, TakesOneFingerInsideItsBorderAndNoneWhenInactive)
{
    m_pSlider->SetTouchBorder(0, 10, 0, 10);
    m_pSlider->SetTouchBorder(0, 10, 0, 10); // not cumulative
    for (const auto& [y, taken] : {std::pair{90, true}, {129, true}, {89, false}, {130, false}})
    {
        Down(1, 150, y);
        EXPECT_EQ(m_pSlider->IsPressed(), taken) << y;
        Up(1, 150, y);
    }
    Down(1, 150, 110);
    Down(2, 200, 110); // a second finger goes to the surface
    EXPECT_EQ(m_surface.began.size(), 3u);
    Up(1, 150, 110);
    m_log.calls.clear();
    m_pSlider->SetActive(false);
    Down(3, 150, 110);
    EXPECT_EQ(m_surface.began.size(), 4u);
    m_pSlider->SetActive(true);
    Down(4, 150, 110);
    m_pSlider->SetActive(false); // made inactive during a drag: it follows silently
    EXPECT_FALSE(m_pSlider->IsPressed());
    Move(4, 190, 110);
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 0.2f);
    Up(4, 190, 110);
    EXPECT_EQ(m_log.calls.size(), 1u);
    m_pSlider->GetTransform().SetPosition(0, 100, 0); // the node moves its touch area
    m_pSlider->SetActive(true);
    Down(5, 150, 210);
    EXPECT_TRUE(m_pSlider->IsPressed());
}

TEST_F(SliderTest, FillShowsTheValueInsideTheFrameWithTheLabelAbove)
{
    Frame frame = Draw(m_pSlider);
    // Value 0: the frame alone, two points wider than the track each side.
    EXPECT_EQ(frame.Row(110, IsBlue), std::pair(98, 302));
    EXPECT_EQ(frame.Column(200, IsBlue), std::pair(98, 122));
    const Match yellow = [](const Pixel& p) { return p.r > 200 && p.g > 200 && p.b < 60; };
    EXPECT_EQ(frame.Count(yellow), 0);
    m_pSlider->SetValue(0.5f);
    frame = Draw(m_pSlider);
    EXPECT_EQ(frame.Row(110, yellow), std::pair(100, 200));
    EXPECT_TRUE(IsBlue(frame.At(250, 110)));
    WriteTestFont(m_dir.Path());
    m_pSlider->SetFont("data/fonts/test.fnt", 0xFFFFFFFF, 0xFF00FF00);
    m_pSlider->SetText("AV");
    EXPECT_EQ(Draw(m_pSlider).Row(90, IsRed), std::pair(193, 199)); // centred 14 above
    // Pressed: a light blue frame, a white fill and the label green.
    Down(1, 150, 110);
    frame = Draw(m_pSlider);
    EXPECT_TRUE(IsWhite(frame.At(150, 110)));
    EXPECT_EQ(std::pair(frame.At(250, 110).r, frame.At(250, 110).b), std::pair(0x88, 0xFF));
    EXPECT_EQ(frame.Count(IsRed), 0);
    Up(1, 150, 110);
    m_pSlider->SetColor(false, 0, 0, 0, 0);
    m_pSlider->SetText("");
    EXPECT_EQ(Draw(m_pSlider).Count(IsLit), 0);
}
