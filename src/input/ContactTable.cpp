#include "input/ContactTable.h"

#include "input/TouchManager.h"

#include <cmath>

void ContactTable::Down(int64_t device, int64_t id, float x, float y, bool pointer)
{
    if (Find(device, id))
        return;
    if (GetContactCount() >= c_iMaxFingers)
    {
        m_glue.TouchRefused(x, y); // shown on screen: the finger is not simply lost
        return;
    }
    for (Entry& entry : m_entries)
    {
        if (entry.used)
            continue;
        entry = {true, device, id, x, y, pointer};
        TouchGlue::Contact all[c_iMaxContacts];
        const int count = CollectContacts(all);
        const TouchGlue::Contact contact = ContactOf(entry);
        m_glue.TouchesBegan(&contact, 1, all, count);
        return;
    }
}

void ContactTable::Move(int64_t device, int64_t id, float x, float y)
{
    Entry* entry = Find(device, id);
    if (!entry)
        return;
    entry->x = x;
    entry->y = y;
    const TouchGlue::Contact contact = ContactOf(*entry);
    m_glue.TouchesMoved(&contact, 1);
}

void ContactTable::Up(int64_t device, int64_t id, float x, float y)
{
    if (Entry* entry = Find(device, id))
    {
        entry->x = x;
        entry->y = y;
        Finish(false, *entry);
    }
}

void ContactTable::Cancel(int64_t device, int64_t id)
{
    if (Entry* entry = Find(device, id))
        Finish(true, *entry);
}

void ContactTable::Finish(bool cancelled, Entry& entry)
{
    // The full set still holds the lifting contact, as a platform reports it:
    // lifting one of two fingers then verifies the other rather than clearing it.
    TouchGlue::Contact all[c_iMaxContacts];
    const int count = CollectContacts(all);
    const TouchGlue::Contact contact = ContactOf(entry);
    if (cancelled)
        m_glue.TouchesCanceled(&contact, 1, all, count);
    else
        m_glue.TouchesEnded(&contact, 1, all, count);
    entry.used = false;
}

ContactTable::Entry* ContactTable::Find(int64_t device, int64_t id)
{
    for (Entry& entry : m_entries)
        if (entry.used && entry.device == device && entry.id == id)
            return &entry;
    return nullptr;
}

int ContactTable::GetContactCount() const
{
    int count = 0;
    for (const Entry& entry : m_entries)
        count += entry.used ? 1 : 0;
    return count;
}

int ContactTable::CollectContacts(TouchGlue::Contact* out)
{
    int count = 0;
    for (Entry& entry : m_entries)
        if (entry.used)
            out[count++] = ContactOf(entry);
    return count;
}

TouchGlue::Contact ContactTable::ContactOf(Entry& entry)
{
    if (!entry.pointer)
        return {&entry, entry.x, entry.y};
    // The touch manager moves every contact a few points right, which suits a
    // fingertip but not the pointer's hot spot: take it back, so that the point
    // that plays is the whole point under the pointer. (View y is landscape x;
    // the glue truncates what it is given.)
    const float x = std::floor(entry.y) - static_cast<float>(TouchManager::c_iOffsetX);
    return {&entry, entry.x, x};
}
