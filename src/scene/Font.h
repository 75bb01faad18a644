// A bitmap font: a binary BMFont descriptor and its page texture, loaded once
// per path and shared by reference count among every text that uses it.
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

    // The glyph of codes 0 to 255, null where the font has none and above.
    FontCharacter* GetCharacter(unsigned short code);
    int GetSpaceWidth() const { return m_iSpaceWidth; }
    int GetHeight() const { return m_iHeight; }
    Texture* GetTexture() const { return m_pTexture; }
    // The path it was loaded from; null until a load has succeeded.
    const char* GetName() const { return m_bLoaded ? m_sName.c_str() : nullptr; }

    // The page path: the descriptor's path with its file name replaced.
    static std::string PagePath(const char* descriptorPath, const std::string& pageName);

    // Every live font, in creation order.
    static std::list<Font*> m_FontList;

  private:
    void Clear();

    std::string m_sName;
    bool m_bLoaded = false;
    int m_iHeight = 0;
    int m_iSpaceWidth = 0;
    std::vector<FontCharacter> m_glyphs;
    std::array<FontCharacter*, 256> m_pGlyphTable{};
    Texture* m_pTexture = nullptr;
};
