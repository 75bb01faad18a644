#include "host/MidiOutput.h"

#include "dsp/SoundManager.h"
#include "host/HostShared.h"
#include "platform/alsa/AlsaMidiPort.h"
#include "platform/jack/PeriodRenderer.h"
#include "synth/Synth_FourVoice.h"

#include <RtMidi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace
{
constexpr size_t c_iDrainChunk = 1024;

} // namespace

MidiOutput::MidiOutput() = default;

MidiOutput::~MidiOutput()
{
    StopSender();
}

void MidiOutput::Attach(SoundManager* sound, SoundControlSource* const* voices, int count)
{
    if (!m_pEncoder)
        return;
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        m_pEncoder->SetVoiceSource(i, voices && i < count ? voices[i] : nullptr);
    m_pSound = sound;
    if (m_pSound)
        m_pSound->SetBlockListener(m_pEncoder.get());
}

void MidiOutput::Detach()
{
    if (!m_pEncoder)
        return;
    if (m_pSound)
        m_pSound->SetBlockListener(nullptr);
    m_pSound = nullptr;
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        m_pEncoder->SetVoiceSource(i, nullptr);
}

bool MidiOutput::Open(const HostOptions& options, std::string& error)
{
    if (options.sMidiFile.empty() && !options.bMidiOut)
        return true;
    if (!options.sMidiFile.empty() &&
        !m_file.Open(options.sMidiFile, static_cast<int>(SoundManager::c_rSampleRate), error))
        return false;
    m_pEncoder = std::make_unique<MpeEncoder>(options.iMidiBendRange);
    m_events.resize(c_iDrainChunk);
    // Through JACK the sound manager owns the port (Zindle:midi_out).
    if (options.bMidiOut && !(HostShared::UsesJack(options) && HostShared::UsesJackMidi(options)))
        OpenLive(options.sMidiOutPort);
    if (!options.bHeadless)
        StartSender();
    return true;
}

void MidiOutput::SetRelay(PeriodRenderer* relay)
{
    const bool sending = m_sender.joinable();
    StopSender();
    DrainToOutputs(); // what the old source still holds
    m_pRelay = relay;
    if (sending)
        StartSender();
}

void MidiOutput::StartSender()
{
    m_bSending.store(true);
    m_sender = std::thread(
        [this]()
        {
            while (m_bSending.load())
            {
                DrainToOutputs();
                std::this_thread::sleep_for(std::chrono::microseconds(c_iSendIntervalMicroseconds));
            }
        });
}

void MidiOutput::StopSender()
{
    if (!m_sender.joinable())
        return;
    m_bSending.store(false);
    m_sender.join();
}

void MidiOutput::OpenLive(const std::string& match)
{
    if (!AlsaMidiPort::Available("output"))
        return;
    try
    {
        auto port = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, c_sPortName);
        m_sPortDescription =
            AlsaMidiPort::OpenAndSay(*port, match, c_sPortName, "output", m_sPortFailure);
        if (!m_sPortDescription.empty())
            m_pPort = std::move(port);
    }
    catch (const RtMidiError& e)
    {
        Warn("MIDI output is off: " + e.getMessage());
    }
}

void MidiOutput::Warn(const std::string& message)
{
    AlsaMidiPort::Warn(message);
}

void MidiOutput::Update()
{
    if (!m_sender.joinable())
        DrainToOutputs();
}

void MidiOutput::DrainToOutputs()
{
    if (!m_pEncoder)
        return;
    size_t n;
    while ((n = m_pRelay ? m_pRelay->DrainMidiOut(m_events.data(), m_events.size())
                         : m_pEncoder->Drain(m_events.data(), m_events.size())) > 0)
    {
        if (m_file.IsOpen())
            m_file.Write(m_events.data(), n);
        if (m_pPort)
        {
            for (size_t i = 0; i < n; ++i)
                m_pPort->sendMessage(m_events[i].pBytes, m_events[i].iSize);
        }
        m_iEventsSent.fetch_add(static_cast<int64_t>(n), std::memory_order_relaxed);
    }
}

bool MidiOutput::Close(int64_t endSampleTime, std::string& error)
{
    StopSender();
    if (!m_pEncoder)
        return true;
    m_pEncoder->EndNotes();
    DrainToOutputs();
    if (const size_t dropped = m_pEncoder->GetDropped(); dropped > 0)
        Warn(std::to_string(dropped) + " MIDI events were dropped (the queue was full)");
    m_pPort.reset();
    if (!m_file.IsOpen())
        return true;
    return m_file.Close(std::max(endSampleTime, m_pEncoder->GetSampleTime()), error);
}
