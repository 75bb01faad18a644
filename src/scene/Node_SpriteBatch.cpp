#include "scene/Node_SpriteBatch.h"

#include "render/Material.h"
#include "render/Texture.h"
#include "scene/Node_SpriteBatch_GL.h"

#include <cmath>

void Node_SpriteBatch::SpriteInfo::UpdateVerts(float width, float height)
{
    dirty = false;
    const float w = (uvMax.x - uvMin.x) * width;
    const float h = (uvMax.y - uvMin.y) * height;
    const float x = position.x;
    const float y = position.y;
    if (rotation == 0.0f)
    {
        const float s = scale;
        const Vector2f p0 = s == 1.0f ? Vector2f(x - offset.x, y - offset.y)
                                      : Vector2f(x - s * offset.x, y - s * offset.y);
        const Vector2f p3 =
            s == 1.0f ? Vector2f(p0.x + w, p0.y + h) : Vector2f(p0.x + s * w, p0.y + s * h);
        corners[0].Set(p0.x, p0.y, position.z);
        corners[1].Set(p3.x, p0.y, position.z);
        corners[2].Set(p0.x, p3.y, position.z);
        corners[3].Set(p3.x, p3.y, position.z);
        return;
    }
    // Axis X = (cs, -sn), axis Y = (sn, cs): with y downwards a positive angle
    // turns the sprite counter-clockwise on the screen.
    const float cs = std::cos(rotation) * scale;
    const float sn = std::sin(rotation) * scale;
    const float x0 = x - (offset.y * sn + offset.x * cs);
    const float y0 = y - (offset.y * cs - offset.x * sn);
    corners[0].Set(x0, y0, position.z);
    corners[1].Set(x0 + w * cs, y0 - w * sn, position.z);
    corners[2].Set(x0 + h * sn, y0 + h * cs, position.z);
    corners[3].Set(corners[2].x + w * cs, corners[2].y - w * sn, position.z);
}

Node_SpriteBatch::Node_SpriteBatch(int count)
    : m_iCount(count), m_sprites(std::make_unique<SpriteInfo[]>(static_cast<size_t>(count)))
{
}

Node_SpriteBatch::~Node_SpriteBatch()
{
    if (m_pMaterial)
        m_pMaterial->Release();
}

Node_SpriteBatch* Node_SpriteBatch::Create(int count)
{
    if (count < 0 || count > c_iMaxSprites)
        return nullptr;
    return new Node_SpriteBatch_GL(count);
}

Node_SpriteBatch* Node_SpriteBatch::Create(int count, Material* material)
{
    if (!material)
        return nullptr;
    Node_SpriteBatch* batch = Create(count);
    if (batch)
        batch->SetMaterial(material);
    return batch;
}

void Node_SpriteBatch::SetMaterial(Material* material)
{
    if (material != m_pMaterial && m_pMaterial)
    {
        m_pMaterial->Release();
        m_pMaterial = nullptr;
    }
    const Texture* texture = material ? material->GetTexture(0) : nullptr;
    if (texture)
    {
        if (material != m_pMaterial)
        {
            material->AddRef();
            m_pMaterial = material;
        }
        m_vTextureSize.Set(texture->GetWidth(), texture->GetHeight());
    }
    else if (m_pMaterial)
    {
        m_pMaterial->Release(); // the same material, now without a texture
        m_pMaterial = nullptr;
    }
    m_bDirty = true;
}

Node_SpriteBatch::SpriteInfo* Node_SpriteBatch::Sprite(int index)
{
    return index >= 0 && index < m_iCount ? &m_sprites[static_cast<size_t>(index)] : nullptr;
}

const Node_SpriteBatch::SpriteInfo* Node_SpriteBatch::GetSprite(int index) const
{
    return index >= 0 && index < m_iCount ? &m_sprites[static_cast<size_t>(index)] : nullptr;
}

void Node_SpriteBatch::SetPosition(int index, float x, float y, bool snap, float rotation,
                                   float scale)
{
    SpriteInfo* sprite = Sprite(index);
    if (!sprite)
        return;
    if (snap)
    {
        x = std::trunc(x);
        y = std::trunc(y);
    }
    sprite->position.x = x;
    sprite->position.y = y;
    sprite->rotation = rotation;
    sprite->scale = scale;
    sprite->visible = true;
    sprite->dirty = true;
    m_bDirty = true;
}

void Node_SpriteBatch::SetUV(int index, const Vector2f& min, const Vector2f& max)
{
    SpriteInfo* sprite = Sprite(index);
    // Texels cannot be turned into texture coordinates without a texture size.
    if (!sprite || m_vTextureSize.x <= 0.0f || m_vTextureSize.y <= 0.0f)
        return;
    sprite->uvMin.Set(min.x / m_vTextureSize.x, min.y / m_vTextureSize.y);
    sprite->uvMax.Set(max.x / m_vTextureSize.x, max.y / m_vTextureSize.y);
    if (sprite->visible)
        sprite->dirty = true;
    m_bDirty = true;
}

void Node_SpriteBatch::SetOffset(int index, const Vector2f& offset, bool inPixels)
{
    SpriteInfo* sprite = Sprite(index);
    if (!sprite)
        return;
    if (inPixels)
        sprite->offset = offset;
    else
        sprite->offset.Set((sprite->uvMax.x - sprite->uvMin.x) * offset.x * m_vTextureSize.x,
                           (sprite->uvMax.y - sprite->uvMin.y) * offset.y * m_vTextureSize.y);
    m_bDirty = true;
}

void Node_SpriteBatch::SetColor(int index, unsigned int colour)
{
    SpriteInfo* sprite = Sprite(index);
    if (!sprite)
        return;
    sprite->colour = colour;
    sprite->dirty = true;
    m_bDirty = true;
}

void Node_SpriteBatch::SetInvisible(int index)
{
    SpriteInfo* sprite = Sprite(index);
    if (!sprite)
        return;
    sprite->visible = false;
    m_bDirty = true;
}

bool Node_SpriteBatch::GetVisible(int index) const
{
    const SpriteInfo* sprite = GetSprite(index);
    return sprite && sprite->visible;
}
