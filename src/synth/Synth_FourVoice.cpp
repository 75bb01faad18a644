#include "synth/Synth_FourVoice.h"

#include "dsp/SoundControlRuns.h"

namespace
{
// Per synth mode, every switch of a voice. "Theremin" hears only the sine: its
// other switches rest on the start routing, which no block pulls.
struct Routing
{
    int oscillator; // 0 saw, 1 pulse
    int width;      // 0 the Pulse Width parameter, 1 the finger's height
    int cutoff;     // 0 the finger's height, 1 the Cutoff parameter
    int voice;      // 0 the filter, 1 the sine's amplifier
};
constexpr int c_iFilterPath = 0;
constexpr Routing c_routing[Synth_FourVoice::c_iModes] = {
    {0, 0, 0, 0}, // "Mekko"
    {1, 0, 0, 0}, // "Pulse"
    {0, 0, 0, 1}, // "Theremin"
    {1, 1, 1, 0}, // "PWM"
};

bool HasFilter(int mode)
{
    return mode >= 0 && mode < Synth_FourVoice::c_iModes && c_routing[mode].voice == c_iFilterPath;
}
} // namespace

Synth_FourVoice::Voice::Voice(InstrumentState& state, float sampleRate, int maxBlockSamples)
    : theremin(state, maxBlockSamples), saw(sampleRate), widthSwitch(2, maxBlockSamples),
      pulse(sampleRate), oscillatorSwitch(2), cutoffSwitch(2, maxBlockSamples), sine(sampleRate),
      voiceSwitch(2)
{
}

Synth_FourVoice::Synth_FourVoice(float sampleRate, int maxBlockSamples)
    : m_mixer(maxBlockSamples), m_pulseWidth(0.5f, 0.99f, 0.0f, maxBlockSamples),
      m_cutoff(0.0f, 1.0f, 1.0f, maxBlockSamples), m_voices{{m_state, sampleRate, maxBlockSamples},
                                                            {m_state, sampleRate, maxBlockSamples},
                                                            {m_state, sampleRate, maxBlockSamples},
                                                            {m_state, sampleRate, maxBlockSamples}}
{
    static_assert(c_iVoices == 4, "one initialiser per voice above");
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
        v.level.SetSoundSource(&v.voiceSwitch, 0);
        v.level.SetVelocitySource(&v.theremin, 2);
        m_mixer.AddSoundSource(&v.level, 0, 1.0f);
    }
    m_overdrive.SetSoundSource(&m_mixer, 0);
    m_delay.SetSoundSource(&m_overdrive, 0);
    m_limiter.SetSource(&m_delay, 0);

    // Every switch starts on input 0, the "Mekko" routing; the nodes take the
    // start positions (the tweakables were made with theirs).
    ApplyResonance();
    m_delay.SetDelayLevel(m_rEchoLevel);
    m_delay.SetDelayTime(m_rEchoTime);
    m_delay.SetFeedback(m_rEchoRepeat);
    m_overdrive.SetDrive(m_rOverdrive);
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
    m_iMode = mode;
    const Routing& routing = c_routing[mode];
    // A block that falls inside the change hears the old path or a complete
    // new one: the voice switch moves first onto the sine, last onto the filter.
    if (routing.voice != c_iFilterPath)
        for (Voice& v : m_voices)
            v.voiceSwitch.SetCurrentSource(routing.voice);
    ApplyResonance();
    for (Voice& v : m_voices)
    {
        v.oscillatorSwitch.SetCurrentSource(routing.oscillator);
        v.widthSwitch.SetCurrentSource(routing.width);
        v.cutoffSwitch.SetCurrentSource(routing.cutoff);
    }
    if (routing.voice == c_iFilterPath)
        for (Voice& v : m_voices)
            v.voiceSwitch.SetCurrentSource(routing.voice);
}

void Synth_FourVoice::ApplyResonance()
{
    if (!HasFilter(m_iMode))
        return; // the filters keep the last filtered mode's, unheard
    const float resonance = m_rResonance[m_iMode] * c_rResonanceScale;
    for (Voice& v : m_voices)
        v.filter.SetResonance(resonance);
}

void Synth_FourVoice::SetModeResonance(int mode, float position)
{
    if (!HasFilter(mode))
        return;
    m_rResonance[mode] = ClampUnit(position);
    if (mode == m_iMode)
        ApplyResonance();
}

float Synth_FourVoice::GetModeResonance(int mode) const
{
    return HasFilter(mode) ? m_rResonance[mode] : 0.0f;
}

void Synth_FourVoice::SetPulseWidth(float position)
{
    m_rPulseWidth = ClampUnit(position);
    m_pulseWidth.GetTweakable()->SetValue_Range(m_rPulseWidth);
}

void Synth_FourVoice::SetCutoff(float position)
{
    m_rCutoff = ClampUnit(position);
    m_cutoff.GetTweakable()->SetValue_Range(m_rCutoff);
}

void Synth_FourVoice::SetEchoLevel(float position)
{
    m_rEchoLevel = ClampUnit(position);
    m_delay.SetDelayLevel(m_rEchoLevel);
}

void Synth_FourVoice::SetEchoTime(float position)
{
    m_rEchoTime = ClampUnit(position);
    m_delay.SetDelayTime(m_rEchoTime);
}

void Synth_FourVoice::SetEchoRepeat(float position)
{
    m_rEchoRepeat = ClampUnit(position);
    m_delay.SetFeedback(m_rEchoRepeat);
}

void Synth_FourVoice::SetOverdrive(float position)
{
    m_rOverdrive = ClampUnit(position);
    m_overdrive.SetDrive(m_rOverdrive);
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
