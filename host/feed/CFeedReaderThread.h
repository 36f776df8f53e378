#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/feed/CFeedConnection.h"
#include "host/feed/CFeedQueue.h"
#include "host/feed/CFeedRunner.h"

// Reads and parses a feed on a thread of its own, so that a window's thread only applies the
// messages: they wait in a bounded queue. What the connection does and the lines it skipped
// are kept for the applying thread to look at. Stopping returns at once, whatever the feed is
// doing (connecting, waiting to reconnect, blocked on a full queue).
class CFeedReaderThread {
public:
    struct Skipped {
        CFeedRunner::Fault fault = CFeedRunner::Fault::Malformed;
        long line = 0;
        std::string why;
    };
    struct Status {
        CFeedRunner::State state = CFeedRunner::State::Connecting;
        int waitMs = 0;     // before the next attempt, when retrying
        std::string detail; // why the connection failed
        bool finished = false;
        long changes = 0; // state changes so far: a new wait shows as a new count
    };
    // Skipped lines kept with their reasons, of each kind; the rest are only counted.
    static constexpr long long kKeptPerKind = 5;

    CFeedReaderThread(CFeedConnection::Address address, std::size_t capacity);
    ~CFeedReaderThread();
    CFeedReaderThread(const CFeedReaderThread&) = delete;
    CFeedReaderThread& operator=(const CFeedReaderThread&) = delete;

    // False with the reason when the thread could not be started.
    bool Start(std::string& error);
    void Stop();

    CFeedQueue& Queue() { return m_queue; }
    Status GetStatus() const;
    // The skipped lines kept since the last call, and the count of each kind so far.
    std::vector<Skipped> TakeSkipped();
    long long SkippedCount(CFeedRunner::Fault fault) const;

private:
    void Run();

    CFeedQueue m_queue;
    CFeedRunner m_runner;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    Status m_status;
    std::vector<Skipped> m_skipped;
    std::array<long long, static_cast<std::size_t>(CFeedRunner::Fault::Count)> m_counts{};
};
