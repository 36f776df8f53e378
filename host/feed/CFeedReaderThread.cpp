#include "host/feed/CFeedReaderThread.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

CFeedReaderThread::CFeedReaderThread(CFeedConnection::Address address, std::size_t capacity)
    : m_queue(capacity), m_runner(m_queue, std::move(address), nullptr)
{
    m_runner.SetStateListener(
        [this](CFeedRunner::State state, int waitMs, const std::string& detail) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_status.state = state;
            m_status.waitMs = waitMs;
            ++m_status.changes;
            if (!detail.empty() || state == CFeedRunner::State::Live)
                m_status.detail = detail;
        });
    m_runner.SetFaultListener([this](CFeedRunner::Fault fault, long line, const std::string& why) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (++m_counts[static_cast<std::size_t>(fault)] <= kKeptPerKind)
            m_skipped.push_back({fault, line, why});
    });
}

CFeedReaderThread::~CFeedReaderThread()
{
    Stop();
    for (int fd : m_stop)
        if (fd >= 0)
            ::close(fd);
}

bool CFeedReaderThread::Start(std::string& error)
{
    if (m_thread.joinable())
        return true;
    if (m_stop[0] < 0 && ::pipe2(m_stop, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::strerror(errno);
        return false;
    }
    try {
        m_thread = std::thread(&CFeedReaderThread::Run, this);
    } catch (const std::system_error& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

void CFeedReaderThread::Run()
{
    m_runner.Run(m_stop[0]);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status.finished = true;
}

void CFeedReaderThread::Stop()
{
    if (!m_thread.joinable())
        return;
    // The byte wakes every wait of the reader's (poll, connect, the backoff); the queue wakes
    // a reader held by a full queue.
    const char byte = 1;
    while (::write(m_stop[1], &byte, 1) < 0 && errno == EINTR) {
    }
    m_queue.Stop();
    m_thread.join();
}

CFeedReaderThread::Status CFeedReaderThread::GetStatus() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_status;
}

std::vector<CFeedReaderThread::Skipped> CFeedReaderThread::TakeSkipped()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Skipped> skipped;
    skipped.swap(m_skipped);
    return skipped;
}

long long CFeedReaderThread::SkippedCount(CFeedRunner::Fault fault) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts[static_cast<std::size_t>(fault)];
}
