#include "host/outputs/CHistoryStocks.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>

#include "platform/core/TextCodec.h"

CHistoryStocks::~CHistoryStocks()
{
    Detach();
}

bool CHistoryStocks::Attach(sqlite3* db, std::string& error)
{
    Detach();
    m_pDb = db;
    if (sqlite3_prepare_v2(db, "SELECT id FROM stocks WHERE market = ? AND code = ? AND name = ?",
                           -1, &m_pSelect, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO stocks (market, code, name) VALUES (?,?,?)",
                           -1, &m_pInsert, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        Detach();
        return false;
    }
    return true;
}

void CHistoryStocks::Detach()
{
    sqlite3_finalize(m_pSelect);
    sqlite3_finalize(m_pInsert);
    m_pSelect = nullptr;
    m_pInsert = nullptr;
    m_pDb = nullptr;
    Forget();
}

void CHistoryStocks::Forget()
{
    m_slots.clear();
    m_nUsed = 0;
    m_long.clear();
}

std::uint32_t CHistoryStocks::HashOf(int market, std::string_view code, std::string_view name)
{
    std::uint32_t hash = 2166136261u ^ static_cast<std::uint8_t>(market);
    hash *= 16777619u;
    for (const std::string_view text : {code, name}) {
        for (const char c : text) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 16777619u;
        }
        // Code "AB" with name "C" is not code "A" with name "BC".
        hash ^= 0xffu;
        hash *= 16777619u;
    }
    return hash | 1u;
}

std::size_t CHistoryStocks::SlotOf(std::uint32_t hash, int market, std::string_view code,
                                   std::string_view name) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t index = hash & mask;; index = (index + 1) & mask) {
        const Slot& slot = m_slots[index];
        if (slot.hash == 0 ||
            (slot.hash == hash && slot.market == static_cast<std::uint8_t>(market) &&
             slot.codeSize == code.size() && slot.nameSize == name.size() &&
             std::memcmp(slot.code, code.data(), code.size()) == 0 &&
             std::memcmp(slot.name, name.data(), name.size()) == 0))
            return index;
    }
}

void CHistoryStocks::Prefetch(int market, std::string_view codeGbk, std::string_view nameGbk) const
{
    if (!m_slots.empty() && Fits(codeGbk, nameGbk))
        __builtin_prefetch(&m_slots[HashOf(market, codeGbk, nameGbk) & (m_slots.size() - 1)]);
}

long long CHistoryStocks::IdOf(int market, std::string_view codeGbk, std::string_view nameGbk,
                               std::string& error)
{
    const bool fits = Fits(codeGbk, nameGbk);
    const std::uint32_t hash = fits ? HashOf(market, codeGbk, nameGbk) : 0;
    std::string longKey;
    if (fits) {
        if (!m_slots.empty()) {
            const Slot& slot = m_slots[SlotOf(hash, market, codeGbk, nameGbk)];
            if (slot.hash != 0)
                return slot.id;
        }
    } else {
        longKey.reserve(codeGbk.size() + nameGbk.size() + 2);
        longKey += static_cast<char>(market);
        longKey += codeGbk;
        longKey += '\0';
        longKey += nameGbk;
        const auto known = m_long.find(longKey);
        if (known != m_long.end())
            return known->second;
    }
    if (!m_pSelect) {
        error = "stocks: not attached";
        return -1;
    }
    const long long id = Find(market, TextCodec::GbkToUtf8(std::string(codeGbk)),
                              TextCodec::GbkToUtf8(std::string(nameGbk)), error);
    if (id < 0)
        return -1;
    if (fits)
        Keep(hash, market, codeGbk, nameGbk, id);
    else
        m_long.emplace(std::move(longKey), id);
    return id;
}

void CHistoryStocks::Keep(std::uint32_t hash, int market, std::string_view code,
                          std::string_view name, long long id)
{
    // Half full at most, so that probes stay short: the table doubles, up to its largest size,
    // where it starts again empty.
    if (m_slots.empty() || (m_nUsed + 1) * 2 > m_slots.size()) {
        std::vector<Slot> old;
        old.swap(m_slots);
        const std::size_t size = old.empty() ? kFirstSlots : old.size() * 2;
        m_nUsed = 0;
        m_slots.resize(std::min(size, kMaxSlots));
        if (size <= kMaxSlots) {
            for (const Slot& slot : old) {
                if (slot.hash == 0)
                    continue;
                m_slots[SlotOf(slot.hash, slot.market, {slot.code, slot.codeSize},
                               {slot.name, slot.nameSize})] = slot;
                ++m_nUsed;
            }
        }
    }
    Slot& slot = m_slots[SlotOf(hash, market, code, name)];
    slot.id = id;
    slot.hash = hash;
    slot.market = static_cast<std::uint8_t>(market);
    slot.codeSize = static_cast<std::uint8_t>(code.size());
    slot.nameSize = static_cast<std::uint8_t>(name.size());
    std::memcpy(slot.code, code.data(), code.size());
    std::memcpy(slot.name, name.data(), name.size());
    ++m_nUsed;
}

long long CHistoryStocks::Find(int market, const std::string& code, const std::string& name,
                               std::string& error)
{
    // A stock the writer has not seen is mostly new to the file as well: the insert comes
    // first, and only a stock already there (another run's, another program's) is looked up.
    for (sqlite3_stmt* statement : {m_pInsert, m_pSelect}) {
        sqlite3_bind_int(statement, 1, market);
        sqlite3_bind_text(statement, 2, code.data(), static_cast<int>(code.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 3, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        const int step = sqlite3_step(statement);
        long long id = -1;
        if (step == SQLITE_ROW)
            id = sqlite3_column_int64(statement, 0);
        else if (step == SQLITE_DONE && statement == m_pInsert && sqlite3_changes(m_pDb) == 1)
            id = sqlite3_last_insert_rowid(m_pDb);
        const bool failed = step != SQLITE_ROW && step != SQLITE_DONE;
        if (failed)
            error = sqlite3_errmsg(m_pDb);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (failed)
            return -1;
        if (id >= 0)
            return id;
    }
    error = "stocks: no id";
    return -1;
}
