#include "platform/sdl/TouchInput_SDL.h"

#include "input/TouchListener.h"
#include "input/TouchManager.h"
#include "platform/sdl/View_SDL.h"

#include <cmath>

bool TouchInput_SDL::WindowToView(float windowX, float windowY, const Geometry& geometry,
                                  float& viewX, float& viewY, bool* inside)
{
    if (geometry.windowWidth <= 0 || geometry.windowHeight <= 0 || geometry.drawableWidth <= 0 ||
        geometry.drawableHeight <= 0)
        return false;
    int x, y, width, height;
    View_SDL::FitLandscape(geometry.drawableWidth, geometry.drawableHeight, x, y, width, height);
    if (width <= 0 || height <= 0)
        return false;
    // Window points to drawable pixels (HiDPI), then into the picture.
    const float px = windowX * static_cast<float>(geometry.drawableWidth) /
                     static_cast<float>(geometry.windowWidth);
    const float py = windowY * static_cast<float>(geometry.drawableHeight) /
                     static_cast<float>(geometry.windowHeight);
    const float landscapeX =
        (px - static_cast<float>(x)) * c_rLandscapeWidth / static_cast<float>(width);
    const float landscapeY =
        (py - static_cast<float>(y)) * c_rLandscapeHeight / static_cast<float>(height);
    // The picture is the portrait view turned a quarter turn counter-clockwise.
    viewX = c_rLandscapeHeight - landscapeY;
    viewY = landscapeX;
    if (inside)
        *inside = landscapeX >= 0.0f && landscapeX < c_rLandscapeWidth && landscapeY >= 0.0f &&
                  landscapeY < c_rLandscapeHeight;
    return true;
}

bool TouchInput_SDL::HandleEvent(const SDL_Event& event, const Geometry& geometry)
{
    float vx = 0.0f, vy = 0.0f;
    bool inside = false;
    switch (event.type)
    {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        // Touches arrive as fingers; SDL's mouse copies of them are dropped.
        if (event.button.which == SDL_TOUCH_MOUSEID ||
            (event.button.button != SDL_BUTTON_LEFT && event.button.button != SDL_BUTTON_RIGHT))
            return true;
        if (!WindowToView(static_cast<float>(event.button.x), static_cast<float>(event.button.y),
                          geometry, vx, vy, &inside))
            return true;
        if (event.button.button == SDL_BUTTON_RIGHT)
        {
            if (event.type == SDL_MOUSEBUTTONUP)
                RightUp();
            else if (inside)
                RightDown(vx, vy);
            return true;
        }
        if (event.type == SDL_MOUSEBUTTONUP)
            Up(c_iMouseDevice, 0, vx, vy);
        else if (inside)
            Down(c_iMouseDevice, 0, vx, vy);
        return true;
    case SDL_MOUSEMOTION:
        if (event.motion.which == SDL_TOUCH_MOUSEID ||
            !(event.motion.state & (SDL_BUTTON_LMASK | SDL_BUTTON_RMASK)))
            return true;
        if (!WindowToView(static_cast<float>(event.motion.x), static_cast<float>(event.motion.y),
                          geometry, vx, vy))
            return true;
        if (event.motion.state & SDL_BUTTON_LMASK)
            Move(c_iMouseDevice, 0, vx, vy);
        if (event.motion.state & SDL_BUTTON_RMASK)
            RightMove(vx, vy);
        return true;
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP:
    {
        // Finger positions are fractions of the window.
        const float wx = event.tfinger.x * static_cast<float>(geometry.windowWidth);
        const float wy = event.tfinger.y * static_cast<float>(geometry.windowHeight);
        if (!WindowToView(wx, wy, geometry, vx, vy, &inside))
            return true;
        const int64_t device = static_cast<int64_t>(event.tfinger.touchId);
        const int64_t finger = static_cast<int64_t>(event.tfinger.fingerId);
        if (event.type == SDL_FINGERUP)
            Up(device, finger, vx, vy);
        else if (event.type == SDL_FINGERMOTION)
            Move(device, finger, vx, vy);
        else if (inside)
            Down(device, finger, vx, vy);
        return true;
    }
    default:
        return false;
    }
}

void TouchInput_SDL::Down(int64_t device, int64_t finger, float viewX, float viewY)
{
    m_table.Down(device, finger, viewX, viewY, device == c_iMouseDevice || device == c_iHeldDevice);
}

void TouchInput_SDL::Move(int64_t device, int64_t finger, float viewX, float viewY)
{
    m_table.Move(device, finger, viewX, viewY);
}

void TouchInput_SDL::Up(int64_t device, int64_t finger, float viewX, float viewY)
{
    m_table.Up(device, finger, viewX, viewY);
}

void TouchInput_SDL::Cancel(int64_t device, int64_t finger)
{
    m_table.Cancel(device, finger);
}

void TouchInput_SDL::RightDown(float viewX, float viewY)
{
    // The nearest held finger within reach is grabbed; otherwise a new one lands.
    float best = c_rGrabRadius * c_rGrabRadius;
    const ContactTable::Entry* nearest = nullptr;
    for (const ContactTable::Entry& entry : m_table)
    {
        if (!entry.used || entry.device != c_iHeldDevice)
            continue;
        const float dx = entry.x - viewX;
        const float dy = entry.y - viewY;
        const float distance = dx * dx + dy * dy;
        if (distance <= best)
        {
            best = distance;
            nearest = &entry;
        }
    }
    if (nearest)
    {
        m_iGrabbed = nearest->id;
        m_bGrabbedMoved = false;
        return;
    }
    const int64_t finger = m_iNextHeld++;
    Down(c_iHeldDevice, finger, viewX, viewY);
    if (ContactTable::Entry* entry = m_table.Find(c_iHeldDevice, finger))
    {
        m_iGrabbed = finger;
        m_bGrabbedMoved = true;
        // Only the playing surface keeps a finger nobody holds: on a panel button
        // or slider the right button is a click, as the left one is.
        const TouchManager* manager = TouchManager::GetInstance();
        const TouchListener* owner =
            manager ? manager->GetTouchOwner(manager->FindTouchID(entry)) : nullptr;
        m_bGrabbedClick = owner && !owner->TouchKeepsHeld();
    }
}

void TouchInput_SDL::RightMove(float viewX, float viewY)
{
    if (m_iGrabbed < 0 || !m_table.Find(c_iHeldDevice, m_iGrabbed))
        return;
    m_bGrabbedMoved = true;
    Move(c_iHeldDevice, m_iGrabbed, viewX, viewY);
}

void TouchInput_SDL::RightUp()
{
    // A click on a held finger (no drag) lifts it where it is, and so does the
    // end of a click on a widget.
    if (m_iGrabbed >= 0 && (!m_bGrabbedMoved || m_bGrabbedClick))
    {
        if (const ContactTable::Entry* entry = m_table.Find(c_iHeldDevice, m_iGrabbed))
            Up(c_iHeldDevice, m_iGrabbed, entry->x, entry->y);
    }
    m_iGrabbed = -1;
    m_bGrabbedMoved = false;
    m_bGrabbedClick = false;
}

void TouchInput_SDL::LiftHeld()
{
    for (const ContactTable::Entry& entry : m_table)
    {
        if (entry.used && entry.device == c_iHeldDevice)
            Up(entry.device, entry.id, entry.x, entry.y);
    }
    m_iGrabbed = -1;
}

void TouchInput_SDL::LiftAll()
{
    for (const ContactTable::Entry& entry : m_table)
    {
        if (entry.used)
            Up(entry.device, entry.id, entry.x, entry.y);
    }
    m_iGrabbed = -1;
}

int TouchInput_SDL::GetFingers(Finger* out, int capacity) const
{
    int count = 0;
    for (const ContactTable::Entry& entry : m_table)
    {
        if (!entry.used || count >= capacity)
            continue;
        // View (x, y) is landscape (y, 320 - x).
        out[count++] = {entry.y, c_rLandscapeHeight - entry.x, entry.device == c_iHeldDevice};
    }
    return count;
}

int TouchInput_SDL::GetHeldCount() const
{
    int count = 0;
    for (const ContactTable::Entry& entry : m_table)
        count += entry.used && entry.device == c_iHeldDevice ? 1 : 0;
    return count;
}

int TouchInput_SDL::GetContactCount() const
{
    return m_table.GetContactCount();
}
