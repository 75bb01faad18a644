// glDrawElements for emscripten's GL ES 1 emulation, which reads client-side
// indices only as 16-bit: the scene's 8-bit index lists are widened here first
// (a wrong reading draws nothing and copies far more vertex data than exists).
#include <GLES/gl.h>

#include <cstdint>
#include <vector>

extern "C" void emscripten_glDrawElements(GLenum mode, GLsizei count, GLenum type,
                                          const void* indices);

extern "C" void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices)
{
    if (type != GL_UNSIGNED_BYTE || !indices || count <= 0)
    {
        emscripten_glDrawElements(mode, count, type, indices);
        return;
    }
    static std::vector<uint16_t> wide;
    wide.resize(static_cast<size_t>(count));
    const auto* narrow = static_cast<const uint8_t*>(indices);
    for (GLsizei i = 0; i < count; ++i)
        wide[static_cast<size_t>(i)] = narrow[i];
    emscripten_glDrawElements(mode, count, GL_UNSIGNED_SHORT, wide.data());
}
