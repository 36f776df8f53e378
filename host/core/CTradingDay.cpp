#include "host/core/CTradingDay.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <string_view>
#include <utility>

#include "host/core/CCsvReader.h"
#include "host/core/CPlainTradeLine.h"
#include "host/core/CQuoteValidator.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkClockText.h"
#include "platform/core/VelkFile.h"

namespace {

using V = CQuoteValidator;

// The validator's checks, reporting through the reader ("file:line: what"). Each returns false
// on a bad field.
class CFieldChecker {
public:
    explicit CFieldChecker(CCsvReader& reader) : m_reader(reader) {}

    bool Market(std::string_view text, unsigned char& market)
    {
        return Report(V::Market(text, market, m_error));
    }
    bool Code(std::string_view text) { return Report(V::Code(text, m_error)); }
    bool Code(std::string_view text, std::string& code)
    {
        if (!Code(text))
            return false;
        code.assign(text);
        return true;
    }
    bool Text(const char* what, std::string_view text, bool mayBeEmpty, std::string& gbk)
    {
        return Report(V::Text(what, text, mayBeEmpty, gbk, m_error));
    }
    bool Price(const char* what, std::string_view text, double& value)
    {
        return Report(V::Price(what, text, value, m_error));
    }
    bool OptionalPrice(const char* what, std::string_view text, double& value)
    {
        return Report(V::OptionalPrice(what, text, value, m_error));
    }
    bool Volume(std::string_view text, double& value)
    {
        return Report(V::Volume(text, value, m_error));
    }
    bool Int32(const char* what, std::string_view text, std::int32_t& value)
    {
        return Report(V::Int32(what, text, value, m_error));
    }
    bool Time(std::string_view text, int& seconds)
    {
        return Report(V::Time(text, seconds, m_error));
    }
    bool TradePriceWithin(std::string_view text, double price, double ceiling)
    {
        return Report(V::TradePriceWithin(text, price, ceiling, m_error));
    }
    bool Fail(const std::string& what)
    {
        m_reader.Fail(what);
        return false;
    }

private:
    bool Report(bool good)
    {
        if (!good)
            m_reader.Fail(m_error);
        return good;
    }

    CCsvReader& m_reader;
    std::string m_error;
};

} // namespace

bool CTradingDay::ParseTime(const std::string& text, int& seconds)
{
    return CQuoteValidator::ParseTime(text, seconds);
}

std::string CTradingDay::TradeDateText() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", m_nTradeDate / 10000,
                  m_nTradeDate % 10000 / 100, m_nTradeDate % 100);
    return text;
}

bool CTradingDay::Load(const std::string& folder, std::string& error)
{
    std::function<bool(int)> progress = std::move(m_progress);
    *this = CTradingDay();
    m_progress = std::move(progress);
    if (!VelkIsDirectory(folder)) {
        error = folder + ": no such trading-day folder";
        return false;
    }
    return LoadDay(folder, error) && LoadMarkets(folder, error) && LoadSymbols(folder, error) &&
           LoadTrades(folder, error) && LoadMagic(folder, error) && LoadSignals(folder, error) &&
           LoadGroups(folder, error);
}

bool CTradingDay::IsMarket(unsigned char market) const
{
    return std::any_of(m_markets.begin(), m_markets.end(),
                       [market](const Market& m) { return m.market == market; });
}

std::size_t CTradingDay::SymbolKey(unsigned char market, std::string_view code, char (&key)[16])
{
    if (code.size() + 1 > sizeof key)
        return 0;
    key[0] = static_cast<char>(market);
    std::memcpy(key + 1, code.data(), code.size());
    return code.size() + 1;
}

int CTradingDay::FindSymbol(unsigned char market, std::string_view code) const
{
    char key[16];
    const std::size_t size = SymbolKey(market, code, key);
    const std::uint32_t* index = size ? m_symbolIndex.Find(std::string_view(key, size)) : nullptr;
    return index ? static_cast<int>(*index) : -1;
}

bool CTradingDay::IsSymbol(unsigned char market, const std::string& code) const
{
    return FindSymbol(market, code) >= 0;
}

bool CTradingDay::TakePriceDecimals(std::size_t symbol, const char* what, std::string_view text,
                                    double price, CCsvReader& reader, int known)
{
    const int allowed =
        m_decimalsGiven[symbol] ? m_symbols[symbol].decimals : CQuoteValidator::kMaxPriceDecimals;
    int decimals = known;
    // Too many known decimals are counted again by the validator, which says what is wrong.
    std::string error;
    if ((known < 0 || known > allowed) &&
        !CQuoteValidator::PriceDecimals(what, text, price, allowed, decimals, error)) {
        reader.Fail(error);
        return false;
    }
    if (!m_decimalsGiven[symbol])
        m_symbols[symbol].decimals = std::max(m_symbols[symbol].decimals, decimals);
    return true;
}

bool CTradingDay::LoadDay(const std::string& folder, std::string& error)
{
    CCsvReader reader(folder, "day.csv");
    CCsvReader::OpenResult opened = reader.Open({"trade_date"});
    if (opened == CCsvReader::OpenResult::Missing) {
        error = "day.csv: missing; it gives the trade date";
        return false;
    }
    std::vector<std::string_view> fields;
    bool found = false;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
        long long date = 0;
        if (found) {
            reader.Fail("a second trade date");
            break;
        }
        if (!CQuoteValidator::ParseInteger(fields[0], 19000101, 99991231, date) ||
            !VelkIsCalendarDate(date)) {
            reader.Fail("trade date " + CQuoteValidator::Quoted(fields[0]) +
                        " is not a date yyyymmdd");
            break;
        }
        m_nTradeDate = static_cast<int>(date);
        found = true;
    }
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    if (!found) {
        error = "day.csv: no trade date";
        return false;
    }
    return true;
}

bool CTradingDay::LoadMarkets(const std::string& folder, std::string& error)
{
    CCsvReader reader(folder, "markets.csv");
    CCsvReader::OpenResult opened = reader.Open({"market", "ext", "level1"});
    if (opened == CCsvReader::OpenResult::Missing) {
        error = "markets.csv: missing; it lists the markets";
        return false;
    }
    CFieldChecker check(reader);
    std::vector<std::string_view> fields;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
        Market market;
        if (!check.Market(fields[0], market.market) ||
            !check.Text("extension name", fields[1], false, market.extGbk) ||
            !check.Market(fields[2], market.level1))
            break;
        if (IsMarket(market.market)) {
            check.Fail("market " + std::to_string(market.market) + " is listed twice");
            break;
        }
        m_markets.push_back(std::move(market));
    }
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    return true;
}

bool CTradingDay::LoadSymbols(const std::string& folder, std::string& error)
{
    CCsvReader reader(folder, "symbols.csv");
    CCsvReader::OpenResult opened =
        reader.Open({"market", "code", "name", "prev_close", "limit_up", "limit_down"},
                    {"decimals", "five_day_volume_per_minute", "circulating_shares"});
    CFieldChecker check(reader);
    std::vector<std::string_view> fields;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
        Symbol symbol;
        if (!check.Market(fields[0], symbol.market) || !check.Code(fields[1], symbol.code) ||
            !check.Text("name", fields[2], true, symbol.nameGbk) ||
            !check.OptionalPrice("prev_close", fields[3], symbol.prevClose) ||
            !check.OptionalPrice("limit_up", fields[4], symbol.limitUp) ||
            !check.OptionalPrice("limit_down", fields[5], symbol.limitDown))
            break;
        bool given = false;
        if (reader.Columns() > 6 && !fields[6].empty()) {
            long long decimals = 0;
            if (!CQuoteValidator::ParseInteger(fields[6], CQuoteValidator::kMinPriceDecimals,
                                               CQuoteValidator::kMaxPriceDecimals, decimals)) {
                check.Fail("decimals " + CQuoteValidator::Quoted(fields[6]) + " is not 2 or 3");
                break;
            }
            symbol.decimals = static_cast<int>(decimals);
            given = true;
        }
        // Non-negative numbers like a price; empty or absent: not known.
        if ((reader.Columns() > 7 && !check.OptionalPrice("five_day_volume_per_minute", fields[7],
                                                          symbol.fiveDayVolumePerMinute)) ||
            (reader.Columns() > 8 &&
             !check.OptionalPrice("circulating_shares", fields[8], symbol.circulatingShares)))
            break;
        if (!IsMarket(symbol.market)) {
            check.Fail("market " + std::to_string(symbol.market) + " is not in markets.csv");
            break;
        }
        if (IsSymbol(symbol.market, symbol.code)) {
            check.Fail("stock " + std::to_string(symbol.market) + " " + symbol.code +
                       " is listed twice");
            break;
        }
        symbol.nameGbk = TextCodec::CutGbk(symbol.nameGbk, CQuoteValidator::kMaxNameBytes);
        const std::size_t index = m_symbols.size();
        // Codes are checked to 11 characters, so the key always fits.
        char key[16];
        const std::size_t keySize = SymbolKey(symbol.market, symbol.code, key);
        if (std::uint32_t* slot = m_symbolIndex.Insert(std::string_view(key, keySize)))
            *slot = static_cast<std::uint32_t>(index);
        m_symbols.push_back(std::move(symbol));
        m_decimalsGiven.push_back(given);
        const Symbol& added = m_symbols.back();
        if (!TakePriceDecimals(index, "prev_close", fields[3], added.prevClose, reader) ||
            !TakePriceDecimals(index, "limit_up", fields[4], added.limitUp, reader) ||
            !TakePriceDecimals(index, "limit_down", fields[5], added.limitDown, reader))
            break;
    }
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    return true;
}

bool CTradingDay::LoadTrades(const std::string& folder, std::string& error)
{
    CCsvReader reader(folder, "trades.csv");
    CCsvReader::OpenResult opened = reader.Open({"time", "market", "code", "price", "volume"});
    CFieldChecker check(reader);
    std::vector<std::string_view> fields;
    // The trade's stock is looked up once for each run of trades of one stock.
    int symbol = -1;
    unsigned char lastMarket = 0;
    char lastCode[CQuoteValidator::kMaxCodeLength];
    std::size_t lastLength = 0;
    double ceiling = 0;
    std::uint64_t size = 0;
    if (m_progress && !VelkFileSize(VelkJoinPath(folder, "trades.csv"), size))
        size = 0;
    constexpr std::size_t kTradesPerLook = 16384;
    std::string_view line;
    CPlainTradeLine::Fields trade;
    while (opened == CCsvReader::OpenResult::Ok && reader.NextLine(line)) {
        if (m_progress && m_trades.size() % kTradesPerLook == 0) {
            const int permille = size ? static_cast<int>(std::min<std::uint64_t>(
                                            1000, reader.BytesRead() * 1000 / size))
                                      : 0;
            if (!m_progress(permille)) {
                m_bCancelled = true;
                error = "trades.csv: loading cancelled";
                return false;
            }
        }
        // Nearly every line is in the plain form; any other goes through the general reading
        // and checks, which say what is wrong with it.
        if (!CPlainTradeLine::Read(line, trade)) {
            if (!reader.Split(line, fields) || !check.Time(fields[0], trade.time) ||
                !check.Market(fields[1], trade.market) || !check.Code(fields[2]) ||
                !check.Price("price", fields[3], trade.price) ||
                !check.Volume(fields[4], trade.volume))
                break;
            trade.code = fields[2];
            trade.priceText = fields[3];
            trade.priceDecimals = -1;
        }
        const unsigned char market = trade.market;
        const std::string_view code = trade.code;
        if (symbol < 0 || market != lastMarket || code != std::string_view(lastCode, lastLength)) {
            if (!IsMarket(market)) {
                check.Fail("market " + std::to_string(market) + " is not in markets.csv");
                break;
            }
            symbol = FindSymbol(market, code);
            if (symbol < 0) {
                check.Fail("stock " + std::to_string(market) + " " + std::string(code) +
                           " is not in symbols.csv");
                break;
            }
            lastMarket = market;
            // The code is checked to fit.
            lastLength = code.size();
            std::memcpy(lastCode, code.data(), lastLength);
            const Symbol& stock = m_symbols[static_cast<std::size_t>(symbol)];
            ceiling = CQuoteValidator::TradePriceCeiling(stock.limitUp, stock.prevClose);
        }
        if (!TakePriceDecimals(static_cast<std::size_t>(symbol), "price", trade.priceText,
                               trade.price, reader, trade.priceDecimals) ||
            !check.TradePriceWithin(trade.priceText, trade.price, ceiling))
            break;
        m_trades.push_back(
            Trade{trade.time, static_cast<std::uint32_t>(symbol), trade.price, trade.volume});
    }
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    // Trade files are normally written in time order; only one that is not is sorted.
    auto earlier = [](const Trade& a, const Trade& b) { return a.time < b.time; };
    if (!std::is_sorted(m_trades.begin(), m_trades.end(), earlier))
        std::stable_sort(m_trades.begin(), m_trades.end(), earlier);
    return true;
}

bool CTradingDay::LoadMagic(const std::string& folder, std::string& error)
{
    CCsvReader reader(folder, "magic.csv");
    CCsvReader::OpenResult opened = reader.Open({"number", "name"});
    CFieldChecker check(reader);
    std::vector<std::string_view> fields;
    std::set<std::int32_t> seen;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
        MagicName magic;
        if (!check.Int32("number", fields[0], magic.number) ||
            !check.Text("name", fields[1], false, magic.nameGbk))
            break;
        if (!seen.insert(magic.number).second) {
            check.Fail("signal number " + std::to_string(magic.number) + " is listed twice");
            break;
        }
        m_magicNames.push_back(std::move(magic));
    }
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    return true;
}

bool CTradingDay::LoadSignals(const std::string& folder, std::string& error)
{
    CCsvReader reader(folder, "signals.csv");
    CCsvReader::OpenResult opened = reader.Open({"time", "market", "code", "number"});
    CFieldChecker check(reader);
    std::vector<std::string_view> fields;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
        Signal signal;
        if (!check.Time(fields[0], signal.time) || !check.Market(fields[1], signal.market) ||
            !check.Code(fields[2], signal.code) || !check.Int32("number", fields[3], signal.number))
            break;
        if (!IsMarket(signal.market)) {
            check.Fail("market " + std::to_string(signal.market) + " is not in markets.csv");
            break;
        }
        if (!IsSymbol(signal.market, signal.code)) {
            check.Fail("stock " + std::to_string(signal.market) + " " + signal.code +
                       " is not in symbols.csv");
            break;
        }
        m_signals.push_back(std::move(signal));
    }
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    std::stable_sort(m_signals.begin(), m_signals.end(),
                     [](const Signal& a, const Signal& b) { return a.time < b.time; });
    return true;
}

bool CTradingDay::LoadGroups(const std::string& folder, std::string& error)
{
    CCsvReader reader(folder, "groups.csv");
    CCsvReader::OpenResult opened = reader.Open({"user", "group", "market", "code"});
    CFieldChecker check(reader);
    std::vector<std::string_view> fields;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
        GroupMember member;
        if (!check.Text("user", fields[0], false, member.userGbk) ||
            !check.Text("group", fields[1], false, member.groupGbk) ||
            !check.Market(fields[2], member.market) || !check.Code(fields[3], member.code))
            break;
        if (!IsMarket(member.market)) {
            check.Fail("market " + std::to_string(member.market) + " is not in markets.csv");
            break;
        }
        // The quote service knows no stock it was not given; a group holding one would hand
        // the engine a stock that never trades.
        if (!IsSymbol(member.market, member.code)) {
            check.Fail("stock " + std::to_string(member.market) + " " + member.code +
                       " is not in symbols.csv");
            break;
        }
        m_groups.push_back(std::move(member));
    }
    if (reader.Failed()) {
        error = reader.Error();
        return false;
    }
    return true;
}
