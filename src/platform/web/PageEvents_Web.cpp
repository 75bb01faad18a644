#include "platform/web/PageEvents_Web.h"

#include "platform/web/TouchInput_Web.h"
#include "render/LandscapeFit.h"

#include <emscripten/html5.h>

#include <cstring>

namespace
{
constexpr const char* c_sCanvas = "#canvas";

EM_BOOL OnTouch(int type, const EmscriptenTouchEvent* event, void* user)
{
    auto* events = static_cast<PageEvents_Web*>(user);
    TouchInput_Web& input = events->GetInput();
    if (type == EMSCRIPTEN_EVENT_TOUCHSTART && events->GetActions().pointer)
        events->GetActions().pointer(false); // before the touch: a tap may show the hint
    for (int i = 0; i < event->numTouches; ++i)
    {
        const EmscriptenTouchPoint& touch = event->touches[i];
        if (!touch.isChanged)
            continue;
        float x, y;
        PageEvents_Web::CssToScene(touch.targetX, touch.targetY, x, y);
        switch (type)
        {
        case EMSCRIPTEN_EVENT_TOUCHSTART:
            input.Down(touch.identifier, 0, x, y);
            break;
        case EMSCRIPTEN_EVENT_TOUCHMOVE:
            input.Move(touch.identifier, 0, x, y);
            break;
        case EMSCRIPTEN_EVENT_TOUCHEND:
            input.Up(touch.identifier, 0, x, y);
            break;
        default:
            input.Cancel(touch.identifier, 0);
            break;
        }
    }
    // A touch's end counts as the gesture that lets sound start.
    if (type == EMSCRIPTEN_EVENT_TOUCHEND && events->GetActions().firstGesture)
        events->GetActions().firstGesture();
    return EM_TRUE; // no scrolling, zooming or made-up mouse events
}

EM_BOOL OnMouse(int type, const EmscriptenMouseEvent* event, void* user)
{
    auto* events = static_cast<PageEvents_Web*>(user);
    if (event->button != 0 && type != EMSCRIPTEN_EVENT_MOUSEMOVE)
        return EM_FALSE;
    float x, y;
    PageEvents_Web::CssToScene(event->targetX, event->targetY, x, y);
    TouchInput_Web& input = events->GetInput();
    if (type == EMSCRIPTEN_EVENT_MOUSEDOWN)
    {
        events->m_bMouseDown = true;
        if (events->GetActions().pointer)
            events->GetActions().pointer(true);
        input.Down(TouchInput_Web::c_iMouse, 0, x, y);
    }
    else if (type == EMSCRIPTEN_EVENT_MOUSEMOVE && events->m_bMouseDown)
        input.Move(TouchInput_Web::c_iMouse, 0, x, y);
    else if (type == EMSCRIPTEN_EVENT_MOUSEUP && events->m_bMouseDown)
    {
        events->m_bMouseDown = false;
        input.Up(TouchInput_Web::c_iMouse, 0, x, y);
        if (events->GetActions().firstGesture)
            events->GetActions().firstGesture();
    }
    return EM_TRUE;
}

EM_BOOL OnKey(int, const EmscriptenKeyboardEvent* event, void* user)
{
    auto* events = static_cast<PageEvents_Web*>(user);
    const PageEvents_Web::Actions& actions = events->GetActions();
    if (std::strcmp(event->key, "Tab") == 0)
    {
        if (actions.togglePanel)
            actions.togglePanel();
        return EM_TRUE;
    }
    if (std::strcmp(event->key, "Escape") == 0 || std::strcmp(event->key, " ") == 0)
    {
        events->GetInput().LiftAll();
        events->m_bMouseDown = false;
        return EM_TRUE;
    }
    if (event->ctrlKey && (std::strcmp(event->key, "s") == 0 || std::strcmp(event->key, "S") == 0))
    {
        if (actions.saveSettings)
            actions.saveSettings();
        return EM_TRUE; // not the browser's "save page"
    }
    return EM_FALSE;
}

// Sends the canvas's touches and the page's mouse and keys to `events`, or
// (null) to nobody.
void Listen(PageEvents_Web* events)
{
    const em_touch_callback_func touch = events ? OnTouch : nullptr;
    const em_mouse_callback_func mouse = events ? OnMouse : nullptr;
    const em_key_callback_func key = events ? OnKey : nullptr;
    emscripten_set_touchstart_callback(c_sCanvas, events, EM_FALSE, touch);
    emscripten_set_touchmove_callback(c_sCanvas, events, EM_FALSE, touch);
    emscripten_set_touchend_callback(c_sCanvas, events, EM_FALSE, touch);
    emscripten_set_touchcancel_callback(c_sCanvas, events, EM_FALSE, touch);
    emscripten_set_mousedown_callback(c_sCanvas, events, EM_FALSE, mouse);
    emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, events, EM_FALSE, mouse);
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, events, EM_FALSE, mouse);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, events, EM_FALSE, key);
}
} // namespace

PageEvents_Web::PageEvents_Web(TouchInput_Web& input, Actions actions)
    : m_input(input), m_actions(std::move(actions))
{
    Listen(this);
}

PageEvents_Web::~PageEvents_Web()
{
    Listen(nullptr);
}

void PageEvents_Web::CssToScene(double cssX, double cssY, float& x, float& y)
{
    double cssWidth = 0.0, cssHeight = 0.0;
    int canvasWidth = 0, canvasHeight = 0;
    emscripten_get_element_css_size(c_sCanvas, &cssWidth, &cssHeight);
    emscripten_get_canvas_element_size(c_sCanvas, &canvasWidth, &canvasHeight);
    int left, top, width, height;
    LandscapeFit::Fit(canvasWidth, canvasHeight, left, top, width, height);
    if (cssWidth <= 0.0 || cssHeight <= 0.0 || width <= 0 || height <= 0)
    {
        x = y = -1.0f;
        return;
    }
    // CSS pixels to canvas pixels (the device pixel ratio), then into the picture.
    const double px = cssX * canvasWidth / cssWidth;
    const double py = cssY * canvasHeight / cssHeight;
    x = static_cast<float>((px - left) * 480.0 / width);
    y = static_cast<float>((py - top) * 320.0 / height);
}
