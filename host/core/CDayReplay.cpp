#include "host/core/CDayReplay.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "engine/CVelkAlert.h"
#include "host/core/TradeQuoteItems.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"

CDayReplay::CDayReplay(const CTradingDay& day, CQuoteStore& store)
    : m_day(day), m_store(store), m_strDate(day.TradeDateText())
{
    // A counting sort of the trades by stock; each stock's trades keep their time order.
    const std::size_t symbols = m_day.Symbols().size();
    const CTradingDay::TradeList& trades = m_day.Trades();
    m_vecSymbolStart.assign(symbols + 1, 0);
    for (const CTradingDay::Trade& trade : trades)
        ++m_vecSymbolStart[trade.symbol + 1];
    for (std::size_t s = 0; s < symbols; ++s)
        m_vecSymbolStart[s + 1] += m_vecSymbolStart[s];
    std::vector<std::uint32_t> next(m_vecSymbolStart.begin(), m_vecSymbolStart.end() - 1);
    m_vecBySymbol.resize(trades.size());
    std::uint32_t position = 0;
    for (const CTradingDay::Trade& trade : trades)
        m_vecBySymbol[next[trade.symbol]++] = position++;
    m_vecStates.resize(symbols);
    m_vecReplayed.assign(symbols, 0);
}

CDayReplay::~CDayReplay()
{
    if (m_store.TickHistory() == this)
        m_store.SetTickHistory(nullptr);
}

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
        // Only what the day knows: an item the store lacks reads as no data.
        if (symbol.fiveDayVolumePerMinute > 0)
            m_store.SetItem(symbol.market, symbol.code,
                            X1Format::Volume(QuoteItem::kFiveDayVolumePerMinute,
                                             symbol.fiveDayVolumePerMinute));
        if (symbol.circulatingShares > 0)
            m_store.SetItem(
                symbol.market, symbol.code,
                X1Format::Volume(QuoteItem::kCirculatingShares, symbol.circulatingShares));
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
    m_store.SetTickHistory(this);
}

CDayReplay::Totals CDayReplay::Run(const CVelkServices* services, const std::string& sysDir,
                                   IVelkAlertObserver* observer)
{
    auto engine =
        services ? std::make_unique<CVelkAlert>(*services) : std::make_unique<CVelkAlert>();
    CString path = sysDir;
    engine->SetSYSPath(path);
    engine->SetAlertObserver(observer);
    engine->Start();
    if (m_afterEachCall)
        m_afterEachCall();
    const int watched = WatchedStocks(*engine);
    Totals totals = Replay(*engine);
    totals.watched = watched;
    engine.reset();
    if (m_afterEachCall)
        m_afterEachCall();
    return totals;
}

int CDayReplay::WatchedStocks(CVelkAlert& engine)
{
    std::size_t watched = 0;
    std::vector<Ta_VELKPRICEALERT>* list = nullptr;
    engine.GetPriceAlter(&list);
    watched += list ? list->size() : 0;
    list = nullptr;
    engine.GetSystemAlert(&list);
    watched += list ? list->size() : 0;
    list = nullptr;
    engine.GetMagicAlter(&list);
    watched += list ? list->size() : 0;
    return static_cast<int>(watched);
}

CDayReplay::Totals CDayReplay::Replay(CVelkAlert& engine)
{
    BeginReplay();
    return AdvanceTo(engine, std::numeric_limits<int>::max());
}

void CDayReplay::BeginReplay()
{
    std::fill(m_vecStates.begin(), m_vecStates.end(), SymbolState{});
    std::fill(m_vecReplayed.begin(), m_vecReplayed.end(), 0);
    m_nextTrade = 0;
    m_nextSignal = 0;
}

int CDayReplay::NextEventTime() const
{
    const CTradingDay::TradeList& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    const bool trade = m_nextTrade < trades.size();
    const bool signal = m_nextSignal < signals.size();
    if (trade && signal)
        return std::min(trades[m_nextTrade].time, signals[m_nextSignal].time);
    if (trade)
        return trades[m_nextTrade].time;
    return signal ? signals[m_nextSignal].time : -1;
}

int CDayReplay::FirstEventTime() const
{
    const CTradingDay::TradeList& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    if (trades.empty())
        return signals.empty() ? -1 : signals.front().time;
    return signals.empty() ? trades.front().time
                           : std::min(trades.front().time, signals.front().time);
}

int CDayReplay::LastEventTime() const
{
    const CTradingDay::TradeList& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    if (trades.empty())
        return signals.empty() ? -1 : signals.back().time;
    return signals.empty() ? trades.back().time : std::max(trades.back().time, signals.back().time);
}

CDayReplay::Totals CDayReplay::AdvanceTo(CVelkAlert& engine, int time, std::size_t maxEvents)
{
    Totals totals;
    const CTradingDay::TradeList& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    std::size_t& t = m_nextTrade;
    std::size_t& s = m_nextSignal;
    for (std::size_t done = 0; done < maxEvents && (t < trades.size() || s < signals.size()) &&
                               !(m_pStop && m_pStop->load(std::memory_order_relaxed));
         ++done) {
        // A trade and a signal of the same second: the trade first, so that the signal row
        // carries the price it was computed from.
        if (t < trades.size() && (s >= signals.size() || trades[t].time <= signals[s].time)) {
            if (trades[t].time > time)
                break;
            const CTradingDay::Trade& trade = trades[t++];
            const CTradingDay::Symbol& symbol = m_day.SymbolOf(trade);
            SymbolState& state = m_vecStates[trade.symbol];
            state.last = trade.price;
            state.volume += trade.volume;
            state.amount += trade.price * trade.volume;
            if (!state.traded)
                state.open = trade.price;
            if (!state.traded || trade.price > state.high)
                state.high = trade.price;
            if (!state.traded || trade.price < state.low)
                state.low = trade.price;
            state.traded = true;

            SetTradeItems(m_store, symbol.market, symbol.code, state, trade.time);
            ++m_vecReplayed[trade.symbol];
            ++totals.trades;
            if (m_afterEachTrade)
                m_afterEachTrade(symbol.market, symbol.code);
            if (m_store.IsSubscribed(symbol.market, symbol.code)) {
                CMemoryInfo info(symbol.market, symbol.code);
                engine.vRecvNewMemory(&info);
                ++totals.notifications;
                if (m_afterEachCall)
                    m_afterEachCall();
            }
        } else {
            if (signals[s].time > time)
                break;
            const CTradingDay::Signal& signal = signals[s++];
            const int index = m_day.FindSymbol(signal.market, signal.code);
            // Before the stock's first trade its quote shows the previous close.
            double last = 0;
            double volume = 0;
            if (index >= 0) {
                const SymbolState& state = m_vecStates[static_cast<std::size_t>(index)];
                last = state.traded ? state.last
                                    : m_day.Symbols()[static_cast<std::size_t>(index)].prevClose;
                volume = state.volume;
            }
            m_store.AddMagicRow(signal.market, m_strDate,
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

long CDayReplay::TickCount(unsigned char market, const CString& code, const CString& date) const
{
    if (date != m_strDate)
        return 0;
    const int index = m_day.FindSymbol(market, code);
    return index < 0 ? 0 : static_cast<long>(m_vecReplayed[static_cast<std::size_t>(index)]);
}

void CDayReplay::TickRows(unsigned char market, const CString& code, const CString& date,
                          long first, long last, std::vector<std::vector<X1Format>>& rows) const
{
    const long count = TickCount(market, code, date);
    if (first < 0 || last > count || first >= last)
        return;
    const std::size_t begin =
        m_vecSymbolStart[static_cast<std::size_t>(m_day.FindSymbol(market, code))];
    rows.reserve(rows.size() + static_cast<std::size_t>(last - first));
    for (long i = first; i < last; ++i) {
        const CTradingDay::Trade& trade =
            m_day.Trades()[m_vecBySymbol[begin + static_cast<std::size_t>(i)]];
        rows.push_back({X1Format::Price(125, trade.price), TimeItem(143, trade.time),
                        X1Format::Volume(413, trade.volume)});
    }
}
