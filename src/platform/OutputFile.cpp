#include "platform/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

OutputFile::OutputFile(std::string path) : m_sPath(std::move(path))
{
    m_sTemporary = m_sPath + ".part-" + std::to_string(static_cast<long>(getpid()));
}

OutputFile::~OutputFile()
{
    Abandon();
}

bool OutputFile::Commit(std::string& error)
{
    if (m_bDone)
        return true;
    if (std::rename(m_sTemporary.c_str(), m_sPath.c_str()) != 0)
    {
        error = "cannot write " + m_sPath + ": " + std::strerror(errno);
        Abandon();
        return false;
    }
    m_bDone = true;
    return true;
}

void OutputFile::Abandon()
{
    if (!m_bDone)
    {
        std::remove(m_sTemporary.c_str());
        m_bDone = true;
    }
}
