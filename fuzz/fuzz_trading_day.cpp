// Splits one input into the CSV files of a trading-day folder (day, markets, symbols, trades,
// magic, signals, groups; each may be missing) and loads it as velk-host does. A day that
// does not load says which file and line are wrong; a day that loads holds only what its
// checks promise and replays through an engine that watches some of its stocks.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/CVelkAlert.h"
#include "fuzz/FuzzQuoteContext.h"
#include "fuzz/FuzzSupport.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"

using VelkFuzz::Require;

namespace {

const char* const kFiles[] = {"day.csv",   "markets.csv", "symbols.csv", "trades.csv",
                              "magic.csv", "signals.csv", "groups.csv"};
constexpr std::size_t kFileCount = sizeof kFiles / sizeof kFiles[0];

Ta_VELKPRICEALERT Watched(unsigned char market, const char* code, float upper, float lower)
{
    Ta_VELKPRICEALERT record{};
    record.m_byMarket = market;
    VelkCopyText(record.m_szCode, code);
    record.m_fUpper = upper;
    record.m_fLower = lower;
    for (int k = 0; k < 18; ++k)
        record.m_nMagic[k] = 1;
    return record;
}

std::string Bytes(const void* data, std::size_t size)
{
    return std::string(static_cast<const char*>(data), size);
}

// Conditions that watch the stocks the seeds trade: price limits, the system list with every
// switch on, and every magic signal.
void WriteConditions(const std::string& sysDir)
{
    Ta_ALERTSETTING setting{1, 1, 1, 1, 1, -1.0f, -1.0f, 50.0f, 2.0f, 100.0f, 0.1f};
    Ta_OTHERALERT options{};
    const Ta_VELKPRICEALERT stocks[] = {Watched(1, "600000", 8.6f, 8.4f),
                                        Watched(1, "600103", 3.0f, 2.5f),
                                        Watched(2, "000001", 20.0f, 1.0f)};
    std::string alert = Bytes(&setting, sizeof setting) + Bytes(&options, sizeof options);
    std::string magic;
    Ta_SYSTEMSWITCH switches{1, 1, 1, 2};
    std::string system = Bytes(&switches, sizeof switches);
    for (const Ta_VELKPRICEALERT& stock : stocks) {
        alert += Bytes(&stock, sizeof stock);
        magic += Bytes(&stock, sizeof stock);
        system += Bytes(&stock, sizeof stock);
    }
    Require(VelkReplaceFile(VelkJoinPath(sysDir, "alert.cfg"), alert));
    Require(VelkReplaceFile(VelkJoinPath(sysDir, "Magic.cfg"), magic));
    Require(VelkReplaceFile(VelkJoinPath(sysDir, "System_alert.cfg"), system));
}

// The price limits that WriteConditions sets, for the second evaluation.
struct CPriceWatch {
    unsigned char market;
    const char* code;
    float upper;
    float lower;
};
const CPriceWatch kPriceWatches[] = {
    {1, "600000", 8.6f, 8.4f}, {1, "600103", 3.0f, 2.5f}, {2, "000001", 20.0f, 1.0f}};

// One alert: the stock, the reason's text, the time, the price and whether it came from a
// signal.
using CAlert = std::tuple<unsigned, std::string, std::string, std::int32_t, float, bool>;

// The reasons the trading-day path raises for the watched lists, by code.
const char* const kReasonTexts[] = {"达到上限价", "达到下限价", "达到涨停价", "达到跌停价",
                                    "",           "",           "今日最高价", "今日最低价"};

const std::string& ReasonText(int code)
{
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> gbk;
        for (const char* text : kReasonTexts)
            gbk.push_back(TextCodec::Utf8ToGbk(text));
        return gbk;
    }();
    return texts[static_cast<std::size_t>(code)];
}

// The system list that WriteConditions sets: the day's high and low start at the stored
// fields, the last price seen at 0, every switch on.
struct CSystemWatch {
    unsigned char market;
    const char* code;
    float high;
    float low;
};
const CSystemWatch kSystemWatches[] = {
    {1, "600000", 8.6f, 8.4f}, {1, "600103", 3.0f, 2.5f}, {2, "000001", 20.0f, 1.0f}};

// The alerts worked out a second way, from the quotes the engine hears of, written from the
// rules rather than from the engine. Price limits: an upper limit fires when the price moves
// from below it to at or above it, a lower one from above to at or below, the last price seen
// starting at 0. The system list: a price beyond a known (non-zero) high or low is a new high
// or low and moves it; a non-zero price at or beyond the limit-up (limit-down) price of the
// quote fires once when it comes from below (above); a zero price (no trade) moves nothing. A
// quote whose day volume is still 0 is not evaluated at all.
class CAlertModel {
public:
    void Quote(unsigned char market, const std::string& code, std::int32_t time, float price,
               double dayVolume, float limitUp, float limitDown)
    {
        if (dayVolume == 0)
            return;
        for (std::size_t i = 0; i < std::size(kPriceWatches); ++i) {
            const CPriceWatch& watch = kPriceWatches[i];
            if (watch.market != market || code != watch.code)
                continue;
            float& last = m_priceLast[i];
            if (last < watch.upper && price >= watch.upper && price != 0)
                alerts.emplace_back(market, code, ReasonText(0), time, price, false);
            if (last > watch.lower && price <= watch.lower && price != 0)
                alerts.emplace_back(market, code, ReasonText(1), time, price, false);
            last = price;
        }
        for (std::size_t i = 0; i < std::size(kSystemWatches); ++i) {
            if (kSystemWatches[i].market != market || code != kSystemWatches[i].code)
                continue;
            SystemState& state = m_system[i];
            const float high = state.high;
            const float low = state.low;
            if (price != 0 && price > high && high > 0)
                alerts.emplace_back(market, code, ReasonText(6), time, price, false);
            if (price != 0 && price < low && low > 0)
                alerts.emplace_back(market, code, ReasonText(7), time, price, false);
            if (price > high && high > 0)
                state.high = price;
            if (price != 0 && price < low)
                state.low = price;
            if (price == 0)
                continue;
            if (price >= limitUp && limitUp > 0 && state.last < price)
                alerts.emplace_back(market, code, ReasonText(2), time, price, false);
            if (price <= limitDown && limitDown > 0 && state.last > price)
                alerts.emplace_back(market, code, ReasonText(3), time, price, false);
            state.last = price;
        }
    }
    // A signal of the day: an alert when the stock is on the magic list (all of
    // WriteConditions' stocks, every switch on) and its number is one of the switches' (0-12,
    // 15-18), named by the day's catalogue ("--" for a number it lacks) as far as the record's
    // field holds, at the signal's time, with the price the stock's quote shows then.
    void Signal(const CTradingDay& day, const CTradingDay::Signal& signal, double last)
    {
        const bool watched =
            std::any_of(std::begin(kPriceWatches), std::end(kPriceWatches), [&](const auto& w) {
                return w.market == signal.market && signal.code == w.code;
            });
        const bool switched = (signal.number >= 0 && signal.number <= 12) ||
                              (signal.number >= 15 && signal.number <= 18);
        if (!watched || !switched)
            return;
        std::string name = "--";
        for (const CTradingDay::MagicName& magic : day.MagicNames())
            if (magic.number == signal.number)
                name = magic.nameGbk;
        name = name.substr(0, std::min(name.find('\0'), sizeof(Ta_ALERTRECORD{}.m_szReason) - 1));
        alerts.emplace_back(signal.market, signal.code, name, signal.time, static_cast<float>(last),
                            true);
    }
    // The quote service's high and low seed the records of the code whose high is not known.
    void Seed(const std::string& code, float high, float low)
    {
        for (std::size_t i = 0; i < std::size(kSystemWatches); ++i)
            if (code == kSystemWatches[i].code && m_system[i].high == 0) {
                m_system[i].high = high;
                m_system[i].low = low;
            }
    }
    std::vector<CAlert> alerts;

private:
    struct SystemState {
        float high;
        float low;
        float last;
    };
    float m_priceLast[std::size(kPriceWatches)] = {};
    SystemState m_system[std::size(kSystemWatches)] = {
        {kSystemWatches[0].high, kSystemWatches[0].low, 0},
        {kSystemWatches[1].high, kSystemWatches[1].low, 0},
        {kSystemWatches[2].high, kSystemWatches[2].low, 0}};
};

// The alerts of the watched lists the engine recorded, in order: while a trade is handed to
// the engine those of the price and system lists, while a signal is every alert.
class CAlertRecorder final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        const std::string reason = VelkFieldText(record.m_szReason);
        if (inTrade && (reason.empty() || std::none_of(std::begin(kReasonTexts),
                                                       std::end(kReasonTexts), [&](const char* t) {
                                                           return reason == TextCodec::Utf8ToGbk(t);
                                                       })))
            return;
        // Packed fields are copied, never bound to a reference.
        const auto time = record.m_nTime;
        const float price = record.m_fPrice;
        alerts.emplace_back(record.m_byMarket, VelkFieldText(record.m_szCode), reason, time, price,
                            !inTrade);
    }
    bool inTrade = false;
    std::vector<CAlert> alerts;
};

// A signal's price is carried as text with the quote's decimals.
bool SamePrice(float recorded, float expected)
{
    // One the quote cannot carry is shown as none.
    if (!(expected >= 0 && expected <= std::numeric_limits<float>::max()))
        return recorded == 0;
    return std::fabs(recorded - expected) <= 0.006f + 1e-6f * std::fabs(expected);
}

struct CFuzzContext : VelkFuzz::CQuoteContext {
    CFuzzContext()
    {
        Require(VelkCreateDirectories(dir.File("day")) && VelkCreateDirectories(dir.File("SYS")));
        WriteConditions(dir.File("SYS"));
    }
};

CFuzzContext& Context()
{
    return VelkFuzz::TheContext<CFuzzContext>();
}

void CheckLoaded(const CTradingDay& day)
{
    std::set<unsigned> markets;
    for (const CTradingDay::Market& market : day.Markets())
        markets.insert(market.market);
    std::set<std::pair<unsigned, std::string>> symbols;
    for (const CTradingDay::Symbol& symbol : day.Symbols()) {
        Require(markets.count(symbol.market) == 1);
        Require(!symbol.code.empty() && symbol.code.size() < 12);
        Require(symbol.nameGbk.size() < 50);
        symbols.insert({symbol.market, symbol.code});
    }
    const auto& trades = day.Trades();
    Require(std::is_sorted(trades.begin(), trades.end(),
                           [](const auto& a, const auto& b) { return a.time < b.time; }));
    for (const CTradingDay::Trade& trade : trades) {
        Require(trade.symbol < day.Symbols().size());
        Require(std::isfinite(trade.price) && trade.price >= 0);
        Require(std::isfinite(trade.volume) && trade.volume >= 0);
    }
    for (const CTradingDay::Signal& signal : day.Signals())
        Require(symbols.count({signal.market, signal.code}) == 1);
    for (const CTradingDay::GroupMember& member : day.Groups())
        Require(symbols.count({member.market, member.code}) == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzContext& context = Context();
    const std::string folder = context.dir.File("day");
    const auto parts = VelkFuzz::SplitInput(data, size, kFileCount);
    for (std::size_t i = 0; i < kFileCount; ++i)
        VelkFuzz::PlaceFile(VelkJoinPath(folder, kFiles[i]), parts[i]);

    CTradingDay day;
    std::string error;
    if (!day.Load(folder, error)) {
        Require(std::any_of(std::begin(kFiles), std::end(kFiles), [&](const char* file) {
            return error.compare(0, std::char_traits<char>::length(file), file) == 0;
        }));
        return 0;
    }
    Require(error.empty());
    CheckLoaded(day);

    CDayReplay replay(day, context.store);
    replay.FillStore(context.dir.File("SYS"));
    CAlertModel model;
    CAlertRecorder recorder;
    std::size_t next = 0;
    std::size_t nextSignal = 0;
    bool started = false;
    std::vector<double> dayVolume(day.Symbols().size(), 0.0);
    std::vector<double> dayHigh(day.Symbols().size(), 0.0);
    std::vector<double> dayLow(day.Symbols().size(), 0.0);
    // The last trade's price of each stock, -1 before its first.
    std::vector<double> lastPrice(day.Symbols().size(), -1.0);
    replay.SetAfterEachTrade([&](unsigned char market, const std::string& code) {
        // Trades come in the day's order; the engine hears only of subscribed stocks.
        const CTradingDay::Trade& trade = day.Trades()[next++];
        const CTradingDay::Symbol& symbol = day.SymbolOf(trade);
        recorder.inTrade = context.store.IsSubscribed(market, code);
        const bool first =
            dayVolume[trade.symbol] == 0 && dayHigh[trade.symbol] == 0 && dayLow[trade.symbol] == 0;
        dayVolume[trade.symbol] += trade.volume;
        lastPrice[trade.symbol] = trade.price;
        if (first || trade.price > dayHigh[trade.symbol])
            dayHigh[trade.symbol] = trade.price;
        if (first || trade.price < dayLow[trade.symbol])
            dayLow[trade.symbol] = trade.price;
        if (!context.store.IsSubscribed(market, code) || dayVolume[trade.symbol] == 0)
            return;
        model.Seed(code, static_cast<float>(dayHigh[trade.symbol]),
                   static_cast<float>(dayLow[trade.symbol]));
        model.Quote(market, code, trade.time, static_cast<float>(trade.price),
                    dayVolume[trade.symbol], static_cast<float>(symbol.limitUp),
                    static_cast<float>(symbol.limitDown));
    });
    // After every call to the engine: one that was no trade's, after the engine's start, was
    // the next signal's.
    replay.SetAfterEachCall([&] {
        if (!started) {
            started = true;
        } else if (recorder.inTrade) {
            recorder.inTrade = false;
        } else if (nextSignal < day.Signals().size()) {
            const CTradingDay::Signal& signal = day.Signals()[nextSignal++];
            const int index = day.FindSymbol(signal.market, signal.code);
            double last = 0;
            if (index >= 0) {
                const auto i = static_cast<std::size_t>(index);
                last = lastPrice[i] >= 0 ? lastPrice[i] : day.Symbols()[i].prevClose;
            }
            model.Signal(day, signal, last);
        }
    });
    const CVelkServices services{};
    const CDayReplay::Totals totals = replay.Run(&services, context.dir.File("SYS"), &recorder);
    // A quote at 00:00:00 carries no time: the engine then takes the clock's.
    Require(recorder.alerts.size() == model.alerts.size());
    Require(nextSignal == day.Signals().size());
    for (std::size_t i = 0; i < model.alerts.size(); ++i) {
        CAlert expected = model.alerts[i];
        const CAlert& recorded = recorder.alerts[i];
        if (std::get<3>(expected) < 1)
            std::get<3>(expected) = std::get<3>(recorded);
        if (std::get<5>(expected) && SamePrice(std::get<4>(recorded), std::get<4>(expected)))
            std::get<4>(expected) = std::get<4>(recorded);
        Require(recorded == expected);
    }
    Require(totals.trades == static_cast<int>(day.Trades().size()));
    Require(totals.signals == static_cast<int>(day.Signals().size()));
    Require(totals.notifications <= totals.trades);
    return 0;
}
