// Where raw finger contacts become owned touches: each new contact is auctioned
// among the registered listeners and belongs to the winner until it ends. Main
// thread only.
#pragma once

#include <vector>

class TouchListener;

class TouchManager
{
  public:
    static constexpr int c_iMaxTouches = 12;
    // Added to every incoming x coordinate before anything else.
    static constexpr int c_iOffsetX = 5;

    virtual ~TouchManager() = default;

    TouchManager(const TouchManager&) = delete;
    TouchManager& operator=(const TouchManager&) = delete;

    // Creates the instance if there is none; a second call does nothing.
    static void Startup();
    // Destroys the instance; no listener is told anything.
    static void Shutdown();
    static TouchManager* GetInstance() { return s_pInstance; }

    void AddListener(TouchListener* listener);
    // Removes every occurrence and frees, without calling it, every touch it owns.
    void RemoveListener(TouchListener* listener);

    // A new contact at view coordinates (x, y); `platformTouch` is only compared.
    void TouchBegan(void* platformTouch, int x, int y);
    void TouchMoved(int id, int x, int y);
    void TouchEnded(int id, int x, int y);
    void TouchCanceled(int id, int x, int y);

    // The lowest active id holding `platformTouch`, or -1.
    int FindTouchID(void* platformTouch) const;
    // The listener that owns touch `id`, or null.
    TouchListener* GetTouchOwner(int id) const;
    // Marks an active touch as still known to the platform; other ids are ignored.
    void VerifyTouch(int id);
    // Cancels, in id order, every active touch not verified since the last sweep.
    void KillUnverifiedTouches();
    // Cancels every active touch in id order.
    void KillAllTouches();

    // The last position delivered for touch `id`; false (outputs untouched) when
    // the id is not an active touch.
    bool GetTouchPosition(int id, int& x, int& y) const;

    // A contact nobody could take because the table (or the host's own count of
    // fingers) was full, at landscape point (x, y) with the offset applied: the
    // scene shows a sign of it. Counted, with the last one's place.
    void TouchRefused(int x, int y);
    int GetRefusedCount() const { return m_iRefused; }
    void GetLastRefused(int& x, int& y) const
    {
        x = m_iRefusedX;
        y = m_iRefusedY;
    }

    int GetListenerCount() const { return static_cast<int>(m_listeners.size()); }
    int GetActiveTouchCount() const;

  protected:
    TouchManager() = default;

  private:
    struct Touch
    {
        bool active = false;
        bool verified = false;
        void* platformTouch = nullptr;
        TouchListener* listener = nullptr;
        int x = 0;
        int y = 0;
    };

    enum class Delivery
    {
        Move,
        End,
        Cancel
    };

    void Deliver(Delivery delivery, int id, int x, int y);
    // Counts a refused contact at (x, y), the offset already applied.
    void Refused(int x, int y);
    void Free(Touch& touch);

    static TouchManager* s_pInstance;

    std::vector<TouchListener*> m_listeners;
    Touch m_touches[c_iMaxTouches];
    int m_iRefused = 0;
    int m_iRefusedX = 0;
    int m_iRefusedY = 0;
};
