#include "scene/Node_Sprite.h"

#include "render/Material.h"
#include "render/Texture.h"
#include "scene/Node_Sprite_GL.h"

#include <cmath>

Node_Sprite::~Node_Sprite()
{
    if (m_pMaterial)
        m_pMaterial->Release();
}

Node_Sprite* Node_Sprite::Create()
{
    return new Node_Sprite_GL();
}

Node_Sprite* Node_Sprite::Create(const char* path)
{
    Material* material = Material::Create(path);
    if (!material->GetTexture(0))
    {
        material->Release();
        return nullptr;
    }
    material->SetZTest(false);
    material->SetZWrite(false);
    Node_Sprite* sprite = Create();
    if (sprite)
        sprite->SetImage(material);
    material->Release();
    return sprite;
}

void Node_Sprite::SetImage(Material* m)
{
    const Texture* texture = m ? m->GetTexture(0) : nullptr;
    if (!texture)
        return;
    SetImage(m, Vector2f(0.0f, 0.0f), Vector2f(1.0f, 1.0f),
             Vector2f(texture->GetWidth() * 0.5f, texture->GetHeight() * 0.5f));
}

void Node_Sprite::SetImage(Material* m, const Vector2f& uvMin, const Vector2f& uvMax,
                           const Vector2f& offset)
{
    if (m != m_pMaterial && m_pMaterial)
    {
        m_pMaterial->Release();
        m_pMaterial = nullptr;
    }
    const Texture* texture = m ? m->GetTexture(0) : nullptr;
    if (texture)
    {
        if (m != m_pMaterial)
        {
            m->AddRef();
            m_pMaterial = m;
        }
        m_vSize.Set(texture->GetWidth(), texture->GetHeight());
    }
    else if (m_pMaterial)
    {
        m_pMaterial->Release(); // the current material, now without a texture
        m_pMaterial = nullptr;
    }
    m_vUVMin = uvMin;
    m_vUVMax = uvMax;
    m_vOffset = offset;
    m_bGeometryDirty = true;
}

void Node_Sprite::SetOffset(float x, float y, bool absolute)
{
    if (absolute)
        m_vOffset.Set(x, y);
    else
        m_vOffset.Set(x * m_vSize.x, y * m_vSize.y);
}

void Node_Sprite::SetPosition(float x, float y, bool wholePoints, float rotation, float scale)
{
    if (wholePoints)
    {
        x = std::trunc(x);
        y = std::trunc(y);
    }
    m_vPosition.x = x;
    m_vPosition.y = y;
    m_rRotation = rotation;
    m_rScale = scale;
    m_bSpriteVisible = true;
    m_bGeometryDirty = true;
}

void Node_Sprite::SetColor(unsigned int colour)
{
    m_iColour = colour;
    m_bGeometryDirty = true;
}
