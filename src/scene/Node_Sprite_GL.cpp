#include "scene/Node_Sprite_GL.h"

#include "render/Renderer.h"
#include "scene/ModelVertexArrays.h"

#include <GLES/gl.h>

#include <cmath>

Node_Sprite_GL::Node_Sprite_GL()
{
    for (ModelVertex& vertex : m_vertices)
    {
        vertex.normal.Set(0.0f, 0.0f, -1.0f);
        vertex.SetColour(m_iColour);
    }
}

void Node_Sprite_GL::UpdateGeometry()
{
    m_bGeometryDirty = false;
    const float s = m_rScale;
    const float px = m_vPosition.x;
    const float py = m_vPosition.y;
    const float ox = m_vOffset.x;
    const float oy = m_vOffset.y;
    const float w = m_vSize.x;
    const float h = m_vSize.y;

    float x[4];
    float y[4];
    if (m_rRotation == 0.0f)
    {
        const float x0 = px - s * ox;
        const float y0 = py - s * oy;
        const float x1 = x0 + s * w;
        const float y1 = y0 + s * h;
        x[0] = x0, y[0] = y0;
        x[1] = x1, y[1] = y0;
        x[2] = x0, y[2] = y1;
        x[3] = x1, y[3] = y1;
    }
    else
    {
        // Axes of the turned rectangle; with y downwards a positive angle turns
        // it counter-clockwise on the screen.
        const float ux = std::cos(m_rRotation);
        const float uy = -std::sin(m_rRotation);
        const float vx = -uy;
        const float vy = ux;
        x[0] = px - s * ox * ux - s * oy * vx;
        y[0] = py - s * ox * uy - s * oy * vy;
        x[1] = x[0] + s * w * ux;
        y[1] = y[0] + s * w * uy;
        x[2] = x[0] + s * h * vx;
        y[2] = y[0] + s * h * vy;
        x[3] = x[2] + s * w * ux;
        y[3] = y[2] + s * w * uy;
    }

    const float u[4] = {m_vUVMin.x, m_vUVMax.x, m_vUVMin.x, m_vUVMax.x};
    const float v[4] = {m_vUVMin.y, m_vUVMin.y, m_vUVMax.y, m_vUVMax.y};
    for (int i = 0; i < 4; ++i)
    {
        m_vertices[i].position.Set(x[i], y[i], m_vPosition.z);
        m_vertices[i].texCoord.Set(u[i], v[i]);
        m_vertices[i].SetColour(m_iColour);
    }
}

void Node_Sprite_GL::Render(Renderer& renderer)
{
    if (!m_bSpriteVisible || m_iColour == 0 || !m_pMaterial)
        return;
    if (m_bGeometryDirty)
        UpdateGeometry();
    renderer.SetMaterial(m_pMaterial);
    SetModelVertexArrays(m_vertices);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_BYTE, c_iIndices);
    renderer.CheckError();
}
