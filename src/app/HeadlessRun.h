// The headless performance loop that the desktop's --headless and the page's
// headless run share: frame k runs at exactly t = k * 0.05 s on a virtual
// clock, and the sound is pulled up to each frame in blocks cut at the sample
// of every script event (and at most 5 ms long while a slide runs), so that
// each event sounds from its own sample. Frames nobody will see still step
// without being drawn. What a host adds (writing the samples, a MIDI file
// played beside the script, MIDI out) comes through HeadlessRun::Host.
#pragma once

#include "app/ScriptPlayer.h"

#include <cstdint>
#include <vector>

class SoundManager_Offline;
class ZindleApp;

class HeadlessRun
{
  public:
    static constexpr double c_rFrameInterval = 0.05; // 20 frames per second
    static constexpr int c_iSamplesPerFrame = 2205;  // 0.05 s at 44100 Hz

    class Host
    {
      public:
        virtual ~Host() = default;
        // The samples just pulled, in order.
        virtual void TakeSamples(const int16_t* samples, int count) = 0;
        // Events of the host's own played beside the script's, each at its own
        // sample: the next one's sample, and playing those due at or before one.
        virtual int64_t GetNextEventSample() const { return ScriptPlayer::c_iNever; }
        virtual void PlayEventsUntil(int64_t) {}
        // True stops the run before the next frame.
        virtual bool Interrupted() { return false; }
        // Before a frame's update, with its number.
        virtual void FrameStarting(int64_t) {}
        // After the first frame's update: the instrument's main state exists.
        virtual void InstrumentStarted() {}
        // After every frame, and once more after the sound of the last.
        virtual void FrameDone() {}
    };

    // The virtual clock every Timer reads, in frames: installed before the
    // application starts (its timers read the clock when made), removed after.
    static void InstallClock();
    static void RemoveClock();

    // sound may be null (no sound: the events are still played at their samples).
    HeadlessRun(ZindleApp& app, SoundManager_Offline* sound, ScriptPlayer& player,
                ScriptPlayer::Target& target, Host& host, int bufferSamples);

    // Runs up to `frames` frames (fewer when the application stops or the host
    // interrupts), then the sound to the end of the last frame run.
    void Run(int64_t frames);
    int64_t GetFramesRun() const { return m_iFramesRun; }
    // Whether the last frame run was drawn (a shot wanted it).
    bool WasLastFrameDrawn() const { return m_bLastFrameDrawn; }

  private:
    // 220 samples (5 ms): a slide moves at least 200 times a second.
    static constexpr int64_t c_iSlideStepSamples = 220;

    // Pulls the sound up to `endSample`, playing the events and slide steps that
    // fall before it; those at `endSample` itself are left for the frame there.
    void PlayUntil(int64_t endSample);

    ZindleApp& m_app;
    SoundManager_Offline* m_pSound;
    ScriptPlayer& m_player;
    ScriptPlayer::Target& m_target;
    Host& m_host;
    int m_iBufferSamples;
    std::vector<int16_t> m_block;
    int64_t m_iFramesRun = 0;
    bool m_bLastFrameDrawn = false;

    static uint64_t s_iTick;
    static uint64_t Clock() { return s_iTick; }
};
