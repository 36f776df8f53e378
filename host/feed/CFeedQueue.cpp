#include "host/feed/CFeedQueue.h"

#include <iterator>

CFeedQueue::CFeedQueue(std::size_t capacity) : m_nCapacity(capacity == 0 ? 1 : capacity) {}

IFeedSink::Problem CFeedQueue::Take(const CFeedMessage& message, long line, std::string& why)
{
    (void)why;
    Item item;
    item.line = line;
    item.message = message;
    if (message.kind == CFeedMessage::Kind::End)
        m_bEnded = true;
    Push(std::move(item));
    return Problem::None;
}

void CFeedQueue::Reconnected()
{
    Item item;
    item.reconnected = true;
    Push(std::move(item));
}

void CFeedQueue::Push(Item&& item)
{
    bool first = false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_room.wait(lock, [this] { return m_bStopped || m_items.size() < m_nCapacity; });
        if (m_bStopped)
            return;
        first = m_items.empty();
        m_items.push_back(std::move(item));
    }
    // Once until the applier takes what is queued: a flood wakes it no more often than it takes.
    if (first && m_onArrival)
        m_onArrival();
}

bool CFeedQueue::Ended() const
{
    return m_bEnded || m_bStopped;
}

bool CFeedQueue::TakeAll(std::vector<Item>& items)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_items.empty())
            return false;
        if (items.empty()) {
            items.swap(m_items);
        } else {
            items.insert(items.end(), std::make_move_iterator(m_items.begin()),
                         std::make_move_iterator(m_items.end()));
            m_items.clear();
        }
    }
    m_room.notify_all();
    return true;
}

bool CFeedQueue::HasItems() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_items.empty();
}

void CFeedQueue::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopped = true;
    }
    m_room.notify_all();
}
