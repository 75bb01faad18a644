// The control panel inside the running instrument, for what the panel itself
// does: its sub-pages and their slide, the page each synth mode offers, the
// keys that light up, and fingers on its widgets after a slide.
#include "support/InstrumentTestSupport.h"

#include "scene/PanelControl.h"

#include <cmath>

using namespace zindle_test;

namespace
{
uint32_t Packed(const Pixel& p)
{
    return uint32_t(p.r) | uint32_t(p.g) << 8 | uint32_t(p.b) << 16;
}

class ControlPanelTest : public InstrumentTest
{
  protected:
    float PanelX() { return m_pPanel->GetTransform().GetPosition().x; }
    float SlideX(float slide) { return 163.0f * (0.5f * std::cos(3.14159265f * slide) - 0.5f); }
};
} // namespace

TEST_F(ControlPanelTest, OnlyTheGridButtonAndTheNoteKeysLightUp)
{
    OpenPanel();
    m_pPanel->ButtonCallback(PanelId(PanelControl::Scale));
    m_pState->Update(1.0f);
    const LandscapeFrame before = Draw();
    for (int id : {-1, 0, 21, 22, 36, 99})
    {
        m_pPanel->SetButtonLit(id, true);
        m_pPanel->SetButtonLit(id, false);
    }
    const LandscapeFrame after = Draw();
    int changed = 0;
    for (int y = 0; y < 320; ++y)
        for (int x = 317; x < 480; ++x)
            changed += !IsColour(after.At(x, y), Packed(before.At(x, y)), 0);
    EXPECT_EQ(changed, 0) << "nothing on the panel changed";
    // Key C's face, at (328.5, 215)-(350.5, 244), lit and unlit.
    EXPECT_TRUE(IsColour(before.At(334, 236), Node_ControlPanel::c_iButtonLitColour));
    m_pPanel->SetButtonLit(PanelId(PanelControl::FirstNoteKey), false);
    EXPECT_TRUE(IsColour(Draw().At(334, 236), Node_ControlPanel::c_iButtonColour));
    m_pPanel->SetButtonLit(PanelId(PanelControl::LastNoteKey), false);
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteKey(11)), Node_ControlPanel::c_iButtonColour);
    m_pPanel->SetButtonLit(PanelId(PanelControl::NoteGrid), true);
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteGridButton()),
              Node_ControlPanel::c_iButtonLitColour);
}

TEST_F(ControlPanelTest, SubPagesSlideWithACosineEaseAndBackReversesFromWhereItIs)
{
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pPanel->ButtonCallback(PanelId(PanelControl::Effects));
    EXPECT_FALSE(m_pPanel->IsActive()) << "the main page takes no touch while away";
    for (int step = 1; step <= 4; ++step)
    {
        m_pPanel->Update(0.125f);
        EXPECT_NEAR(PanelX(), SlideX(0.25f * float(step)), 1e-3f) << "step " << step;
    }
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

    // "Synth Controls  >" offers a page in "Pulse" and "PWM" only: its sliders
    // (one full, one at 0.8) fill the right strip once slid in.
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
    Frames(5); // 0.25 s: half way
    EXPECT_NEAR(PanelX(), -81.5f, 1e-3f);
    Frames(5);
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
