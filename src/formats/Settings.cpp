#include "formats/Settings.h"

#include "core/Printable.h"
#include "core/TextParse.h"
#include "formats/Tuning.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <strings.h>

const std::array<const char*, Settings::c_iSliders> Settings::c_sSliderNames = {
    "timbre",    "pulse_timbre", "pulse_width", "cutoff", "resonance", "echo_volume",
    "echo_time", "echo_repeat",  "overdrive",   "pitch",  "zoom"};

namespace
{
constexpr const char* c_sModes[4] = {"Mekko", "Pulse", "Theremin", "PWM"};
constexpr const char* c_sAutotune[4] = {"Off", "Slow", "Fast", "Snap"};
constexpr const char* c_sNotes[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                      "F#", "G",  "G#", "A",  "A#", "B"};

// The index of `word` among `names`, ignoring case; -1 if none.
template <size_t N> int IndexOf(const std::string& word, const char* const (&names)[N])
{
    for (size_t i = 0; i < N; ++i)
        if (word.size() == std::strlen(names[i]) && strcasecmp(word.c_str(), names[i]) == 0)
            return static_cast<int>(i);
    return -1;
}

template <size_t N> std::string Choices(const char* const (&names)[N])
{
    std::string list;
    for (size_t i = 0; i < N; ++i)
    {
        list.append(i == 0 ? "" : i + 1 == N ? " or " : ", ");
        list.append(1, '"').append(names[i]).append(1, '"');
    }
    return list;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string FormatFloat(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}
} // namespace

Settings::Settings()
{
    // As the panel starts.
    SetSlider(PanelSlider::Timbre, 8.0f / 11.0f);
    SetSlider(PanelSlider::PulseTimbre, 0.8f);
    SetSlider(PanelSlider::PulseWidth, 0.0f);
    SetSlider(PanelSlider::Cutoff, 1.0f);
    SetSlider(PanelSlider::Resonance, 0.0f);
    SetSlider(PanelSlider::EchoVolume, 0.24f);
    SetSlider(PanelSlider::EchoTime, 0.15f);
    SetSlider(PanelSlider::EchoRepeat, 0.4f);
    SetSlider(PanelSlider::Overdrive, 0.0f);
    SetSlider(PanelSlider::Pitch, 0.5f);
    SetSlider(PanelSlider::Zoom, 0.0f);
}

bool Settings::Parse(const std::string& text, const std::string& fileName, std::string& error)
{
    const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
    std::istringstream lines(TextParse::WithoutByteOrderMark(text));
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& problem)
    {
        error = TextParse::Located(fileName, number, problem);
        return false;
    };
    Settings read = *this;
    while (std::getline(lines, line))
    {
        ++number;
        // Comments are whole lines, so that a path may hold a '#'.
        if (Trim(line).empty() || Trim(line).starts_with('#'))
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            return fail("expected \"name = value\", not " + Printable::Echo(Trim(line)));
        const std::string name = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        const std::string shown = Printable::Echo(value);
        double real = 0.0;

        if (name == "mode")
        {
            if ((read.iMode = IndexOf(value, c_sModes)) < 0)
                return fail(shown + " is not a mode (" + Choices(c_sModes) + ")");
        }
        else if (name == "autotune")
        {
            if ((read.iAutotune = IndexOf(value, c_sAutotune)) < 0)
                return fail(shown + " is not an autotune setting (" + Choices(c_sAutotune) + ")");
        }
        else if (name == "notes")
        {
            read.bNotes.fill(false);
            std::istringstream words(value);
            for (std::string word; words >> word;)
            {
                const int note = IndexOf(word, c_sNotes);
                if (note < 0)
                    return fail(Printable::Echo(word) + " is not a note key (C, C#, ... B)");
                read.bNotes[static_cast<size_t>(note)] = true;
            }
            if (std::none_of(read.bNotes.begin(), read.bNotes.end(), [](bool on) { return on; }))
                return fail("no note key is on (at least one must be)");
        }
        else if (name == "grid")
        {
            static constexpr const char* c_sSwitch[4] = {"off", "on", "false", "true"};
            const int state = IndexOf(value, c_sSwitch);
            if (state < 0)
                return fail(shown + " is not \"on\" or \"off\"");
            read.bGrid = state % 2 == 1;
        }
        else if (name == "tuning" || name == "keymap")
        {
            std::string& path = name == "tuning" ? read.sTuning : read.sKeymap;
            path = value.empty() ? value : (folder / value).string();
        }
        else if (name == "tuning_base")
        {
            if (value.empty())
                read.rTuningBase.reset();
            else if (!TextParse::ParseReal(value, real) || real < Tuning::c_rMinBaseHz ||
                     real > Tuning::c_rMaxBaseHz)
                return fail(shown + " is not a frequency from 1 to 20000 Hz");
            else
                read.rTuningBase = real;
        }
        else
        {
            const auto* slider = std::find_if(c_sSliderNames.begin(), c_sSliderNames.end(),
                                              [&](const char* n) { return name == n; });
            if (slider == c_sSliderNames.end())
                return fail("unknown setting " + Printable::Echo(name));
            if (!TextParse::ParseReal(value, real) || real < 0.0 || real > 1.0)
                return fail(shown + " is not a slider position from 0 to 1");
            read.rSliders[static_cast<size_t>(slider - c_sSliderNames.begin())] =
                static_cast<float>(real);
        }
    }
    *this = read;
    return true;
}

std::string Settings::Format() const
{
    std::string text = "# Zindle settings: zindle --settings FILE\n";
    text += "mode = " + std::string(c_sModes[std::clamp(iMode, 0, 3)]) + "\n";
    text += "autotune = " + std::string(c_sAutotune[std::clamp(iAutotune, 0, 3)]) + "\n";
    text += "# the note keys that are on (with a scale: C is degree 0 ... B degree 11)\n";
    text += "notes =";
    for (size_t i = 0; i < 12; ++i)
        if (bNotes[i])
            text += std::string(" ") + c_sNotes[i];
    text += std::string("\ngrid = ") + (bGrid ? "on" : "off") + "\n";
    for (size_t i = 0; i < c_sSliderNames.size(); ++i)
        text += std::string(c_sSliderNames[i]) + " = " + FormatFloat(rSliders[i]) + "\n";
    if (!sTuning.empty())
        text += "tuning = " + sTuning + "\n";
    if (!sKeymap.empty())
        text += "keymap = " + sKeymap + "\n";
    if (rTuningBase)
        text += "tuning_base = " + FormatFloat(*rTuningBase) + "\n";
    return text;
}
