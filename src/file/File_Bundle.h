// Resolves resource names in the resource directory. Resources are looked up by
// bare file name, flat, whatever directory the program's name for them gives.
#pragma once

#include "file/File.h"

#include <string>

class File_Bundle
{
  public:
    // Opens name.ext from the resource directory; dir is ignored. Null when the
    // directory does not hold it.
    static File* Open(const char* name, const char* ext, const char* dir, bool read);

    // The resource directory, set once by the host before anything is loaded.
    static void SetResourceDirectory(const std::string& directory);
    static const std::string& GetResourceDirectory();

    // The full path a resource name resolves to ("data/lava.png" -> DIR/lava.png).
    static std::string ResolvePath(const char* path);

  private:
    static std::string s_sResourceDirectory;
};
