#include "app/App.h"

#include "app/AppState.h"
#include "app/Timer.h"

App* App::s_pInstance = nullptr;

App::App()
{
    s_pInstance = this;
}

App::~App()
{
    App::Shutdown();
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

bool App::Init()
{
    delete m_pTimer;
    m_pTimer = new Timer();
    return true;
}

bool App::Update()
{
    if (m_pNextState)
    {
        if (m_pState)
        {
            m_pState->Exit();
            delete m_pState;
        }
        m_pState = m_pNextState;
        m_pNextState = nullptr;
        m_pState->Init();
    }
    if (m_pState && m_pTimer)
    {
        const float dt = static_cast<float>(m_pTimer->GetTimestep());
        m_pState->Update(dt);
    }
    return true;
}

bool App::Shutdown()
{
    if (m_pState)
    {
        m_pState->Exit();
        delete m_pState;
        m_pState = nullptr;
    }
    if (m_pNextState)
    {
        delete m_pNextState;
        m_pNextState = nullptr;
    }
    delete m_pTimer;
    m_pTimer = nullptr;
    int code = 0;
    void* data = nullptr;
    while (GetNextEvent(code, data))
    {
    }
    return true;
}

bool App::SetState(AppState* state)
{
    if (!state)
        return false;
    delete m_pNextState;
    m_pNextState = state;
    return true;
}

bool App::GetNextEvent(int& code, void*& data)
{
    Event* event = m_pEventHead;
    if (!event)
        return false;
    m_pEventHead = event->next;
    if (!m_pEventHead)
        m_pEventTail = nullptr;
    code = event->code;
    data = event->data;
    delete event;
    return true;
}

void App::PostEvent(int code, void* data)
{
    Event* event = new Event{code, data, nullptr};
    if (m_pEventTail)
        m_pEventTail->next = event;
    else
        m_pEventHead = event;
    m_pEventTail = event;
}
