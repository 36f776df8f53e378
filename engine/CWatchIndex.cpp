#include "CWatchIndex.h"

#include <cstring>
#include <functional>
#include <string>

void CWatchIndex::Build(const std::unordered_map<std::string, int>& priceMap,
                        const std::unordered_map<std::string, int>& systemMap)
{
    // At most three quarters full, so that a probe rarely leaves its first slot.
    std::size_t capacity = 16;
    while (capacity * 3 < (priceMap.size() + systemMap.size()) * 4)
        capacity *= 2;
    m_slots.assign(capacity, Slot{});
    m_nMask = capacity - 1;
    m_bComplete = true;
    for (const auto& [key, index] : priceMap) {
        if (Slot* slot = Place(key))
            slot->entry.price = index;
    }
    for (const auto& [key, index] : systemMap) {
        if (Slot* slot = Place(key))
            slot->entry.system = index;
    }
}

CWatchIndex::Slot* CWatchIndex::Place(std::string_view key)
{
    if (key.empty() || key.size() > kMaxKey) {
        m_bComplete = false;
        return nullptr;
    }
    for (std::size_t i = std::hash<std::string_view>()(key) & m_nMask;; i = (i + 1) & m_nMask) {
        Slot& slot = m_slots[i];
        if (slot.length == 0) {
            std::memcpy(slot.key, key.data(), key.size());
            slot.length = static_cast<std::uint8_t>(key.size());
            return &slot;
        }
        if (std::string_view(slot.key, slot.length) == key)
            return &slot;
    }
}

const CWatchIndex::Entry* CWatchIndex::Find(std::string_view key) const
{
    if (m_slots.empty() || key.empty() || key.size() > kMaxKey)
        return nullptr;
    for (std::size_t i = std::hash<std::string_view>()(key) & m_nMask;; i = (i + 1) & m_nMask) {
        const Slot& slot = m_slots[i];
        if (slot.length == 0)
            return nullptr;
        if (std::string_view(slot.key, slot.length) == key)
            return &slot.entry;
    }
}
