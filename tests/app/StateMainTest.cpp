// The main state as a player meets it: the whole instrument built over the
// shipped art, real fingers through the touch manager, real frame updates,
// frames drawn with OpenGL ES and read back, and output pulled from the graph.
#include "support/InstrumentTestSupport.h"

#include "file/File_Bundle.h"
#include "platform/SoundManager_Offline.h"
#include "render/Camera_2D.h"
#include "render/Renderer.h"
#include "render/TextureManager.h"
#include "scene/Node_DoubleClickButton.h"
#include "scene/Node_NoteGrid.h"
#include "scene/Node_Robot.h"
#include "scene/Node_Slider.h"
#include "scene/Node_Sprite.h"
#include "scene/PanelControl.h"
#include "sound/SoundControl_Switch.h"
#include "sound/SoundControl_Tweakable.h"
#include "sound/SoundSource_Delay.h"
#include "sound/SoundSource_LadderFilter.h"
#include "sound/SoundSource_Limiter.h"
#include "sound/SoundSource_Overdrive.h"
#include "sound/SoundSource_Switch.h"
#include "sound/Synth_FourVoice.h"

#include <cmath>
#include <string>
#include <vector>

using namespace zindle_test;

namespace
{
constexpr float c_rPi = 3.14159265f;

// Screen positions of the panel's controls while it is open on its main page.
constexpr int c_iModeDownX = 347, c_iModeUpX = 450, c_iModeY = 50;
constexpr int c_iCloseX = 440, c_iCloseY = 280;
constexpr int c_iAboutX = 357, c_iAboutY = 280;
constexpr int c_iScaleX = 398, c_iScaleY = 200;
// On the scale page once it has slid in.
constexpr int c_iAutotuneDownX = 346, c_iAutotuneUpX = 450, c_iAutotuneY = 160;

// Oscillator, width, cutoff and voice switch selections of one voice.
struct Routing
{
    int oscillator, width, cutoff, voice;
    bool operator==(const Routing& o) const
    {
        return oscillator == o.oscillator && width == o.width && cutoff == o.cutoff &&
               voice == o.voice;
    }
};
std::ostream& operator<<(std::ostream& out, const Routing& r)
{
    return out << "{osc " << r.oscillator << ", width " << r.width << ", cutoff " << r.cutoff
               << ", voice " << r.voice << "}";
}

// Every setting a panel control can reach, to see that something did not move.
struct Settings
{
    float resonance[4], pulseWidth, cutoff, delayLevel, delayTime, feedback, drive, pitch, zoom;
    int mode, autotune, notes;
    bool panelOpen, aboutShown, grid;
    bool operator==(const Settings& o) const
    {
        for (int i = 0; i < 4; ++i)
            if (resonance[i] != o.resonance[i])
                return false;
        return pulseWidth == o.pulseWidth && cutoff == o.cutoff && delayLevel == o.delayLevel &&
               delayTime == o.delayTime && feedback == o.feedback && drive == o.drive &&
               pitch == o.pitch && zoom == o.zoom && mode == o.mode && autotune == o.autotune &&
               notes == o.notes && panelOpen == o.panelOpen && aboutShown == o.aboutShown &&
               grid == o.grid;
    }
};

class StateMainTest : public InstrumentTest
{
  protected:
    Routing VoiceRouting(int voice) const
    {
        return {m_pState->GetSynth()->GetOscillatorSwitch(voice)->GetCurrentSource(),
                m_pState->GetSynth()->GetWidthSwitch(voice)->GetCurrentSource(),
                m_pState->GetSynth()->GetCutoffSwitch(voice)->GetCurrentSource(),
                m_pState->GetSynth()->GetVoiceSwitch(voice)->GetCurrentSource()};
    }
    void ExpectRouting(const Routing& expected)
    {
        for (int voice = 0; voice < 4; ++voice)
        {
            SCOPED_TRACE("voice " + std::to_string(voice));
            EXPECT_EQ(VoiceRouting(voice), expected);
        }
    }
    Settings Snapshot() const
    {
        Settings s{};
        for (int i = 0; i < 4; ++i)
            s.resonance[i] = m_pState->GetSynth()->GetFilter(i)->GetResonance();
        s.pulseWidth =
            m_pState->GetSynth()->GetPulseWidthControl().GetTweakable()->GetValue_Absolute();
        s.cutoff = m_pState->GetSynth()->GetCutoffControl().GetTweakable()->GetValue_Absolute();
        s.delayLevel = m_pState->GetSynth()->GetDelay().GetDelayLevel();
        s.delayTime = m_pState->GetSynth()->GetDelay().GetDelayTime();
        s.feedback = m_pState->GetSynth()->GetDelay().GetFeedback();
        s.drive = m_pState->GetSynth()->GetOverdrive().GetDrive();
        s.pitch = SoundControl_Theremin::GetPitchScale();
        s.zoom = SoundControl_Theremin::GetPitchZoom();
        s.mode = m_pState->GetSynthMode();
        s.autotune = m_pState->GetAutotuneMode();
        s.notes = SoundControl_Theremin::GetEnabledNoteCount();
        s.panelOpen = m_pState->IsPanelOpen();
        s.aboutShown = m_pState->IsAboutShown();
        s.grid = m_pState->GetNoteGrid() != nullptr && m_pState->GetNoteGrid()->IsVisible();
        return s;
    }
    // Opens the panel and slides the scale page in with real taps.
    void OpenScalePage()
    {
        OpenPanel();
        Tap(c_iScaleX, c_iScaleY);
        Frames(12);
        ASSERT_TRUE(m_pPanel->IsSubPanelShown());
    }
    Node_Button* Key(int k) { return m_pPanel->GetNoteKey(k); }
    static std::vector<float> LinePositions(const Node_NoteGrid* grid)
    {
        std::vector<float> x;
        for (int i = 0; i < grid->GetVertexCount(); i += 2)
            x.push_back(grid->GetVertices()[i].position.x);
        return x;
    }
};
} // namespace

// ---------------------------------------------------------------- building

TEST_F(StateMainTest, InitBuildsTheInstrumentOnceAndStartsTheStream)
{
    auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->IsRunning());
    EXPECT_EQ(sound->GetStreamSource(), m_pState->GetSynth()->GetRoot());

    // The echo sliders are applied at once, the mode sliders only by the panel.
    EXPECT_FLOAT_EQ(m_pPanel->GetSliderValue(PanelId(PanelControl::Resonance)), 8.0f / 11.0f);
    EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetDelayLevel(), 0.24f * 0.24f);
    EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetDelayTime(),
                    0.001f + 0.999f * 0.15f * 0.15f);
    EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetFeedback(), 0.4f * 0.4f);
    EXPECT_FLOAT_EQ(
        m_pState->GetSynth()->GetPulseWidthControl().GetTweakable()->GetValue_Absolute(), 0.5f);
    EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetCutoffControl().GetTweakable()->GetValue_Absolute(),
                    1.0f);
    EXPECT_FALSE(m_pPanel->IsActive());
    EXPECT_STREQ(m_pPanel->GetModeText(), "Mekko");
    EXPECT_STREQ(m_pPanel->GetAutotuneText(), "Off");
    ExpectRouting({0, 0, 0, 0});

    // A second Init builds nothing: no new listener, texture or node.
    const int listeners = m_pTouches->GetListenerCount();
    const int textures = Renderer::GetInstance()->GetTextureManager()->GetTextureCount();
    Node_ControlPanel* panel = m_pPanel;
    Node_Robot* robot = m_pState->GetRobot();
    SoundControl_Theremin* theremin = m_pState->GetTheremin(0);
    EXPECT_TRUE(m_pState->Init());
    EXPECT_EQ(m_pTouches->GetListenerCount(), listeners);
    EXPECT_EQ(Renderer::GetInstance()->GetTextureManager()->GetTextureCount(), textures);
    EXPECT_EQ(m_pState->GetControlPanel(), panel);
    EXPECT_EQ(m_pState->GetRobot(), robot);
    EXPECT_EQ(m_pState->GetTheremin(0), theremin);
    EXPECT_EQ(sound->GetStreamSource(), m_pState->GetSynth()->GetRoot());
}

TEST_F(StateMainTest, AFingerSoundsInEveryModeAndLiftingSilencesIt)
{
    EXPECT_EQ(OutputLevel(4096), 0.0) << "nothing plays before a finger lands";
    for (int mode = 0; mode < 4; ++mode)
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        ASSERT_EQ(m_pState->GetSynthMode(), mode);
        Down(2, 200, 60); // high on the screen: bright timbre, loud sine
        Frames(1);
        EXPECT_TRUE(m_pState->GetTheremin(0)->IsTouchActive());
        OutputLevel(2048); // the glide in
        EXPECT_GT(OutputLevel(4096), 300.0);
        Up(2, 200, 60);
        Frames(1);
        EXPECT_FALSE(m_pState->GetTheremin(0)->IsTouchActive());
        OutputLevel(44100); // the release and the echo's repeats
        EXPECT_EQ(OutputLevel(4096), 0.0);
        m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    }
}

TEST_F(StateMainTest, TheFingersHeightWorksAsTheModeSays)
{
    // Near the bottom edge the touch axis is close to 0: it closes the filter
    // in "Mekko", silences the sine in "Theremin", and leaves "PWM" (cutoff from
    // its slider) bright.
    auto levelAt = [&](int y)
    {
        Down(2, 150, y);
        Frames(1);
        OutputLevel(4096);
        const double level = OutputLevel(4096);
        Up(2, 150, y);
        Frames(1);
        OutputLevel(44100); // the echo dies away
        return level;
    };
    const double mekkoHigh = levelAt(10);
    const double mekkoLow = levelAt(317);
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    const double sineHigh = levelAt(10);
    const double sineLow = levelAt(317);
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    const double pwmLow = levelAt(317);
    EXPECT_GT(mekkoHigh, 4.0 * mekkoLow);
    EXPECT_GT(sineHigh, 20.0 * sineLow);
    EXPECT_GT(pwmLow, 4.0 * mekkoLow);
}

// ---------------------------------------------------------------- modes

TEST_F(StateMainTest, ModeButtonsCycleTheFourModesAndSetEveryVoice)
{
    OpenPanel();
    ASSERT_TRUE(m_pPanel->IsActive());
    struct Step
    {
        int x;
        int mode;
        const char* text;
        Routing routing;
    };
    // ">" four times from "Mekko", then "<" twice. Leaving "PWM" for "Mekko"
    // keeps the width on the finger; "Theremin" touches only the voice switch.
    const Step steps[] = {
        {c_iModeUpX, 1, "Pulse", {1, 0, 0, 0}},   {c_iModeUpX, 2, "Theremin", {1, 0, 0, 1}},
        {c_iModeUpX, 3, "PWM", {1, 1, 1, 0}},     {c_iModeUpX, 0, "Mekko", {0, 1, 0, 0}},
        {c_iModeDownX, 3, "PWM", {1, 1, 1, 0}},   {c_iModeDownX, 2, "Theremin", {1, 1, 1, 1}},
        {c_iModeDownX, 1, "Pulse", {1, 0, 0, 0}}, {c_iModeDownX, 0, "Mekko", {0, 0, 0, 0}},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(std::string("to ") + step.text);
        Tap(step.x, c_iModeY);
        EXPECT_EQ(m_pState->GetSynthMode(), step.mode);
        EXPECT_EQ(m_pPanel->GetMode(), step.mode);
        EXPECT_STREQ(m_pPanel->GetModeText(), step.text);
        EXPECT_EQ(m_pState->GetRobot()->GetMouthMode(), step.mode);
        ExpectRouting(step.routing);
    }
}

TEST_F(StateMainTest, ResonanceFollowsTheSliderOfTheMode)
{
    SoundSource_LadderFilter* filters[4];
    for (int i = 0; i < 4; ++i)
        filters[i] = m_pState->GetSynth()->GetFilter(i);
    auto expectResonance = [&](float r)
    {
        for (SoundSource_LadderFilter* filter : filters)
            EXPECT_NEAR(filter->GetResonance(), r, 1e-5f);
    };
    // The pulse width is pushed away so that the "Pulse" page visibly re-applies it.
    m_pState->SliderCallback(PanelId(PanelControl::PulseWidth), 1, 1.0f);
    OpenPanel(); // activating applies the main-page "Timbre": 8/11 x 11
    {
        SCOPED_TRACE("Mekko");
        expectResonance(8.0f);
    }
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    {
        SCOPED_TRACE("Pulse");
        expectResonance(8.8f);
        EXPECT_FLOAT_EQ(
            m_pState->GetSynth()->GetPulseWidthControl().GetTweakable()->GetValue_Absolute(), 0.5f);
    }
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    {
        SCOPED_TRACE("Theremin leaves the filter alone");
        expectResonance(8.8f);
    }
    m_pState->SliderCallback(PanelId(PanelControl::Cutoff), 1, 0.25f);
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    {
        SCOPED_TRACE("PWM");
        expectResonance(0.0f);
        EXPECT_FLOAT_EQ(
            m_pState->GetSynth()->GetCutoffControl().GetTweakable()->GetValue_Absolute(), 1.0f);
    }
    m_pState->ButtonCallback(
        PanelId(PanelControl::Close)); // closed: the main-page slider takes no part
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    {
        SCOPED_TRACE("Mekko with the panel closed");
        expectResonance(0.0f);
    }
}

TEST_F(StateMainTest, AutotuneSelectorWrapsBothWaysAndSetsTheTheremins)
{
    OpenScalePage();
    struct Step
    {
        int x;
        int mode;
        const char* text;
        int samples;
        float speed;
    };
    const Step steps[] = {
        {c_iAutotuneDownX, 3, "Snap", 0, 1.0f},      {c_iAutotuneUpX, 0, "Off", 0, 0.0f},
        {c_iAutotuneUpX, 1, "Slow", 4410, 0.559f},   {c_iAutotuneUpX, 2, "Fast", 264, 0.9736f},
        {c_iAutotuneDownX, 1, "Slow", 4410, 0.559f}, {c_iAutotuneDownX, 0, "Off", 0, 0.0f},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(std::string("to ") + step.text);
        Tap(step.x, c_iAutotuneY);
        EXPECT_EQ(m_pState->GetAutotuneMode(), step.mode);
        EXPECT_STREQ(m_pPanel->GetAutotuneText(), step.text);
        EXPECT_EQ(SoundControl_Theremin::GetCorrectionSamples(), step.samples);
        EXPECT_NEAR(SoundControl_Theremin::GetAutotuneSpeed(), step.speed, 1e-5f);
        EXPECT_EQ(SoundControl_Theremin::IsAutotuneEnabled_Snap(), step.mode == 3);
    }
    {
        SCOPED_TRACE("a mode outside 0-3 is kept but changes nothing");
        m_pState->ButtonCallback(PanelId(PanelControl::AutotuneUp)); // Slow
        m_pState->SetAutotuneMode(6);
        EXPECT_EQ(m_pState->GetAutotuneMode(), 6);
        EXPECT_STREQ(m_pPanel->GetAutotuneText(), "Slow");
        EXPECT_EQ(SoundControl_Theremin::GetCorrectionSamples(), 4410);
        m_pState->ButtonCallback(PanelId(PanelControl::AutotuneUp)); // (6 + 1) mod 4
        EXPECT_STREQ(m_pPanel->GetAutotuneText(), "Snap");
    }
}

// ---------------------------------------------------------------- sliders

TEST_F(StateMainTest, EverySliderReachesItsNode)
{
    {
        SCOPED_TRACE("8: resonance of every filter");
        m_pState->SliderCallback(PanelId(PanelControl::Resonance), 1, 0.5f);
        for (int i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetFilter(i)->GetResonance(), 5.5f);
    }
    {
        SCOPED_TRACE("9: pulse width 0.5 .. 0.99");
        m_pState->SliderCallback(PanelId(PanelControl::PulseWidth), 1, 0.5f);
        EXPECT_FLOAT_EQ(
            m_pState->GetSynth()->GetPulseWidthControl().GetTweakable()->GetValue_Absolute(),
            0.745f);
    }
    {
        SCOPED_TRACE("10: cutoff");
        m_pState->SliderCallback(PanelId(PanelControl::Cutoff), 1, 0.3f);
        EXPECT_FLOAT_EQ(
            m_pState->GetSynth()->GetCutoffControl().GetTweakable()->GetValue_Absolute(), 0.3f);
    }
    {
        SCOPED_TRACE("11-13: echo level, time and repeat");
        m_pState->SliderCallback(PanelId(PanelControl::EchoVolume), 0, 0.5f);
        m_pState->SliderCallback(PanelId(PanelControl::EchoTime), 1, 0.6f);
        m_pState->SliderCallback(PanelId(PanelControl::EchoRepeat), 2, 0.7f);
        EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetDelayLevel(), 0.25f);
        EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetDelayTime(), 0.001f + 0.999f * 0.36f);
        EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetDelay().GetFeedback(), 0.49f);
    }
    {
        SCOPED_TRACE("14: overdrive");
        m_pState->SliderCallback(PanelId(PanelControl::Overdrive), 1, 0.5f);
        EXPECT_FLOAT_EQ(m_pState->GetSynth()->GetOverdrive().GetDrive(), 1.0f + 30.0f * 0.25f);
    }
    {
        SCOPED_TRACE("15: pitch window");
        const float width =
            SoundControl_Theremin::GetMaxOctave() - SoundControl_Theremin::GetMinOctave();
        const float before = SoundControl_Theremin::GetMinOctave();
        m_pState->SliderCallback(PanelId(PanelControl::Pitch), 1, 0.8f);
        EXPECT_FLOAT_EQ(SoundControl_Theremin::GetPitchScale(), 0.8f);
        EXPECT_GT(SoundControl_Theremin::GetMinOctave(), before);
        EXPECT_FLOAT_EQ(m_pPanel->GetPitchSlider()->GetValue(), 0.8f);
        EXPECT_NEAR(SoundControl_Theremin::GetMaxOctave() - SoundControl_Theremin::GetMinOctave(),
                    width, 1e-4f);
    }
    {
        SCOPED_TRACE("16: zoom narrows the window");
        const float width =
            SoundControl_Theremin::GetMaxOctave() - SoundControl_Theremin::GetMinOctave();
        m_pState->SliderCallback(PanelId(PanelControl::Zoom), 1, 0.5f);
        EXPECT_FLOAT_EQ(SoundControl_Theremin::GetPitchZoom(), 0.5f);
        EXPECT_LT(SoundControl_Theremin::GetMaxOctave() - SoundControl_Theremin::GetMinOctave(),
                  width);
    }
    {
        SCOPED_TRACE("ids outside 8-16 do nothing");
        const Settings before = Snapshot();
        for (int id : {-1, 0, 7, 17, 18, 23, 100})
            m_pState->SliderCallback(id, 1, 0.9f);
        State_Main::SliderCallback_Static(nullptr, 8, 1, 0.9f);
        EXPECT_TRUE(Snapshot() == before);
    }
}

TEST_F(StateMainTest, PitchSliderJumpsToTheValueTheThereminAccepted)
{
    m_pState->SliderCallback(PanelId(PanelControl::Zoom), 1,
                             1.0f); // full zoom: the pitch slider steps by note zones
    const float start = SoundControl_Theremin::GetPitchScale();
    const float minOctave = SoundControl_Theremin::GetMinOctave();
    m_pState->SliderCallback(PanelId(PanelControl::Pitch), 1, 0.95f);
    const float accepted = SoundControl_Theremin::GetPitchScale();
    EXPECT_GT(accepted, start);
    EXPECT_LT(accepted, 0.95f) << "one zone up, not to the finger's value";
    EXPECT_GT(SoundControl_Theremin::GetMinOctave(), minOctave);
    EXPECT_FLOAT_EQ(m_pPanel->GetPitchSlider()->GetValue(), accepted);
}

// ---------------------------------------------------------------- buttons

TEST_F(StateMainTest, PanelButtonsOpenCloseAndShowTheAboutPicture)
{
    Node_DoubleClickButton* corner = m_pState->GetPanelOpenButton();
    ASSERT_NE(corner, nullptr);
    {
        SCOPED_TRACE("double tap opens");
        DoubleTapCorner();
        EXPECT_TRUE(m_pState->IsPanelOpen());
        EXPECT_FALSE(corner->IsShown());
        EXPECT_TRUE(m_pPanel->IsActive());
        Frames(12);
    }
    {
        SCOPED_TRACE("About");
        Tap(c_iAboutX, c_iAboutY);
        EXPECT_TRUE(m_pState->IsAboutShown());
        EXPECT_FALSE(m_pPanel->IsActive());
        EXPECT_TRUE(m_pPanel->IsAboutLoaded());
        Frames(25);
    }
    const int children = ChildCount(m_pPanel);
    {
        SCOPED_TRACE("a tap anywhere on the about picture goes back");
        Tap(100, 100);
        EXPECT_FALSE(m_pState->IsAboutShown());
        EXPECT_TRUE(m_pPanel->IsActive());
        Frames(25);
    }
    {
        SCOPED_TRACE("About again loads nothing more");
        Tap(c_iAboutX, c_iAboutY);
        EXPECT_TRUE(m_pState->IsAboutShown());
        EXPECT_EQ(ChildCount(m_pPanel), children);
        m_pState->ButtonCallback(PanelId(PanelControl::AboutDismiss));
        Frames(25);
    }
    {
        SCOPED_TRACE("Close");
        Tap(c_iCloseX, c_iCloseY);
        EXPECT_FALSE(m_pState->IsPanelOpen());
        EXPECT_TRUE(corner->IsShown());
        EXPECT_FALSE(m_pPanel->IsActive());
        Frames(12);
    }
    {
        SCOPED_TRACE("leaving the about picture with the panel closed keeps it inactive");
        m_pState->ButtonCallback(PanelId(PanelControl::About));
        m_pState->ButtonCallback(PanelId(PanelControl::AboutDismiss));
        EXPECT_FALSE(m_pPanel->IsActive());
        EXPECT_FALSE(m_pState->IsPanelOpen());
    }
    {
        SCOPED_TRACE("closed, the panel's places belong to the playing surface");
        Tap(c_iCloseX, c_iCloseY);
        Tap(c_iModeUpX, c_iModeY);
        EXPECT_EQ(m_pState->GetSynthMode(), 0);
        Down(3, c_iAboutX, c_iAboutY);
        EXPECT_TRUE(m_pState->GetTheremin(0)->IsTouchActive());
        Up(3, c_iAboutX, c_iAboutY);
        Tap(100, 100); // the about area lies below the screen
        EXPECT_FALSE(m_pState->IsAboutShown());
    }
}

TEST_F(StateMainTest, NoteGridIsCreatedOnceThenHiddenAndShownAgain)
{
    Node* root = m_pState->GetRobot()->GetParent();
    ASSERT_NE(root, nullptr);
    Node_Button* gridButton = m_pPanel->GetNoteGridButton();
    const int rootChildren = ChildCount(root);
    {
        SCOPED_TRACE("first press creates it on top of the scene");
        m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
        ASSERT_NE(m_pState->GetNoteGrid(), nullptr);
        EXPECT_TRUE(m_pState->GetNoteGrid()->IsVisible());
        EXPECT_EQ(ChildCount(root), rootChildren + 1);
        EXPECT_EQ(root->GetChildren()->back(), m_pState->GetNoteGrid());
        EXPECT_EQ(ButtonFaceColour(gridButton), Node_ControlPanel::c_iButtonLitColour);
        EXPECT_GT(m_pState->GetNoteGrid()->GetLineCount(), 0);
    }
    Node_NoteGrid* grid = m_pState->GetNoteGrid();
    {
        SCOPED_TRACE("second press hides it");
        m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
        EXPECT_EQ(m_pState->GetNoteGrid(), grid);
        EXPECT_FALSE(grid->IsVisible());
        EXPECT_EQ(ChildCount(root), rootChildren + 1);
        EXPECT_EQ(ButtonFaceColour(gridButton), Node_ControlPanel::c_iButtonColour);
    }
    const float firstLine = grid->GetVertices()[0].position.x;
    SoundControl_Theremin::SetPitchZoom(1.0f); // changed while hidden, behind the grid's back
    {
        SCOPED_TRACE("third press shows it rebuilt");
        m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
        EXPECT_EQ(m_pState->GetNoteGrid(), grid);
        EXPECT_TRUE(grid->IsVisible());
        EXPECT_NE(grid->GetVertices()[0].position.x, firstLine);
    }
    {
        SCOPED_TRACE("pitch, zoom, notes and autotune rebuild the shown grid");
        float line = grid->GetVertices()[0].position.x;
        m_pState->SliderCallback(PanelId(PanelControl::Zoom), 1, 0.3f);
        EXPECT_NE(grid->GetVertices()[0].position.x, line);
        line = grid->GetVertices()[0].position.x;
        m_pState->SliderCallback(PanelId(PanelControl::Pitch), 1, 0.1f);
        EXPECT_NE(grid->GetVertices()[0].position.x, line);
        const int lines = grid->GetLineCount();
        m_pState->ButtonCallback(PanelId(NoteKey(1)));
        m_pState->ButtonCallback(PanelId(NoteKey(3)));
        EXPECT_LT(grid->GetLineCount(), lines);
        const std::vector<float> notes = LinePositions(grid);
        m_pState->ButtonCallback(
            PanelId(PanelControl::AutotuneDown)); // Snap: lines at the zone centres
        EXPECT_NE(LinePositions(grid), notes);
    }
}

TEST_F(StateMainTest, NoteKeysToggleTheNoteSetAndTheirLight)
{
    for (int k = 0; k < 12; ++k)
    {
        SCOPED_TRACE("key " + std::to_string(k));
        m_pState->ButtonCallback(PanelId(NoteKey(k)));
        EXPECT_FALSE(SoundControl_Theremin::IsNoteEnabled(k));
        EXPECT_EQ(ButtonFaceColour(Key(k)), Node_ControlPanel::c_iButtonColour);
        m_pState->ButtonCallback(PanelId(NoteKey(k)));
        EXPECT_TRUE(SoundControl_Theremin::IsNoteEnabled(k));
        EXPECT_EQ(ButtonFaceColour(Key(k)), Node_ControlPanel::c_iButtonLitColour);
        EXPECT_EQ(SoundControl_Theremin::GetEnabledNoteCount(), 12);
    }
    {
        SCOPED_TRACE("the last note stays on and its key stays lit");
        for (int k = 0; k < 11; ++k)
            m_pState->ButtonCallback(PanelId(NoteKey(k)));
        m_pState->ButtonCallback(PanelId(PanelControl::LastNoteKey));
        EXPECT_TRUE(SoundControl_Theremin::IsNoteEnabled(11));
        EXPECT_EQ(ButtonFaceColour(Key(11)), Node_ControlPanel::c_iButtonLitColour);
        EXPECT_EQ(ButtonFaceColour(Key(0)), Node_ControlPanel::c_iButtonColour);
    }
}

TEST_F(StateMainTest, NoteKeysAnswerAFingerOnTheScalePage)
{
    OpenScalePage();
    // C on the lower row, C# above it between C and D.
    Down(4, 339, 230);
    EXPECT_FALSE(SoundControl_Theremin::IsNoteEnabled(0)) << "keys call back at touch-down";
    Up(4, 339, 230);
    Tap(349, 200);
    EXPECT_FALSE(SoundControl_Theremin::IsNoteEnabled(1));
    EXPECT_EQ(SoundControl_Theremin::GetEnabledNoteCount(), 10);
    Tap(339, 230);
    EXPECT_TRUE(SoundControl_Theremin::IsNoteEnabled(0));
    EXPECT_EQ(ButtonFaceColour(Key(0)), Node_ControlPanel::c_iButtonLitColour);
    EXPECT_EQ(ButtonFaceColour(Key(1)), Node_ControlPanel::c_iButtonColour);
}

TEST_F(StateMainTest, ButtonIdsOutsideTheTableDoNothing)
{
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    const Settings before = Snapshot();
    for (int id : {-1, 4, 5, 6, 7, 8, 16, 19, 20, 36, 99})
        m_pState->ButtonCallback(id);
    State_Main::ButtonCallback_Static(nullptr, PanelId(PanelControl::ModeUp));
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_FALSE(m_pPanel->IsSubPanelShown());
    EXPECT_TRUE(m_pPanel->IsActive());
}

// ---------------------------------------------------------------- frames

TEST_F(StateMainTest, PanelSlidesInHalfASecondNarrowingTheScene)
{
    Camera_2D* camera = m_pState->GetMainCamera();
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->Update(0.3f);
    EXPECT_NEAR(m_pState->GetPanelSlide(), 0.6f, 1e-6f);
    EXPECT_NEAR(camera->GetViewportMax().x, 480.0f - 99.0f, 1e-3f);
    EXPECT_FLOAT_EQ(camera->GetViewportMin().x, 0.0f);
    EXPECT_FLOAT_EQ(camera->GetViewportMin().y, 0.0f);
    EXPECT_FLOAT_EQ(camera->GetViewportMax().y, 320.0f);
    m_pState->Update(0.3f);
    EXPECT_FLOAT_EQ(m_pState->GetPanelSlide(), 1.0f);
    EXPECT_FLOAT_EQ(camera->GetViewportMax().x, 480.0f - 165.0f);

    m_pState->ButtonCallback(PanelId(PanelControl::Close));
    m_pState->Update(0.1f);
    EXPECT_NEAR(m_pState->GetPanelSlide(), 0.8f, 1e-6f);
    EXPECT_NEAR(camera->GetViewportMax().x, 480.0f - 132.0f, 1e-3f);
    m_pState->Update(0.5f);
    EXPECT_FLOAT_EQ(m_pState->GetPanelSlide(), 0.0f);
    EXPECT_FLOAT_EQ(camera->GetViewportMax().x, 480.0f);
}

TEST_F(StateMainTest, AFrameLongerThanASecondEndsEveryAnimation)
{
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->ButtonCallback(PanelId(PanelControl::About));
    m_pPanel->ButtonCallback(PanelId(PanelControl::Effects));
    m_pState->Update(1.5f);
    EXPECT_FLOAT_EQ(m_pState->GetPanelSlide(), 1.0f);
    EXPECT_FLOAT_EQ(m_pState->GetAboutSlide(), 1.0f);
    EXPECT_FLOAT_EQ(m_pPanel->GetSlide(), 1.0f);
    EXPECT_FLOAT_EQ(m_pPanel->GetTransform().GetPosition().x, -163.0f);
    EXPECT_FLOAT_EQ(m_pState->GetMainCamera()->GetViewportMin().y, -320.0f);
    EXPECT_FLOAT_EQ(m_pState->GetMainCamera()->GetViewportMax().y, 0.0f);
    EXPECT_FLOAT_EQ(m_pState->GetPanelCamera()->GetPosition().y, 480.0f);

    m_pState->ButtonCallback(PanelId(PanelControl::AboutDismiss));
    m_pState->ButtonCallback(PanelId(PanelControl::Close));
    m_pPanel->ButtonCallback(PanelId(PanelControl::Back));
    m_pState->Update(1.5f);
    EXPECT_FLOAT_EQ(m_pState->GetPanelSlide(), 0.0f);
    EXPECT_FLOAT_EQ(m_pState->GetAboutSlide(), 0.0f);
    EXPECT_FLOAT_EQ(m_pPanel->GetTransform().GetPosition().x, 0.0f);
    EXPECT_FLOAT_EQ(m_pState->GetMainCamera()->GetViewportMin().y, 0.0f);
    EXPECT_FLOAT_EQ(m_pState->GetMainCamera()->GetViewportMax().x, 480.0f);
    EXPECT_FLOAT_EQ(m_pState->GetPanelCamera()->GetPosition().y, 160.0f);
}

TEST_F(StateMainTest, AboutPictureScrollsInWithACosineEase)
{
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->ButtonCallback(PanelId(PanelControl::About));
    for (int quarter = 1; quarter <= 4; ++quarter)
    {
        SCOPED_TRACE("after " + std::to_string(quarter) + " quarter seconds");
        m_pState->Update(0.25f);
        const float slide = 0.25f * static_cast<float>(quarter);
        const float offset = -320.0f * (0.5f - 0.5f * std::cos(c_rPi * slide));
        EXPECT_NEAR(m_pState->GetAboutSlide(), slide, 1e-6f);
        EXPECT_NEAR(m_pState->GetPanelCamera()->GetPosition().y, 160.0f - offset, 1e-3f);
        EXPECT_FLOAT_EQ(m_pState->GetPanelCamera()->GetPosition().x, 240.0f);
        EXPECT_NEAR(m_pState->GetMainCamera()->GetViewportMin().y, offset, 1e-3f);
        EXPECT_NEAR(m_pState->GetMainCamera()->GetViewportMax().y, offset + 320.0f, 1e-3f);
    }
    m_pState->ButtonCallback(PanelId(PanelControl::AboutDismiss));
    m_pState->Update(0.25f);
    EXPECT_NEAR(m_pState->GetPanelCamera()->GetPosition().y, 160.0f + 320.0f * 0.8535534f, 1e-3f);
}

TEST_F(StateMainTest, HintAppearsAfterThreeMissedDoubleTapsAndFadesAway)
{
    Node_Sprite* hint = m_pState->GetHint();
    ASSERT_NE(hint, nullptr);
    EXPECT_FALSE(hint->IsVisible());
    for (int miss = 1; miss <= 3; ++miss)
    {
        SCOPED_TRACE("missed double tap " + std::to_string(miss));
        Tap(455, 295);
        EXPECT_FALSE(m_pState->IsPanelOpen());
        // The first tap expires after half a second (the tenth frame).
        for (int frame = 0; frame < 10; ++frame)
        {
            EXPECT_FALSE(hint->IsVisible()) << "frame " << frame;
            m_pState->Update(c_rFrame);
        }
        EXPECT_EQ(hint->IsVisible(), miss == 3);
    }
    // Shown in the frame the third tap expired: 0.05 s in.
    EXPECT_FLOAT_EQ(hint->GetPosition().x, 440.0f);
    EXPECT_FLOAT_EQ(hint->GetPosition().y, 295.0f);
    EXPECT_EQ(hint->GetColor(), 0x12121212u); // 0.05 / 0.7 of full
    struct Step
    {
        float dt;
        unsigned int byte;
        bool visible;
    };
    const Step steps[] = {
        {0.30f, 127, true}, // 0.35 s: half way in
        {0.40f, 255, true}, // 0.75 s: full
        {0.60f, 255, true}, // 1.35 s
        {2.90f, 255, true}, // 4.25 s: still full
        {0.10f, 236, true}, // 4.35 s: fading out
        {0.40f, 91, true},  // 4.75 s
        {0.30f, 255, false} // 5.05 s: gone, colour back to full
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE("byte " + std::to_string(step.byte));
        m_pState->Update(step.dt);
        EXPECT_EQ(hint->IsVisible(), step.visible);
        EXPECT_EQ(hint->GetColor(), step.byte * 0x01010101u);
    }
    m_pState->Update(1.0f);
    EXPECT_FALSE(hint->IsVisible());
    EXPECT_EQ(hint->GetColor(), 0xFFFFFFFFu);
}

// ---------------------------------------------------------------- drawing

TEST_F(StateMainTest, OpenPanelIsDrawnBesideTheSceneWithItsSeparator)
{
    {
        SCOPED_TRACE("closed: the scene fills the screen");
        const LandscapeFrame frame = Draw();
        ASSERT_TRUE(frame.IsComplete());
        EXPECT_EQ(frame.Count(412, 267, 468, 293,
                              [](const Pixel& p)
                              { return IsColour(p, Node_ControlPanel::c_iButtonColour); }),
                  0);
    }
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->Update(0.3f); // panel left at 381
    {
        SCOPED_TRACE("half way: a black line at the panel's left edge");
        const LandscapeFrame frame = Draw();
        for (int y : {20, 100, 160, 240, 310})
        {
            SCOPED_TRACE("row " + std::to_string(y));
            EXPECT_TRUE(IsPureBlack(frame.At(381, y)));
            EXPECT_TRUE(IsPureBlack(frame.At(382, y)));
            EXPECT_FALSE(IsPureBlack(frame.At(384, y))) << "the panel background";
        }
    }
    m_pState->Update(0.3f);
    {
        SCOPED_TRACE("open: the panel's widgets at their places");
        const LandscapeFrame frame = Draw();
        auto face = [](const Pixel& p) { return IsColour(p, Node_ControlPanel::c_iButtonColour); };
        // "Close" (410, 265)-(470, 295), "About" (327, 265)-(387, 295),
        // "Effects  >" (329.5, 135)-(467.5, 165), each inside a 2-point frame.
        EXPECT_TRUE(face(frame.At(414, 270)));
        EXPECT_GT(frame.Count(412, 267, 468, 293, face), 56 * 26 / 2);
        EXPECT_GT(frame.Count(329, 267, 385, 293, face), 56 * 26 / 2);
        EXPECT_GT(frame.Count(332, 137, 465, 163, face), 133 * 26 / 2);
        EXPECT_FALSE(face(frame.At(408, 280))) << "left of Close: the panel background";
        EXPECT_FALSE(IsPureBlack(frame.At(408, 280)));
        EXPECT_TRUE(IsPureBlack(frame.At(410, 280))) << "Close's frame";
        EXPECT_TRUE(IsPureBlack(frame.At(411, 280)));
        // The main-page "Timbre" slider shows 8/11 of its track filled.
        auto fill = [](const Pixel& p) { return IsColour(p, 0xFFFF4444); };
        EXPECT_TRUE(fill(frame.At(340, 103)));
        EXPECT_FALSE(fill(frame.At(460, 103)));
    }
}

class SparseSceneTest : public StateMainTest
{
  protected:
    // The art of the scene layer left out, so that the black screen shows
    // whatever else is drawn.
    void SetUp() override
    {
        for (const auto& entry : std::filesystem::directory_iterator(SourceDataDir()))
            std::filesystem::copy(entry.path(), m_dir.Path() / entry.path().filename());
        for (const char* name : {"lava.png", "newbg5.png", "newbg4.png", "spotlight.png",
                                 "decals.png", "panelopen.png"})
            std::filesystem::remove(m_dir.Path() / name);
        for (int head = 0; head < 9; ++head)
        {
            std::filesystem::remove(m_dir.Path() / ("robot" + std::to_string(head) + ".png"));
            for (int step = 0; step < 5; ++step)
                std::filesystem::remove(m_dir.Path() / ("mouth" + std::to_string(head + 1) + "-" +
                                                        std::to_string(step) + ".png"));
        }
        Start(m_dir.Path());
    }

    TempDir m_dir;
};

TEST_F(SparseSceneTest, ClosedPanelIsNotDrawn)
{
    auto face = [](const Pixel& p) { return IsColour(p, Node_ControlPanel::c_iButtonColour); };
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->Update(0.6f);
    EXPECT_GT(Draw().Count(317, 0, 480, 320, face), 1000);
    m_pState->ButtonCallback(PanelId(PanelControl::Close));
    m_pState->Update(0.25f);
    EXPECT_GT(Draw().Count(317, 0, 480, 320, face), 0) << "still sliding out";
    m_pState->Update(0.25f);
    const LandscapeFrame closed = Draw();
    EXPECT_EQ(closed.Count(0, 0, 480, 320, face), 0);
    EXPECT_EQ(closed.Count(317, 0, 480, 320, [](const Pixel& p) { return !IsPureBlack(p); }), 0);
}

// ---------------------------------------------------------------- teardown

TEST_F(StateMainTest, ExitTwiceIsHarmlessAndLeavesNothingBehind)
{
    m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid)); // the grid too
    m_pState->Exit();
    auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
    ASSERT_NE(sound, nullptr);
    EXPECT_FALSE(sound->IsRunning());
    EXPECT_EQ(sound->GetStreamSource(), nullptr);
    EXPECT_EQ(m_pTouches->GetListenerCount(), 0) << "every widget and theremin signed off";
    EXPECT_EQ(m_pState->GetControlPanel(), nullptr);
    EXPECT_EQ(m_pState->GetSynth(), nullptr);
    m_pState->Exit();
    EXPECT_EQ(sound->GetStreamSource(), nullptr);
    // Nothing is left to reach: touches, frames and audio go nowhere.
    Tap(440, 280);
    m_pState->Update(c_rFrame);
    EXPECT_TRUE(Draw().IsComplete());
    EXPECT_EQ(OutputLevel(1024), 0.0);
}

TEST_F(StateMainTest, StateOutlivingTheSoundManagerIsDestroyedSafely)
{
    Down(5, 200, 100);
    Frames(1);
    m_pSound.reset(); // the sound manager goes first
    ASSERT_EQ(SoundManager::GetInstance(), nullptr);
    delete m_pState;
    m_pState = nullptr;
    EXPECT_EQ(m_pTouches->GetListenerCount(), 0);
}

TEST(StateMainResources, MissingImagesAreLeftOut)
{
    TempDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(SourceDataDir()))
        std::filesystem::copy(entry.path(), dir.Path() / entry.path().filename());
    for (const char* name : {"panelbg.png", "about.png", "robot3.png", "panelopen.png",
                             "doubletap.png", "lava.png", "mouth2-1.png", "oldsans18_0.png"})
        std::filesystem::remove(dir.Path() / name);

    SoundControl_Theremin::ResetSettings();
    {
        GLTestContext gl(dir.Path());
        ASSERT_TRUE(gl.IsValid()) << "no offscreen OpenGL ES 1.1";
        TouchManager::Startup();
        {
            ScopedSoundManager sound;
            State_Main state;
            ASSERT_TRUE(state.Init());
            EXPECT_EQ(state.GetHint(), nullptr);
            state.ButtonCallback(PanelId(PanelControl::Open));
            state.ButtonCallback(PanelId(PanelControl::About));
            state.ButtonCallback(PanelId(PanelControl::NoteGrid));
            for (int frame = 0; frame < 30; ++frame)
            {
                state.Update(0.05f);
                state.Render(gl.GetRenderer());
            }
            EXPECT_TRUE(state.GetControlPanel()->IsAboutLoaded());
            state.ButtonCallback(PanelId(PanelControl::AboutDismiss));
            state.Update(2.0f);
            state.Render(gl.GetRenderer());
            EXPECT_EQ(gl.ReadLandscape().size(), 480u * 320u * 4u);
            state.Exit();
        }
        TouchManager::Shutdown();
    }
    SoundControl_Theremin::ResetSettings();
    File_Bundle::SetResourceDirectory(SourceDataDir().string());
}
