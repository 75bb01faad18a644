// The desktop's touch surface: the left mouse button is one finger, each SDL
// touch finger is one finger (mouse events SDL makes up from touches are
// ignored), and the right mouse button puts down held fingers that stay down
// after the button is released: right-clicking near a held finger lifts it,
// dragging it with the right button moves it. Window points map back through the letterboxed,
// scaled picture to landscape points and then to the portrait view points the touch glue takes.
// Keeps the set of current contacts, each with an identity stable for its life.
// A pointer plays exactly where it points: the few points the touch manager adds
// to x for a fingertip are taken back for the mouse and the held fingers.
#pragma once

#include "input/ContactTable.h"

#include <SDL.h>

#include <cstdint>

class TouchInput_SDL
{
  public:
    static constexpr int c_iMaxContacts = ContactTable::c_iMaxContacts; // more are ignored
    static constexpr float c_rLandscapeWidth = 480.0f;
    static constexpr float c_rLandscapeHeight = 320.0f;
    // The touch table's size: no finger lands while this many are down.
    static constexpr int c_iMaxFingers = ContactTable::c_iMaxFingers;
    // A right click this close (in points) to a held finger grabs it.
    static constexpr float c_rGrabRadius = 12.0f;

    // A finger that is down, as the hand overlay draws it.
    struct Finger
    {
        float landscapeX;
        float landscapeY;
        bool held;
    };

    // The window's size in points and its drawable's in pixels (HiDPI).
    struct Geometry
    {
        int windowWidth;
        int windowHeight;
        int drawableWidth;
        int drawableHeight;
    };

    // A window point (SDL window coordinates) to a portrait view point, through
    // the letterbox of the presented picture: landscape (X, Y) is view
    // (320 - Y, X). False for an empty window; `inside` tells whether the point
    // lies on the picture.
    static bool WindowToView(float windowX, float windowY, const Geometry& geometry, float& viewX,
                             float& viewY, bool* inside = nullptr);

    // Mouse and finger events go to the touch glue; true when the event was one
    // of them (used or ignored), false for any other event.
    bool HandleEvent(const SDL_Event& event, const Geometry& geometry);

    // Contacts by key, in portrait view points. A contact that is already down
    // (Down) or not down (Move, Up, Cancel) is ignored.
    void Down(int64_t device, int64_t finger, float viewX, float viewY);
    void Move(int64_t device, int64_t finger, float viewX, float viewY);
    void Up(int64_t device, int64_t finger, float viewX, float viewY);
    void Cancel(int64_t device, int64_t finger);

    int GetContactCount() const;
    int GetHeldCount() const;

    // Lifts every held finger; lifts every finger of any kind.
    void LiftHeld();
    void LiftAll();

    // Every finger down now, in landscape points; returns how many were written.
    int GetFingers(Finger* out, int capacity) const;

  private:
    // The mouse as a device of its own, apart from every SDL touch device.
    static constexpr int64_t c_iMouseDevice = INT64_MIN;
    // Held fingers: a device of their own, a new finger number each time.
    static constexpr int64_t c_iHeldDevice = INT64_MIN + 1;

    // The right button's press: places, grabs or lifts a held finger.
    void RightDown(float viewX, float viewY);
    void RightMove(float viewX, float viewY);
    void RightUp();

    ContactTable m_table;
    int64_t m_iNextHeld = 0;      // the next held finger's number
    int64_t m_iGrabbed = -1;      // the held finger the right button holds, -1 for none
    bool m_bGrabbedMoved = false; // it moved (or was just placed): the release keeps it
    bool m_bGrabbedClick = false; // a widget took it: the release lifts it
};
