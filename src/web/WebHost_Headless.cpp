// The page's headless run: the desktop's --headless loop (app/HeadlessRun),
// frame for frame and sample for sample, with the WAV, the last frame and the
// script's shots kept in memory for the page.
#include "web/WebHost.h"

#include "app/HeadlessRun.h"
#include "app/ScriptPlayer.h"
#include "app/State_Main.h"
#include "app/ZindleApp.h"
#include "dsp/SoundManager_Offline.h"
#include "formats/PerformanceScript.h"
#include "formats/Settings.h"
#include "platform/web/View_Web.h"
#include "platform/web/Window_Web.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>

namespace
{
// A script's save keeps the settings where the live page looks for them.
EM_JS(void, PageStoreSettings, (const char* text), {
    if (Module.zindleStoreSettings)
        Module.zindleStoreSettings(UTF8ToString(text));
});

// A script's touches go to the window's touch input as contacts of their own;
// a shot keeps the frame under its name for the page's result, and a save
// stores the settings in the page's storage.
class PageScriptTarget : public ScriptPlayer::Target
{
  public:
    PageScriptTarget(TouchInput_Web& input, ZindleApp& app) : m_input(input), m_app(app) {}
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
    void Shot(const std::string& path) override
    {
        // The script is read from the file system's root, which its paths are
        // resolved against: the name is the path as the script wrote it.
        WebHost::Shot shot;
        shot.sName = path.size() > 1 && path[0] == '/' ? path.substr(1) : path;
        View_Web* view = View_Web::GetInstance();
        if (!view || !view->ReadLandscapeFrame(shot.rgba))
        {
            m_bFailed = true;
            return;
        }
        shot.iWidth = view->GetFrameWidth();
        shot.iHeight = view->GetFrameHeight();
        WebHost::AddShot(std::move(shot));
    }
    void Save(const std::string&) override
    {
        if (State_Main* state = m_app.GetMainState())
            PageStoreSettings(state->CaptureSettings().Format().c_str());
    }
    bool Failed() const { return m_bFailed; }

  private:
    TouchInput_Web& m_input;
    ZindleApp& m_app;
    std::map<int, std::pair<float, float>> m_positions; // landscape points of the contacts down
    bool m_bFailed = false;
};

// The page's part of the shared loop: the samples go into the WAV in memory,
// and the first frame gives the instrument its tuning.
class PageHeadless : public HeadlessRun::Host
{
  public:
    PageHeadless(std::vector<uint8_t>& wav, ZindleApp& app, const Tuning& tuning)
        : m_wav(wav), m_app(app), m_tuning(tuning)
    {
    }
    void TakeSamples(const int16_t* samples, int count) override
    {
        const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
        m_wav.insert(m_wav.end(), bytes, bytes + count * 2);
    }
    void InstrumentStarted() override
    {
        if (State_Main* state = m_app.GetMainState())
            state->SetTuning(&m_tuning);
    }

  private:
    std::vector<uint8_t>& m_wav;
    ZindleApp& m_app;
    const Tuning& m_tuning;
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
    s_shots.clear();
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
    const int64_t frames =
        static_cast<int64_t>(std::ceil(seconds / HeadlessRun::c_rFrameInterval - 1e-9));

    HeadlessRun::InstallClock();
    int status = 0;
    {
        ZindleApp app;
        s_pApp = &app;
        if (!app.Init())
        {
            s_sError = "start-up failed: " + app.GetFailure();
            s_pApp = nullptr;
            HeadlessRun::RemoveClock();
            return 1;
        }
        auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
        auto* window = dynamic_cast<Window_Web*>(app.GetWindow());
        ScriptPlayer player(script);
        PageScriptTarget target(window->GetTouchInput(), app);
        PageHeadless page(s_wav, app, s_tuning);
        HeadlessRun run(app, sound, player, target, page, c_iHeadlessBlock);
        run.Run(frames);
        // The page always returns the last frame: drawn now if nobody needed it yet.
        if (!run.WasLastFrameDrawn() && run.GetFramesRun() > 0)
            app.Render();
        if (View_Web* view = View_Web::GetInstance(); view && view->ReadLandscapeFrame(s_frame))
        {
            s_iFrameWidth = view->GetFrameWidth();
            s_iFrameHeight = view->GetFrameHeight();
        }
        else
            status = 1;
        if (target.Failed())
            status = 1;
        s_pApp = nullptr;
        app.Shutdown();
    }
    HeadlessRun::RemoveClock();
    PutWavHeader(s_wav);
    return status;
}
