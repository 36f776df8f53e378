#pragma once

#include <atomic>
#include <chrono>
#include <thread>

// The engine lock. Every notification takes it twice on the host's thread, practically always
// free: taking it is one atomic exchange and giving it back one plain store, without a library
// call, because each further locked instruction holds the notification up until every store
// before it is done. Nobody is woken on release; a thread that finds it taken (the recording
// of a magic signal holds it through its sound) looks again, sleeping between looks once it
// has waited a while.
class CEngineLock {
public:
    void lock()
    {
        if (!m_bTaken.exchange(true, std::memory_order_acquire))
            return;
        LockContended();
    }

    bool try_lock()
    {
        return !m_bTaken.load(std::memory_order_relaxed) &&
               !m_bTaken.exchange(true, std::memory_order_acquire);
    }

    void unlock() { m_bTaken.store(false, std::memory_order_release); }

private:
    void LockContended()
    {
        for (int round = 0;; ++round) {
            if (try_lock())
                return;
            if (round < 100)
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    std::atomic<bool> m_bTaken{false};
};
