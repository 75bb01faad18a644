// A texture held by GL under its texture name.
#pragma once

#include "render/Texture.h"

class Texture_GL : public Texture
{
  public:
    Texture_GL(unsigned int name, const char* path, unsigned short width, unsigned short height,
               bool alpha, int artScale = 1);
    // Deletes the GL texture; the GL context must be current.
    ~Texture_GL() override;

    unsigned int GetTexture() const { return m_iName; }
    // Takes over another load's GL image (the same picture from another art set), so that
    // materials and sprites holding this texture draw the new image; the other texture
    // keeps the old image and deletes it when released.
    void SwapImage(Texture_GL& other);

  private:
    unsigned int m_iName;
};
