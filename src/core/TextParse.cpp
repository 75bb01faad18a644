#include "core/TextParse.h"

#include "core/Printable.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{
// Whether the conversion took every byte of the word: a NUL inside it ends
// the C string the conversion sees, not the word, and spaces in front are
// not part of a number.
bool TookAll(const std::string& word, const char* end)
{
    return !word.empty() && !std::isspace(static_cast<unsigned char>(word[0])) && end &&
           end == word.c_str() + word.size();
}
} // namespace

std::string TextParse::Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool TextParse::ParseReal(const std::string& word, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(word.c_str(), &end);
    return TookAll(word, end) && errno == 0 && std::isfinite(value);
}

bool TextParse::ParseInteger(const std::string& word, long min, long max, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(word.c_str(), &end, 10);
    return TookAll(word, end) && errno == 0 && value >= min && value <= max;
}

std::string TextParse::WithoutByteOrderMark(const std::string& text)
{
    constexpr std::string_view c_sByteOrderMark = "\xEF\xBB\xBF";
    return text.starts_with(c_sByteOrderMark) ? text.substr(c_sByteOrderMark.size()) : text;
}

std::string TextParse::Located(std::string_view file, int line, const std::string& problem)
{
    return Printable::Name(file) + ":" + std::to_string(line) + ": " + problem;
}
