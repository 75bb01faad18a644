// The desktop's touch surface: the left mouse button is one finger, each SDL
// touch finger is one finger (mouse events SDL makes up from touches are
// ignored). Window points map back through the letterboxed, scaled picture to
// landscape points and then to the portrait view points the touch glue takes.
// Keeps the set of current contacts, each with an identity stable for its life.
#pragma once

#include "input/TouchGlue.h"

#include <SDL.h>

#include <cstdint>

class TouchInput_SDL
{
  public:
    static constexpr int c_iMaxContacts = 16; // more fingers than this are ignored
    static constexpr float c_rLandscapeWidth = 480.0f;
    static constexpr float c_rLandscapeHeight = 320.0f;

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

  private:
    struct Entry
    {
        bool used = false;
        int64_t device = 0;
        int64_t finger = 0;
        float x = 0.0f;
        float y = 0.0f;
    };

    enum class Finish
    {
        Up,
        Cancel
    };

    // The mouse as a device of its own, apart from every SDL touch device.
    static constexpr int64_t c_iMouseDevice = INT64_MIN;

    Entry* Find(int64_t device, int64_t finger);
    void Finished(Finish finish, int64_t device, int64_t finger, float viewX, float viewY);
    // Every current contact, the entry's address as its identity.
    int CollectContacts(TouchGlue::Contact* out);
    static TouchGlue::Contact ContactOf(Entry& entry);

    TouchGlue m_glue;
    Entry m_entries[c_iMaxContacts];
};
