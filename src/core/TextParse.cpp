#include "core/TextParse.h"

#include "core/Printable.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

bool TextParse::ParseReal(const std::string& word, double& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(word.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

bool TextParse::ParseInteger(const std::string& word, long min, long max, long& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(word.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0' && value >= min && value <= max;
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
