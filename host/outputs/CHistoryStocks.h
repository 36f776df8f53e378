#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/outputs/StringViewHash.h"

struct sqlite3;
struct sqlite3_stmt;

// The history's stocks: a market, a code and the name the stock had, kept once in `stocks`,
// which an alert row names by id. A stock whose name changes gets a second id, so that no row
// changes what it said. The ids a connection has seen are kept in memory, since every alert
// asks for one; `stocks` only ever grows, so an id stays good for every writer of the file.
//
// A stock and its id share one cache line, found by open addressing: the writer wakes once a
// frame with its caches taken by the replay, and a node map's three dependent loads a lookup
// cost more than the rest of the row's writing. Longer texts than a line holds go to a map.
class CHistoryStocks {
public:
    CHistoryStocks() = default;
    ~CHistoryStocks();
    CHistoryStocks(const CHistoryStocks&) = delete;
    CHistoryStocks& operator=(const CHistoryStocks&) = delete;

    // Prepares its statements on the connection; false with the error when it cannot.
    bool Attach(sqlite3* db, std::string& error);
    void Detach();

    // A stock as it is asked for: its code and name as GBK, read where they are, and its hash,
    // worked out once for both the prefetch and the lookup.
    struct Key {
        int market = 0;
        std::string_view code;
        std::string_view name;
        std::uint32_t hash = 0; // 0: too long for a slot, kept in the map instead
    };
    static Key KeyOf(int market, std::string_view codeGbk, std::string_view nameGbk);

    // The id of the stock, added to `stocks` when it is new; -1 with the error when SQLite
    // fails. Within a write transaction only: an id added there is good only once the
    // transaction commits.
    long long IdOf(const Key& key, std::string& error);
    // Starts loading the place of a stock asked for soon.
    void Prefetch(const Key& key) const;
    // After a rolled-back transaction: the ids it added are gone from the file.
    void Forget();
    std::size_t Size() const { return m_nUsed + m_long.size(); }

private:
    struct alignas(64) Slot {
        std::int64_t id = 0;
        std::uint32_t hash = 0; // 0: empty
        std::uint8_t market = 0;
        std::uint8_t codeSize = 0;
        std::uint8_t nameSize = 0;
        char code[12];
        char name[37];
    };
    static_assert(sizeof(Slot) == 64);

    static constexpr std::size_t kFirstSlots = 4096;
    // 16 MB: a table this full is let go rather than grown.
    static constexpr std::size_t kMaxSlots = std::size_t{1} << 18;

    static bool Fits(std::string_view code, std::string_view name)
    {
        return code.size() <= sizeof(Slot::code) && name.size() <= sizeof(Slot::name);
    }
    // Where the stock is, or the empty slot where it goes.
    std::size_t SlotOf(std::uint32_t hash, int market, std::string_view code,
                       std::string_view name) const;
    void Keep(std::uint32_t hash, int market, std::string_view code, std::string_view name,
              long long id);
    long long Find(int market, const std::string& code, const std::string& name,
                   std::string& error);

    sqlite3* m_pDb = nullptr;
    sqlite3_stmt* m_pSelect = nullptr;
    sqlite3_stmt* m_pInsert = nullptr;
    std::vector<Slot> m_slots;
    std::size_t m_nUsed = 0;
    // Keyed by the market's byte, the code, a zero byte and the name.
    std::unordered_map<std::string, long long, StringViewHash, std::equal_to<>> m_long;
};
