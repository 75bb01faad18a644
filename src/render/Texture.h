// A loaded image known by the path it was loaded from. The renderer's texture
// manager lists every live texture so that each file is loaded only once.
#pragma once

#include "core/RefCounted.h"

class Texture : public RefCounted
{
  public:
    // Registers itself with the renderer's texture manager.
    Texture(const char* path, unsigned short width, unsigned short height, bool alpha);
    // Unlinks itself from the texture manager.
    ~Texture() override;

    // Byte-for-byte, case-sensitive comparison with the path it was loaded from.
    bool CompareFilename(const char* path) const;
    const char* GetFilename() const { return m_pFilename; }

    Texture* GetNext() const { return m_pNext; }
    void SetNext(Texture* next) { m_pNext = next; }
    unsigned short GetWidth() const { return m_iWidth; }
    unsigned short GetHeight() const { return m_iHeight; }
    bool HasAlpha() const { return m_bHasAlpha; }

  private:
    char* m_pFilename;
    Texture* m_pNext = nullptr;
    unsigned short m_iWidth;
    unsigned short m_iHeight;
    bool m_bHasAlpha;
};
