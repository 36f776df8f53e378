#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/outputs/IAlertOutput.h"
#include "host/outputs/IDeliveryLog.h"

// One output's queue and the thread that empties it. The engine's thread only puts alerts into
// the queue; a full queue lets its oldest alert go, so a slow or dead receiver never holds the
// engine back. Failed attempts are tried again after a growing pause, while the queue waits.
// A receiver that takes only so many messages a minute is sent no more; what queues meanwhile
// goes in one message where the output can carry several, so that a burst at the open is late
// rather than lost.
//
// The queue holds parts of frames that every output shares rather than copies of the alerts: a
// frame handed to a stuck output costs a place in its queue and a count of what fell out of it,
// whatever the frame's size.
class COutputWorker {
public:
    using Batch = CAlertFrame;

    struct Options {
        std::size_t capacity = 1024;
        int maxAttempts = 5;
        // The pause after the first failed attempt; it doubles after each further one.
        std::chrono::milliseconds firstBackoff{1000};
        // The longest pause a receiver's rate limit is granted: one asking for an hour would
        // otherwise hold every alert queued behind the one refused.
        std::chrono::milliseconds longestRetryAfter{60000};
        // The minute over which a receiver's limit of messages is counted; its sixtieth is the
        // second of a limit a second.
        std::chrono::milliseconds paceWindow{60000};
    };

    // What the worker has done so far; read from any thread.
    struct Status {
        std::size_t queued = 0;
        long long delivered = 0;
        long long failed = 0;    // given up after the last attempt or refused
        long long dropped = 0;   // pushed out of a full queue
        long long abandoned = 0; // still waiting when the program closed
        long long attempts = 0;
        bool stopped = false;
    };

    COutputWorker(std::unique_ptr<IAlertOutput> output, const Options& options, IDeliveryLog* log);
    // Stops at once: what is still queued is abandoned.
    ~COutputWorker();
    COutputWorker(const COutputWorker&) = delete;
    COutputWorker& operator=(const COutputWorker&) = delete;

    // From the engine's thread: never waits for the output.
    void Push(const CAlertEvent& event);
    // The alerts [begin, end) of a batch in one go, oldest first: of more than the queue holds
    // only the newest are taken (the others counted as dropped). True when the queue keeps the
    // batch itself (rather than a copy of a small part of it), to be read from the worker.
    bool Push(const Batch& batch, std::size_t begin, std::size_t end);
    // The worker waits for work on an empty queue: an alert handed now is taken at once.
    // Read without the lock, so only a hint.
    bool IsIdle() const { return m_bIdle.load(std::memory_order_relaxed); }
    // Lets the worker go on until its queue is empty or the grace time has passed, then stops
    // it; the rest is abandoned.
    void Stop(std::chrono::milliseconds grace);
    // The parts of Stop, for stopping several workers at once: no more alerts are taken; then
    // the attempt under way ends now and what is queued is abandoned. Stop joins the thread.
    void Close();
    void Abort();

    Status GetStatus() const;
    std::string Name() const { return m_name; }
    // "name: 3 delivered, 1 failed, 0 dropped, 2 queued" for a status line.
    std::string StatusText() const;

private:
    void Run();
    // Waits for the pause before the next attempt; false when the worker is to stop instead.
    bool WaitBackoff(std::chrono::milliseconds pause);
    // Every attempt for the alerts of one message, until it is delivered, refused or out of
    // attempts.
    void DeliverMessage(const std::vector<CAlertEvent>& events);
    // Waits until the receiver's limit of messages allows one more; false when the worker is
    // to stop instead.
    bool WaitTurn();

    std::unique_ptr<IAlertOutput> m_pOutput;
    const std::string m_name;
    const Options m_options;
    IDeliveryLog* m_pLog;
    const int m_nPerMinute;
    const int m_nPerSecond;
    const std::size_t m_nMostFolded;
    // When the messages of the last paceWindow were sent; the worker's own.
    std::deque<std::chrono::steady_clock::time_point> m_sent;

    mutable std::mutex m_mutex;
    // Work has come (the queue was empty), or the worker is to stop.
    std::condition_variable m_wake;
    // Only the stop: a backoff is not woken by every alert that comes meanwhile.
    std::condition_variable m_stopCv;
    // The alerts [begin, end) of a batch, waiting.
    struct Span {
        Batch batch;
        std::size_t begin;
        std::size_t end;
    };
    // Drops the oldest queued alerts until `more` fit in; under the lock.
    void MakeRoom(std::size_t more);

    std::deque<Span> m_queue;
    std::size_t m_nQueued = 0;
    std::condition_variable m_finishedCv;
    bool m_bClosing = false;           // no more alerts come; finish the queue
    bool m_bStopped = false;           // Close has been called
    bool m_bFinished = false;          // the thread has left its loop
    std::atomic<bool> m_bAbort{false}; // stop now, even in the middle of an attempt
    std::atomic<bool> m_bIdle{false};
    Status m_status;
    std::thread m_thread;
};
