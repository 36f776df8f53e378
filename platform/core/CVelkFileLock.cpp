#include "platform/core/CVelkFileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/VelkFile.h"

CVelkFileLock::CVelkFileLock(const std::string& lockPath, Mode mode)
{
    // Readable and writable by all that may write the folder's files: the lock file is empty,
    // and another user of a shared folder must be able to take it too.
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_fd = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    const int operation = mode == Mode::Try ? LOCK_EX | LOCK_NB : LOCK_EX;
    int result;
    while ((result = ::flock(m_fd, operation)) != 0 && errno == EINTR) {
    }
    m_bHeld = result == 0;
    m_bBusy = !m_bHeld && errno == EWOULDBLOCK;
}

CVelkFileLock::~CVelkFileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string CVelkFileLock::ForFolder(const std::string& dir)
{
    return VelkJoinPath(dir, ".velk.lock");
}

std::string CVelkFileLock::ForFileOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ForFolder(".");
    return ForFolder(slash == 0 ? "/" : path.substr(0, slash));
}
