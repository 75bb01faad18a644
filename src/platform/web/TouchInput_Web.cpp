#include "platform/web/TouchInput_Web.h"

#include "input/TouchManager.h"

#include <cmath>

namespace
{
constexpr float c_rLandscapeHeight = 320.0f;
} // namespace

TouchInput_Web::Entry* TouchInput_Web::Find(int64_t device, int64_t id)
{
    for (Entry& entry : m_entries)
        if (entry.used && entry.device == device && entry.id == id)
            return &entry;
    return nullptr;
}

TouchGlue::Contact TouchInput_Web::ContactOf(Entry& entry)
{
    const float viewX = c_rLandscapeHeight - entry.y;
    if (entry.device != c_iMouse)
        return {&entry, viewX, entry.x};
    // The touch manager moves every contact a few points right, which suits a
    // fingertip but not the pointer's hot spot: the mouse plays where it points.
    return {&entry, viewX, std::floor(entry.x) - static_cast<float>(TouchManager::c_iOffsetX)};
}

int TouchInput_Web::CollectContacts(TouchGlue::Contact* out)
{
    int count = 0;
    for (Entry& entry : m_entries)
        if (entry.used)
            out[count++] = ContactOf(entry);
    return count;
}

void TouchInput_Web::Down(int64_t device, int64_t id, float x, float y)
{
    int down = 0;
    for (const Entry& entry : m_entries)
        down += entry.used ? 1 : 0;
    if (Find(device, id))
        return;
    if (down >= c_iMaxFingers)
    {
        m_glue.TouchRefused(x, y); // shown on screen: the finger is not simply lost
        return;
    }
    for (Entry& entry : m_entries)
    {
        if (entry.used)
            continue;
        entry = {true, device, id, x, y};
        TouchGlue::Contact all[c_iMaxContacts];
        const int count = CollectContacts(all);
        const TouchGlue::Contact contact = ContactOf(entry);
        m_glue.TouchesBegan(&contact, 1, all, count);
        return;
    }
}

void TouchInput_Web::Move(int64_t device, int64_t id, float x, float y)
{
    Entry* entry = Find(device, id);
    if (!entry)
        return;
    entry->x = x;
    entry->y = y;
    const TouchGlue::Contact contact = ContactOf(*entry);
    m_glue.TouchesMoved(&contact, 1);
}

void TouchInput_Web::Up(int64_t device, int64_t id, float x, float y)
{
    if (Entry* entry = Find(device, id))
    {
        entry->x = x;
        entry->y = y;
        Finish(false, *entry);
    }
}

void TouchInput_Web::Cancel(int64_t device, int64_t id)
{
    if (Entry* entry = Find(device, id))
        Finish(true, *entry);
}

void TouchInput_Web::Finish(bool cancelled, Entry& entry)
{
    // The full set still holds the lifting contact, as a platform reports it.
    TouchGlue::Contact all[c_iMaxContacts];
    const int count = CollectContacts(all);
    const TouchGlue::Contact contact = ContactOf(entry);
    if (cancelled)
        m_glue.TouchesCanceled(&contact, 1, all, count);
    else
        m_glue.TouchesEnded(&contact, 1, all, count);
    entry.used = false;
}

void TouchInput_Web::LiftAll()
{
    for (Entry& entry : m_entries)
        if (entry.used)
            Finish(false, entry);
}

int TouchInput_Web::GetFingers(Finger* out, int capacity) const
{
    int count = 0;
    for (const Entry& entry : m_entries)
        if (entry.used && count < capacity)
            out[count++] = {entry.x, entry.y};
    return count;
}
