#include "web/WebHost.h"

#include "app/State_Main.h"
#include "app/ZindleApp.h"
#include "core/Window.h"
#include "dsp/SoundManager_Offline.h"
#include "file/File_Bundle.h"
#include "formats/ScalaFile.h"
#include "formats/Settings.h"
#include "formats/Tuning.h"
#include "platform/web/PageEvents_Web.h"
#include "platform/web/Renderer_GL_Web.h"
#include "platform/web/View_Web.h"
#include "platform/web/Window_Web.h"
#include "render/Renderer.h"
#include "scene/Node_Notice.h"
#include "synth/SoundControl_Theremin.h"
#include "synth/Synth_FourVoice.h"

#include <emscripten/emscripten.h>

#include <cstdio>
#include <ctime>
#include <string>

std::vector<uint8_t> WebHost::s_wav;
std::vector<uint8_t> WebHost::s_frame;
std::vector<WebHost::Shot> WebHost::s_shots;
std::string WebHost::s_sError;
ZindleApp* WebHost::s_pApp = nullptr;
float WebHost::s_rFixedScale = 0.0f;
int WebHost::s_iFrameWidth = 0;
int WebHost::s_iFrameHeight = 0;
Tuning WebHost::s_tuning;
WebHost::Options WebHost::s_options;
double WebHost::s_rLastFrame = 0.0;
int64_t WebHost::s_iFrame = 0;

namespace
{
Window* CreateWindow(int, int, bool)
{
    return new Window_Web();
}

Renderer* CreateRenderer(Window* window)
{
    auto* renderer = new Renderer_GL_Web(window, new View_Web(WebHost::GetFixedScale()));
    if (!renderer->IsValid())
        renderer->SetFailure(renderer->GetView()->GetError());
    return renderer;
}

// Headless or live, the page pulls the sound: a block at a time from the
// Web Audio callback live, up to each script event headless.
SoundManager* CreateSoundManager(Window*)
{
    return new SoundManager_Offline();
}

std::string g_sText; // what the last text export returned, kept alive for the page
} // namespace

void WebHost::InstallPlatform()
{
    // Here rather than in main(): the page may call in before main() has run,
    // and without it every image of the art would go unfound and draw black.
    File_Bundle::SetResourceDirectory("/data");
    Window::SetFactory(&CreateWindow);
    Renderer::SetFactory(&CreateRenderer);
    SoundManager::SetPlatformFactory(&CreateSoundManager);
}

bool WebHost::LoadTuning(const Options& options, std::string& error)
{
    Tuning tuning;
    if (!ScalaFile::Load(options.sTuning, options.sKeymap, std::nullopt, tuning, error))
        return false;
    s_tuning = tuning;
    // A running instrument takes it at once; one still starting takes it on its first frame.
    if (State_Main* state = s_pApp ? s_pApp->GetMainState() : nullptr)
        state->SetTuning(&s_tuning);
    return true;
}

// The page's side: plain C functions the JavaScript calls through ccall/cwrap.
extern "C"
{
    EMSCRIPTEN_KEEPALIVE int zindle_run_headless(const char* script, unsigned seed, double seconds,
                                                 double scale)
    {
        WebHost::Options options;
        options.rScale = scale;
        options.bHeadless = true;
        options.sScript = script ? script : "";
        options.iSeed = seed;
        options.rSeconds = seconds;
        return WebHost::RunHeadless(options);
    }

    EMSCRIPTEN_KEEPALIVE int zindle_start_live(const char* settings, const char* tuning,
                                               const char* keymap)
    {
        WebHost::Options options;
        options.sSettings = settings ? settings : "";
        options.sTuning = tuning ? tuning : "";
        options.sKeymap = keymap ? keymap : "";
        return WebHost::StartLive(options) ? 0 : 1;
    }

    EMSCRIPTEN_KEEPALIVE void zindle_frame()
    {
        WebHost::Frame();
    }

    EMSCRIPTEN_KEEPALIVE const uint8_t* zindle_wav()
    {
        return WebHost::GetWav().data();
    }
    EMSCRIPTEN_KEEPALIVE int zindle_wav_size()
    {
        return static_cast<int>(WebHost::GetWav().size());
    }
    EMSCRIPTEN_KEEPALIVE const uint8_t* zindle_frame_rgba()
    {
        return WebHost::GetFrame().empty() ? nullptr : WebHost::GetFrame().data();
    }
    EMSCRIPTEN_KEEPALIVE int zindle_frame_width()
    {
        return WebHost::GetFrameWidth();
    }
    EMSCRIPTEN_KEEPALIVE int zindle_frame_height()
    {
        return WebHost::GetFrameHeight();
    }
    // A script's shots: how many, and each one's name, size and pixels.
    EMSCRIPTEN_KEEPALIVE int zindle_shot_count()
    {
        return static_cast<int>(WebHost::GetShots().size());
    }
    EMSCRIPTEN_KEEPALIVE const char* zindle_shot_name(int i)
    {
        return WebHost::GetShots().at(static_cast<size_t>(i)).sName.c_str();
    }
    EMSCRIPTEN_KEEPALIVE int zindle_shot_width(int i)
    {
        return WebHost::GetShots().at(static_cast<size_t>(i)).iWidth;
    }
    EMSCRIPTEN_KEEPALIVE int zindle_shot_height(int i)
    {
        return WebHost::GetShots().at(static_cast<size_t>(i)).iHeight;
    }
    EMSCRIPTEN_KEEPALIVE const uint8_t* zindle_shot_rgba(int i)
    {
        return WebHost::GetShots().at(static_cast<size_t>(i)).rgba.data();
    }

    EMSCRIPTEN_KEEPALIVE const char* zindle_error()
    {
        g_sText = WebHost::GetError();
        return g_sText.c_str();
    }

    // Fills `out` with 16-bit samples from the instrument (silence before it starts).
    EMSCRIPTEN_KEEPALIVE void zindle_audio_pull(int16_t* out, int count)
    {
        auto* sound = dynamic_cast<SoundManager_Offline*>(SoundManager::GetInstance());
        if (sound)
            sound->Pull(out, count);
        else
            for (int i = 0; i < count; ++i)
                out[i] = 0;
    }

    // Fingers and voices as JSON, for the page's status().
    EMSCRIPTEN_KEEPALIVE const char* zindle_status()
    {
        std::string json = "{\"fingers\":[";
        ZindleApp* app = WebHost::GetApp();
        auto* window = app ? dynamic_cast<Window_Web*>(app->GetWindow()) : nullptr;
        if (window)
        {
            TouchInput_Web::Finger fingers[TouchInput_Web::c_iMaxContacts];
            const int count =
                window->GetTouchInput().GetFingers(fingers, TouchInput_Web::c_iMaxContacts);
            for (int i = 0; i < count; ++i)
            {
                char item[64];
                std::snprintf(item, sizeof item, "%s{\"x\":%.3f,\"y\":%.3f}", i ? "," : "",
                              static_cast<double>(fingers[i].x), static_cast<double>(fingers[i].y));
                json += item;
            }
        }
        json += "],\"voices\":[";
        State_Main* state = app ? app->GetMainState() : nullptr;
        for (int i = 0; state && i < Synth_FourVoice::c_iVoices; ++i)
        {
            const SoundControl_Theremin* voice = state->GetTheremin(i);
            const SoundControl_Theremin::Finger& finger = voice->GetBlockFinger();
            char item[96];
            std::snprintf(item, sizeof item, "%s{\"active\":%s,\"hz\":%.6f,\"timbre\":%.6f}",
                          i ? "," : "", finger.bActive ? "true" : "false",
                          static_cast<double>(finger.bActive ? finger.rFrequency : 0.0f),
                          static_cast<double>(finger.rTimbre));
            json += item;
        }
        json += "],\"panel\":";
        json += state && state->IsPanelOpen() ? "true" : "false";
        // The message shown in the hint's place, or null.
        json += ",\"notice\":";
        const Node_Notice* notice = state ? state->GetNotice() : nullptr;
        if (notice && notice->IsShowing() && notice->GetText())
        {
            json += '"';
            for (const char* c = notice->GetText(); *c; ++c)
            {
                if (*c == '"' || *c == '\\')
                    json += '\\';
                if (static_cast<unsigned char>(*c) >= 0x20)
                    json += *c;
            }
            json += '"';
        }
        else
            json += "null";
        json += "}";
        g_sText = json;
        return g_sText.c_str();
    }

    // The settings as the browser keeps them (the desktop's settings file format).
    EMSCRIPTEN_KEEPALIVE const char* zindle_settings()
    {
        ZindleApp* app = WebHost::GetApp();
        State_Main* state = app ? app->GetMainState() : nullptr;
        g_sText = state ? state->CaptureSettings().Format() : std::string();
        return g_sText.c_str();
    }

    // A Scala scale (and mapping, or empty) the user picked, as text; "" when
    // it loaded, else the reason it did not.
    EMSCRIPTEN_KEEPALIVE const char* zindle_load_tuning(const char* scale, const char* keymap)
    {
        WebHost::Options options;
        options.sTuning = scale ? scale : "";
        options.sKeymap = keymap ? keymap : "";
        std::string error;
        g_sText = WebHost::LoadTuning(options, error) ? std::string() : error;
        return g_sText.c_str();
    }
}

int main()
{
    // The page calls in once its files are in place (zindle_run_headless or
    // zindle_start_live); main only keeps the runtime alive for it.
    return 0;
}
