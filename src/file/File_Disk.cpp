#include "file/File_Disk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

File_Disk::File_Disk(FILE* stream, bool ownsStream) : m_pStream(stream), m_bOwnsStream(ownsStream)
{
    if (m_pStream && std::fseek(m_pStream, 0, SEEK_END) == 0)
    {
        const long end = std::ftell(m_pStream);
        m_iLength = end > 0 ? static_cast<unsigned int>(end) : 0;
        std::fseek(m_pStream, 0, SEEK_SET);
    }
}

File_Disk::~File_Disk()
{
    if (m_bOwnsStream && m_pStream)
        std::fclose(m_pStream);
    m_pStream = nullptr;
}

int File_Disk::Pos()
{
    return m_pStream ? static_cast<int>(std::ftell(m_pStream)) : 0;
}

unsigned int File_Disk::Length()
{
    return m_iLength;
}

bool File_Disk::Eof()
{
    return m_pStream && std::feof(m_pStream) != 0;
}

bool File_Disk::Seek(int offset, int whence)
{
    return m_pStream && std::fseek(m_pStream, offset, whence) == 0;
}

bool File_Disk::Read(void* buffer, int count)
{
    if (!m_pStream || count < 0 || (count > 0 && !buffer))
        return false;
    return std::fread(buffer, 1, static_cast<size_t>(count), m_pStream) ==
           static_cast<size_t>(count);
}

bool File_Disk::Write(void* data, int count)
{
    if (!m_pStream || count < 0 || (count > 0 && !data))
        return false;
    return std::fwrite(data, 1, static_cast<size_t>(count), m_pStream) ==
           static_cast<size_t>(count);
}

File_Disk* File_Disk::Open(const char* path, bool read)
{
    if (!path)
        return nullptr;
    if (read)
    {
        std::string problem;
        bool missing = false;
        return OpenRegular(path, c_iMaxResourceBytes, problem, missing);
    }
    FILE* stream = std::fopen(path, "wb");
    if (!stream)
        return nullptr;
    return new File_Disk(stream, true);
}

File_Disk* File_Disk::OpenRegular(const char* path, uint64_t maxBytes, std::string& problem,
                                  bool& missing)
{
    missing = false;
    if (!path)
        return nullptr;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
    {
        missing = errno == ENOENT || errno == ENOTDIR;
        problem = std::strerror(errno);
        return nullptr;
    }
    struct stat status;
    if (fstat(fd, &status) != 0)
    {
        problem = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode))
    {
        problem = S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        close(fd);
        return nullptr;
    }
    if (static_cast<uint64_t>(status.st_size) > maxBytes)
    {
        problem = "larger than " + std::to_string(maxBytes >> 20) + " MiB";
        close(fd);
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* stream = fdopen(fd, "rb");
    if (!stream)
    {
        problem = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return new File_Disk(stream, true);
}

bool File_Disk::ReadAll(const std::string& path, uint64_t maxBytes, std::string& bytes,
                        std::string& problem)
{
    bool missing = false;
    std::unique_ptr<File_Disk> file(OpenRegular(path.c_str(), maxBytes, problem, missing));
    bytes.clear();
    if (!file)
        return false;
    // To the end rather than to the size the file system gives: a file of
    // /proc says 0 bytes and holds more, and a file may grow while it is read.
    char chunk[1 << 16];
    errno = 0;
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file->m_pStream)) > 0;)
    {
        if (bytes.size() + n > maxBytes)
        {
            problem = "larger than " + std::to_string(maxBytes >> 20) + " MiB";
            bytes.clear();
            return false;
        }
        bytes.append(chunk, n);
    }
    if (std::ferror(file->m_pStream))
    {
        problem = std::strerror(errno ? errno : EIO);
        bytes.clear();
        return false;
    }
    return true;
}
