// JACK's period at a server rate other than the instrument's: MIDI notes
// played through the resampler each sound the stated latency after their
// frames, whatever notes came before them and however those cut the pulls.
#include "platform/jack/PeriodRenderer.h"
#include "dsp/SoundManager.h"
#include "input/TouchManager.h"
#include "render/Camera_2D.h"
#include "synth/MidiVoices.h"
#include "synth/Synth_FourVoice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
class PeriodSoundManager : public SoundManager
{
  public:
    PeriodSoundManager() { m_iSamplesPerFrame = 735; }
    void StartStream() override {}
    void StopStream() override {}
};

float Peak(const std::vector<float>& audio, size_t begin, size_t end)
{
    float peak = 0.0f;
    for (size_t i = begin; i < end && i < audio.size(); ++i)
        peak = std::max(peak, std::fabs(audio[i]));
    return peak;
}
} // namespace

TEST(PeriodRenderer, EveryNoteAt48kHzSoundsTheStatedLatencyAfterItsFrameAndLostMessagesAreCounted)
{
    constexpr int c_iRate = 48000;
    constexpr int c_iPeriod = 256;
    constexpr int c_iNotes = 8;
    if (!TouchManager::GetInstance())
        TouchManager::Startup();
    // Short notes on the sine after a short low one, whose messages cut the
    // pulls: each run moves them against the period boundaries.
    for (int run = 0; run < 24; ++run)
    {
        SCOPED_TRACE(run);
        PeriodSoundManager sound;
        Camera_2D camera;
        camera.SetViewport(Vector2f(0.0f, 0.0f), Vector2f(480.0f, 320.0f));
        Synth_FourVoice synth{SoundManager::c_rSampleRate, SoundManager::c_iMaxBlockSamples};
        synth.SetCamera(&camera);
        synth.SetMode(Synth_FourVoice::c_iModeTheremin);
        synth.SetEchoLevel(0.0f);
        sound.SetStreamSource(synth.GetRoot());
        SoundControl_Theremin* theremins[Synth_FourVoice::c_iVoices];
        for (int v = 0; v < Synth_FourVoice::c_iVoices; ++v)
            theremins[v] = synth.GetTheremin(v);
        MidiVoices voices;
        voices.SetVoices(theremins, Synth_FourVoice::c_iVoices);
        PeriodRenderer period(sound, c_iRate, false, c_iPeriod);
        ASSERT_TRUE(period.IsValid()) << period.GetError();
        period.SetVoices(&voices);
        const int latency = period.GetResamplerLatency();
        ASSERT_GT(latency, 0);

        struct Message
        {
            int64_t iFrame;
            MidiEvent event;
        };
        std::vector<Message> messages;
        std::vector<int64_t> onFrames;
        // A short low note, then each note a little later than the last.
        const int64_t first = 1000 + run * 331;
        messages.push_back({first, MidiEvent::Make(0, 0x90, 21, 100)});
        messages.push_back({first + c_iRate / 20, MidiEvent::Make(0, 0x80, 21, 0)});
        for (int n = 0; n < c_iNotes; ++n)
        {
            const int64_t on = first + c_iRate * 3 / 4 + n * (c_iRate / 4 + 17 * run);
            onFrames.push_back(on);
            messages.push_back({on, MidiEvent::Make(0, 0x90, 69 + 2 * n, 100)});
            messages.push_back({on + c_iRate / 20, MidiEvent::Make(0, 0x80, 69 + 2 * n, 0)});
        }
        std::vector<float> audio;
        std::vector<float> out(c_iPeriod);
        size_t next = 0;
        for (int64_t start = 0; start < onFrames.back() + c_iRate / 5; start += c_iPeriod)
        {
            std::vector<MidiEvent> events;
            for (; next < messages.size() && messages[next].iFrame < start + c_iPeriod; ++next)
            {
                events.push_back(messages[next].event);
                events.back().iSampleTime = messages[next].iFrame - start;
            }
            period.Render(out.data(), c_iPeriod, events.data(), static_cast<int>(events.size()),
                          nullptr, nullptr);
            audio.insert(audio.end(), out.begin(), out.end());
        }
        for (const int64_t frame : onFrames)
        {
            SCOPED_TRACE(frame);
            const auto at = static_cast<size_t>(frame);
            // The onset: the first sample at a fifth of the note's steady level.
            const float level = Peak(audio, at + 1000, at + 2000);
            ASSERT_GT(level, 0.05f) << "no note";
            EXPECT_LT(Peak(audio, at - c_iPeriod, at + latency - 2), 0.2f * level)
                << "sound before the note's time";
            size_t onset = at;
            while (onset < at + 4 * c_iPeriod && std::fabs(audio[onset]) < 0.2f * level)
                ++onset;
            // The resampler's latency, give or take the few samples a sine
            // takes to rise from where its phase starts.
            EXPECT_GE(static_cast<int>(onset - at), latency);
            EXPECT_LE(static_cast<int>(onset - at), latency + 7);
        }
    }
    // Messages with no voices to play them yet, and more than a period
    // holds, are counted as lost.
    PeriodSoundManager sound;
    PeriodRenderer period(sound, c_iRate, false, c_iPeriod);
    std::vector<MidiEvent> events(PeriodRenderer::c_iMaxEvents + 10,
                                  MidiEvent::Make(0, 0xB0, 74, 64));
    std::vector<float> out(c_iPeriod);
    period.Render(out.data(), c_iPeriod, events.data(), 3, nullptr, nullptr);
    EXPECT_EQ(period.GetDropped(), 3u);
    MidiVoices voices;
    period.SetVoices(&voices);
    period.Render(out.data(), c_iPeriod, events.data(), static_cast<int>(events.size()), nullptr,
                  nullptr);
    EXPECT_EQ(period.GetDropped(), 13u);
}
