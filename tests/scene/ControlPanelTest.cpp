// The control panel inside the running instrument: activation and modes
// re-applying the sliders the synthesizer hears, the sub-pages and their slide,
// lit buttons, the about picture, and real fingers on the panel's widgets.
#include "support/InstrumentTestSupport.h"

#include "render/Camera_2D.h"
#include "scene/Node_Slider.h"
#include "scene/PanelControl.h"
#include "sound/SoundControl_Tweakable.h"
#include "sound/SoundSource_Delay.h"
#include "sound/SoundSource_LadderFilter.h"
#include "sound/Synth_FourVoice.h"

#include <cmath>
#include <string>

using namespace zindle_test;

namespace
{
constexpr float c_rPi = 3.14159265f;
constexpr unsigned int c_iSliderFill = 0xFFFF4444;

class ControlPanelTest : public InstrumentTest
{
  protected:
    float Resonance() const { return m_pState->GetSynth()->GetFilter(0)->GetResonance(); }
    float PanelX() { return m_pPanel->GetTransform().GetPosition().x; }
    // Pixels of slider fill on the screen's right strip, where the panel's
    // second page shows after the slide.
    int SliderFillOnSecondPage()
    {
        return Draw().Count(317, 0, 480, 250,
                            [](const Pixel& p) { return IsColour(p, c_iSliderFill); });
    }
};
} // namespace

TEST_F(ControlPanelTest, ActivatingReappliesTheMainPageTimbreOnlyInMekkoMode)
{
    {
        SCOPED_TRACE("Mekko: resonance 11 x the slider");
        m_pState->SliderCallback(PanelId(PanelControl::Resonance), 1, 0.1f);
        ASSERT_FLOAT_EQ(Resonance(), 1.1f);
        m_pPanel->SetActive(true);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetFilter(i)->GetResonance(), 8.0f);
        m_pPanel->SetSliderValue(PanelId(PanelControl::Resonance), 0.5f);
        EXPECT_FLOAT_EQ(Resonance(), 8.0f) << "setting a position calls nobody";
        m_pPanel->SetActive(false);
        m_pPanel->SetActive(true);
        EXPECT_FLOAT_EQ(Resonance(), 5.5f);
    }
    {
        SCOPED_TRACE("Theremin: nothing applied");
        m_pPanel->SetActive(false);
        m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
        m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
        ASSERT_EQ(m_pPanel->GetMode(), 2);
        m_pState->SliderCallback(PanelId(PanelControl::Resonance), 1, 0.1f);
        m_pPanel->SetActive(true);
        EXPECT_FLOAT_EQ(Resonance(), 1.1f);
        EXPECT_FALSE(m_pPanel->GetSynthControlsButton()->IsActive());
        EXPECT_FALSE(m_pPanel->GetSynthControlsButton()->IsVisible());
    }
}

TEST_F(ControlPanelTest, ModeChangeWhileInactiveStillAppliesThePageSliders)
{
    m_pState->SliderCallback(PanelId(PanelControl::PulseWidth), 1, 1.0f);
    m_pState->SliderCallback(PanelId(PanelControl::Resonance), 1, 0.0f);
    ASSERT_FALSE(m_pPanel->IsActive());
    m_pPanel->SetMode(1);
    EXPECT_FLOAT_EQ(Resonance(), 8.8f);
    EXPECT_FLOAT_EQ(
        m_pState->GetSynth()->GetPulseWidthControl().GetTweakable()->GetValue_Absolute(), 0.5f);
    Node_Button* synthControls = m_pPanel->GetSynthControlsButton();
    EXPECT_TRUE(synthControls->IsVisible());
    EXPECT_FALSE(synthControls->IsActive());
    EXPECT_FALSE(m_pPanel->GetTimbreSlider()->IsVisible());
    EXPECT_STREQ(m_pPanel->GetModeText(), "Pulse");
    m_pPanel->SetActive(true);
    EXPECT_TRUE(synthControls->IsActive());
    {
        SCOPED_TRACE("a mode outside 0-3 changes nothing shown");
        m_pPanel->SetMode(7);
        EXPECT_STREQ(m_pPanel->GetModeText(), "Pulse");
        EXPECT_TRUE(synthControls->IsActive());
        EXPECT_TRUE(synthControls->IsVisible());
    }
}

TEST_F(ControlPanelTest, SynthControlsPageFollowsTheMode)
{
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->Update(1.0f);
    struct Case
    {
        int mode;
        bool page;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}, Case{2, false}, Case{3, true}})
    {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        while (m_pState->GetSynthMode() != c.mode)
            m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
        m_pState->SliderCallback(PanelId(PanelControl::Resonance), 1, 0.3f);
        m_pPanel->ButtonCallback(
            PanelId(PanelControl::SynthControls)); // what "Synth Controls  >" does
        m_pState->Update(1.0f);
        ASSERT_FLOAT_EQ(PanelX(), -163.0f);
        // The pulse page's "Timbre" at 0.8, the PWM page's "Cutoff" at 1.0.
        if (c.page)
            EXPECT_GT(SliderFillOnSecondPage(), 1000);
        else
            EXPECT_EQ(SliderFillOnSecondPage(), 0);
        // A drag to the left where the page's first slider would be: the
        // pulse page's "Timbre" (0.8) or the PWM page's "Cutoff" (1.0).
        const float cutoff =
            m_pState->GetSynth()->GetCutoffControl().GetTweakable()->GetValue_Absolute();
        Drag(360, 45, 340, 45);
        const float moved = 20.0f / 138.0f;
        EXPECT_NEAR(Resonance(), c.mode == 1 ? 11.0f * (0.8f - moved) : 3.3f, 1e-3f);
        EXPECT_NEAR(m_pState->GetSynth()->GetCutoffControl().GetTweakable()->GetValue_Absolute(),
                    c.mode == 3 ? 1.0f - moved : cutoff, 1e-4f);
        m_pPanel->ButtonCallback(PanelId(PanelControl::Back));
        m_pState->Update(1.0f);
    }
}

TEST_F(ControlPanelTest, OnlyTheGridButtonAndTheNoteKeysLightUp)
{
    OpenPanel();
    m_pPanel->ButtonCallback(PanelId(PanelControl::Scale)); // the scale page
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
            changed += IsColour(after.At(x, y),
                                static_cast<uint32_t>(before.At(x, y).r) |
                                    (static_cast<uint32_t>(before.At(x, y).g) << 8) |
                                    (static_cast<uint32_t>(before.At(x, y).b) << 16),
                                0)
                           ? 0
                           : 1;
    EXPECT_EQ(changed, 0) << "nothing on the panel changed";

    m_pPanel->SetButtonLit(PanelId(PanelControl::FirstNoteKey), false);
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteKey(0)), 0xFFAA0000u);
    const LandscapeFrame unlit = Draw();
    // Key C's face (328.5, 215)-(350.5, 244) drawn in the unlit colour.
    EXPECT_TRUE(IsColour(unlit.At(334, 236), 0xFFAA0000u));
    EXPECT_TRUE(IsColour(before.At(334, 236), 0xFFCC4444u));
    m_pPanel->SetButtonLit(PanelId(PanelControl::FirstNoteKey), true);
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteKey(0)), 0xFFCC4444u);
    m_pPanel->SetButtonLit(PanelId(PanelControl::LastNoteKey), false);
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteKey(11)), 0xFFAA0000u);
    m_pPanel->SetButtonLit(PanelId(PanelControl::NoteGrid), true);
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteGridButton()), 0xFFCC4444u);
}

TEST_F(ControlPanelTest, PageSlideFollowsACosineEaseAndBackReversesIt)
{
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pPanel->ButtonCallback(PanelId(PanelControl::Effects));
    EXPECT_FALSE(m_pPanel->IsActive());
    EXPECT_TRUE(m_pPanel->IsSubPanelShown());
    for (int step = 1; step <= 4; ++step)
    {
        SCOPED_TRACE("step " + std::to_string(step));
        m_pPanel->Update(0.125f);
        const float slide = 0.25f * static_cast<float>(step);
        EXPECT_NEAR(m_pPanel->GetSlide(), slide, 1e-6f);
        const float x = step == 4 ? -163.0f : 163.0f * (0.5f * std::cos(c_rPi * slide) - 0.5f);
        EXPECT_NEAR(PanelX(), x, 1e-3f);
    }
    {
        SCOPED_TRACE("Back half way reverses from where it is");
        m_pPanel->ButtonCallback(PanelId(PanelControl::Back));
        EXPECT_TRUE(m_pPanel->IsActive());
        m_pPanel->Update(0.3f); // 1.0 -> 0.4
        m_pPanel->ButtonCallback(PanelId(PanelControl::Effects));
        m_pPanel->Update(0.05f); // 0.4 -> 0.5
        EXPECT_NEAR(m_pPanel->GetSlide(), 0.5f, 1e-6f);
        EXPECT_NEAR(PanelX(), -81.5f, 1e-3f);
        m_pPanel->ButtonCallback(PanelId(PanelControl::Back));
        m_pPanel->Update(0.1f); // 0.5 -> 0.3
        EXPECT_NEAR(m_pPanel->GetSlide(), 0.3f, 1e-6f);
        EXPECT_NEAR(PanelX(), 163.0f * (0.5f * std::cos(c_rPi * 0.3f) - 0.5f), 1e-3f);
        m_pPanel->Update(0.5f);
        EXPECT_FLOAT_EQ(m_pPanel->GetSlide(), 0.0f);
        EXPECT_FLOAT_EQ(PanelX(), 0.0f);
    }
}

TEST_F(ControlPanelTest, AboutPictureIsLoadedOnceBelowThePanel)
{
    const int children = ChildCount(m_pPanel);
    m_pPanel->LoadAbout();
    EXPECT_TRUE(m_pPanel->IsAboutLoaded());
    EXPECT_EQ(ChildCount(m_pPanel), children + 1);
    m_pPanel->LoadAbout();
    EXPECT_EQ(ChildCount(m_pPanel), children + 1);

    // Scrolled into view, the picture covers the screen from its top-left corner.
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->ButtonCallback(PanelId(PanelControl::About));
    m_pState->Update(1.0f);
    const LandscapeFrame frame = Draw();
    // The title's orange letters at the picture's top right, over its dark blue.
    EXPECT_GT(frame.Count(190, 15, 360, 70,
                          [](const Pixel& p)
                          { return p.r > 220 && p.g > 120 && p.g < 200 && p.b < 130; }),
              200);
    const Pixel corner = frame.At(5, 310);
    EXPECT_TRUE(corner.b > corner.r && corner.b < 120) << "dark blue background";
}

TEST_F(ControlPanelTest, SliderPositionsAreSetAndReadWithoutCallbacks)
{
    const float level = m_pState->GetSynth()->GetDelay().GetDelayLevel();
    m_pPanel->SetSliderValue(PanelId(PanelControl::EchoVolume), 1.5f);
    EXPECT_FLOAT_EQ(m_pPanel->GetSliderValue(PanelId(PanelControl::EchoVolume)), 1.0f);
    m_pPanel->SetSliderValue(PanelId(PanelControl::EchoTime), -0.5f);
    EXPECT_FLOAT_EQ(m_pPanel->GetSliderValue(PanelId(PanelControl::EchoTime)), 0.0f);
    m_pPanel->SetSliderValue(PanelId(PanelControl::EchoRepeat), 0.7f);
    EXPECT_FLOAT_EQ(m_pPanel->GetSliderValue(PanelId(PanelControl::EchoRepeat)), 0.7f);
    EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetDelayLevel(), level);
    for (int id : {9, 10, 14, 15, 16, 0})
    {
        SCOPED_TRACE("id " + std::to_string(id));
        EXPECT_FLOAT_EQ(m_pPanel->GetSliderValue(id), -1.0f);
    }
    m_pPanel->SetPitchSlider(0.25f);
    EXPECT_FLOAT_EQ(m_pPanel->GetPitchSlider()->GetValue(), 0.25f);
    m_pPanel->SetAutotuneText("Fast");
    EXPECT_STREQ(m_pPanel->GetAutotuneText(), "Fast");
}

TEST_F(ControlPanelTest, FingersReachTheEffectsPageThroughTheSlide)
{
    {
        SCOPED_TRACE("closed, the panel takes no touch");
        Tap(398, 150);
        EXPECT_FALSE(m_pPanel->IsSubPanelShown());
    }
    OpenPanel();
    Tap(398, 150); // "Effects  >"
    EXPECT_TRUE(m_pPanel->IsSubPanelShown());
    EXPECT_FALSE(m_pPanel->IsActive());
    Frames(5); // 0.25 s: half way
    EXPECT_NEAR(PanelX(), -81.5f, 1e-3f);
    Frames(5);
    EXPECT_FLOAT_EQ(PanelX(), -163.0f);
    {
        SCOPED_TRACE("the main page's buttons are out of reach");
        Tap(398 - 163, 150);
        Tap(440 - 163, 280);
        EXPECT_TRUE(m_pState->IsPanelOpen());
    }
    {
        SCOPED_TRACE("Echo Volume: half the track raises it by 0.5");
        Drag(340, 45, 409, 45);
        EXPECT_NEAR(m_pPanel->GetSliderValue(PanelId(PanelControl::EchoVolume)), 0.74f, 1e-4f);
        EXPECT_NEAR(m_pState->GetSynth()->GetDelay().GetDelayLevel(), 0.74f * 0.74f, 1e-4f);
    }
    {
        SCOPED_TRACE("Echo Repeat down to nothing");
        Drag(400, 145, 300, 145);
        EXPECT_FLOAT_EQ(m_pPanel->GetSliderValue(PanelId(PanelControl::EchoRepeat)), 0.0f);
        EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetFeedback(), 0.0f);
    }
    {
        SCOPED_TRACE("Back slides home and the main page answers again");
        Tap(398, 280);
        EXPECT_FALSE(m_pPanel->IsSubPanelShown());
        EXPECT_TRUE(m_pPanel->IsActive());
        Frames(10);
        EXPECT_FLOAT_EQ(PanelX(), 0.0f);
        Tap(440, 280); // "Close"
        EXPECT_FALSE(m_pState->IsPanelOpen());
    }
}
