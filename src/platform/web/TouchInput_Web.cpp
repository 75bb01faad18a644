#include "platform/web/TouchInput_Web.h"

namespace
{
constexpr float c_rLandscapeHeight = 320.0f;
} // namespace

// Landscape (x, y) is view (320 - y, x).
void TouchInput_Web::Down(int64_t device, int64_t id, float x, float y)
{
    m_table.Down(device, id, c_rLandscapeHeight - y, x, device == c_iMouse);
}

void TouchInput_Web::Move(int64_t device, int64_t id, float x, float y)
{
    m_table.Move(device, id, c_rLandscapeHeight - y, x);
}

void TouchInput_Web::Up(int64_t device, int64_t id, float x, float y)
{
    m_table.Up(device, id, c_rLandscapeHeight - y, x);
}

void TouchInput_Web::Cancel(int64_t device, int64_t id)
{
    m_table.Cancel(device, id);
}

void TouchInput_Web::LiftAll()
{
    for (const ContactTable::Entry& entry : m_table)
        if (entry.used)
            m_table.Up(entry.device, entry.id, entry.x, entry.y);
}

int TouchInput_Web::GetFingers(Finger* out, int capacity) const
{
    int count = 0;
    for (const ContactTable::Entry& entry : m_table)
        if (entry.used && count < capacity)
            out[count++] = {entry.y, c_rLandscapeHeight - entry.x};
    return count;
}
