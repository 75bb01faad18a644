// Base of application states: installed by App, updated and rendered every frame.
#pragma once

class Renderer;

class AppState
{
  public:
    AppState() = default;
    virtual ~AppState() = default;

    virtual bool Init()
    {
        m_bInitialised = true;
        return true;
    }
    virtual void HandleEvent(int& /*code*/, void*& /*data*/) {}
    virtual void Update(float /*dt*/) {}
    virtual void Render(Renderer& /*renderer*/) {}
    virtual void Exit() {}
    virtual bool IsInited() { return m_bInitialised; }

  protected:
    bool m_bInitialised = false;
};
