#include "app/HeadlessRun.h"

#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "dsp/SoundManager.h"
#include "dsp/SoundManager_Offline.h"

#include <algorithm>

uint64_t HeadlessRun::s_iTick = 0;

void HeadlessRun::InstallClock()
{
    // Tick 0 while the application starts, so that the first frame (tick 1)
    // sees dt = 0.05 like every other.
    s_iTick = 0;
    Timer::SetClock(&HeadlessRun::Clock, c_rFrameInterval);
}

void HeadlessRun::RemoveClock()
{
    Timer::SetClock(nullptr, 0.0);
}

HeadlessRun::HeadlessRun(ZindleApp& app, SoundManager_Offline* sound, ScriptPlayer& player,
                         ScriptPlayer::Target& target, Host& host, int bufferSamples)
    : m_app(app), m_pSound(sound), m_player(player), m_target(target), m_host(host),
      m_iBufferSamples(bufferSamples), m_block(static_cast<size_t>(bufferSamples))
{
}

void HeadlessRun::PlayUntil(int64_t endSample)
{
    if (!m_pSound)
    {
        m_player.PlayUntil(endSample - 1, m_target);
        m_host.PlayEventsUntil(endSample - 1);
        return;
    }
    int64_t pulled = m_pSound->GetSamplesPulled();
    while (pulled < endSample)
    {
        const int64_t request = m_player.IsSliding()
                                    ? std::min<int64_t>(m_iBufferSamples, c_iSlideStepSamples)
                                    : m_iBufferSamples;
        const int64_t boundary =
            std::min({endSample, pulled + request, m_player.GetNextEventSample(),
                      m_player.GetNextSlideEndSample(pulled), m_host.GetNextEventSample()});
        if (boundary <= pulled)
        {
            m_player.PlayUntil(pulled, m_target);
            m_host.PlayEventsUntil(pulled);
            continue;
        }
        const int count = static_cast<int>(boundary - pulled);
        m_pSound->Pull(m_block.data(), count);
        m_host.TakeSamples(m_block.data(), count);
        pulled = boundary;
        if (pulled < endSample)
        {
            m_player.PlayUntil(pulled, m_target);
            m_host.PlayEventsUntil(pulled);
            m_player.MoveSlides(static_cast<double>(pulled) / SoundManager::c_iSampleRate,
                                m_target);
        }
    }
}

void HeadlessRun::Run(int64_t frames)
{
    for (int64_t frame = 0; frame < frames && m_app.IsRunning(); ++frame)
    {
        if (m_host.Interrupted())
            break;
        const int64_t frameSample = frame * c_iSamplesPerFrame;
        // The sound up to this frame, every event before it at its own sample.
        PlayUntil(frameSample);
        m_iFramesRun = frame + 1;
        s_iTick = static_cast<uint64_t>(frame + 1);
        m_host.FrameStarting(frame);
        m_app.Update();
        if (frame == 0)
            m_host.InstrumentStarted();
        // Touches due at the frame's own time arrive between its update and its drawing.
        m_player.LiftTaps(m_target);
        m_player.PlayUntil(frameSample, m_target);
        m_host.PlayEventsUntil(frameSample);
        m_player.MoveSlides(static_cast<double>(frame) * c_rFrameInterval, m_target);
        // Only frames someone will see are drawn; the others still step.
        m_bLastFrameDrawn = m_player.HasShots();
        if (m_bLastFrameDrawn)
            m_app.Render();
        else
            m_app.SkipRender();
        m_player.TakeShots(m_target);
        m_host.FrameDone();
    }
    PlayUntil(m_iFramesRun * c_iSamplesPerFrame);
    m_host.FrameDone();
}
