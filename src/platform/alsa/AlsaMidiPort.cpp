#include "platform/alsa/AlsaMidiPort.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>

#include <cstdio>

namespace
{
// ALSA reports its own failures on stderr; the probe stays quiet and lets the
// caller say it once.
void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

// RtMidi reports failures after construction through this callback instead of
// printing and throwing; the string tells the caller the last call failed.
void RtMidiFailure_Static(RtMidiError::Type type, const std::string& text, void* user)
{
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
        return;
    auto* failure = static_cast<std::string*>(user);
    if (failure->empty())
        *failure = text;
}
} // namespace

bool AlsaMidiPort::SequencerAvailable()
{
    snd_lib_error_set_handler(&QuietAlsaError);
    snd_seq_t* sequencer = nullptr;
    const int status = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, 0);
    if (status >= 0)
        snd_seq_close(sequencer);
    snd_lib_error_set_handler(nullptr);
    return status >= 0;
}

std::string AlsaMidiPort::Open(RtMidi& port, const std::string& match, const char* name,
                               std::string& warning, std::string& failure)
{
    failure.clear();
    port.setErrorCallback(&RtMidiFailure_Static, &failure);
    std::string description;
    if (!match.empty())
    {
        const unsigned count = port.getPortCount();
        for (unsigned i = 0; i < count && description.empty(); ++i)
        {
            const std::string portName = port.getPortName(i);
            if (portName.find(match) == std::string::npos)
                continue;
            port.openPort(i, name);
            description = "connected to " + portName;
        }
        if (description.empty())
            warning = "no MIDI port name contains \"" + match + "\": opening the virtual port " +
                      name + " instead";
    }
    if (description.empty())
    {
        port.openVirtualPort(name);
        description = std::string("virtual port ") + name;
    }
    return failure.empty() ? description : std::string();
}

bool AlsaMidiPort::Available(const char* what)
{
    if (SequencerAvailable())
        return true;
    Warn(std::string("no ALSA sequencer on this machine: MIDI ") + what +
         " is off, Zindle plays on");
    return false;
}

void AlsaMidiPort::Warn(const std::string& message)
{
    std::fprintf(stderr, "zindle: warning: %s\n", message.c_str());
}

std::string AlsaMidiPort::OpenAndSay(RtMidi& port, const std::string& match, const char* name,
                                     const char* what, std::string& failure)
{
    std::string warning;
    const std::string description = Open(port, match, name, warning, failure);
    if (!warning.empty())
        Warn(warning);
    if (description.empty())
    {
        Warn(std::string("MIDI ") + what + " is off: " + failure);
        return description;
    }
    std::printf("zindle: MIDI %s: %s\n", what, description.c_str());
    std::fflush(stdout);
    return description;
}
