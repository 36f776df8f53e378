#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/CShortKeyTable.h"

class CCsvReader;

// One trading day as the replay needs it, read from a folder of UTF-8 CSV files. Texts are
// kept in GBK, as the quote service hands them out. Loading checks every file completely
// before anything is used, so a bad day never starts an engine.
class CTradingDay {
public:
    struct Market {
        unsigned char market = 0;
        std::string extGbk;
        unsigned char level1 = 0;
    };
    struct Symbol {
        unsigned char market = 0;
        std::string code;
        std::string nameGbk;
        double prevClose = 0;
        double limitUp = 0;
        double limitDown = 0;
        // The decimals its prices are quoted with: 2 for stocks, 3 for funds and ETFs.
        int decimals = 2;
        // Optional data of the stock, 0 where the source does not give it: the average volume
        // per minute of trading over the last five days (shares) and the circulating shares.
        double fiveDayVolumePerMinute = 0;
        double circulatingShares = 0;
    };
    // A day holds millions of trades: each is 24 bytes and names its stock by position in
    // Symbols() (SymbolOf).
    struct Trade {
        std::int32_t time = 0; // seconds since midnight
        std::uint32_t symbol = 0;
        double price = 0;
        double volume = 0; // shares of this trade
    };
    // In blocks, so that a long day neither moves its trades as it grows nor keeps room for as
    // many again.
    using TradeList = std::deque<Trade>;
    static_assert(sizeof(Trade) == 24);
    struct MagicName {
        std::int32_t number = 0;
        std::string nameGbk;
    };
    struct Signal {
        int time = 0;
        unsigned char market = 0;
        std::string code;
        std::int32_t number = 0;
    };
    struct GroupMember {
        std::string userGbk;
        std::string groupGbk;
        unsigned char market = 0;
        std::string code;
    };

    CTradingDay() = default;
    // A day known only by its date, filled as it trades: a live feed's.
    explicit CTradingDay(int tradeDate) : m_nTradeDate(tradeDate) {}

    // Reads and checks every file of the folder. On failure returns false and puts
    // "file:line: what is wrong" (or "file: what is wrong") into error.
    bool Load(const std::string& folder, std::string& error);
    // Told while the trades load (the bulk of a day) of the share read, 0..1000; answering
    // false cancels the load, which then fails with Cancelled() true. Called on the loading
    // thread.
    void SetProgress(std::function<bool(int permille)> progress)
    {
        m_progress = std::move(progress);
    }
    bool Cancelled() const { return m_bCancelled; }

    int TradeDate() const { return m_nTradeDate; }
    // The trade date as the quote service's date text, yyyymmdd.
    std::string TradeDateText() const;

    const std::vector<Market>& Markets() const { return m_markets; }
    const std::vector<Symbol>& Symbols() const { return m_symbols; }
    // The position of a stock in Symbols(), or -1.
    int FindSymbol(unsigned char market, std::string_view code) const;
    const Symbol& SymbolOf(const Trade& trade) const { return m_symbols[trade.symbol]; }
    // In time order; trades of one second keep their order in the file.
    const TradeList& Trades() const { return m_trades; }
    const std::vector<MagicName>& MagicNames() const { return m_magicNames; }
    const std::vector<Signal>& Signals() const { return m_signals; }
    const std::vector<GroupMember>& Groups() const { return m_groups; }

    // Parses "HH:MM:SS" into seconds since midnight; false for anything else.
    static bool ParseTime(const std::string& text, int& seconds);

private:
    bool LoadDay(const std::string& folder, std::string& error);
    bool LoadMarkets(const std::string& folder, std::string& error);
    bool LoadSymbols(const std::string& folder, std::string& error);
    bool LoadTrades(const std::string& folder, std::string& error);
    bool LoadMagic(const std::string& folder, std::string& error);
    bool LoadSignals(const std::string& folder, std::string& error);
    bool LoadGroups(const std::string& folder, std::string& error);

    bool IsMarket(unsigned char market) const;
    bool IsSymbol(unsigned char market, const std::string& code) const;
    // The symbol's decimals grow to those of a price of it (one of its own or a trade's), unless
    // symbols.csv gave them; a price with more than its decimals, or than 3, is refused.
    // known: the price's decimals where the caller has them already, else -1.
    bool TakePriceDecimals(std::size_t symbol, const char* what, std::string_view text,
                           double price, CCsvReader& reader, int known = -1);
    // The index's key of a stock (market byte, then code) in key; its length, 0 where the code
    // is too long for it.
    static std::size_t SymbolKey(unsigned char market, std::string_view code, char (&key)[16]);

    int m_nTradeDate = 0;
    std::vector<Market> m_markets;
    std::vector<Symbol> m_symbols;
    // Market byte and code -> position in m_symbols. Every trade of the file is looked up here.
    CShortKeyTable<std::uint32_t> m_symbolIndex;
    TradeList m_trades;
    std::vector<MagicName> m_magicNames;
    std::vector<Signal> m_signals;
    std::vector<GroupMember> m_groups;

    // While loading: which symbols had their decimals given in symbols.csv.
    std::vector<bool> m_decimalsGiven;
    std::function<bool(int)> m_progress;
    bool m_bCancelled = false;
};
