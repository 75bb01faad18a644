#include "app/ZindleApp.h"

#include "app/AppState.h"
#include "app/Window.h"
#include "input/TouchManager.h"
#include "sound/SoundManager.h"

#include <cstdlib>

ZindleApp* ZindleApp::s_pInstance = nullptr;
uint32_t ZindleApp::s_iRandomSeed = 1;

ZindleApp::ZindleApp()
{
    s_pInstance = this;
}

ZindleApp::~ZindleApp()
{
    ZindleApp::Shutdown();
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

bool ZindleApp::Init()
{
    App::Init();
    m_pWindow = Window::Create(480, 320, false);
    if (!m_pWindow)
    {
        m_sFailure = "no window";
        return false;
    }
    TouchManager::Startup();
    SoundManager::Startup(m_pWindow);
    std::srand(s_iRandomSeed);
    // The instrument's own state arrives with the main state; until then the
    // frame loop runs an empty state.
    SetState(new AppState());
    return true;
}

bool ZindleApp::Update()
{
    if (m_pWindow)
    {
        int message;
        while ((message = m_pWindow->Process()) != Window::c_iMessageNone)
        {
            if (message == Window::c_iMessageQuit)
                m_bRunning = false;
        }
    }
    SoundManager::Update();
    return App::Update();
}

bool ZindleApp::Render()
{
    return true;
}

bool ZindleApp::Shutdown()
{
    if (m_pState)
    {
        m_pState->Exit();
        delete m_pState;
        m_pState = nullptr;
    }
    SoundManager::Shutdown();
    TouchManager::Shutdown();
    delete m_pWindow;
    m_pWindow = nullptr;
    return App::Shutdown();
}
