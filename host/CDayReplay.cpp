#include "CDayReplay.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "CQuoteStore.h"
#include "CVelkAlert.h"
#include "VelkFile.h"

namespace {

using SymbolKey = std::pair<unsigned char, std::string>;

// What the quote service knows of one stock at the current moment of the replay.
struct SymbolState {
    double last = 0;
    double high = 0;
    double low = 0;
    double volume = 0; // cumulative shares of the day
    bool traded = false;
};

X1Format TimeItem(unsigned short item, int seconds)
{
    return X1Format::Time(item, seconds / 3600, seconds / 60 % 60, seconds % 60);
}

} // namespace

// Where the replay stands in the day, and what the quote service knows of every stock so far.
struct CDayReplay::Cursor {
    std::string date;
    std::size_t trade = 0;
    std::size_t signal = 0;
    std::map<SymbolKey, SymbolState> states;
    std::map<SymbolKey, double> prevClose;
};

CDayReplay::CDayReplay(const CTradingDay& day, CQuoteStore& store) : m_day(day), m_store(store) {}

CDayReplay::~CDayReplay() = default;

std::string CDayReplay::CurrentUser(const std::string& sysDir, const CTradingDay& day)
{
    std::string bytes;
    if (VelkReadFile(VelkJoinPath(sysDir, "UserInfo.cfg"), bytes) && !bytes.empty()) {
        std::string user = bytes.substr(0, 16);
        std::size_t end = user.find('\0');
        if (end != std::string::npos)
            user.resize(end);
        return user;
    }
    return day.Groups().empty() ? std::string() : day.Groups().front().userGbk;
}

void CDayReplay::FillStore(const std::string& sysDir)
{
    m_store.Reset();
    m_store.SetSysPath(sysDir);
    m_store.SetTradeDate(m_day.TradeDate());
    for (const CTradingDay::Market& market : m_day.Markets())
        m_store.AddMarket(market.market, market.extGbk, market.level1);
    for (const CTradingDay::Symbol& symbol : m_day.Symbols()) {
        m_store.AddSymbol(symbol.market, symbol.code, symbol.nameGbk);
        m_store.SetPriceDecimals(symbol.market, symbol.code, symbol.decimals);
        m_store.SetItem(symbol.market, symbol.code, X1Format::Price(129, symbol.prevClose));
        m_store.SetItem(symbol.market, symbol.code, X1Format::Price(132, symbol.limitUp));
        m_store.SetItem(symbol.market, symbol.code, X1Format::Price(133, symbol.limitDown));
    }

    std::vector<CString> numbers;
    std::vector<CString> names;
    for (const CTradingDay::MagicName& magic : m_day.MagicNames()) {
        numbers.push_back(std::to_string(magic.number));
        names.push_back(magic.nameGbk);
    }
    m_store.SetMagicCatalogue(std::move(numbers), std::move(names));

    // Groups keep the order in which they and their stocks first appear.
    std::vector<std::pair<std::string, std::string>> groupOrder;
    std::map<std::pair<std::string, std::string>, std::vector<CSymbolInfo>> groups;
    for (const CTradingDay::GroupMember& member : m_day.Groups()) {
        auto key = std::make_pair(member.userGbk, member.groupGbk);
        if (groups.find(key) == groups.end())
            groupOrder.push_back(key);
        groups[key].emplace_back(member.market, member.code);
    }
    for (const auto& key : groupOrder)
        m_store.AddUserGroup(key.first, key.second, groups[key]);
    m_store.SetCurrentUser(CurrentUser(sysDir, m_day));
}

CDayReplay::Totals CDayReplay::Run(const CVelkServices* services, const std::string& sysDir,
                                   IVelkAlertObserver* observer)
{
    auto engine = services ? std::make_unique<CVelkAlert>(*services) : std::make_unique<CVelkAlert>();
    CString path = sysDir;
    engine->SetSYSPath(path);
    engine->SetAlertObserver(observer);
    engine->Start();
    if (m_afterEachCall)
        m_afterEachCall();
    Totals totals = Replay(*engine);
    engine.reset();
    if (m_afterEachCall)
        m_afterEachCall();
    return totals;
}

CDayReplay::Totals CDayReplay::Replay(CVelkAlert& engine)
{
    BeginReplay();
    return AdvanceTo(engine, std::numeric_limits<int>::max());
}

void CDayReplay::BeginReplay()
{
    m_pCursor = std::make_unique<Cursor>();
    m_pCursor->date = m_day.TradeDateText();
    for (const CTradingDay::Symbol& symbol : m_day.Symbols())
        m_pCursor->prevClose[{symbol.market, symbol.code}] = symbol.prevClose;
}

int CDayReplay::NextEventTime() const
{
    const std::size_t t = m_pCursor ? m_pCursor->trade : 0;
    const std::size_t s = m_pCursor ? m_pCursor->signal : 0;
    const std::vector<CTradingDay::Trade>& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    if (t < trades.size() && s < signals.size())
        return std::min(trades[t].time, signals[s].time);
    if (t < trades.size())
        return trades[t].time;
    if (s < signals.size())
        return signals[s].time;
    return -1;
}

int CDayReplay::FirstEventTime() const
{
    const std::vector<CTradingDay::Trade>& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    if (trades.empty())
        return signals.empty() ? -1 : signals.front().time;
    return signals.empty() ? trades.front().time : std::min(trades.front().time, signals.front().time);
}

int CDayReplay::LastEventTime() const
{
    const std::vector<CTradingDay::Trade>& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    if (trades.empty())
        return signals.empty() ? -1 : signals.back().time;
    return signals.empty() ? trades.back().time : std::max(trades.back().time, signals.back().time);
}

CDayReplay::Totals CDayReplay::AdvanceTo(CVelkAlert& engine, int time, std::size_t maxEvents)
{
    if (!m_pCursor)
        BeginReplay();
    Cursor& cursor = *m_pCursor;
    Totals totals;
    const std::string& date = cursor.date;
    const std::vector<CTradingDay::Trade>& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    std::size_t& t = cursor.trade;
    std::size_t& s = cursor.signal;
    for (std::size_t done = 0; done < maxEvents && (t < trades.size() || s < signals.size()); ++done) {
        // A trade and a signal of the same second: the trade first, so that the signal row
        // carries the price it was computed from.
        if (t < trades.size() && (s >= signals.size() || trades[t].time <= signals[s].time)) {
            if (trades[t].time > time)
                break;
            const CTradingDay::Trade& trade = trades[t++];
            SymbolState& state = cursor.states[{trade.market, trade.code}];
            state.last = trade.price;
            state.volume += trade.volume;
            if (!state.traded || trade.price > state.high)
                state.high = trade.price;
            if (!state.traded || trade.price < state.low)
                state.low = trade.price;
            state.traded = true;

            m_store.SetItem(trade.market, trade.code, X1Format::Price(125, state.last));
            m_store.SetItem(trade.market, trade.code, X1Format::Price(182, state.last));
            m_store.SetItem(trade.market, trade.code, X1Format::Volume(413, state.volume));
            m_store.SetItem(trade.market, trade.code, X1Format::Price(130, state.high));
            m_store.SetItem(trade.market, trade.code, X1Format::Price(131, state.low));
            m_store.SetItem(trade.market, trade.code, TimeItem(143, trade.time));
            m_store.AddTick(trade.market, trade.code, date,
                            {X1Format::Price(125, trade.price), TimeItem(143, trade.time),
                             X1Format::Volume(413, trade.volume)});
            ++totals.trades;
            if (m_afterEachTrade)
                m_afterEachTrade(trade.market, trade.code);
            if (m_store.IsSubscribed(trade.market, trade.code)) {
                CMemoryInfo info(trade.market, trade.code);
                engine.vRecvNewMemory(&info);
                ++totals.notifications;
                if (m_afterEachCall)
                    m_afterEachCall();
            }
        } else {
            if (signals[s].time > time)
                break;
            const CTradingDay::Signal& signal = signals[s++];
            SymbolKey key{signal.market, signal.code};
            auto state = cursor.states.find(key);
            // Before the stock's first trade its quote shows the previous close.
            double last = state != cursor.states.end() ? state->second.last : cursor.prevClose[key];
            double volume = state != cursor.states.end() ? state->second.volume : 0.0;
            m_store.AddMagicRow(signal.market, date,
                                {X1Format::Text(1018, signal.code), TimeItem(143, signal.time),
                                 X1Format::Price(125, last), X1Format::Volume(410, volume),
                                 X1Format::Integer(1994, signal.number)});
            engine.GetNewMagicSignal(signal.market);
            ++totals.signals;
            if (m_afterEachCall)
                m_afterEachCall();
        }
    }
    return totals;
}
