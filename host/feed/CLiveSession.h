#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/VelkServices.h"
#include "host/feed/CFeedMessage.h"
#include "host/feed/IFeedSink.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/CShortKeyTable.h"

class CVelkAlert;

// Plays the quote application for a market as it trades: the feed's messages fill the quote
// service and drive one engine on the calling thread, exactly as a replay of the same day
// would (the same items, the same notifications, in arrival order). The engine is started at
// the first trade or signal, so that the symbols and groups sent before it are known to it.
class CLiveSession : public IFeedSink, private ITickHistory {
public:
    using Problem = IFeedSink::Problem;

    // services null: the engine takes the services the module registered.
    CLiveSession(CQuoteStore& store, std::string sysDir, const CVelkServices* services,
                 IVelkAlertObserver* observer);
    ~CLiveSession() override;
    CLiveSession(const CLiveSession&) = delete;
    CLiveSession& operator=(const CLiveSession&) = delete;

    // After every call into the engine, and after every trade taken in, as the replay has them.
    void SetAfterEachCall(std::function<void()> afterEachCall)
    {
        m_afterEachCall = std::move(afterEachCall);
    }
    void SetAfterEachTrade(std::function<void(unsigned char, const std::string&)> afterEachTrade)
    {
        m_afterEachTrade = std::move(afterEachTrade);
    }

    // Where the engine comes from when the session does not own it: the desktop program's day
    // session starts it (with its windows) at the first trade and ends it at a new day. start
    // answers the started engine; both are called on the session's thread.
    void SetEngineHost(std::function<CVelkAlert*()> start, std::function<void()> end)
    {
        m_engineStart = std::move(start);
        m_engineEnd = std::move(end);
    }

    // Takes one parsed message. Anything but None leaves the session as it was and why in why.
    Problem Apply(const CFeedMessage& message, std::string& why);
    Problem Take(const CFeedMessage& message, long line, std::string& why) override
    {
        (void)line;
        return Apply(message, why);
    }
    // The connection was lost and is back: the source will send the day again from its hello,
    // so every trade and signal at or before the last one already taken is skipped.
    void Reconnected() override;
    // Starts the engine if the feed never did (a day without trades still has its day file),
    // then destroys it: the day's alerts are written.
    void Finish();

    bool Ended() const override { return m_bEnded; }
    int TradeDate() const { return m_nTradeDate; }
    long long Trades() const { return m_nTrades; }
    std::size_t SymbolCount() const { return m_symbols.size(); }
    // The newest trade's time of day in milliseconds, -1 before the first.
    int NewestTradeMillis() const { return m_nNewestMillis; }
    CVelkAlert* Engine() const { return m_pActive; }

private:
    struct Tick {
        std::int32_t time = 0;
        double price = 0;
        double volume = 0;
    };
    struct Symbol {
        unsigned char market = 0;
        std::string code;
        double prevClose = 0;
        double limitUp = 0;
        int decimals = 2;
        bool decimalsGiven = false;
        // The quote so far today.
        double last = 0;
        double high = 0;
        double low = 0;
        double volume = 0;
        double open = 0;
        double amount = 0;
        bool traded = false;
        int lastMillis = -1;
        // After a reconnection: trades up to here were taken before it.
        int resumeAfterMillis = -1;
        std::vector<Tick> ticks;
    };

    Problem Hello(const CFeedMessage& message, std::string& why);
    Problem AddSymbol(const CFeedMessage& message, std::string& why);
    Problem Trade(const CFeedMessage& message, std::string& why);
    Problem Signal(const CFeedMessage& message, std::string& why);
    Problem Group(const CFeedMessage& message, std::string& why);
    void StartEngine();
    void EndEngine();
    void StartDay(int tradeDate);
    Symbol* Find(unsigned char market, const std::string& code);
    bool PriceFits(Symbol& symbol, double price, const char* what, std::string& why);
    bool DecimalsFit(Symbol& symbol, int decimals, const char* what, std::string& why);
    std::string CurrentUser() const;

    long TickCount(unsigned char market, const CString& code, const CString& date) const override;
    void TickRows(unsigned char market, const CString& code, const CString& date, long first,
                  long last, std::vector<std::vector<X1Format>>& rows) const override;

    CQuoteStore& m_store;
    std::string m_strSysDir;
    std::unique_ptr<CVelkServices> m_pServices;
    IVelkAlertObserver* m_pObserver;
    std::unique_ptr<CVelkAlert> m_pEngine; // when the session owns its engine
    CVelkAlert* m_pActive = nullptr;       // the engine fed, owned or hosted
    std::function<CVelkAlert*()> m_engineStart;
    std::function<void()> m_engineEnd;
    std::function<void()> m_afterEachCall;
    std::function<void(unsigned char, const std::string&)> m_afterEachTrade;

    int m_nTradeDate = 0;
    std::string m_strDate;
    std::vector<unsigned char> m_markets;
    std::vector<Symbol> m_symbols;
    CShortKeyTable<std::uint32_t> m_index; // market byte and code -> position in m_symbols
    std::set<std::pair<std::string, std::string>> m_groups;
    std::string m_strFirstGroupUser;
    int m_nLastSignalMillis = -1;
    int m_nResumeSignalsAfter = -1;
    int m_nNewestMillis = -1;
    long long m_nTrades = 0;
    bool m_bEnded = false;
};
