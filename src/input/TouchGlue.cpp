#include "input/TouchGlue.h"

#include "input/TouchManager.h"
#include "render/Renderer.h"

#include <algorithm>

namespace
{
// Far beyond any screen and well inside an int: a wild coordinate (a script's
// 1e30, a driver's NaN) still converts to a defined point.
constexpr float c_rMaxPoint = 1e6f;

int ToPoint(float value)
{
    if (!(value == value))
        return 0;
    return static_cast<int>(std::clamp(value, -c_rMaxPoint, c_rMaxPoint));
}
} // namespace

TouchGlue::TouchGlue(float backingWidth, LandscapeQuery landscape)
    : m_rBackingWidth(backingWidth), m_pLandscape(landscape)
{
}

bool TouchGlue::IsLandscape() const
{
    if (m_pLandscape)
        return m_pLandscape();
    Renderer* renderer = Renderer::GetInstance();
    return renderer && renderer->GetLandscape();
}

void TouchGlue::RotateCoords(float& x, float& y) const
{
    if (!IsLandscape())
        return;
    const float rotatedX = y;
    const float rotatedY = m_rBackingWidth - x;
    x = rotatedX;
    y = rotatedY;
}

void TouchGlue::ToManager(const Contact& contact, int& x, int& y) const
{
    float rx = contact.x;
    float ry = contact.y;
    RotateCoords(rx, ry);
    x = ToPoint(rx);
    y = ToPoint(ry);
}

void TouchGlue::TouchesBegan(const Contact* touches, int count, const Contact* all,
                             int allCount) const
{
    TouchManager* manager = TouchManager::GetInstance();
    if (!manager)
        return;
    Reconcile(all, allCount);
    for (int i = 0; i < count; ++i)
    {
        int x, y;
        ToManager(touches[i], x, y);
        manager->TouchBegan(touches[i].identity, x, y);
    }
}

void TouchGlue::TouchesMoved(const Contact* touches, int count) const
{
    TouchManager* manager = TouchManager::GetInstance();
    if (!manager)
        return;
    for (int i = 0; i < count; ++i)
    {
        const int id = manager->FindTouchID(touches[i].identity);
        if (id < 0)
            continue;
        int x, y;
        ToManager(touches[i], x, y);
        manager->TouchMoved(id, x, y);
    }
}

void TouchGlue::TouchesEnded(const Contact* touches, int count, const Contact* all,
                             int allCount) const
{
    Finished(Finish::End, touches, count, all, allCount);
}

void TouchGlue::TouchesCanceled(const Contact* touches, int count, const Contact* all,
                                int allCount) const
{
    Finished(Finish::Cancel, touches, count, all, allCount);
}

void TouchGlue::Finished(Finish finish, const Contact* touches, int count, const Contact* all,
                         int allCount) const
{
    TouchManager* manager = TouchManager::GetInstance();
    if (!manager)
        return;
    for (int i = 0; i < count; ++i)
    {
        const int id = manager->FindTouchID(touches[i].identity);
        if (id < 0)
            continue;
        int x, y;
        ToManager(touches[i], x, y);
        if (finish == Finish::End)
            manager->TouchEnded(id, x, y);
        else
            manager->TouchCanceled(id, x, y);
    }
    Reconcile(all, allCount);
}

void TouchGlue::TouchRefused(float x, float y) const
{
    TouchManager* manager = TouchManager::GetInstance();
    if (!manager)
        return;
    int mx, my;
    ToManager({nullptr, x, y}, mx, my);
    manager->TouchRefused(mx, my);
}

void TouchGlue::VerifyTouches(const Contact* all, int allCount) const
{
    TouchManager* manager = TouchManager::GetInstance();
    if (!manager)
        return;
    for (int i = 0; i < allCount; ++i)
        manager->VerifyTouch(manager->FindTouchID(all[i].identity));
    manager->KillUnverifiedTouches();
}

void TouchGlue::Reconcile(const Contact* all, int allCount) const
{
    TouchManager* manager = TouchManager::GetInstance();
    if (!manager)
        return;
    if (allCount <= 1)
        manager->KillAllTouches();
    else
        VerifyTouches(all, allCount);
}
