#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

// A hash table for short text keys (at most 15 bytes: a market number and a stock code) kept in
// one flat array. A whole market touches thousands of stocks in turn, so each lookup finds its
// stock cold in memory: here that costs one cache miss, where a node-based map walks a bucket,
// the node before and the node itself. A key is held as two machine words (its bytes, zero
// padded, and its length in the last byte), so hashing and comparing it take a few
// instructions. Keys are never removed; Clear empties the table. Values move when the table
// grows: a pointer from Insert or Find holds until the next Insert.
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
        Packed packed;
        if (!packed.Assign(key))
            return nullptr;
        // At most three quarters full, so that a probe rarely leaves its first slot.
        if ((m_nSize + 1) * 4 > m_slots.size() * 3)
            Grow();
        Slot& slot = SlotIn(m_slots, packed);
        if (slot.key.IsEmpty()) {
            slot.key = packed;
            ++m_nSize;
        }
        return &slot.value;
    }

    const Value* Find(std::string_view key) const
    {
        Packed packed;
        if (m_slots.empty() || !packed.Assign(key))
            return nullptr;
        const Slot& slot = SlotIn(m_slots, packed);
        return slot.key.IsEmpty() ? nullptr : &slot.value;
    }

    std::size_t Size() const { return m_nSize; }

private:
    struct Packed {
        std::uint64_t words[2] = {0, 0}; // all zero: empty (a key is never empty)

        bool Assign(std::string_view key)
        {
            if (key.empty() || key.size() > kMaxKey)
                return false;
            unsigned char bytes[16] = {};
            std::memcpy(bytes, key.data(), key.size());
            bytes[15] = static_cast<unsigned char>(key.size());
            std::memcpy(words, bytes, sizeof words);
            return true;
        }
        bool IsEmpty() const { return (words[0] | words[1]) == 0; }
        bool operator==(const Packed& other) const
        {
            return words[0] == other.words[0] && words[1] == other.words[1];
        }
        // One wide multiply folded in half mixes every byte of both words into every bit.
        std::uint64_t Hash() const
        {
            __extension__ typedef unsigned __int128 Wide;
            const Wide product = static_cast<Wide>(words[0] ^ 0x9E3779B97F4A7C15ull) *
                                 (words[1] ^ 0xC2B2AE3D27D4EB4Full);
            return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
        }
    };

    struct Slot {
        Packed key;
        Value value{};
    };

    // The slot holding the key, or the empty slot where it would go.
    template <typename Slots> static auto& SlotIn(Slots& table, const Packed& key)
    {
        const std::size_t mask = table.size() - 1;
        for (std::size_t i = static_cast<std::size_t>(key.Hash()) & mask;; i = (i + 1) & mask) {
            auto& slot = table[i];
            if (slot.key.IsEmpty() || slot.key == key)
                return slot;
        }
    }

    void Grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        for (Slot& slot : old) {
            if (!slot.key.IsEmpty())
                SlotIn(m_slots, slot.key) = std::move(slot);
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_nSize = 0;
};
