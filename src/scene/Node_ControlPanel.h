// The slide-out settings panel at the right edge: a main page (mode, the mode's
// timbre slider, buttons to the sub-pages, "About", "Close") and a second page
// showing one of four sub-pages (pulse synth, PWM synth, effects, scale).
#pragma once

#include "scene/Node.h"
#include "scene/PanelControl.h"
#include "scene/PanelListener.h"

class Node_Button;
class Node_Slider;
class Node_Sprite;
class Node_Text;

class Node_ControlPanel : public Node
{
  public:
    static constexpr float c_rPageWidth = 163.0f; // points
    static constexpr unsigned int c_iButtonColour = 0xFFAA0000;
    static constexpr unsigned int c_iButtonLitColour = 0xFFCC4444;

    explicit Node_ControlPanel(PanelListener* listener);
    ~Node_ControlPanel() override;

    // The pages SetSubPanel shows: the mode's synth page (pulse or PWM), the
    // effects, the scale.
    static constexpr int c_iPageSynth = 0;
    static constexpr int c_iPageEffects = 1;
    static constexpr int c_iPageScale = 2;

    // Whether the main page takes touches.
    void SetActive(bool active);
    // The mode's name and controls. The sliders only show values: the main
    // state sets their positions from the synth.
    void SetMode(int mode);
    void SetSubPanel(int page);
    void ButtonCallback(int id);
    static void ButtonCallback_Static(void* panel, int id);
    // The page slide, every frame.
    void Update(float dt);
    void LoadAbout();

    void SetSliderValue(int id, float value);
    float GetSliderValue(int id);
    void SetButtonLit(int id, bool lit);
    void SetAutotuneText(const char* text);
    // The note keys' names: C to B, or a scale's degree numbers 0 to 11, of
    // which only the first `degrees` exist (the others are left unnamed).
    void SetNoteKeyNames(bool scaleDegrees, int degrees = 12);
    // What a slider's value means, shown on it while it is held (every slider
    // that reports `id`: the resonance has three).
    void SetSliderValueText(int id, const char* text);
    void SetPitchSlider(float value);

    int GetMode() const { return m_iMode; }
    bool IsActive() const { return m_bActive; }
    bool IsSubPanelShown() const { return m_bSubPanelShown; }
    bool IsAboutLoaded() const { return m_bAboutLoaded; }
    float GetSlide() const { return m_rSlide; }
    const char* GetModeText() const;
    const char* GetAutotuneText() const;
    Node_Button* GetNoteKey(int key) const
    {
        return (key >= 0 && key < 12) ? m_pNoteKeys[key] : nullptr;
    }
    Node_Button* GetNoteGridButton() const { return m_pNoteGridButton; }
    Node_Slider* GetTimbreSlider() const { return m_pTimbreSlider; }
    Node_Button* GetSynthControlsButton() const { return m_pSynthControlsButton; }
    Node_Slider* GetPitchSlider() const { return m_pPitchSlider; }
    Node_Slider* GetSlider(PanelSlider slider) const;

  private:
    Node_Button* MakeTextButton(Node* parent, float x, float y, float w, float h, const char* text,
                                bool toPanel, PanelControl control);
    Node_Slider* MakeSlider(Node* parent, float x, float y, float w, float h, const char* text,
                            PanelControl control, float value);
    // The slider a SetSliderValue id names (the main page's timbre for
    // Resonance), or null.
    Node_Slider* SliderOf(int id) const;
    // A note key's name, smaller than the panel's text, in the key's middle.
    static void PlaceKeyName(Node_Button* key, bool upperRow);
    // A text drawn `scale` times the font's size, its pen at (x, y).
    static void PlaceSmall(Node_Text* text, float scale, float x, float y);
    Node* MakeQuad(Node* parent, float x0, float y0, float x1, float y1);
    Node_Text* MakeText(Node* parent, int x, int y, int justify, const char* text, bool keep);
    Node* MakePage();
    static void Drop(Node*& node);
    template <typename T> static void DropWidget(T*& widget)
    {
        Node* node = widget;
        Drop(node);
        widget = nullptr;
    }
    void ShowWidget(Node* widget, bool shown);

    PanelListener* m_pListener;
    Node_Button* m_pCloseButton = nullptr;
    Node_Button* m_pAboutButton = nullptr;
    Node_Button* m_pAboutArea = nullptr;
    Node_Slider* m_pTimbreSlider = nullptr;
    Node_Button* m_pSynthControlsButton = nullptr;
    Node_Button* m_pEffectsButton = nullptr;
    Node_Button* m_pScaleButton = nullptr;
    Node_Button* m_pBackButton = nullptr;
    Node* m_pEffectsPage = nullptr;
    Node_Slider* m_pEchoVolumeSlider = nullptr;
    Node_Slider* m_pEchoTimeSlider = nullptr;
    Node_Slider* m_pEchoRepeatSlider = nullptr;
    Node_Slider* m_pOverdriveSlider = nullptr;
    Node* m_pPulsePage = nullptr;
    Node_Slider* m_pPulseTimbreSlider = nullptr;
    Node_Slider* m_pPulseWidthSlider = nullptr;
    Node* m_pPWMPage = nullptr;
    Node_Slider* m_pResonanceSlider = nullptr;
    Node_Slider* m_pCutoffSlider = nullptr;
    Node* m_pScalePage = nullptr;
    Node_Slider* m_pPitchSlider = nullptr;
    Node_Slider* m_pZoomSlider = nullptr;
    Node_Button* m_pNoteGridButton = nullptr;
    Node_Button* m_pNoteKeys[12] = {};
    Node_Text* m_pAutotuneText = nullptr;
    Node_Button* m_pAutotuneDown = nullptr;
    Node_Button* m_pAutotuneUp = nullptr;
    Node_Button* m_pModeDown = nullptr;
    Node_Button* m_pModeUp = nullptr;
    Node_Text* m_pModeText = nullptr;
    int m_iMode = 0;
    bool m_bAboutLoaded = false;
    bool m_bActive = false;
    bool m_bSubPanelShown = false;
    float m_rSlide = 0.0f;

    float m_rWidth = 480.0f;
    float m_rHeight = 320.0f;
};
