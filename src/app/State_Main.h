// The instrument: builds the scene and the four-voice synth graph, plays the
// synth and autotune modes, routes every panel control, animates the panel and
// the about screen, draws both layers and tears everything down in order.
#pragma once

#include "app/AppState.h"
#include "formats/Settings.h"
#include "scene/PanelListener.h"

#include <memory>

class Camera_2D;
class Node;
class Node_2DQuad;
class Node_Backdrop;
class Node_ControlPanel;
class Node_Decals;
class Node_DoubleClickButton;
class Node_NoteGrid;
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
    Settings CaptureSettings() const;
    void ApplySettings(const Settings& settings);
    // The scale the voices play (null: the twelve notes on C), with the note
    // keys lit for its degrees. Main thread, after Init().
    void SetTuning(const Tuning* tuning);

    void SetSynthMode();
    void SetAutotuneMode(int mode);
    void SliderCallback(int id, int phase, float value) override;
    static void SliderCallback_Static(void* state, int id, int phase, float value);
    void ButtonCallback(int id) override;
    static void ButtonCallback_Static(void* state, int id);
    Camera_2D* GetPanelCamera() const override { return m_pPanelCamera; }

    // What the rest of the program (and the tests) may look at.
    int GetSynthMode() const { return m_iSynthMode; }
    int GetAutotuneMode() const { return m_iAutotuneMode; }
    bool IsPanelOpen() const { return m_bPanelOpen; }
    bool IsAboutShown() const { return m_bAboutShown; }
    float GetPanelSlide() const { return m_rPanelSlide; }
    float GetAboutSlide() const { return m_rAboutSlide; }
    Node_ControlPanel* GetControlPanel() const { return m_pControlPanel; }
    Node_NoteGrid* GetNoteGrid() const { return m_pNoteGrid; }
    Node_Sprite* GetHint() const { return m_pHint; }
    Node_DoubleClickButton* GetPanelOpenButton() const { return m_pPanelOpenButton; }
    Node_Robot* GetRobot() const { return m_pRobot; }
    Camera_2D* GetMainCamera() const { return m_pMainCamera; }
    SoundControl_Theremin* GetTheremin(int voice) const;
    // The four-voice synth; null before Init() and after Exit().
    Synth_FourVoice* GetSynth() const { return m_pSynth.get(); }

  private:
    void BuildScene();
    void BuildSynth();
    // Lights the note keys that switch an enabled note or degree.
    void ShowNoteKeys();
    // Sets the panel's synth sliders to the synth's parameters (no callbacks).
    void ShowSynthParameters();
    template <typename T> static void ReleaseNode(T*& node);
    template <typename T> static void DeleteObject(T*& object);

    Node* m_pRoot = nullptr;
    Camera_2D* m_pMainCamera = nullptr;
    Node_Backdrop* m_pBackdrop = nullptr;
    Node_Decals* m_pDecals = nullptr;
    Node_Robot* m_pRobot = nullptr;
    Node_NoteGrid* m_pNoteGrid = nullptr;
    Node_DoubleClickButton* m_pPanelOpenButton = nullptr;
    Node_Sprite* m_pHint = nullptr;
    float m_rHintTime = 0.0f;
    Camera_2D* m_pPanelCamera = nullptr;
    Node_ControlPanel* m_pControlPanel = nullptr;
    Node_2DQuad* m_pSeparator = nullptr;

    std::unique_ptr<Synth_FourVoice> m_pSynth;

    int m_iSynthMode = 0;
    int m_iAutotuneMode = 0;
    bool m_bNoteGridShown = false;
    bool m_bPanelOpen = false;
    float m_rPanelSlide = 0.0f;
    bool m_bAboutShown = false;
    float m_rAboutSlide = 0.0f;
};
