// What the readers of text files (scripts, scales, settings) share: the text
// without a UTF-8 byte-order mark, numbers that must be the whole word,
// finite and in range, and "file:line: problem" messages.
#pragma once

#include <string>
#include <string_view>

class TextParse
{
  public:
    // The text after a byte-order mark at its start, if any.
    static std::string WithoutByteOrderMark(const std::string& text);
    // The whole word as a finite number (the integer in [min, max]); false for
    // an empty word, a space in front, or anything after the number, a NUL
    // byte included.
    static bool ParseReal(const std::string& word, double& value);
    static bool ParseInteger(const std::string& word, long min, long max, long& value);
    // The text with its ASCII letters in lower case (names compared without
    // regard to case: drivers, ports, devices); other bytes unchanged.
    static std::string Lower(std::string text);
    // "file:line: problem", the file's name made printable.
    static std::string Located(std::string_view file, int line, const std::string& problem);
};
