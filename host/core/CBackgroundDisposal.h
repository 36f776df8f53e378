#pragma once

#include <memory>
#include <system_error>
#include <thread>
#include <utility>

// Frees a large object (the trades of a day that was closed: hundreds of thousands of blocks)
// on a thread of its own, so that the thread that let it go goes on at once. One object at a
// time: a second waits for the first to be freed. The object must need nothing of the thread
// that hands it over (no Qt object, no quote service). The destructor waits for the last.
class CBackgroundDisposal {
public:
    CBackgroundDisposal() = default;
    ~CBackgroundDisposal();
    CBackgroundDisposal(const CBackgroundDisposal&) = delete;
    CBackgroundDisposal& operator=(const CBackgroundDisposal&) = delete;

    template <typename T> void Dispose(std::unique_ptr<T> object)
    {
        if (!object)
            return;
        Wait();
        try {
            m_thread = std::thread([owned = std::move(object)]() mutable { owned.reset(); });
        } catch (const std::system_error&) {
            // No thread to be had: the object is freed here, as it would have been without.
        }
    }
    // Returns once the object last handed over is freed.
    void Wait();

private:
    std::thread m_thread;
};
