#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "host/core/CTradingDay.h"
#include "host/core/IQuoteSource.h"
#include "hostlibs/CQuoteStore.h"

class CVelkAlert;

// Plays the quote application for one trading day: fills the quote service from the day's
// data, then drives an engine through the day in time order on the calling thread, as the
// host application's user-interface thread would.
class CDayReplay : public IQuoteSource, private ITickHistory {
public:
    using Totals = IQuoteSource::Totals;

    CDayReplay(const CTradingDay& day, CQuoteStore& store);
    ~CDayReplay() override;
    CDayReplay(const CDayReplay&) = delete;
    CDayReplay& operator=(const CDayReplay&) = delete;

    // Empties the store and fills it: markets, symbols with their fixed items, the signal
    // catalogue, the trade date, the users' stock groups, the system directory. From then on
    // the store answers tick requests from the trades replayed so far.
    void FillStore(const std::string& sysDir) override;

    // Constructs an engine with the given services, or with the default constructor (the
    // services the module registered) when there are none; then SetSYSPath, Start, replays the
    // day and destroys the engine. The observer hears of every alert as it is recorded.
    Totals Run(const CVelkServices* services, const std::string& sysDir,
               IVelkAlertObserver* observer);

    // Called after every notification handed to the engine, so that a host with an event queue
    // can deliver what the engine's windows posted meanwhile.
    void SetAfterEachCall(std::function<void()> afterEachCall)
    {
        m_afterEachCall = std::move(afterEachCall);
    }

    // Told of every trade as the quote service takes it in, before the engine hears of it.
    void SetAfterEachTrade(
        std::function<void(unsigned char market, const std::string& code)> afterEachTrade) override
    {
        m_afterEachTrade = std::move(afterEachTrade);
    }

    // The stocks on the engine's price, system and magic lists.
    static int WatchedStocks(CVelkAlert& engine);

    // Once the flag is set (by a signal handler, say) no further trade or signal is replayed:
    // Run then destroys its engine as at the end of the day.
    void SetStopFlag(const std::atomic<bool>* stop) { m_pStop = stop; }

    // Replays the day from its start into an engine that is already started.
    Totals Replay(CVelkAlert& engine);

    // The day step by step, for a host whose replay clock is driven by its user: BeginReplay
    // goes back to the start of the day (the quote service keeps what it was told so far), and
    // AdvanceTo replays every trade and signal up to and including the second `time`, or only
    // the first maxEvents of them.
    void BeginReplay() override;
    Totals AdvanceTo(CVelkAlert& engine, int time,
                     std::size_t maxEvents = std::numeric_limits<std::size_t>::max()) override;
    // The second of the next trade or signal, -1 when the day is over.
    int NextEventTime() const override;
    // The seconds of the day's first and last trade or signal, -1 for an empty day.
    int FirstEventTime() const override;
    int LastEventTime() const override;

    // The user the account service reports: the one in UserInfo.cfg, else the first user of
    // the stock groups.
    static std::string CurrentUser(const std::string& sysDir, const CTradingDay& day);

private:
    // What the quote service knows of one stock at the current moment of the replay.
    struct SymbolState {
        double last = 0;
        double high = 0;
        double low = 0;
        double volume = 0; // cumulative shares of the day
        double open = 0;
        double amount = 0; // price times shares, summed over the day's trades
        bool traded = false;
    };

    long TickCount(unsigned char market, const CString& code, const CString& date) const override;
    void TickRows(unsigned char market, const CString& code, const CString& date, long first,
                  long last, std::vector<std::vector<X1Format>>& rows) const override;

    const CTradingDay& m_day;
    CQuoteStore& m_store;
    std::function<void()> m_afterEachCall;
    const std::atomic<bool>* m_pStop = nullptr;
    std::function<void(unsigned char, const std::string&)> m_afterEachTrade;
    std::string m_strDate;
    // Where the replay stands: the next trade and the next signal of the day.
    std::size_t m_nextTrade = 0;
    std::size_t m_nextSignal = 0;
    // The trades of stock s, in time order, are m_vecBySymbol[m_vecSymbolStart[s] ..
    // m_vecSymbolStart[s + 1]) (positions in the day's trades): the tick history costs four
    // bytes a trade instead of a copied row.
    std::vector<std::uint32_t> m_vecSymbolStart;
    std::vector<std::uint32_t> m_vecBySymbol;
    // Per stock: the quote so far, and how many of its trades have been replayed.
    std::vector<SymbolState> m_vecStates;
    std::vector<std::uint32_t> m_vecReplayed;
};
