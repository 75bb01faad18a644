// The entry of every test program: a predictable environment, then GoogleTest.
#include "host/Host.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Offscreen GL and SDL's dummy audio driver, unless the caller chose others.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ZINDLE_DATA", ZINDLE_SOURCE_DATA_DIR, 0);
    // The instrument's window, renderer and sound manager are the desktop's.
    Host::InstallPlatform();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
