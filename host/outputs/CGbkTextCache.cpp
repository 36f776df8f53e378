#include "host/outputs/CGbkTextCache.h"

#include <cstring>

#include "platform/core/TextCodec.h"

namespace {

std::uint32_t HashOf(std::string_view text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash | 1u;
}

} // namespace

std::string_view CGbkTextCache::Utf8Of(std::string_view gbk)
{
    if (gbk.size() > sizeof(Slot::gbk))
        return LongUtf8Of(gbk);
    if (m_slots.empty())
        m_slots.resize(kSlots);
    const std::uint32_t hash = HashOf(gbk);
    std::size_t index = hash & (kSlots - 1);
    for (;; index = (index + 1) & (kSlots - 1)) {
        Slot& slot = m_slots[index];
        if (slot.hash == 0)
            break;
        if (slot.hash == hash && slot.gbkSize == gbk.size() &&
            std::memcmp(slot.gbk, gbk.data(), gbk.size()) == 0)
            return std::string_view(slot.utf8, slot.utf8Size);
    }
    const std::string utf8 = TextCodec::GbkToUtf8(std::string(gbk));
    // A full table takes no more (Trim empties it); nor does a slot take a longer text.
    if (utf8.size() > sizeof(Slot::utf8) || m_nUsed >= kMaxUsed)
        return LongUtf8Of(gbk);
    Slot& slot = m_slots[index];
    slot.hash = hash;
    slot.gbkSize = static_cast<std::uint8_t>(gbk.size());
    slot.utf8Size = static_cast<std::uint8_t>(utf8.size());
    std::memcpy(slot.gbk, gbk.data(), gbk.size());
    std::memcpy(slot.utf8, utf8.data(), utf8.size());
    ++m_nUsed;
    return std::string_view(slot.utf8, slot.utf8Size);
}

const std::string& CGbkTextCache::LongUtf8Of(std::string_view gbk)
{
    auto found = m_long.find(gbk);
    if (found != m_long.end())
        return found->second;
    std::string key(gbk);
    std::string utf8 = TextCodec::GbkToUtf8(key);
    return m_long.emplace(std::move(key), std::move(utf8)).first->second;
}

void CGbkTextCache::Trim()
{
    if (m_nUsed < kMaxUsed && m_long.size() < kMaxLong)
        return;
    m_slots.assign(m_slots.size(), Slot{});
    m_nUsed = 0;
    m_long.clear();
}
