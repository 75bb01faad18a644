#include "app/ZindleApp.h"

#include "app/AppState.h"
#include "app/State_Main.h"
#include "core/Window.h"
#include "dsp/SoundManager.h"
#include "input/TouchManager.h"
#include "render/Renderer.h"

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
    m_pRenderer = Renderer::Create(m_pWindow);
    if (!m_pRenderer || !m_pRenderer->IsValid())
    {
        m_sFailure = m_pRenderer && !m_pRenderer->GetFailure().empty()
                         ? m_pRenderer->GetFailure()
                         : "no OpenGL ES 1.1 renderer";
        delete m_pRenderer;
        m_pRenderer = nullptr;
        delete m_pWindow;
        m_pWindow = nullptr;
        return false;
    }
    TouchManager::Startup();
    SoundManager::Startup(m_pWindow);
    std::srand(s_iRandomSeed);
    m_pMainState = new State_Main();
    SetState(m_pMainState);
    return true;
}

void ZindleApp::ProcessMessages()
{
    if (!m_pWindow)
        return;
    int message;
    while ((message = m_pWindow->Process()) != Window::c_iMessageNone)
    {
        if (message == Window::c_iMessageQuit)
            m_bRunning = false;
    }
}

bool ZindleApp::Update()
{
    ProcessMessages();
    SoundManager::Update();
    return App::Update();
}

bool ZindleApp::Render()
{
    if (m_pState && m_pRenderer)
        m_pState->Render(*m_pRenderer);
    return true;
}

void ZindleApp::SkipRender()
{
    if (State_Main* state = GetMainState())
        state->SkipRender();
}

State_Main* ZindleApp::GetMainState() const
{
    return m_pMainState && m_pState == m_pMainState ? m_pMainState : nullptr;
}

bool ZindleApp::Shutdown()
{
    m_pMainState = nullptr;
    if (m_pState)
    {
        m_pState->Exit();
        delete m_pState;
        m_pState = nullptr;
    }
    SoundManager::Shutdown();
    TouchManager::Shutdown();
    delete m_pRenderer;
    m_pRenderer = nullptr;
    delete m_pWindow;
    m_pWindow = nullptr;
    return App::Shutdown();
}
