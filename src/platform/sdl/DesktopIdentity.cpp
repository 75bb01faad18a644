#include "platform/sdl/DesktopIdentity.h"

#include "formats/PNGImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

// The window icon's PNG file, built into the program by CMake.
extern const uint8_t g_WindowIconPng[];
extern const size_t g_iWindowIconPngSize;

void DesktopIdentity::ApplyHints()
{
    // SDL 2 reads the class from the environment when its video system starts.
    setenv("SDL_VIDEO_X11_WMCLASS", ZINDLE_APP_ID, 0);
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", ZINDLE_APP_ID, 0);
    SDL_SetHint(SDL_HINT_APP_NAME, "Zindle");
}

bool DesktopIdentity::SetWindowIcon(SDL_Window* window)
{
    PNGImage image;
    if (!window || !image.Decode(g_WindowIconPng, g_iWindowIconPngSize))
        return false;
    // SDL copies the pixels into the window's icon property.
    std::vector<uint8_t> pixels = image.GetRGBA();
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), image.GetWidth(), image.GetHeight(), 32,
                                           image.GetWidth() * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface)
        return false;
    SDL_SetWindowIcon(window, surface);
    SDL_FreeSurface(surface);
    return true;
}
