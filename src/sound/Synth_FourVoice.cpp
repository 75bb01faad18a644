#include "sound/Synth_FourVoice.h"

namespace
{
// Per synth mode: the oscillator, width, cutoff and voice switches' inputs;
// -1 leaves a switch as it is.
struct Routing
{
    int oscillator; // 0 saw, 1 pulse
    int width;      // 0 the Pulse Width slider, 1 the finger's height
    int cutoff;     // 0 the finger's height, 1 the Cutoff slider
    int voice;      // 0 the filter, 1 the sine's amplifier
};
constexpr Routing c_routing[Synth_FourVoice::c_iModes] = {
    {0, -1, 0, 0},   // "Mekko"
    {1, 0, 0, 0},    // "Pulse"
    {-1, -1, -1, 1}, // "Theremin"
    {1, 1, 1, 0},    // "PWM"
};
} // namespace

Synth_FourVoice::Voice::Voice(InstrumentState& state)
    : theremin(state), widthSwitch(2), oscillatorSwitch(2), cutoffSwitch(2), voiceSwitch(2)
{
}

Synth_FourVoice::Synth_FourVoice()
    : m_pulseWidth(0.5f, 0.99f, 0.0f),
      m_cutoff(0.0f, 1.0f, 1.0f), m_voices{{m_state}, {m_state}, {m_state}, {m_state}}
{
    for (Voice& v : m_voices)
    {
        v.saw.SetPitchSource(&v.theremin, 0);
        v.widthSwitch.SetSource(0, &m_pulseWidth, 0);
        v.widthSwitch.SetSource(1, &v.theremin, 1);
        v.pulse.SetPitchSource(&v.theremin, 0);
        v.pulse.SetWidthSource(&v.widthSwitch, 0);
        v.oscillatorSwitch.SetSource(0, &v.saw, 0);
        v.oscillatorSwitch.SetSource(1, &v.pulse, 0);
        v.cutoffSwitch.SetSource(0, &v.theremin, 1);
        v.cutoffSwitch.SetSource(1, &m_cutoff, 0);
        v.filter.SetSoundSource(&v.oscillatorSwitch, 0);
        v.filter.SetCutoffSource(&v.cutoffSwitch, 0);
        v.sine.SetPitchSource(&v.theremin, 0);
        v.amp.SetSoundSource(&v.sine, 0);
        v.amp.SetVolumeSource(&v.theremin, 1);
        v.voiceSwitch.SetSource(0, &v.filter, 0);
        v.voiceSwitch.SetSource(1, &v.amp, 0);
        m_mixer.AddSoundSource(&v.voiceSwitch, 0, 1.0f);
    }
    m_overdrive.SetSoundSource(&m_mixer, 0);
    m_delay.SetSoundSource(&m_overdrive, 0);
    m_limiter.SetSource(&m_delay, 0);
}

Synth_FourVoice::~Synth_FourVoice() = default;

Synth_FourVoice::Voice* Synth_FourVoice::At(int voice)
{
    return voice >= 0 && voice < c_iVoices ? &m_voices[voice] : nullptr;
}

SoundControl_Theremin* Synth_FourVoice::GetTheremin(int voice)
{
    Voice* v = At(voice);
    return v ? &v->theremin : nullptr;
}

void Synth_FourVoice::SetCamera(Camera_2D* camera)
{
    for (Voice& v : m_voices)
        v.theremin.SetCamera(camera);
}

void Synth_FourVoice::SetMode(int mode)
{
    if (mode < 0 || mode >= c_iModes)
        return;
    const Routing& routing = c_routing[mode];
    for (Voice& v : m_voices)
    {
        if (routing.oscillator >= 0)
            v.oscillatorSwitch.SetCurrentSource(routing.oscillator);
        if (routing.width >= 0)
            v.widthSwitch.SetCurrentSource(routing.width);
        if (routing.cutoff >= 0)
            v.cutoffSwitch.SetCurrentSource(routing.cutoff);
        if (routing.voice >= 0)
            v.voiceSwitch.SetCurrentSource(routing.voice);
    }
}

void Synth_FourVoice::SetResonance(float position)
{
    for (Voice& v : m_voices)
        v.filter.SetResonance(position * c_rResonanceScale);
}

void Synth_FourVoice::SetPulseWidth(float position)
{
    m_pulseWidth.GetTweakable()->SetValue_Range(position);
}

void Synth_FourVoice::SetCutoff(float position)
{
    m_cutoff.GetTweakable()->SetValue_Range(position);
}

void Synth_FourVoice::SetEchoLevel(float position)
{
    m_delay.SetDelayLevel(position);
}

void Synth_FourVoice::SetEchoTime(float position)
{
    m_delay.SetDelayTime(position);
}

void Synth_FourVoice::SetEchoRepeat(float position)
{
    m_delay.SetFeedback(position);
}

void Synth_FourVoice::SetOverdrive(float position)
{
    m_overdrive.SetDrive(position);
}

SoundSource_LadderFilter* Synth_FourVoice::GetFilter(int voice)
{
    Voice* v = At(voice);
    return v ? &v->filter : nullptr;
}

SoundSource_Switch* Synth_FourVoice::GetOscillatorSwitch(int voice)
{
    Voice* v = At(voice);
    return v ? &v->oscillatorSwitch : nullptr;
}

SoundSource_Switch* Synth_FourVoice::GetVoiceSwitch(int voice)
{
    Voice* v = At(voice);
    return v ? &v->voiceSwitch : nullptr;
}

SoundControl_Switch* Synth_FourVoice::GetWidthSwitch(int voice)
{
    Voice* v = At(voice);
    return v ? &v->widthSwitch : nullptr;
}

SoundControl_Switch* Synth_FourVoice::GetCutoffSwitch(int voice)
{
    Voice* v = At(voice);
    return v ? &v->cutoffSwitch : nullptr;
}
