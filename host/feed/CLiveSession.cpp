#include "host/feed/CLiveSession.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "engine/CVelkAlert.h"
#include "host/core/TradeQuoteItems.h"
#include "host/feed/CFeedFieldRules.h"
#include "hostapi/QuoteItems.h"
#include "platform/core/VelkFile.h"

namespace {

std::string Key(unsigned char market, const std::string& code)
{
    std::string key(1, static_cast<char>(market));
    key += code;
    return key;
}

// The initials as the keyboard wizard types them: letters and digits, lower case. Anything else
// (a full reading, hanzi, blanks) is no set of initials and is not passed on.
std::string PinyinInitials(const std::string& text)
{
    std::string initials;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || !std::isalnum(byte))
            return {};
        initials += static_cast<char>(std::tolower(byte));
    }
    return initials;
}

double RoundTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

} // namespace

CLiveSession::CLiveSession(CQuoteStore& store, std::string sysDir, const CVelkServices* services,
                           IVelkAlertObserver* observer)
    : m_store(store), m_strSysDir(std::move(sysDir)),
      m_pServices(services ? std::make_unique<CVelkServices>(*services) : nullptr),
      m_pObserver(observer)
{
}

CLiveSession::~CLiveSession()
{
    // A hosted engine stays with its host.
    m_pActive = nullptr;
    m_pEngine.reset();
    if (m_store.TickHistory() == this)
        m_store.SetTickHistory(nullptr);
}

CLiveSession::Problem CLiveSession::Apply(const CFeedMessage& message, std::string& why)
{
    using Kind = CFeedMessage::Kind;
    if (message.kind == Kind::Hello)
        return Hello(message, why);
    if (message.kind == Kind::Heartbeat)
        return Problem::None;
    if (message.kind == Kind::End) {
        m_bEnded = true;
        return Problem::None;
    }
    if (m_nTradeDate == 0) {
        why = "comes before the hello";
        return Problem::BadField;
    }
    switch (message.kind) {
    case Kind::Symbol:
        return AddSymbol(message, why);
    case Kind::Trade:
        return Trade(message, why);
    case Kind::Signal:
        return Signal(message, why);
    case Kind::Group:
        return Group(message, why);
    default:
        return Problem::None;
    }
}

CLiveSession::Problem CLiveSession::Hello(const CFeedMessage& message, std::string& why)
{
    if (message.version > 1) {
        why = "protocol version " + std::to_string(message.version) + " is newer than 1";
        return Problem::BadField;
    }
    if (m_nTradeDate == 0) {
        m_store.Reset();
        m_store.SetSysPath(m_strSysDir);
        m_store.SetTickHistory(this);
        StartDay(message.tradeDate);
    } else if (message.tradeDate != m_nTradeDate) {
        StartDay(message.tradeDate);
    }
    for (const CFeedMessage::Market& market : message.markets) {
        if (std::find(m_markets.begin(), m_markets.end(), market.market) == m_markets.end()) {
            m_markets.push_back(market.market);
            m_store.AddMarket(market.market, market.extGbk, market.level1);
        }
    }
    if (!message.magicNames.empty()) {
        std::vector<CString> numbers;
        std::vector<CString> names;
        for (const CFeedMessage::MagicName& magic : message.magicNames) {
            numbers.push_back(std::to_string(magic.number));
            names.push_back(magic.nameGbk);
        }
        m_store.SetMagicCatalogue(std::move(numbers), std::move(names));
    }
    return Problem::None;
}

void CLiveSession::StartDay(int tradeDate)
{
    const bool newDay = m_nTradeDate != 0;
    if (newDay && m_pActive) {
        // The day ends as a run ends: the engine goes while the quote service still reports
        // the old date, so its alert list window writes that day's file. Clearing the list in
        // place would lose it, as the window writes only at the end and under the date of then.
        // The next trade starts the new day's engine with its highs and lows at zero.
        EndEngine();
        if (m_afterEachCall)
            m_afterEachCall();
    }
    m_nTradeDate = tradeDate;
    char text[16];
    std::snprintf(text, sizeof text, "%08d", tradeDate);
    m_strDate = text;
    m_store.SetTradeDate(tradeDate);
    if (!newDay)
        return;
    // The quotes of yesterday are gone; the symbols stay until the source says otherwise.
    for (Symbol& symbol : m_symbols) {
        const double prevClose = symbol.traded ? symbol.last : symbol.prevClose;
        Symbol fresh;
        fresh.market = symbol.market;
        fresh.code = std::move(symbol.code);
        fresh.prevClose = prevClose;
        fresh.limitUp = symbol.limitUp;
        fresh.decimals = symbol.decimals;
        fresh.decimalsGiven = symbol.decimalsGiven;
        // The service reports the close the session takes for the new day, so that the rules
        // on the change since the close see what the price checks see.
        m_store.SetItem(fresh.market, fresh.code, X1Format::Price(129, prevClose));
        ClearTradeItems(m_store, fresh.market, fresh.code);
        symbol = std::move(fresh);
        // Whoever shows the quotes of traded stocks shows these afresh too.
        if (m_afterEachTrade)
            m_afterEachTrade(symbol.market, symbol.code);
    }
    m_nLastSignalMillis = m_nResumeSignalsAfter = m_nNewestMillis = -1;
}

void CLiveSession::Reconnected()
{
    for (Symbol& symbol : m_symbols)
        symbol.resumeAfterMillis = symbol.lastMillis;
    m_nResumeSignalsAfter = m_nLastSignalMillis;
}

CLiveSession::Symbol* CLiveSession::Find(unsigned char market, const std::string& code)
{
    const std::uint32_t* index = m_index.Find(Key(market, code));
    return index ? &m_symbols[*index] : nullptr;
}

bool CLiveSession::PriceFits(Symbol& symbol, double price, const char* what, std::string& why)
{
    return DecimalsFit(symbol, CFeedFieldRules::DecimalsOf(price), what, why);
}

bool CLiveSession::DecimalsFit(Symbol& symbol, int decimals, const char* what, std::string& why)
{
    if (decimals <= symbol.decimals)
        return true;
    if (symbol.decimalsGiven || decimals > CFeedFieldRules::kMaxPriceDecimals) {
        why = std::string(what) + " has more than " + std::to_string(symbol.decimals) + " decimals";
        return false;
    }
    return true;
}

CLiveSession::Problem CLiveSession::AddSymbol(const CFeedMessage& message, std::string& why)
{
    if (std::find(m_markets.begin(), m_markets.end(), message.market) == m_markets.end()) {
        why = "market " + std::to_string(message.market) + " is not in the hello";
        return Problem::BadField;
    }
    Symbol incoming;
    incoming.market = message.market;
    incoming.code = message.code;
    incoming.prevClose = message.prevClose;
    incoming.decimalsGiven = message.decimals != 0;
    incoming.decimals = message.decimals != 0 ? message.decimals : 2;
    double limitUp = message.limitUp;
    double limitDown = message.limitDown;
    for (auto [price, what] :
         {std::pair{message.prevClose, "prev_close"}, std::pair{limitUp, "limit_up"},
          std::pair{limitDown, "limit_down"}}) {
        if (!PriceFits(incoming, price, what, why))
            return Problem::BadPrice;
        incoming.decimals = std::max(incoming.decimals, CFeedFieldRules::DecimalsOf(price));
    }
    if (message.limitRatio > 0 && message.prevClose > 0) {
        if (limitUp == 0)
            limitUp = RoundTo(message.prevClose * (1 + message.limitRatio), incoming.decimals);
        if (limitDown == 0)
            limitDown = RoundTo(message.prevClose * (1 - message.limitRatio), incoming.decimals);
    }

    incoming.limitUp = limitUp;
    Symbol* symbol = Find(message.market, message.code);
    if (!symbol) {
        if (std::uint32_t* slot = m_index.Insert(Key(message.market, message.code)))
            *slot = static_cast<std::uint32_t>(m_symbols.size());
        m_symbols.push_back(std::move(incoming));
        symbol = &m_symbols.back();
    } else {
        // Sent again (a reconnection, a correction): the day so far stays.
        symbol->prevClose = incoming.prevClose;
        symbol->limitUp = incoming.limitUp;
        symbol->decimalsGiven = incoming.decimalsGiven;
        symbol->decimals = incoming.decimalsGiven ? incoming.decimals
                                                  : std::max(symbol->decimals, incoming.decimals);
    }
    m_store.AddSymbol(message.market, message.code, message.nameGbk);
    m_store.SetPriceDecimals(message.market, message.code, symbol->decimals);
    m_store.SetItem(message.market, message.code, X1Format::Price(129, message.prevClose));
    m_store.SetItem(message.market, message.code, X1Format::Price(132, limitUp));
    m_store.SetItem(message.market, message.code, X1Format::Price(133, limitDown));
    // The optional data as a day folder's symbols.csv gives it: only what the source sends, so
    // a correction without it keeps what the service knew, and an item never sent reads as no
    // data (the rules that need it stay silent for the stock).
    if (message.fiveDayVolumePerMinute > 0)
        m_store.SetItem(
            message.market, message.code,
            X1Format::Volume(QuoteItem::kFiveDayVolumePerMinute, message.fiveDayVolumePerMinute));
    if (message.circulatingShares > 0)
        m_store.SetItem(message.market, message.code,
                        X1Format::Volume(QuoteItem::kCirculatingShares, message.circulatingShares));
    if (const std::string initials = PinyinInitials(message.pinyin); !initials.empty())
        m_store.SetItem(message.market, message.code, X1Format::Text(QuoteItem::kPinyin, initials));
    return Problem::None;
}

CLiveSession::Problem CLiveSession::Trade(const CFeedMessage& message, std::string& why)
{
    Symbol* found = Find(message.market, message.code);
    if (!found) {
        why = "stock " + std::to_string(message.market) + " " + message.code + " is not known";
        return Problem::UnknownSymbol;
    }
    Symbol& symbol = *found;
    if (message.timeMillis <= symbol.resumeAfterMillis) {
        why = "was taken before the reconnection";
        return Problem::Duplicate;
    }
    if (message.timeMillis < symbol.lastMillis) {
        why = "goes back in time for " + message.code;
        return Problem::TimeBackwards;
    }
    const int decimals = message.priceDecimals;
    if (!DecimalsFit(symbol, decimals, "price", why))
        return Problem::BadPrice;
    if (const char* beyond =
            CFeedFieldRules::TradePrice(message.price, symbol.limitUp, symbol.prevClose)) {
        why = beyond;
        return Problem::BadPrice;
    }
    if (decimals > symbol.decimals) {
        symbol.decimals = decimals;
        m_store.SetPriceDecimals(symbol.market, symbol.code, decimals);
    }
    if (!m_pActive)
        StartEngine();

    symbol.lastMillis = message.timeMillis;
    m_nNewestMillis = std::max(m_nNewestMillis, message.timeMillis);
    symbol.last = message.price;
    symbol.volume =
        message.cumulativeVolume >= 0 ? message.cumulativeVolume : symbol.volume + message.volume;
    // A source that counts the day's money itself is taken at its word, as with the volume.
    symbol.amount =
        message.amount >= 0 ? message.amount : symbol.amount + message.price * message.volume;
    if (!symbol.traded)
        symbol.open = message.price;
    if (!symbol.traded || message.price > symbol.high)
        symbol.high = message.price;
    if (!symbol.traded || message.price < symbol.low)
        symbol.low = message.price;
    symbol.traded = true;
    symbol.ticks.push_back({message.time, message.price, message.volume});
    ++m_nTrades;

    SetTradeItems(m_store, symbol.market, symbol.code, symbol, message.time);
    if (m_afterEachTrade)
        m_afterEachTrade(symbol.market, symbol.code);
    if (m_pActive && m_store.IsSubscribed(symbol.market, symbol.code)) {
        CMemoryInfo info(symbol.market, symbol.code);
        m_pActive->vRecvNewMemory(&info);
        if (m_afterEachCall)
            m_afterEachCall();
    }
    return Problem::None;
}

CLiveSession::Problem CLiveSession::Signal(const CFeedMessage& message, std::string& why)
{
    Symbol* symbol = Find(message.market, message.code);
    if (!symbol) {
        why = "stock " + std::to_string(message.market) + " " + message.code + " is not known";
        return Problem::UnknownSymbol;
    }
    if (message.timeMillis <= m_nResumeSignalsAfter) {
        why = "was taken before the reconnection";
        return Problem::Duplicate;
    }
    if (!m_pActive)
        StartEngine();
    m_nLastSignalMillis = std::max(m_nLastSignalMillis, message.timeMillis);
    // Before the stock's first trade its quote shows the previous close.
    const double last = symbol->traded ? symbol->last : symbol->prevClose;
    m_store.AddMagicRow(message.market, m_strDate,
                        {X1Format::Text(1018, message.code), TimeItem(143, message.time),
                         X1Format::Price(125, last), X1Format::Volume(410, symbol->volume),
                         X1Format::Integer(1994, message.number)});
    if (m_pActive)
        m_pActive->GetNewMagicSignal(message.market);
    if (m_afterEachCall)
        m_afterEachCall();
    return Problem::None;
}

CLiveSession::Problem CLiveSession::Group(const CFeedMessage& message, std::string& why)
{
    std::vector<CSymbolInfo> stocks;
    // A host that follows one share of the market (one NATS subject of several) is told only
    // its share's stocks: a group's other members are left out, not the whole group.
    for (const auto& [market, code] : message.members)
        if (Find(market, code))
            stocks.emplace_back(market, code);
    if (stocks.empty() && !message.members.empty()) {
        why = "no member of the group is known";
        return Problem::UnknownSymbol;
    }
    // A source sends its groups again after a reconnection; they are the same groups.
    if (!m_groups.insert({message.userGbk, message.groupGbk}).second)
        return Problem::None;
    if (m_strFirstGroupUser.empty())
        m_strFirstGroupUser = message.userGbk;
    m_store.AddUserGroup(message.userGbk, message.groupGbk, std::move(stocks));
    return Problem::None;
}

std::string CLiveSession::CurrentUser() const
{
    std::string bytes;
    if (VelkReadFile(VelkJoinPath(m_strSysDir, "UserInfo.cfg"), bytes) && !bytes.empty()) {
        std::string user = bytes.substr(0, 16);
        const std::size_t end = user.find('\0');
        if (end != std::string::npos)
            user.resize(end);
        return user;
    }
    return m_strFirstGroupUser;
}

void CLiveSession::StartEngine()
{
    if (m_nTradeDate == 0) {
        // A feed that ended before its hello: the engine still starts and ends cleanly.
        m_store.Reset();
        m_store.SetSysPath(m_strSysDir);
        m_store.SetTickHistory(this);
    }
    m_store.SetCurrentUser(CurrentUser());
    if (m_engineStart) {
        m_pActive = m_engineStart();
    } else {
        m_pEngine = m_pServices ? std::make_unique<CVelkAlert>(*m_pServices)
                                : std::make_unique<CVelkAlert>();
        CString path = m_strSysDir;
        m_pEngine->SetSYSPath(path);
        m_pEngine->SetAlertObserver(m_pObserver);
        m_pEngine->Start();
        m_pActive = m_pEngine.get();
    }
    if (m_afterEachCall)
        m_afterEachCall();
}

void CLiveSession::EndEngine()
{
    m_pActive = nullptr;
    if (m_engineEnd)
        m_engineEnd();
    m_pEngine.reset();
}

void CLiveSession::Finish()
{
    if (!m_pActive)
        StartEngine();
    EndEngine();
    if (m_afterEachCall)
        m_afterEachCall();
}

long CLiveSession::TickCount(unsigned char market, const CString& code, const CString& date) const
{
    if (date != m_strDate)
        return 0;
    const std::uint32_t* index = m_index.Find(Key(market, code));
    return index ? static_cast<long>(m_symbols[*index].ticks.size()) : 0;
}

void CLiveSession::TickRows(unsigned char market, const CString& code, const CString& date,
                            long first, long last, std::vector<std::vector<X1Format>>& rows) const
{
    const long count = TickCount(market, code, date);
    if (first < 0 || last > count || first >= last)
        return;
    const std::vector<Tick>& ticks = m_symbols[*m_index.Find(Key(market, code))].ticks;
    rows.reserve(rows.size() + static_cast<std::size_t>(last - first));
    for (long i = first; i < last; ++i) {
        const Tick& tick = ticks[static_cast<std::size_t>(i)];
        rows.push_back({X1Format::Price(125, tick.price), TimeItem(143, tick.time),
                        X1Format::Volume(413, tick.volume)});
    }
}
