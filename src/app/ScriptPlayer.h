// Plays a performance script on the sample clock: every event at its own
// sample, the lifts of taps at the next frame, and the running slides moved as
// often as the host asks (at every audio block headless, every few
// milliseconds live). Shots wait for the next frame that is drawn.
#pragma once

#include "formats/PerformanceScript.h"

#include <cstdint>
#include <string>
#include <vector>

class ScriptPlayer
{
  public:
    // Receives what the script does, in landscape screen points.
    class Target
    {
      public:
        virtual ~Target() = default;
        virtual void TouchDown(int contact, float x, float y) = 0;
        virtual void TouchMove(int contact, float x, float y) = 0;
        virtual void TouchUp(int contact) = 0;
        virtual void Shot(const std::string& path) = 0;
        // Writes the settings as they are at this moment.
        virtual void Save(const std::string& path) = 0;
    };

    // Taps use contact identities above the script's own (1 to 99).
    static constexpr int c_iFirstTapContact = 100;
    static constexpr int64_t c_iNever = INT64_MAX;

    // The sample (at 44100 Hz) at which something at time t happens: the nearest one.
    static int64_t SampleOf(double seconds);

    explicit ScriptPlayer(const PerformanceScript& script);

    // The sample of the next event not yet played; c_iNever when none is left.
    int64_t GetNextEventSample() const;
    // Plays, in file order, every event due at or before `sample`. Slides start
    // here; shots are kept for TakeShots.
    void PlayUntil(int64_t sample, Target& target);
    // Lifts the taps played so far (a tap is down until the next frame).
    void LiftTaps(Target& target);
    // Moves each running slide to where it is at time t; a slide that arrives ends.
    void MoveSlides(double t, Target& target);
    bool IsSliding() const;
    // The first sample after `sample` at which a running slide arrives;
    // c_iNever when no slide is running.
    int64_t GetNextSlideEndSample(int64_t sample) const;

    // Whether shots are waiting for a drawn frame.
    bool HasShots() const { return !m_dueShots.empty(); }
    // Writes the shots played so far, in file order.
    void TakeShots(Target& target);
    // Every event has been played and no slide or tap is pending.
    bool IsFinished() const;

  private:
    struct Contact
    {
        bool bDown = false;
        float rX = 0.0f;
        float rY = 0.0f;
        // A running slide.
        bool bSliding = false;
        double rStart = 0.0;
        double rDuration = 0.0;
        float rFromX = 0.0f, rFromY = 0.0f, rToX = 0.0f, rToY = 0.0f;
    };

    const std::vector<ScriptEvent>& m_events;
    size_t m_iNext = 0;
    Contact m_contacts[PerformanceScript::c_iMaxContact + 1];
    std::vector<int> m_pendingTapLifts;
    int m_iNextTapContact = c_iFirstTapContact;
    std::vector<std::string> m_dueShots;
};
