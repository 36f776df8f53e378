#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

// For each stock key of the price-alert and system-alert maps, its index in both lists, in
// one flat table. A whole market notifies thousands of different stocks in turn, so a quote
// finds its stock cold in memory; one probe into a flat table costs a cache miss where a
// lookup in each of the two maps costs several.
class CWatchIndex {
public:
    struct Entry {
        int price = -1;  // index in the price-alert list, -1 when not in its map
        int system = -1; // likewise for the system-alert list
    };

    // Rebuilt whole from the two maps.
    void Build(const std::unordered_map<std::string, int>& priceMap,
               const std::unordered_map<std::string, int>& systemMap);
    // Null when the key is in neither map. Only valid while Complete().
    const Entry* Find(std::string_view key) const;
    // False when a key was too long to keep; the maps must then be asked themselves.
    bool Complete() const { return m_bComplete; }

private:
    static constexpr std::size_t kMaxKey = 15;
    struct Slot {
        char key[kMaxKey];
        std::uint8_t length = 0; // 0: an empty slot (a key is never empty)
        Entry entry;
    };
    static_assert(sizeof(Slot) == 24);

    Slot* Place(std::string_view key);

    std::vector<Slot> m_slots;
    std::size_t m_nMask = 0;
    bool m_bComplete = true;
};
