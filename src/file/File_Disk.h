// A File over a standard I/O stream.
#pragma once

#include "file/File.h"

#include <cstdint>
#include <cstdio>
#include <string>

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

    static constexpr uint64_t c_iMaxResourceBytes = uint64_t(64) << 20; // 64 MiB

    // Opens path for reading (a regular file of at most c_iMaxResourceBytes,
    // as OpenRegular) or with "wb" for writing; null on failure.
    static File_Disk* Open(const char* path, bool read);

    // Opens a regular file of at most maxBytes for reading, without ever
    // waiting on a pipe that has no writer. Null on failure, with the reason
    // in `problem` and `missing` set when there is no such file.
    static File_Disk* OpenRegular(const char* path, uint64_t maxBytes, std::string& problem,
                                  bool& missing);
    // Every byte of a regular file of at most maxBytes; false with the
    // reason in `problem`.
    static bool ReadAll(const std::string& path, uint64_t maxBytes, std::string& bytes,
                        std::string& problem);

  private:
    FILE* m_pStream;
    bool m_bOwnsStream;
    unsigned int m_iLength = 0;
};
