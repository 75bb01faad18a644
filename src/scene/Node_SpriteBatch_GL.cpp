#include "scene/Node_SpriteBatch_GL.h"

#include "render/Renderer.h"
#include "scene/ModelVertexArrays.h"

#include <GLES/gl.h>

Node_SpriteBatch_GL::Node_SpriteBatch_GL(int count)
    : Node_SpriteBatch(count), m_vertices(static_cast<size_t>(count) * 4),
      m_iIndices(static_cast<size_t>(count) * 6)
{
    for (ModelVertex& vertex : m_vertices)
        vertex.normal.Set(0.0f, 0.0f, -1.0f);
    for (int i = 0; i < count; ++i)
    {
        const auto base = static_cast<uint16_t>(4 * i);
        const uint16_t quad[6] = {base,
                                  static_cast<uint16_t>(base + 2),
                                  static_cast<uint16_t>(base + 1),
                                  static_cast<uint16_t>(base + 1),
                                  static_cast<uint16_t>(base + 2),
                                  static_cast<uint16_t>(base + 3)};
        for (int k = 0; k < 6; ++k)
            m_iIndices[static_cast<size_t>(6 * i + k)] = quad[k];
    }
}

void Node_SpriteBatch_GL::UpdateGeometry()
{
    m_bDirty = false;
    m_iVisibleCount = 0;
    for (int i = 0; i < m_iCount; ++i)
    {
        SpriteInfo& sprite = m_sprites[static_cast<size_t>(i)];
        if (!sprite.visible)
            continue;
        if (sprite.dirty)
            sprite.UpdateVerts(m_vTextureSize.x, m_vTextureSize.y);
        ModelVertex* v = &m_vertices[static_cast<size_t>(4 * m_iVisibleCount)];
        ++m_iVisibleCount;
        const float u[4] = {sprite.uvMin.x, sprite.uvMax.x, sprite.uvMin.x, sprite.uvMax.x};
        const float t[4] = {sprite.uvMin.y, sprite.uvMin.y, sprite.uvMax.y, sprite.uvMax.y};
        for (int k = 0; k < 4; ++k)
        {
            v[k].position = sprite.corners[k];
            v[k].texCoord.Set(u[k], t[k]);
            v[k].SetColour(sprite.colour);
        }
    }
}

void Node_SpriteBatch_GL::Render(Renderer& renderer)
{
    if (!m_pMaterial)
        return;
    UpdateGeometry();
    renderer.SetMaterial(m_pMaterial);
    if (m_iVisibleCount > 0)
    {
        SetModelVertexArrays(m_vertices.data());
        glDrawElements(GL_TRIANGLES, 6 * m_iVisibleCount, GL_UNSIGNED_SHORT, m_iIndices.data());
    }
    renderer.CheckError();
}
