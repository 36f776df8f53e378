#include "CDayReplay.h"

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
    Totals totals;
    const std::string date = m_day.TradeDateText();
    std::map<SymbolKey, SymbolState> states;
    std::map<SymbolKey, double> prevClose;
    for (const CTradingDay::Symbol& symbol : m_day.Symbols())
        prevClose[{symbol.market, symbol.code}] = symbol.prevClose;

    const std::vector<CTradingDay::Trade>& trades = m_day.Trades();
    const std::vector<CTradingDay::Signal>& signals = m_day.Signals();
    std::size_t t = 0;
    std::size_t s = 0;
    while (t < trades.size() || s < signals.size()) {
        // A trade and a signal of the same second: the trade first, so that the signal row
        // carries the price it was computed from.
        if (t < trades.size() && (s >= signals.size() || trades[t].time <= signals[s].time)) {
            const CTradingDay::Trade& trade = trades[t++];
            SymbolState& state = states[{trade.market, trade.code}];
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
            if (m_store.IsSubscribed(trade.market, trade.code)) {
                CMemoryInfo info(trade.market, trade.code);
                engine.vRecvNewMemory(&info);
                ++totals.notifications;
                if (m_afterEachCall)
                    m_afterEachCall();
            }
        } else {
            const CTradingDay::Signal& signal = signals[s++];
            SymbolKey key{signal.market, signal.code};
            auto state = states.find(key);
            // Before the stock's first trade its quote shows the previous close.
            double last = state != states.end() ? state->second.last : prevClose[key];
            double volume = state != states.end() ? state->second.volume : 0.0;
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
