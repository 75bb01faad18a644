#include "app/SynthSettings.h"

#include "synth/InstrumentState.h"
#include "synth/Synth_FourVoice.h"

namespace
{
struct AutotuneSetting
{
    const char* text;
    int samples; // the glide onto a note; 0 with autotune on jumps to it
    bool enabled;
};
constexpr AutotuneSetting c_autotune[SynthSettings::c_iAutotuneModes] = {
    {"Off", 0, false},
    {"Slow", 4410, true}, // 0.1 s glide
    {"Fast", 264, true},  // about 6 ms
    {"Snap", 0, true},
};
} // namespace

bool SynthSettings::IsSynthSlider(PanelSlider slider)
{
    return slider != PanelSlider::Pitch && slider != PanelSlider::Zoom &&
           slider != PanelSlider::Count;
}

float SynthSettings::GetPosition(const Synth_FourVoice& synth, PanelSlider slider)
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

void SynthSettings::SetPosition(Synth_FourVoice& synth, PanelSlider slider, float position)
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

const char* SynthSettings::GetAutotuneText(int mode)
{
    return mode >= 0 && mode < c_iAutotuneModes ? c_autotune[mode].text : nullptr;
}

void SynthSettings::ApplyAutotune(InstrumentState& state, int mode)
{
    if (mode >= 0 && mode < c_iAutotuneModes)
        state.SetAutotuneSamples(c_autotune[mode].samples, c_autotune[mode].enabled);
}
