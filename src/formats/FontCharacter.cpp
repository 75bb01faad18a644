#include "formats/FontCharacter.h"

int FontCharacter::GetKerning(char next) const
{
    const auto wanted = static_cast<signed char>(next);
    for (const FontKerningPair& pair : m_kerning)
    {
        if (pair.second == wanted)
            return pair.amount;
    }
    return 0;
}

void FontCharacter::AddKerning(signed char second, signed char amount)
{
    m_kerning.push_back({second, amount});
}
