#include "core/Printable.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{
// Code points that print nothing visible or move the cursor: C0 and C1
// controls, zero-width and direction marks, the byte-order mark.
bool IsInvisible(uint32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

// The length of the valid UTF-8 sequence at text[i] and its code point; 0
// when the bytes there are not UTF-8.
size_t Decode(std::string_view text, size_t i, uint32_t& c)
{
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead < 0x80)
    {
        c = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0)
        length = 2, c = lead & 0x1F, minimum = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, c = lead & 0x0F, minimum = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, c = lead & 0x07, minimum = 0x10000;
    else
        return 0;
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
    {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

// The text as printable pieces, one per character.
std::vector<std::string> Pieces(std::string_view text)
{
    std::vector<std::string> pieces;
    char escape[16];
    for (size_t i = 0; i < text.size();)
    {
        uint32_t c = 0;
        const size_t length = Decode(text, i, c);
        if (length == 0)
        {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<uint8_t>(text[i]));
            pieces.emplace_back(escape);
            ++i;
            continue;
        }
        if (c == '\n')
            pieces.emplace_back("\\n");
        else if (c == '\t')
            pieces.emplace_back("\\t");
        else if (c == '\r')
            pieces.emplace_back("\\r");
        else if (c < 0x80 && IsInvisible(c))
        {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
            pieces.emplace_back(escape);
        }
        else if (IsInvisible(c))
        {
            std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(c));
            pieces.emplace_back(escape);
        }
        else
            pieces.emplace_back(text.substr(i, length));
        i += length;
    }
    return pieces;
}

std::string Join(const std::vector<std::string>& pieces, size_t begin, size_t end)
{
    std::string out;
    for (size_t i = begin; i < end; ++i)
        out += pieces[i];
    return out;
}
} // namespace

std::string Printable::Quote(std::string_view text, size_t limit)
{
    // Far more than any limit is never decoded: a huge token costs nothing.
    const std::vector<std::string> pieces = Pieces(text.substr(0, limit * 4 + 4));
    if (pieces.size() <= limit && text.size() <= limit * 4 + 4)
        return Join(pieces, 0, pieces.size());
    return Join(pieces, 0, std::min(limit, pieces.size())) + "...";
}

std::string Printable::Name(std::string_view path)
{
    const size_t window = c_iMaxName * 4 + 4;
    const bool cut = path.size() > window;
    const std::vector<std::string> pieces = Pieces(cut ? path.substr(path.size() - window) : path);
    if (!cut && pieces.size() <= c_iMaxName)
        return Join(pieces, 0, pieces.size());
    return "..." + Join(pieces, pieces.size() - std::min(c_iMaxName, pieces.size()), pieces.size());
}

std::string Printable::Echo(std::string_view text)
{
    // Appended rather than concatenated: GCC 12's -Wrestrict misjudges the latter.
    std::string echo(1, '\'');
    return echo.append(Quote(text)).append(1, '\'');
}
