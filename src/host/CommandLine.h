// Parses zindle's command line into HostOptions.
#pragma once

#include "host/HostOptions.h"

#include <string>
#include <vector>

class CommandLine
{
  public:
    static constexpr int c_iContinue = -1;

    // Returns c_iContinue when the program should run, otherwise the exit
    // status (0 after --help or --version, 2 for bad arguments, with one line
    // naming the problem on stderr).
    static int Parse(int argc, char** argv, HostOptions& options);

    // Files the run would clash over, found before anything is written: two
    // outputs naming the same file (links and "." and ".." resolved), or an
    // output that is one of the run's inputs (script, settings, scale, key
    // mapping, MIDI file played) or a file of the resource directory (when the
    // options name it). `shots` and `saves` are the script's screenshots and
    // saves: a shot may repeat a shot and a save a save (a save may also
    // replace the settings it started from). False with the problem (exit
    // status 2).
    static bool CheckFiles(const HostOptions& options, const std::vector<std::string>& shots,
                           std::string& error, const std::vector<std::string>& saves = {});

    // Whether `directory` is a resource directory: a folder holding the
    // resources Zindle cannot start without. False with one line naming the
    // folder and what it lacks (exit status 1).
    static bool CheckDataDirectory(const std::string& directory, std::string& error);

    // The resource directory: --data, then $ZINDLE_DATA, then
    // ../share/zindle/data beside the executable, then the source tree's data/.
    static std::string FindDataDirectory(const std::string& requested, const char* argv0);
};
