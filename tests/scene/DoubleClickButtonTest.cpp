// The double-tap corner button under real touches and real frame updates: the
// first tap passes through, a second within half a second is taken, expired
// first taps are counted, and the image shows armed and idle colours.
#include "WidgetTestSupport.h"

#include "render/Material.h"
#include "scene/Node_DoubleClickButton.h"
#include "scene/Node_Sprite.h"

using namespace zindle_test;

namespace
{
constexpr float c_rFrame = 0.05f; // 20 frames per second

bool IsArmedGreen(const Pixel& p) // 0xAA88FF88 over black, premultiplied blending
{
    return p.g > 200 && p.r > 110 && p.r < 160 && p.b > 110 && p.b < 160;
}
bool IsIdleGrey(const Pixel& p) // 0x66666666 over black
{
    return p.r > 80 && p.r < 125 && p.r == p.g && p.g == p.b;
}

class DoubleClickButtonTest : public WidgetTest
{
  protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        WriteSolidPNG(m_dir / "doubletap.png", 32, 32, 255, 255, 255);
        AddSurface(); // registered first: the button still outbids it on a second tap
        m_pButton = Node_DoubleClickButton::Create("data/doubletap.png");
        m_pButton->SetCallback(&CallbackLog::Button_Static, &m_log, 3);
    }
    void TearDown() override
    {
        if (m_pButton)
            m_pButton->Release();
        WidgetTest::TearDown();
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            m_pButton->Update(c_rFrame);
    }
    void Tap(int finger, int x, int y)
    {
        Down(finger, x, y);
        Frames(1);
        Up(finger, x, y);
    }

    Node_DoubleClickButton* m_pButton = nullptr;
};
} // namespace

TEST_F(DoubleClickButtonTest, SitsInTheBottomRightCorner)
{
    EXPECT_FLOAT_EQ(m_pButton->GetMin().x, 430.0f);
    EXPECT_FLOAT_EQ(m_pButton->GetMin().y, 270.0f);
    EXPECT_FLOAT_EQ(m_pButton->GetMax().x, 480.0f);
    EXPECT_FLOAT_EQ(m_pButton->GetMax().y, 320.0f);
    Frames(1);
    const Frame frame = Draw(m_pButton);
    // The 32-point image centred on (455, 295), grey while idle.
    EXPECT_EQ(frame.RowExtent(295, IsLit), std::make_pair(439, 471));
    EXPECT_EQ(frame.ColumnExtent(455, IsLit), std::make_pair(279, 311));
    EXPECT_TRUE(IsIdleGrey(frame.At(455, 295)));
}

TEST_F(DoubleClickButtonTest, SecondTapWithinHalfASecondIsTakenAndCallsBackOnLift)
{
    Tap(1, 460, 300);
    ASSERT_EQ(m_surface.began.size(), 1u); // the first tap played a note
    EXPECT_TRUE(m_pButton->IsArmed());
    EXPECT_TRUE(IsArmedGreen(Draw(m_pButton).At(455, 295)));

    Frames(5); // 0.3 s after the first tap
    Down(2, 470, 310);
    EXPECT_EQ(m_surface.began.size(), 1u);
    EXPECT_FALSE(m_pButton->IsArmed());
    EXPECT_TRUE(m_log.calls.empty());
    Frames(1);
    EXPECT_TRUE(IsIdleGrey(Draw(m_pButton).At(455, 295)));
    Up(2, 470, 310);
    ASSERT_EQ(m_log.calls.size(), 1u);
    EXPECT_EQ(m_log.calls[0].id, 3);
    EXPECT_EQ(m_pButton->GetFailedClickCount(false), 0);

    // Straight after a taken double tap the next tap is a first tap again.
    Tap(3, 460, 300);
    EXPECT_EQ(m_surface.began.size(), 2u);
}

TEST_F(DoubleClickButtonTest, TapsTooFarApartAreFirstTapsAndCountAsFailed)
{
    Tap(1, 460, 300);
    Frames(11); // 0.6 s after the first tap
    EXPECT_FALSE(m_pButton->IsArmed());
    EXPECT_EQ(m_pButton->GetFailedClickCount(false), 1);
    EXPECT_TRUE(IsIdleGrey(Draw(m_pButton).At(455, 295)));

    Tap(2, 460, 300);
    EXPECT_EQ(m_surface.began.size(), 2u);
    EXPECT_TRUE(m_log.calls.empty());
    Frames(12);
    EXPECT_EQ(m_pButton->GetFailedClickCount(true), 2);
    EXPECT_EQ(m_pButton->GetFailedClickCount(false), 0);
}

TEST_F(DoubleClickButtonTest, SecondTapLiftedOutsideDoesNotCallBack)
{
    Tap(1, 460, 300);
    Frames(2);
    Down(2, 460, 300);
    Move(2, 300, 200);
    Up(2, 300, 200);
    EXPECT_TRUE(m_log.calls.empty());
    EXPECT_EQ(m_surface.began.size(), 1u);
}

TEST_F(DoubleClickButtonTest, CancelledSecondTapActsAsAnEnd)
{
    Tap(1, 460, 300);
    Down(2, 460, 300);
    m_pTouches->KillAllTouches();
    EXPECT_EQ(m_log.calls.size(), 1u);
}

TEST_F(DoubleClickButtonTest, HiddenButtonLetsEveryTapThrough)
{
    m_pButton->SetVisible(false);
    Tap(1, 460, 300);
    EXPECT_FALSE(m_pButton->IsArmed());
    Tap(2, 460, 300);
    EXPECT_EQ(m_surface.began.size(), 2u);
    EXPECT_TRUE(m_log.calls.empty());
    EXPECT_EQ(Draw(m_pButton).Count(IsLit), 0);

    m_pButton->SetVisible(true);
    Tap(3, 460, 300);
    Tap(4, 460, 300);
    EXPECT_EQ(m_log.calls.size(), 1u);
}

TEST_F(DoubleClickButtonTest, TapsOutsideTheCornerAreNotCounted)
{
    for (const auto& [x, y] : {std::pair{429, 300}, {460, 269}, {200, 100}})
    {
        SCOPED_TRACE(x);
        Tap(1, x, y);
        Tap(2, x, y);
        EXPECT_FALSE(m_pButton->IsArmed());
    }
    EXPECT_TRUE(m_log.calls.empty());
    EXPECT_EQ(m_surface.began.size(), 6u);
}

TEST_F(DoubleClickButtonTest, WorksWithoutItsImage)
{
    m_pButton->Release();
    m_pButton = Node_DoubleClickButton::Create("data/missing.png");
    ASSERT_NE(m_pButton, nullptr);
    m_pButton->SetCallback(&CallbackLog::Button_Static, &m_log, 4);
    EXPECT_EQ(m_pButton->GetSprite(), nullptr);
    EXPECT_EQ(m_pButton->GetMaterial(), nullptr);
    m_pButton->SetVisible(false);
    m_pButton->SetVisible(true);
    Tap(1, 460, 300);
    Frames(3);
    Tap(2, 460, 300);
    EXPECT_EQ(m_log.calls.size(), 1u);
    EXPECT_EQ(Draw(m_pButton).Count(IsLit), 0);
}
