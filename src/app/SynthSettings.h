// The sound as the panel's sliders and a settings file hold it: each slider's
// position read from and written to the synth's parameters, and the autotune
// modes the panel steps through. The one place that names the synth's
// parameters by the panel's sliders.
#pragma once

#include "formats/Settings.h"

class InstrumentState;
class Synth_FourVoice;

class SynthSettings
{
  public:
    static constexpr int c_iAutotuneModes = 4; // "Off", "Slow", "Fast", "Snap"

    // All but the pitch and zoom sliders, which set the instrument's window.
    static bool IsSynthSlider(PanelSlider slider);
    // The slider's position for the synth's parameter; each of the three
    // resonance sliders stands for its own mode's resonance.
    static float GetPosition(const Synth_FourVoice& synth, PanelSlider slider);
    static void SetPosition(Synth_FourVoice& synth, PanelSlider slider, float position);

    // An autotune mode 0 .. 3: its text on the panel, and how the voices pull
    // onto the enabled notes (a mode outside changes nothing).
    static const char* GetAutotuneText(int mode);
    static void ApplyAutotune(InstrumentState& state, int mode);
};
