#include "platform/core/VelkFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxLinkHops = 40;
thread_local std::string t_lastError;

bool Fail(std::string text)
{
    t_lastError = std::move(text);
    return false;
}
constexpr std::size_t kReadPiece = 1 << 20;

class CFdSink final : public IByteSink {
public:
    explicit CFdSink(int fd) : m_fd(fd) {}
    bool Write(const void* data, std::size_t size) override
    {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t n = ::write(m_fd, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool Flush() override { return ::fsync(m_fd) == 0; }

private:
    int m_fd;
};

// Collects what a writer produces, for a write that must know the whole content first.
class CMemorySink final : public IByteSink {
public:
    bool Write(const void* data, std::size_t size) override
    {
        m_bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    bool Flush() override { return true; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

std::string DirectoryOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a write lands on: symbolic links are followed (a relative link from the link's own
// folder), so that a link into another folder keeps pointing at the content. Only links of the
// process's user or of root are followed, as the kernel's protected links do in shared folders:
// a link someone else planted would make this process write a file of that someone's choosing.
bool ResolveLinks(const std::string& path, std::string& target)
{
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = current;
            return true;
        }
        if (st.st_uid != ::geteuid() && st.st_uid != 0)
            return Fail(current + " is a symbolic link of another user; it is not followed");
        char link[PATH_MAX];
        ssize_t n = ::readlink(current.c_str(), link, sizeof link);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link)
            return Fail(current + ": the symbolic link cannot be read");
        std::string next(link, static_cast<std::size_t>(n));
        current = next[0] == '/' ? next : VelkJoinPath(DirectoryOf(current), next);
    }
    return Fail(path + ": too many symbolic links");
}

// Opens a file to read without waiting for a writer (a FIFO would block the open for ever) and
// keeps it only when it is a regular file; a pipe, a device or a directory is refused.
int OpenRegularForReading(const std::string& path, struct stat& st)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(path + ": " + std::strerror(errno));
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(path + " is not a regular file");
        return -1;
    }
    // Reads of a regular file never wait; the flag goes so that they are plain reads.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

// pread or pwrite until size bytes have moved; a short transfer goes on, EINTR is retried.
template <typename Byte, typename Transfer>
bool TransferFully(int fd, std::uint64_t offset, Byte* data, std::size_t size, Transfer transfer)
{
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadFully(int fd, std::uint64_t offset, char* out, std::size_t size)
{
    return TransferFully(fd, offset, out, size, ::pread);
}

bool WriteFully(int fd, std::uint64_t offset, const char* data, std::size_t size)
{
    return TransferFully(fd, offset, data, size, ::pwrite);
}

// Claims the disk space for a file's new end before a byte is written, so that a full disk is
// found while the old content is still whole. File systems without preallocation just write.
bool ReserveSpace(int fd, std::uint64_t offset, std::uint64_t length)
{
    if (length == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                                   static_cast<off_t>(length)) == 0)
        return true;
    return errno == EOPNOTSUPP || errno == ENOSYS;
}

// "<name>.tmp-<pid>-<6 letters or digits>", the only shape of temporary this code writes.
bool ParseTemporaryName(const std::string& entry, const std::string& name, pid_t& pid)
{
    const std::string prefix = name + ".tmp-";
    if (entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::string_view rest(entry);
    rest.remove_prefix(prefix.size());
    std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9)
        return false;
    std::string_view random = rest.substr(dash + 1);
    if (random.size() != 6)
        return false;
    for (char c : random) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    }
    long value = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    pid = static_cast<pid_t>(value);
    return pid > 0;
}

// Temporaries of the file that a killed or crashed writer left behind. One goes only when it
// has the shape this code gives its temporaries, belongs to the process's user, nobody holds
// its lock and its writer is gone; a file of another user, or of a writer that lives (a thread
// of this process or another process), is never touched.
void RemoveStaleTemporaries(const std::string& dir, const std::string& name)
{
    std::vector<std::string> candidates;
    if (DIR* folder = ::opendir(dir.c_str())) {
        const std::string prefix = name + ".tmp-";
        while (const dirent* entry = ::readdir(folder)) {
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
                candidates.emplace_back(entry->d_name);
        }
        ::closedir(folder);
    }
    for (const std::string& candidate : candidates) {
        pid_t pid = 0;
        if (!ParseTemporaryName(candidate, name, pid) || pid == ::getpid())
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        const std::string path = VelkJoinPath(dir, candidate);
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK))
            ::unlink(path.c_str());
        ::close(fd);
    }
}

std::string RandomPart()
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<unsigned> sequence{0};
    thread_local std::minstd_rand generator(std::random_device{}() ^ (sequence++ * 2654435761u));
    std::string part(6, '\0');
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    for (char& c : part)
        c = kAlphabet[pick(generator)];
    return part;
}

// The file being replaced, after its links.
struct CTarget {
    std::string path;
    std::string dir;
    std::string name;
    bool exists = false;
    struct stat st {};
};

bool Examine(const std::string& path, CTarget& target)
{
    if (!ResolveLinks(path, target.path))
        return false;
    target.dir = DirectoryOf(target.path);
    target.name = NameOf(target.path);
    target.exists = ::stat(target.path.c_str(), &target.st) == 0;
    return target.exists || errno == ENOENT;
}

// Created with no more than owner access when it will take over an existing file's mode, so
// that nobody opens it in between; otherwise as any new file, under the process's umask.
int CreateTemporary(const CTarget& target, std::string& tmp, int& error)
{
    const mode_t mode = target.exists ? 0600 : 0666;
    const std::string stem = target.name + ".tmp-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = VelkJoinPath(target.dir, stem + RandomPart());
        int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            // Without locks on this file system the writer's pid still protects it.
            (void)::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

void KeepModeAndOwner(int fd, const struct stat& old)
{
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        // Only a privileged process may give a file away; others keep at least the group when
        // they belong to it, else the file becomes theirs.
        const bool kept = ::fchown(fd, old.st_uid, old.st_gid) == 0 ||
                          ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
        static_cast<void>(kept);
    }
    // After the owner, because a change of owner clears the set-id bits.
    ::fchmod(fd, old.st_mode & 07777);
}

bool FolderRefusesNewFiles(int error)
{
    return error == EACCES || error == EPERM;
}

// Where the old content of a file written in place waits until the new one is whole: the
// user's state directory, under the file's name and a hash of its full path.
std::string InPlaceCopyPath(const std::string& path)
{
    std::string state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/')
        state = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        state = VelkJoinPath(home, ".local/state");
    else
        return {};
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : path)
        hash = (hash ^ c) * 1099511628211ull;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "-%016llx", static_cast<unsigned long long>(hash));
    return VelkJoinPath(VelkJoinPath(state, "velk-host"), NameOf(path).substr(0, 200) + suffix);
}

// The fallback for a folder that takes no new files: the existing file is overwritten in
// place. Its old content is first kept whole in the user's state directory, so that a kill in
// the middle of the write leaves it there; it is also kept in memory and written back if the
// new content cannot be written whole. Without a kept copy nothing is written.
bool WriteInPlace(const CTarget& target, const std::function<bool(IByteSink&)>& writer,
                  const SinkWrapper& wrap)
{
    CMemorySink memory;
    if (!writer(memory))
        return Fail(target.path + ": the content could not be produced");
    const std::string& content = memory.Bytes();

    int fd = ::open(target.path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(target.path + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(target.path + " is not a regular file");
    }
    const std::uint64_t oldSize = static_cast<std::uint64_t>(st.st_size);
    std::string old(oldSize, '\0');
    const std::string copyPath = InPlaceCopyPath(target.path);
    if (!ReadFully(fd, 0, old.data(), old.size()) || copyPath.empty() ||
        !VelkCreateDirectories(DirectoryOf(copyPath)) || !VelkReplaceFile(copyPath, old)) {
        ::close(fd);
        return Fail(target.path +
                    ": its folder takes no new files and its old content cannot "
                    "be kept in " +
                    (copyPath.empty() ? std::string("the state directory") : copyPath));
    }
    if (content.size() > oldSize && !ReserveSpace(fd, oldSize, content.size() - oldSize)) {
        ::close(fd);
        ::unlink(copyPath.c_str());
        return Fail(target.path + ": no space left for the new content");
    }
    bool ok = ::lseek(fd, 0, SEEK_SET) == 0;
    if (ok) {
        std::unique_ptr<IByteSink> sink = std::make_unique<CFdSink>(fd);
        if (wrap)
            sink = wrap(std::move(sink));
        ok = sink && sink->Write(content.data(), content.size()) &&
             ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && sink->Flush();
    }
    bool restored = ok;
    if (!ok) {
        restored = WriteFully(fd, 0, old.data(), old.size()) &&
                   ::ftruncate(fd, static_cast<off_t>(oldSize)) == 0 && ::fsync(fd) == 0;
    }
    ::close(fd);
    // The kept copy goes once the file is whole again, new or old; else it stays for the user.
    if (restored)
        ::unlink(copyPath.c_str());
    if (!ok)
        return Fail(target.path + ": the new content could not be written whole");
    return true;
}

void SyncDirectory(const std::string& dir)
{
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

bool VelkReplaceFile(const std::string& path, const std::function<bool(IByteSink&)>& writer,
                     const SinkWrapper& wrap)
{
    t_lastError.clear();
    CTarget target;
    if (!Examine(path, target))
        return t_lastError.empty() ? Fail(path + ": " + std::strerror(errno)) : false;
    if (target.exists) {
        // A directory or a device is not ours to replace, nor a file the process may not write.
        if (!S_ISREG(target.st.st_mode))
            return Fail(target.path + " is not a regular file");
        if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0)
            return Fail(target.path + ": " + std::strerror(errno));
    }
    RemoveStaleTemporaries(target.dir, target.name);

    std::string tmp;
    int error = 0;
    int fd = CreateTemporary(target, tmp, error);
    if (fd < 0) {
        if (target.exists && FolderRefusesNewFiles(error))
            return WriteInPlace(target, writer, wrap);
        return Fail(target.path + ": " + std::strerror(error));
    }
    if (target.exists)
        KeepModeAndOwner(fd, target.st);

    bool ok;
    {
        std::unique_ptr<IByteSink> sink = std::make_unique<CFdSink>(fd);
        if (wrap)
            sink = wrap(std::move(sink));
        ok = sink && writer(*sink) && sink->Flush();
    }
    // The temporary stays locked until it has its final name.
    if (ok && ::rename(tmp.c_str(), target.path.c_str()) != 0) {
        error = errno;
        ::unlink(tmp.c_str());
        ::close(fd);
        // A sticky folder lets a process create files but not replace another owner's file.
        if (target.exists && FolderRefusesNewFiles(error))
            return WriteInPlace(target, writer, wrap);
        return Fail(target.path + ": " + std::strerror(error));
    }
    if (!ok) {
        const int writeError = errno;
        ::unlink(tmp.c_str());
        Fail(target.path + ": " +
             (writeError ? std::strerror(writeError) : "the content could not be written"));
    }
    ::close(fd);
    if (ok)
        SyncDirectory(target.dir);
    return ok;
}

bool VelkReplaceFile(const std::string& path, std::string_view bytes, const SinkWrapper& wrap)
{
    return VelkReplaceFile(
        path, [bytes](IByteSink& sink) { return sink.Write(bytes.data(), bytes.size()); }, wrap);
}

bool VelkWriteFileTail(const std::string& path, std::uint64_t offset, std::string_view bytes)
{
    t_lastError.clear();
    std::string resolved;
    if (!ResolveLinks(path, resolved))
        return false;
    RemoveStaleTemporaries(DirectoryOf(resolved), NameOf(resolved));

    int fd = ::open(resolved.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(resolved + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        offset > static_cast<std::uint64_t>(st.st_size)) {
        ::close(fd);
        return Fail(resolved + " is not a regular file of at least " + std::to_string(offset) +
                    " bytes");
    }
    const std::uint64_t oldSize = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t newSize = offset + bytes.size();
    std::string oldTail(oldSize - offset, '\0');
    if (!ReadFully(fd, offset, oldTail.data(), oldTail.size()) ||
        (newSize > oldSize && !ReserveSpace(fd, oldSize, newSize - oldSize))) {
        ::close(fd);
        return false;
    }

    bool ok = WriteFully(fd, offset, bytes.data(), bytes.size()) &&
              (newSize >= oldSize || ::ftruncate(fd, static_cast<off_t>(newSize)) == 0) &&
              ::fsync(fd) == 0;
    if (!ok) {
        if (WriteFully(fd, offset, oldTail.data(), oldTail.size()) &&
            ::ftruncate(fd, static_cast<off_t>(oldSize)) == 0)
            ::fsync(fd);
    }
    ::close(fd);
    return ok || Fail(resolved + ": the bytes could not be written");
}

bool VelkReadBlocks(const std::string& path, std::uint64_t offset, std::size_t blockSize,
                    const std::function<bool(const char* block)>& callback)
{
    if (blockSize == 0)
        return false;
    struct stat st {};
    int fd = OpenRegularForReading(path, st);
    if (fd < 0)
        return false;
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t blocks = size > offset ? (size - offset) / blockSize : 0;
    const std::size_t perPiece = std::max<std::size_t>(1, kReadPiece / blockSize);
    std::vector<char> piece(std::min<std::uint64_t>(blocks, perPiece) * blockSize);
    bool ok = true;
    bool more = true;
    while (more && blocks > 0) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(blocks, perPiece));
        if (!ReadFully(fd, offset, piece.data(), count * blockSize)) {
            ok = false;
            break;
        }
        for (std::size_t i = 0; more && i < count; ++i)
            more = callback(piece.data() + i * blockSize);
        offset += count * blockSize;
        blocks -= count;
    }
    ::close(fd);
    return ok;
}

bool VelkKeepCopy(const std::string& path, const std::string& copyPath)
{
    struct stat st {};
    if (::lstat(copyPath.c_str(), &st) == 0)
        return true;
    // A second link only to the file itself: a link through a symbolic link would give whoever
    // planted the symbolic link a name for the file it points at. A symbolic link's content is
    // copied, when the link is one this process follows.
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, copyPath.c_str(), 0) == 0)
            return true;
        if (errno == EEXIST)
            return true;
    }
    std::string resolved;
    std::string bytes;
    return ResolveLinks(path, resolved) && VelkReadFile(resolved, bytes) &&
           !VelkFileExists(copyPath) && VelkReplaceFile(copyPath, bytes);
}

bool VelkReadFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    struct stat st {};
    int fd = OpenRegularForReading(path, st);
    if (fd < 0)
        return false;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = Fail(path + ": " + std::strerror(errno));
            break;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool VelkFileExists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

bool VelkIsDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool VelkFileSize(const std::string& path, std::uint64_t& size)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool VelkCreateDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::string dir = path;
    if (dir.back() != '/')
        dir += '/';
    // Each prefix up to a separator, from the first one after the root.
    for (std::size_t pos = dir.find('/', 1); pos != std::string::npos;
         pos = dir.find('/', pos + 1)) {
        std::string prefix = dir.substr(0, pos);
        if (prefix.empty() || VelkIsDirectory(prefix))
            continue;
        if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return VelkIsDirectory(path);
}

bool VelkFileFailure(std::string text)
{
    return Fail(std::move(text));
}

const std::string& VelkFileError()
{
    return t_lastError;
}

std::string VelkInPlaceCopyPath(const std::string& path)
{
    return InPlaceCopyPath(path);
}

std::string VelkJoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}
