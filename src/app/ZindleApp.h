// The application: creates the window and the services in a fixed order,
// installs the main state, runs each frame and tears everything down in reverse.
#pragma once

#include "app/App.h"

#include <cstdint>
#include <string>

class Renderer;
class Window;

class ZindleApp : public App
{
public:
    ZindleApp();
    ~ZindleApp() override;

    bool Init() override;
    bool Update() override;
    bool Render() override;
    bool Shutdown() override;

    // Why Init() failed, for the host's one-line message.
    const std::string& GetFailure() const { return m_sFailure; }
    Window* GetWindow() const { return m_pWindow; }
    Renderer* GetRenderer() const { return m_pRenderer; }

    // The seed Init() gives the random generator (the host sets it from --seed
    // or the clock).
    static void SetRandomSeed(uint32_t seed) { s_iRandomSeed = seed; }

    static ZindleApp* s_pInstance;

protected:
    Window* m_pWindow = nullptr;
    Renderer* m_pRenderer = nullptr;
    std::string m_sFailure;

    static uint32_t s_iRandomSeed;
};
