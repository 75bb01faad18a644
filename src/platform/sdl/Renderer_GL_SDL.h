// The desktop renderer: the GL back end drawing into View_SDL's portrait
// framebuffer, turned to landscape, with the GL context handed between threads
// through SDL's make-current.
#pragma once

#include "platform/sdl/TouchInput_SDL.h"
#include "render/Renderer_GL_Landscape.h"

#include <functional>

#include <thread>

class View_SDL;

class Renderer_GL_SDL : public Renderer_GL_Landscape
{
  public:
    // Takes ownership of the view. The constructing thread is the main thread.
    Renderer_GL_SDL(Window* window, View_SDL* view);
    ~Renderer_GL_SDL() override;

    // False when the view has no GL context or framebuffer.
    bool IsValid() override;
    bool IsMainThread() override { return std::this_thread::get_id() == m_mainThread; }

    // Live, the frame is drawn at the window's current scale first.
    void BeginFrame(bool clear, unsigned int colour) override;
    void Present() override;
    void LockContext() override;
    void UnlockContext() override;
    void SetVsync(bool) override {}

    View_SDL* GetView() const { return m_pView; }
    // Draws the next frames at that many pixels a point, the view's framebuffer
    // made to match; false when the framebuffer cannot be made.
    bool ApplyPixelScale(float scale);

    // The hand drawn over every presented frame: a ring at each finger of the
    // window's touch input, plus the marks `notes` adds (the voices MIDI notes
    // play, where they show), up to `max`, returning how many. Off: no rings.
    using NoteMarks = std::function<int(TouchInput_SDL::Finger* marks, int max)>;
    void SetHand(bool shown, NoteMarks notes)
    {
        m_bShowHand = shown;
        m_noteMarks = std::move(notes);
    }

  private:
    View_SDL* m_pView;
    std::thread::id m_mainThread;
    bool m_bShowHand = false;
    NoteMarks m_noteMarks;
};
