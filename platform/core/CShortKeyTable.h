#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

// A hash table for short text keys (at most 15 bytes: a market number and a stock code) kept in
// one flat array. A whole market touches thousands of stocks in turn, so each lookup finds its
// stock cold in memory: here that costs one cache miss, where a node-based map walks a bucket,
// the node before and the node itself. Keys are never removed; Clear empties the table. Values
// move when the table grows: a pointer from Insert or Find holds until the next Insert.
template <typename Value> class CShortKeyTable {
public:
    static constexpr std::size_t kMaxKey = 15;

    // Empties the table, with room for the expected number of keys before it grows.
    void Clear(std::size_t expected = 0)
    {
        std::size_t capacity = 16;
        while (capacity * 3 < expected * 4)
            capacity *= 2;
        m_slots.assign(capacity, Slot{});
        m_nSize = 0;
    }

    // The value under the key, value-initialised when the key is new; null for a key that is
    // empty or longer than kMaxKey, which the table cannot hold.
    Value* Insert(std::string_view key)
    {
        if (key.empty() || key.size() > kMaxKey)
            return nullptr;
        // At most three quarters full, so that a probe rarely leaves its first slot.
        if ((m_nSize + 1) * 4 > m_slots.size() * 3)
            Grow();
        Slot& slot = SlotIn(m_slots, key);
        if (slot.length == 0) {
            std::memcpy(slot.key, key.data(), key.size());
            slot.length = static_cast<std::uint8_t>(key.size());
            ++m_nSize;
        }
        return &slot.value;
    }

    const Value* Find(std::string_view key) const
    {
        if (m_slots.empty() || key.empty() || key.size() > kMaxKey)
            return nullptr;
        const Slot& slot = SlotIn(m_slots, key);
        return slot.length == 0 ? nullptr : &slot.value;
    }

    std::size_t Size() const { return m_nSize; }

private:
    struct Slot {
        char key[kMaxKey];
        std::uint8_t length = 0; // 0: empty (a key is never empty)
        Value value{};
    };

    // The slot holding the key, or the empty slot where it would go.
    template <typename Slots> static auto& SlotIn(Slots& table, std::string_view key)
    {
        const std::size_t mask = table.size() - 1;
        for (std::size_t i = std::hash<std::string_view>()(key) & mask;; i = (i + 1) & mask) {
            auto& slot = table[i];
            if (slot.length == 0 || std::string_view(slot.key, slot.length) == key)
                return slot;
        }
    }

    void Grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        for (Slot& slot : old) {
            if (slot.length != 0)
                SlotIn(m_slots, std::string_view(slot.key, slot.length)) = std::move(slot);
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_nSize = 0;
};
