// Parses zindle's command line into HostOptions.
#pragma once

#include "platform/HostOptions.h"

#include <string>

class CommandLine
{
  public:
    static constexpr int c_iContinue = -1;

    // Returns c_iContinue when the program should run, otherwise the exit
    // status (0 after --help or --version, 2 for bad arguments, with one line
    // naming the problem on stderr).
    static int Parse(int argc, char** argv, HostOptions& options);

    // The resource directory: --data, then $ZINDLE_DATA, then
    // ../share/zindle/data beside the executable, then the source tree's data/.
    static std::string FindDataDirectory(const std::string& requested, const char* argv0);
};
