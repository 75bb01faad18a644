// The platform pieces the instrument asks for through its abstract factories.
#include "app/Window.h"
#include "platform/Host.h"
#include "platform/Renderer_GL_SDL.h"
#include "platform/SoundManager_Offline.h"
#include "platform/SoundManager_SDL.h"
#include "platform/View_SDL.h"
#include "platform/Window_SDL.h"
#include "render/Renderer.h"
#include "sound/SoundManager.h"

Window* Window::Create(int /*width*/, int /*height*/, bool fullscreen)
{
    const HostOptions& options = Host::GetOptions();
    return new Window_SDL(options.bHeadless, fullscreen || options.bFullscreen);
}

SoundManager* SoundManager::CreatePlatformManager(Window* /*window*/)
{
    const HostOptions& options = Host::GetOptions();
    SoundManager* manager = nullptr;
    if (options.bHeadless)
        manager = new SoundManager_Offline();
    else
        manager = new SoundManager_SDL(options.iBufferSamples, !options.sWav.empty(),
                                       options.sAudioDriver, options.sAudioDevice);
    manager->SetMuted(options.bMute);
    return manager;
}

Renderer* Renderer::Create(Window* window)
{
    if (!window)
        return nullptr;
    const auto* sdlWindow = dynamic_cast<const Window_SDL*>(window);
    const bool headless = sdlWindow ? sdlWindow->IsHeadless() : Host::GetOptions().bHeadless;
    auto* renderer = new Renderer_GL_SDL(window, new View_SDL(headless, window->IsFullscreen()));
    if (!renderer->IsValid())
        renderer->SetFailure(renderer->GetView()->GetError());
    return renderer;
}
