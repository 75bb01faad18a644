// One glyph of a bitmap font: where it lies in the page texture, how it sits on
// the pen and how far it moves the pen, with the kerning pairs it starts.
#pragma once

#include <cstdint>
#include <vector>

struct FontKerningPair
{
    signed char second; // the character that follows
    signed char amount; // added to the pen advance, in points
};

class FontCharacter
{
  public:
    // The amount of the first pair (in file order) whose second character is
    // next, 0 when there is none.
    int GetKerning(char next) const;
    void AddKerning(signed char second, signed char amount);
    int GetKerningCount() const { return static_cast<int>(m_kerning.size()); }
    const FontKerningPair& GetKerningPair(int index) const { return m_kerning[index]; }

    uint16_t x = 0; // top-left corner in the page, in texels
    uint16_t y = 0;
    uint8_t width = 0; // size in texels and in points
    uint8_t height = 0;
    int8_t xoffset = 0; // from the pen to the glyph's top-left corner
    int8_t yoffset = 0;
    int8_t xadvance = 0; // pen advance after the glyph

  private:
    std::vector<FontKerningPair> m_kerning;
};
