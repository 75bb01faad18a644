// Lines wider than a pixel for emscripten's GL ES 1 emulation: WebGL draws
// every line one pixel wide whatever glLineWidth asks, so at two or more pixels
// a point the note grid's one-point lines would come out thin. A GL_LINES draw
// with a width above one is drawn here as two triangles a line instead, as wide
// as the width asks, from the client arrays the renderer set.
#include "render/Renderer.h"

#include <GLES/gl.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C"
{
    void emscripten_glLineWidth(GLfloat width);
    void emscripten_glDrawArrays(GLenum mode, GLint first, GLsizei count);
    void emscripten_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
    void emscripten_glNormalPointer(GLenum type, GLsizei stride, const void* pointer);
    void emscripten_glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
    void emscripten_glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
}

namespace
{
struct ClientArray
{
    GLint size = 0;
    GLenum type = GL_FLOAT;
    GLsizei stride = 0;
    const uint8_t* pointer = nullptr;

    size_t ElementBytes() const
    {
        const size_t component = type == GL_UNSIGNED_BYTE || type == GL_BYTE     ? 1
                                 : type == GL_SHORT || type == GL_UNSIGNED_SHORT ? 2
                                                                                 : 4;
        return component * static_cast<size_t>(size);
    }
    const uint8_t* At(GLint index) const
    {
        const size_t step = stride ? static_cast<size_t>(stride) : ElementBytes();
        return pointer + step * static_cast<size_t>(index);
    }
};

enum Array
{
    c_iVertex,
    c_iNormal,
    c_iTexCoord,
    c_iColour,
    c_iArrays
};

ClientArray g_arrays[c_iArrays];
GLfloat g_rLineWidth = 1.0f;

void Point(Array array, const ClientArray& a)
{
    switch (array)
    {
    case c_iVertex:
        emscripten_glVertexPointer(a.size, a.type, a.stride, a.pointer);
        break;
    case c_iNormal:
        emscripten_glNormalPointer(a.type, a.stride, a.pointer);
        break;
    case c_iTexCoord:
        emscripten_glTexCoordPointer(a.size, a.type, a.stride, a.pointer);
        break;
    default:
        emscripten_glColorPointer(a.size, a.type, a.stride, a.pointer);
        break;
    }
}

void DrawWideLines(GLint first, GLsizei count)
{
    const ClientArray& vertices = g_arrays[c_iVertex];
    const Renderer* renderer = Renderer::GetInstance();
    const float scale = renderer ? renderer->GetPixelScale() : 1.0f;
    // Half the width in the model's units, which are screen points for the
    // flat scene nodes that draw lines.
    const float half = g_rLineWidth / (2.0f * scale);
    // A line centred on a pixel's edge covers the pixels on the far side in
    // GL, where the quad's edge would fall on pixel centres and leave the tie
    // to the rasteriser: a hair of a pixel towards the far side settles it.
    const float nudge = (1.0f / 64.0f) / scale;
    size_t offsets[c_iArrays];
    size_t stride = 0;
    for (int i = 0; i < c_iArrays; ++i)
    {
        offsets[i] = stride;
        stride += (g_arrays[i].pointer ? g_arrays[i].ElementBytes() : 0);
        stride = (stride + 3) & ~size_t(3);
    }
    static std::vector<uint8_t> out;
    const GLsizei lines = count / 2;
    out.assign(static_cast<size_t>(lines) * 6 * stride, 0);
    uint8_t* at = out.data();
    for (GLsizei line = 0; line < lines; ++line)
    {
        const GLint a = first + 2 * line;
        const GLint b = a + 1;
        float pa[3] = {0, 0, 0}, pb[3] = {0, 0, 0};
        std::memcpy(pa, vertices.At(a), sizeof(float) * static_cast<size_t>(vertices.size));
        std::memcpy(pb, vertices.At(b), sizeof(float) * static_cast<size_t>(vertices.size));
        const float dx = pb[0] - pa[0], dy = pb[1] - pa[1];
        const float length = std::sqrt(dx * dx + dy * dy);
        const float nx = length > 0.0f ? -dy / length * half : 0.0f;
        const float ny = length > 0.0f ? dx / length * half : 0.0f;
        // Two triangles: (a-, a+, b+) and (a-, b+, b-).
        const GLint ends[6] = {a, a, b, a, b, b};
        const float sides[6] = {-1.0f, 1.0f, 1.0f, -1.0f, 1.0f, -1.0f};
        for (int k = 0; k < 6; ++k, at += stride)
        {
            for (int i = 0; i < c_iArrays; ++i)
                if (g_arrays[i].pointer)
                    std::memcpy(at + offsets[i], g_arrays[i].At(ends[k]),
                                g_arrays[i].ElementBytes());
            const float* p = ends[k] == a ? pa : pb;
            const float moved[3] = {p[0] + sides[k] * nx - nudge, p[1] + sides[k] * ny - nudge,
                                    p[2]};
            std::memcpy(at + offsets[c_iVertex], moved,
                        sizeof(float) * static_cast<size_t>(vertices.size));
        }
    }
    for (int i = 0; i < c_iArrays; ++i)
        if (g_arrays[i].pointer)
        {
            ClientArray packed = g_arrays[i];
            packed.stride = static_cast<GLsizei>(stride);
            packed.pointer = out.data() + offsets[i];
            Point(static_cast<Array>(i), packed);
        }
    emscripten_glDrawArrays(GL_TRIANGLES, 0, lines * 6);
    for (int i = 0; i < c_iArrays; ++i)
        if (g_arrays[i].pointer)
            Point(static_cast<Array>(i), g_arrays[i]);
}
} // namespace

extern "C"
{
    void glLineWidth(GLfloat width)
    {
        g_rLineWidth = width;
        emscripten_glLineWidth(width);
    }

    void glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
    {
        g_arrays[c_iVertex] = {size, type, stride, static_cast<const uint8_t*>(pointer)};
        emscripten_glVertexPointer(size, type, stride, pointer);
    }

    void glNormalPointer(GLenum type, GLsizei stride, const void* pointer)
    {
        g_arrays[c_iNormal] = {3, type, stride, static_cast<const uint8_t*>(pointer)};
        emscripten_glNormalPointer(type, stride, pointer);
    }

    void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
    {
        g_arrays[c_iTexCoord] = {size, type, stride, static_cast<const uint8_t*>(pointer)};
        emscripten_glTexCoordPointer(size, type, stride, pointer);
    }

    void glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer)
    {
        g_arrays[c_iColour] = {size, type, stride, static_cast<const uint8_t*>(pointer)};
        emscripten_glColorPointer(size, type, stride, pointer);
    }

    void glDrawArrays(GLenum mode, GLint first, GLsizei count)
    {
        const ClientArray& vertices = g_arrays[c_iVertex];
        if (mode == GL_LINES && g_rLineWidth > 1.0f && count >= 2 && vertices.pointer &&
            vertices.type == GL_FLOAT && vertices.size >= 2 && vertices.size <= 3)
            DrawWideLines(first, count);
        else
            emscripten_glDrawArrays(mode, first, count);
    }
}
