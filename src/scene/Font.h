// A bitmap font: a binary BMFont descriptor and its page texture, loaded once
// per path and shared by reference count among every text that uses it. Above
// 1x the renderer's art set is taken where it exists: "oldsans18.fnt" at 2x
// reads "oldsans18@2x.fnt", a font rasterised at twice the size whose metrics
// are divided by 2 to lay text out in points.
#pragma once

#include "core/RefCounted.h"
#include "formats/FontCharacter.h"

#include <array>
#include <list>
#include <string>
#include <vector>

class Texture;

class Font : public RefCounted
{
  public:
    // Larger files are not taken for font descriptors.
    static constexpr unsigned int c_iMaxDescriptorBytes = 16u << 20;

    Font();
    ~Font() override;

    // A new reference to the live font loaded from exactly this path, or a newly
    // loaded one; null (silently) when the descriptor or its page cannot be loaded.
    static Font* Load(const char* path);
    // Reads the descriptor and loads its first page next to it. On failure the
    // font keeps nothing.
    bool DoLoad(const char* path);

    // Main thread: when the renderer's art scale has changed since the font was loaded, the
    // font is read again from the set now nearest (descriptor and page); on failure it keeps
    // what it has. GetGeneration() counts the loads, so texts know to lay out again.
    void FollowArtScale();
    int GetGeneration() const { return m_iGeneration; }

    // The glyph of codes 0 to 255, null where the font has none and above.
    FontCharacter* GetCharacter(unsigned short code);
    // In the descriptor's pixels, GetScale() of them to a point.
    int GetSpaceWidth() const { return m_iSpaceWidth; }
    // The line height in points.
    int GetHeight() const { return m_iHeight / m_iScale; }
    int GetScale() const { return m_iScale; }
    Texture* GetTexture() const { return m_pTexture; }
    // The path it was loaded from; null until a load has succeeded.
    const char* GetName() const { return m_bLoaded ? m_sName.c_str() : nullptr; }

    // The page path: the descriptor's path with its file name replaced.
    static std::string PagePath(const char* descriptorPath, const std::string& pageName);
    // The descriptor of an art set: ("fonts/a.fnt", 2) gives "fonts/a@2x.fnt".
    static std::string ScaledPath(const char* descriptorPath, int artScale);

    // Every live font, in creation order.
    static std::list<Font*> m_FontList;

  private:
    void Clear();
    // Exchanges everything loaded with another font of the same name.
    void SwapLoaded(Font& other);
    // Reads one descriptor and its page; false leaves the font empty.
    bool LoadFrom(const std::string& descriptorPath, int scale);

    std::string m_sName;
    bool m_bLoaded = false;
    int m_iHeight = 0;
    int m_iScale = 1;         // descriptor pixels per point
    int m_iArtScaleAsked = 1; // the renderer's art scale when it was loaded
    int m_iGeneration = 0;
    int m_iSpaceWidth = 0;
    std::vector<FontCharacter> m_glyphs;
    std::array<FontCharacter*, 256> m_pGlyphTable{};
    Texture* m_pTexture = nullptr;
};
