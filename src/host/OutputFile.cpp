#include "host/OutputFile.h"

#include "core/Printable.h"
#include "host/Signals.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
constexpr int c_iMaxLinks = 40;         // as the kernel follows them (ELOOP beyond)
constexpr long c_iDefaultNameMax = 255; // bytes, when the file system does not say
constexpr int c_iNameAttempts = 100;    // temporary names tried before giving up
constexpr int c_iPollMilliseconds = 50; // a frame: how soon a signal ends a stalled copy

// name cut to at most `bytes` bytes, never inside a UTF-8 character.
std::string CutName(const std::string& name, size_t bytes)
{
    if (name.size() <= bytes)
        return name;
    size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}
} // namespace

OutputFile::OutputFile(std::string path) : m_sPath(std::move(path)) {}

OutputFile::~OutputFile()
{
    Abandon();
}

std::string OutputFile::Failure(int error) const
{
    return "cannot write " + Printable::Name(m_sPath) + ": " + std::strerror(error);
}

bool OutputFile::Open(std::string& error)
{
    Abandon();
    m_iError = 0;
    struct stat status;
    const bool found = stat(m_sPath.c_str(), &status) == 0;
    // A loop of links has no file at its end to replace; writing one would
    // turn a link of the loop into a regular file.
    if (!found && errno == ELOOP)
    {
        error = Failure(ELOOP);
        return false;
    }
    if (found && !S_ISREG(status.st_mode))
    {
        if (S_ISDIR(status.st_mode))
        {
            error = Failure(EISDIR);
            return false;
        }
        return OpenSpecial(error);
    }
    return OpenTemporary(error);
}

bool OutputFile::OpenSpecial(std::string& error)
{
    // Without O_NONBLOCK a pipe that nobody reads would hold the program here.
    const int fd = open(m_sPath.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
    {
        error = errno == ENXIO
                    ? "cannot write " + Printable::Name(m_sPath) + ": nothing is reading from it"
                    : Failure(errno);
        return false;
    }
    if (lseek(fd, 0, SEEK_CUR) >= 0)
    {
        const int flags = fcntl(fd, F_GETFL);
        if (flags >= 0)
            fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        m_pStream = fdopen(fd, "wb");
    }
    else // stays non-blocking: the copy waits in poll, where a signal can end it
    {
        m_iCopyTarget = fd;
        m_pStream = std::tmpfile(); // unlinked at once: nothing to clean up, ever
    }
    if (!m_pStream)
    {
        error = Failure(errno);
        if (m_iCopyTarget < 0)
            close(fd);
        CloseAll();
        return false;
    }
    return true;
}

bool OutputFile::OpenTemporary(std::string& error)
{
    m_sTarget = Resolve(m_sPath);
    const fs::path target(m_sTarget);
    const std::string name = target.filename().string();
    if (name.empty())
    {
        error = Failure(EISDIR);
        return false;
    }
    const std::string folder = target.parent_path().string();
    long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = c_iDefaultNameMax;

    // The target's permissions carry over to the file that replaces it.
    struct stat existing;
    const bool exists = stat(m_sTarget.c_str(), &existing) == 0;
    const std::string pid = std::to_string(static_cast<long>(getpid()));
    int fd = -1;
    for (int attempt = 0; attempt < c_iNameAttempts && fd < 0; ++attempt)
    {
        std::string suffix = ".part-" + pid;
        if (attempt > 0)
            suffix.append("-").append(std::to_string(attempt));
        const size_t limit = static_cast<size_t>(nameMax);
        const size_t room = limit > suffix.size() ? limit - suffix.size() : 1;
        m_sTemporary = (target.parent_path() / (CutName(name, room) + suffix)).string();
        fd = open(m_sTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
    {
        error = Failure(errno);
        m_sTemporary.clear();
        return false;
    }
    m_iSlot = Signals::RegisterTemporary(m_sTemporary);
    if (exists)
        fchmod(fd, existing.st_mode & 07777);
    m_pStream = fdopen(fd, "wb");
    if (!m_pStream)
    {
        error = Failure(errno);
        close(fd);
        Abandon();
        return false;
    }
    return true;
}

void OutputFile::Fail(int error)
{
    if (m_iError == 0)
        m_iError = error != 0 ? error : EIO;
}

bool OutputFile::CopyToTarget()
{
    if (std::fseek(m_pStream, 0, SEEK_SET) != 0)
        return false;
    char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), m_pStream)) > 0)
    {
        for (size_t done = 0; done < n;)
        {
            const ssize_t written = write(m_iCopyTarget, chunk + done, n - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && errno == EAGAIN)
            {
                // A full pipe: a reader that reads empties it within a frame;
                // one that does not holds the run only until a signal.
                pollfd ready{m_iCopyTarget, POLLOUT, 0};
                if (poll(&ready, 1, c_iPollMilliseconds) == 0 && Signals::Caught())
                {
                    errno = EINTR;
                    return false;
                }
                continue;
            }
            if (written <= 0)
                return false;
            done += static_cast<size_t>(written);
        }
    }
    return !std::ferror(m_pStream);
}

bool OutputFile::Commit(std::string& error)
{
    if (!m_pStream)
    {
        error = Failure(m_iError ? m_iError : EBADF);
        return false;
    }
    if (m_iError == 0 && std::fflush(m_pStream) != 0)
        Fail(errno);
    if (m_iError == 0 && m_iCopyTarget >= 0 && !CopyToTarget())
        Fail(errno);
    const bool closed = std::fclose(m_pStream) == 0;
    m_pStream = nullptr;
    if (!closed)
        Fail(errno);
    if (m_iError == 0 && !m_sTemporary.empty() &&
        std::rename(m_sTemporary.c_str(), m_sTarget.c_str()) != 0)
        Fail(errno);
    if (m_iError != 0)
    {
        error = Failure(m_iError);
        Abandon();
        return false;
    }
    Signals::ForgetTemporary(m_iSlot);
    m_iSlot = -1;
    m_sTemporary.clear();
    CloseAll();
    return true;
}

void OutputFile::CloseAll()
{
    if (m_pStream)
        std::fclose(m_pStream);
    m_pStream = nullptr;
    if (m_iCopyTarget >= 0)
        close(m_iCopyTarget);
    m_iCopyTarget = -1;
}

void OutputFile::Abandon()
{
    CloseAll();
    if (!m_sTemporary.empty())
        unlink(m_sTemporary.c_str());
    Signals::ForgetTemporary(m_iSlot);
    m_iSlot = -1;
    m_sTemporary.clear();
}

std::string OutputFile::Resolve(const std::string& path)
{
    std::error_code error;
    fs::path resolved = fs::absolute(path, error);
    if (error)
        return path;
    for (int hop = 0; hop <= c_iMaxLinks; ++hop)
    {
        // The folder as the system sees it, so that ".." after a link means
        // the link target's parent; then the last part, if it is a link too.
        const fs::path folder = fs::weakly_canonical(resolved.parent_path(), error);
        if (error)
            break;
        resolved = folder / resolved.filename();
        if (!fs::is_symlink(resolved, error))
            break;
        const fs::path link = fs::read_symlink(resolved, error);
        if (error)
            break;
        resolved = link.is_absolute() ? link : folder / link;
    }
    return resolved.lexically_normal().string();
}

bool OutputFile::SameFile(const std::string& a, const std::string& b)
{
    struct stat first, second;
    const bool firstExists = stat(a.c_str(), &first) == 0;
    const bool secondExists = stat(b.c_str(), &second) == 0;
    if (firstExists && secondExists)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return Resolve(a) == Resolve(b);
}
