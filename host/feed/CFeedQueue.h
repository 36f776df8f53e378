#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "host/feed/IFeedSink.h"

// Hands parsed messages from the thread that reads a feed to the thread that applies them.
// It holds at most `capacity` of them: a reader faster than the engine waits rather than
// growing memory, and the feed's own flow control (TCP, the NATS pipe) holds back the source.
class CFeedQueue final : public IFeedSink {
public:
    struct Item {
        bool reconnected = false; // a reconnection, at its place among the messages
        long line = 0;
        CFeedMessage message;
    };

    explicit CFeedQueue(std::size_t capacity);

    // Called on the reader's thread when a message arrives in an empty queue, so that the
    // applying thread takes it at once instead of at its next frame. Set before the reader runs.
    void SetOnArrival(std::function<void()> onArrival) { m_onArrival = std::move(onArrival); }

    // Reader side: queues a copy, waiting while the queue is full; nothing is refused here.
    Problem Take(const CFeedMessage& message, long line, std::string& why) override;
    void Reconnected() override;
    // After the feed's end was queued, or once stopped.
    bool Ended() const override;

    // Applier side: moves every queued item to the end of `items`; false when none was queued.
    bool TakeAll(std::vector<Item>& items);
    bool HasItems() const;
    // Wakes and refuses a waiting reader for good.
    void Stop();

private:
    void Push(Item&& item);

    const std::size_t m_nCapacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::vector<Item> m_items;
    std::function<void()> m_onArrival;
    std::atomic<bool> m_bEnded{false};
    std::atomic<bool> m_bStopped{false};
};
