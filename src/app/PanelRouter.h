// The panel's routing: what each button and slider of the control panel (and
// the corner's double tap) does to the synth, the instrument's state and the
// scene, and the modes the panel shows (synth mode, autotune mode, note grid).
// Main thread only.
#pragma once

#include <string>

#include "formats/Settings.h"

class MainScene;
class Synth_FourVoice;
class Tuning;

class PanelRouter
{
  public:
    // The scene and the synth it routes to; null for either detaches it.
    void Attach(MainScene* scene, Synth_FourVoice* synth);

    // A slider's id and position in [0, 1], a button's id (PanelControl).
    void SliderCallback(int id, float value);
    void ButtonCallback(int id);

    // Applies the current synth mode to the voices, the panel and the robot.
    void SetSynthMode();
    // Stores and applies an autotune mode; one outside 0 .. 3 is only stored.
    void SetAutotuneMode(int mode);
    // The scale the voices play (null: the twelve notes on C).
    void SetTuning(const Tuning* tuning);

    // The panel's sliders set to the synth's parameters, without callbacks.
    void ShowSynthParameters();
    // The note keys lit for the enabled notes or degrees.
    void ShowNoteKeys();

    // The whole sound as a settings file keeps it (without the tuning), and back.
    Settings CaptureSettings() const;
    void ApplySettings(const Settings& settings);

    int GetSynthMode() const { return m_iSynthMode; }
    int GetAutotuneMode() const { return m_iAutotuneMode; }
    bool IsNoteGridShown() const { return m_bNoteGridShown; }

    // What the slider `id` now means, as the panel shows it while it is held:
    // seconds, Hz, per cent, octaves.
    std::string SliderValueText(int id) const;

  private:
    bool IsAttached() const { return m_pScene && m_pSynth; }

    MainScene* m_pScene = nullptr;
    Synth_FourVoice* m_pSynth = nullptr;
    int m_iSynthMode = 0;
    int m_iAutotuneMode = 0;
    bool m_bNoteGridShown = false;
};
