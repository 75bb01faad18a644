#include "scene/Node_2DQuad.h"

#include "render/Material.h"
#include "render/Renderer.h"
#include "scene/ModelVertexArrays.h"

#include <GLES/gl.h>

Node_2DQuad::Node_2DQuad(const Vector2f& min, const Vector2f& max, unsigned int colour)
{
    const float x[4] = {min.x, max.x, min.x, max.x};
    const float y[4] = {min.y, min.y, max.y, max.y};
    for (int i = 0; i < 4; ++i)
    {
        m_vertices[i].position.Set(x[i], y[i], 0.0f);
        m_vertices[i].normal.Set(0.0f, 0.0f, 1.0f);
        m_vertices[i].texCoord.Set(static_cast<float>(i % 2), static_cast<float>(i / 2));
        m_vertices[i].SetColour(colour);
    }
}

Node_2DQuad::~Node_2DQuad()
{
    if (m_pMaterial)
        m_pMaterial->Release();
}

void Node_2DQuad::SetMaterial(Material* material)
{
    if (material)
        material->AddRef();
    if (m_pMaterial)
        m_pMaterial->Release();
    m_pMaterial = material;
}

void Node_2DQuad::Render(Renderer& renderer)
{
    renderer.SetMaterial(m_pMaterial);
    SetModelVertexArrays(m_vertices);
    glDrawElements(GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_BYTE, c_iIndices);
    renderer.CheckError();
}
