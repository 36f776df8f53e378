#include "host/core/CShutdownSignals.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Async-signal-safe state: the handler touches only these and write(2).
std::atomic<bool> g_requested{false};
std::atomic<int> g_signal{0};
int g_pipe[2] = {-1, -1};

extern "C" void OnShutdownSignal(int signo)
{
    const int savedErrno = errno;
    if (g_requested.exchange(true)) {
        // Asked twice: the orderly way did not end the program; the default one does.
        ::signal(signo, SIG_DFL);
        ::raise(signo);
    }
    g_signal = signo;
    if (g_pipe[1] >= 0) {
        const char byte = static_cast<char>(signo);
        [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

CShutdownSignals::CShutdownSignals()
{
    g_requested = false;
    g_signal = 0;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = OnShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_oldInt);
    ::sigaction(SIGTERM, &action, &m_oldTerm);
}

CShutdownSignals::~CShutdownSignals()
{
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    for (int& fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

const std::atomic<bool>& CShutdownSignals::Flag() const
{
    return g_requested;
}

int CShutdownSignals::ReadFd() const
{
    return g_pipe[0];
}

int CShutdownSignals::Signal() const
{
    return g_signal;
}
