#include "file/File_Bundle.h"

#include "file/File_Disk.h"

#include <cstring>

std::string File_Bundle::s_sResourceDirectory = ".";

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
    return File_Disk::Open(path.c_str(), read);
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
