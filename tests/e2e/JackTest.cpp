// Playing through JACK for real: the test starts its own JACK server (the dummy
// back end, which runs a real clock with no sound card) under a name of its own,
// runs the live program with --audio-driver jack --midi-in --midi-out, and with
// clients of its own sends notes, a bend and the sustain pedal into
// Zindle:midi_in, records Zindle:out and reads Zindle:midi_out, all with their
// frame times; at 44.1 and 48 kHz. Killing the server ends the run with one line.
#include "support/MidiFileReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace zindle_test;

namespace
{
constexpr int c_iPeriod = 256; // server frames per period

void Quiet(const char*) {}

// A JACK server of the test's own, stopped (killed if need be) with the object.
class JackServer
{
  public:
    explicit JackServer(int rate)
        : m_sName("zindle-test-" + std::to_string(getpid()) + "-" + std::to_string(rate))
    {
        jack_set_error_function(&Quiet);
        jack_set_info_function(&Quiet);
        std::fflush(stdout); // the child must not write what this process has buffered
        m_iPid = fork();
        if (m_iPid == 0)
        {
            setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            const std::string r = std::to_string(rate), p = std::to_string(c_iPeriod);
            execlp("jackd", "jackd", "-n", m_sName.c_str(), "-d", "dummy", "-r", r.c_str(), "-p",
                   p.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Up when a client can open; a server that cannot start has exited.
        for (int i = 0; i < 200 && m_iPid > 0; ++i)
        {
            int status = 0;
            if (waitpid(m_iPid, &status, WNOHANG) == m_iPid)
            {
                m_iPid = -1;
                break;
            }
            if (jack_client_t* probe = Open("zindle-test-probe"))
            {
                jack_client_close(probe);
                m_bUp = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~JackServer() { Stop(); }

    bool IsUp() const { return m_bUp; }
    const std::string& GetName() const { return m_sName; }
    jack_client_t* Open(const char* client) const
    {
        jack_status_t status{};
        return jack_client_open(client,
                                static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                &status, m_sName.c_str());
    }
    // The environment a program needs to find this server.
    std::string Environment() const
    {
        return "env JACK_DEFAULT_SERVER=" + m_sName + " JACK_NO_AUDIO_RESERVATION=1 ";
    }
    void Stop()
    {
        if (m_iPid <= 0)
            return;
        kill(m_iPid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 60 && waitpid(m_iPid, &status, WNOHANG) != m_iPid; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (waitpid(m_iPid, &status, WNOHANG) == 0)
        {
            kill(m_iPid, SIGKILL);
            waitpid(m_iPid, &status, 0);
        }
        m_iPid = -1;
    }

  private:
    std::string m_sName;
    pid_t m_iPid = -1;
    bool m_bUp = false;
};

bool WaitForPort(jack_client_t* client, const char* name, double seconds)
{
    for (int i = 0; i < seconds * 20; ++i)
    {
        if (jack_port_by_name(client, name))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool Connect(jack_client_t* client, const char* from, const char* to)
{
    for (int i = 0; i < 200; ++i)
    {
        if (jack_connect(client, from, to) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

struct Message
{
    double rSeconds = 0.0; // after the start
    uint8_t pBytes[3] = {};
};

struct Received
{
    uint32_t iFrame = 0;
    uint8_t pBytes[3] = {};
};

// Sends its messages at their frames: each written into the period that holds
// it, at its offset there. Until it is armed it pings: a short low note every
// quarter of a second, which Zindle answers on its MIDI out once it plays.
struct Sender
{
    jack_client_t* pClient = nullptr;
    jack_port_t* pPort = nullptr;
    uint32_t iRate = 0;
    uint32_t iPingOn = 0;          // frame of the next ping, 0 before the first
    uint32_t iPingOff = 0;         // frame of the pending ping's end, 0 for none
    std::vector<uint32_t> frames;  // absolute frame of each message
    std::vector<uint32_t> written; // the frame each was written at: late if a period was missed
    std::vector<Message> messages;
    std::atomic<bool> bArmed{false};
    size_t iNext = 0;

    static int Process(jack_nframes_t n, void* user)
    {
        auto* self = static_cast<Sender*>(user);
        void* buffer = jack_port_get_buffer(self->pPort, n);
        jack_midi_clear_buffer(buffer);
        const jack_nframes_t start = jack_last_frame_time(self->pClient);
        const auto within = [&](uint32_t frame) { return frame - start < n; };
        if (self->iPingOff != 0 && within(self->iPingOff))
        {
            const uint8_t off[3] = {0x80, 21, 0};
            jack_midi_event_write(buffer, self->iPingOff - start, off, 3);
            self->iPingOff = 0;
        }
        if (!self->bArmed.load(std::memory_order_acquire))
        {
            if (self->iPingOn == 0)
                self->iPingOn = start;
            if (within(self->iPingOn) && self->iPingOff == 0)
            {
                const uint8_t on[3] = {0x90, 21, 100};
                jack_midi_event_write(buffer, self->iPingOn - start, on, 3);
                self->iPingOff = self->iPingOn + self->iRate / 20;
                self->iPingOn += self->iRate / 4;
            }
            return 0;
        }
        for (; self->iNext < self->frames.size(); ++self->iNext)
        {
            const int32_t offset = static_cast<int32_t>(self->frames[self->iNext] - start);
            if (offset >= static_cast<int32_t>(n))
                break;
            const auto at = static_cast<jack_nframes_t>(std::max(offset, 0));
            jack_midi_event_write(buffer, at, self->messages[self->iNext].pBytes, 3);
            self->written[self->iNext] = start + at;
        }
        return 0;
    }
};

// Records audio and MIDI from the first period after it is armed, each period
// at its frame time (a period the machine missed stays a gap), and counts the
// server's xruns.
struct Recorder
{
    jack_client_t* pClient = nullptr;
    jack_port_t* pAudio = nullptr;
    jack_port_t* pMidi = nullptr;
    std::vector<float> audio; // sized before it is armed
    std::atomic<size_t> iRecorded{0};
    std::vector<Received> midi;
    std::atomic<size_t> iMidi{0};
    std::atomic<uint32_t> iStartFrame{0};
    std::atomic<bool> bArmed{false};
    std::atomic<int> iXruns{0};
    std::atomic<int> iAnswers{0}; // MIDI out seen before it was armed

    static int Xrun(void* user)
    {
        auto* self = static_cast<Recorder*>(user);
        if (self->bArmed.load(std::memory_order_acquire))
            self->iXruns.fetch_add(1);
        return 0;
    }

    static int Process(jack_nframes_t n, void* user)
    {
        auto* self = static_cast<Recorder*>(user);
        if (!self->bArmed.load(std::memory_order_acquire))
        {
            self->iAnswers.fetch_add(
                static_cast<int>(jack_midi_get_event_count(jack_port_get_buffer(self->pMidi, n))));
            return 0;
        }
        const jack_nframes_t start = jack_last_frame_time(self->pClient);
        if (self->iRecorded.load(std::memory_order_relaxed) == 0)
            self->iStartFrame.store(start, std::memory_order_relaxed);
        size_t at = start - self->iStartFrame.load(std::memory_order_relaxed);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->pAudio, n));
        for (jack_nframes_t i = 0; i < n && at < self->audio.size(); ++i)
            self->audio[at++] = in[i];
        self->iRecorded.store(std::min(at, self->audio.size()), std::memory_order_release);
        void* buffer = jack_port_get_buffer(self->pMidi, n);
        size_t m = self->iMidi.load(std::memory_order_relaxed);
        for (uint32_t i = 0; i < jack_midi_get_event_count(buffer) && m < self->midi.size(); ++i)
        {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 2 || event.size > 3)
                continue;
            Received& r = self->midi[m++];
            r.iFrame = start + event.time;
            std::copy(event.buffer, event.buffer + std::min<size_t>(event.size, 3), r.pBytes);
        }
        self->iMidi.store(m, std::memory_order_release);
        return 0;
    }
};

// The frequency of a steady tone in samples[begin, end): upward zero crossings
// placed by linear interpolation, their times fitted by least squares.
double ZeroCrossingHz(const std::vector<float>& samples, size_t begin, size_t end, double rate)
{
    std::vector<double> crossings;
    for (size_t i = begin + 1; i < end && i < samples.size(); ++i)
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f)
            crossings.push_back(static_cast<double>(i - 1) +
                                samples[i - 1] / (samples[i - 1] - samples[i]));
    const size_t n = crossings.size();
    if (n < 10)
        return 0.0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t k = 0; k < n; ++k)
    {
        const double x = static_cast<double>(k);
        sx += x;
        sy += crossings[k];
        sxx += x * x;
        sxy += x * crossings[k];
    }
    const double period = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return rate / period;
}

double Cents(double hz, double expected)
{
    return 1200.0 * std::log2(hz / expected);
}

double NoteHz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

float Peak(const std::vector<float>& samples, size_t begin, size_t end)
{
    float peak = 0.0f;
    for (size_t i = begin; i < end && i < samples.size(); ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

const char* const c_sSine = "mode = Theremin\necho_volume = 0\n";
} // namespace

TEST(Jack, NotesBendsAndThePedalSoundAtTheirFramesAndPitchesAt44And48kHz)
{
    for (const int rate : {44100, 48000})
    {
        SCOPED_TRACE(rate);
        JackServer server(rate);
        ASSERT_TRUE(server.IsUp()) << "jackd did not start (is jackd2 installed? scripts/setup)";

        const auto listing = RunCommand(server.Environment() + ZindleBinary() + " --list-audio");
        char period[64];
        std::snprintf(period, sizeof period, "%d Hz server, 256-frame period (%.1f ms)", rate,
                      256000.0 / rate);
        EXPECT_NE(listing.output.find(std::string("  jack         a server answers: ") +
                                      std::to_string(rate) + " Hz, 256-frame period"),
                  std::string::npos)
            << listing.output;

        TempDir dir;
        WriteFile(dir / "sine.conf", c_sSine);
        // A machine too busy to keep the server's time (an xrun) spoils the
        // recording; then the run is made again, twice at most.
        for (int attempt = 1;; ++attempt)
        {
            Sender sender;
            Recorder recorder;
            sender.pClient = server.Open("zindle-test-send");
            recorder.pClient = server.Open("zindle-test-record");
            ASSERT_TRUE(sender.pClient && recorder.pClient);
            sender.iRate = static_cast<uint32_t>(rate);
            sender.pPort = jack_port_register(sender.pClient, "out", JACK_DEFAULT_MIDI_TYPE,
                                              JackPortIsOutput, 0);
            recorder.pAudio = jack_port_register(recorder.pClient, "in", JACK_DEFAULT_AUDIO_TYPE,
                                                 JackPortIsInput, 0);
            recorder.pMidi = jack_port_register(recorder.pClient, "midi_in", JACK_DEFAULT_MIDI_TYPE,
                                                JackPortIsInput, 0);
            // Channel 1: A4; C4 bent a semitone up (of the default 2); E4 held by the
            // pedal; C5 still held when the run ends.
            sender.messages = {
                {0.00, {0x90, 69, 100}}, {0.50, {0x80, 69, 0}},   {0.80, {0x90, 60, 100}},
                {1.30, {0xE0, 0, 96}},   {1.80, {0x80, 60, 0}},   {1.85, {0xE0, 0, 64}},
                {2.10, {0xB0, 64, 127}}, {2.20, {0x90, 64, 100}}, {2.60, {0x80, 64, 0}},
                {3.20, {0xB0, 64, 0}},   {4.00, {0x90, 72, 100}},
            };
            const double recordSeconds = 3.8;
            recorder.audio.resize(static_cast<size_t>((recordSeconds + 1.5) * rate));
            recorder.midi.resize(8192);
            jack_set_process_callback(sender.pClient, &Sender::Process, &sender);
            jack_set_process_callback(recorder.pClient, &Recorder::Process, &recorder);
            jack_set_xrun_callback(recorder.pClient, &Recorder::Xrun, &recorder);
            ASSERT_EQ(jack_activate(sender.pClient), 0);
            ASSERT_EQ(jack_activate(recorder.pClient), 0);
            // Zindle connects its MIDI ports to the ports named on its command line.
            auto run = std::async(std::launch::async,
                                  [&]
                                  {
                                      return RunCommand(server.Environment() + ZindleBinary() +
                                                        " --audio-driver jack --midi-in "
                                                        "zindle-test-send --midi-out "
                                                        "ZINDLE-TEST-RECORD --seconds 12 "
                                                        "--settings '" +
                                                        (dir / "sine.conf").string() + "'");
                                  });

            ASSERT_TRUE(WaitForPort(recorder.pClient, "Zindle:midi_out", 20.0))
                << "Zindle's ports did not appear";
            // The port exists before Zindle's client is active, which a connection waits for.
            ASSERT_TRUE(Connect(recorder.pClient, "Zindle:out", "zindle-test-record:in"));
            // Zindle plays MIDI from its first frame, a little after its ports appear:
            // the pings tell when. The messages then go from half a second on.
            const auto ready = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (recorder.iAnswers.load() == 0 && std::chrono::steady_clock::now() < ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ASSERT_GT(recorder.iAnswers.load(), 0) << "Zindle never played the pings";
            const uint32_t start =
                jack_frame_time(sender.pClient) + static_cast<uint32_t>(rate / 2);
            recorder.bArmed.store(true, std::memory_order_release);
            for (const Message& m : sender.messages)
                sender.frames.push_back(start +
                                        static_cast<uint32_t>(std::lround(m.rSeconds * rate)));
            sender.written.assign(sender.frames.size(), 0);
            sender.bArmed.store(true, std::memory_order_release);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (recorder.iRecorded.load() < recorder.audio.size() &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            // MIDI out is read to the run's end, for the note-off of the note still held.
            const ProcessResult result = run.get();
            jack_client_close(sender.pClient);
            jack_client_close(recorder.pClient);
            ASSERT_EQ(result.status, 0) << result.output;
            EXPECT_NE(result.output.find(std::string("zindle: playing on jack, ") + period),
                      std::string::npos)
                << result.output;
            EXPECT_NE(result.output.find(
                          "zindle: MIDI input: Zindle:midi_in, from zindle-test-send:out\n"),
                      std::string::npos)
                << result.output;
            EXPECT_NE(result.output.find(
                          "zindle: MIDI output: Zindle:midi_out, to zindle-test-record:midi_in\n"),
                      std::string::npos)
                << result.output;
            ASSERT_EQ(recorder.iRecorded.load(), recorder.audio.size()) << "the recording stopped";
            if (recorder.iXruns.load() > 0 && attempt < 3)
            {
                std::printf("[ note ] %d Hz: the server missed periods (%d xruns): playing again\n",
                            rate, recorder.iXruns.load());
                continue;
            }

            const std::vector<float>& audio = recorder.audio;
            const int64_t origin =
                static_cast<int64_t>(start - recorder.iStartFrame.load()); // the start's sample
            ASSERT_GT(origin, c_iPeriod);
            auto at = [&](double seconds)
            { return static_cast<size_t>(origin + std::lround(seconds * rate)); };
            // Where message i went out, from the start (a loaded machine may make it late).
            auto sent = [&](size_t i)
            { return static_cast<int64_t>(int32_t(sender.written[i] - start)); };
            const size_t c_noteOns[] = {0, 2, 7, 10}, c_noteOffs[] = {1, 4, 9}, c_bend = 3;

            // Each note sounds from its note-on's frame, within one period, every one
            // as late as the next: at 44.1 kHz at once, at another rate by the
            // resampler's latency, which the run states ("adds N frames").
            int stated = 0;
            if (const size_t adds = result.output.find("(adds "); adds != std::string::npos)
                stated = std::atoi(result.output.c_str() + adds + 6);
            EXPECT_EQ(stated > 0, rate != 44100) << result.output;
            for (const size_t on : c_noteOns)
            {
                SCOPED_TRACE(on);
                const size_t frame = static_cast<size_t>(origin + sent(on));
                EXPECT_LT(Peak(audio, frame - c_iPeriod, frame), 0.002f) << "sound before the note";
                // The onset: the first sample at a fifth of the note's steady level (the
                // resampler's filter rings faintly ahead of a sudden start).
                const float level = Peak(audio, frame + 2000, frame + 6000);
                ASSERT_GT(level, 0.05f) << "no note";
                size_t onset = frame;
                while (onset < frame + 4 * c_iPeriod && std::fabs(audio[onset]) < 0.2f * level)
                    ++onset;
                EXPECT_LE(onset - frame, static_cast<size_t>(c_iPeriod));
                // Every note as late as the next, give or take the few samples the
                // sine takes to rise from where its phase starts (0.15 ms), unless
                // the machine was too busy to keep the server's time.
                if (recorder.iXruns.load() == 0)
                {
                    EXPECT_GE(static_cast<int>(onset - frame), stated);
                    EXPECT_LE(static_cast<int>(onset - frame), stated + 7);
                }
                std::printf("[ figure ] %d Hz: note-on to sound %zu frames (%d xruns)\n", rate,
                            onset - frame, recorder.iXruns.load());
            }
            // Every pitch within 0.1 cent: the notes, the bend, the note the pedal holds.
            struct Stretch
            {
                double from, to, note;
            };
            for (const Stretch& s :
                 {Stretch{0.10, 0.45, 69}, Stretch{0.90, 1.25, 60}, Stretch{1.40, 1.75, 61},
                  Stretch{2.30, 2.55, 64}, Stretch{2.70, 3.15, 64}})
            {
                SCOPED_TRACE(s.from);
                const double hz = ZeroCrossingHz(audio, at(s.from), at(s.to), rate);
                EXPECT_NEAR(Cents(hz, NoteHz(s.note)), 0.0, 0.1) << hz << " Hz";
            }
            // Released by the pedal: silent soon after it lifts.
            EXPECT_GT(Peak(audio, at(3.10), at(3.15)), 0.05f);
            EXPECT_LT(Peak(audio, at(3.45), at(3.75)), 0.002f);

            // MIDI out: MPE notes on member channels at the frames that played them,
            // their pitch (note and bend over 48 semitones) what sounded.
            std::vector<Received> out(recorder.midi.begin(),
                                      recorder.midi.begin() + recorder.iMidi.load());
            // The end of the last ping (note 21) may still come out: it is not ours.
            std::erase_if(out, [](const Received& r)
                          { return (r.pBytes[0] & 0xE0) == 0x80 && r.pBytes[1] == 21; });
            auto frameOf = [&](const Received& r)
            { return static_cast<int64_t>(r.iFrame - recorder.iStartFrame.load()) - origin; };
            auto pitchAt = [&](double seconds) -> double
            {
                // The note sounding on any member channel at that time, with its bend.
                int note = -1, bend[16];
                std::fill(bend, bend + 16, 8192);
                for (const Received& r : out)
                {
                    if (frameOf(r) > std::lround(seconds * rate))
                        break;
                    const int kind = r.pBytes[0] & 0xF0, channel = r.pBytes[0] & 0x0F;
                    if (kind == 0xE0)
                        bend[channel] = r.pBytes[1] | (r.pBytes[2] << 7);
                    else if (kind == 0x90 && r.pBytes[2] > 0 && channel > 0)
                        note = r.pBytes[1] + 100 * channel;
                    else if ((kind == 0x80 || kind == 0x90) && note == r.pBytes[1] + 100 * channel)
                        note = -1;
                }
                if (note < 0)
                    return -1.0;
                return note % 100 + (bend[note / 100] - 8192) / 8192.0 * 48.0;
            };
            for (const Stretch& s : {Stretch{0.30, 0, 69}, Stretch{1.10, 0, 60},
                                     Stretch{1.60, 0, 61}, Stretch{3.00, 0, 64}})
            {
                SCOPED_TRACE(s.from);
                // Within half a step of the bend's 14 bits over 48 semitones.
                EXPECT_NEAR(pitchAt(s.from), s.note, 48.0 / 8192.0 / 2.0 + 1e-9);
            }
            EXPECT_LT(pitchAt(3.40), 0.0) << "the held note ends when the pedal lifts";
            std::vector<int64_t> onsets, offsets;
            for (const Received& r : out)
            {
                const int kind = r.pBytes[0] & 0xF0;
                if (kind == 0x90 && r.pBytes[2] > 0)
                    onsets.push_back(frameOf(r));
                else if (kind == 0x80 || kind == 0x90)
                    offsets.push_back(frameOf(r));
            }
            std::string stream; // what came out, for a failure's message
            for (const Received& r : out)
            {
                char line[64];
                std::snprintf(line, sizeof line, "%lld: %02X %d %d\n",
                              static_cast<long long>(frameOf(r)), r.pBytes[0], r.pBytes[1],
                              r.pBytes[2]);
                stream += line;
            }
            // Each note-on and note-off goes out within a period after its frame (the
            // pedal's release for the held note), and nothing else starts or ends a
            // note but the bend, which may move the note to the semitone it lands on.
            auto near = [&](const std::vector<int64_t>& frames, size_t message)
            {
                const int64_t frame = sent(message);
                return std::count_if(frames.begin(), frames.end(),
                                     [&](int64_t f)
                                     { return f >= frame && f <= frame + c_iPeriod; });
            };
            for (const size_t on : c_noteOns)
                EXPECT_EQ(near(onsets, on), 1) << on << "\n" << stream;
            for (const size_t off : c_noteOffs)
                EXPECT_EQ(near(offsets, off), 1) << off << "\n" << stream;
            EXPECT_EQ(static_cast<long>(onsets.size()), 4 + near(onsets, c_bend)) << stream;
            // The note held at the end is ended by the run's end, not left hanging.
            EXPECT_EQ(static_cast<long>(offsets.size()), 4 + near(offsets, c_bend)) << stream;
            ASSERT_FALSE(out.empty());
            const Received& last = out.back();
            EXPECT_TRUE((last.pBytes[0] & 0xF0) == 0x80 ||
                        ((last.pBytes[0] & 0xF0) == 0x90 && last.pBytes[2] == 0))
                << stream;
            EXPECT_GT(frameOf(last), sent(10) + c_iPeriod) << stream;
            break;
        }
    }
}

// Also: a MIDI file played (--play) while JACK MIDI in is open reaches the voices
// through the process callback; --no-connect leaves Zindle:out alone.
TEST(Jack, TheServerGoingEndsTheRunWithOneLineExitOneAndFinishedOutputs)
{
    JackServer server(44100);
    ASSERT_TRUE(server.IsUp()) << "jackd did not start (is jackd2 installed? scripts/setup)";
    TempDir dir;
    WriteFile(dir / "sine.conf", c_sSine);
    // A4 from 1 s to 3 s (120 bpm, 480 ticks a beat): late and long enough that a
    // slow start on a loaded machine does not run its two ends together.
    const unsigned char track[] = {0x87, 0x40, 0x90, 69, 100,  0x8F, 0x00,
                                   0x80, 69,   0,    0,  0xFF, 0x2F, 0};
    std::string smf("MThd\0\0\0\x06\0\0\0\x01\x01\xE0MTrk\0\0\0", 21);
    smf += static_cast<char>(sizeof track);
    smf.append(reinterpret_cast<const char*>(track), sizeof track);
    WriteFile(dir / "a4.mid", smf);
    auto run =
        std::async(std::launch::async,
                   [&]
                   {
                       return RunCommand(server.Environment() + ZindleBinary() +
                                         " --audio-driver jack --no-connect --midi-in --seconds 20 "
                                         "--settings '" +
                                         (dir / "sine.conf").string() + "' --play '" +
                                         (dir / "a4.mid").string() + "' --wav '" +
                                         (dir / "gone.wav").string() + "' --midi '" +
                                         (dir / "gone.mid").string() + "'");
                   });
    jack_client_t* watcher = server.Open("zindle-test-watch");
    ASSERT_TRUE(watcher);
    ASSERT_TRUE(WaitForPort(watcher, "Zindle:out", 20.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    const char** connections =
        jack_port_get_all_connections(watcher, jack_port_by_name(watcher, "Zindle:out"));
    EXPECT_EQ(connections, nullptr) << "--no-connect left Zindle:out connected";
    jack_free(connections);
    jack_client_close(watcher);
    server.Stop();
    const ProcessResult result = run.get();
    // With no server, the listing says that none answers and a run refuses in one line.
    const auto listing = RunCommand(server.Environment() + ZindleBinary() + " --list-audio");
    EXPECT_NE(listing.output.find("  jack         no server answers (no JACK server is running)"),
              std::string::npos)
        << listing.output;
    const auto refused =
        RunCommand(server.Environment() + ZindleBinary() + " --audio-driver jack --seconds 1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, "zindle: cannot play through JACK: no JACK server is running\n");
    EXPECT_EQ(result.status, 1) << result.output;
    size_t lines = 0;
    for (size_t at = 0; (at = result.output.find("has gone", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 1u) << result.output;
    EXPECT_NE(result.output.find("zindle: the JACK server has gone"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("Zindle:out unconnected"), std::string::npos) << result.output;

    // The outputs are finished, and hold the note the file played.
    WavFile wav;
    ASSERT_TRUE(ReadWav(dir / "gone.wav", wav));
    ASSERT_GE(wav.samples.size(), 22050u) << "the sound played before the end";
    size_t onset = 0;
    while (onset < wav.samples.size() && std::abs(wav.samples[onset]) < 300)
        ++onset;
    ASSERT_LT(onset + 22050, wav.samples.size()) << "the MIDI file's note was not heard";
    const double hz = EstimateFrequency(wav.samples, onset + 2205, onset + 22050, 100.0, 1000.0);
    EXPECT_NEAR(Cents(hz, 440.0), 0.0, 1.0) << hz << " Hz";
    MidiFile midi;
    std::string error;
    ASSERT_TRUE(ReadMidiFile(dir / "gone.mid", midi, error)) << error;
    bool noteOn = false;
    for (const auto& events : midi.trackEvents)
        for (const MidiFileEvent& e : events)
            noteOn |= e.Kind() == 0x90 && e.data.size() == 2 && e.data[0] == 69 && e.data[1] > 0;
    EXPECT_TRUE(noteOn) << "the MIDI file holds the note played";
}
