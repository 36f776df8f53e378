#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "hostlibs/CLightMutex.h"

// Threads that take the mutex far more often than it is free, each adding to plain counters
// under it: no addition is lost, no two holders overlap, and every waiter is woken (a lost
// wake-up hangs the test).
TEST(CLightMutexTest, HoldersNeverOverlapAndEveryWaiterGetsItsTurn)
{
    CLightMutex mutex;
    long total = 0;
    int inside = 0;
    std::atomic<bool> overlapped{false};
    constexpr int kThreads = 4;
    constexpr int kRounds = 50000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                std::unique_lock lock(mutex);
                if (++inside != 1)
                    overlapped = true;
                ++total;
                // Now and then a longer hold, so that the others go to sleep on the word.
                if (i % 1000 == 0)
                    std::this_thread::yield();
                --inside;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(total, long(kThreads) * kRounds);
}

TEST(CLightMutexTest, TryLockFailsWhileHeldAndSucceedsOnceReleased)
{
    CLightMutex mutex;
    ASSERT_TRUE(mutex.try_lock());
    bool taken = true;
    std::thread other([&] { taken = mutex.try_lock(); });
    other.join();
    EXPECT_FALSE(taken);
    mutex.unlock();
    std::thread again([&] {
        taken = mutex.try_lock();
        if (taken)
            mutex.unlock();
    });
    again.join();
    EXPECT_TRUE(taken);
}
