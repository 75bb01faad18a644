#include "app/State_Main.h"

#include "dsp/SoundManager.h"
#include "file/File.h"
#include "render/Camera_2D.h"
#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/Node.h"
#include "scene/Node_2DQuad.h"
#include "scene/Node_Backdrop.h"
#include "scene/Node_ControlPanel.h"
#include "scene/Node_Decals.h"
#include "scene/Node_DoubleClickButton.h"
#include "scene/Node_NoteGrid.h"
#include "scene/Node_Robot.h"
#include "scene/Node_Slider.h"
#include "scene/Node_Sprite.h"
#include "scene/PanelControl.h"
#include "synth/Synth_FourVoice.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr float c_rPanelWidth = 165.0f; // points the scene narrows by while the panel is open

struct AutotuneSetting
{
    const char* text;
    int samples;
    bool enabled;
};
constexpr AutotuneSetting c_autotune[4] = {
    {"Off", 0, false},
    {"Slow", 4410, true}, // 0.1 s glide
    {"Fast", 264, true},  // about 6 ms
    {"Snap", 0, true},
};

void Place(Node_Sprite* sprite, const Vector2f& at)
{
    sprite->SetPosition(at.x, at.y, true, 0.0f, 1.0f);
}

// The saw's wavetable from its resource file; the oscillators compute it when
// the file is missing or damaged.
void LoadSawTable()
{
    std::vector<unsigned char> bytes;
    if (std::unique_ptr<File> file(File::Open(SoundSource_BLSaw::c_sFileName, true)); file)
    {
        bytes.resize(SoundSource_BLSaw::c_iFileBytes);
        if (!file->Read(bytes.data(), SoundSource_BLSaw::c_iFileBytes))
            bytes.clear();
    }
    SoundSource_BLSaw::LoadTable(bytes.data(), bytes.size());
}

// The synth parameter a panel slider shows, as the slider's position. The
// three resonance sliders each stand for their own mode's.
bool IsSynthSlider(PanelSlider slider)
{
    return slider != PanelSlider::Pitch && slider != PanelSlider::Zoom;
}

float SynthPosition(const Synth_FourVoice& synth, PanelSlider slider)
{
    switch (slider)
    {
    case PanelSlider::Timbre:
        return synth.GetModeResonance(Synth_FourVoice::c_iModeMekko);
    case PanelSlider::PulseTimbre:
        return synth.GetModeResonance(Synth_FourVoice::c_iModePulse);
    case PanelSlider::Resonance:
        return synth.GetModeResonance(Synth_FourVoice::c_iModePWM);
    case PanelSlider::PulseWidth:
        return synth.GetPulseWidth();
    case PanelSlider::Cutoff:
        return synth.GetCutoff();
    case PanelSlider::EchoVolume:
        return synth.GetEchoLevel();
    case PanelSlider::EchoTime:
        return synth.GetEchoTime();
    case PanelSlider::EchoRepeat:
        return synth.GetEchoRepeat();
    case PanelSlider::Overdrive:
        return synth.GetOverdrive();
    default:
        return 0.0f;
    }
}

void SetSynthPosition(Synth_FourVoice& synth, PanelSlider slider, float position)
{
    switch (slider)
    {
    case PanelSlider::Timbre:
        synth.SetModeResonance(Synth_FourVoice::c_iModeMekko, position);
        break;
    case PanelSlider::PulseTimbre:
        synth.SetModeResonance(Synth_FourVoice::c_iModePulse, position);
        break;
    case PanelSlider::Resonance:
        synth.SetModeResonance(Synth_FourVoice::c_iModePWM, position);
        break;
    case PanelSlider::PulseWidth:
        synth.SetPulseWidth(position);
        break;
    case PanelSlider::Cutoff:
        synth.SetCutoff(position);
        break;
    case PanelSlider::EchoVolume:
        synth.SetEchoLevel(position);
        break;
    case PanelSlider::EchoTime:
        synth.SetEchoTime(position);
        break;
    case PanelSlider::EchoRepeat:
        synth.SetEchoRepeat(position);
        break;
    case PanelSlider::Overdrive:
        synth.SetOverdrive(position);
        break;
    default:
        break;
    }
}
} // namespace

State_Main::State_Main() = default;

State_Main::~State_Main()
{
    Exit();
}

template <typename T> void State_Main::ReleaseNode(T*& node)
{
    if (node)
        node->Release();
    node = nullptr;
}

template <typename T> void State_Main::DeleteObject(T*& object)
{
    delete object;
    object = nullptr;
}

bool State_Main::Init()
{
    if (m_bInitialised)
        return true;
    BuildScene();
    BuildSynth();
    m_bInitialised = true;
    return true;
}

void State_Main::BuildScene()
{
    m_pRoot = new Node();
    Renderer* renderer = Renderer::GetInstance();
    const Vector2f screen = renderer ? renderer->GetScreenSize(true) : Vector2f(480.0f, 320.0f);
    const Vector2f centre(screen.x * 0.5f, screen.y * 0.5f);

    m_pMainCamera = new Camera_2D();

    m_pBackdrop = new Node_Backdrop();
    m_pRoot->AddChild(m_pBackdrop);
    if (Material* lava = Material::Create("data/lava.png"))
    {
        lava->SetOptions(Material::c_iBlendAdd, false, false);
        lava->SetFilter(1, 1);
        lava->SetColorMask(false, true);
        lava->SetTextureMode(1, 1);
        m_pBackdrop->SetMaterial(lava);
        lava->Release();
    }

    // The two backgrounds: the second is mixed over the first through the
    // destination alpha the backdrop wrote.
    const struct
    {
        const char* path;
        char blend;
    } backgrounds[2] = {{"data/newbg5.png", Material::c_iBlendOpaque},
                        {"data/newbg4.png", Material::c_iBlendDestinationAlpha}};
    for (const auto& background : backgrounds)
    {
        Node_Sprite* sprite = Node_Sprite::Create(background.path);
        if (!sprite)
            continue; // an image that fails to load is left out
        Place(sprite, centre);
        if (Material* material = sprite->GetMaterial())
        {
            material->SetOptions(background.blend, false, false);
            material->SetColorMask(true, false);
        }
        m_pRoot->AddChild(sprite);
        sprite->Release();
    }

    m_pDecals = new Node_Decals();
    m_pRoot->AddChild(m_pDecals);

    Node_Sprite* spotlight = Node_Sprite::Create("data/spotlight.png");
    if (spotlight)
    {
        Place(spotlight, centre);
        m_pRoot->AddChild(spotlight);
    }
    m_pRobot = new Node_Robot();
    m_pRoot->AddChild(m_pRobot);
    if (spotlight)
    {
        if (Material* material = spotlight->GetMaterial())
            material->SetBlendMode(Material::c_iBlendPremultiplied);
        spotlight->Release();
    }

    m_pPanelOpenButton = Node_DoubleClickButton::Create("data/panelopen.png");
    if (m_pPanelOpenButton)
    {
        if (Material* material = m_pPanelOpenButton->GetMaterial())
        {
            material->SetOptions(Material::c_iBlendAdd, false, false);
            material->SetColorMask(true, false);
        }
        m_pPanelOpenButton->SetCallback(&State_Main::ButtonCallback_Static, this,
                                        PanelId(PanelControl::Open));
        m_pRoot->AddChild(m_pPanelOpenButton);
    }

    m_pHint = Node_Sprite::Create("data/doubletap.png");
    if (m_pHint)
    {
        if (Material* material = m_pHint->GetMaterial())
            material->SetOptions(Material::c_iBlendPremultiplied, false, false);
        m_pHint->SetOffset(1.0f, 0.5f, false);
        m_pHint->SetInvisible();
        m_pRoot->AddChild(m_pHint);
    }

    m_pPanelCamera = new Camera_2D();
    m_pControlPanel = new Node_ControlPanel(this);
    m_pControlPanel->SetActive(false);

    m_pSeparator = new Node_2DQuad(Vector2f(0.0f, 0.0f), Vector2f(2.0f, screen.y), 0);
    Material* line = Material::Create();
    line->SetOptions(Material::c_iBlendOpaque, false, false);
    m_pSeparator->SetMaterial(line);
    line->Release();
}

void State_Main::BuildSynth()
{
    LoadSawTable();
    SoundManager* sound = SoundManager::GetInstance();
    m_pSynth = std::make_unique<Synth_FourVoice>(sound ? sound->GetSampleRate()
                                                       : SoundManager::c_rSampleRate,
                                                 SoundManager::c_iMaxBlockSamples);
    m_pSynth->SetCamera(m_pMainCamera);
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
    {
        SoundControl_Theremin* theremin = m_pSynth->GetTheremin(i);
        m_pRobot->AddTheremin(theremin);
        m_pBackdrop->AddTheremin(theremin);
    }

    // The synth starts with its parameters applied; the panel shows them.
    ShowSynthParameters();
    ShowNoteKeys();

    if (sound)
    {
        sound->SetStreamSource(m_pSynth->GetRoot());
        sound->StartStream();
    }
}

void State_Main::ShowNoteKeys()
{
    const InstrumentState& instrument = m_pSynth->GetInstrumentState();
    for (int key = 0; key < 12; ++key)
        m_pControlPanel->SetButtonLit(PanelId(NoteKey(key)), instrument.IsNoteEnabled(key));
}

void State_Main::SetTuning(const Tuning* tuning)
{
    if (!m_bInitialised)
        return;
    m_pSynth->GetInstrumentState().SetTuning(tuning);
    ShowNoteKeys();
    if (m_pNoteGrid)
        m_pNoteGrid->UpdateGeometry();
}

void State_Main::ShowSynthParameters()
{
    for (int i = 0; i < Settings::c_iSliders; ++i)
    {
        const auto slider = static_cast<PanelSlider>(i);
        Node_Slider* widget = m_pControlPanel->GetSlider(slider);
        if (widget && IsSynthSlider(slider))
            widget->SetValue(SynthPosition(*m_pSynth, slider));
    }
}

Settings State_Main::CaptureSettings() const
{
    Settings settings;
    if (!m_bInitialised)
        return settings;
    const InstrumentState& instrument = m_pSynth->GetInstrumentState();
    settings.iMode = m_iSynthMode;
    settings.iAutotune = m_iAutotuneMode;
    for (int key = 0; key < 12; ++key)
        settings.bNotes[static_cast<size_t>(key)] = instrument.IsNoteEnabled(key);
    settings.bGrid = m_bNoteGridShown;
    for (int i = 0; i < Settings::c_iSliders; ++i)
    {
        const auto slider = static_cast<PanelSlider>(i);
        if (IsSynthSlider(slider))
            settings.SetSlider(slider, SynthPosition(*m_pSynth, slider));
    }
    // The window as the sliders made it (at full zoom the pitch slider steps).
    settings.SetSlider(PanelSlider::Pitch, instrument.GetPitchScale());
    settings.SetSlider(PanelSlider::Zoom, instrument.GetPitchZoom());
    return settings;
}

void State_Main::ApplySettings(const Settings& settings)
{
    if (!m_bInitialised)
        return;
    for (int i = 0; i < Settings::c_iSliders; ++i)
    {
        const auto slider = static_cast<PanelSlider>(i);
        if (IsSynthSlider(slider))
            SetSynthPosition(*m_pSynth, slider, settings.GetSlider(slider));
        else if (Node_Slider* widget = m_pControlPanel->GetSlider(slider))
            widget->SetValue(settings.GetSlider(slider));
    }
    // The mode brings its own resonance; the panel shows every parameter.
    m_iSynthMode = std::clamp(settings.iMode, 0, Synth_FourVoice::c_iModes - 1);
    SetSynthMode();

    SetAutotuneMode(std::clamp(settings.iAutotune, 0, 3));
    InstrumentState& instrument = m_pSynth->GetInstrumentState();
    // Switched on first, so that the last enabled note is never the one refused.
    for (const bool on : {true, false})
        for (int key = 0; key < 12; ++key)
            if (settings.bNotes[static_cast<size_t>(key)] == on &&
                instrument.IsNoteEnabled(key) != on)
                instrument.ToggleNote(key);
    ShowNoteKeys();

    instrument.SetWindow(settings.GetSlider(PanelSlider::Pitch),
                         settings.GetSlider(PanelSlider::Zoom));
    m_pControlPanel->SetPitchSlider(instrument.GetPitchScale());
    if (settings.bGrid != m_bNoteGridShown)
        ButtonCallback(PanelId(PanelControl::NoteGrid));
    else if (m_pNoteGrid)
        m_pNoteGrid->UpdateGeometry();
}

void State_Main::SetSynthMode()
{
    m_pSynth->SetMode(m_iSynthMode);
    if (m_pControlPanel)
    {
        m_pControlPanel->SetMode(m_iSynthMode);
        ShowSynthParameters();
    }
    if (m_pRobot)
        m_pRobot->SetMouthMode(m_iSynthMode);
}

void State_Main::SetAutotuneMode(int mode)
{
    m_iAutotuneMode = mode;
    if (mode >= 0 && mode < 4)
    {
        m_pSynth->GetInstrumentState().SetAutotuneSamples(c_autotune[mode].samples,
                                                          c_autotune[mode].enabled);
        if (m_pControlPanel)
            m_pControlPanel->SetAutotuneText(c_autotune[mode].text);
    }
    if (m_pNoteGrid)
        m_pNoteGrid->UpdateGeometry();
}

void State_Main::SliderCallback(int id, int /*phase*/, float value)
{
    switch (static_cast<PanelControl>(id))
    {
    case PanelControl::Resonance:
        m_pSynth->SetResonance(value);
        break;
    case PanelControl::PulseWidth:
        m_pSynth->SetPulseWidth(value);
        break;
    case PanelControl::Cutoff:
        m_pSynth->SetCutoff(value);
        break;
    case PanelControl::EchoVolume:
        m_pSynth->SetEchoLevel(value);
        break;
    case PanelControl::EchoTime:
        m_pSynth->SetEchoTime(value);
        break;
    case PanelControl::EchoRepeat:
        m_pSynth->SetEchoRepeat(value);
        break;
    case PanelControl::Overdrive:
        m_pSynth->SetOverdrive(value);
        break;
    case PanelControl::Pitch:
        m_pSynth->GetInstrumentState().SetPitchScale(value);
        if (m_pControlPanel)
            m_pControlPanel->SetPitchSlider(m_pSynth->GetInstrumentState().GetPitchScale());
        if (m_pNoteGrid)
            m_pNoteGrid->UpdateGeometry();
        break;
    case PanelControl::Zoom:
        m_pSynth->GetInstrumentState().SetPitchZoom(value);
        if (m_pNoteGrid)
            m_pNoteGrid->UpdateGeometry();
        break;
    default:
        break;
    }
}

void State_Main::SliderCallback_Static(void* state, int id, int phase, float value)
{
    if (state)
        static_cast<State_Main*>(state)->SliderCallback(id, phase, value);
}

void State_Main::ButtonCallback(int id)
{
    const int modes = Synth_FourVoice::c_iModes;
    switch (static_cast<PanelControl>(id))
    {
    case PanelControl::Open:
        m_bPanelOpen = true;
        if (m_pPanelOpenButton)
            m_pPanelOpenButton->SetVisible(false);
        m_pControlPanel->SetActive(true);
        ShowSynthParameters();
        break;
    case PanelControl::Close:
        m_bPanelOpen = false;
        if (m_pPanelOpenButton)
            m_pPanelOpenButton->SetVisible(true);
        m_pControlPanel->SetActive(false);
        break;
    case PanelControl::About:
        m_bAboutShown = true;
        m_pControlPanel->SetActive(false);
        m_pControlPanel->LoadAbout();
        break;
    case PanelControl::AboutDismiss:
        m_bAboutShown = false;
        m_pControlPanel->SetActive(m_bPanelOpen);
        break;
    case PanelControl::ModeDown:
        m_iSynthMode = m_iSynthMode - 1 < 0 ? modes - 1 : m_iSynthMode - 1;
        SetSynthMode();
        break;
    case PanelControl::ModeUp:
        m_iSynthMode = m_iSynthMode + 1 > modes - 1 ? 0 : m_iSynthMode + 1;
        SetSynthMode();
        break;
    case PanelControl::AutotuneDown:
        SetAutotuneMode((m_iAutotuneMode + 3) % 4);
        break;
    case PanelControl::AutotuneUp:
        SetAutotuneMode((m_iAutotuneMode + 1) % 4);
        break;
    case PanelControl::NoteGrid:
        m_bNoteGridShown = !m_bNoteGridShown;
        m_pControlPanel->SetButtonLit(id, m_bNoteGridShown);
        if (m_bNoteGridShown)
        {
            if (!m_pNoteGrid)
            {
                m_pNoteGrid = new Node_NoteGrid(m_pSynth->GetInstrumentState());
                m_pRoot->AddChild(m_pNoteGrid);
            }
            else
            {
                m_pNoteGrid->UpdateGeometry();
            }
        }
        if (m_pNoteGrid)
            m_pNoteGrid->SetVisible(m_bNoteGridShown);
        break;
    default:
        if (id >= PanelId(PanelControl::FirstNoteKey) && id <= PanelId(PanelControl::LastNoteKey))
        {
            const int key = id - PanelId(PanelControl::FirstNoteKey);
            InstrumentState& instrument = m_pSynth->GetInstrumentState();
            instrument.ToggleNote(key);
            m_pControlPanel->SetButtonLit(id, instrument.IsNoteEnabled(key));
            if (m_pNoteGrid)
                m_pNoteGrid->UpdateGeometry();
        }
        break;
    }
}

void State_Main::ButtonCallback_Static(void* state, int id)
{
    if (state)
        static_cast<State_Main*>(state)->ButtonCallback(id);
}

void State_Main::Update(float dt)
{
    if (!m_bInitialised)
        return;
    if (m_pPanelOpenButton)
        m_pPanelOpenButton->Update(dt);
    m_pBackdrop->Update(dt);
    m_pDecals->Update(dt);

    m_rAboutSlide =
        m_bAboutShown ? std::min(1.0f, m_rAboutSlide + dt) : std::max(0.0f, m_rAboutSlide - dt);
    const float W = m_pMainCamera->GetScreenWidth();
    const float H = m_pMainCamera->GetScreenHeight();
    const float aboutOffset =
        m_rAboutSlide <= 0.0f
            ? 0.0f
            : -H * (0.5f - 0.5f * std::cos(static_cast<float>(M_PI) * m_rAboutSlide));

    m_rPanelSlide = m_bPanelOpen ? std::min(1.0f, m_rPanelSlide + 2.0f * dt)
                                 : std::max(0.0f, m_rPanelSlide - 2.0f * dt);
    const float panelLeft = W - c_rPanelWidth * m_rPanelSlide;
    if (m_rPanelSlide > 0.0f)
        m_pSeparator->GetTransform().SetPosition(panelLeft, 0.0f, 0.0f);
    m_pMainCamera->SetViewport(Vector2f(0.0f, aboutOffset), Vector2f(panelLeft, aboutOffset + H));
    m_pPanelCamera->SetPosition(W * 0.5f, H * 0.5f - aboutOffset);

    if (m_pPanelOpenButton && m_pHint && m_pPanelOpenButton->GetFailedClickCount(false) > 2)
    {
        m_pPanelOpenButton->GetFailedClickCount(true);
        Renderer* renderer = Renderer::GetInstance();
        const Vector2f screen = renderer ? renderer->GetScreenSize(true) : Vector2f(W, H);
        m_pHint->SetPosition(screen.x - 40.0f, screen.y - 25.0f, true, 0.0f, 1.0f);
        m_rHintTime = 0.0f;
    }
    if (m_pHint && m_pHint->IsVisible())
    {
        m_rHintTime += dt;
        float a = 1.0f;
        if (m_rHintTime < 0.7f)
            a = m_rHintTime / 0.7f;
        else if (m_rHintTime < 4.3f)
            a = 1.0f;
        else if (m_rHintTime < 5.0f)
            a = 1.0f - (m_rHintTime - 4.3f) / 0.7f;
        else
            m_pHint->SetInvisible();
        const unsigned int b = static_cast<unsigned int>(a * 255.0f) & 0xFFu;
        m_pHint->SetColor(b | (b << 8) | (b << 16) | (b << 24));
    }

    m_pControlPanel->Update(dt);
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        m_pSynth->GetTheremin(i)->UpdateTouchPosition();
}

void State_Main::Render(Renderer& renderer)
{
    if (!renderer.IsValid())
        return;
    renderer.BeginFrame(true, 0);
    if (m_bInitialised)
    {
        if (m_rPanelSlide > 0.0f)
        {
            renderer.RenderTree(m_pControlPanel, m_pPanelCamera);
            renderer.RenderTree(m_pSeparator, m_pPanelCamera);
        }
        renderer.RenderTree(m_pRoot, m_pMainCamera);
    }
    renderer.EndFrame(true);
}

void State_Main::SkipRender()
{
    // The robot steps whenever the scene tree reaches it while drawing.
    if (m_bInitialised && m_pRobot && m_pRobot->IsVisible() && m_pRoot->AreChildrenVisible())
        m_pRobot->Animate();
}

void State_Main::OpenPanel()
{
    if (m_bInitialised && !m_bPanelOpen)
        ButtonCallback(PanelId(PanelControl::Open));
}

void State_Main::ClosePanel()
{
    if (!m_bInitialised || !m_bPanelOpen)
        return;
    if (m_bAboutShown)
        ButtonCallback(PanelId(PanelControl::AboutDismiss));
    if (m_pControlPanel->IsSubPanelShown())
        m_pControlPanel->ButtonCallback(PanelId(PanelControl::Back));
    ButtonCallback(PanelId(PanelControl::Close));
}

void State_Main::TogglePanel()
{
    if (m_bPanelOpen)
        ClosePanel();
    else
        OpenPanel();
}

void State_Main::Exit()
{
    // The audio thread stops pulling before any node goes. A state destroyed
    // after the sound manager is gone has nothing to stop.
    if (SoundManager* sound = SoundManager::GetInstance())
    {
        sound->StopStream();
        sound->SetStreamSource(nullptr);
    }
    ReleaseNode(m_pRoot);
    DeleteObject(m_pMainCamera);
    ReleaseNode(m_pBackdrop);
    ReleaseNode(m_pDecals);
    ReleaseNode(m_pRobot);
    ReleaseNode(m_pNoteGrid);
    ReleaseNode(m_pPanelOpenButton);
    ReleaseNode(m_pHint);
    DeleteObject(m_pPanelCamera);
    ReleaseNode(m_pControlPanel);
    ReleaseNode(m_pSeparator);
    m_pSynth.reset();
    m_bInitialised = false;
}

SoundControl_Theremin* State_Main::GetTheremin(int voice) const
{
    return m_pSynth ? m_pSynth->GetTheremin(voice) : nullptr;
}
