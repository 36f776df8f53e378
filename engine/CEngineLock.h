#pragma once

#include <atomic>

// The engine lock. Every notification takes it twice, uncontended, on the host's thread: one
// atomic exchange to take it and one to give it back, without a library call. A thread that
// finds it taken (the recording of a magic signal may hold it through a whole sound) sleeps
// until it is given back instead of spinning.
class CEngineLock {
public:
    void lock()
    {
        int state = kFree;
        if (m_state.compare_exchange_strong(state, kTaken, std::memory_order_acquire))
            return;
        LockContended(state);
    }

    bool try_lock()
    {
        int state = kFree;
        return m_state.compare_exchange_strong(state, kTaken, std::memory_order_acquire);
    }

    void unlock()
    {
        if (m_state.exchange(kFree, std::memory_order_release) == kWaited)
            m_state.notify_one();
    }

private:
    static constexpr int kFree = 0;
    static constexpr int kTaken = 1;
    // Taken, and a thread may be asleep on it: giving it back wakes one.
    static constexpr int kWaited = 2;

    void LockContended(int state)
    {
        if (state != kWaited)
            state = m_state.exchange(kWaited, std::memory_order_acquire);
        while (state != kFree) {
            m_state.wait(kWaited, std::memory_order_relaxed);
            state = m_state.exchange(kWaited, std::memory_order_acquire);
        }
    }

    std::atomic<int> m_state{kFree};
};
