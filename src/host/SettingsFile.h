// Settings files on disk: read at start (--settings), written by Ctrl+S into
// the configuration folder and by a script's "save".
#pragma once

#include "formats/Settings.h"

#include <cstdint>
#include <string>

class SettingsFile
{
  public:
    static constexpr uint64_t c_iMaxFileBytes = 1u << 20; // 1 MiB

    // False with one line naming the file, the line and the problem.
    static bool Load(const std::string& path, Settings& settings, std::string& error);
    // Written whole or not at all; false with the reason.
    static bool Save(const std::string& path, const Settings& settings, std::string& error);

    // $XDG_CONFIG_HOME/zindle, or ~/.config/zindle.
    static std::string GetDirectory();
    // Saves into GetDirectory() (made if need be) under a name with the local
    // time; `path` is where it went.
    static bool SaveInDirectory(const Settings& settings, std::string& path, std::string& error);
};
