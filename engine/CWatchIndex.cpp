#include "engine/CWatchIndex.h"

#include <cstring>

namespace {

// The decimal key of a stock ("%d%s") in a buffer of the caller's; its length, or 0 when the
// key would not fit.
std::size_t FormatDecimalKey(char (&key)[16], unsigned char market, std::string_view code)
{
    const unsigned value = market;
    const std::size_t n = value >= 100 ? 3 : value >= 10 ? 2 : 1;
    if (n + code.size() > sizeof key)
        return 0;
    // The digits written in place, last first.
    key[n - 1] = static_cast<char>('0' + value % 10);
    if (n > 1)
        key[n - 2] = static_cast<char>('0' + value / 10 % 10);
    if (n > 2)
        key[0] = static_cast<char>('0' + value / 100);
    std::memcpy(key + n, code.data(), code.size());
    return n + code.size();
}

// A record's code field holds exactly the code: its bytes, then the terminating NUL. Stock
// codes are a few bytes, compared where they stand rather than through a library call.
bool FieldHoldsCode(const char (&field)[sizeof(Ta_VELKPRICEALERT::m_szCode)], std::string_view code)
{
    const std::size_t size = code.size();
    if (size >= sizeof field || field[size] != '\0')
        return false;
    for (std::size_t i = 0; i < size; ++i)
        if (field[i] != code[i])
            return false;
    return true;
}

} // namespace

CWatchIndex::CWatchIndex(const std::vector<Ta_VELKPRICEALERT>& priceList, CKeyIndexMap& priceMap,
                         const std::vector<Ta_VELKPRICEALERT>& systemList, CKeyIndexMap& systemMap)
    : m_priceList(priceList), m_priceMap(priceMap), m_systemList(systemList), m_systemMap(systemMap)
{
}

void CWatchIndex::FillMap(CKeyIndexMap& map, const std::vector<Ta_VELKPRICEALERT>& list,
                          std::size_t count, VelkKeyFormat format)
{
    map.clear();
    if (count > list.size())
        count = list.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Ta_VELKPRICEALERT& record = list[i];
        const std::string code = VelkFieldText(record.m_szCode);
        map[format == VelkKeyFormat::kHex ? VelkHexKey(record.m_byMarket, code)
                                          : VelkDecimalKey(record.m_byMarket, code)] =
            static_cast<int>(i);
    }
}

void CWatchIndex::RebuildPriceMap(std::size_t count)
{
    FillMap(m_priceMap, m_priceList, count, VelkKeyFormat::kDecimal);
    m_bTableStale = true;
}

void CWatchIndex::RebuildSystemMap()
{
    FillMap(m_systemMap, m_systemList, m_systemList.size(), VelkKeyFormat::kDecimal);
    m_bTableStale = true;
    m_nCodesIndexed = kNotIndexed;
}

void CWatchIndex::SystemListReplaced()
{
    m_bTableStale = true;
    m_nCodesIndexed = kNotIndexed;
}

void CWatchIndex::SystemRecordAppended()
{
    const int index = static_cast<int>(m_systemList.size()) - 1;
    if (index < 0)
        return;
    const Ta_VELKPRICEALERT& record = m_systemList.back();
    const std::string code = VelkFieldText(record.m_szCode);
    m_systemMap[VelkDecimalKey(record.m_byMarket, code)] = index;
    m_bTableStale = true;

    // Only an index of the list as it was before this record grows with it; any other is made
    // anew at its next use.
    if (m_nCodesIndexed + 1 != m_systemList.size()) {
        m_nCodesIndexed = kNotIndexed;
        return;
    }
    m_vecSameCode.push_back(index);
    auto [first, added] = m_mapFirstOfCode.emplace(code, index);
    if (!added) {
        int lastOfCode = first->second;
        while (m_vecSameCode[static_cast<std::size_t>(lastOfCode)] != first->second)
            lastOfCode = m_vecSameCode[static_cast<std::size_t>(lastOfCode)];
        m_vecSameCode[static_cast<std::size_t>(lastOfCode)] = index;
        m_vecSameCode[static_cast<std::size_t>(index)] = first->second;
    }
    m_nCodesIndexed = m_systemList.size();
}

bool CWatchIndex::SystemRecordIs(int index, unsigned char market, std::string_view code) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_systemList.size())
        return false;
    const Ta_VELKPRICEALERT& record = m_systemList[static_cast<std::size_t>(index)];
    return record.m_byMarket == market && FieldHoldsCode(record.m_szCode, code);
}

CWatchIndex::Entry CWatchIndex::Find(unsigned char market, std::string_view code)
{
    return Checked(FindInMaps(market, code), market, code);
}

CWatchIndex::Entry CWatchIndex::FindInMaps(unsigned char market, std::string_view code)
{
    char key[16];
    const std::size_t size = FormatDecimalKey(key, market, code);
    if (size != 0)
        return LookUp(std::string_view(key, size));
    return LookUp(VelkDecimalKey(market, std::string(code)));
}

CWatchIndex::Entry CWatchIndex::Checked(Entry entry, unsigned char market, std::string_view code)
{
    if (entry.system < 0 || SystemRecordIs(entry.system, market, code))
        return entry;
    RebuildSystemMap();
    return FindInMaps(market, code);
}

CWatchIndex::Entry CWatchIndex::LookUp(std::string_view key)
{
    // Every change the engine makes to a map marks the table stale; a changed size catches any
    // other.
    if (m_bTableStale || m_nTablePrices != m_priceMap.size() ||
        m_nTableSystem != m_systemMap.size()) {
        m_table.Clear(m_priceMap.size() + m_systemMap.size());
        m_bTableComplete = true;
        for (const auto& [mapKey, index] : m_priceMap) {
            Entry* stock = m_table.Insert(mapKey);
            m_bTableComplete = m_bTableComplete && stock;
            if (stock)
                stock->price = index;
        }
        for (const auto& [mapKey, index] : m_systemMap) {
            Entry* stock = m_table.Insert(mapKey);
            m_bTableComplete = m_bTableComplete && stock;
            if (stock)
                stock->system = index;
        }
        m_nTablePrices = m_priceMap.size();
        m_nTableSystem = m_systemMap.size();
        m_bTableStale = false;
    }
    if (m_bTableComplete && key.size() <= CShortKeyTable<Entry>::kMaxKey) {
        const Entry* stock = m_table.Find(key);
        return stock ? *stock : Entry{};
    }
    // A key too long for the table (no stock code is) is looked up in the maps.
    const std::string text(key);
    Entry entry;
    if (auto price = m_priceMap.find(text); price != m_priceMap.end())
        entry.price = price->second;
    if (auto system = m_systemMap.find(text); system != m_systemMap.end())
        entry.system = system->second;
    return entry;
}

void CWatchIndex::IndexCodes()
{
    // Every change the engine makes to the list drops the index; a changed length catches the
    // host growing or shrinking it through its pointer, and CodeRingHolds a reordering.
    if (m_nCodesIndexed == m_systemList.size())
        return;
    m_mapFirstOfCode.clear();
    m_vecSameCode.assign(m_systemList.size(), -1);
    std::unordered_map<std::string, int> last;
    for (std::size_t i = 0; i < m_systemList.size(); ++i) {
        const int index = static_cast<int>(i);
        const std::string code = VelkFieldText(m_systemList[i].m_szCode);
        const bool firstOfCode = m_mapFirstOfCode.emplace(code, index).second;
        int& previous = last[code];
        if (!firstOfCode)
            m_vecSameCode[static_cast<std::size_t>(previous)] = index;
        previous = index;
    }
    for (const auto& [code, lastIndex] : last)
        m_vecSameCode[static_cast<std::size_t>(lastIndex)] = m_mapFirstOfCode[code];
    m_nCodesIndexed = m_systemList.size();
}

bool CWatchIndex::CodeRingHolds(int first, std::string_view code) const
{
    if (code.size() >= sizeof(Ta_VELKPRICEALERT::m_szCode))
        return false;
    int index = first;
    do {
        if (index < 0 || static_cast<std::size_t>(index) >= m_systemList.size())
            return false;
        if (!FieldHoldsCode(m_systemList[static_cast<std::size_t>(index)].m_szCode, code))
            return false;
        index = m_vecSameCode[static_cast<std::size_t>(index)];
    } while (index != first);
    return true;
}

int CWatchIndex::FirstOfCode(int hint, std::string_view code)
{
    if (m_nCodesIndexed != m_systemList.size())
        IndexCodes();
    if (hint >= 0 && CodeRingHolds(hint, code))
        return hint;
    // A record of the ring that no longer holds the code: the host reordered the list in place.
    auto found = m_mapFirstOfCode.find(std::string(code));
    if (found == m_mapFirstOfCode.end())
        return -1;
    if (CodeRingHolds(found->second, code))
        return found->second;
    m_nCodesIndexed = kNotIndexed;
    IndexCodes();
    found = m_mapFirstOfCode.find(std::string(code));
    return found == m_mapFirstOfCode.end() ? -1 : found->second;
}
