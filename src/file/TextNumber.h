// Numbers as files and the command line write them: the whole word must be
// the number, and it must be finite and in range.
#pragma once

#include <string>

class TextNumber
{
  public:
    static bool ParseReal(const std::string& word, double& value);
    static bool ParseInteger(const std::string& word, long min, long max, long& value);
};
