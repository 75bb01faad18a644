// What MIDI out and MIDI in share on the ALSA sequencer: whether there is one,
// and opening an RtMidi port by name or as a virtual port.
#pragma once

#include <string>

class RtMidi;

class AlsaMidiPort
{
  public:
    // Whether an ALSA sequencer can be opened here (quietly).
    static bool SequencerAvailable();
    // The same, with one warning when there is none: MIDI `what` ("input",
    // "output") is off and Zindle plays on.
    static bool Available(const char* what);
    // A warning line on stderr.
    static void Warn(const std::string& message);

    // Connects `port` to the first port whose name contains `match`, or (no
    // match given, or none found: said in `warning`) opens a virtual port named
    // `name`. Returns what it opened ("virtual port NAME", "connected to
    // PORT"), or empty with the reason in `failure`.
    static std::string Open(RtMidi& port, const std::string& match, const char* name,
                            std::string& warning, std::string& failure);
    // Open, then says what it opened on stdout ("zindle: MIDI input: virtual
    // port Zindle In"), or warns why MIDI `what` is off.
    static std::string OpenAndSay(RtMidi& port, const std::string& match, const char* name,
                                  const char* what, std::string& failure);
};
