#include "render/Texture.h"

#include "render/Renderer.h"
#include "render/TextureManager.h"

#include <cstring>
#include <utility>

namespace
{
TextureManager* CurrentManager()
{
    Renderer* renderer = Renderer::GetInstance();
    return renderer ? renderer->GetTextureManager() : nullptr;
}
} // namespace

Texture::Texture(const char* path, unsigned short width, unsigned short height, bool alpha,
                 int artScale)
    : m_iWidth(width), m_iHeight(height), m_bHasAlpha(alpha),
      m_iArtScale(artScale > 0 ? artScale : 1)
{
    const char* name = path ? path : "";
    const size_t length = std::strlen(name);
    m_pFilename = new char[length + 1];
    std::memcpy(m_pFilename, name, length + 1);
    if (TextureManager* manager = CurrentManager())
        manager->AddTexture(this);
}

Texture::~Texture()
{
    if (TextureManager* manager = CurrentManager())
        manager->RemoveTexture(this);
    delete[] m_pFilename;
}

void Texture::SwapImage(Texture& other)
{
    std::swap(m_iWidth, other.m_iWidth);
    std::swap(m_iHeight, other.m_iHeight);
    std::swap(m_bHasAlpha, other.m_bHasAlpha);
    std::swap(m_iArtScale, other.m_iArtScale);
}

bool Texture::CompareFilename(const char* path) const
{
    return path && std::strcmp(path, m_pFilename) == 0;
}
