// A loaded image known by the path it was loaded from. The renderer's texture
// manager lists every live texture so that each file is loaded only once.
#pragma once

#include "core/RefCounted.h"

class Texture : public RefCounted
{
  public:
    // Registers itself with the renderer's texture manager. width and height are
    // the image's pixels; artScale is how many of them make a point (1, 2 or 4).
    Texture(const char* path, unsigned short width, unsigned short height, bool alpha,
            int artScale = 1);
    // Unlinks itself from the texture manager.
    ~Texture() override;

    // Byte-for-byte, case-sensitive comparison with the path it was loaded from.
    bool CompareFilename(const char* path) const;
    const char* GetFilename() const { return m_pFilename; }

    Texture* GetNext() const { return m_pNext; }
    void SetNext(Texture* next) { m_pNext = next; }
    // The size it is drawn at, in points: the 1x image's pixels whichever set was loaded.
    unsigned short GetWidth() const { return static_cast<unsigned short>(m_iWidth / m_iArtScale); }
    unsigned short GetHeight() const
    {
        return static_cast<unsigned short>(m_iHeight / m_iArtScale);
    }
    // The image's own pixels.
    unsigned short GetPixelWidth() const { return m_iWidth; }
    unsigned short GetPixelHeight() const { return m_iHeight; }
    int GetArtScale() const { return m_iArtScale; }
    bool HasAlpha() const { return m_bHasAlpha; }

  protected:
    // Exchanges pixel size, alpha and art set with another load of the same picture; the
    // path and the place in the texture list stay.
    void SwapImage(Texture& other);

  private:
    char* m_pFilename;
    Texture* m_pNext = nullptr;
    unsigned short m_iWidth;
    unsigned short m_iHeight;
    bool m_bHasAlpha;
    int m_iArtScale;
};
