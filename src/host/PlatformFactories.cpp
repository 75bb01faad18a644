// The platform pieces the instrument asks for through its abstract factories.
#include "app/State_Main.h"
#include "app/ZindleApp.h"
#include "core/Printable.h"
#include "core/Window.h"
#include "dsp/SoundManager.h"
#include "dsp/SoundManager_Offline.h"
#include "host/Host.h"
#include "host/HostShared.h"
#include "platform/jack/SoundManager_Jack.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "platform/sdl/SoundManager_SDL.h"
#include "platform/sdl/View_SDL.h"
#include "platform/sdl/Window_SDL.h"
#include "render/Camera_2D.h"
#include "render/Renderer.h"
#include "synth/SoundControl_Theremin.h"
#include "synth/Synth_FourVoice.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
// A path as a player reads it, the home directory written "~".
std::string HomeShortened(const std::string& path)
{
    const std::string name = Printable::Name(path);
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return name;
    const std::string prefix = std::string(home) + "/";
    return name.compare(0, prefix.size(), prefix) == 0 ? "~/" + name.substr(prefix.size()) : name;
}

Window* CreateWindow(int /*width*/, int /*height*/, bool fullscreen)
{
    const HostOptions& options = Host::GetOptions();
    auto* window = new Window_SDL(options.bHeadless, fullscreen || options.bFullscreen);
    window->SetActions(Host::WindowActions());
    return window;
}

SoundManager* CreateSoundManager(Window* /*window*/)
{
    const HostOptions& options = Host::GetOptions();
    SoundManager* manager = nullptr;
    if (options.bHeadless)
        manager = new SoundManager_Offline();
    else if (HostShared::UsesJack(options))
    {
        SoundManager_Jack::Options jack;
        jack.bConnect = options.bConnect;
        jack.bCapture = !options.sWav.empty();
        const bool midi = HostShared::UsesJackMidi(options);
        jack.bMidiIn = midi && options.bMidiIn;
        jack.sMidiInMatch = options.sMidiInPort;
        jack.bMidiOut = midi && options.bMidiOut;
        jack.sMidiOutMatch = options.sMidiOutPort;
        manager = new SoundManager_Jack(jack);
    }
    else
        manager = new SoundManager_SDL(options.iBufferSamples, !options.sWav.empty(),
                                       options.sAudioDriver, options.sAudioDevice);
    manager->SetMuted(options.bMute);
    return manager;
}

Renderer* CreateRenderer(Window* window)
{
    if (!window)
        return nullptr;
    const auto* sdlWindow = dynamic_cast<const Window_SDL*>(window);
    const bool headless = sdlWindow ? sdlWindow->IsHeadless() : Host::GetOptions().bHeadless;
    // Headless frames are drawn at the scale asked for; a window's at its own.
    auto* renderer = new Renderer_GL_SDL(
        window, new View_SDL(headless, window->IsFullscreen(), Host::GetOptions().rPixelScale));
    renderer->SetHand(Host::GetOptions().bShowFingers, &Host::NoteMarks);
    if (!renderer->IsValid())
        renderer->SetFailure(renderer->GetView()->GetError());
    return renderer;
}
} // namespace

void Host::InstallPlatform()
{
    Window::SetFactory(&CreateWindow);
    Renderer::SetFactory(&CreateRenderer);
    SoundManager::SetPlatformFactory(&CreateSoundManager);
}

Window_SDL::Actions Host::WindowActions()
{
    Window_SDL::Actions actions;
    actions.togglePanel = []
    {
        ZindleApp* app = ZindleApp::s_pInstance;
        State_Main* state = app ? app->GetMainState() : nullptr;
        if (!state)
            return false;
        state->TogglePanel();
        return true;
    };
    actions.saveSettings = []
    {
        std::string saved, error;
        const bool ok = Host::SaveSettings("", saved, error);
        if (ok)
            std::fprintf(stderr, "zindle: settings saved to %s (play them with --settings)\n",
                         Printable::Name(saved).c_str());
        else
            std::fprintf(stderr, "zindle: %s\n", error.c_str());
        // The same on screen, for a player who started Zindle from a menu.
        ZindleApp* app = ZindleApp::s_pInstance;
        if (State_Main* state = app ? app->GetMainState() : nullptr)
            state->ShowMessage(ok ? ("Saved to " + HomeShortened(saved)).c_str()
                                  : ("Not saved: " + error).c_str());
    };
    actions.pointer = [](bool mouse)
    {
        ZindleApp* app = ZindleApp::s_pInstance;
        if (State_Main* state = app ? app->GetMainState() : nullptr)
            state->SetMouseHints(mouse);
    };
    actions.focusChanged = [](bool focused)
    { Host::SetFrameInterval(focused ? c_rActiveFrameInterval : c_rInactiveFrameInterval); };
    return actions;
}

int Host::NoteMarks(TouchInput_SDL::Finger* marks, int max)
{
    const ZindleApp* app = ZindleApp::s_pInstance;
    const State_Main* state = app ? app->GetMainState() : nullptr;
    const Camera_2D* camera = state ? state->GetMainCamera() : nullptr;
    int count = 0;
    for (int i = 0; camera && i < Synth_FourVoice::c_iVoices && count < max; ++i)
    {
        const SoundControl_Theremin* voice = state->GetTheremin(i);
        if (!voice || !voice->IsPlayingNote())
            continue;
        const Vector2f& min = camera->GetViewportMin();
        const Vector2f& max = camera->GetViewportMax();
        marks[count++] = {min.x + voice->GetX() * (max.x - min.x),
                          min.y + voice->GetY() * (max.y - min.y), false};
    }
    return count;
}
