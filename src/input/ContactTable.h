// The contacts a platform has down, each with a stable identity for its life,
// fed to the touch glue as they land, move and lift. Positions are portrait
// view points (landscape (X, Y) is view (320 - Y, X)). A contact is found by
// its device and its number within the device. A pointer (the mouse, a held
// finger) plays exactly where it points: the few points the touch manager
// adds to x for a fingertip are taken back for it.
#pragma once

#include "input/TouchGlue.h"

#include <cstdint>

class ContactTable
{
  public:
    static constexpr int c_iMaxContacts = 16;
    // The touch manager's table size: no finger lands while this many are down.
    static constexpr int c_iMaxFingers = 12;

    struct Entry
    {
        bool used = false;
        int64_t device = 0;
        int64_t id = 0;
        float x = 0.0f; // view points
        float y = 0.0f;
        bool pointer = false;
    };

    // A contact that is already down (Down) or not down (Move, Up, Cancel) is
    // ignored. A contact beyond the table's size is refused, and the glue told
    // so (the scene shows it). Up takes the contact's last position.
    void Down(int64_t device, int64_t id, float x, float y, bool pointer);
    void Move(int64_t device, int64_t id, float x, float y);
    void Up(int64_t device, int64_t id, float x, float y);
    void Cancel(int64_t device, int64_t id);

    Entry* Find(int64_t device, int64_t id);
    int GetContactCount() const;

    const Entry* begin() const { return m_entries; }
    const Entry* end() const { return m_entries + c_iMaxContacts; }

  private:
    void Finish(bool cancelled, Entry& entry);
    // Every current contact, the entry's address as its identity.
    int CollectContacts(TouchGlue::Contact* out);
    static TouchGlue::Contact ContactOf(Entry& entry);

    TouchGlue m_glue;
    Entry m_entries[c_iMaxContacts];
};
