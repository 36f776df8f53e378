#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/outputs/StringViewHash.h"

// The UTF-8 of GBK texts that come again and again (a day's signal texts), converted
// once. A short text and its UTF-8 share one cache line, so that a lookup costs one memory
// access where a node map costs three; longer ones are kept in a map. What Utf8Of returns stays
// where it is until Trim.
class CGbkTextCache {
public:
    std::string_view Utf8Of(std::string_view gbk);
    // Lets everything go once the cache is full; only where nothing it returned is in use.
    void Trim();
    std::size_t Size() const { return m_nUsed + m_long.size(); }

private:
    struct alignas(64) Slot {
        std::uint32_t hash = 0; // 0: empty
        std::uint8_t gbkSize = 0;
        std::uint8_t utf8Size = 0;
        char gbk[18];
        char utf8[40];
    };
    static_assert(sizeof(Slot) == 64);

    static constexpr std::size_t kSlots = 16384;
    // Half full at most, so that probes stay short.
    static constexpr std::size_t kMaxUsed = kSlots / 2;
    static constexpr std::size_t kMaxLong = 100000;

    const std::string& LongUtf8Of(std::string_view gbk);

    std::vector<Slot> m_slots;
    std::size_t m_nUsed = 0;
    std::unordered_map<std::string, std::string, StringViewHash, std::equal_to<>> m_long;
};
