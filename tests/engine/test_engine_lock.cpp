#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/CEngineLock.h"

namespace {

// Threads that take the lock in turn never lose an update of what it guards, whether they find
// it free, taken, or taken with others asleep on it.
TEST(EngineLock, ExcludesEveryOtherThread)
{
    CEngineLock lock;
    long guarded = 0;
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                std::lock_guard<CEngineLock> hold(lock);
                const long seen = guarded;
                if (i % 1000 == 0)
                    std::this_thread::yield(); // lets another thread find it taken
                guarded = seen + 1;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(guarded, long{kThreads} * kRounds);
    EXPECT_TRUE(lock.try_lock());
    lock.unlock();
}

// A thread that finds the lock held waits for it (asleep, as a magic signal's sound may hold it
// long) and gets it once it is given back; meanwhile try_lock refuses.
TEST(EngineLock, AWaiterGetsItWhenItIsGivenBack)
{
    CEngineLock lock;
    lock.lock();
    std::atomic<bool> entered{false};
    std::thread waiter([&] {
        std::lock_guard<CEngineLock> hold(lock);
        entered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load());
    EXPECT_FALSE(lock.try_lock());
    lock.unlock();
    waiter.join();
    EXPECT_TRUE(entered.load());
    EXPECT_TRUE(lock.try_lock());
    lock.unlock();
}

} // namespace
