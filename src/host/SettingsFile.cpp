#include "host/SettingsFile.h"

#include "core/Printable.h"
#include "file/File_Disk.h"
#include "host/OutputFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;

bool SettingsFile::Load(const std::string& path, Settings& settings, std::string& error)
{
    std::string text, problem;
    if (!File_Disk::ReadAll(path, c_iMaxFileBytes, text, problem))
    {
        error = Printable::Name(path) + ": cannot read the settings: " + problem;
        return false;
    }
    return settings.Parse(text, path, error);
}

bool SettingsFile::Save(const std::string& path, const Settings& settings, std::string& error)
{
    OutputFile output(path);
    if (!output.Open(error))
        return false;
    const std::string text = settings.Format();
    if (std::fwrite(text.data(), 1, text.size(), output.GetStream()) != text.size())
        output.Fail(errno ? errno : EIO);
    return output.Commit(error);
}

std::string SettingsFile::GetDirectory()
{
    // Only an absolute $XDG_CONFIG_HOME counts.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return (fs::path(config) / "zindle").string();
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home ? home : ".") / ".config" / "zindle").string();
}

bool SettingsFile::SaveInDirectory(const Settings& settings, std::string& path, std::string& error)
{
    const fs::path folder = GetDirectory();
    std::error_code failure;
    fs::create_directories(folder, failure);
    if (failure)
    {
        error = "cannot make " + Printable::Name(folder.string()) + ": " + failure.message();
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
    // Two saves within a second keep both.
    for (int copy = 1;; ++copy)
    {
        std::string name = "zindle-";
        name.append(stamp);
        if (copy > 1)
            name.append("-").append(std::to_string(copy));
        name.append(".conf");
        path = (folder / name).string();
        if (!fs::exists(path, failure) || copy >= 100)
            break;
    }
    return Save(path, settings, error);
}
