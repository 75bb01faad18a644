// A File over a standard I/O stream.
#pragma once

#include "file/File.h"

#include <cstdio>

class File_Disk : public File
{
  public:
    File_Disk(FILE* stream, bool ownsStream);
    ~File_Disk() override;

    File_Disk(const File_Disk&) = delete;
    File_Disk& operator=(const File_Disk&) = delete;

    int Pos() override;
    unsigned int Length() override;
    bool Eof() override;
    bool Seek(int offset, int whence) override;
    bool Read(void* buffer, int count) override;
    bool Write(void* data, int count) override;

    // Opens path with "rb" (read) or "wb"; null on failure.
    static File_Disk* Open(const char* path, bool read);

  private:
    FILE* m_pStream;
    bool m_bOwnsStream;
    unsigned int m_iLength = 0;
};
