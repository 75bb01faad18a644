// Text from files and the command line made fit for a one-line message:
// control characters, invisible marks and bytes that are not UTF-8 are
// escaped, and long text is cut, so that a message stays one readable line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class Printable
{
  public:
    static constexpr size_t c_iMaxEchoed = 60; // characters of offending text
    static constexpr size_t c_iMaxName = 120;  // characters of a file name

    // text with "\n", "\t", "\xNN" (a byte that is not UTF-8) and "\u{FEFF}"
    // (an invisible or control character) escapes; longer than `limit`
    // characters, its start and "...".
    static std::string Quote(std::string_view text, size_t limit = c_iMaxEchoed);
    // Quote(text) between single quotes, as a message shows what it read.
    static std::string Echo(std::string_view text);
    // A file name escaped the same way; a long one keeps its end, where the
    // name is.
    static std::string Name(std::string_view path);
};
