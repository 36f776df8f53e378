#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hostapi/KQCommon.h"

// The current values of one symbol by item number. Every quote asks for nine items, each time
// of a different symbol: the store gives each item number it meets one place, the same in every
// symbol, so that a value is found by two indexed loads instead of a search, and the values of
// a symbol lie together in a line or two of memory.
class CItemValues {
public:
    // The place of each item number in every symbol's values, given out in the order the store
    // first meets the numbers. Changed only under the store's exclusive lock.
    class Slots {
    public:
        Slots() : m_slotOf(kItems, kNoSlot) {}

        // The item's place; kNoSlot when no symbol has held it.
        std::size_t Of(unsigned short item) const
        {
            return item < kItems ? m_slotOf[item] : kNoSlot;
        }
        // The item's place, given out if it has none yet.
        std::size_t Assign(unsigned short item)
        {
            if (item >= kItems)
                return kNoSlot;
            std::uint16_t& slot = m_slotOf[item];
            if (slot == kNoSlot)
                slot = m_nCount++;
            return slot;
        }

        // Item numbers fit in 13 bits (see X1Format), so places never run out.
        static constexpr std::size_t kItems = 8192;
        static constexpr std::uint16_t kNoSlot = 0xFFFF;

    private:
        std::vector<std::uint16_t> m_slotOf;
        std::uint16_t m_nCount = 0;
    };

    // The value of the item; null when the symbol has none.
    const X1Format* Find(const Slots& slots, unsigned short item) const
    {
        const std::size_t slot = slots.Of(item);
        return slot < m_values.size() && IsSet(m_values[slot]) ? &m_values[slot] : nullptr;
    }

    // Replaces the item's value, or adds it; with decimals >= 0 a price is held with them.
    void Set(Slots& slots, const X1Format& value, int decimals = -1)
    {
        const std::size_t slot = slots.Assign(value.GetItemNo());
        if (slot == Slots::kNoSlot)
            return;
        if (slot >= m_values.size())
            m_values.resize(slot + 1);
        X1Format& held = m_values[slot];
        std::memcpy(static_cast<void*>(&held), &value, sizeof(X1Format));
        if (decimals >= 0)
            held.SetDecimals(decimals);
    }

    // Every price held is shown with the given decimals from now on.
    void SetDecimals(int decimals)
    {
        for (X1Format& value : m_values)
            value.SetDecimals(decimals);
    }

    // The values of count wanted items into answer, in their order; an item the symbol lacks
    // as no data.
    void Answer(const Slots& slots, const unsigned short* wanted, std::size_t count,
                X1Format* answer) const
    {
        // Read once: the answer's bytes could otherwise be taken to alias them.
        const X1Format* values = m_values.data();
        const std::size_t size = m_values.size();
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t slot = slots.Of(wanted[i]);
            if (slot < size && IsSet(values[slot]))
                std::memcpy(static_cast<void*>(answer + i), values + slot, sizeof(X1Format));
            else
                answer[i] = X1Format::None(wanted[i]);
        }
    }

private:
    // A place the symbol never filled holds all zero bytes. (A value set to no data for item 0
    // holds them too, and reads as missing, which is what it says.)
    static bool IsSet(const X1Format& value)
    {
        std::uint32_t head = 0;
        std::uint32_t tail = 0;
        std::memcpy(&head, value.Bytes(), sizeof head);
        std::memcpy(&tail, value.Bytes() + sizeof(X1Format) - sizeof tail, sizeof tail);
        return (head | tail) != 0;
    }

    std::vector<X1Format> m_values; // by place; all zero where the symbol has no value
};
