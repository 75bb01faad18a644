// The application: creates the window and the services in a fixed order,
// installs the main state, runs each frame and tears everything down in reverse.
#pragma once

#include "app/App.h"

#include <cstdint>
#include <string>

class Renderer;
class State_Main;
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

    // Drains the window's messages now (as every frame does first); a quit
    // clears the running flag. The host calls it whenever input arrives between frames.
    void ProcessMessages();
    // Stands in for Render() on a frame nobody will see.
    void SkipRender();
    // The main state once it is installed (from the first frame on), else null.
    State_Main* GetMainState() const;

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
    State_Main* m_pMainState = nullptr; // owned as the state (current or next)
    std::string m_sFailure;

    static uint32_t s_iRandomSeed;
};
