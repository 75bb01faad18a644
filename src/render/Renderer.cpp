#include "render/Renderer.h"

#include "core/Window.h"
#include "render/TextureManager.h"

Renderer* Renderer::s_instance = nullptr;

namespace
{
Renderer::Factory s_factory = nullptr;
}

Renderer* Renderer::Create(Window* window)
{
    return s_factory ? s_factory(window) : nullptr;
}

void Renderer::SetFactory(Factory factory)
{
    s_factory = factory;
}

Renderer::Renderer(Window* window) : m_pWindow(window)
{
    if (!s_instance)
        s_instance = this;
}

Renderer::~Renderer()
{
    if (s_instance == this)
        s_instance = nullptr;
    // The constructing (main) thread has held the mutex since construction;
    // a mutex must not be destroyed while locked.
    m_semaphore.Unlock();
}

void Renderer::LockSemaphore()
{
    if (IsMainThread())
        return;
    ++m_iWaitingThreads;
    m_semaphore.Lock();
    --m_iWaitingThreads;
}

void Renderer::UnlockSemaphore()
{
    if (IsMainThread())
        return;
    m_semaphore.Unlock();
}

void Renderer::CheckThread()
{
    // Each unlock lets one waiting thread take the mutex; locking again waits
    // until that thread has finished and let go.
    while (m_iWaitingThreads.load() != 0)
    {
        m_semaphore.Unlock();
        m_semaphore.Lock();
    }
}

int Renderer::ArtScaleFor(float pixelScale)
{
    if (pixelScale <= 1.0f)
        return 1;
    return pixelScale <= 2.0f ? 2 : 4;
}

void Renderer::FollowArtScale()
{
    const int artScale = GetArtScale();
    if (artScale == m_iFollowedArtScale)
        return;
    m_iFollowedArtScale = artScale;
    if (m_pTextureManager)
        m_pTextureManager->FollowArtScale(artScale);
}

Texture* Renderer::LoadTexture(const char* path)
{
    return m_pTextureManager ? m_pTextureManager->LoadTexture(path) : nullptr;
}

Vector2f Renderer::GetScreenSize(bool rotated)
{
    const float width = m_pWindow ? static_cast<float>(m_pWindow->GetWidth()) : 0.0f;
    const float height = m_pWindow ? static_cast<float>(m_pWindow->GetHeight()) : 0.0f;
    if (rotated && GetLandscape())
        return Vector2f(height, width);
    return Vector2f(width, height);
}
