#include "app/State_Main.h"

#include "dsp/SoundManager.h"
#include "file/File.h"
#include "render/Renderer.h"
#include "scene/Node_ControlPanel.h"
#include "scene/PanelControl.h"
#include "synth/Synth_FourVoice.h"

#include <memory>
#include <vector>

namespace
{
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
} // namespace

State_Main::State_Main() = default;

State_Main::~State_Main()
{
    Exit();
}

bool State_Main::Init()
{
    if (m_bInitialised)
        return true;
    m_scene.Build(this);
    BuildSynth();
    m_bInitialised = true;
    return true;
}

void State_Main::BuildSynth()
{
    LoadSawTable();
    SoundManager* sound = SoundManager::GetInstance();
    m_pSynth = std::make_unique<Synth_FourVoice>(sound ? sound->GetSampleRate()
                                                       : SoundManager::c_rSampleRate,
                                                 SoundManager::c_iMaxBlockSamples);
    m_pSynth->SetCamera(m_scene.GetMainCamera());
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        m_scene.AddTheremin(m_pSynth->GetTheremin(i));
    m_router.Attach(&m_scene, m_pSynth.get());

    // The synth starts with its parameters applied; the panel shows them.
    m_router.ShowSynthParameters();
    m_router.ShowNoteKeys();

    if (sound)
    {
        sound->SetStreamSource(m_pSynth->GetRoot());
        sound->StartStream();
    }
}

void State_Main::SliderCallback_Static(void* state, int id, int phase, float value)
{
    if (state)
        static_cast<State_Main*>(state)->SliderCallback(id, phase, value);
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
    m_scene.Update(dt);
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        m_pSynth->GetTheremin(i)->UpdateTouchPosition();
}

void State_Main::Render(Renderer& renderer)
{
    if (!renderer.IsValid())
        return;
    renderer.BeginFrame(true, 0);
    if (m_bInitialised)
        m_scene.Render(renderer);
    renderer.EndFrame(true);
}

void State_Main::SkipRender()
{
    if (m_bInitialised)
        m_scene.SkipRender();
}

void State_Main::OpenPanel()
{
    if (m_bInitialised && !m_scene.IsPanelOpen())
        ButtonCallback(PanelId(PanelControl::Open));
}

void State_Main::ClosePanel()
{
    if (!m_bInitialised || !m_scene.IsPanelOpen())
        return;
    if (m_scene.IsAboutShown())
        ButtonCallback(PanelId(PanelControl::AboutDismiss));
    if (m_scene.GetControlPanel()->IsSubPanelShown())
        m_scene.GetControlPanel()->ButtonCallback(PanelId(PanelControl::Back));
    ButtonCallback(PanelId(PanelControl::Close));
}

void State_Main::TogglePanel()
{
    if (m_scene.IsPanelOpen())
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
    m_router.Attach(nullptr, nullptr);
    m_scene.Release();
    m_pSynth.reset();
    m_bInitialised = false;
}

SoundControl_Theremin* State_Main::GetTheremin(int voice) const
{
    return m_pSynth ? m_pSynth->GetTheremin(voice) : nullptr;
}
