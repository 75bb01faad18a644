#include "file/File_Disk.h"

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
    FILE* stream = std::fopen(path, read ? "rb" : "wb");
    if (!stream)
        return nullptr;
    return new File_Disk(stream, true);
}
