#include "render/TextureManager.h"

#include "render/Texture.h"

Texture* TextureManager::LoadTexture(const char* path)
{
    if (!path)
        return nullptr;
    for (Texture* texture = m_pHead; texture; texture = texture->GetNext())
    {
        if (texture->CompareFilename(path))
        {
            texture->AddRef();
            return texture;
        }
    }
    return LoadTextureFromFile(path);
}

void TextureManager::AddTexture(Texture* texture)
{
    texture->SetNext(m_pHead);
    m_pHead = texture;
}

void TextureManager::RemoveTexture(Texture* texture)
{
    Texture* previous = nullptr;
    for (Texture* current = m_pHead; current; current = current->GetNext())
    {
        if (current != texture)
        {
            previous = current;
            continue;
        }
        if (previous)
            previous->SetNext(current->GetNext());
        else
            m_pHead = current->GetNext();
        current->SetNext(nullptr);
        return;
    }
}

int TextureManager::GetTextureCount() const
{
    int count = 0;
    for (Texture* texture = m_pHead; texture; texture = texture->GetNext())
        ++count;
    return count;
}
