#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "host/core/CBackgroundDisposal.h"

namespace {

// Tells where and whether it was destroyed.
struct Probe {
    std::thread::id* where;
    std::atomic<int>* destroyed;
    ~Probe()
    {
        *where = std::this_thread::get_id();
        ++*destroyed;
    }
};

TEST(BackgroundDisposal, FreesOffTheCallingThreadAndEveryObjectByTheEnd)
{
    std::thread::id first;
    std::thread::id second;
    std::atomic<int> destroyed{0};
    {
        CBackgroundDisposal disposal;
        disposal.Dispose(std::unique_ptr<Probe>(new Probe{&first, &destroyed}));
        disposal.Dispose(std::unique_ptr<Probe>(new Probe{&second, &destroyed}));
        disposal.Dispose(std::unique_ptr<Probe>());
        disposal.Wait();
        EXPECT_EQ(destroyed, 2);
        EXPECT_NE(first, std::this_thread::get_id());
        EXPECT_NE(second, std::this_thread::get_id());
        disposal.Dispose(std::unique_ptr<Probe>(new Probe{&first, &destroyed}));
    }
    // The last one handed over is freed before the disposal is gone.
    EXPECT_EQ(destroyed, 3);
}

} // namespace
