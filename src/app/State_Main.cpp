#include "app/State_Main.h"

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
#include "scene/Node_Sprite.h"
#include "sound/MpeEncoder.h"
#include "sound/SoundControl_Switch.h"
#include "sound/SoundControl_Theremin.h"
#include "sound/SoundControl_Tweakable.h"
#include "sound/SoundManager.h"
#include "sound/SoundSource_Amp.h"
#include "sound/SoundSource_BLPulse.h"
#include "sound/SoundSource_BLSaw.h"
#include "sound/SoundSource_Delay.h"
#include "sound/SoundSource_LadderFilter.h"
#include "sound/SoundSource_Limiter.h"
#include "sound/SoundSource_Mixer.h"
#include "sound/SoundSource_Osc_Sine.h"
#include "sound/SoundSource_Overdrive.h"
#include "sound/SoundSource_Switch.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float c_rPanelWidth = 165.0f; // points the scene narrows by while the panel is open

// Per synth mode: oscillator, width, cutoff and voice switch selections; -1 leaves a switch.
struct Routing
{
    int oscillator;
    int width;
    int cutoff;
    int voice;
};
constexpr Routing c_routing[4] = {
    {0, -1, 0, 0},   // "Mekko": saw through the filter, the finger sweeps the cutoff
    {1, 0, 0, 0},    // "Pulse": fixed-width pulse through the filter
    {-1, -1, -1, 1}, // "Theremin": sine, the finger sets the volume
    {1, 1, 1, 0},    // "PWM": the finger sets the width, the slider the cutoff
};

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
} // namespace

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
        lava->SetOptions(3, false, false);
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
    } backgrounds[2] = {{"data/newbg5.png", 0}, {"data/newbg4.png", 6}};
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
            material->SetBlendMode(2);
        spotlight->Release();
    }

    m_pPanelOpenButton = Node_DoubleClickButton::Create("data/panelopen.png");
    if (m_pPanelOpenButton)
    {
        if (Material* material = m_pPanelOpenButton->GetMaterial())
        {
            material->SetOptions(3, false, false);
            material->SetColorMask(true, false);
        }
        m_pPanelOpenButton->SetCallback(&State_Main::ButtonCallback_Static, this, 0);
        m_pRoot->AddChild(m_pPanelOpenButton);
    }

    m_pHint = Node_Sprite::Create("data/doubletap.png");
    if (m_pHint)
    {
        if (Material* material = m_pHint->GetMaterial())
            material->SetOptions(2, false, false);
        m_pHint->SetOffset(1.0f, 0.5f, false);
        m_pHint->SetInvisible();
        m_pRoot->AddChild(m_pHint);
    }

    m_pPanelCamera = new Camera_2D();
    m_pControlPanel = new Node_ControlPanel(this);
    m_pControlPanel->SetActive(false);

    m_pSeparator = new Node_2DQuad(Vector2f(0.0f, 0.0f), Vector2f(2.0f, screen.y), 0);
    Material* line = Material::Create();
    line->SetOptions(0, false, false);
    m_pSeparator->SetMaterial(line);
    line->Release();
}

void State_Main::BuildSynth()
{
    m_pMixer = new SoundSource_Mixer();
    m_pPulseWidthControl = new SoundControl_Tweakable(0.5f, 0.99f, 0.0f);
    m_pCutoffControl = new SoundControl_Tweakable(0.0f, 1.0f, 1.0f);

    for (int i = 0; i < c_iVoices; ++i)
    {
        m_pTheremin[i] = new SoundControl_Theremin();
        m_pTheremin[i]->SetCamera(m_pMainCamera);
        m_pRobot->AddTheremin(m_pTheremin[i]);
        m_pBackdrop->AddTheremin(m_pTheremin[i]);
        if (MpeEncoder* mpe = MpeEncoder::GetInstance())
            mpe->SetVoiceSource(i, m_pTheremin[i]);

        m_pSaw[i] = new SoundSource_BLSaw();
        m_pSaw[i]->SetPitchSource(m_pTheremin[i], 0);

        m_pWidthSwitch[i] = new SoundControl_Switch(2);
        m_pWidthSwitch[i]->SetSource(0, m_pPulseWidthControl, 0);
        m_pWidthSwitch[i]->SetSource(1, m_pTheremin[i], 1);

        m_pPulse[i] = new SoundSource_BLPulse();
        m_pPulse[i]->SetPitchSource(m_pTheremin[i], 0);
        m_pPulse[i]->SetWidthSource(m_pWidthSwitch[i], 0);

        m_pOscillatorSwitch[i] = new SoundSource_Switch(2);
        m_pOscillatorSwitch[i]->SetSource(0, m_pSaw[i], 0);
        m_pOscillatorSwitch[i]->SetSource(1, m_pPulse[i], 0);

        m_pCutoffSwitch[i] = new SoundControl_Switch(2);
        m_pCutoffSwitch[i]->SetSource(0, m_pTheremin[i], 1);
        m_pCutoffSwitch[i]->SetSource(1, m_pCutoffControl, 0);

        m_pFilter[i] = new SoundSource_LadderFilter();
        m_pFilter[i]->SetSoundSource(m_pOscillatorSwitch[i], 0);
        m_pFilter[i]->SetCutoffSource(m_pCutoffSwitch[i], 0);

        m_pSine[i] = new SoundSource_Osc_Sine();
        m_pSine[i]->SetPitchSource(m_pTheremin[i], 0);

        m_pAmp[i] = new SoundSource_Amp();
        m_pAmp[i]->SetSoundSource(m_pSine[i], 0);
        m_pAmp[i]->SetVolumeSource(m_pTheremin[i], 1);

        m_pVoiceSwitch[i] = new SoundSource_Switch(2);
        m_pVoiceSwitch[i]->SetSource(0, m_pFilter[i], 0);
        m_pVoiceSwitch[i]->SetSource(1, m_pAmp[i], 0);

        m_pMixer->AddSoundSource(m_pVoiceSwitch[i], 0, 1.0f);
    }

    m_pOverdrive = new SoundSource_Overdrive();
    m_pOverdrive->SetSoundSource(m_pMixer, 0);
    m_pDelay = new SoundSource_Delay();
    m_pDelay->SetSoundSource(m_pOverdrive, 0);

    m_pControlPanel->SetSliderValue(8, 8.0f / 11.0f);
    m_pControlPanel->SetSliderValue(11, 0.24f);
    m_pControlPanel->SetSliderValue(12, 0.15f);
    m_pControlPanel->SetSliderValue(13, 0.4f);
    m_pControlPanel->SetSliderValue(14, 0.0f);
    m_pDelay->SetDelayLevel(m_pControlPanel->GetSliderValue(11));
    m_pDelay->SetDelayTime(m_pControlPanel->GetSliderValue(12));
    m_pDelay->SetFeedback(m_pControlPanel->GetSliderValue(13));

    m_pLimiter = new SoundSource_Limiter();
    m_pLimiter->SetSource(m_pDelay, 0);

    if (SoundManager* sound = SoundManager::GetInstance())
    {
        sound->SetStreamSource(m_pLimiter);
        sound->StartStream();
    }
}

void State_Main::SetSynthMode()
{
    if (m_iSynthMode >= 0 && m_iSynthMode < 4)
    {
        const Routing& routing = c_routing[m_iSynthMode];
        for (int i = 0; i < c_iVoices; ++i)
        {
            if (routing.oscillator >= 0)
                m_pOscillatorSwitch[i]->SetCurrentSource(routing.oscillator);
            if (routing.width >= 0)
                m_pWidthSwitch[i]->SetCurrentSource(routing.width);
            if (routing.cutoff >= 0)
                m_pCutoffSwitch[i]->SetCurrentSource(routing.cutoff);
            if (routing.voice >= 0)
                m_pVoiceSwitch[i]->SetCurrentSource(routing.voice);
        }
    }
    if (m_pControlPanel)
        m_pControlPanel->SetMode(m_iSynthMode);
    if (m_pRobot)
        m_pRobot->SetMouthMode(m_iSynthMode);
}

void State_Main::SetAutotuneMode(int mode)
{
    m_iAutotuneMode = mode;
    if (mode >= 0 && mode < 4)
    {
        SoundControl_Theremin::SetAutotuneSamples(c_autotune[mode].samples,
                                                  c_autotune[mode].enabled);
        if (m_pControlPanel)
            m_pControlPanel->SetAutotuneText(c_autotune[mode].text);
    }
    if (m_pNoteGrid)
        m_pNoteGrid->UpdateGeometry();
}

void State_Main::SliderCallback(int id, int /*phase*/, float value)
{
    switch (id)
    {
    case 8:
        for (SoundSource_LadderFilter* filter : m_pFilter)
            if (filter)
                filter->SetResonance(value * 11.0f);
        break;
    case 9:
        if (m_pPulseWidthControl)
            m_pPulseWidthControl->GetTweakable()->SetValue_Range(value);
        break;
    case 10:
        if (m_pCutoffControl)
            m_pCutoffControl->GetTweakable()->SetValue_Range(value);
        break;
    case 11:
        if (m_pDelay)
            m_pDelay->SetDelayLevel(value);
        break;
    case 12:
        if (m_pDelay)
            m_pDelay->SetDelayTime(value);
        break;
    case 13:
        if (m_pDelay)
            m_pDelay->SetFeedback(value);
        break;
    case 14:
        if (m_pOverdrive)
            m_pOverdrive->SetDrive(value);
        break;
    case 15:
        SoundControl_Theremin::SetPitchScale(value);
        if (m_pControlPanel)
            m_pControlPanel->SetPitchSlider(SoundControl_Theremin::GetPitchScale());
        if (m_pNoteGrid)
            m_pNoteGrid->UpdateGeometry();
        break;
    case 16:
        SoundControl_Theremin::SetPitchZoom(value);
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
    switch (id)
    {
    case 0:
        m_bPanelOpen = true;
        if (m_pPanelOpenButton)
            m_pPanelOpenButton->SetVisible(false);
        m_pControlPanel->SetActive(true);
        break;
    case 1:
        m_bPanelOpen = false;
        if (m_pPanelOpenButton)
            m_pPanelOpenButton->SetVisible(true);
        m_pControlPanel->SetActive(false);
        break;
    case 2:
        m_bAboutShown = true;
        m_pControlPanel->SetActive(false);
        m_pControlPanel->LoadAbout();
        break;
    case 3:
        m_bAboutShown = false;
        m_pControlPanel->SetActive(m_bPanelOpen);
        break;
    case 17:
        m_iSynthMode = m_iSynthMode - 1 < 0 ? 3 : m_iSynthMode - 1;
        SetSynthMode();
        break;
    case 18:
        m_iSynthMode = m_iSynthMode + 1 > 3 ? 0 : m_iSynthMode + 1;
        SetSynthMode();
        break;
    case 21:
        SetAutotuneMode((m_iAutotuneMode + 3) % 4);
        break;
    case 22:
        SetAutotuneMode((m_iAutotuneMode + 1) % 4);
        break;
    case 23:
        m_bNoteGridShown = !m_bNoteGridShown;
        m_pControlPanel->SetButtonLit(23, m_bNoteGridShown);
        if (m_bNoteGridShown)
        {
            if (!m_pNoteGrid)
            {
                m_pNoteGrid = new Node_NoteGrid();
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
        if (id >= 24 && id <= 35)
        {
            const int key = id - 24;
            SoundControl_Theremin::ToggleNote(key);
            m_pControlPanel->SetButtonLit(id, SoundControl_Theremin::IsNoteEnabled(key));
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
    for (SoundControl_Theremin* theremin : m_pTheremin)
        theremin->UpdateTouchPosition();
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
        ButtonCallback(0);
}

void State_Main::ClosePanel()
{
    if (!m_bInitialised || !m_bPanelOpen)
        return;
    if (m_bAboutShown)
        ButtonCallback(3);
    if (m_pControlPanel->IsSubPanelShown())
        m_pControlPanel->ButtonCallback(7); // "Back"
    ButtonCallback(1);
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
    if (MpeEncoder* mpe = MpeEncoder::GetInstance())
        for (int i = 0; i < c_iVoices; ++i)
            if (m_pTheremin[i])
                mpe->SetVoiceSource(i, nullptr);
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
    for (int i = 0; i < c_iVoices; ++i)
    {
        DeleteObject(m_pSaw[i]);
        DeleteObject(m_pPulse[i]);
        DeleteObject(m_pOscillatorSwitch[i]);
        DeleteObject(m_pFilter[i]);
        DeleteObject(m_pCutoffSwitch[i]);
        DeleteObject(m_pSine[i]);
        DeleteObject(m_pAmp[i]);
        DeleteObject(m_pVoiceSwitch[i]);
        DeleteObject(m_pTheremin[i]);
        DeleteObject(m_pWidthSwitch[i]);
    }
    DeleteObject(m_pPulseWidthControl);
    DeleteObject(m_pCutoffControl);
    DeleteObject(m_pMixer);
    DeleteObject(m_pDelay);
    DeleteObject(m_pOverdrive);
    DeleteObject(m_pLimiter);
    m_bInitialised = false;
}

SoundControl_Theremin* State_Main::GetTheremin(int voice) const
{
    return voice >= 0 && voice < c_iVoices ? m_pTheremin[voice] : nullptr;
}

SoundSource_LadderFilter* State_Main::GetFilter(int voice) const
{
    return voice >= 0 && voice < c_iVoices ? m_pFilter[voice] : nullptr;
}

SoundSource_Switch* State_Main::GetOscillatorSwitch(int voice) const
{
    return voice >= 0 && voice < c_iVoices ? m_pOscillatorSwitch[voice] : nullptr;
}

SoundSource_Switch* State_Main::GetVoiceSwitch(int voice) const
{
    return voice >= 0 && voice < c_iVoices ? m_pVoiceSwitch[voice] : nullptr;
}

SoundControl_Switch* State_Main::GetWidthSwitch(int voice) const
{
    return voice >= 0 && voice < c_iVoices ? m_pWidthSwitch[voice] : nullptr;
}

SoundControl_Switch* State_Main::GetCutoffSwitch(int voice) const
{
    return voice >= 0 && voice < c_iVoices ? m_pCutoffSwitch[voice] : nullptr;
}
