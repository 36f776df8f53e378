#include "platform/qt/CQueuedSound.h"

#include <utility>

CQueuedSound::CQueuedSound(IVelkSound& target, std::function<void()> interrupt)
    : m_target(target), m_interrupt(std::move(interrupt))
{
}

CQueuedSound::~CQueuedSound()
{
    std::thread thread;
    {
        // The last alert's sound gets its chance to play to the end, but not for long: the
        // program is ending, perhaps because it was asked to.
        std::unique_lock<std::mutex> lock(m_mutex);
        m_quiet.wait_for(lock, kDrainTime, [this] { return !m_bPlaying && m_pending.empty(); });
        m_bStopping = true;
        m_pending.clear();
        thread = std::move(m_thread);
    }
    m_wake.notify_all();
    if (m_interrupt)
        m_interrupt();
    if (thread.joinable())
        thread.join();
}

void CQueuedSound::Beep(unsigned frequencyHz, unsigned durationMs)
{
    Request request;
    request.frequencyHz = frequencyHz;
    request.durationMs = durationMs;
    Submit(std::move(request));
}

bool CQueuedSound::PlayWaveFile(const std::string& pathGbk)
{
    Request request;
    request.wave = true;
    request.path = pathGbk;
    Submit(std::move(request));
    return true;
}

bool CQueuedSound::PlayWaveFileAndWait(const std::string& pathGbk)
{
    // The target plays one sound at a time: this one starts when the thread's has ended.
    return m_target.PlayWaveFile(pathGbk);
}

void CQueuedSound::WaitUntilQuiet()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_quiet.wait(lock, [this] { return m_bStopping || (!m_bPlaying && m_pending.empty()); });
}

unsigned CQueuedSound::Played() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nPlayed;
}

void CQueuedSound::Submit(Request request)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Later ones are merged into the one that waits.
        if (m_bStopping || m_pending.size() >= (m_bPlaying ? 1u : 2u))
            return;
        m_pending.push_back(std::move(request));
        // The thread comes with the first sound: a module that never sounds has none.
        if (!m_thread.joinable())
            m_thread = std::thread(&CQueuedSound::Run, this);
    }
    m_wake.notify_one();
}

void CQueuedSound::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStopping || !m_pending.empty(); });
        if (m_bStopping)
            break;
        Request request = std::move(m_pending.front());
        m_pending.pop_front();
        m_bPlaying = true;
        lock.unlock();
        if (request.wave)
            m_target.PlayWaveFile(request.path);
        else
            m_target.Beep(request.frequencyHz, request.durationMs);
        lock.lock();
        m_bPlaying = false;
        ++m_nPlayed;
        m_quiet.notify_all();
    }
    m_bPlaying = false;
    m_quiet.notify_all();
}
