// What the command line asked the desktop host for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct HostOptions
{
    std::string sDataDirectory; // resolved resource directory
    bool bHeadless = false;
    std::string sScript;            // performance script, empty for none
    std::optional<double> rSeconds; // stop after this many seconds
    std::string sWav;               // audio output file, empty for none
    std::string sScreenshot;        // final frame as PNG, empty for none
    float rPixelScale = 1.0f;       // headless frames' pixels per point, 1 to 4
    std::optional<uint32_t> iSeed;  // random seed; the clock when absent
    int iBufferSamples = 256;       // samples per device request
    std::string sAudioDriver;       // SDL's audio driver; empty: SDL's choice
    std::string sAudioDevice;       // part of an output device's name; empty: the default
    bool bListAudio = false;        // list the drivers and devices, then stop
    bool bConnect = true;           // jack: out to the system's playback ports at start
    bool bFullscreen = false;
    std::string sMidiFile;             // MPE events as a Standard MIDI File, empty for none
    bool bMidiOut = false;             // live MPE output on the ALSA sequencer
    std::string sMidiOutPort;          // connect to the first port whose name contains this;
                                       // empty: a virtual port "Zindle"
    int iMidiBendRange = 48;           // member channels' pitch-bend range in semitones
    bool bMidiIn = false;              // live MIDI input on the ALSA sequencer
    std::string sMidiInPort;           // connect to the first port whose name contains this;
                                       // empty: a virtual port "Zindle In"
    std::string sMidiDriver;           // "alsa" or "jack"; empty: jack when playing through JACK
    std::string sPlayFile;             // a Standard MIDI File played on the voices, empty for none
    bool bMute = false;                // Zindle's own sound off (MIDI only)
    bool bShowFingers = true;          // a ring at every finger that is down
    std::string sSettings;             // settings read at start, empty for none
    std::string sTuning;               // a Scala scale (.scl); empty: twelve equal notes on C
    std::string sKeymap;               // a Scala keyboard mapping (.kbm) placing degree 0
    std::optional<double> rTuningBase; // Hz of degree 0
};
