#include "scene/ModelVertexArrays.h"

#include <GLES/gl.h>

#include <cstddef>

void SetModelVertexArrays(const ModelVertex* vertices)
{
    const auto* base = reinterpret_cast<const uint8_t*>(vertices);
    constexpr GLsizei stride = sizeof(ModelVertex);
    glVertexPointer(3, GL_FLOAT, stride, base + offsetof(ModelVertex, position));
    glNormalPointer(GL_FLOAT, stride, base + offsetof(ModelVertex, normal));
    glTexCoordPointer(2, GL_FLOAT, stride, base + offsetof(ModelVertex, texCoord));
    glColorPointer(4, GL_UNSIGNED_BYTE, stride, base + offsetof(ModelVertex, colour));
}

void SetFlatVertex(ModelVertex& vertex, float x, float y, uint32_t colour)
{
    vertex.position.Set(x, y, 0.0f);
    vertex.normal.Set(0.0f, 0.0f, 1.0f);
    vertex.texCoord.Set(0.0f, 0.0f);
    vertex.SetColour(colour);
}
