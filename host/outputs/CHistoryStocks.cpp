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

namespace {

constexpr std::uint64_t kMultiplier = 0x9e3779b97f4a7c15ull;

// Eight bytes at a time: a code and a name are a few words each, and the writer hashes a stock
// for every alert.
std::uint64_t MixIn(std::uint64_t hash, std::string_view text)
{
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    // The length goes into the last word's free top byte: code "AB" with name "C" is not code
    // "A" with name "BC".
    std::uint64_t last = static_cast<std::uint64_t>(text.size()) << 56;
    for (std::size_t i = 0; at + i < text.size(); ++i)
        last ^= static_cast<std::uint64_t>(static_cast<unsigned char>(text[at + i])) << (8 * i);
    hash = (hash ^ last) * kMultiplier;
    return hash ^ (hash >> 29);
}

} // namespace

CHistoryStocks::Key CHistoryStocks::KeyOf(int market, std::string_view codeGbk,
                                          std::string_view nameGbk)
{
    Key key{market, codeGbk, nameGbk, 0};
    if (Fits(codeGbk, nameGbk)) {
        const std::uint64_t hash =
            MixIn(MixIn(static_cast<std::uint8_t>(market) * kMultiplier, codeGbk), nameGbk);
        key.hash = static_cast<std::uint32_t>(hash >> 32) | 1u;
    }
    return key;
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

void CHistoryStocks::Prefetch(const Key& key) const
{
    if (!m_slots.empty() && key.hash != 0)
        __builtin_prefetch(&m_slots[key.hash & (m_slots.size() - 1)]);
}

long long CHistoryStocks::IdOf(const Key& key, std::string& error)
{
    const int market = key.market;
    const std::string_view codeGbk = key.code;
    const std::string_view nameGbk = key.name;
    const std::uint32_t hash = key.hash;
    const bool fits = hash != 0;
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
