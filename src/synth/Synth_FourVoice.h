// The instrument's sound: four voices, each played by its own theremin. A voice
// is a band-limited saw or pulse (oscillator switch) through a resonant ladder
// filter, or a sine through an amplifier (voice switch), at the level its
// note's velocity gives (a finger's: unity); the four are summed and
// go through overdrive, echo and a peak limiter. The synth mode routes every
// voice. The synth keeps its parameters itself, as the panel's slider positions,
// and applies the current mode's on every mode change; the panel only shows
// them. The synth owns the instrument's state (window, autotune, notes, scale)
// that its four theremins play by. Builds and plays without a screen: the
// theremins only need a camera for their playing area.
#pragma once

#include "dsp/SoundControl_Switch.h"
#include "dsp/SoundControl_Tweakable.h"
#include "dsp/SoundSource_Amp.h"
#include "dsp/SoundSource_BLPulse.h"
#include "dsp/SoundSource_BLSaw.h"
#include "dsp/SoundSource_Delay.h"
#include "dsp/SoundSource_LadderFilter.h"
#include "dsp/SoundSource_Limiter.h"
#include "dsp/SoundSource_Mixer.h"
#include "dsp/SoundSource_Osc_Sine.h"
#include "dsp/SoundSource_Overdrive.h"
#include "dsp/SoundSource_Switch.h"
#include "dsp/SoundSource_VelocityGain.h"
#include "synth/InstrumentState.h"
#include "synth/SoundControl_Theremin.h"

class Camera_2D;

class Synth_FourVoice
{
  public:
    static constexpr int c_iVoices = 4;

    // The synth modes, in the panel's order.
    static constexpr int c_iModeMekko = 0;    // saw through the filter; height sweeps the cutoff
    static constexpr int c_iModePulse = 1;    // fixed-width pulse through the filter
    static constexpr int c_iModeTheremin = 2; // sine; height sets the volume
    static constexpr int c_iModePWM = 3;      // height sets the pulse width, a slider the cutoff
    static constexpr int c_iModes = 4;

    // The panel's resonance scale: position 1 gives this much filter feedback.
    static constexpr float c_rResonanceScale = SoundSource_LadderFilter::c_rMaxResonance;

    // Builds the whole graph for streams of `sampleRate` Hz pulled in blocks of
    // at most `maxBlockSamples`, in the "Mekko" routing with every parameter at
    // its start value (applied). The theremins register with the touch manager,
    // if one exists, voice 0 first.
    Synth_FourVoice(float sampleRate, int maxBlockSamples);
    ~Synth_FourVoice();

    Synth_FourVoice(const Synth_FourVoice&) = delete;
    Synth_FourVoice& operator=(const Synth_FourVoice&) = delete;

    // The limiter: what the sound manager pulls.
    SoundStreamSource* GetRoot() { return &m_limiter; }
    // Voice 0 to 3's theremin; null outside.
    SoundControl_Theremin* GetTheremin(int voice);
    // The window, autotune, notes and scale every voice plays by. Main thread.
    InstrumentState& GetInstrumentState() { return m_state; }
    const InstrumentState& GetInstrumentState() const { return m_state; }
    // The playing area of every voice.
    void SetCamera(Camera_2D* camera);

    // Routes every switch of every voice for a mode (c_iMode*) and gives the
    // filters that mode's resonance. A mode outside 0..3 changes nothing.
    // Main thread, any time: a block may hear part of a change.
    void SetMode(int mode);
    int GetMode() const { return m_iMode; }

    // The parameters, each as a panel position in [0, 1] (clamped, not a number
    // gives 0), and what the position means. Main thread, any time; the getters
    // return the positions as stored.
    //
    // Filter resonance of a filtered mode, 0 .. 11 of feedback (position x 11;
    // 8/11 for "Mekko", 0.8 for "Pulse", 0 for "PWM" at start). Each mode keeps
    // its own; the current mode's reaches the filters at once, another's when
    // its mode is chosen. "Theremin" has no filter: it keeps nothing and reads 0.
    void SetModeResonance(int mode, float position);
    float GetModeResonance(int mode) const;
    // The current mode's resonance.
    void SetResonance(float position) { SetModeResonance(m_iMode, position); }
    // The pulse's duty cycle in "Pulse", 0.5 .. 0.99 (start 0).
    void SetPulseWidth(float position);
    float GetPulseWidth() const { return m_rPulseWidth; }
    // The filter's cutoff in "PWM", 0 (closed) .. 1 (open; start 1).
    void SetCutoff(float position);
    float GetCutoff() const { return m_rCutoff; }
    // The echo's level (x^2; start 0.24), time (x^2 of up to 4 s; start 0.15)
    // and repeat (feedback x^2; start 0.4).
    void SetEchoLevel(float position);
    float GetEchoLevel() const { return m_rEchoLevel; }
    void SetEchoTime(float position);
    float GetEchoTime() const { return m_rEchoTime; }
    void SetEchoRepeat(float position);
    float GetEchoRepeat() const { return m_rEchoRepeat; }
    // Overdrive, 0 (clean; start) .. 1 (gain 31 into the clipper).
    void SetOverdrive(float position);
    float GetOverdrive() const { return m_rOverdrive; }

    // Parts of the graph, for measurements. Null outside 0..3.
    SoundSource_LadderFilter* GetFilter(int voice);
    SoundSource_Switch* GetOscillatorSwitch(int voice);
    SoundSource_Switch* GetVoiceSwitch(int voice);
    SoundControl_Switch* GetWidthSwitch(int voice);
    SoundControl_Switch* GetCutoffSwitch(int voice);
    SoundSource_Delay& GetDelay() { return m_delay; }
    SoundSource_Overdrive& GetOverdriveNode() { return m_overdrive; }
    SoundSource_Limiter& GetLimiter() { return m_limiter; }
    SoundControl_Tweakable& GetPulseWidthControl() { return m_pulseWidth; }
    SoundControl_Tweakable& GetCutoffControl() { return m_cutoff; }

  private:
    // One voice's nodes, in the order they are made.
    struct Voice
    {
        // Not explicit: the synth lists its four voices in braces.
        Voice(InstrumentState& state, float sampleRate, int maxBlockSamples);
        SoundControl_Theremin theremin;
        SoundSource_BLSaw saw;
        SoundControl_Switch widthSwitch;
        SoundSource_BLPulse pulse;
        SoundSource_Switch oscillatorSwitch;
        SoundControl_Switch cutoffSwitch;
        SoundSource_LadderFilter filter;
        SoundSource_Osc_Sine sine;
        SoundSource_Amp amp;
        SoundSource_Switch voiceSwitch;
        SoundSource_VelocityGain level;
    };

    Voice* At(int voice);
    void ApplyResonance();

    InstrumentState m_state; // made before the voices, which keep it
    SoundSource_Mixer m_mixer;
    SoundControl_Tweakable m_pulseWidth; // 0.5 .. 0.99
    SoundControl_Tweakable m_cutoff;     // 0 .. 1
    Voice m_voices[c_iVoices];           // made in order: voice 0's theremin bids first
    SoundSource_Overdrive m_overdrive;
    SoundSource_Delay m_delay;
    SoundSource_Limiter m_limiter;

    // Main thread only: the positions, and the mode they are applied for.
    int m_iMode = c_iModeMekko;
    float m_rResonance[c_iModes] = {8.0f / 11.0f, 0.8f, 0.0f, 0.0f};
    float m_rPulseWidth = 0.0f;
    float m_rCutoff = 1.0f;
    float m_rEchoLevel = 0.24f;
    float m_rEchoTime = 0.15f;
    float m_rEchoRepeat = 0.4f;
    float m_rOverdrive = 0.0f;
};
