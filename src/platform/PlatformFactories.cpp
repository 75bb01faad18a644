// The platform pieces the instrument asks for through its abstract factories.
#include "app/Window.h"
#include "platform/Host.h"
#include "platform/SoundManager_Offline.h"
#include "platform/SoundManager_SDL.h"
#include "platform/Window_SDL.h"
#include "sound/SoundManager.h"

Window* Window::Create(int /*width*/, int /*height*/, bool fullscreen)
{
    const HostOptions& options = Host::GetOptions();
    return new Window_SDL(options.bHeadless, fullscreen || options.bFullscreen);
}

SoundManager* SoundManager::CreatePlatformManager(Window* /*window*/)
{
    const HostOptions& options = Host::GetOptions();
    if (options.bHeadless)
        return new SoundManager_Offline();
    return new SoundManager_SDL(options.iBufferSamples, !options.sWav.empty());
}
