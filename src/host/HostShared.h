// What the headless and the live run share: the outputs, the script's and
// the MIDI file's players, and the checks and loads made before a run starts.
#pragma once

#include "app/ScriptPlayer.h"
#include "app/ZindleApp.h"
#include "core/MidiEvent.h"
#include "formats/PerformanceScript.h"
#include "formats/StandardMidiFile.h"
#include "host/Host.h"
#include "host/HostOptions.h"
#include "host/MidiOutput.h"
#include "host/Signals.h"
#include "host/WavWriter.h"
#include "platform/sdl/TouchInput_SDL.h"
#include "synth/MidiVoices.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace HostShared
{
// One line on standard error: "zindle: " and the message.
void Fail(const std::string& message);

// The run's output files: opened before the performance, so an unwritable path
// fails at once, and finished (renamed into place) after it.
struct Outputs
{
    WavWriter wav;
    MidiOutput midi;
    std::unique_ptr<OutputFile> screenshot; // --screenshot, written at the end

    // False after reporting the problem. `samples` is how long the sound will
    // be, or -1 when nobody knows (a live run without --seconds).
    bool Open(const HostOptions& options, int64_t samples = WavWriter::c_iUnknownLength)
    {
        std::string error;
        if (!options.sScreenshot.empty())
        {
            screenshot = std::make_unique<OutputFile>(options.sScreenshot);
            if (!screenshot->Open(error))
            {
                Fail(error);
                return false;
            }
        }
        if ((!options.sWav.empty() &&
             !wav.Open(options.sWav, SoundManager::c_iSampleRate, samples, error)) ||
            !midi.Open(options, error))
        {
            Fail(error);
            return false;
        }
        return true;
    }

    // False after reporting a file that could not be finished.
    bool Close(int64_t endSampleTime)
    {
        bool ok = true;
        std::string error;
        if (wav.IsOpen() && !wav.Close(error))
        {
            Fail(error);
            ok = false;
        }
        if (!midi.Close(endSampleTime, error))
        {
            Fail(error);
            ok = false;
        }
        return ok;
    }
};

// Starts the application; one clear line and false when it cannot start.
bool StartApp(ZindleApp& app);

// Plays a script's touches into the window's touch input as contacts of their
// own device, and writes its shots.
class ScriptTarget : public ScriptPlayer::Target
{
  public:
    explicit ScriptTarget(TouchInput_SDL* input) : m_pInput(input) {}

    void TouchDown(int contact, float x, float y) override
    {
        m_positions[contact] = {ViewX(y), x};
        if (m_pInput)
            m_pInput->Down(c_iScriptDevice, contact, ViewX(y), x);
    }
    void TouchMove(int contact, float x, float y) override
    {
        m_positions[contact] = {ViewX(y), x};
        if (m_pInput)
            m_pInput->Move(c_iScriptDevice, contact, ViewX(y), x);
    }
    void TouchUp(int contact) override
    {
        const auto at = m_positions.find(contact);
        if (at == m_positions.end())
            return;
        if (m_pInput)
            m_pInput->Up(c_iScriptDevice, contact, at->second.first, at->second.second);
        m_positions.erase(at);
    }
    void Shot(const std::string& path) override
    {
        // Many shots may fall on one frame; after a signal the rest are not taken.
        if (Signals::Caught())
            return;
        std::string error;
        if (!Host::WriteScreenshot(path, error))
        {
            Fail(error);
            m_bFailed = true;
        }
    }
    void Save(const std::string& path) override
    {
        std::string saved, error;
        if (!Host::SaveSettings(path, saved, error))
        {
            Fail(error);
            m_bFailed = true;
        }
    }
    bool Failed() const { return m_bFailed; }

  private:
    static constexpr int64_t c_iScriptDevice = -3; // apart from the mouse and every touch device

    // Landscape (X, Y) is the portrait view point (320 - Y, X).
    static float ViewX(float landscapeY) { return 320.0f - landscapeY; }

    TouchInput_SDL* m_pInput;
    std::map<int, std::pair<float, float>> m_positions; // view points of the contacts down
    bool m_bFailed = false;
};

TouchInput_SDL* WindowTouchInput(ZindleApp& app);

// A MIDI file's messages played on the voices, each at its own sample.
class MidiSchedule
{
  public:
    MidiSchedule(const std::vector<MidiEvent>& events, MidiVoices& voices)
        : m_events(events), m_play([&voices](const MidiEvent& event) { voices.Handle(event); })
    {
    }
    // Each message handed to `play` instead (the voices' own thread plays it).
    MidiSchedule(const std::vector<MidiEvent>& events, std::function<void(const MidiEvent&)> play)
        : m_events(events), m_play(std::move(play))
    {
    }
    int64_t GetNextEventSample() const
    {
        return m_iNext < m_events.size() ? m_events[m_iNext].iSampleTime : ScriptPlayer::c_iNever;
    }
    void PlayUntil(int64_t sample)
    {
        for (; m_iNext < m_events.size() && m_events[m_iNext].iSampleTime <= sample; ++m_iNext)
            m_play(m_events[m_iNext]);
    }

  private:
    const std::vector<MidiEvent>& m_events;
    std::function<void(const MidiEvent&)> m_play;
    size_t m_iNext = 0;
};

// The main state has just been built (the first frame): it takes the tuning
// and the settings the run started with, MIDI in plays its voices (in its
// scale), and MIDI out hears them (until they go).
void StartInstrument(ZindleApp& app, MidiOutput& midi, MidiVoices& midiIn);

// Loads --script; false after reporting a bad script (exit status 2).
bool LoadScript(const HostOptions& options, PerformanceScript& script);

// --settings and the tuning (--tuning, --keymap, --tuning-base, else the
// settings' own), read whole before anything starts; false after reporting a
// bad file (exit status 2). The options then name the tuning's files as
// absolute paths, for the settings the run saves.
bool LoadSound(HostOptions& options);

// --play: the whole file read before anything starts; false after reporting a
// bad file (exit status 2).
bool LoadPlay(const HostOptions& options, StandardMidiFile& file);

// --audio-driver and --audio-device, before anything opens: the driver must
// exist and, live, start here with a device that matches (which the options
// then name in full). Headless runs open no device, so only the name counts.
bool CheckAudioChoice(HostOptions& options, std::string& error);

// Whether a run plays through JACK (--audio-driver jack), and whether its
// live MIDI goes through JACK too (--midi-driver, by default with the audio).
bool UsesJack(const HostOptions& options);
bool UsesJackMidi(const HostOptions& options);

// The final frame, when the command line asked for it; false after reporting a failure.
bool WriteFinalScreenshot(Outputs& outputs);
} // namespace HostShared
