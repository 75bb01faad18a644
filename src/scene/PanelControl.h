// The control panel's buttons and sliders, by the id each one reports to its
// callback (the panel's own page buttons to the panel, the rest to the main
// state). One list for the panel, the main state, the host and the tests.
#pragma once

#include "formats/Settings.h" // PanelSlider: the sliders one by one

enum class PanelControl : int
{
    Open = 0,          // the corner's double tap (not on the panel itself)
    Close = 1,         // "Close"
    About = 2,         // "About"
    AboutDismiss = 3,  // the about picture, tapped anywhere
    SynthControls = 4, // "Synth Controls  >": the pulse or PWM page (the panel's)
    Effects = 5,       // "Effects  >" (the panel's)
    Scale = 6,         // "Scale  >" (the panel's)
    Back = 7,          // "Back" from a page (the panel's)
    Resonance = 8,     // "Timbre" (three of them) and "Resonance"
    PulseWidth = 9,    // "Pulse Width"
    Cutoff = 10,       // "Cutoff"
    EchoVolume = 11,   // "Echo Volume"
    EchoTime = 12,     // "Echo Time"
    EchoRepeat = 13,   // "Echo Repeat"
    Overdrive = 14,    // "Overdrive"
    Pitch = 15,        // the pitch slider
    Zoom = 16,         // the zoom slider
    ModeDown = 17,     // mode "<"
    ModeUp = 18,       // mode ">"
    AutotuneDown = 21, // autotune "<"
    AutotuneUp = 22,   // autotune ">"
    NoteGrid = 23,     // "Note Grid"
    FirstNoteKey = 24, // the note keys: C is 24 ... B is 35
    LastNoteKey = 35,
};

// The id a callback carries, and back.
constexpr int PanelId(PanelControl control)
{
    return static_cast<int>(control);
}
constexpr PanelControl NoteKey(int key)
{
    return static_cast<PanelControl>(PanelId(PanelControl::FirstNoteKey) + key);
}
