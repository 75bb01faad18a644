// The desktop host: plays the application delegate's role. It parses the
// command line, runs ZindleApp's frames live (SDL window, real time, sound
// device) or headless (virtual clock, offline audio), and writes the outputs.
#pragma once

#include "dsp/SoundManager.h"
#include "host/HostOptions.h"
#include "host/OutputFile.h"
#include "platform/sdl/Window_SDL.h"

#include <cstdint>
#include <functional>
#include <string>

class Host
{
  public:
    static constexpr double c_rActiveFrameInterval = 0.05;  // 20 frames per second
    static constexpr double c_rInactiveFrameInterval = 0.2; // 5 while unfocused
    static constexpr int c_iSamplesPerFrame = 2205;         // 0.05 s at 44100 Hz
    static constexpr double c_rSampleRate = SoundManager::c_iSampleRate;

    // The process entry's whole work; returns the exit status.
    static int Main(int argc, char** argv);
    static int Run(const HostOptions& options);

    // Writes the frame the GL view holds now (the last one presented) as a
    // 480 x 320 landscape PNG; false with a reason when it cannot.
    static bool WriteScreenshot(const std::string& path, std::string& error);
    // The same into an output opened before the run (committed or abandoned).
    static bool WriteScreenshot(OutputFile& output, std::string& error);

    // Writes the settings the instrument has now, with the tuning it was
    // started with, to `path`, or when it is empty into the configuration
    // folder; `saved` is where they went. False with the reason.
    static bool SaveSettings(const std::string& path, std::string& saved, std::string& error);

    // Settings the platform factories read when the application starts.
    // Setting them also registers the factories (InstallPlatform).
    static const HostOptions& GetOptions() { return s_options; }
    static void SetOptions(const HostOptions& options)
    {
        s_options = options;
        InstallPlatform();
    }
    // Registers the SDL window, renderer and sound manager as the ones the
    // instrument's factories make.
    static void InstallPlatform();
    // What the window's keys and focus do: Tab the panel, Ctrl+S the
    // settings, focus the frame rate.
    static Window_SDL::Actions WindowActions();
    // The voices MIDI notes play, as marks where they show on the surface.
    static int NoteMarks(TouchInput_SDL::Finger* marks, int max);

    static void SetFrameInterval(double seconds) { s_rFrameInterval = seconds; }
    static double GetFrameInterval() { return s_rFrameInterval; }

    // Called on the main thread at the start of every frame, before its
    // update, with the frame's number (for measurements; empty for none).
    static void SetFrameObserver(std::function<void(int64_t frame)> observer)
    {
        s_frameObserver = std::move(observer);
    }

    // Tells the frame observer a frame starts.
    static void NotifyFrame(int64_t frame);

  private:
    static int RunLive(const HostOptions& options);
    static int RunHeadless(const HostOptions& options);

    static HostOptions s_options;
    static double s_rFrameInterval;
    static std::function<void(int64_t)> s_frameObserver;
};
