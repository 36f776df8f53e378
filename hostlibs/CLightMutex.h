#pragma once

#include <atomic>

// A mutex whose uncontended take and release are one atomic instruction each, inline. The quote
// store is taken and released several times at every trade of a replay, nearly always by one
// thread; a waiter (the desktop program's window reading while the feed writes) sleeps on the
// word until it is released. The state: 0 free, 1 held, 2 held and someone may be waiting.
class CLightMutex {
public:
    CLightMutex() = default;
    CLightMutex(const CLightMutex&) = delete;
    CLightMutex& operator=(const CLightMutex&) = delete;

    void lock()
    {
        int state = 0;
        if (m_state.compare_exchange_strong(state, 1, std::memory_order_acquire,
                                            std::memory_order_relaxed))
            return;
        LockContended(state);
    }

    bool try_lock()
    {
        int state = 0;
        return m_state.compare_exchange_strong(state, 1, std::memory_order_acquire,
                                               std::memory_order_relaxed);
    }

    void unlock()
    {
        if (m_state.exchange(0, std::memory_order_release) == 2)
            m_state.notify_one();
    }

private:
    // Marks the word as waited on and sleeps until a release finds it free; the one that takes
    // it that way leaves it marked, so that its own release wakes whoever still waits.
    [[gnu::noinline]] void LockContended(int state)
    {
        if (state != 2)
            state = m_state.exchange(2, std::memory_order_acquire);
        while (state != 0) {
            m_state.wait(2, std::memory_order_relaxed);
            state = m_state.exchange(2, std::memory_order_acquire);
        }
    }

    std::atomic<int> m_state{0};
};
