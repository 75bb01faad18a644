#include "render/Texture_GL.h"

#include <GLES/gl.h>

#include <utility>

Texture_GL::Texture_GL(unsigned int name, const char* path, unsigned short width,
                       unsigned short height, bool alpha, int artScale)
    : Texture(path, width, height, alpha, artScale), m_iName(name)
{
}

void Texture_GL::SwapImage(Texture_GL& other)
{
    Texture::SwapImage(other);
    std::swap(m_iName, other.m_iName);
}

Texture_GL::~Texture_GL()
{
    const GLuint name = m_iName;
    glDeleteTextures(1, &name);
}
