// MIDI out on the host side: the file writer read back by an independent reader,
// the MidiOutput draining the encoder to file and port, the command line, muting.
#include "host/MidiOutput.h"
#include "dsp/SoundControlSource.h"
#include "dsp/SoundManager.h"
#include "host/CommandLine.h"
#include "host/MidiFileWriter.h"
#include "platform/alsa/AlsaMidiPort.h"
#include "platform/alsa/MidiInput.h"
#include "support/SoundTestSupport.h"
#include "synth/MpeEncoder.h"

#include "support/MidiFileReader.h"
#include "support/TestSupport.h"

#include <RtMidi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
using zindle_test::MidiFile;
using zindle_test::MidiFileEvent;
using zindle_test::TempDir;

// The channel messages (or the meta events) of a file read back, in order.
std::vector<MidiFileEvent> ReadBack(const std::filesystem::path& path, bool meta = false)
{
    MidiFile file;
    std::string error;
    EXPECT_TRUE(zindle_test::ReadMidiFile(path, file, error)) << error;
    EXPECT_EQ(file.format, 0);
    EXPECT_EQ(file.tracks, 1);
    std::vector<MidiFileEvent> events;
    for (const MidiFileEvent& e : file.trackEvents.empty() ? events : file.trackEvents[0])
        if (meta ? e.status == 0xFF : e.status >= 0x80 && e.status < 0xF0)
            events.push_back(e);
    return events;
}

// Channel messages as (sample, bytes), from the events given or a file read back.
using Messages = std::vector<std::pair<int64_t, std::vector<uint8_t>>>;
Messages Summary(const std::vector<MidiEvent>& events)
{
    Messages out;
    for (const MidiEvent& e : events)
        out.push_back({e.iSampleTime, {e.pBytes, e.pBytes + e.iSize}});
    return out;
}
Messages Summary(const std::vector<MidiFileEvent>& events)
{
    Messages out;
    for (const MidiFileEvent& e : events)
    {
        out.push_back({e.tick, {e.status}});
        out.back().second.insert(out.back().second.end(), e.data.begin(), e.data.end());
    }
    return out;
}

bool WriteEvents(const std::filesystem::path& path, const std::vector<MidiEvent>& events,
                 int64_t end)
{
    MidiFileWriter writer;
    std::string error;
    return writer.Open(path.string(), 44100, error) &&
           (writer.Write(events.data(), events.size()), writer.Close(end, error));
}

// A voice like the theremin that holds one pitch and timbre.
class HeldVoice : public SoundControlSource
{
  public:
    HeldVoice(float hz, float timbre) : SoundControlSource(2), m_rHz(hz), m_rTimbre(timbre) {}
    void Generate(int channel, int, SoundControlBuffer* buffer, int count) override
    {
        buffer->AddValue(channel == 0 ? m_rHz : m_rTimbre, count);
    }
    void Play(MpeEncoder& encoder, int stamp, int count)
    {
        UpdateBuffer(0, stamp, count);
        UpdateBuffer(1, stamp, count);
        encoder.ProcessBlock(stamp, count);
    }
    float m_rHz, m_rTimbre;
};
} // namespace

TEST(MidiFileWriter, RoundTripKeepsEveryEventAtItsSampleInFixedBytes)
{
    TempDir dir;
    // Times around the widths of the delta encoding, a minute in, and a gap
    // longer than one delta time can hold; three-byte messages and a two-byte one.
    const std::vector<MidiEvent> events = {MidiEvent::Make(0, 0x90, 40, 100),
                                           MidiEvent::Make(0, 0xE1, 1, 64),
                                           MidiEvent::Make(1, 0xB2, 74, 20),
                                           MidiEvent::Make(127, 0x93, 43, 100),
                                           MidiEvent::Make(128, 0xE4, 4, 64),
                                           MidiEvent::Make(16383, 0xB0, 74, 50),
                                           MidiEvent::Make(16384, 0x91, 46, 100),
                                           MidiEvent::Make(2097151, 0xE2, 7, 64),
                                           MidiEvent::Make(2097152, 0xB3, 74, 80),
                                           MidiEvent::Make(2646000, 0x94, 49, 100),
                                           MidiEvent::Make(2646000, 0xE0, 10, 64),
                                           MidiEvent::Make(0x10000000 + 2646005, 0xB1, 74, 9),
                                           MidiEvent::Make(0x10000000 + 2646005, 0xD0, 33, 0)};
    const int64_t end = events.back().iSampleTime + 44100;
    ASSERT_TRUE(WriteEvents(dir / "round.mid", events, end));
    EXPECT_EQ(Summary(ReadBack(dir / "round.mid")), Summary(events));
    const std::vector<MidiFileEvent> meta = ReadBack(dir / "round.mid", true);
    ASSERT_GE(meta.size(), 3u);
    using Meta = std::tuple<int, int64_t, std::vector<uint8_t>>;
    auto at = [](const MidiFileEvent& e) { return Meta(e.metaType, e.tick, e.data); };
    // The name, 120 bpm (22050 ticks per beat make a tick a sample), the end.
    EXPECT_EQ((std::vector{at(meta[0]), at(meta[1]), at(meta.back())}),
              (std::vector<Meta>{{0x03, 0, {'Z', 'i', 'n', 'd', 'l', 'e'}},
                                 {0x51, 0, {0x07, 0xA1, 0x20}},
                                 {0x2F, end, {}}}));
    // Header: format 0, one track, 22050 (0x5622) ticks per beat.
    EXPECT_EQ(zindle_test::ReadFile(dir / "round.mid").substr(0, 18),
              std::string("MThd\0\0\0\6\0\0\0\1\x56\x22MTrk", 18));
}

TEST(MidiFileWriter, LateEventsWaitStrayBytesStayOutAndFailuresLeaveNothing)
{
    TempDir dir;
    ASSERT_TRUE(WriteEvents(dir / "late.mid",
                            {MidiEvent::Make(1000, 0x90, 60, 100),
                             MidiEvent::Make(500, 0x80, 60, 64), // earlier than 1000
                             MidiEvent::Make(1200, 0xF0, 1, 2),  // not a channel message
                             MidiEvent(), MidiEvent::Make(1300, 0x90, 62, 100)},
                            0)); // the end before the last event
    EXPECT_EQ(Summary(ReadBack(dir / "late.mid")),
              (Messages{{1000, {0x90, 60, 100}}, {1000, {0x80, 60, 64}}, {1300, {0x90, 62, 100}}}));
    EXPECT_EQ(ReadBack(dir / "late.mid", true).back().tick, 1300);
    std::filesystem::remove(dir / "late.mid");
    std::string error;
    for (const auto& [path, rate, says] : {std::tuple{dir / "missing" / "x.mid", 44100, "x.mid"},
                                           std::tuple{dir / "odd.mid", 44101, "44101"}})
    {
        MidiFileWriter writer;
        error.clear();
        EXPECT_FALSE(writer.Open(path.string(), rate, error));
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
        EXPECT_NE(error.find(says), std::string::npos) << error;
    }
    {
        // Opened but never closed: the temporary file goes, nothing is left.
        MidiFileWriter writer;
        ASSERT_TRUE(writer.Open((dir / "abandoned.mid").string(), 44100, error));
        const MidiEvent e = MidiEvent::Make(10, 0x90, 60, 100);
        writer.Write(&e, 1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

// With an ALSA sequencer the live port is a virtual port named Zindle; without
// one (an empty ALSA configuration) the program warns once and plays on.
TEST(MidiOutput, LivePortWhereASequencerExistsAndAWarningWhereNot)
{
    HostOptions options;
    options.bMidiOut = true;
    MidiOutput output;
    std::string error;
    ASSERT_TRUE(output.Open(options, error)) << error;
    EXPECT_TRUE(output.IsOpen()); // the encoder runs whatever happens to the port
    EXPECT_EQ(output.IsLive(), AlsaMidiPort::SequencerAvailable());
    if (output.IsLive())
    {
        EXPECT_EQ(output.GetPortDescription(), "virtual port Zindle");
        RtMidiIn listener(RtMidi::LINUX_ALSA, "zindle-test");
        bool found = false;
        for (unsigned i = 0; i < listener.getPortCount(); ++i)
            found = found || listener.getPortName(i).find("Zindle") != std::string::npos;
        EXPECT_TRUE(found);
    }
    output.Update();
    EXPECT_TRUE(output.Close(0, error));

    TempDir dir;
    zindle_test::WriteFile(dir / "alsa.conf", "");
    const auto result = zindle_test::RunCommand(
        "ALSA_CONFIG_PATH='" + (dir / "alsa.conf").string() + "' " + zindle_test::ZindleBinary() +
        " --headless --seconds 0.5 --midi-out --mute --wav '" + (dir / "out.wav").string() +
        "' --midi '" + (dir / "out.mid").string() + "'");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "zindle: warning: no ALSA sequencer on this machine: MIDI output is "
                             "off, Zindle plays on\n");
    // The rest of the performance happened: the audio and the file are there.
    zindle_test::WavFile wav;
    ASSERT_TRUE(zindle_test::ReadWav(dir / "out.wav", wav));
    EXPECT_GE(wav.samples.size(), 22050u);
    EXPECT_EQ(ReadBack(dir / "out.mid").size(), 29u); // the configuration

    // MIDI in likewise: a virtual port "Zindle In", or a warning and a live run that plays on.
    MidiInput input;
    input.Open("");
    EXPECT_EQ(input.IsOpen(), AlsaMidiPort::SequencerAvailable());
    if (input.IsOpen())
    {
        EXPECT_EQ(input.GetPortDescription(), "virtual port Zindle In");
    }
    const auto live =
        zindle_test::RunCommand("ALSA_CONFIG_PATH='" + (dir / "alsa.conf").string() +
                                "' SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                                zindle_test::ZindleBinary() + " --midi-in --seconds 0.3");
    EXPECT_EQ(live.status, 0) << live.output;
    EXPECT_NE(live.output.find("zindle: warning: no ALSA sequencer on this machine: MIDI input is "
                               "off, Zindle plays on\n"),
              std::string::npos)
        << live.output;
}

TEST(MidiOutput, CommandLineOptions)
{
    // Arguments, then what they set (live port, its name, bend range, mute, file;
    // live input, its port's name, the file played).
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{}, "0 '' 48 0 '' 0 '' ''"},
        {{"--midi-out", "--mute"}, "1 '' 48 1 '' 0 '' ''"},
        {{"--midi-out", "FLUID", "--midi-bend", "24"}, "1 'FLUID' 24 0 '' 0 '' ''"},
        {{"--midi", "a.mid", "--midi-bend", "96"}, "0 '' 96 0 'a.mid' 0 '' ''"},
        {{"--midi-in", "--mute"}, "0 '' 48 1 '' 1 '' ''"},
        {{"--midi-in", "Linn", "--play", "b.mid"}, "0 '' 48 0 '' 1 'Linn' 'b.mid'"},
        {{"--midi-bend", "0"}, "refused"},
        {{"--midi-bend", "97"}, "refused"},
        {{"--midi-bend", "24.0"}, "refused"},
        {{"--midi-out", ""}, "refused"},
        {{"--midi-in=", "--mute"}, "refused"},
        {{"--midi-out", "--midi-in"}, "1 '' 48 0 '' 1 '' ''"},
        {{"--midi"}, "refused"},
        {{"--play"}, "refused"},
    };
    for (const auto& [args, expected] : cases)
    {
        std::vector<char*> argv = {const_cast<char*>("zindle")};
        for (const char* a : args)
            argv.push_back(const_cast<char*>(a));
        HostOptions o;
        testing::internal::CaptureStderr();
        const int status = CommandLine::Parse(static_cast<int>(argv.size()), argv.data(), o);
        testing::internal::GetCapturedStderr();
        std::string got = status == 2 ? "refused" : "status " + std::to_string(status);
        if (status == CommandLine::c_iContinue)
            got = std::to_string(o.bMidiOut) + " '" + o.sMidiOutPort + "' " +
                  std::to_string(o.iMidiBendRange) + " " + std::to_string(o.bMute) + " '" +
                  o.sMidiFile + "' " + std::to_string(o.bMidiIn) + " '" + o.sMidiInPort + "' '" +
                  o.sPlayFile + "'";
        EXPECT_EQ(got, expected) << testing::PrintToString(args);
    }
}

TEST(MidiOutput, MutedSoundStillPullsTheVoicesButSendsSilence)
{
    zindle_test::ScopedSoundManager sound;
    SoundManager* manager = SoundManager::GetInstance();
    zindle_test::TestSignal signal([](long) { return 0.5f; });
    manager->SetStreamSource(&signal);
    std::vector<int16_t> out(600, 1);
    for (bool muted : {false, true, false})
    {
        manager->SetMuted(muted);
        manager->RenderOutput(out.data(), 600);
        EXPECT_EQ(std::count(out.begin(), out.end(), muted ? 0 : 16383), 600) << muted;
    }
    EXPECT_EQ(signal.m_iPosition, 1800); // the graph played on
    manager->SetStreamSource(nullptr);
}

// Headless the main thread drains the encoder each frame, live a sender thread
// does. Either way the file holds what a single-threaded encoder makes of the
// same blocks, with the bend range asked for, voice 2 on channel 4.
TEST(MidiOutputThread, TheFileHoldsTheEncodersEventsDrainedHeadlessOrByTheSenderThread)
{
    zindle_test::ScopedSoundManager sound;
    constexpr int c_iBlocks = 2000;
    auto play = [](MpeEncoder& encoder, HeldVoice& voice, int block)
    {
        voice.m_rHz = block % 7 == 6 ? 0.0f : 200.0f + static_cast<float>(block % 50);
        voice.m_rTimbre = static_cast<float>(block % 13) / 13.0f;
        voice.Play(encoder, block + 1, 256);
    };
    std::vector<MidiEvent> expected;
    MpeEncoder reference(24);
    HeldVoice held(0.0f, 0.0f);
    reference.SetVoiceSource(2, &held);
    for (int b = 0; b < c_iBlocks; ++b)
        play(reference, held, b);
    reference.EndNotes();
    for (MidiEvent e; reference.Drain(&e, 1) == 1;)
        expected.push_back(e);
    ASSERT_GT(expected.size(), 1000u) << "the voice played";
    const Messages made = Summary(expected);

    for (bool headless : {true, false})
    {
        SCOPED_TRACE(headless ? "headless" : "live");
        TempDir dir;
        HostOptions options;
        options.bHeadless = headless;
        options.sMidiFile = (dir / "play.mid").string();
        options.iMidiBendRange = 24;
        MidiOutput output;
        std::string error;
        ASSERT_TRUE(output.Open(options, error)) << error;
        ASSERT_EQ(output.HasSenderThread(), !headless);
        HeldVoice voice(0.0f, 0.0f);
        output.GetEncoder()->SetVoiceSource(2, &voice);
        auto audio = [&]()
        {
            for (int b = 0; b < c_iBlocks; ++b)
            {
                play(*output.GetEncoder(), voice, b);
                if (headless)
                    output.Update();
            }
        };
        if (headless)
            audio();
        else
        {
            std::thread thread(audio);
            while (output.GetEventsSent() < 29)
                std::this_thread::yield(); // the sender sends without the main thread's help
            thread.join();
        }
        const int64_t end = c_iBlocks * 256 + 44100;
        ASSERT_TRUE(output.Close(end, error)) << error;
        EXPECT_EQ(output.GetEncoder()->GetDropped(), 0u);
        EXPECT_EQ(output.GetEventsSent(), static_cast<int64_t>(made.size()));

        const Messages written = Summary(ReadBack(options.sMidiFile));
        EXPECT_TRUE(written == made) << written.size() << " events written of " << made.size();
        ASSERT_GT(written.size(), 29u);
        EXPECT_EQ(written[7].second, (std::vector<uint8_t>{0xB1, 6, 24})) << "the bend range";
        for (const auto& [sample, bytes] : written)
            EXPECT_TRUE((bytes[0] & 0xF0) != 0x90 || bytes[0] == 0x93) << "voice 2: channel 4";
        EXPECT_EQ(std::pair(written.back().first, int(written.back().second[0])),
                  std::pair(int64_t{c_iBlocks * 256}, 0x83))
            << "released when playing stopped";
        EXPECT_EQ(ReadBack(options.sMidiFile, true).back().tick, end);
    }
}
