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

void SetFramedBox(ModelVertex* vertices, float x0, float y0, float x1, float y1, float fillRight,
                  float border, uint32_t frame, uint32_t fill)
{
    const float b = border;
    SetFlatVertex(vertices[0], x0 - b, y0 - b, frame);
    SetFlatVertex(vertices[1], x0 - b, y1 + b, frame);
    SetFlatVertex(vertices[2], x1 + b, y0 - b, frame);
    SetFlatVertex(vertices[3], x1 + b, y1 + b, frame);
    SetFlatVertex(vertices[4], x0, y0, fill);
    SetFlatVertex(vertices[5], x0, y1, fill);
    SetFlatVertex(vertices[6], fillRight, y0, fill);
    SetFlatVertex(vertices[7], fillRight, y1, fill);
}
