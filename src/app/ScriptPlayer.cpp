#include "app/ScriptPlayer.h"

#include "dsp/SoundManager.h"

#include <cmath>

namespace
{
// Frame times are k * 0.05 in double: allow for the last bit of rounding.
constexpr double c_rTimeSlack = 1e-9;
constexpr double c_rSampleRate = SoundManager::c_iSampleRate;
constexpr double c_rHalfSample = 0.5 / c_rSampleRate;
} // namespace

int64_t ScriptPlayer::SampleOf(double seconds)
{
    return static_cast<int64_t>(std::llround(seconds * c_rSampleRate));
}

ScriptPlayer::ScriptPlayer(const PerformanceScript& script) : m_events(script.GetEvents()) {}

int64_t ScriptPlayer::GetNextEventSample() const
{
    return m_iNext < m_events.size() ? SampleOf(m_events[m_iNext].rTime) : c_iNever;
}

void ScriptPlayer::PlayUntil(int64_t sample, Target& target)
{
    while (m_iNext < m_events.size() && SampleOf(m_events[m_iNext].rTime) <= sample)
    {
        const ScriptEvent& event = m_events[m_iNext++];
        Contact* contact = event.iContact > 0 ? &m_contacts[event.iContact] : nullptr;
        switch (event.eKind)
        {
        case ScriptEvent::Kind::Down:
            *contact = Contact();
            contact->bDown = true;
            contact->rX = event.rX;
            contact->rY = event.rY;
            target.TouchDown(event.iContact, event.rX, event.rY);
            break;
        case ScriptEvent::Kind::Move:
            contact->bSliding = false;
            contact->rX = event.rX;
            contact->rY = event.rY;
            target.TouchMove(event.iContact, event.rX, event.rY);
            break;
        case ScriptEvent::Kind::Up:
            contact->bSliding = false;
            contact->bDown = false;
            target.TouchUp(event.iContact);
            break;
        case ScriptEvent::Kind::Slide:
            contact->bSliding = true;
            contact->rStart = event.rTime;
            contact->rDuration = event.rDuration;
            contact->rFromX = contact->rX;
            contact->rFromY = contact->rY;
            contact->rToX = event.rX;
            contact->rToY = event.rY;
            break;
        case ScriptEvent::Kind::Tap:
        {
            const int id = m_iNextTapContact++;
            target.TouchDown(id, event.rX, event.rY);
            m_pendingTapLifts.push_back(id);
            break;
        }
        case ScriptEvent::Kind::Shot:
            m_dueShots.push_back(event.sPath);
            break;
        case ScriptEvent::Kind::Save:
            target.Save(event.sPath);
            break;
        case ScriptEvent::Kind::End:
            break;
        }
    }
}

void ScriptPlayer::LiftTaps(Target& target)
{
    for (int contact : m_pendingTapLifts)
        target.TouchUp(contact);
    m_pendingTapLifts.clear();
}

void ScriptPlayer::MoveSlides(double t, Target& target)
{
    for (int id = 1; id <= PerformanceScript::c_iMaxContact; ++id)
    {
        Contact& contact = m_contacts[id];
        if (!contact.bSliding)
            continue;
        const double elapsed = t - contact.rStart;
        double fraction = contact.rDuration > 0.0 ? elapsed / contact.rDuration : 1.0;
        // Arrived: at the end, up to rounding, or within half a sample of it.
        if (fraction >= 1.0 - c_rTimeSlack || elapsed >= contact.rDuration - c_rHalfSample)
            fraction = 1.0;
        if (fraction <= 0.0)
            continue; // the slide starts now: its first step is the next one
        const float f = static_cast<float>(fraction);
        contact.rX =
            fraction >= 1.0 ? contact.rToX : contact.rFromX + (contact.rToX - contact.rFromX) * f;
        contact.rY =
            fraction >= 1.0 ? contact.rToY : contact.rFromY + (contact.rToY - contact.rFromY) * f;
        target.TouchMove(id, contact.rX, contact.rY);
        if (fraction >= 1.0)
            contact.bSliding = false;
    }
}

bool ScriptPlayer::IsSliding() const
{
    for (const Contact& contact : m_contacts)
        if (contact.bSliding)
            return true;
    return false;
}

int64_t ScriptPlayer::GetNextSlideEndSample(int64_t sample) const
{
    int64_t next = c_iNever;
    for (const Contact& contact : m_contacts)
    {
        if (!contact.bSliding)
            continue;
        const int64_t end = SampleOf(contact.rStart + contact.rDuration);
        if (end > sample && end < next)
            next = end;
    }
    return next;
}

void ScriptPlayer::TakeShots(Target& target)
{
    for (const std::string& path : m_dueShots)
        target.Shot(path);
    m_dueShots.clear();
}

bool ScriptPlayer::IsFinished() const
{
    return m_iNext >= m_events.size() && m_pendingTapLifts.empty() && !IsSliding();
}
