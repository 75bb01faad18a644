#include "file/TextNumber.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

bool TextNumber::ParseReal(const std::string& word, double& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(word.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

bool TextNumber::ParseInteger(const std::string& word, long min, long max, long& value)
{
    if (word.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(word.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0' && value >= min && value <= max;
}
