// The control panel inside the running instrument: its sub-pages and their
// slide, the page each synth mode offers, and fingers on its widgets.
#include "support/InstrumentTestSupport.h"

#include "scene/PanelControl.h"

#include <cmath>

using namespace zindle_test;

namespace
{
class ControlPanelTest : public InstrumentTest
{
  protected:
    float PanelX() { return m_pPanel->GetTransform().GetPosition().x; }
    float SlideX(float slide) { return 163.0f * (0.5f * std::cos(3.14159265f * slide) - 0.5f); }
};
} // namespace

TEST_F(ControlPanelTest, SubPagesSlideWithACosineEaseAndBackReversesFromWhereItIs)
{
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pPanel->ButtonCallback(PanelId(PanelControl::Effects));
    EXPECT_FALSE(m_pPanel->IsActive()) << "the main page takes no touch while away";
    for (int step = 1; step <= 4; ++step) // an eighth of a second each
        EXPECT_NEAR((m_pPanel->Update(0.125f), PanelX()), SlideX(0.25f * float(step)), 1e-3f);
    m_pPanel->ButtonCallback(PanelId(PanelControl::Back));
    EXPECT_TRUE(m_pPanel->IsActive());
    m_pPanel->Update(0.3f); // 1.0 -> 0.4
    m_pPanel->ButtonCallback(PanelId(PanelControl::Effects));
    m_pPanel->Update(0.05f); // 0.4 -> 0.5
    EXPECT_NEAR(PanelX(), -81.5f, 1e-3f);
    m_pPanel->ButtonCallback(PanelId(PanelControl::Back));
    m_pPanel->Update(0.1f); // 0.5 -> 0.3
    EXPECT_NEAR(PanelX(), SlideX(0.3f), 1e-3f);
    m_pPanel->Update(0.5f);
    EXPECT_FLOAT_EQ(PanelX(), 0.0f);

    // Only "Pulse" and "PWM" offer "Synth Controls  >": its sliders fill the right strip.
    m_pState->Update(1.0f);
    for (const auto& [mode, page] : {std::pair{0, false}, {1, true}, {2, false}, {3, true}})
    {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        while (m_pState->GetSynthMode() != mode)
            m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
        EXPECT_EQ(m_pPanel->GetSynthControlsButton()->IsVisible(), page);
        m_pPanel->ButtonCallback(PanelId(PanelControl::SynthControls));
        m_pState->Update(1.0f);
        const int fill =
            Draw().Count(317, 0, 480, 250, [](const Pixel& p) { return IsColour(p, 0xFFFF4444); });
        EXPECT_EQ(fill > 1000, page) << fill;
        m_pPanel->ButtonCallback(PanelId(PanelControl::Back));
        m_pState->Update(1.0f);
    }
}

TEST_F(ControlPanelTest, FingersReachTheEffectsPageOnlyAfterItsSlide)
{
    Tap(398, 150); // closed, the panel takes no touch
    EXPECT_FALSE(m_pPanel->IsSubPanelShown());
    OpenPanel();
    Tap(398, 150); // "Effects  >"
    EXPECT_TRUE(m_pPanel->IsSubPanelShown());
    Frames(10); // half a second
    EXPECT_FLOAT_EQ(PanelX(), -163.0f);
    Tap(398 - 163, 150); // the main page's buttons are out of reach
    Tap(440 - 163, 280);
    EXPECT_TRUE(m_pState->IsPanelOpen());
    Drag(340, 45, 409, 45); // half the track raises "Echo Volume" by 0.5
    EXPECT_NEAR(m_pPanel->GetSliderValue(PanelId(PanelControl::EchoVolume)), 0.74f, 1e-4f);
    Drag(400, 145, 300, 145); // "Echo Repeat" down to nothing
    EXPECT_FLOAT_EQ(m_pPanel->GetSliderValue(PanelId(PanelControl::EchoRepeat)), 0.0f);
    Tap(398, 280); // "Back" slides home, and the main page answers again
    EXPECT_TRUE(m_pPanel->IsActive());
    Frames(10);
    EXPECT_FLOAT_EQ(PanelX(), 0.0f);
    Tap(440, 280); // "Close"
    EXPECT_FALSE(m_pState->IsPanelOpen());
}
