// What the main state shows: the backdrop, the two backgrounds, decals,
// spotlight and robot, the corner's double-tap button and its hint, the note
// grid (made the first time it is shown), and the control panel with its camera
// and separator. Builds them, slides the panel and the about picture, fades the
// hint, and draws the panel layer and the scene layer.
#pragma once

#include "core/Vector2f.h"

class Camera_2D;
class InstrumentState;
class Node;
class Node_2DQuad;
class Node_Backdrop;
class Node_ControlPanel;
class Node_Decals;
class Node_DoubleClickButton;
class Node_NoteGrid;
class Node_Notice;
class Node_Robot;
class Node_Sprite;
class PanelListener;
class Renderer;
class SoundControl_Theremin;

class MainScene
{
  public:
    static constexpr float c_rPanelWidth = 165.0f; // points the scene narrows by while open

    MainScene() = default;
    ~MainScene();

    MainScene(const MainScene&) = delete;
    MainScene& operator=(const MainScene&) = delete;

    // Builds every node; the panel and the corner's button report to `listener`.
    void Build(PanelListener* listener);
    // A voice the robot and the backdrop follow.
    void AddTheremin(SoundControl_Theremin* theremin);
    // Releases every node; Build may run again afterwards.
    void Release();

    void Update(float dt);
    void Render(Renderer& renderer);
    // A frame nobody sees: the robot steps as drawing would step it.
    void SkipRender();

    // The panel opened (the corner's button hidden) or closed (shown again).
    void SetPanelOpen(bool open);
    // The about picture shown over the panel, or dismissed back to it.
    void SetAboutShown(bool shown);
    // The note grid over the scene, drawn from `state`; made when first shown.
    void ShowNoteGrid(bool shown, const InstrumentState& state);
    // The grid follows a change of window, autotune, notes or scale.
    void UpdateNoteGrid();

    // Whether the player has a mouse and keys (the corner's hint then speaks of
    // a double click and Tab) or a touch screen (the hint's picture).
    void SetMouseHints(bool mouse) { m_bMouseHints = mouse; }
    bool GetMouseHints() const { return m_bMouseHints; }
    // A short message in the hint's place for a few seconds, over the hint.
    void ShowMessage(const char* text);

    bool IsPanelOpen() const { return m_bPanelOpen; }
    bool IsAboutShown() const { return m_bAboutShown; }
    float GetPanelSlide() const { return m_rPanelSlide; }
    float GetAboutSlide() const { return m_rAboutSlide; }
    Node_ControlPanel* GetControlPanel() const { return m_pControlPanel; }
    Node_NoteGrid* GetNoteGrid() const { return m_pNoteGrid; }
    Node_Sprite* GetHint() const { return m_pHint; }
    Node_Notice* GetNotice() const { return m_pNotice; }
    Node_DoubleClickButton* GetPanelOpenButton() const { return m_pPanelOpenButton; }
    Node_Robot* GetRobot() const { return m_pRobot; }
    Camera_2D* GetMainCamera() const { return m_pMainCamera; }
    Camera_2D* GetPanelCamera() const { return m_pPanelCamera; }

  private:
    // Fades the hint in, holds it and fades it out; shows it again after three
    // single taps on the corner.
    void UpdateHint(float dt, float width, float height);
    // Where the hint and the messages stand: right edge and middle, in points.
    Vector2f HintPlace(float width, float height) const;

    Node* m_pRoot = nullptr;
    Camera_2D* m_pMainCamera = nullptr;
    Node_Backdrop* m_pBackdrop = nullptr;
    Node_Decals* m_pDecals = nullptr;
    Node_Robot* m_pRobot = nullptr;
    Node_NoteGrid* m_pNoteGrid = nullptr;
    Node_DoubleClickButton* m_pPanelOpenButton = nullptr;
    Node_Sprite* m_pHint = nullptr;
    float m_rHintTime = 0.0f;
    Node_Notice* m_pNotice = nullptr;
    bool m_bMouseHints = false;
    int m_iRefusedSeen = 0; // the touch manager's refused contacts already shown
    Camera_2D* m_pPanelCamera = nullptr;
    Node_ControlPanel* m_pControlPanel = nullptr;
    Node_2DQuad* m_pSeparator = nullptr;

    bool m_bPanelOpen = false;
    float m_rPanelSlide = 0.0f;
    bool m_bAboutShown = false;
    float m_rAboutSlide = 0.0f;
};
