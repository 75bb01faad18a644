// The instrument's sound: four voices, each played by its own theremin. A voice
// is a band-limited saw or pulse (oscillator switch) through a resonant ladder
// filter, or a sine through an amplifier (voice switch); the four are summed and
// go through overdrive, echo and a peak limiter. The synth mode routes every
// voice; the panel's sliders set the shared parameters. The synth owns the
// instrument's state (window, autotune, notes, scale) that its four theremins
// play by. Builds and plays without a screen: the theremins only need a camera
// for their playing area.
#pragma once

#include "sound/InstrumentState.h"
#include "sound/SoundControl_Switch.h"
#include "sound/SoundControl_Theremin.h"
#include "sound/SoundControl_Tweakable.h"
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

    // The panel's resonance scale: slider 1 gives this much filter feedback.
    static constexpr float c_rResonanceScale = 11.0f;

    // Builds the whole graph with every switch on its first input (the
    // "Mekko" routing). The theremins register with the touch manager, if one
    // exists, voice 0 first.
    Synth_FourVoice();
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

    // Routes every voice for a mode (c_iMode*). A mode outside 0..3 changes
    // nothing. Main thread, any time: a block may hear part of a change.
    void SetMode(int mode);

    // The panel's sliders, each a position in [0, 1]. Main thread, any time.
    // Filter resonance 0 .. 11 (about 8 is the panel's "Mekko" default).
    void SetResonance(float position);
    // The pulse's duty cycle in "Pulse", 0.5 .. 0.99.
    void SetPulseWidth(float position);
    // The filter's cutoff in "PWM", 0 (closed) .. 1 (open).
    void SetCutoff(float position);
    // The echo's level (x^2), time (x^2 of up to 4 s) and repeat (feedback).
    void SetEchoLevel(float position);
    void SetEchoTime(float position);
    void SetEchoRepeat(float position);
    // Overdrive, 0 (clean) .. 1.
    void SetOverdrive(float position);

    // Parts of the graph, for measurements. Null outside 0..3.
    SoundSource_LadderFilter* GetFilter(int voice);
    SoundSource_Switch* GetOscillatorSwitch(int voice);
    SoundSource_Switch* GetVoiceSwitch(int voice);
    SoundControl_Switch* GetWidthSwitch(int voice);
    SoundControl_Switch* GetCutoffSwitch(int voice);
    SoundSource_Delay& GetDelay() { return m_delay; }
    SoundSource_Overdrive& GetOverdrive() { return m_overdrive; }
    SoundSource_Limiter& GetLimiter() { return m_limiter; }
    SoundControl_Tweakable& GetPulseWidthControl() { return m_pulseWidth; }
    SoundControl_Tweakable& GetCutoffControl() { return m_cutoff; }

  private:
    // One voice's nodes, in the order they are made.
    struct Voice
    {
        Voice(InstrumentState& state); // not explicit: the synth lists four of them
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
    };

    Voice* At(int voice);

    InstrumentState m_state; // made before the voices, which keep it
    SoundSource_Mixer m_mixer;
    SoundControl_Tweakable m_pulseWidth; // 0.5 .. 0.99, starts at 0.5
    SoundControl_Tweakable m_cutoff;     // 0 .. 1, starts open
    Voice m_voices[c_iVoices];           // made in order: voice 0's theremin bids first
    SoundSource_Overdrive m_overdrive;
    SoundSource_Delay m_delay;
    SoundSource_Limiter m_limiter;
};
