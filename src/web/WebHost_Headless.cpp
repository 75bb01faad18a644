// The page's headless run: the desktop's --headless loop, frame for frame and
// sample for sample, with the WAV and the last frame kept in memory.
#include "web/WebHost.h"

#include "app/ScriptPlayer.h"
#include "app/State_Main.h"
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "dsp/SoundManager_Offline.h"
#include "formats/PerformanceScript.h"
#include "platform/web/View_Web.h"
#include "platform/web/Window_Web.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>

namespace
{
uint64_t g_iVirtualTick = 0;
uint64_t VirtualClock()
{
    return g_iVirtualTick;
}

// A script's touches go to the window's touch input as contacts of their own.
class PageScriptTarget : public ScriptPlayer::Target
{
  public:
    explicit PageScriptTarget(TouchInput_Web& input) : m_input(input) {}
    void TouchDown(int contact, float x, float y) override
    {
        m_positions[contact] = {x, y};
        m_input.Down(TouchInput_Web::c_iScript, contact, x, y);
    }
    void TouchMove(int contact, float x, float y) override
    {
        m_positions[contact] = {x, y};
        m_input.Move(TouchInput_Web::c_iScript, contact, x, y);
    }
    // A lift happens where the contact last was.
    void TouchUp(int contact) override
    {
        const auto at = m_positions.find(contact);
        if (at == m_positions.end())
            return;
        m_input.Up(TouchInput_Web::c_iScript, contact, at->second.first, at->second.second);
        m_positions.erase(at);
    }
    // Shots and saves name files the page has no place for: the page keeps
    // only the last frame, and settings live in the browser's storage.
    void Shot(const std::string&) override {}
    void Save(const std::string&) override {}

  private:
    TouchInput_Web& m_input;
    std::map<int, std::pair<float, float>> m_positions; // landscape points of the contacts down
};

// The WAV the desktop writes headless: RIFF, 16-bit mono PCM at 44100 Hz.
void PutWavHeader(std::vector<uint8_t>& wav)
{
    const uint32_t dataBytes = static_cast<uint32_t>(wav.size() - 44);
    auto put32 = [&](size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            wav[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](size_t at, uint16_t v)
    {
        wav[at] = static_cast<uint8_t>(v);
        wav[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    std::memcpy(&wav[0], "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(&wav[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, 1); // mono
    put32(24, SoundManager::c_iSampleRate);
    put32(28, SoundManager::c_iSampleRate * 2);
    put16(32, 2);
    put16(34, 16);
    std::memcpy(&wav[36], "data", 4);
    put32(40, dataBytes);
}
} // namespace

int WebHost::RunHeadless(const Options& options)
{
    s_wav.assign(44, 0);
    s_frame.clear();
    s_sError.clear();
    PerformanceScript script;
    if (!options.sScript.empty() && !script.Load(options.sScript, s_sError))
        return 2;
    std::string error;
    if (!LoadTuning(options, error))
    {
        s_sError = error;
        return 2;
    }
    InstallPlatform();
    s_rFixedScale = static_cast<float>(std::clamp(options.rScale, 1.0, 16.0));
    ZindleApp::SetRandomSeed(options.iSeed ? options.iSeed
                                           : static_cast<uint32_t>(std::time(nullptr)));
    const double seconds = options.rSeconds >= 0.0   ? options.rSeconds
                           : options.sScript.empty() ? 10.0
                                                     : script.GetDefaultSeconds();
    const int64_t frames = static_cast<int64_t>(std::ceil(seconds / c_rFrameInterval - 1e-9));

    // Frame k runs at exactly t = k * 0.05 s, every frame seeing dt = 0.05.
    g_iVirtualTick = 0;
    Timer::SetClock(&VirtualClock, c_rFrameInterval);
    int status = 0;
    {
        ZindleApp app;
        s_pApp = &app;
        if (!app.Init())
        {
            s_sError = "start-up failed: " + app.GetFailure();
            s_pApp = nullptr;
            Timer::SetClock(nullptr, 0.0);
            return 1;
        }
        auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
        auto* window = dynamic_cast<Window_Web*>(app.GetWindow());
        ScriptPlayer player(script);
        PageScriptTarget target(window->GetTouchInput());
        std::vector<int16_t> block(c_iHeadlessBlock);
        // The sound up to `endSample`, cut at every event's own sample and at
        // most 5 ms long while a slide runs, as the desktop cuts it.
        auto playUntil = [&](int64_t endSample)
        {
            int64_t pulled = sound->GetSamplesPulled();
            while (pulled < endSample)
            {
                const int64_t request = player.IsSliding()
                                            ? std::min<int64_t>(c_iHeadlessBlock, 220)
                                            : c_iHeadlessBlock;
                const int64_t boundary =
                    std::min({endSample, pulled + request, player.GetNextEventSample(),
                              player.GetNextSlideEndSample(pulled)});
                if (boundary <= pulled)
                {
                    player.PlayUntil(pulled, target);
                    continue;
                }
                const int count = static_cast<int>(boundary - pulled);
                sound->Pull(block.data(), count);
                const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
                s_wav.insert(s_wav.end(), bytes, bytes + count * 2);
                pulled = boundary;
                if (pulled < endSample)
                {
                    player.PlayUntil(pulled, target);
                    player.MoveSlides(static_cast<double>(pulled) / SoundManager::c_iSampleRate,
                                      target);
                }
            }
        };
        int64_t framesRun = 0;
        for (int64_t frame = 0; frame < frames && app.IsRunning(); ++frame)
        {
            playUntil(frame * c_iSamplesPerFrame);
            framesRun = frame + 1;
            g_iVirtualTick = static_cast<uint64_t>(frame + 1);
            app.Update();
            if (frame == 0)
                if (State_Main* state = app.GetMainState())
                    state->SetTuning(&s_tuning);
            player.LiftTaps(target);
            player.PlayUntil(frame * c_iSamplesPerFrame, target);
            player.MoveSlides(static_cast<double>(frame) * c_rFrameInterval, target);
            // Frames nobody sees still step (a script's shots are drawn, as
            // the desktop draws them); the last one is drawn after the run.
            if (player.HasShots())
                app.Render();
            else
                app.SkipRender();
            player.TakeShots(target);
        }
        playUntil(framesRun * c_iSamplesPerFrame);
        if (framesRun > 0)
            app.Render();
        if (View_Web* view = View_Web::GetInstance(); view && view->ReadLandscapeFrame(s_frame))
        {
            s_iFrameWidth = view->GetFrameWidth();
            s_iFrameHeight = view->GetFrameHeight();
        }
        else
            status = 1;
        s_pApp = nullptr;
        app.Shutdown();
    }
    Timer::SetClock(nullptr, 0.0);
    PutWavHeader(s_wav);
    return status;
}
