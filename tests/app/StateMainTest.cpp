// The main state as a player meets it: the whole instrument over the shipped art,
// real fingers, frames drawn with OpenGL ES and read back, output from the graph.
#include "support/InstrumentTestSupport.h"

#include "dsp/SoundManager_Offline.h"
#include "file/File_Bundle.h"
#include "formats/Tuning.h"
#include "render/Camera_2D.h"
#include "render/Renderer.h"
#include "render/TextureManager.h"
#include "scene/Node_Button.h"
#include "scene/Node_DoubleClickButton.h"
#include "scene/Node_NoteGrid.h"
#include "scene/Node_Notice.h"
#include "scene/Node_Robot.h"
#include "scene/Node_Slider.h"
#include "scene/Node_Sprite.h"
#include "scene/PanelControl.h"
#include "synth/Synth_FourVoice.h"

#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace zindle_test;

namespace
{
// Screen positions of the panel's controls while it is open on its main page,
// and on the scale page once it has slid in.
constexpr int c_iModeDownX = 347, c_iModeUpX = 450, c_iModeY = 50, c_iCloseX = 440, c_iCloseY = 280;
constexpr int c_iAboutX = 357, c_iAboutY = 280, c_iAutotuneDownX = 346, c_iAutotuneUpX = 450,
              c_iAutotuneY = 160;

class StateMainTest : public InstrumentTest
{
  protected:
    Synth_FourVoice& Synth() { return *m_pState->GetSynth(); }
    // Oscillator, width, cutoff and voice switches of every voice; -1 if they disagree.
    std::vector<int> Routing()
    {
        std::vector<int> r = {Synth().GetOscillatorSwitch(0)->GetCurrentSource(),
                              Synth().GetWidthSwitch(0)->GetCurrentSource(),
                              Synth().GetCutoffSwitch(0)->GetCurrentSource(),
                              Synth().GetVoiceSwitch(0)->GetCurrentSource()};
        for (int v = 1; v < 4; ++v)
            if (Synth().GetVoiceSwitch(v)->GetCurrentSource() != r[3] ||
                Synth().GetOscillatorSwitch(v)->GetCurrentSource() != r[0])
                return {-1};
        return r;
    }
    float Resonance() { return Synth().GetFilter(0)->GetResonance(); }
    float PulseWidth()
    {
        return Synth().GetPulseWidthControl().GetTweakable()->GetValue_Absolute();
    }
    float Cutoff() { return Synth().GetCutoffControl().GetTweakable()->GetValue_Absolute(); }
    // The level of a finger held at (x, y) after its glide in; then it lifts, the echo dies.
    double LevelOfAFingerAt(int x, int y)
    {
        Down(2, x, y);
        Frames(1);
        OutputLevel(2048);
        const double level = OutputLevel(4096);
        Up(2, x, y);
        Frames(1);
        OutputLevel(44100);
        return level;
    }
};
} // namespace

TEST_F(StateMainTest, BuildsOnceAndPlaysEveryModeAsTheFingersHeightSays)
{
    auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->IsRunning() && sound->GetStreamSource() == Synth().GetRoot());
    // The echo sliders reach the sound at once; the mode's only through the panel.
    EXPECT_FLOAT_EQ(Synth().GetDelay().GetDelayLevel(), 0.24f * 0.24f);
    EXPECT_FLOAT_EQ(PulseWidth(), 0.5f);

    // A second Init builds nothing: no new listener, texture or synth.
    auto built = [&]
    {
        return std::tuple(m_pTouches->GetListenerCount(), m_pState->GetSynth(),
                          Renderer::GetInstance()->GetTextureManager()->GetTextureCount());
    };
    const auto before = built();
    EXPECT_TRUE(m_pState->Init());
    EXPECT_EQ(built(), before);

    // Near the bottom the finger's height is about 0: it closes the filter in
    // "Mekko" and "Pulse", silences the sine in "Theremin", and leaves "PWM"
    // (cutoff from its slider) bright. Lifting the finger ends in silence.
    EXPECT_EQ(OutputLevel(4096), 0.0) << "nothing plays before a finger lands";
    double high[4], low[4];
    for (int mode = 0; mode < 4; ++mode)
    {
        SCOPED_TRACE("mode " + std::to_string(mode));
        ASSERT_EQ(m_pState->GetSynthMode(), mode);
        high[mode] = LevelOfAFingerAt(150, 10);
        low[mode] = LevelOfAFingerAt(150, 317);
        EXPECT_GT(high[mode], 300.0);
        EXPECT_EQ(OutputLevel(4096), 0.0);
        m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    }
    EXPECT_GT(high[0], 4.0 * low[0]);
    EXPECT_GT(high[2], 20.0 * low[2]);
    EXPECT_GT(low[3], 4.0 * low[0]);
}

TEST_F(StateMainTest, ModeAndAutotuneButtonsCycleBothWaysAndSetEveryVoice)
{
    OpenPanel();
    // ">" four times from "Mekko", then "<" four times: mode, name and routing.
    // Every mode sets every switch, so the routing never depends on the way in.
    const struct
    {
        int x, mode;
        const char* text;
        std::vector<int> routing;
    } modes[] = {
        {c_iModeUpX, 1, "Pulse", {1, 0, 0, 0}},   {c_iModeUpX, 2, "Theremin", {0, 0, 0, 1}},
        {c_iModeUpX, 3, "PWM", {1, 1, 1, 0}},     {c_iModeUpX, 0, "Mekko", {0, 0, 0, 0}},
        {c_iModeDownX, 3, "PWM", {1, 1, 1, 0}},   {c_iModeDownX, 2, "Theremin", {0, 0, 0, 1}},
        {c_iModeDownX, 1, "Pulse", {1, 0, 0, 0}}, {c_iModeDownX, 0, "Mekko", {0, 0, 0, 0}},
    };
    for (const auto& step : modes)
    {
        Tap(step.x, c_iModeY);
        EXPECT_EQ(std::tuple(m_pState->GetSynthMode(), std::string(m_pPanel->GetModeText()),
                             m_pState->GetRobot()->GetMouthMode(), Routing()),
                  std::tuple(step.mode, std::string(step.text), step.mode, step.routing));
    }

    Tap(398, 200); // "Scale  >"
    Frames(12);
    // Mode, name and correction time; only "Snap" snaps, only "Off" has no speed.
    const struct
    {
        int x, mode;
        const char* text;
        int samples;
    } autotunes[] = {{c_iAutotuneDownX, 3, "Snap", 0},
                     {c_iAutotuneUpX, 0, "Off", 0},
                     {c_iAutotuneUpX, 1, "Slow", 4410},
                     {c_iAutotuneUpX, 2, "Fast", 264},
                     {c_iAutotuneDownX, 1, "Slow", 4410}};
    for (const auto& step : autotunes)
    {
        Tap(step.x, c_iAutotuneY);
        EXPECT_EQ(std::tuple(m_pState->GetAutotuneMode(), std::string(m_pPanel->GetAutotuneText()),
                             Instrument().GetCorrectionSamples(),
                             Instrument().IsAutotuneEnabled_Snap(),
                             Instrument().GetAutotuneSpeed() == 0.0f),
                  std::tuple(step.mode, std::string(step.text), step.samples, step.mode == 3,
                             step.mode == 0));
    }
}

TEST_F(StateMainTest, SlidersReachTheSoundAndEachModeBringsItsOwnResonance)
{
    const struct
    {
        PanelControl control;
        float value;
        std::function<float()> reached;
        float expected;
    } sliders[] = {
        {PanelControl::Resonance, 0.5f, [&] { return Resonance(); }, 5.5f},
        {PanelControl::PulseWidth, 0.5f, [&] { return PulseWidth(); }, 0.745f},
        {PanelControl::Cutoff, 0.3f, [&] { return Cutoff(); }, 0.3f},
        {PanelControl::EchoVolume, 0.5f, [&] { return Synth().GetDelay().GetDelayLevel(); }, 0.25f},
        {PanelControl::EchoTime, 0.6f, [&] { return Synth().GetDelay().GetDelayTime(); },
         0.001f + 0.999f * 0.36f},
        {PanelControl::EchoRepeat, 0.7f, [&] { return Synth().GetDelay().GetFeedback(); }, 0.49f},
        {PanelControl::Overdrive, 0.5f, [&] { return Synth().GetOverdriveNode().GetDrive(); },
         8.5f},
        {PanelControl::Zoom, 0.5f, [&] { return Instrument().GetPitchZoom(); }, 0.5f},
        {PanelControl::Pitch, 0.8f, [&] { return Instrument().GetPitchScale(); }, 0.8f},
    };
    for (const auto& slider : sliders)
    {
        SCOPED_TRACE(PanelId(slider.control));
        m_pState->SliderCallback(PanelId(slider.control), 1, slider.value);
        EXPECT_NEAR(slider.reached(), slider.expected, 1e-5f);
    }
    EXPECT_FLOAT_EQ(m_pPanel->GetPitchSlider()->GetValue(), 0.8f);
    // At full zoom the pitch slider steps one note zone, and shows where it went.
    m_pState->SliderCallback(PanelId(PanelControl::Zoom), 1, 1.0f);
    const float start = Instrument().GetPitchScale();
    m_pState->SliderCallback(PanelId(PanelControl::Pitch), 1, 0.95f);
    const float accepted = Instrument().GetPitchScale();
    EXPECT_GT(accepted, start);
    EXPECT_LT(accepted, 0.95f);
    EXPECT_FLOAT_EQ(m_pPanel->GetPitchSlider()->GetValue(), accepted);

    // The panel opens on what the synth holds, not on where its sliders were.
    OpenPanel();
    const std::pair<PanelSlider, float> shown[] = {
        {PanelSlider::Timbre, 0.5f},    {PanelSlider::PulseTimbre, 0.8f},
        {PanelSlider::Resonance, 0.0f}, {PanelSlider::PulseWidth, 0.5f},
        {PanelSlider::Cutoff, 0.3f},    {PanelSlider::EchoVolume, 0.5f},
        {PanelSlider::EchoTime, 0.6f},  {PanelSlider::EchoRepeat, 0.7f},
        {PanelSlider::Overdrive, 0.5f}};
    for (const auto& [slider, position] : shown)
        EXPECT_FLOAT_EQ(m_pPanel->GetSlider(slider)->GetValue(), position)
            << static_cast<int>(slider);

    // Each filtered mode brings its own resonance ("Mekko" 0.5 as moved above,
    // "Pulse" 0.8 and "PWM" 0 of 11 as they start), whether the panel is open
    // or closed; "Theremin" leaves the unheard filter alone.
    for (const bool open : {true, false})
    {
        SCOPED_TRACE(open ? "panel open" : "panel closed");
        if (!open)
            m_pState->ButtonCallback(PanelId(PanelControl::Close));
        for (float resonance : {8.8f, 8.8f, 0.0f, 5.5f}) // "Pulse", "Theremin", "PWM", "Mekko"
        {
            m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
            for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
                EXPECT_NEAR(Synth().GetFilter(v)->GetResonance(), resonance, 1e-5f);
        }
    }
    // A resonance slider moved in "Pulse" is that mode's alone.
    m_pState->ButtonCallback(PanelId(PanelControl::ModeUp));
    m_pState->SliderCallback(PanelId(PanelControl::Resonance), 1, 0.25f);
    EXPECT_NEAR(Resonance(), 2.75f, 1e-5f);
    EXPECT_EQ((std::pair{Synth().GetModeResonance(Synth_FourVoice::c_iModePulse),
                         Synth().GetModeResonance(Synth_FourVoice::c_iModeMekko)}),
              (std::pair{0.25f, 0.5f}));
    EXPECT_NEAR(PulseWidth(), 0.745f, 1e-5f) << "the width moved above, kept";
}

TEST_F(StateMainTest, PanelButtonsOpenCloseShowTheAboutPictureAndGiveWayToTheSurface)
{
    Node_DoubleClickButton* corner = m_pState->GetPanelOpenButton();
    ASSERT_NE(corner, nullptr);
    // Panel open, corner button shown, panel taking touches, about picture shown.
    auto shown = [&]
    {
        return std::tuple(m_pState->IsPanelOpen(), corner->IsShown(), m_pPanel->IsActive(),
                          m_pState->IsAboutShown());
    };
    DoubleTapCorner();
    EXPECT_EQ(shown(), std::tuple(true, false, true, false));
    Frames(12);
    Tap(c_iAboutX, c_iAboutY);
    EXPECT_EQ(shown(), std::tuple(true, false, false, true));
    Frames(25);
    // Below the robot the picture's free corner tells of the mouse and the keys.
    EXPECT_GT(Draw().Count(14, 222, 150, 300,
                           [](const Pixel& p) { return p.r > 200 && p.g > 200 && p.b > 200; }),
              150);
    const int children = ChildCount(m_pPanel);
    Tap(100, 100); // anywhere on the picture goes back
    EXPECT_EQ(shown(), std::tuple(true, false, true, false));
    Frames(25);
    Tap(c_iAboutX, c_iAboutY);
    EXPECT_EQ(ChildCount(m_pPanel), children) << "the picture is loaded once";
    Frames(25);
    Tap(100, 100);
    Frames(25);
    Tap(c_iCloseX, c_iCloseY);
    EXPECT_EQ(shown(), std::tuple(false, true, false, false));
    Frames(12);

    // Closed, the panel's places belong to the playing surface.
    Tap(c_iModeUpX, c_iModeY);
    EXPECT_EQ(m_pState->GetSynthMode(), 0);
    Down(3, c_iAboutX, c_iAboutY);
    EXPECT_TRUE(m_pState->GetTheremin(0)->IsTouchActive());
    Up(3, c_iAboutX, c_iAboutY);
    Tap(100, 100); // the about area lies below the screen
    EXPECT_FALSE(m_pState->IsAboutShown());
    // Ids outside the table do nothing.
    for (int id : {-1, 4, 5, 6, 7, 8, 16, 19, 20, 36, 99})
        m_pState->ButtonCallback(id);
    State_Main::ButtonCallback_Static(nullptr, PanelId(PanelControl::ModeUp));
    EXPECT_FALSE(m_pState->IsPanelOpen());
    EXPECT_EQ(m_pState->GetSynthMode(), 0);
}

TEST_F(StateMainTest, NoteKeysSetTheNotesAndTheGridFollows)
{
    Node* root = m_pState->GetRobot()->GetParent();
    const int rootChildren = ChildCount(root);
    m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
    Node_NoteGrid* grid = m_pState->GetNoteGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(root->GetChildren()->back(), grid) << "created once, on top of the scene";
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteGridButton()),
              Node_ControlPanel::c_iButtonLitColour);
    m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
    EXPECT_FALSE(grid->IsVisible());
    const float firstLine = grid->GetVertices()[0].position.x;
    Instrument().SetPitchZoom(1.0f); // changed behind the hidden grid's back
    m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
    EXPECT_EQ(m_pState->GetNoteGrid(), grid);
    EXPECT_EQ(ChildCount(root), rootChildren + 1);
    EXPECT_NE(grid->GetVertices()[0].position.x, firstLine) << "shown again, rebuilt";

    // Keys on the scale page answer a finger at touch-down: C, then C# above it.
    OpenPanel();
    Tap(398, 200);
    Frames(12);
    const int lines = grid->GetLineCount();
    Down(4, 339, 230);
    EXPECT_FALSE(Instrument().IsNoteEnabled(0));
    Up(4, 339, 230);
    Tap(349, 200);
    EXPECT_FALSE(Instrument().IsNoteEnabled(1));
    EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteKey(1)), Node_ControlPanel::c_iButtonColour);
    EXPECT_LT(grid->GetLineCount(), lines);
    // The last enabled note stays on and lit.
    for (int k = 2; k < 11; ++k)
        m_pState->ButtonCallback(PanelId(NoteKey(k)));
    m_pState->ButtonCallback(PanelId(PanelControl::LastNoteKey));
    EXPECT_EQ(std::tuple(Instrument().GetEnabledNoteCount(), Instrument().IsNoteEnabled(11),
                         ButtonFaceColour(m_pPanel->GetNoteKey(11))),
              std::tuple(1, true, Node_ControlPanel::c_iButtonLitColour));
}

TEST_F(StateMainTest, AScaleLightsTheKeysOfItsDegreesAndTheGridShowsItsPeriods)
{
    m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
    const Node_NoteGrid* grid = m_pState->GetNoteGrid();
    ASSERT_NE(grid, nullptr);
    const int twelveLines = grid->GetLineCount();
    // Seven equal degrees to the octave: keys C .. F# switch degrees 0 .. 6.
    std::vector<double> cents;
    for (int i = 1; i <= 7; ++i)
        cents.push_back(1200.0 * i / 7);
    const Tuning seven("7 equal", cents, 65.406395);
    for (const Tuning* tuning : {&seven, static_cast<const Tuning*>(nullptr)})
    {
        SCOPED_TRACE(tuning ? "seven degrees" : "the twelve notes again");
        m_pState->SetTuning(tuning);
        const int keys = tuning ? 7 : 12;
        for (int key = 0; key < 12; ++key)
            EXPECT_EQ(ButtonFaceColour(m_pPanel->GetNoteKey(key)),
                      key < keys ? Node_ControlPanel::c_iButtonLitColour
                                 : Node_ControlPanel::c_iButtonColour)
                << key;
        EXPECT_EQ(Instrument().GetDegreeCount(), keys);
        EXPECT_NEAR(grid->GetLineCount(), twelveLines * keys / 12.0, 1.0) << "rebuilt";
    }
}

TEST_F(StateMainTest, AnimationsFollowTheFrameClock)
{
    // The panel slides in over half a second, narrowing the playing area.
    Camera_2D* camera = m_pState->GetMainCamera();
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->Update(0.3f);
    EXPECT_NEAR(camera->GetViewportMax().x, 480.0f - 99.0f, 1e-3f);
    m_pState->Update(0.3f);
    EXPECT_FLOAT_EQ(camera->GetViewportMax().x, 480.0f - 165.0f);
    // The about picture scrolls in over a second with a cosine ease.
    m_pState->ButtonCallback(PanelId(PanelControl::About));
    for (int quarter = 1; quarter <= 4; ++quarter)
    {
        m_pState->Update(0.25f);
        const float offset = -320.0f * (0.5f - 0.5f * std::cos(3.14159265f * 0.25f * quarter));
        EXPECT_NEAR(m_pState->GetPanelCamera()->GetPosition().y, 160.0f - offset, 1e-3f);
        EXPECT_NEAR(camera->GetViewportMin().y, offset, 1e-3f);
    }
    // A frame longer than a second ends every animation.
    m_pState->ButtonCallback(PanelId(PanelControl::AboutDismiss));
    m_pState->ButtonCallback(PanelId(PanelControl::Close));
    m_pState->Update(1.5f);
    EXPECT_FLOAT_EQ(camera->GetViewportMin().y, 0.0f);
    EXPECT_FLOAT_EQ(camera->GetViewportMax().x, 480.0f);
    EXPECT_FLOAT_EQ(m_pState->GetPanelCamera()->GetPosition().y, 160.0f);

    // Three missed double taps show the hint, which fades in and out.
    Node_Sprite* hint = m_pState->GetHint();
    ASSERT_NE(hint, nullptr);
    for (int miss = 1; miss <= 3; ++miss)
    {
        Tap(455, 295);
        Frames(10); // the first tap expires after half a second
        EXPECT_EQ(hint->IsVisible(), miss == 3);
    }
    EXPECT_FLOAT_EQ(hint->GetPosition().x, 440.0f);
    const std::pair<float, unsigned int> fade[] = {
        {0.30f, 127}, {3.9f, 255}, {0.10f, 236}, {0.40f, 91}, {0.30f, 255}};
    for (const auto& [dt, byte] : fade)
    {
        m_pState->Update(dt);
        EXPECT_EQ(hint->GetColor(), byte * 0x01010101u);
    }
    EXPECT_FALSE(hint->IsVisible());
}

// What the corner's hint and the messages in its place show, and that they are
// drawn: a touch screen keeps its picture, a mouse gets words of its own; a save
// and a finger too many say so there, a long message shortened to fit.
TEST_F(StateMainTest, TheHintSpeaksToTheHandAndMessagesTakeItsPlace)
{
    Node_Sprite* picture = m_pState->GetHint();
    Node_Notice* notice = m_pState->GetNotice();
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(notice, nullptr);
    // The notice's frame, counted along the band where the hint stands.
    auto framed = [&]
    {
        const LandscapeFrame frame = Draw();
        return frame.Count(0, 280, 445, 312,
                           [](const Pixel& p)
                           { return IsColour(p, Node_Notice::c_iFrameColour, 24); });
    };
    EXPECT_LT(framed(), 10) << "nothing shown at the start";
    for (const bool mouse : {false, true})
    {
        SCOPED_TRACE(mouse ? "mouse" : "touch");
        m_pState->SetMouseHints(mouse);
        for (int miss = 1; miss <= 3; ++miss)
        {
            Tap(455, 295);
            Frames(10);
        }
        EXPECT_EQ(std::pair(picture->IsVisible(), notice->IsShowing()), std::pair(!mouse, mouse));
        Frames(10); // faded fully in
        if (mouse)
        {
            EXPECT_STREQ(notice->GetText(), "Double-click the corner or press Tab for controls");
            EXPECT_GT(framed(), 300);
        }
        Frames(90);
        EXPECT_FALSE(picture->IsVisible() || notice->IsShowing()) << "gone after five seconds";
    }
    EXPECT_LT(framed(), 10);

    // A message stands in the hint's place, over the picture, shortened in the
    // middle when it would not fit beside the corner.
    const std::string path = "~/.config/zindle/" + std::string(60, 'x') + "/zindle-20261208.conf";
    const std::string saved = "Settings saved to " + path;
    m_pState->SetMouseHints(false);
    for (int miss = 1; miss <= 3; ++miss)
    {
        Tap(455, 295);
        Frames(10);
    }
    ASSERT_TRUE(picture->IsVisible());
    m_pState->ShowMessage(saved.c_str());
    EXPECT_FALSE(picture->IsVisible());
    const std::string shown = notice->GetText();
    EXPECT_LT(shown.size(), saved.size());
    EXPECT_LE(notice->MeasureWidth(shown) + 2 * Node_Notice::c_rPadding, 440 - 10);
    EXPECT_EQ(shown.substr(0, 12), "Settings sav");
    EXPECT_NE(shown.find("..."), std::string::npos);
    EXPECT_EQ(shown.substr(shown.size() - 13), "20261208.conf");
    Frames(20);
    EXPECT_GT(framed(), 300);
    Frames(100);

    // A finger that finds the touch table full is not lost without a word.
    m_pTouches->TouchRefused(200, 100);
    Frames(1);
    EXPECT_TRUE(notice->IsShowing());
    EXPECT_STREQ(notice->GetText(), "Twelve fingers are down: lift one to play");
}

// While a slider is held its value shows on it, in its unit; let go, it goes.
// The note keys carry their names, bright when enabled and dim when not, and a
// scale's degree numbers in a scale.
TEST_F(StateMainTest, HeldSlidersShowTheirValueAndNoteKeysTheirNames)
{
    OpenPanel();
    Tap(398, 150); // "Effects  >"
    Frames(12);
    const int left = 330; // the effects sliders' left end, slid in
    const struct
    {
        PanelSlider slider;
        int y;
        const char* atStart;
        const char* moved;
    } effects[] = {
        {PanelSlider::EchoVolume, 45, "6 %", "55 %"},
        {PanelSlider::EchoTime, 95, "0.09 s", "1.69 s"},
        {PanelSlider::EchoRepeat, 145, "16 %", "81 %"},
        {PanelSlider::Overdrive, 195, "0 %", "50 %"},
    };
    auto white = [](const Pixel& p) { return p.r > 235 && p.g > 235 && p.b > 235; };
    for (const auto& e : effects)
    {
        SCOPED_TRACE(e.moved);
        Node_Slider* slider = m_pPanel->GetSlider(e.slider);
        EXPECT_EQ(Draw().Count(left, e.y - 10, left + 138, e.y + 10, white), 0);
        Down(6, left + 20, e.y);
        EXPECT_TRUE(slider->IsValueShown());
        EXPECT_STREQ(slider->GetValueText(), e.atStart);
        Move(6, left + 20 + 69, e.y); // half the track
        EXPECT_STREQ(slider->GetValueText(), e.moved);
        EXPECT_GT(Draw().Count(left, e.y - 10, left + 138, e.y + 10, white), 20);
        Up(6, left + 20 + 69, e.y);
        EXPECT_FALSE(slider->IsValueShown());
        EXPECT_EQ(Draw().Count(left, e.y - 10, left + 138, e.y + 10, white), 0);
    }
    // The other sliders' units, as the synth takes their positions.
    const struct
    {
        PanelControl control;
        PanelSlider slider;
        float value;
        const char* text;
    } units[] = {
        {PanelControl::Cutoff, PanelSlider::Cutoff, 1.0f, "8450 Hz"},
        {PanelControl::Cutoff, PanelSlider::Cutoff, 0.0f, "0 Hz"},
        {PanelControl::PulseWidth, PanelSlider::PulseWidth, 0.0f, "50 %"},
        {PanelControl::Resonance, PanelSlider::Timbre, 0.25f, "25 %"},
        {PanelControl::Zoom, PanelSlider::Zoom, 0.0f, "5.25 oct"},
        {PanelControl::Pitch, PanelSlider::Pitch, 0.5f, "185 Hz"},
    };
    for (const auto& u : units)
    {
        SCOPED_TRACE(u.text);
        m_pState->SliderCallback(PanelId(u.control), 1, u.value);
        EXPECT_STREQ(m_pPanel->GetSlider(u.slider)->GetValueText(), u.text);
    }

    // The scale page's keys: C on the lower row, named white while enabled.
    Tap(398, 280); // "Back"
    Frames(12);
    Tap(398, 200); // "Scale  >"
    Frames(12);
    const char* names[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    for (int k = 0; k < 12; ++k)
        EXPECT_STREQ(m_pPanel->GetNoteKey(k)->GetText(), names[k]);
    auto keyC = [&](const std::function<bool(const Pixel&)>& match)
    { return Draw().Count(331, 218, 349, 243, match); };
    const int bright = keyC(white);
    EXPECT_GT(bright, 4);
    m_pState->ButtonCallback(PanelId(NoteKey(0)));
    EXPECT_EQ(keyC(white), 0) << "a disabled key's name is dim";
    EXPECT_GT(keyC([](const Pixel& p) { return IsColour(p, 0xFF8A6E6E, 30); }), 2);
    m_pState->ButtonCallback(PanelId(NoteKey(0)));
    EXPECT_EQ(keyC(white), bright);

    std::vector<double> cents;
    for (int i = 1; i <= 7; ++i)
        cents.push_back(1200.0 * i / 7);
    const Tuning seven("7 equal", cents, 65.406395);
    m_pState->SetTuning(&seven);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(std::string(m_pPanel->GetNoteKey(k)->GetText()), k < 7 ? std::to_string(k) : "");
    m_pState->SetTuning(nullptr);
    EXPECT_STREQ(m_pPanel->GetNoteKey(11)->GetText(), "B");
}

TEST_F(StateMainTest, TheOpenPanelIsDrawnBesideTheScene)
{
    auto face = [](const Pixel& p) { return IsColour(p, Node_ControlPanel::c_iButtonColour); };
    EXPECT_EQ(Draw().Count(412, 267, 468, 293, face), 0) << "closed";
    m_pState->ButtonCallback(PanelId(PanelControl::Open));
    m_pState->Update(0.3f); // the panel's left edge at 381
    const LandscapeFrame half = Draw();
    for (int y : {20, 160, 310}) // the black separator, then the panel
        EXPECT_EQ(std::pair(IsPureBlack(half.At(381, y)), IsPureBlack(half.At(384, y))),
                  std::pair(true, false))
            << "row " << y;
    m_pState->Update(0.3f);
    const LandscapeFrame frame = Draw();
    // "Close", "About" and "Effects  >" faces inside their frames; the main
    // page's "Timbre" slider filled to 8/11.
    EXPECT_GT(frame.Count(412, 267, 468, 293, face), 56 * 26 / 2);
    EXPECT_GT(frame.Count(329, 267, 385, 293, face), 56 * 26 / 2);
    EXPECT_GT(frame.Count(332, 137, 465, 163, face), 133 * 26 / 2);
    EXPECT_TRUE(IsPureBlack(frame.At(410, 280))) << "Close's frame";
    EXPECT_TRUE(IsColour(frame.At(340, 103), 0xFFFF4444));
    EXPECT_FALSE(IsColour(frame.At(460, 103), 0xFFFF4444));
}

TEST_F(StateMainTest, ExitTwiceOrAfterTheSoundManagerLeavesNothingBehind)
{
    m_pState->ButtonCallback(PanelId(PanelControl::NoteGrid));
    m_pState->Exit();
    auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
    ASSERT_NE(sound, nullptr);
    // Stopped, without a root, every widget and theremin signed off, the synth gone.
    EXPECT_EQ(std::tuple(sound->IsRunning(), sound->GetStreamSource(),
                         m_pTouches->GetListenerCount(), m_pState->GetSynth()),
              std::tuple(false, nullptr, 0, nullptr));
    m_pState->Exit();
    Tap(440, 280); // touches, frames and audio go nowhere
    m_pState->Update(c_rFrame);
    EXPECT_TRUE(Draw().IsComplete());
    EXPECT_EQ(OutputLevel(1024), 0.0);

    // A state that outlives the sound manager goes safely.
    Stop();
    Start(SourceDataDir());
    Down(5, 200, 100);
    Frames(1);
    m_pSound.reset();
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
            EXPECT_EQ(gl.ReadLandscape().size(), 480u * 320u * 4u);
            state.Exit();
        }
        TouchManager::Shutdown();
    }
    File_Bundle::SetResourceDirectory(SourceDataDir().string());
}
