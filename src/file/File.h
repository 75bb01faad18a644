// Byte-level access to resource files, opened by name through the resource directory.
#pragma once

class File
{
  public:
    virtual ~File() = default;

    virtual int Pos() = 0;
    virtual unsigned int Length() = 0;
    virtual bool Eof() = 0;
    virtual bool Seek(int offset, int whence) = 0;
    virtual bool Read(void* buffer, int count) = 0;
    virtual bool Write(void* data, int count) = 0;

    // Returns a heap copy of path (release with delete[]) cut in place into its
    // name, directory and extension; each non-null out pointer points into it.
    static char* SplitFilePath(const char* path, char** name, char** dir, char** ext);

    // read = true: a resource, looked up by bare name in the resource directory.
    // read = false: the literal path, opened for writing. Null on failure.
    static File* Open(const char* path, bool read);
};
