#pragma once

#include <functional>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Behaviour that root's privileges would hide (a read-only folder, a file of another owner) is
// checked as the unprivileged user nobody, in a child process of a root test run.
constexpr uid_t kUnprivilegedId = 65534;

// The check's answer, or nothing when no unprivileged user can be had. A test process that is
// not root is unprivileged already and runs the check itself.
inline std::optional<bool> RunUnprivileged(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    pid_t pid = ::fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
            ::setuid(kUnprivilegedId) != 0)
            ::_exit(77);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 77)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

// Hands a path to the user RunUnprivileged runs as (when the tests run as root) with a mode.
inline bool GiveToUnprivileged(const std::string& path, mode_t mode)
{
    if (::geteuid() == 0 && ::chown(path.c_str(), kUnprivilegedId, kUnprivilegedId) != 0)
        return false;
    return ::chmod(path.c_str(), mode) == 0;
}
