#include "host/outputs/COutputWorker.h"

#include <algorithm>

COutputWorker::COutputWorker(std::unique_ptr<IAlertOutput> output, const Options& options,
                             IDeliveryLog* log)
    : m_pOutput(std::move(output)), m_name(m_pOutput->Name()), m_options(options), m_pLog(log),
      m_nPerMinute(std::max(0, m_pOutput->MessagesPerMinute())),
      m_nPerSecond(std::max(0, m_pOutput->MessagesPerSecond())),
      m_nMostFolded(std::max<std::size_t>(1, m_pOutput->MostFolded()))
{
    m_thread = std::thread([this] { Run(); });
}

COutputWorker::~COutputWorker()
{
    Stop(std::chrono::milliseconds(0));
}

void COutputWorker::Push(const CAlertEvent& event)
{
    Push(std::make_shared<const std::vector<CAlertEvent>>(1, event), 0, 1);
}

void COutputWorker::MakeRoom(std::size_t more)
{
    while (!m_queue.empty() && m_nQueued + more > m_options.capacity) {
        Span& oldest = m_queue.front();
        const std::size_t drop =
            std::min(oldest.end - oldest.begin, m_nQueued + more - m_options.capacity);
        oldest.begin += drop;
        m_nQueued -= drop;
        m_status.dropped += static_cast<long long>(drop);
        if (oldest.begin == oldest.end)
            m_queue.pop_front();
    }
}

bool COutputWorker::Push(const Batch& batch, std::size_t begin, std::size_t end)
{
    if (!batch || end > batch->size() || begin >= end)
        return false;
    // Nothing is kept that the queue would let go at once.
    const std::size_t count = end - begin;
    const std::size_t taken = std::min(count, m_options.capacity);
    begin = end - taken;
    // A small part of a large frame gets a batch of its own, so that a queue never keeps much
    // more than the alerts it holds.
    Batch kept = batch;
    if (taken > 0 && taken * 2 < batch->size())
        kept = std::make_shared<const std::vector<CAlertEvent>>(batch->begin() + begin,
                                                                batch->begin() + end);
    const bool whole = kept == batch;
    const std::size_t keptBegin = whole ? begin : 0;
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bClosing)
            return false;
        m_status.dropped += static_cast<long long>(count - taken);
        if (taken == 0)
            return false;
        MakeRoom(taken);
        wasEmpty = m_nQueued == 0;
        m_queue.push_back(Span{std::move(kept), keptBegin, keptBegin + taken});
        m_nQueued += taken;
    }
    // The worker waits for work only on an empty queue: alerts that join others wake nobody,
    // so that a busy or backing-off output costs the engine's thread no wake-up.
    if (wasEmpty)
        m_wake.notify_one();
    return whole;
}

void COutputWorker::Close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStopped)
            return;
        m_bStopped = true;
        m_bClosing = true;
    }
    m_wake.notify_all();
    m_stopCv.notify_all();
}

void COutputWorker::Abort()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosing = true;
        m_bAbort = true;
    }
    m_wake.notify_all();
    m_stopCv.notify_all();
    // Without it an attempt waiting for a receiver that never answers would end only at its
    // next look at the flag, and the engine's thread would wait for that in the join.
    m_pOutput->Interrupt();
}

void COutputWorker::Stop(std::chrono::milliseconds grace)
{
    Close();
    if (!m_thread.joinable())
        return;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (grace.count() > 0)
            m_finishedCv.wait_for(lock, grace, [this] { return m_bFinished; });
    }
    Abort();
    m_thread.join();
}

COutputWorker::Status COutputWorker::GetStatus() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Status status = m_status;
    status.queued = m_nQueued;
    status.stopped = m_bStopped;
    return status;
}

std::string COutputWorker::StatusText() const
{
    const Status status = GetStatus();
    return m_name + ": " + std::to_string(status.delivered) + " delivered, " +
           std::to_string(status.failed) + " failed, " + std::to_string(status.dropped) +
           " dropped, " +
           std::to_string(status.queued + static_cast<std::size_t>(status.abandoned)) +
           (status.stopped ? " undelivered" : " queued");
}

void COutputWorker::Run()
{
    std::vector<CAlertEvent> events;
    // Batches let go here, not under the lock, when their last alert queued was taken.
    std::vector<Batch> done;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_bIdle = m_queue.empty();
            m_wake.wait(lock, [this] { return m_bAbort || m_bClosing || !m_queue.empty(); });
            m_bIdle = false;
            if (m_bAbort || m_queue.empty())
                break;
        }
        // Alerts that come while the receiver's limit holds the worker back go together.
        if (!WaitTurn())
            break;
        events.clear();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            while (!m_queue.empty() && events.size() < m_nMostFolded) {
                Span& front = m_queue.front();
                const std::size_t take =
                    std::min(front.end - front.begin, m_nMostFolded - events.size());
                events.insert(events.end(), front.batch->begin() + front.begin,
                              front.batch->begin() + front.begin + take);
                front.begin += take;
                m_nQueued -= take;
                if (front.begin == front.end) {
                    done.push_back(std::move(front.batch));
                    m_queue.pop_front();
                }
            }
        }
        done.clear();
        if (!events.empty())
            DeliverMessage(events);
    }
    std::deque<Span> left;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_status.abandoned += static_cast<long long>(m_nQueued);
        m_nQueued = 0;
        left.swap(m_queue);
        m_bFinished = true;
    }
    m_finishedCv.notify_all();
    m_pOutput->CloseOnWorker();
}

void COutputWorker::DeliverMessage(const std::vector<CAlertEvent>& events)
{
    const auto count = static_cast<long long>(events.size());
    std::chrono::milliseconds pause = m_options.firstBackoff;
    for (int attempt = 1;; ++attempt) {
        if (m_bAbort || !WaitTurn()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_status.abandoned += count;
            return;
        }
        if (m_nPerMinute > 0 || m_nPerSecond > 0)
            m_sent.push_back(std::chrono::steady_clock::now());
        const CDeliveryAttempt result = events.size() == 1
                                            ? m_pOutput->Deliver(events.front(), m_bAbort)
                                            : m_pOutput->DeliverFolded(events, m_bAbort);
        if (m_pLog) {
            for (const CAlertEvent& event : events)
                m_pLog->OnDeliveryAttempt(event, m_name, attempt, result);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_status.attempts;
            if (result.outcome == CDeliveryAttempt::Outcome::Delivered) {
                m_status.delivered += count;
                return;
            }
            if (result.outcome == CDeliveryAttempt::Outcome::Failed ||
                attempt >= m_options.maxAttempts) {
                m_status.failed += count;
                return;
            }
        }
        if (!WaitBackoff(
                std::max(pause, std::min(result.retryAfter, m_options.longestRetryAfter)))) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_status.abandoned += count;
            return;
        }
        pause *= 2;
    }
}

bool COutputWorker::WaitTurn()
{
    if (m_nPerMinute == 0 && m_nPerSecond == 0)
        return true;
    const auto second = m_options.paceWindow / 60;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        while (!m_sent.empty() && now - m_sent.front() >= m_options.paceWindow)
            m_sent.pop_front();
        // The moment the oldest message that holds the next one back leaves its window.
        auto until = now;
        if (m_nPerMinute > 0 && m_sent.size() >= static_cast<std::size_t>(m_nPerMinute))
            until = std::max(until, m_sent[m_sent.size() - m_nPerMinute] + m_options.paceWindow);
        if (m_nPerSecond > 0 && m_sent.size() >= static_cast<std::size_t>(m_nPerSecond))
            until = std::max(until, m_sent[m_sent.size() - m_nPerSecond] + second);
        if (until <= now)
            return true;
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_stopCv.wait_until(lock, until, [this] { return m_bAbort.load(); }))
            return false;
    }
}

bool COutputWorker::WaitBackoff(std::chrono::milliseconds pause)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_stopCv.wait_for(lock, pause, [this] { return m_bAbort.load(); });
}
