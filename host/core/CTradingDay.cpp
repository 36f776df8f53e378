#include "host/core/CTradingDay.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <string_view>
#include <utility>

#include "host/core/CCsvReader.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"

namespace {

// The code field of every record is 12 bytes with its terminator.
constexpr std::size_t kMaxCodeLength = 11;
constexpr std::size_t kMaxNameBytes = 49;
// A message shows this many characters of a bad field at most: a field may be a whole
// megabyte that is not what it should be.
constexpr std::size_t kMaxQuotedCharacters = 60;
// Stocks are quoted to the cent, funds and ETFs to a tenth of it.
constexpr int kMinPriceDecimals = 2;
constexpr int kMaxPriceDecimals = 3;

std::string Quoted(const std::string& text)
{
    // Characters are counted as UTF-8 lead bytes, so a cut never splits one.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (++characters > kMaxQuotedCharacters)
            return "\"" + text.substr(0, i) + "...\"";
    }
    return "\"" + text + "\"";
}

// The decimals of a price as read: the shortest text that reads back as the same number.
int DecimalsOf(double price)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, price, std::chars_format::fixed);
    if (result.ec != std::errc())
        return std::numeric_limits<int>::max();
    const std::string_view digits(text, static_cast<std::size_t>(result.ptr - text));
    const std::size_t point = digits.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(digits.size() - point - 1);
}

bool ParseDouble(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    // from_chars reads "inf" and "nan" too, which no price file means; and unlike strtod it
    // reads a point whatever numeric locale the desktop program runs under.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+' && (++first == last || *first == '-'))
        return false;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && std::isfinite(value);
}

bool ParseInteger(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty())
        return false;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size())
        return false;
    for (std::size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9')
            return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && value >= low && value <= high;
}

bool IsValidUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t extra;
        unsigned min;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// Field checks shared by the files. Each reports through the reader and returns false.
class CFieldChecker {
public:
    explicit CFieldChecker(CCsvReader& reader) : m_reader(reader) {}

    bool Market(const std::string& text, unsigned char& market)
    {
        long long value = 0;
        if (!ParseInteger(text, 0, 255, value))
            return Fail("market " + Quoted(text) + " is not a number from 0 to 255");
        market = static_cast<unsigned char>(value);
        return true;
    }

    bool Code(const std::string& text, std::string& code)
    {
        if (text.empty())
            return Fail("the code is empty");
        if (text.size() > kMaxCodeLength)
            return Fail("code " + Quoted(text) + " is longer than 11 characters");
        for (char c : text)
            if (c <= ' ' || c > '~')
                return Fail("code " + Quoted(text) +
                            " holds a character other than printable ASCII");
        code = text;
        return true;
    }

    // A text in UTF-8 that must have a GBK form; empty only when allowed.
    bool Text(const char* what, const std::string& text, bool mayBeEmpty, std::string& gbk)
    {
        if (text.empty() && !mayBeEmpty)
            return Fail(std::string("the ") + what + " is empty");
        if (!IsValidUtf8(text))
            return Fail(std::string("the ") + what + " is not valid UTF-8");
        gbk = TextCodec::Utf8ToGbk(text);
        if (TextCodec::GbkToUtf8(gbk) != text)
            return Fail(std::string(what) + " " + Quoted(text) +
                        " has characters that GBK cannot hold");
        return true;
    }

    bool Price(const char* what, const std::string& text, double& value)
    {
        if (text.empty())
            return Fail(std::string("the ") + what + " is empty");
        return OptionalPrice(what, text, value);
    }

    // Empty: not known, taken as 0 as the quote service shows an unknown price.
    bool OptionalPrice(const char* what, const std::string& text, double& value)
    {
        value = 0;
        if (text.empty())
            return true;
        if (!ParseDouble(text, value))
            return Fail(std::string(what) + " " + Quoted(text) + " is not a number");
        // The quote service holds a price as a 32-bit float; beyond it, or below zero, a price
        // is no price, and replayed it would poison the stock's high for the day.
        if (value < 0 || value > std::numeric_limits<float>::max())
            return Fail(std::string(what) + " out of range: " + Quoted(text));
        return true;
    }

    bool Volume(const std::string& text, double& value)
    {
        long long shares = 0;
        if (!ParseInteger(text, 0, 1'000'000'000'000LL, shares))
            return Fail("volume " + Quoted(text) + " is not a whole number of shares");
        value = static_cast<double>(shares);
        return true;
    }

    bool Int32(const char* what, const std::string& text, std::int32_t& value)
    {
        long long parsed = 0;
        if (!ParseInteger(text, INT32_MIN, INT32_MAX, parsed))
            return Fail(std::string(what) + " " + Quoted(text) + " is not a whole number");
        value = static_cast<std::int32_t>(parsed);
        return true;
    }

    bool Time(const std::string& text, int& seconds)
    {
        if (!CTradingDay::ParseTime(text, seconds))
            return Fail("time " + Quoted(text) + " is not HH:MM:SS");
        return true;
    }

    bool Fail(const std::string& what)
    {
        m_reader.Fail(what);
        return false;
    }

private:
    CCsvReader& m_reader;
};

bool IsValidDate(long long date)
{
    int year = static_cast<int>(date / 10000);
    int month = static_cast<int>(date / 100 % 100);
    int day = static_cast<int>(date % 100);
    if (year < 1900 || month < 1 || month > 12 || day < 1)
        return false;
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && !leap)
        return day <= 28;
    return day <= kDays[month - 1];
}

} // namespace

bool CTradingDay::ParseTime(const std::string& text, int& seconds)
{
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return false;
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
        if (text[i] < '0' || text[i] > '9')
            return false;
    int hour = (text[0] - '0') * 10 + (text[1] - '0');
    int minute = (text[3] - '0') * 10 + (text[4] - '0');
    int second = (text[6] - '0') * 10 + (text[7] - '0');
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    seconds = hour * 3600 + minute * 60 + second;
    return true;
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

std::string CTradingDay::SymbolKey(unsigned char market, const std::string& code)
{
    std::string key(1, static_cast<char>(market));
    key += code;
    return key;
}

int CTradingDay::FindSymbol(unsigned char market, const std::string& code) const
{
    const std::uint32_t* index = m_symbolIndex.Find(SymbolKey(market, code));
    return index ? static_cast<int>(*index) : -1;
}

bool CTradingDay::IsSymbol(unsigned char market, const std::string& code) const
{
    return FindSymbol(market, code) >= 0;
}

bool CTradingDay::TakePriceDecimals(std::size_t symbol, const char* what, const std::string& text,
                                    double price, CCsvReader& reader)
{
    const int decimals = DecimalsOf(price);
    const int allowed = m_decimalsGiven[symbol] ? m_symbols[symbol].decimals : kMaxPriceDecimals;
    if (decimals > allowed) {
        reader.Fail(std::string(what) + " " + Quoted(text) + " has more than " +
                    std::to_string(allowed) + " decimals");
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
    std::vector<std::string> fields;
    bool found = false;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
        long long date = 0;
        if (found) {
            reader.Fail("a second trade date");
            break;
        }
        if (!ParseInteger(fields[0], 19000101, 99991231, date) || !IsValidDate(date)) {
            reader.Fail("trade date " + Quoted(fields[0]) + " is not a date yyyymmdd");
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
    std::vector<std::string> fields;
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
    CCsvReader::OpenResult opened = reader.Open(
        {"market", "code", "name", "prev_close", "limit_up", "limit_down"}, {"decimals"});
    CFieldChecker check(reader);
    std::vector<std::string> fields;
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
            if (!ParseInteger(fields[6], kMinPriceDecimals, kMaxPriceDecimals, decimals)) {
                check.Fail("decimals " + Quoted(fields[6]) + " is not 2 or 3");
                break;
            }
            symbol.decimals = static_cast<int>(decimals);
            given = true;
        }
        if (!IsMarket(symbol.market)) {
            check.Fail("market " + std::to_string(symbol.market) + " is not in markets.csv");
            break;
        }
        if (IsSymbol(symbol.market, symbol.code)) {
            check.Fail("stock " + std::to_string(symbol.market) + " " + symbol.code +
                       " is listed twice");
            break;
        }
        symbol.nameGbk = TextCodec::CutGbk(symbol.nameGbk, kMaxNameBytes);
        const std::size_t index = m_symbols.size();
        // Codes are checked to 11 characters, so the key always fits.
        if (std::uint32_t* slot = m_symbolIndex.Insert(SymbolKey(symbol.market, symbol.code)))
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
    std::vector<std::string> fields;
    unsigned char market = 0;
    std::string code;
    std::uint64_t size = 0;
    if (m_progress && !VelkFileSize(VelkJoinPath(folder, "trades.csv"), size))
        size = 0;
    constexpr std::size_t kTradesPerLook = 16384;
    while (opened == CCsvReader::OpenResult::Ok && reader.Next(fields)) {
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
        Trade trade;
        int time = 0;
        if (!check.Time(fields[0], time) || !check.Market(fields[1], market) ||
            !check.Code(fields[2], code) || !check.Price("price", fields[3], trade.price) ||
            !check.Volume(fields[4], trade.volume))
            break;
        if (!IsMarket(market)) {
            check.Fail("market " + std::to_string(market) + " is not in markets.csv");
            break;
        }
        const int symbol = FindSymbol(market, code);
        if (symbol < 0) {
            check.Fail("stock " + std::to_string(market) + " " + code + " is not in symbols.csv");
            break;
        }
        if (!TakePriceDecimals(static_cast<std::size_t>(symbol), "price", fields[3], trade.price,
                               reader))
            break;
        trade.time = time;
        trade.symbol = static_cast<std::uint32_t>(symbol);
        m_trades.push_back(trade);
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
    std::vector<std::string> fields;
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
    std::vector<std::string> fields;
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
    std::vector<std::string> fields;
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
