#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/CVelkAlert.h"
#include "platform/core/CShortKeyTable.h"

// Key formats of the watch-list maps.
enum class VelkKeyFormat { kDecimal, kHex };

// Everything the engine derives from its price-alert and system-alert lists to find a notified
// stock: the two key maps (owned by the engine, built only here), one flat table over both,
// and the system-alert records by code alone. Each is rebuilt here when the engine changes a
// list, and checked as it is used, because the host may grow, shrink or rewrite a list in place
// through the pointer the engine hands out.
class CWatchIndex {
public:
    // Where a stock is in the two lists; -1 where it is not in that list's map.
    struct Entry {
        int price = -1;
        int system = -1;
    };

    CWatchIndex(const std::vector<Ta_VELKPRICEALERT>& priceList, CKeyIndexMap& priceMap,
                const std::vector<Ta_VELKPRICEALERT>& systemList, CKeyIndexMap& systemMap);

    // A list's map made anew from its first count records, the later index winning for a
    // repeated key.
    static void FillMap(CKeyIndexMap& map, const std::vector<Ta_VELKPRICEALERT>& list,
                        std::size_t count, VelkKeyFormat format);

    // The price-alert map made anew from the first count records of its list.
    void RebuildPriceMap(std::size_t count);
    // The system-alert map made anew from its whole list.
    void RebuildSystemMap();
    // The engine appended one record to the system-alert list: its map entry, and the code
    // index grows with it instead of being made anew at the next quote.
    void SystemRecordAppended();
    // The engine replaced the system-alert list without touching its map yet.
    void SystemListReplaced();

    // The stock's entries; the system-alert one is checked against the record it names, and a
    // position that no longer holds the stock has the map rebuilt.
    Entry Find(unsigned char market, std::string_view code);
    // Find in two steps, for a caller with other work to do before it reads the records: the
    // maps' entries as they stand, then those entries checked against the records they name
    // (and found again after a rebuild where one no longer holds the stock).
    Entry FindInMaps(unsigned char market, std::string_view code);
    Entry Checked(Entry entry, unsigned char market, std::string_view code);

    // The system-alert records that hold a code form a ring. The first of it: hint where that
    // record still starts an intact ring of the code, otherwise found anew; -1 for a code that
    // no record holds.
    int FirstOfCode(int hint, std::string_view code);
    // Starts loading what FirstOfCode reads of the ring at a record.
    void PrefetchRing(int index) const
    {
        if (index >= 0 && static_cast<std::size_t>(index) < m_vecSameCode.size())
            __builtin_prefetch(&m_vecSameCode[static_cast<std::size_t>(index)]);
    }
    // The next record of the same code (back to the first after the last).
    int NextOfCode(int index) const { return m_vecSameCode[static_cast<std::size_t>(index)]; }

    // The buffer for the quote service's answer to a notified stock's item request, kept between
    // notifications so that a whole market notifies without an allocation for it.
    std::vector<X1Format>& AnswerBuffer() { return m_vecAnswer; }

private:
    Entry LookUp(std::string_view key);
    bool SystemRecordIs(int index, unsigned char market, std::string_view code) const;
    bool CodeRingHolds(int first, std::string_view code) const;
    void IndexCodes();

    const std::vector<Ta_VELKPRICEALERT>& m_priceList;
    CKeyIndexMap& m_priceMap;
    const std::vector<Ta_VELKPRICEALERT>& m_systemList;
    CKeyIndexMap& m_systemMap;

    // Both maps in one table: a whole market finds each notified stock cold in memory, and one
    // probe there costs a cache miss where a lookup in each map costs several.
    CShortKeyTable<Entry> m_table;
    bool m_bTableComplete = false;
    bool m_bTableStale = true;
    std::size_t m_nTablePrices = 0;
    std::size_t m_nTableSystem = 0;

    // The first system-alert record of each code, and the ring through the records that share
    // one, so that a notification which has found its record reaches the others without a
    // second lookup. Made for a list of m_nCodesIndexed records.
    std::unordered_map<std::string, int> m_mapFirstOfCode;
    std::vector<int> m_vecSameCode;
    static constexpr std::size_t kNotIndexed = static_cast<std::size_t>(-1);
    std::size_t m_nCodesIndexed = kNotIndexed;

    std::vector<X1Format> m_vecAnswer;
};
