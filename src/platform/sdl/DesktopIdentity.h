// How the desktop knows Zindle's window: one reverse-DNS id (ZINDLE_APP_ID, e.g.
// "org.zindle.Zindle") names the desktop entry, the AppStream metadata, the icon
// and the window's class, so that menus, docks and task bars put the window with
// its entry and show its icon.
#pragma once

#include <SDL.h>

class DesktopIdentity
{
  public:
    // Names the window's class (X11 WM_CLASS, Wayland app id) and the
    // program's name for the sound server. Call before the video system
    // starts; a class the caller's environment already names is kept.
    static void ApplyHints();

    // Gives the window the program's icon, which is built into the program.
    // False when it cannot (the window keeps the desktop's default icon).
    static bool SetWindowIcon(SDL_Window* window);
};
