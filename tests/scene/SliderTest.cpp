// Sliders under real touches through the touch manager: relative drags,
// clamping, phases, values pushed in from outside, inactive sliders, a second
// finger refused; and the frame and fill the player sees.
#include "TestFont.h"
#include "WidgetTestSupport.h"

#include "scene/Node_Slider.h"
#include "scene/Node_Text.h"

#include <limits>

using namespace zindle_test;

namespace
{
bool IsFrameBlue(const Pixel& p) // default frame: opaque blue
{
    return p.b > 200 && p.r < 60 && p.g < 60;
}
bool IsFillYellow(const Pixel& p) // default fill: yellow, drawn opaque
{
    return p.r > 200 && p.g > 200 && p.b < 60;
}

class SliderTest : public WidgetTest
{
  protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        AddSurface();
        m_pSlider = Node_Slider::Create(100, 100, 200, 20);
        m_pSlider->SetCallback(&CallbackLog::Slider_Static, &m_log, 9);
    }
    void TearDown() override
    {
        if (m_pSlider)
            m_pSlider->Release();
        WidgetTest::TearDown();
    }

    void ExpectCall(size_t index, int phase, float value)
    {
        ASSERT_GT(m_log.calls.size(), index);
        EXPECT_EQ(m_log.calls[index].id, 9);
        EXPECT_EQ(m_log.calls[index].phase, phase);
        EXPECT_FLOAT_EQ(m_log.calls[index].value, value);
    }

    Node_Slider* m_pSlider = nullptr;
};
} // namespace

TEST_F(SliderTest, DragsMoveTheValueByDistanceOverWidthAndClamp)
{
    m_pSlider->SetValue(0.5f);
    Down(1, 280, 110); // far right of the fill: the value does not jump
    ExpectCall(0, Node_Slider::c_iPhaseBegan, 0.5f);
    Move(1, 330, 115); // +50 of 200; the vertical move is ignored
    ExpectCall(1, Node_Slider::c_iPhaseChanged, 0.75f);
    Move(1, 480, 300); // +150, far outside the slider
    ExpectCall(2, Node_Slider::c_iPhaseChanged, 1.0f);
    Move(1, 490, 300); // held at the end: still reported
    ExpectCall(3, Node_Slider::c_iPhaseChanged, 1.0f);
    Move(1, 390, 300); // back by 100 from wherever the finger is
    ExpectCall(4, Node_Slider::c_iPhaseChanged, 0.5f);
    Up(1, 100, 110); // the lift position changes nothing
    ExpectCall(5, Node_Slider::c_iPhaseEnded, 0.5f);
    EXPECT_EQ(m_log.calls.size(), 6u);
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 0.5f);
    EXPECT_TRUE(m_surface.began.empty());

    Down(2, 150, 110);
    Move(2, -500, 110);
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 0.0f);
}

TEST_F(SliderTest, ValuesPushedInAreClampedSilentlyAndApplyAnnouncesThem)
{
    m_pSlider->SetValue(1.7f);
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 1.0f);
    m_pSlider->SetValue(-0.2f);
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 0.0f);
    m_pSlider->SetValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 0.0f);
    m_pSlider->SetValue(0.25f);
    EXPECT_TRUE(m_log.calls.empty());
    m_pSlider->Apply();
    ExpectCall(0, Node_Slider::c_iPhaseChanged, 0.25f);
    m_pSlider->SetActive(false);
    m_pSlider->Apply();
    EXPECT_EQ(m_log.calls.size(), 1u);
}

TEST_F(SliderTest, SecondFingerGoesToTheSurface)
{
    Down(1, 150, 110);
    Down(2, 200, 110);
    EXPECT_EQ(m_surface.began.size(), 1u);
    Up(1, 150, 110);
    Down(3, 200, 110);
    EXPECT_EQ(m_surface.began.size(), 1u);
    EXPECT_TRUE(m_pSlider->IsPressed());
}

TEST_F(SliderTest, InactiveSliderDeclinesAndADragMadeInactiveGoesSilent)
{
    m_pSlider->SetActive(false);
    Down(1, 150, 110);
    EXPECT_EQ(m_surface.began.size(), 1u);
    Up(1, 150, 110);

    m_pSlider->SetActive(true);
    Down(2, 150, 110);
    ASSERT_EQ(m_log.calls.size(), 1u);
    m_pSlider->SetActive(false);
    EXPECT_FALSE(m_pSlider->IsPressed());
    Move(2, 190, 110); // still owned: the value follows, nothing is reported
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 0.2f);
    Up(2, 190, 110);
    EXPECT_EQ(m_log.calls.size(), 1u);
}

TEST_F(SliderTest, CancelledDragEndsLikeALift)
{
    Down(1, 150, 110);
    Move(1, 170, 110);
    m_pTouches->KillAllTouches();
    ExpectCall(2, Node_Slider::c_iPhaseEnded, 0.1f);
    EXPECT_FALSE(m_pSlider->IsPressed());
}

TEST_F(SliderTest, TouchBordersAndNodePlacementMoveTheTouchArea)
{
    m_pSlider->SetTouchBorder(0, 10, 0, 10);
    m_pSlider->SetTouchBorder(0, 10, 0, 10); // not cumulative
    for (const auto& [y, taken] : {std::pair{90, true}, {129, true}, {89, false}, {130, false}})
    {
        SCOPED_TRACE(y);
        Down(1, 150, y);
        EXPECT_EQ(m_pSlider->IsPressed(), taken);
        Up(1, 150, y);
    }
    m_pSlider->GetTransform().SetPosition(0, 100, 0);
    Down(2, 150, 190);
    EXPECT_TRUE(m_pSlider->IsPressed());
    Up(2, 150, 190);
    Down(3, 150, 110);
    EXPECT_FALSE(m_pSlider->IsPressed());
}

TEST_F(SliderTest, FillShowsTheValueInsideTheFrame)
{
    Frame frame = Draw(m_pSlider);
    // Value 0: the frame alone, two points wider than the track on each side.
    EXPECT_EQ(frame.RowExtent(110, IsFrameBlue), std::make_pair(98, 302));
    EXPECT_EQ(frame.ColumnExtent(200, IsFrameBlue), std::make_pair(98, 122));
    EXPECT_EQ(frame.Count(IsFillYellow), 0);

    m_pSlider->SetValue(0.5f);
    frame = Draw(m_pSlider);
    EXPECT_EQ(frame.RowExtent(110, IsFillYellow), std::make_pair(100, 200));
    EXPECT_EQ(frame.RowExtent(110, IsFrameBlue), std::make_pair(98, 302));
    EXPECT_TRUE(IsFrameBlue(frame.At(250, 110)));

    // Pressed: light blue frame, white fill.
    Down(1, 150, 110);
    frame = Draw(m_pSlider);
    EXPECT_TRUE(IsWhite(frame.At(150, 110)));
    const Pixel framePressed = frame.At(250, 110);
    EXPECT_EQ(framePressed.r, 0x88);
    EXPECT_EQ(framePressed.b, 0xFF);
    Up(1, 150, 110);

    m_pSlider->SetColor(false, 0, 0, 0, 0);
    EXPECT_EQ(Draw(m_pSlider).Count(IsLit), 0);
}

TEST_F(SliderTest, LabelSitsCentredAboveTheTrack)
{
    WriteTestFont(m_dir.Path());
    m_pSlider->SetFont("data/fonts/test.fnt", 0xFFFFFFFF, 0xFF00FF00);
    m_pSlider->SetText("AV");
    Node_Text* label = m_pSlider->GetLabel();
    ASSERT_NE(label->GetFont(), nullptr);
    EXPECT_EQ(label->GetX(), 200);
    EXPECT_EQ(label->GetY(), 100 - 14);
    Frame frame = Draw(m_pSlider);
    EXPECT_EQ(frame.RowExtent(90, IsRed), std::make_pair(193, 199));
    Down(1, 150, 110);
    frame = Draw(m_pSlider);
    EXPECT_EQ(frame.Count(IsRed), 0);
}

TEST_F(SliderTest, TrackWithoutWidthKeepsItsValue)
{
    m_pSlider->SetPosition(100, 100, 0, 20);
    m_pSlider->SetTouchBorder(5, 0, 5, 0);
    m_pSlider->SetValue(0.3f);
    Down(1, 100, 110);
    Move(1, 150, 110);
    EXPECT_FLOAT_EQ(m_pSlider->GetValue(), 0.3f);
    ExpectCall(1, Node_Slider::c_iPhaseChanged, 0.3f);
}
