#include "file/File.h"

#include "file/File_Bundle.h"
#include "file/File_Disk.h"

#include <cstring>

char* File::SplitFilePath(const char* path, char** name, char** dir, char** ext)
{
    const size_t length = std::strlen(path);
    char* copy = new char[length + 1];
    std::memcpy(copy, path, length + 1);
    char* end = copy + length;

    char* dot = std::strrchr(copy, '.');
    char* extension = end;
    if (dot)
    {
        *dot = '\0';
        extension = dot + 1;
    }

    char* separator = std::strrchr(copy, '/');
    if (!separator)
        separator = std::strrchr(copy, '\\');
    char* directory = end;
    char* base = copy;
    if (separator)
    {
        *separator = '\0';
        directory = copy;
        base = separator + 1;
    }

    if (name)
        *name = base;
    if (dir)
        *dir = directory;
    if (ext)
        *ext = extension;
    return copy;
}

File* File::Open(const char* path, bool read)
{
    if (!path)
        return nullptr;
    if (!read)
        return File_Disk::Open(path, false);

    char* name = nullptr;
    char* dir = nullptr;
    char* ext = nullptr;
    char* copy = SplitFilePath(path, &name, &dir, &ext);
    File* file = File_Bundle::Open(name, ext, dir, true);
    delete[] copy;
    return file;
}
