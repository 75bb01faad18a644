// What a player may keep of a sound: the mode, every slider, autotune, the note
// keys, the note grid and the tuning, as a small text file of "name = value"
// lines (a line starting with '#' is a comment). Paths in a file are taken relative to its folder.
#pragma once

#include <array>
#include <optional>
#include <string>

// The panel's sliders, each by itself (three of them report Resonance): what
// a settings file keeps.
enum class PanelSlider : int
{
    Timbre,      // the main page's "Timbre" ("Mekko")
    PulseTimbre, // the pulse page's "Timbre"
    PulseWidth,
    Cutoff,
    Resonance, // the PWM page's "Resonance"
    EchoVolume,
    EchoTime,
    EchoRepeat,
    Overdrive,
    Pitch,
    Zoom,
    Count
};

struct Settings
{
    static constexpr int c_iSliders = static_cast<int>(PanelSlider::Count);
    // The names the file uses, in PanelSlider order.
    static const std::array<const char*, c_iSliders> c_sSliderNames;

    int iMode = 0;     // 0 "Mekko" .. 3 "PWM"
    int iAutotune = 0; // 0 "Off", 1 "Slow", 2 "Fast", 3 "Snap"
    std::array<bool, 12> bNotes{true, true, true, true, true, true,
                                true, true, true, true, true, true}; // keys C .. B
    bool bGrid = false;
    std::array<float, c_iSliders> rSliders; // positions in [0, 1]
    std::string sTuning;                    // a Scala scale; empty: twelve equal notes
    std::string sKeymap;                    // a Scala keyboard mapping, or empty
    std::optional<double> rTuningBase;      // Hz of degree 0, when no mapping gives it

    // The settings every launch starts from.
    Settings();

    // Parses text read from `fileName` over the defaults; false with
    // "file:line: problem".
    bool Parse(const std::string& text, const std::string& fileName, std::string& error);
    // The file's text (floats written so that they read back exactly).
    std::string Format() const;

    float GetSlider(PanelSlider slider) const { return rSliders[static_cast<size_t>(slider)]; }
    void SetSlider(PanelSlider slider, float v) { rSliders[static_cast<size_t>(slider)] = v; }
};
