// The browser's touch surface: every touch point is a finger and the mouse's
// left button one more, each fed to the touch glue with an identity that stays
// the same for the contact's life. Positions arrive in landscape scene points
// (the page maps CSS pixels through the letterbox); the glue takes portrait
// view points, landscape (X, Y) being view (320 - Y, X).
#pragma once

#include "input/ContactTable.h"

#include <cstdint>

class TouchInput_Web
{
  public:
    static constexpr int c_iMaxContacts = ContactTable::c_iMaxContacts;
    // The touch table's size: no finger lands while this many are down.
    static constexpr int c_iMaxFingers = ContactTable::c_iMaxFingers;
    static constexpr int64_t c_iMouse = -1;  // the mouse, apart from every touch id
    static constexpr int64_t c_iScript = -2; // a script's contacts (the page's headless run)

    struct Finger
    {
        float x; // landscape scene points
        float y;
    };

    // A contact that is already down (Down) or not down (Move, Up, Cancel) is ignored.
    void Down(int64_t device, int64_t id, float x, float y);
    void Move(int64_t device, int64_t id, float x, float y);
    void Up(int64_t device, int64_t id, float x, float y);
    void Cancel(int64_t device, int64_t id);
    void LiftAll();

    // Every contact down, in landscape points as the page or the script gave them.
    int GetFingers(Finger* out, int capacity) const;

  private:
    ContactTable m_table;
};
