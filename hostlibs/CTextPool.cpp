#include "hostlibs/CTextPool.h"

#include <bit>
#include <limits>

CTextPool& CTextPool::Instance()
{
    // Never destroyed: values may still be read while other static objects go away at exit.
    static CTextPool* pool = new CTextPool;
    return *pool;
}

CTextPool::CTextPool()
{
    Intern(std::string_view());
}

void CTextPool::Locate(std::uint32_t index, unsigned& slot, std::uint64_t& offset)
{
    const std::uint64_t shifted = std::uint64_t(index) + kFirstChunk;
    slot = unsigned(std::bit_width(shifted)) - 1 - kFirstChunkBits;
    offset = shifted - (std::uint64_t(kFirstChunk) << slot);
}

std::uint32_t CTextPool::Intern(std::string_view text)
{
    std::lock_guard<std::mutex> lock(m_writeMutex);
    if (auto found = m_indexByText.find(text); found != m_indexByText.end())
        return found->second;

    const std::uint32_t index = m_count.load(std::memory_order_relaxed);
    if (index == std::numeric_limits<std::uint32_t>::max())
        return 0;
    unsigned slot = 0;
    std::uint64_t offset = 0;
    Locate(index, slot, offset);
    std::string* chunk = m_slots[slot].load(std::memory_order_relaxed);
    if (!chunk) {
        chunk = new std::string[std::uint64_t(kFirstChunk) << slot];
        m_slots[slot].store(chunk, std::memory_order_release);
    }
    chunk[offset].assign(text.data(), text.size());
    m_indexByText.emplace(std::string_view(chunk[offset]), index);
    m_count.store(index + 1, std::memory_order_release);
    return index;
}

const std::string& CTextPool::Get(std::uint32_t index) const
{
    static const std::string empty;
    if (index >= m_count.load(std::memory_order_acquire))
        return empty;
    unsigned slot = 0;
    std::uint64_t offset = 0;
    Locate(index, slot, offset);
    return m_slots[slot].load(std::memory_order_acquire)[offset];
}
