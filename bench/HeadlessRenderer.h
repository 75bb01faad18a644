// The headless renderer the drawing benchmarks draw with: SDL's offscreen video
// driver and the desktop renderer, as the program runs with --headless.
#pragma once

#include "host/Host.h"
#include "platform/sdl/Renderer_GL_SDL.h"
#include "platform/sdl/Window_SDL.h"

#include <cstdlib>
#include <memory>

struct HeadlessRenderer
{
    HeadlessRenderer()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        HostOptions options;
        options.bHeadless = true;
        Host::SetOptions(options);
        window = std::make_unique<Window_SDL>(true, false);
        renderer.reset(static_cast<Renderer_GL_SDL*>(Renderer::Create(window.get())));
    }
    ~HeadlessRenderer()
    {
        renderer.reset();
        window.reset();
    }
    std::unique_ptr<Window_SDL> window;
    std::unique_ptr<Renderer_GL_SDL> renderer;
};
