#include "hostlibs/CQuoteStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>

#include "hostapi/QuoteItems.h"
#include "hostlibs/CItemValues.h"
#include "hostlibs/CLightMutex.h"
#include "hostlibs/CTextPool.h"
#include "platform/core/CShortKeyTable.h"
#include "platform/core/VelkCopyShort.h"

namespace {

struct SymbolKey {
    unsigned char market = 0;
    CString code;
};

// Lets the quote path look a symbol up by the caller's code without building a key string.
struct SymbolKeyView {
    unsigned char market = 0;
    std::string_view code;
};

struct SymbolKeyHash {
    using is_transparent = void;
    std::size_t operator()(const SymbolKeyView& key) const
    {
        return std::hash<std::string_view>()(key.code) ^
               (std::size_t(key.market) * 0x9E3779B97F4A7C15ull);
    }
    std::size_t operator()(const SymbolKey& key) const
    {
        return (*this)(SymbolKeyView{key.market, key.code});
    }
};

struct SymbolKeyEqual {
    using is_transparent = void;
    static SymbolKeyView View(const SymbolKey& key) { return {key.market, key.code}; }
    static SymbolKeyView View(const SymbolKeyView& key) { return key; }
    template <typename A, typename B> bool operator()(const A& a, const B& b) const
    {
        const SymbolKeyView x = View(a), y = View(b);
        return x.market == y.market && x.code == y.code;
    }
};

template <typename T>
using SymbolMap = std::unordered_map<SymbolKey, T, SymbolKeyHash, SymbolKeyEqual>;

using Row = std::vector<X1Format>;

// The current values of one symbol.
struct Symbol {
    CItemValues items;
    // -1: prices keep the decimals they were stored with. Otherwise every price held carries
    // them already, so that an answer hands its values out as they lie.
    int decimals = -1;
    // The symbol's count in the subscriptions, kept here as well: the quote path asks right
    // after updating the symbol, and finds the answer in the node it has just touched.
    int subscriptions = 0;
    // Where the text of the symbol's name lies in the text pool, as a hint only: an answer
    // starts loading it, as across a whole market it is cold and the caller reads the name
    // right after. Texts never move or go, so a name replaced since only loads the old one.
    const std::string* nameText = nullptr;

    void NoteName(const X1Format& value)
    {
        if (value.GetItemNo() != QuoteItem::kName || value.GetKind() != X1Format::kText)
            return;
        std::uint32_t index = 0;
        std::memcpy(&index, value.Bytes() + 2, sizeof index); // a text's pool index
        nameText = &CTextPool::Instance().Get(index);
    }

    bool HasData(const CItemValues::Slots& slots, unsigned short item) const
    {
        const X1Format* value = items.Find(slots, item);
        return value && value->GetKind() != X1Format::kNone;
    }
    CString Name(const CItemValues::Slots& slots) const
    {
        const X1Format* value = items.Find(slots, QuoteItem::kName);
        return value && value->GetKind() != X1Format::kNone ? CString(*value) : CString();
    }
    X1Format Shown(const X1Format& value) const
    {
        return decimals < 0 ? value : value.WithDecimals(decimals);
    }
};

struct Market {
    CString extName;
    unsigned char level1 = 0;
};

struct MagicDay {
    std::vector<Row> rows;
    std::size_t delivered = 0;
};

struct UserGroup {
    CString name;
    std::vector<CSymbolInfo> stocks;
};

bool SameExtName(std::string_view a, std::string_view b)
{
    // Extension names are ASCII; GBK bytes (all >= 0x80) are compared as they are.
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

} // namespace

struct CQuoteStore::Impl {
    // A plain mutex, not a reader-writer lock: every hold is a few loads and stores, readers
    // rarely meet, and a reader-writer lock's take and release cost several times a mutex's at
    // each of a replay's trades. A light one: nearly every take finds it free, and then costs
    // one atomic instruction inline. Nothing called under it comes back into the store.
    mutable CLightMutex mutex;

    std::map<unsigned char, Market> markets;
    // By market byte and code, flat: the quote path looks a symbol up at every trade, each time
    // a different one. Codes too long for the table's keys go to the map.
    CShortKeyTable<Symbol> symbols;
    // Where each item number lies in every symbol's values.
    CItemValues::Slots itemSlots;
    SymbolMap<Symbol> longSymbols;
    std::array<std::vector<CString>, 256> codeOrder; // per market, in the order symbols were added
    SymbolMap<std::unordered_map<CString, std::vector<Row>>> ticks;
    std::map<std::pair<unsigned char, CString>, MagicDay> magic;
    std::vector<CString> magicNumbers;
    std::vector<CString> magicNames;
    int tradeDate = 0;
    CString currentUser;
    std::unordered_map<CString, std::vector<UserGroup>> groupsByUser;
    SymbolMap<int> subscriptions;
    CString sysPath;
    std::unordered_map<CString, CString> langStrings;
    const ITickHistory* tickHistory = nullptr;

    // The table's key of a symbol: the market byte, then the code; empty when it does not fit.
    // Built by a few moves of fixed size instead of a copy call, the rest of the block zero, so
    // that two keys also compare as two words and a length.
    struct ShortKey {
        static constexpr std::size_t kBlock = 16;
        static_assert(CShortKeyTable<Symbol>::kMaxKey < kBlock);
        char bytes[kBlock] = {};
        std::size_t size = 0;
        ShortKey(unsigned char market, const CString& code)
        {
            const std::size_t n = code.size();
            if (n + 1 > CShortKeyTable<Symbol>::kMaxKey)
                return;
            VelkCopyShort(bytes + 1, code.data(), n);
            bytes[0] = static_cast<char>(market);
            size = n + 1;
        }
        std::string_view View() const { return {bytes, size}; }
        bool operator==(const ShortKey& other) const
        {
            std::uint64_t a[2], b[2];
            std::memcpy(a, bytes, sizeof a);
            std::memcpy(b, other.bytes, sizeof b);
            return size == other.size && a[0] == b[0] && a[1] == b[1];
        }
    };

    // The symbol last found by a short key. A trade sets a symbol, asks whether it is watched,
    // and a watched one is asked for at once, all of the same symbol: the second and third
    // find it here. Cleared whenever a symbol is added, as that may move the table's values.
    struct LastFound {
        ShortKey key{0, CString()};
        Symbol* symbol = nullptr;
    };
    mutable LastFound last;

    // Valid until the next symbol is added.
    Symbol& SymbolFor(unsigned char market, const CString& code)
    {
        const ShortKey key(market, code);
        if (Symbol* known = FindSymbol(key, market, code))
            return *known;
        codeOrder[market].push_back(code);
        last = LastFound{};
        Symbol* symbol =
            key.size ? symbols.Insert(key.View()) : &longSymbols[SymbolKey{market, code}];
        auto subscribed = subscriptions.find(SymbolKeyView{market, code});
        symbol->subscriptions = subscribed == subscriptions.end() ? 0 : subscribed->second;
        return *symbol;
    }

    void SetSubscriptions(unsigned char market, const CString& code, int count)
    {
        if (Symbol* symbol = FindSymbol(market, code))
            symbol->subscriptions = count;
    }

    Symbol* FindSymbol(unsigned char market, const CString& code)
    {
        return const_cast<Symbol*>(std::as_const(*this).FindSymbol(market, code));
    }

    const std::vector<Row>* OwnTicks(unsigned char market, const CString& code,
                                     const CString& date) const
    {
        auto symbol = ticks.find(SymbolKeyView{market, code});
        if (symbol == ticks.end())
            return nullptr;
        auto day = symbol->second.find(date);
        return day == symbol->second.end() ? nullptr : &day->second;
    }

    const Symbol* FindSymbol(unsigned char market, const CString& code) const
    {
        return FindSymbol(ShortKey(market, code), market, code);
    }

    Symbol* FindSymbol(const ShortKey& key, unsigned char market, const CString& code) const
    {
        if (key.size) {
            if (last.symbol && last.key == key)
                return last.symbol;
            Symbol* found = const_cast<Symbol*>(symbols.Find(key.View()));
            if (found)
                last = LastFound{key, found};
            return found;
        }
        auto it = longSymbols.find(SymbolKeyView{market, code});
        return it == longSymbols.end() ? nullptr : const_cast<Symbol*>(&it->second);
    }
};

CQuoteStore::CQuoteStore() : m_pImpl(std::make_unique<Impl>()) {}

CQuoteStore::~CQuoteStore() = default;

CQuoteStore& CQuoteStore::Instance()
{
    // Never destroyed: a host object that outlives static destruction at exit still unregisters
    // its symbols through the free functions.
    static CQuoteStore* store = new CQuoteStore;
    return *store;
}

void CQuoteStore::Reset()
{
    auto fresh = std::make_unique<Impl>();
    std::unique_lock lock(m_pImpl->mutex);
    std::swap(fresh->markets, m_pImpl->markets);
    std::swap(fresh->symbols, m_pImpl->symbols);
    std::swap(fresh->longSymbols, m_pImpl->longSymbols);
    std::swap(fresh->codeOrder, m_pImpl->codeOrder);
    std::swap(fresh->ticks, m_pImpl->ticks);
    std::swap(fresh->magic, m_pImpl->magic);
    std::swap(fresh->magicNumbers, m_pImpl->magicNumbers);
    std::swap(fresh->magicNames, m_pImpl->magicNames);
    std::swap(fresh->tradeDate, m_pImpl->tradeDate);
    std::swap(fresh->currentUser, m_pImpl->currentUser);
    std::swap(fresh->groupsByUser, m_pImpl->groupsByUser);
    std::swap(fresh->subscriptions, m_pImpl->subscriptions);
    std::swap(fresh->sysPath, m_pImpl->sysPath);
    std::swap(fresh->langStrings, m_pImpl->langStrings);
    std::swap(fresh->tickHistory, m_pImpl->tickHistory);
    m_pImpl->last = Impl::LastFound{};
}

void CQuoteStore::AddMarket(unsigned char market, const CString& extName, unsigned char level1)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->markets[market] = Market{extName, level1};
}

void CQuoteStore::AddSymbol(unsigned char market, const CString& code, const CString& name)
{
    const X1Format codeValue = X1Format::Text(QuoteItem::kCode, code);
    const X1Format nameValue = X1Format::Text(QuoteItem::kName, name);
    std::unique_lock lock(m_pImpl->mutex);
    Symbol& symbol = m_pImpl->SymbolFor(market, code);
    symbol.items.Set(m_pImpl->itemSlots, codeValue);
    symbol.items.Set(m_pImpl->itemSlots, nameValue);
    symbol.NoteName(nameValue);
}

void CQuoteStore::SetItem(unsigned char market, const CString& code, const X1Format& value)
{
    std::unique_lock lock(m_pImpl->mutex);
    Symbol& symbol = m_pImpl->SymbolFor(market, code);
    symbol.items.Set(m_pImpl->itemSlots, value, symbol.decimals);
    symbol.NoteName(value);
}

void CQuoteStore::SetPriceDecimals(unsigned char market, const CString& code, int decimals)
{
    std::unique_lock lock(m_pImpl->mutex);
    Symbol& symbol = m_pImpl->SymbolFor(market, code);
    symbol.decimals = std::clamp(decimals, 0, X1Format::kMaxDecimals);
    symbol.items.SetDecimals(symbol.decimals);
}

void CQuoteStore::SetItems(unsigned char market, const CString& code,
                           std::span<const X1Format> values)
{
    std::unique_lock lock(m_pImpl->mutex);
    Symbol& symbol = m_pImpl->SymbolFor(market, code);
    for (const X1Format& value : values)
        symbol.items.Set(m_pImpl->itemSlots, value, symbol.decimals);
}

void CQuoteStore::SetTickHistory(const ITickHistory* history)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->tickHistory = history;
}

const ITickHistory* CQuoteStore::TickHistory() const
{
    std::unique_lock lock(m_pImpl->mutex);
    return m_pImpl->tickHistory;
}

void CQuoteStore::AddTick(unsigned char market, const CString& code, const CString& date,
                          std::vector<X1Format> row)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->ticks[SymbolKey{market, code}][date].push_back(std::move(row));
}

void CQuoteStore::AddMagicRow(unsigned char market, const CString& date, std::vector<X1Format> row)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->magic[{market, date}].rows.push_back(std::move(row));
}

void CQuoteStore::SetMagicCatalogue(std::vector<CString> numbers, std::vector<CString> names)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->magicNumbers = std::move(numbers);
    m_pImpl->magicNames = std::move(names);
}

void CQuoteStore::SetTradeDate(int yyyymmdd)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->tradeDate = yyyymmdd;
}

void CQuoteStore::SetCurrentUser(const CString& userID)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->currentUser = userID;
}

void CQuoteStore::AddUserGroup(const CString& userID, const CString& group,
                               std::vector<CSymbolInfo> stocks)
{
    std::unique_lock lock(m_pImpl->mutex);
    std::vector<UserGroup>& groups = m_pImpl->groupsByUser[userID];
    auto it = std::find_if(groups.begin(), groups.end(),
                           [&](const UserGroup& g) { return g.name == group; });
    if (it != groups.end())
        it->stocks = std::move(stocks);
    else
        groups.push_back(UserGroup{group, std::move(stocks)});
}

void CQuoteStore::SetSysPath(const CString& path)
{
    CString trimmed = path;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\'))
        trimmed.pop_back();
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->sysPath = std::move(trimmed);
}

void CQuoteStore::SetLangString(const CString& key, const CString& text)
{
    std::unique_lock lock(m_pImpl->mutex);
    m_pImpl->langStrings[key] = text;
}

int CQuoteStore::SubscriptionCount(unsigned char market, const CString& code) const
{
    std::unique_lock lock(m_pImpl->mutex);
    if (const Symbol* symbol = m_pImpl->FindSymbol(market, code))
        return symbol->subscriptions;
    auto it = m_pImpl->subscriptions.find(SymbolKeyView{market, code});
    return it == m_pImpl->subscriptions.end() ? 0 : it->second;
}

bool CQuoteStore::IsSubscribed(unsigned char market, const CString& code) const
{
    return SubscriptionCount(market, code) > 0;
}

bool CQuoteStore::GetItemDataByItemNo(unsigned char market, const CString& code,
                                      const std::vector<unsigned short>& items,
                                      std::vector<X1Format>& out, bool)
{
    out.clear();
    const Impl::ShortKey key(market, code);
    std::unique_lock lock(m_pImpl->mutex);
    const Symbol* symbol = m_pImpl->FindSymbol(key, market, code);
    if (!symbol)
        return false;
    if (symbol->nameText)
        __builtin_prefetch(symbol->nameText);
    // Each value is written once, where it lies in the caller's vector; prices already carry
    // the symbol's decimals.
    out.resize(items.size());
    symbol->items.Answer(m_pImpl->itemSlots, items.data(), items.size(), out.data());
    return true;
}

int CQuoteStore::SymbolRegister(std::vector<CSymbolInfo>& add, std::vector<CSymbolInfo>& remove)
{
    std::unique_lock lock(m_pImpl->mutex);
    for (const CSymbolInfo& symbol : remove) {
        auto it = m_pImpl->subscriptions.find(SymbolKeyView{symbol.m_byMarket, symbol.m_strCode});
        if (it == m_pImpl->subscriptions.end())
            continue;
        const int left = --it->second;
        if (left <= 0)
            m_pImpl->subscriptions.erase(it);
        m_pImpl->SetSubscriptions(symbol.m_byMarket, symbol.m_strCode, std::max(left, 0));
    }
    for (const CSymbolInfo& symbol : add)
        m_pImpl->SetSubscriptions(
            symbol.m_byMarket, symbol.m_strCode,
            ++m_pImpl->subscriptions[SymbolKey{symbol.m_byMarket, symbol.m_strCode}]);
    return static_cast<int>(add.size());
}

long CQuoteStore::GetTickerCount(unsigned char market, const CString& code, const CString& date)
{
    std::unique_lock lock(m_pImpl->mutex);
    const std::vector<Row>* rows = m_pImpl->OwnTicks(market, code, date);
    if (rows)
        return static_cast<long>(rows->size());
    return m_pImpl->tickHistory ? m_pImpl->tickHistory->TickCount(market, code, date) : 0;
}

long CQuoteStore::GetTickerByStartPos(std::vector<std::vector<X1Format>>& rows,
                                      unsigned char market, const CString& code, long start,
                                      long count, const CString& date)
{
    rows.clear();
    std::unique_lock lock(m_pImpl->mutex);
    const std::vector<Row>* own = m_pImpl->OwnTicks(market, code, date);
    const ITickHistory* history = own ? nullptr : m_pImpl->tickHistory;
    if ((!own && !history) || count <= 0)
        return 0;
    // The window [start, start + count) is cut to the ticks that exist, without ever forming
    // start + count for a start inside the day: a caller may pass the largest count there is.
    const long size = own ? static_cast<long>(own->size()) : history->TickCount(market, code, date);
    if (start >= size)
        return 0;
    const long first = std::max(start, 0L);
    const long last =
        start >= 0 ? start + std::min(count, size - start) : std::min(start + count, size);
    if (first >= last)
        return 0;
    if (own)
        rows.assign(own->begin() + first, own->begin() + last);
    else
        history->TickRows(market, code, date, first, last, rows);
    if (const Symbol* shown = m_pImpl->FindSymbol(market, code); shown && shown->decimals >= 0) {
        for (Row& row : rows)
            for (X1Format& value : row)
                value = shown->Shown(value);
    }
    return static_cast<long>(rows.size());
}

bool CQuoteStore::GetMarketStatus(unsigned char, const CString&, CMarketStatus& status)
{
    std::unique_lock lock(m_pImpl->mutex);
    if (m_pImpl->tradeDate == 0)
        return false;
    status.m_nTradeDate = m_pImpl->tradeDate;
    return true;
}

bool CQuoteStore::GetMemoryState(unsigned char market, const CString& code)
{
    std::unique_lock lock(m_pImpl->mutex);
    const Symbol* symbol = m_pImpl->FindSymbol(market, code);
    return symbol && (symbol->HasData(m_pImpl->itemSlots, QuoteItem::kLastPrice) ||
                      symbol->HasData(m_pImpl->itemSlots, QuoteItem::kPrevClose));
}

long CQuoteStore::GetLastMagic(std::vector<std::vector<X1Format>>& rows, unsigned char market, long,
                               const CString& date)
{
    rows.clear();
    std::unique_lock lock(m_pImpl->mutex);
    auto it = m_pImpl->magic.find({market, date});
    if (it == m_pImpl->magic.end())
        return 0;
    MagicDay& day = it->second;
    rows.assign(day.rows.begin() + static_cast<std::ptrdiff_t>(day.delivered), day.rows.end());
    day.delivered = day.rows.size();
    // A row names its stock in its code item; the prices go out with that stock's decimals.
    for (Row& row : rows) {
        auto code = std::find_if(row.begin(), row.end(), [](const X1Format& value) {
            return value.GetItemNo() == QuoteItem::kCode;
        });
        const Symbol* symbol =
            code != row.end() ? m_pImpl->FindSymbol(market, CString(*code)) : nullptr;
        if (!symbol || symbol->decimals < 0)
            continue;
        for (X1Format& value : row)
            value = symbol->Shown(value);
    }
    return static_cast<long>(rows.size());
}

bool CQuoteStore::GetMagicNo(std::vector<CString>& numbers, std::vector<CString>& names)
{
    std::unique_lock lock(m_pImpl->mutex);
    numbers = m_pImpl->magicNumbers;
    names = m_pImpl->magicNames;
    return !numbers.empty();
}

bool CQuoteStore::GetSymbolFullName(CString& name, unsigned char market, const CString& code)
{
    std::unique_lock lock(m_pImpl->mutex);
    const Symbol* symbol = m_pImpl->FindSymbol(market, code);
    name = symbol ? symbol->Name(m_pImpl->itemSlots) : CString();
    return !name.empty();
}

bool CQuoteStore::GetServiceExName(CString& ext, unsigned char market)
{
    std::unique_lock lock(m_pImpl->mutex);
    auto it = m_pImpl->markets.find(market);
    if (it == m_pImpl->markets.end()) {
        ext.clear();
        return false;
    }
    ext = it->second.extName;
    return true;
}

unsigned char CQuoteStore::GetServiceIDByExName(const CString& ext)
{
    if (ext.empty())
        return 0;
    std::unique_lock lock(m_pImpl->mutex);
    for (const auto& [number, market] : m_pImpl->markets) {
        if (SameExtName(market.extName, ext))
            return number;
    }
    return 0;
}

bool CQuoteStore::GetSymbolID(std::vector<CString>& codes, std::vector<CString>& names,
                              unsigned char market)
{
    codes.clear();
    names.clear();
    std::unique_lock lock(m_pImpl->mutex);
    const std::vector<CString>& order = m_pImpl->codeOrder[market];
    if (order.empty() && !m_pImpl->markets.contains(market))
        return false;
    codes.reserve(order.size());
    names.reserve(order.size());
    for (const CString& code : order) {
        codes.push_back(code);
        names.push_back(m_pImpl->FindSymbol(market, code)->Name(m_pImpl->itemSlots));
    }
    return true;
}

bool CQuoteStore::GetUserInfo(tag_UserInfo& info)
{
    std::unique_lock lock(m_pImpl->mutex);
    info.m_strUserID = m_pImpl->currentUser;
    return !info.m_strUserID.empty();
}

bool CQuoteStore::GetSSVInfoByUserID(const CString& userID, std::vector<CString>& groups)
{
    groups.clear();
    std::unique_lock lock(m_pImpl->mutex);
    auto it = m_pImpl->groupsByUser.find(userID);
    if (it == m_pImpl->groupsByUser.end())
        return false;
    for (const UserGroup& group : it->second)
        groups.push_back(group.name);
    return true;
}

bool CQuoteStore::GetSymbolIDVecBySSVName(const CString& userID, const CString& group,
                                          std::vector<CSymbolInfo>& stocks)
{
    stocks.clear();
    std::unique_lock lock(m_pImpl->mutex);
    auto user = m_pImpl->groupsByUser.find(userID);
    if (user == m_pImpl->groupsByUser.end())
        return false;
    for (const UserGroup& candidate : user->second) {
        if (candidate.name == group) {
            stocks = candidate.stocks;
            return true;
        }
    }
    return false;
}

bool CQuoteStore::DaGetMarketStatus(unsigned char market, CMarketStatus& status)
{
    return GetMarketStatus(market, CString(), status);
}

unsigned char CQuoteStore::ConvertToLevel1ServiceID(unsigned char market)
{
    std::unique_lock lock(m_pImpl->mutex);
    auto it = m_pImpl->markets.find(market);
    return it == m_pImpl->markets.end() ? market : it->second.level1;
}

bool CQuoteStore::GetAllServiceID(std::vector<unsigned char>& markets)
{
    markets.clear();
    std::unique_lock lock(m_pImpl->mutex);
    for (const auto& entry : m_pImpl->markets)
        markets.push_back(entry.first);
    return true;
}

CString CQuoteStore::GetSysPath(unsigned char)
{
    std::unique_lock lock(m_pImpl->mutex);
    return m_pImpl->sysPath;
}

CString CQuoteStore::GetLangString(const CString& key)
{
    std::unique_lock lock(m_pImpl->mutex);
    auto it = m_pImpl->langStrings.find(key);
    return it == m_pImpl->langStrings.end() ? CString() : it->second;
}
