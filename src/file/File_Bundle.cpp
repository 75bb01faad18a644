#include "file/File_Bundle.h"

#include "core/Printable.h"
#include "file/File_Disk.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

std::string File_Bundle::s_sResourceDirectory = ".";

namespace
{
// Says once per path why a resource that is there cannot be read.
void WarnOnce(const std::string& path, const std::string& problem)
{
    static std::mutex mutex;
    static std::set<std::string> warned;
    const std::lock_guard<std::mutex> lock(mutex);
    if (warned.insert(path).second)
        std::fprintf(stderr, "zindle: warning: %s: %s; left out\n", Printable::Name(path).c_str(),
                     problem.c_str());
}
} // namespace

File* File_Bundle::Open(const char* name, const char* ext, const char* /*dir*/, bool read)
{
    if (!name || !*name)
        return nullptr;
    std::string path = s_sResourceDirectory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    if (ext && *ext)
    {
        path += '.';
        path += ext;
    }
    if (!read)
        return File_Disk::Open(path.c_str(), false);
    std::string problem;
    bool missing = false;
    File* file =
        File_Disk::OpenRegular(path.c_str(), File_Disk::c_iMaxResourceBytes, problem, missing);
    // A missing resource leaves its element out quietly, as designed; one that
    // is there but cannot be a resource is worth a line.
    if (!file && !missing)
        WarnOnce(path, problem);
    return file;
}

void File_Bundle::SetResourceDirectory(const std::string& directory)
{
    s_sResourceDirectory = directory.empty() ? std::string(".") : directory;
}

const std::string& File_Bundle::GetResourceDirectory()
{
    return s_sResourceDirectory;
}

std::string File_Bundle::ResolvePath(const char* path)
{
    char* name = nullptr;
    char* ext = nullptr;
    char* copy = File::SplitFilePath(path ? path : "", &name, nullptr, &ext);
    std::string result = s_sResourceDirectory;
    if (!result.empty() && result.back() != '/')
        result += '/';
    result += name;
    if (*ext)
    {
        result += '.';
        result += ext;
    }
    delete[] copy;
    return result;
}
