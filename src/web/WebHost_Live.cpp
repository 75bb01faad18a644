// The live page: the instrument's frame 20 times a second on the browser's
// animation frames, touches from the page as they arrive, and the sound
// pulled by the page's Web Audio callback.
#include "web/WebHost.h"

#include "app/State_Main.h"
#include "app/Timer.h"
#include "app/ZindleApp.h"
#include "dsp/SoundManager.h"
#include "formats/Settings.h"
#include "platform/web/PageEvents_Web.h"
#include "platform/web/Window_Web.h"

#include <emscripten/emscripten.h>

#include <cstdio>
#include <ctime>
#include <memory>

namespace
{
std::unique_ptr<ZindleApp> g_pApp;
std::unique_ptr<PageEvents_Web> g_pEvents;
Settings g_startSettings;
bool g_bHasStartSettings = false;

// The page's own half of Ctrl+S and of the first gesture.
EM_JS(void, PageSaveSettings, (), {
    if (Module.zindleSaveSettings)
        Module.zindleSaveSettings();
});
EM_JS(void, PageFirstGesture, (), {
    if (Module.zindleFirstGesture)
        Module.zindleFirstGesture();
});
} // namespace

bool WebHost::StartLive(const Options& options)
{
    s_sError.clear();
    std::string error;
    if (!LoadTuning(options, error))
    {
        // A tuning that no longer loads falls back to twelve equal notes.
        std::fprintf(stderr, "zindle: %s; playing twelve equal notes\n", error.c_str());
        Options plain;
        LoadTuning(plain, error);
    }
    g_bHasStartSettings = false;
    if (!options.sSettings.empty())
    {
        g_bHasStartSettings = g_startSettings.Parse(options.sSettings, "stored settings", error);
        if (!g_bHasStartSettings)
            std::fprintf(stderr, "zindle: %s; starting afresh\n", error.c_str());
    }
    InstallPlatform();
    s_rFixedScale = 0.0f;
    ZindleApp::SetRandomSeed(static_cast<uint32_t>(std::time(nullptr)));
    Timer::SetClock(nullptr, 0.0);
    g_pApp = std::make_unique<ZindleApp>();
    if (!g_pApp->Init())
    {
        s_sError = "start-up failed: " + g_pApp->GetFailure();
        g_pApp.reset();
        return false;
    }
    s_pApp = g_pApp.get();
    SoundManager::GetInstance()->StartStream();
    auto* window = dynamic_cast<Window_Web*>(g_pApp->GetWindow());
    PageEvents_Web::Actions actions;
    actions.togglePanel = []
    {
        if (State_Main* state = g_pApp ? g_pApp->GetMainState() : nullptr)
            state->TogglePanel();
    };
    actions.saveSettings = []
    {
        PageSaveSettings();
        if (State_Main* state = g_pApp ? g_pApp->GetMainState() : nullptr)
            state->ShowMessage("Settings kept in this browser");
    };
    actions.firstGesture = [] { PageFirstGesture(); };
    actions.pointer = [](bool mouse)
    {
        if (State_Main* state = g_pApp ? g_pApp->GetMainState() : nullptr)
            state->SetMouseHints(mouse);
    };
    g_pEvents = std::make_unique<PageEvents_Web>(window->GetTouchInput(), actions);
    s_iFrame = 0;
    s_rLastFrame = emscripten_get_now() / 1000.0 - c_rFrameInterval;
    return true;
}

void WebHost::Frame()
{
    if (!g_pApp)
        return;
    const double now = emscripten_get_now() / 1000.0;
    const double due = s_rLastFrame + c_rFrameInterval;
    if (now < due)
        return;
    // A frame more than one interval late starts the count afresh.
    s_rLastFrame = now - due > c_rFrameInterval ? now : due;
    g_pApp->Update();
    if (s_iFrame++ == 0)
        if (State_Main* state = g_pApp->GetMainState())
        {
            state->SetTuning(&s_tuning); // first: the window's zones are the scale's
            if (g_bHasStartSettings)
                state->ApplySettings(g_startSettings);
        }
    g_pApp->Render();
}
