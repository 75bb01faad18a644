#include "platform/alsa/MidiInput.h"

#include "platform/alsa/AlsaMidiPort.h"
#include "synth/MidiVoices.h"

#include <RtMidi.h>

#include <cstdio>
#include <vector>

namespace
{
void Received_Static(double /*seconds*/, std::vector<unsigned char>* message, void* user)
{
    if (message && !message->empty())
        static_cast<MidiInput*>(user)->Receive(message->data(), message->size());
}
} // namespace

MidiInput::MidiInput(Wake wake) : m_pWake(wake) {}

MidiInput::~MidiInput()
{
    // Closing the port stops RtMidi's thread before the ring goes.
    if (m_pPort)
        m_pPort->closePort();
}

void MidiInput::Open(const std::string& match)
{
    if (!AlsaMidiPort::Available("input"))
        return;
    try
    {
        auto port = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, c_sPortName, c_iQueueSize);
        port->ignoreTypes(true, true, true); // SysEx, timing and active sensing
        port->setCallback(&Received_Static, this);
        m_sPortDescription =
            AlsaMidiPort::OpenAndSay(*port, match, c_sPortName, "input", m_sPortFailure);
        if (!m_sPortDescription.empty())
            m_pPort = std::move(port);
    }
    catch (const RtMidiError& e)
    {
        AlsaMidiPort::Warn("MIDI input is off: " + e.getMessage());
    }
}

void MidiInput::Receive(const unsigned char* bytes, size_t size)
{
    const unsigned char status = bytes[0];
    if (size < 2 || size > 3 || status < 0x80 || status >= 0xF0)
        return;
    const MidiEvent event = MidiEvent::Make(0, status, bytes[1], size == 3 ? bytes[2] : 0);
    if (event.iSize != size)
        return; // a message of the wrong length for its status
    m_queue.Push(&event, 1);
    // One wake-up at a time: the main loop drains everything that came.
    if (!m_bWakePending.exchange(true, std::memory_order_acq_rel) && m_pWake)
        m_pWake();
}

size_t MidiInput::Drain(MidiVoices& voices)
{
    m_bWakePending.store(false, std::memory_order_release);
    size_t played = 0;
    MidiEvent events[64];
    for (size_t n; (n = m_queue.Pop(events, 64)) > 0;)
    {
        for (size_t i = 0; i < n; ++i)
            voices.Handle(events[i]);
        played += n;
    }
    return played;
}
