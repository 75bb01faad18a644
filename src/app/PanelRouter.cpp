#include "app/PanelRouter.h"

#include "app/MainScene.h"
#include "app/SynthSettings.h"
#include "dsp/SoundManager.h"
#include "dsp/SoundSource_Delay.h"
#include "dsp/SoundSource_LadderFilter.h"
#include "formats/Tuning.h"
#include "scene/Node_ControlPanel.h"
#include "scene/Node_Robot.h"
#include "scene/Node_Slider.h"
#include "scene/PanelControl.h"
#include "synth/Synth_FourVoice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void PanelRouter::Attach(MainScene* scene, Synth_FourVoice* synth)
{
    m_pScene = scene;
    m_pSynth = synth;
}

void PanelRouter::ShowNoteKeys()
{
    const InstrumentState& instrument = m_pSynth->GetInstrumentState();
    for (int key = 0; key < 12; ++key)
        m_pScene->GetControlPanel()->SetButtonLit(PanelId(NoteKey(key)),
                                                  instrument.IsNoteEnabled(key));
}

void PanelRouter::SetTuning(const Tuning* tuning)
{
    if (!IsAttached())
        return;
    m_pSynth->GetInstrumentState().SetTuning(tuning);
    if (Node_ControlPanel* panel = m_pScene->GetControlPanel())
        panel->SetNoteKeyNames(m_pSynth->GetInstrumentState().IsTuned(),
                               m_pSynth->GetInstrumentState().GetDegreeCount());
    ShowNoteKeys();
    m_pScene->UpdateNoteGrid();
}

void PanelRouter::ShowSynthParameters()
{
    for (int i = 0; i < Settings::c_iSliders; ++i)
    {
        const auto slider = static_cast<PanelSlider>(i);
        Node_Slider* widget = m_pScene->GetControlPanel()->GetSlider(slider);
        if (widget && SynthSettings::IsSynthSlider(slider))
            widget->SetValue(SynthSettings::GetPosition(*m_pSynth, slider));
    }
}

Settings PanelRouter::CaptureSettings() const
{
    Settings settings;
    if (!IsAttached())
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
        if (SynthSettings::IsSynthSlider(slider))
            settings.SetSlider(slider, SynthSettings::GetPosition(*m_pSynth, slider));
    }
    // The window as the sliders made it (at full zoom the pitch slider steps).
    settings.SetSlider(PanelSlider::Pitch, instrument.GetPitchScale());
    settings.SetSlider(PanelSlider::Zoom, instrument.GetPitchZoom());
    return settings;
}

void PanelRouter::ApplySettings(const Settings& settings)
{
    if (!IsAttached())
        return;
    Node_ControlPanel* panel = m_pScene->GetControlPanel();
    for (int i = 0; i < Settings::c_iSliders; ++i)
    {
        const auto slider = static_cast<PanelSlider>(i);
        if (SynthSettings::IsSynthSlider(slider))
            SynthSettings::SetPosition(*m_pSynth, slider, settings.GetSlider(slider));
        else if (Node_Slider* widget = panel->GetSlider(slider))
            widget->SetValue(settings.GetSlider(slider));
    }
    // The mode brings its own resonance; the panel shows every parameter.
    m_iSynthMode = std::clamp(settings.iMode, 0, Synth_FourVoice::c_iModes - 1);
    SetSynthMode();

    SetAutotuneMode(std::clamp(settings.iAutotune, 0, SynthSettings::c_iAutotuneModes - 1));
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
    panel->SetPitchSlider(instrument.GetPitchScale());
    if (settings.bGrid != m_bNoteGridShown)
        ButtonCallback(PanelId(PanelControl::NoteGrid));
    else
        m_pScene->UpdateNoteGrid();
}

void PanelRouter::SetSynthMode()
{
    if (!IsAttached())
        return;
    m_pSynth->SetMode(m_iSynthMode);
    if (Node_ControlPanel* panel = m_pScene->GetControlPanel())
    {
        panel->SetMode(m_iSynthMode);
        ShowSynthParameters();
    }
    if (Node_Robot* robot = m_pScene->GetRobot())
        robot->SetMouthMode(m_iSynthMode);
}

void PanelRouter::SetAutotuneMode(int mode)
{
    m_iAutotuneMode = mode;
    if (!IsAttached())
        return;
    if (const char* text = SynthSettings::GetAutotuneText(mode))
    {
        SynthSettings::ApplyAutotune(m_pSynth->GetInstrumentState(), mode);
        if (Node_ControlPanel* panel = m_pScene->GetControlPanel())
            panel->SetAutotuneText(text);
    }
    m_pScene->UpdateNoteGrid();
}

void PanelRouter::SliderCallback(int id, float value)
{
    if (!IsAttached())
        return;
    InstrumentState& instrument = m_pSynth->GetInstrumentState();
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
        instrument.SetPitchScale(value);
        // The slider shows where the window went (at full zoom it steps).
        if (Node_ControlPanel* panel = m_pScene->GetControlPanel())
            panel->SetPitchSlider(instrument.GetPitchScale());
        m_pScene->UpdateNoteGrid();
        break;
    case PanelControl::Zoom:
        instrument.SetPitchZoom(value);
        m_pScene->UpdateNoteGrid();
        break;
    default:
        return;
    }
    if (Node_ControlPanel* panel = m_pScene->GetControlPanel())
        panel->SetSliderValueText(id, SliderValueText(id).c_str());
}

std::string PanelRouter::SliderValueText(int id) const
{
    if (!IsAttached())
        return {};
    const auto percent = [](float fraction) { return std::lround(fraction * 100.0f); };
    const auto rate = static_cast<float>(SoundManager::c_iSampleRate);
    const InstrumentState& instrument = m_pSynth->GetInstrumentState();
    SoundSource_Delay& delay = m_pSynth->GetDelay();
    char text[32];
    switch (static_cast<PanelControl>(id))
    {
    case PanelControl::Resonance:
        std::snprintf(text, sizeof text, "%ld %%",
                      percent(m_pSynth->GetModeResonance(m_iSynthMode)));
        break;
    case PanelControl::PulseWidth:
        std::snprintf(
            text, sizeof text, "%ld %%",
            percent(m_pSynth->GetPulseWidthControl().GetTweakable()->GetValue_Absolute()));
        break;
    case PanelControl::Cutoff:
        std::snprintf(
            text, sizeof text, "%.0f Hz",
            static_cast<double>(SoundSource_LadderFilter::CutoffHz(m_pSynth->GetCutoff(), rate)));
        break;
    case PanelControl::EchoVolume:
        std::snprintf(text, sizeof text, "%ld %%", percent(delay.GetDelayLevel()));
        break;
    case PanelControl::EchoTime:
        std::snprintf(text, sizeof text, "%.2f s",
                      static_cast<double>(delay.GetDelayTime() *
                                          static_cast<float>(SoundSource_Delay::c_iRingSamples) /
                                          rate));
        break;
    case PanelControl::EchoRepeat:
        std::snprintf(text, sizeof text, "%ld %%", percent(delay.GetFeedback()));
        break;
    case PanelControl::Overdrive:
        std::snprintf(text, sizeof text, "%ld %%", percent(m_pSynth->GetOverdrive()));
        break;
    case PanelControl::Pitch:
    {
        // The window's middle; octaves count from the low C.
        const float middle = 0.5f * (instrument.GetMinOctave() + instrument.GetMaxOctave());
        std::snprintf(text, sizeof text, "%.0f Hz",
                      static_cast<double>(Tuning::c_rLowC * std::exp2(middle)));
        break;
    }
    case PanelControl::Zoom:
        std::snprintf(text, sizeof text, "%.2f oct",
                      static_cast<double>(instrument.GetMaxOctave() - instrument.GetMinOctave()));
        break;
    default:
        return {};
    }
    return text;
}

void PanelRouter::ButtonCallback(int id)
{
    if (!IsAttached())
        return;
    const int modes = Synth_FourVoice::c_iModes;
    switch (static_cast<PanelControl>(id))
    {
    case PanelControl::Open:
        m_pScene->SetPanelOpen(true);
        ShowSynthParameters();
        break;
    case PanelControl::Close:
        m_pScene->SetPanelOpen(false);
        break;
    case PanelControl::About:
        m_pScene->SetAboutShown(true);
        break;
    case PanelControl::AboutDismiss:
        m_pScene->SetAboutShown(false);
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
        m_pScene->GetControlPanel()->SetButtonLit(id, m_bNoteGridShown);
        m_pScene->ShowNoteGrid(m_bNoteGridShown, m_pSynth->GetInstrumentState());
        break;
    default:
        if (id >= PanelId(PanelControl::FirstNoteKey) && id <= PanelId(PanelControl::LastNoteKey))
        {
            const int key = id - PanelId(PanelControl::FirstNoteKey);
            InstrumentState& instrument = m_pSynth->GetInstrumentState();
            instrument.ToggleNote(key);
            m_pScene->GetControlPanel()->SetButtonLit(id, instrument.IsNoteEnabled(key));
            m_pScene->UpdateNoteGrid();
        }
        break;
    }
}
