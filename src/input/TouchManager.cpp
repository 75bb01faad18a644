#include "input/TouchManager.h"

#include "input/TouchListener.h"

#include <algorithm>

TouchManager* TouchManager::s_pInstance = nullptr;

void TouchManager::Startup()
{
    if (!s_pInstance)
        s_pInstance = new TouchManager();
}

void TouchManager::Shutdown()
{
    delete s_pInstance;
    s_pInstance = nullptr;
}

void TouchManager::AddListener(TouchListener* listener)
{
    m_listeners.push_back(listener);
}

void TouchManager::RemoveListener(TouchListener* listener)
{
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
    for (Touch& touch : m_touches)
    {
        if (touch.listener == listener)
            Free(touch);
    }
}

void TouchManager::TouchBegan(void* platformTouch, int x, int y)
{
    x += c_iOffsetX;

    // Every listener is asked, winner or not: some keep state in their bid (the
    // double-tap button counts taps there). The first bidder leads whatever its
    // bid; only a strictly greater bid displaces it, so ties go to the earlier.
    TouchListener* leader = nullptr;
    float leaderBid = 0.0f;
    float bid = 0.0f;
    // Indexed: a listener may register another one while bidding.
    for (size_t i = 0; i < m_listeners.size(); ++i)
    {
        TouchListener* listener = m_listeners[i];
        if (!listener->TouchGetBid(x, y, bid))
            continue;
        if (!leader || bid > leaderBid)
        {
            leader = listener;
            leaderBid = bid;
        }
    }
    if (!leader)
        return;

    for (int id = 0; id < c_iMaxTouches; ++id)
    {
        Touch& touch = m_touches[id];
        if (touch.active)
            continue;
        touch.platformTouch = platformTouch;
        touch.active = true;
        touch.listener = leader;
        touch.x = x;
        touch.y = y;
        leader->TouchBegan(id, x, y);
        return;
    }
    // A full table drops the contact; the winner is not told, the scene is.
    Refused(x, y);
}

void TouchManager::TouchRefused(int x, int y)
{
    Refused(x + c_iOffsetX, y);
}

void TouchManager::Refused(int x, int y)
{
    ++m_iRefused;
    m_iRefusedX = x;
    m_iRefusedY = y;
}

void TouchManager::TouchMoved(int id, int x, int y)
{
    Deliver(Delivery::Move, id, x, y);
}

void TouchManager::TouchEnded(int id, int x, int y)
{
    Deliver(Delivery::End, id, x, y);
}

void TouchManager::TouchCanceled(int id, int x, int y)
{
    Deliver(Delivery::Cancel, id, x, y);
}

void TouchManager::Deliver(Delivery delivery, int id, int x, int y)
{
    x += c_iOffsetX;
    if (static_cast<unsigned>(id) >= static_cast<unsigned>(c_iMaxTouches))
        return;
    Touch& touch = m_touches[id];
    if (!touch.active)
        return;

    // The owner is called before the slot changes: inside the callback the touch
    // is still active at its previous position.
    TouchListener* owner = touch.listener;
    switch (delivery)
    {
    case Delivery::Move:
        owner->TouchMoved(id, x, y, touch.x, touch.y);
        break;
    case Delivery::End:
        owner->TouchEnded(id, x, y, touch.x, touch.y);
        break;
    case Delivery::Cancel:
        owner->TouchCanceled(id, x, y, touch.x, touch.y);
        break;
    }

    // The callback may have removed its owner (freeing the slot): leave it free.
    if (!touch.active || touch.listener != owner)
        return;
    touch.x = x;
    touch.y = y;
    if (delivery != Delivery::Move)
        Free(touch);
}

int TouchManager::FindTouchID(void* platformTouch) const
{
    for (int id = 0; id < c_iMaxTouches; ++id)
    {
        if (m_touches[id].active && m_touches[id].platformTouch == platformTouch)
            return id;
    }
    return -1;
}

TouchListener* TouchManager::GetTouchOwner(int id) const
{
    if (static_cast<unsigned>(id) >= static_cast<unsigned>(c_iMaxTouches))
        return nullptr;
    return m_touches[id].active ? m_touches[id].listener : nullptr;
}

void TouchManager::VerifyTouch(int id)
{
    if (static_cast<unsigned>(id) >= static_cast<unsigned>(c_iMaxTouches))
        return;
    if (m_touches[id].active)
        m_touches[id].verified = true;
}

void TouchManager::KillUnverifiedTouches()
{
    for (int id = 0; id < c_iMaxTouches; ++id)
    {
        Touch& touch = m_touches[id];
        if (!touch.active || touch.verified)
            continue;
        TouchListener* owner = touch.listener;
        owner->TouchCanceled(id, touch.x, touch.y, touch.x, touch.y);
        if (touch.listener == owner)
            Free(touch);
    }
    for (Touch& touch : m_touches)
        touch.verified = false;
}

void TouchManager::KillAllTouches()
{
    for (int id = 0; id < c_iMaxTouches; ++id)
    {
        Touch& touch = m_touches[id];
        if (!touch.active)
            continue;
        TouchListener* owner = touch.listener;
        if (owner)
            owner->TouchCanceled(id, touch.x, touch.y, touch.x, touch.y);
        if (touch.listener == owner)
            Free(touch);
    }
}

bool TouchManager::GetTouchPosition(int id, int& x, int& y) const
{
    if (static_cast<unsigned>(id) >= static_cast<unsigned>(c_iMaxTouches))
        return false;
    const Touch& touch = m_touches[id];
    if (!touch.active)
        return false;
    x = touch.x;
    y = touch.y;
    return true;
}

int TouchManager::GetActiveTouchCount() const
{
    return static_cast<int>(std::count_if(std::begin(m_touches), std::end(m_touches),
                                          [](const Touch& t) { return t.active; }));
}

void TouchManager::Free(Touch& touch)
{
    touch.active = false;
    touch.listener = nullptr;
    touch.platformTouch = nullptr;
}
