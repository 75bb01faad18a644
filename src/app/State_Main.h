// The main state: builds the scene (MainScene) and the four-voice synth, routes
// the panel's controls to them (PanelRouter), and each frame updates, draws and,
// at the end, tears everything down in order.
#pragma once

#include "app/AppState.h"
#include "app/MainScene.h"
#include "app/PanelRouter.h"
#include "formats/Settings.h"
#include "scene/PanelListener.h"

#include <memory>

class Camera_2D;
class Node_ControlPanel;
class Node_DoubleClickButton;
class Node_NoteGrid;
class Node_Notice;
class Node_Robot;
class Node_Sprite;
class SoundControl_Theremin;
class Synth_FourVoice;
class Tuning;

class State_Main : public AppState, public PanelListener
{
  public:
    State_Main();
    ~State_Main() override;

    State_Main(const State_Main&) = delete;
    State_Main& operator=(const State_Main&) = delete;

    bool Init() override;
    void Update(float dt) override;
    void Render(Renderer& renderer) override;
    void Exit() override;

    // A frame that nobody will see: advances what drawing advances (the
    // robot's steps) without drawing.
    void SkipRender();

    // The panel as the keyboard drives it: open it as the corner's double tap
    // does; close it from whatever it shows (the about picture is dismissed and
    // a sub-page left first), as "Close" does; or the one or the other.
    void OpenPanel();
    void ClosePanel();
    void TogglePanel();

    // The sound as the synth and the theremins hold it now (without the
    // tuning, which the program was started with), and back: a whole set of
    // settings applied, the panel showing them. Main thread, after Init().
    Settings CaptureSettings() const { return m_router.CaptureSettings(); }
    void ApplySettings(const Settings& settings) { m_router.ApplySettings(settings); }
    // The scale the voices play (null: the twelve notes on C), with the note
    // keys lit for its degrees. Main thread, after Init().
    void SetTuning(const Tuning* tuning) { m_router.SetTuning(tuning); }

    // The hints for a mouse and keys or for a touch screen (the host knows
    // which); a short message where the hint shows (a save, say).
    void SetMouseHints(bool mouse) { m_scene.SetMouseHints(mouse); }
    void ShowMessage(const char* text) { m_scene.ShowMessage(text); }

    void SetSynthMode() { m_router.SetSynthMode(); }
    void SetAutotuneMode(int mode) { m_router.SetAutotuneMode(mode); }
    void SliderCallback(int id, int /*phase*/, float value) override
    {
        m_router.SliderCallback(id, value);
    }
    static void SliderCallback_Static(void* state, int id, int phase, float value);
    void ButtonCallback(int id) override { m_router.ButtonCallback(id); }
    static void ButtonCallback_Static(void* state, int id);
    Camera_2D* GetPanelCamera() const override { return m_scene.GetPanelCamera(); }

    // What the rest of the program (and the tests) may look at.
    int GetSynthMode() const { return m_router.GetSynthMode(); }
    int GetAutotuneMode() const { return m_router.GetAutotuneMode(); }
    bool IsPanelOpen() const { return m_scene.IsPanelOpen(); }
    bool IsAboutShown() const { return m_scene.IsAboutShown(); }
    float GetPanelSlide() const { return m_scene.GetPanelSlide(); }
    float GetAboutSlide() const { return m_scene.GetAboutSlide(); }
    Node_ControlPanel* GetControlPanel() const { return m_scene.GetControlPanel(); }
    Node_NoteGrid* GetNoteGrid() const { return m_scene.GetNoteGrid(); }
    Node_Sprite* GetHint() const { return m_scene.GetHint(); }
    Node_Notice* GetNotice() const { return m_scene.GetNotice(); }
    Node_DoubleClickButton* GetPanelOpenButton() const { return m_scene.GetPanelOpenButton(); }
    Node_Robot* GetRobot() const { return m_scene.GetRobot(); }
    Camera_2D* GetMainCamera() const { return m_scene.GetMainCamera(); }
    SoundControl_Theremin* GetTheremin(int voice) const;
    // The four-voice synth; null before Init() and after Exit().
    Synth_FourVoice* GetSynth() const { return m_pSynth.get(); }

  private:
    // The synth on the scene's camera, followed by the robot and the backdrop,
    // as the sound manager's root, playing.
    void BuildSynth();

    MainScene m_scene;
    std::unique_ptr<Synth_FourVoice> m_pSynth;
    PanelRouter m_router;
};
