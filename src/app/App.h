// The application base: the frame-time source, the current state and an event queue.
#pragma once

class AppState;
class Timer;

class App
{
  public:
    App();
    virtual ~App();

    App(const App&) = delete;
    App& operator=(const App&) = delete;

    virtual bool Init();
    virtual bool Update();
    virtual bool Render() = 0;
    virtual bool Shutdown();
    // The state is installed at the start of the next Update(), never here.
    virtual bool SetState(AppState* state);

    bool GetNextEvent(int& code, void*& data);
    void PostEvent(int code, void* data);

    bool IsRunning() const { return m_bRunning; }
    AppState* GetState() const { return m_pState; }
    AppState* GetNextState() const { return m_pNextState; }

    static App* s_pInstance;

  protected:
    struct Event
    {
        int code;
        void* data;
        Event* next;
    };

    bool m_bRunning = true;
    AppState* m_pState = nullptr;
    AppState* m_pNextState = nullptr;
    Timer* m_pTimer = nullptr;
    Event* m_pEventHead = nullptr;
    Event* m_pEventTail = nullptr;
};
