#include "core/Window.h"

namespace
{
Window::Factory s_factory = nullptr;
}

Window* Window::Create(int width, int height, bool fullscreen)
{
    return s_factory ? s_factory(width, height, fullscreen) : nullptr;
}

void Window::SetFactory(Factory factory)
{
    s_factory = factory;
}
