// Plays a performance script frame by frame: the touches due at a frame's time
// (with the steps of running slides and the lifts of taps), then its shots.
#pragma once

#include "platform/PerformanceScript.h"

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
    };

    // Taps use contact identities above the script's own (1 to 99).
    static constexpr int c_iFirstTapContact = 100;

    explicit ScriptPlayer(const PerformanceScript& script);

    // The touches of the frame at time t, in file order: lifts of the previous
    // frame's taps first, then due events, then one step of each running slide.
    void PlayTouches(double t, Target& target);
    // The shots that came due in the last PlayTouches, in file order.
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
