#include "VelkFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

std::string DirectoryOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool VelkReplaceFile(const std::string& path, const std::function<bool(IByteSink&)>& writer,
                     const SinkWrapper& wrap)
{
    std::string tmp = path + ".tmpXXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return false;
    // mkstemp creates 0600; the file it replaces would have had the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    bool ok;
    {
        std::unique_ptr<IByteSink> sink = std::make_unique<CFdSink>(fd);
        if (wrap)
            sink = wrap(std::move(sink));
        ok = sink && writer(*sink) && sink->Flush();
    }
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool VelkReplaceFile(const std::string& path, std::string_view bytes, const SinkWrapper& wrap)
{
    return VelkReplaceFile(
        path, [bytes](IByteSink& sink) { return sink.Write(bytes.data(), bytes.size()); }, wrap);
}

bool VelkReadFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(file);
        return false;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
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

bool VelkCreateDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::string dir = path;
    if (dir.back() != '/')
        dir += '/';
    // Each prefix up to a separator, from the first one after the root.
    for (std::size_t pos = dir.find('/', 1); pos != std::string::npos; pos = dir.find('/', pos + 1)) {
        std::string prefix = dir.substr(0, pos);
        if (prefix.empty() || VelkIsDirectory(prefix))
            continue;
        if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return VelkIsDirectory(path);
}

std::string VelkJoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}
