#include "scene/Node_ControlPanel.h"

#include "render/Material.h"
#include "scene/Font.h"
#include "scene/Node_2DQuad.h"
#include "scene/Node_Button.h"
#include "scene/Node_Slider.h"
#include "scene/Node_Sprite.h"
#include "scene/Node_Text.h"
#include "scene/SceneHelpers.h"
#include "synth/Synth_FourVoice.h"

#include <cmath>

namespace
{
constexpr const char* c_sFont = "data/fonts/oldsans18.fnt";
constexpr unsigned int c_iWhite = 0xFFFFFFFF;

// Slider colours: background, frame, fill, pressed frame, pressed fill.
constexpr unsigned int c_iSliderFrame = 0xFF000000;
constexpr unsigned int c_iSliderFill = 0xFFFF4444;
constexpr unsigned int c_iSliderFramePressed = 0xFF444444;
constexpr unsigned int c_iSliderFillPressed = 0xFFFF8888;

// The one-octave keyboard of the scale page, C to B.
constexpr float c_rKeyDx[12] = {0, 10, 20, 30, 40, 60, 70, 80, 90, 100, 110, 120};
constexpr float c_rKeyDy[12] = {27, 0, 27, 0, 27, 27, 0, 27, 0, 27, 0, 27};

const char* const c_sModeNames[4] = {"Mekko", "Pulse", "Theremin", "PWM"};

// The note keys' names, bright on an enabled key and dim on a disabled one, so
// that the two differ by more than the key's shade.
const char* const c_sKeyNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                     "F#", "G",  "G#", "A",  "A#", "B"};
const char* const c_sDegreeNames[12] = {"0", "1", "2", "3", "4",  "5",
                                        "6", "7", "8", "9", "10", "11"};
constexpr unsigned int c_iKeyNameLit = 0xFFFFFFFF;
constexpr unsigned int c_iKeyNameDim = 0xFF8A6E6E; // grey-blue, red in the low byte
constexpr float c_rKeyNameScale = 0.75f;           // of the panel's font

// The about picture's lines on the mouse and keys, in its free corner below the
// robot (points from the picture's top-left corner).
const char* const c_sAboutDesktop[] = {"With a mouse and keys", "Left button: play",
                                       "Right button: hold a",  "note; on it: lift it",
                                       "Tab: the controls",     "Esc: lift held notes",
                                       "Ctrl+S: save the sound"};
constexpr int c_iAboutDesktopLines = 7;
constexpr float c_rAboutDesktopX = 14.0f;
constexpr float c_rAboutDesktopY = 208.0f;
constexpr float c_rAboutLineHeight = 13.0f;
constexpr float c_rSmallTextScale = 0.7f;
constexpr unsigned int c_iAboutHeadingColour = 0xFFE8C85A; // the picture's cyan headings
} // namespace

Node_ControlPanel::Node_ControlPanel(PanelListener* listener) : m_pListener(listener)
{
    const Vector2f screen = scene::LandscapeScreenSize();
    const float W = screen.x;
    const float H = screen.y;
    m_rWidth = W;
    m_rHeight = H;
    const float M = W - 81.5f;  // centre of the main page
    const float L = M - 69.0f;  // left edge of the main page's controls
    const float S = L + 163.0f; // left edge of the second page's controls

    // Main page.
    for (float x : {W - c_rPageWidth, W})
    {
        if (Node_Sprite* background = Node_Sprite::Create("data/panelbg.png"))
        {
            if (Material* material = background->GetMaterial())
                material->SetOptions(Material::c_iBlendOpaque, false, false);
            background->SetOffset(0.0f, 0.0f, false);
            background->SetPosition(x, 0.0f, true, 0.0f, 1.0f);
            AddChild(background);
            background->Release();
        }
    }
    m_pCloseButton = MakeTextButton(this, W - 70.0f, H - 55.0f, 60.0f, 30.0f, "Close", false,
                                    PanelControl::Close);
    m_pCloseButton->SetTouchBorder(10.0f, 0.0f, 10.0f, 20.0f);
    m_pAboutButton = MakeTextButton(this, W - 153.0f, H - 55.0f, 60.0f, 30.0f, "About", false,
                                    PanelControl::About);
    m_pAboutButton->SetTouchBorder(10.0f, 0.0f, 10.0f, 20.0f);

    m_pAboutArea = Node_Button::Create(0.0f, H, W, H);
    m_pAboutArea->SetColor(false, 0, 0);
    m_pAboutArea->SetCamera(m_pListener ? m_pListener->GetPanelCamera() : nullptr);
    m_pAboutArea->SetCallback(&PanelListener::ButtonCallback_Static, m_pListener,
                              PanelId(PanelControl::AboutDismiss));
    AddChild(m_pAboutArea);

    MakeQuad(this, L, 35.0f, L + 138.0f, 65.0f);
    m_pModeText = MakeText(this, 0, 0, 1, "Mekko", true);
    const int fh = m_pModeText->GetFont() ? m_pModeText->GetFont()->GetHeight() : 0;
    m_pModeText->SetPos(static_cast<int>(M), 50 - fh / 2);
    MakeText(this, static_cast<int>(M), 35 - fh, 1, "Mode", false);
    m_pModeDown = MakeTextButton(this, L, 35.0f, 34.5f, 30.0f, "<", false, PanelControl::ModeDown);
    m_pModeDown->SetTextOffset(0.0f, -1.0f);
    m_pModeDown->SetTouchBorder(0.0f, 0.0f, 30.0f, 20.0f);
    m_pModeUp =
        MakeTextButton(this, L + 103.0f, 35.0f, 34.5f, 30.0f, ">", false, PanelControl::ModeUp);
    m_pModeUp->SetTextOffset(0.0f, -1.0f);
    m_pModeUp->SetTouchBorder(30.0f, 0.0f, 0.0f, 20.0f);

    m_pTimbreSlider =
        MakeSlider(this, L + 2.0f, 93.0f, 134.0f, 20.0f, "Timbre", PanelControl::Resonance, 0.0f);
    m_pSynthControlsButton = MakeTextButton(this, L, 85.0f, 138.0f, 30.0f, "Synth Controls  >",
                                            true, PanelControl::SynthControls);
    m_pSynthControlsButton->SetTouchBorder(10.0f, 0.0f, 10.0f, 20.0f);
    m_pSynthControlsButton->SetActive(false);
    ShowWidget(m_pSynthControlsButton, false);
    m_pEffectsButton =
        MakeTextButton(this, L, 135.0f, 138.0f, 30.0f, "Effects  >", true, PanelControl::Effects);
    m_pEffectsButton->SetTouchBorder(10.0f, 0.0f, 10.0f, 20.0f);
    m_pScaleButton =
        MakeTextButton(this, L, 185.0f, 138.0f, 30.0f, "Scale  >", true, PanelControl::Scale);
    m_pScaleButton->SetTouchBorder(10.0f, 0.0f, 10.0f, 20.0f);
    m_pBackButton =
        MakeTextButton(this, S, H - 55.0f, 138.0f, 30.0f, "Back", true, PanelControl::Back);
    m_pBackButton->SetTouchBorder(10.0f, 0.0f, 10.0f, 20.0f);

    // Effects page.
    m_pEffectsPage = MakePage();
    m_pEchoVolumeSlider = MakeSlider(m_pEffectsPage, S, 35.0f, 138.0f, 20.0f, "Echo Volume",
                                     PanelControl::EchoVolume, 0.0f);
    m_pEchoTimeSlider = MakeSlider(m_pEffectsPage, S, 85.0f, 138.0f, 20.0f, "Echo Time",
                                   PanelControl::EchoTime, 0.0f);
    m_pEchoRepeatSlider = MakeSlider(m_pEffectsPage, S, 135.0f, 138.0f, 20.0f, "Echo Repeat",
                                     PanelControl::EchoRepeat, 0.0f);
    m_pOverdriveSlider = MakeSlider(m_pEffectsPage, S, 185.0f, 138.0f, 20.0f, "Overdrive",
                                    PanelControl::Overdrive, 0.0f);

    // Pulse synth page.
    m_pPulsePage = MakePage();
    m_pPulseTimbreSlider =
        MakeSlider(m_pPulsePage, S, 35.0f, 138.0f, 20.0f, "Timbre", PanelControl::Resonance, 0.8f);
    m_pPulseWidthSlider = MakeSlider(m_pPulsePage, S, 85.0f, 138.0f, 20.0f, "Pulse Width",
                                     PanelControl::PulseWidth, 0.0f);

    // PWM synth page.
    m_pPWMPage = MakePage();
    m_pCutoffSlider =
        MakeSlider(m_pPWMPage, S, 35.0f, 138.0f, 20.0f, "Cutoff", PanelControl::Cutoff, 1.0f);
    m_pResonanceSlider =
        MakeSlider(m_pPWMPage, S, 85.0f, 138.0f, 20.0f, "Resonance", PanelControl::Resonance, 0.0f);

    // Scale page.
    m_pScalePage = MakePage();
    m_pPitchSlider = MakeSlider(m_pScalePage, S + 40.0f, 28.0f, 96.0f, 20.0f, nullptr,
                                PanelControl::Pitch, 0.5f);
    m_pPitchSlider->SetTouchBorder(0.0f, 10.0f, 0.0f, 5.0f);
    m_pZoomSlider =
        MakeSlider(m_pScalePage, S + 40.0f, 58.0f, 96.0f, 20.0f, nullptr, PanelControl::Zoom, 0.0f);
    MakeText(m_pScalePage, static_cast<int>(S), 28, 0, "Pitch", false);
    MakeText(m_pScalePage, static_cast<int>(S), 58, 0, "Zoom", false);
    m_pNoteGridButton = MakeTextButton(m_pScalePage, S, 94.0f, 138.0f, 27.0f, "Note Grid", false,
                                       PanelControl::NoteGrid);
    m_pNoteGridButton->SetTouchBorder(0.0f, 10.0f, 0.0f, 20.0f);
    MakeQuad(m_pScalePage, S, 147.0f, S + 138.0f, 174.0f);
    m_pAutotuneText =
        MakeText(m_pScalePage, static_cast<int>(M + 163.0f), 160 - fh / 2, 1, "Off", true);
    MakeText(m_pScalePage, static_cast<int>(M + 163.0f), 147 - fh, 1, "Autotune", false);
    m_pAutotuneDown = MakeTextButton(m_pScalePage, S, 147.0f, 34.5f, 27.0f, "<", false,
                                     PanelControl::AutotuneDown);
    m_pAutotuneDown->SetTextOffset(0.0f, -1.0f);
    m_pAutotuneDown->SetTouchBorder(0.0f, 0.0f, 30.0f, 20.0f);
    m_pAutotuneUp = MakeTextButton(m_pScalePage, S + 103.0f, 147.0f, 34.5f, 27.0f, ">", false,
                                   PanelControl::AutotuneUp);
    m_pAutotuneUp->SetTextOffset(0.0f, -1.0f);
    m_pAutotuneUp->SetTouchBorder(30.0f, 0.0f, 0.0f, 20.0f);
    for (int k = 0; k < 12; ++k)
    {
        Node_Button* key =
            Node_Button::Create(S + c_rKeyDx[k] - 1.0f, 188.0f + c_rKeyDy[k], 22.0f, 29.0f);
        key->SetColor(true, c_iButtonLitColour, c_iButtonLitColour);
        key->SetFont(c_sFont, c_iKeyNameLit, c_iKeyNameLit);
        key->SetText(c_sKeyNames[k]);
        PlaceKeyName(key, c_rKeyDy[k] == 0.0f);
        key->SetCallbackOnTouch(true);
        if (c_rKeyDy[k] > 0.0f)
            key->SetTouchBorder(0.0f, 0.0f, 0.0f, 15.0f);
        key->SetCallback(&PanelListener::ButtonCallback_Static, m_pListener, PanelId(NoteKey(k)));
        m_pScalePage->AddChild(key);
        m_pNoteKeys[k] = key;
    }

    SetMode(Synth_FourVoice::c_iModeMekko);
}

Node_ControlPanel::~Node_ControlPanel()
{
    DropWidget(m_pCloseButton);
    DropWidget(m_pAboutButton);
    DropWidget(m_pAboutArea);
    DropWidget(m_pTimbreSlider);
    DropWidget(m_pSynthControlsButton);
    DropWidget(m_pEffectsButton);
    DropWidget(m_pScaleButton);
    DropWidget(m_pBackButton);
    DropWidget(m_pEffectsPage);
    DropWidget(m_pEchoVolumeSlider);
    DropWidget(m_pEchoTimeSlider);
    DropWidget(m_pEchoRepeatSlider);
    DropWidget(m_pOverdriveSlider);
    DropWidget(m_pPulsePage);
    DropWidget(m_pPulseTimbreSlider);
    DropWidget(m_pPulseWidthSlider);
    DropWidget(m_pPWMPage);
    DropWidget(m_pResonanceSlider);
    DropWidget(m_pCutoffSlider);
    DropWidget(m_pScalePage);
    DropWidget(m_pPitchSlider);
    DropWidget(m_pZoomSlider);
    DropWidget(m_pNoteGridButton);
    for (Node_Button*& key : m_pNoteKeys)
        DropWidget(key);
    DropWidget(m_pAutotuneText);
    DropWidget(m_pAutotuneDown);
    DropWidget(m_pAutotuneUp);
    DropWidget(m_pModeDown);
    DropWidget(m_pModeUp);
    DropWidget(m_pModeText);
}

Node_Button* Node_ControlPanel::MakeTextButton(Node* parent, float x, float y, float w, float h,
                                               const char* text, bool toPanel, PanelControl control)
{
    Node_Button* button = Node_Button::Create(x, y, w, h);
    button->SetFont(c_sFont, c_iWhite, c_iWhite);
    button->SetColor(true, c_iButtonColour, c_iButtonLitColour);
    button->SetText(text);
    if (toPanel)
        button->SetCallback(&Node_ControlPanel::ButtonCallback_Static, this, PanelId(control));
    else
        button->SetCallback(&PanelListener::ButtonCallback_Static, m_pListener, PanelId(control));
    parent->AddChild(button);
    return button; // the panel keeps the creation reference
}

Node_Slider* Node_ControlPanel::MakeSlider(Node* parent, float x, float y, float w, float h,
                                           const char* text, PanelControl control, float value)
{
    Node_Slider* slider = Node_Slider::Create(x, y, w, h);
    slider->SetColor(true, c_iSliderFrame, c_iSliderFill, c_iSliderFramePressed,
                     c_iSliderFillPressed);
    slider->SetTouchBorder(0.0f, 10.0f, 0.0f, 20.0f);
    if (text)
    {
        slider->SetFont(c_sFont, c_iWhite, c_iWhite);
        slider->SetText(text);
    }
    slider->SetCallback(&PanelListener::SliderCallback_Static, m_pListener, PanelId(control));
    slider->SetValue(value);
    parent->AddChild(slider);
    return slider;
}

Node* Node_ControlPanel::MakeQuad(Node* parent, float x0, float y0, float x1, float y1)
{
    auto* quad = new Node_2DQuad(Vector2f(x0, y0), Vector2f(x1, y1), 0);
    Material* material = Material::Create();
    material->SetOptions(Material::c_iBlendOpaque, false, false);
    quad->SetMaterial(material);
    material->Release();
    parent->AddChild(quad);
    quad->Release();
    return quad;
}

Node_Text* Node_ControlPanel::MakeText(Node* parent, int x, int y, int justify, const char* text,
                                       bool keep)
{
    Node_Text* label = Node_Text::Create();
    label->SetFont(c_sFont);
    label->SetPos(x, y);
    label->SetJustify(justify);
    label->SetText(text);
    parent->AddChild(label);
    if (!keep)
        label->Release();
    return label;
}

Node* Node_ControlPanel::MakePage()
{
    Node* page = new Node();
    page->SetChildrenVisible(false);
    AddChild(page);
    return page;
}

void Node_ControlPanel::Drop(Node*& node)
{
    if (node)
        node->Release();
    node = nullptr;
}

void Node_ControlPanel::ShowWidget(Node* widget, bool shown)
{
    widget->SetVisible(shown);
    widget->SetChildrenVisible(shown);
}

void Node_ControlPanel::SetActive(bool active)
{
    m_bActive = active;
    for (Node_Button* button : {m_pCloseButton, m_pAboutButton, m_pEffectsButton,
                                m_pSynthControlsButton, m_pScaleButton, m_pModeDown, m_pModeUp})
        button->SetActive(active);
    if (active)
    {
        SetMode(m_iMode);
    }
    else
    {
        m_pTimbreSlider->SetActive(false);
        m_pSynthControlsButton->SetActive(false);
    }
}

void Node_ControlPanel::SetMode(int mode)
{
    m_iMode = mode;
    switch (mode)
    {
    case Synth_FourVoice::c_iModeMekko:
        m_pSynthControlsButton->SetActive(false);
        ShowWidget(m_pSynthControlsButton, false);
        m_pTimbreSlider->SetActive(m_bActive);
        ShowWidget(m_pTimbreSlider, true);
        m_pModeText->SetText(c_sModeNames[0]);
        break;
    case Synth_FourVoice::c_iModePulse:
        m_pSynthControlsButton->SetActive(m_bActive);
        ShowWidget(m_pSynthControlsButton, true);
        m_pTimbreSlider->SetActive(false);
        ShowWidget(m_pTimbreSlider, false);
        m_pModeText->SetText(c_sModeNames[1]);
        break;
    case Synth_FourVoice::c_iModeTheremin:
        m_pSynthControlsButton->SetActive(false);
        ShowWidget(m_pSynthControlsButton, false);
        m_pTimbreSlider->SetActive(false);
        ShowWidget(m_pTimbreSlider, false);
        m_pModeText->SetText(c_sModeNames[2]);
        break;
    case Synth_FourVoice::c_iModePWM:
        m_pSynthControlsButton->SetActive(m_bActive);
        ShowWidget(m_pSynthControlsButton, true);
        m_pTimbreSlider->SetActive(false);
        ShowWidget(m_pTimbreSlider, false);
        m_pModeText->SetText(c_sModeNames[3]);
        break;
    default:
        break;
    }
}

void Node_ControlPanel::SetSubPanel(int page)
{
    for (Node* p : {m_pEffectsPage, m_pPulsePage, m_pPWMPage, m_pScalePage})
    {
        p->SetChildrenVisible(false);
        p->GetTransform().SetPosition(10000.0f, 0.0f, 0.0f);
    }
    Node* chosen = nullptr;
    if (page == c_iPageEffects)
        chosen = m_pEffectsPage;
    else if (page == c_iPageScale)
        chosen = m_pScalePage;
    else if (page == c_iPageSynth)
        chosen = m_iMode == Synth_FourVoice::c_iModePulse ? m_pPulsePage
                 : m_iMode == Synth_FourVoice::c_iModePWM ? m_pPWMPage
                                                          : nullptr;
    if (chosen)
    {
        chosen->SetChildrenVisible(true);
        chosen->GetTransform().SetPosition(0.0f, 0.0f, 0.0f);
    }
}

void Node_ControlPanel::ButtonCallback(int id)
{
    switch (static_cast<PanelControl>(id))
    {
    case PanelControl::SynthControls:
        SetSubPanel(c_iPageSynth);
        break;
    case PanelControl::Effects:
        SetSubPanel(c_iPageEffects);
        break;
    case PanelControl::Scale:
        SetSubPanel(c_iPageScale);
        break;
    case PanelControl::Back:
        m_bSubPanelShown = false;
        SetActive(true);
        return;
    default:
        return;
    }
    m_bSubPanelShown = true;
    SetActive(false);
}

void Node_ControlPanel::ButtonCallback_Static(void* panel, int id)
{
    if (panel)
        static_cast<Node_ControlPanel*>(panel)->ButtonCallback(id);
}

void Node_ControlPanel::Update(float dt)
{
    if (m_bSubPanelShown)
    {
        if (m_rSlide >= 1.0f)
            return;
        m_rSlide = std::min(1.0f, m_rSlide + 2.0f * dt);
    }
    else
    {
        if (m_rSlide <= 0.0f)
            return;
        m_rSlide = std::max(0.0f, m_rSlide - 2.0f * dt);
    }
    float x;
    if (m_rSlide <= 0.0f)
        x = 0.0f;
    else if (m_rSlide >= 1.0f)
        x = -c_rPageWidth;
    else
        x = c_rPageWidth * (0.5f * std::cos(static_cast<float>(M_PI) * m_rSlide) - 0.5f);
    GetTransform().SetPosition(x, 0.0f, 0.0f);
}

void Node_ControlPanel::LoadAbout()
{
    if (m_bAboutLoaded)
        return;
    m_bAboutLoaded = true;
    Node_Sprite* about = Node_Sprite::Create("data/about.png");
    if (!about)
        return; // the about area still closes the screen
    if (Material* material = about->GetMaterial())
        material->SetOptions(Material::c_iBlendOpaque, false, false);
    about->SetOffset(0.0f, 0.0f, false);
    about->SetPosition(0.0f, m_rHeight, true, 0.0f, 1.0f);
    AddChild(about);
    about->Release();

    // The picture tells of touch; the mouse and the keys are written beside the
    // robot's foot, small, where the picture leaves room.
    for (int line = 0; line < c_iAboutDesktopLines; ++line)
    {
        Node_Text* text =
            MakeText(this, 0, 0, Node_Text::c_iJustifyLeft, c_sAboutDesktop[line], true);
        text->SetColor(line == 0 ? c_iAboutHeadingColour : c_iWhite);
        PlaceSmall(text, c_rSmallTextScale, c_rAboutDesktopX,
                   m_rHeight + c_rAboutDesktopY + c_rAboutLineHeight * line);
        text->Release();
    }
}

Node_Slider* Node_ControlPanel::SliderOf(int id) const
{
    switch (static_cast<PanelControl>(id))
    {
    case PanelControl::Resonance:
        return m_pTimbreSlider;
    case PanelControl::EchoVolume:
        return m_pEchoVolumeSlider;
    case PanelControl::EchoTime:
        return m_pEchoTimeSlider;
    case PanelControl::EchoRepeat:
        return m_pEchoRepeatSlider;
    case PanelControl::Overdrive:
        return m_pOverdriveSlider;
    default:
        return nullptr;
    }
}

void Node_ControlPanel::SetSliderValue(int id, float value)
{
    if (Node_Slider* slider = SliderOf(id))
        slider->SetValue(value);
}

float Node_ControlPanel::GetSliderValue(int id)
{
    // The overdrive's position is not read back.
    if (static_cast<PanelControl>(id) == PanelControl::Overdrive)
        return -1.0f;
    Node_Slider* slider = SliderOf(id);
    return slider ? slider->GetValue() : -1.0f;
}

void Node_ControlPanel::SetButtonLit(int id, bool lit)
{
    Node_Button* button = nullptr;
    if (id == PanelId(PanelControl::NoteGrid))
        button = m_pNoteGridButton;
    else if (id >= PanelId(PanelControl::FirstNoteKey) && id <= PanelId(PanelControl::LastNoteKey))
        button = m_pNoteKeys[id - PanelId(PanelControl::FirstNoteKey)];
    if (!button)
        return;
    button->SetColor(true, lit ? c_iButtonLitColour : c_iButtonColour, c_iButtonLitColour);
    if (button != m_pNoteGridButton)
        button->SetLabelColor(lit ? c_iKeyNameLit : c_iKeyNameDim, c_iKeyNameLit);
}

void Node_ControlPanel::PlaceKeyName(Node_Button* key, bool upperRow)
{
    // Neighbouring keys stand 20 points apart: the names are drawn smaller than
    // the panel's text, so that two never run together, centred on the key's
    // part that shows (the upper row covers the top of the lower one).
    Node_Text* label = key->GetLabel();
    const Font* font = label->GetFont();
    if (!font)
        return;
    const Vector2f& min = key->GetMin();
    const Vector2f& max = key->GetMax();
    const float top = upperRow ? min.y : min.y + 2.0f; // the upper row reaches 2 points down
    const float middle = (top + max.y) * 0.5f;
    PlaceSmall(label, c_rKeyNameScale, std::round((min.x + max.x) * 0.5f),
               std::round(middle - c_rKeyNameScale * static_cast<float>(font->GetHeight()) * 0.5f));
}

void Node_ControlPanel::PlaceSmall(Node_Text* text, float scale, float x, float y)
{
    // The pen at the node's origin, the node scaled and placed: the glyphs
    // shrink about the text's own corner rather than the panel's.
    text->SetPos(0, 0);
    Transform& transform = text->GetTransform();
    transform.m_vRow[0].Set(scale, 0.0f, 0.0f);
    transform.m_vRow[1].Set(0.0f, scale, 0.0f);
    transform.SetPosition(x, y, 0.0f);
}

void Node_ControlPanel::SetNoteKeyNames(bool scaleDegrees, int degrees)
{
    for (int k = 0; k < 12; ++k)
        m_pNoteKeys[k]->SetText(!scaleDegrees ? c_sKeyNames[k]
                                : k < degrees ? c_sDegreeNames[k]
                                              : nullptr);
}

void Node_ControlPanel::SetSliderValueText(int id, const char* text)
{
    for (int s = 0; s < static_cast<int>(PanelSlider::Count); ++s)
    {
        Node_Slider* slider = GetSlider(static_cast<PanelSlider>(s));
        if (slider && slider->GetCallbackId() == id)
            slider->SetValueText(text);
    }
}

void Node_ControlPanel::SetAutotuneText(const char* text)
{
    if (m_pAutotuneText)
        m_pAutotuneText->SetText(text);
}

void Node_ControlPanel::SetPitchSlider(float value)
{
    if (m_pPitchSlider)
        m_pPitchSlider->SetValue(value);
}

const char* Node_ControlPanel::GetModeText() const
{
    return m_pModeText ? m_pModeText->GetText() : "";
}

const char* Node_ControlPanel::GetAutotuneText() const
{
    return m_pAutotuneText ? m_pAutotuneText->GetText() : "";
}

Node_Slider* Node_ControlPanel::GetSlider(PanelSlider slider) const
{
    switch (slider)
    {
    case PanelSlider::Timbre:
        return m_pTimbreSlider;
    case PanelSlider::PulseTimbre:
        return m_pPulseTimbreSlider;
    case PanelSlider::PulseWidth:
        return m_pPulseWidthSlider;
    case PanelSlider::Cutoff:
        return m_pCutoffSlider;
    case PanelSlider::Resonance:
        return m_pResonanceSlider;
    case PanelSlider::EchoVolume:
        return m_pEchoVolumeSlider;
    case PanelSlider::EchoTime:
        return m_pEchoTimeSlider;
    case PanelSlider::EchoRepeat:
        return m_pEchoRepeatSlider;
    case PanelSlider::Overdrive:
        return m_pOverdriveSlider;
    case PanelSlider::Pitch:
        return m_pPitchSlider;
    case PanelSlider::Zoom:
        return m_pZoomSlider;
    case PanelSlider::Count:
        break;
    }
    return nullptr;
}
