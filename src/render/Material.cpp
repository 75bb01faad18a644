#include "render/Material.h"

#include "render/Renderer.h"
#include "render/Texture.h"

Material::~Material()
{
    if (m_pTexture)
        m_pTexture->Release();
}

Material* Material::Create()
{
    return new Material();
}

Material* Material::Create(const char* path)
{
    Material* material = new Material();
    material->SetTexture(0, path);
    if (material->m_pTexture && material->m_pTexture->HasAlpha())
        material->m_iBlendMode = c_iBlendPremultiplied;
    return material;
}

void Material::SetTexture(int slot, const char* path)
{
    Renderer* renderer = Renderer::GetInstance();
    Texture* texture = renderer ? renderer->LoadTexture(path) : nullptr;
    if (!texture)
        return;
    if (slot != 0)
    {
        texture->Release();
        return;
    }
    if (m_pTexture)
        m_pTexture->Release();
    m_pTexture = texture;
}

void Material::SetTexture(int slot, Texture* texture)
{
    if (slot != 0)
        return;
    if (texture)
        texture->AddRef();
    if (m_pTexture)
        m_pTexture->Release();
    m_pTexture = texture;
}
