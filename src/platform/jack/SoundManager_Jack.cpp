#include "platform/jack/SoundManager_Jack.h"

#include "core/TextParse.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cstdio>
#include <cstring>

namespace
{
int Process_Static(jack_nframes_t frames, void* user)
{
    return static_cast<SoundManager_Jack*>(user)->Process(frames);
}

int BufferSize_Static(jack_nframes_t frames, void* user)
{
    static_cast<SoundManager_Jack*>(user)->SetPeriod(frames);
    return 0;
}

void Shutdown_Static(jack_status_t /*code*/, const char* reason, void* user)
{
    static_cast<SoundManager_Jack*>(user)->ServerGone(reason);
}

// JACK's own messages go nowhere: the run says what matters in its own words.
void Quiet(const char* /*message*/) {}

// Whether `text` contains `part`, ignoring case.
bool Contains(const std::string& text, const std::string& part)
{
    return TextParse::Lower(text).find(TextParse::Lower(part)) != std::string::npos;
}

jack_client_t* OpenClient(const char* name, std::string& error)
{
    jack_set_error_function(&Quiet);
    jack_set_info_function(&Quiet);
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    if (!client)
        error = (status & JackServerFailed) || (status & JackServerError)
                    ? "no JACK server is running"
                    : "the JACK server refused the client (status " +
                          std::to_string(static_cast<int>(status)) + ")";
    return client;
}
} // namespace

SoundManager_Jack::SoundManager_Jack(const Options& options)
    : m_options(options), m_pEvents(new MidiEvent[PeriodRenderer::c_iMaxEvents])
{
    m_pClient = OpenClient(c_sClientName, m_sError);
    if (!m_pClient)
        return;
    m_sName = jack_get_client_name(m_pClient);
    m_iRate = static_cast<int>(jack_get_sample_rate(m_pClient));
    m_iPeriod = static_cast<int>(jack_get_buffer_size(m_pClient));
    m_pPeriod = std::make_unique<PeriodRenderer>(*this, m_iRate, options.bCapture, m_iPeriod);
    if (!m_pPeriod->IsValid())
    {
        m_sError = m_pPeriod->GetError();
        return;
    }
    m_pOut = jack_port_register(m_pClient, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (options.bMidiIn)
        m_pMidiIn =
            jack_port_register(m_pClient, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (options.bMidiOut)
        m_pMidiOut =
            jack_port_register(m_pClient, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!m_pOut || (options.bMidiIn && !m_pMidiIn) || (options.bMidiOut && !m_pMidiOut))
    {
        m_sError = "the JACK server refused Zindle's ports";
        return;
    }
    if (m_pPeriod->IsResampling())
    {
        // Tell the graph the resampler's delay, for latency-compensating clients.
        jack_latency_range_t range{};
        jack_port_get_latency_range(m_pOut, JackPlaybackLatency, &range);
        range.min += static_cast<jack_nframes_t>(m_pPeriod->GetResamplerLatency());
        range.max += static_cast<jack_nframes_t>(m_pPeriod->GetResamplerLatency());
        jack_port_set_latency_range(m_pOut, JackPlaybackLatency, &range);
    }
    jack_set_process_callback(m_pClient, &Process_Static, this);
    jack_set_buffer_size_callback(m_pClient, &BufferSize_Static, this);
    jack_on_info_shutdown(m_pClient, &Shutdown_Static, this);
}

SoundManager_Jack::~SoundManager_Jack()
{
    StopStream();
    if (m_pClient)
        jack_client_close(m_pClient);
}

void SoundManager_Jack::StartStream()
{
    if (!IsOpen() || m_bActive || IsServerGone())
        return;
    if (jack_activate(m_pClient) != 0)
    {
        ServerGone("it did not activate the client");
        return;
    }
    m_bActive = true;
    const std::string prefix = m_sName + ":";
    if (m_options.bConnect)
        m_sConnected = Connect(m_pOut, JACK_DEFAULT_AUDIO_TYPE, true, "", true);
    if (m_pMidiIn)
    {
        std::string from;
        if (!m_options.sMidiInMatch.empty())
            from = Connect(m_pMidiIn, JACK_DEFAULT_MIDI_TYPE, false, m_options.sMidiInMatch, false);
        m_sMidiIn = "MIDI input: " + prefix + "midi_in" + (from.empty() ? "" : ", from " + from);
    }
    if (m_pMidiOut)
    {
        std::string to;
        if (!m_options.sMidiOutMatch.empty())
            to = Connect(m_pMidiOut, JACK_DEFAULT_MIDI_TYPE, true, m_options.sMidiOutMatch, false);
        m_sMidiOut = "MIDI output: " + prefix + "midi_out" + (to.empty() ? "" : ", to " + to);
    }
}

void SoundManager_Jack::StopStream()
{
    if (!m_bActive)
        return;
    m_bActive = false;
    if (!IsServerGone())
        jack_deactivate(m_pClient);
}

std::string SoundManager_Jack::Connect(jack_port_t* port, const char* type, bool output,
                                       const std::string& match, bool all)
{
    // Our output goes to inputs and the other way round; audio to the
    // system's playback ports unless a name is given.
    unsigned long flags = output ? JackPortIsInput : JackPortIsOutput;
    if (match.empty())
        flags |= JackPortIsPhysical;
    const char** ports = jack_get_ports(m_pClient, nullptr, type, flags);
    std::string connected;
    const char* own = jack_port_name(port);
    for (size_t i = 0; ports && ports[i]; ++i)
    {
        if (!match.empty() && !Contains(ports[i], match))
            continue;
        if (std::strncmp(ports[i], m_sName.c_str(), m_sName.size()) == 0 &&
            ports[i][m_sName.size()] == ':')
            continue; // never to ourselves
        const int failed = output ? jack_connect(m_pClient, own, ports[i])
                                  : jack_connect(m_pClient, ports[i], own);
        if (failed == 0)
        {
            connected += (connected.empty() ? "" : " and ") + std::string(ports[i]);
            if (!all)
                break;
        }
    }
    if (ports)
        jack_free(ports);
    if (connected.empty() && !match.empty())
        std::fprintf(stderr,
                     "zindle: warning: no JACK MIDI port name contains \"%s\": %s is left "
                     "unconnected\n",
                     match.c_str(), own);
    return connected;
}

std::string SoundManager_Jack::GetDescription() const
{
    if (!IsOpen())
        return {};
    const int period = m_iPeriod.load();
    char text[320];
    std::snprintf(text, sizeof text, "jack, %d Hz server, %d-frame period (%.1f ms)", m_iRate,
                  period, 1000.0 * period / m_iRate);
    std::string description = text;
    if (m_pPeriod->IsResampling())
    {
        std::snprintf(text, sizeof text, ", resampled from %d Hz by %s (adds %d frames, %.1f ms)",
                      c_iSampleRate, PeriodRenderer::c_sQuality, m_pPeriod->GetResamplerLatency(),
                      1000.0 * m_pPeriod->GetResamplerLatency() / m_iRate);
        description += text;
    }
    description += ", " + m_sName + ":out " +
                   (m_sConnected.empty() ? std::string("unconnected") : "to " + m_sConnected);
    return description;
}

int SoundManager_Jack::Process(uint32_t frames)
{
    auto* out = static_cast<float*>(jack_port_get_buffer(m_pOut, frames));
    int count = 0;
    if (m_pMidiIn)
    {
        void* buffer = jack_port_get_buffer(m_pMidiIn, frames);
        const uint32_t n = jack_midi_get_event_count(buffer);
        for (uint32_t i = 0; i < n; ++i)
        {
            if (count == PeriodRenderer::c_iMaxEvents)
            {
                m_pPeriod->CountDropped(n - i);
                break;
            }
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 2 || event.size > 3)
                continue;
            const uint8_t status = event.buffer[0];
            if (status < 0x80 || status >= 0xF0)
                continue; // only channel messages play the voices
            const MidiEvent message =
                MidiEvent::Make(static_cast<int64_t>(event.time), status, event.buffer[1],
                                event.size == 3 ? event.buffer[2] : 0);
            if (message.iSize == event.size)
                m_pEvents[count++] = message;
        }
    }
    m_pMidiOutBuffer = m_pMidiOut ? jack_port_get_buffer(m_pMidiOut, frames) : nullptr;
    if (m_pMidiOutBuffer)
        jack_midi_clear_buffer(m_pMidiOutBuffer);
    m_pPeriod->Render(out, static_cast<int>(frames), m_pEvents.get(), count, &MidiOut_Static, this);
    return 0;
}

void SoundManager_Jack::MidiOut_Static(void* user, int frame, const MidiEvent& event)
{
    auto* manager = static_cast<SoundManager_Jack*>(user);
    if (manager->m_pMidiOutBuffer &&
        jack_midi_event_write(manager->m_pMidiOutBuffer, static_cast<jack_nframes_t>(frame),
                              event.pBytes, event.iSize) != 0)
        manager->m_pPeriod->CountDropped(1);
}

void SoundManager_Jack::ServerGone(const char* reason)
{
    if (m_bGone.load(std::memory_order_acquire))
        return;
    std::snprintf(m_pGoneReason, sizeof m_pGoneReason, "%s", reason ? reason : "");
    m_bGone.store(true, std::memory_order_release);
}

std::string SoundManager_Jack::DescribeServer()
{
    std::string error;
    jack_client_t* client = OpenClient("Zindle-list", error);
    if (!client)
        return "no server answers (" + error + ")";
    char text[160];
    const jack_nframes_t rate = jack_get_sample_rate(client);
    const jack_nframes_t period = jack_get_buffer_size(client);
    std::snprintf(text, sizeof text, "a server answers: %u Hz, %u-frame period (%.1f ms)", rate,
                  period, 1000.0 * period / rate);
    jack_client_close(client);
    return text;
}
