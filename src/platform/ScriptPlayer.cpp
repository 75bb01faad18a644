#include "platform/ScriptPlayer.h"

namespace
{
// Frame times are k * 0.05 in double: allow for the last bit of rounding.
constexpr double c_rTimeSlack = 1e-9;
} // namespace

ScriptPlayer::ScriptPlayer(const PerformanceScript& script) : m_events(script.GetEvents()) {}

void ScriptPlayer::PlayTouches(double t, Target& target)
{
    m_dueShots.clear();
    for (int contact : m_pendingTapLifts)
        target.TouchUp(contact);
    m_pendingTapLifts.clear();

    while (m_iNext < m_events.size() && m_events[m_iNext].rTime <= t + c_rTimeSlack)
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
        case ScriptEvent::Kind::End:
            break;
        }
    }

    for (int id = 1; id <= PerformanceScript::c_iMaxContact; ++id)
    {
        Contact& contact = m_contacts[id];
        if (!contact.bSliding)
            continue;
        const double elapsed = t - contact.rStart;
        double fraction = contact.rDuration > 0.0 ? elapsed / contact.rDuration : 1.0;
        if (fraction >= 1.0 - c_rTimeSlack)
            fraction = 1.0;
        if (fraction <= 0.0)
            continue; // the slide starts at this frame: its first step is the next one
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

void ScriptPlayer::TakeShots(Target& target)
{
    for (const std::string& path : m_dueShots)
        target.Shot(path);
    m_dueShots.clear();
}

bool ScriptPlayer::IsFinished() const
{
    if (m_iNext < m_events.size() || !m_pendingTapLifts.empty())
        return false;
    for (const Contact& contact : m_contacts)
        if (contact.bSliding)
            return false;
    return true;
}
