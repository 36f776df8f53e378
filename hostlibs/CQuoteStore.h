#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "IHostBackend.h"

// Ticks kept outside the store: a replayed day answers from its own trades instead of having
// each one copied into the store as a row. Asked under the store's lock, from the thread that
// asks the store.
class KQ_API ITickHistory {
public:
    virtual ~ITickHistory() = default;
    // How many ticks the stock has on the date so far.
    virtual long TickCount(unsigned char market, const CString& code,
                           const CString& date) const = 0;
    // Appends ticks [first, last) of the stock on the date, 0 <= first < last <= TickCount.
    virtual void TickRows(unsigned char market, const CString& code, const CString& date,
                          long first, long last,
                          std::vector<std::vector<X1Format>>& rows) const = 0;
};

// The in-memory quote, account and common service that a host (or a test) fills. It answers
// every call of the host libraries. Reads may run on one thread while another registers.
class KQ_API CQuoteStore final : public IHostBackend {
public:
    CQuoteStore();
    ~CQuoteStore() override;

    // The store behind the host libraries' free functions by default.
    static CQuoteStore& Instance();

    // Removes everything: markets, symbols, ticks, signals, users, subscriptions, paths.
    void Reset();

    // --- filling (all texts GBK) ---
    void AddMarket(unsigned char market, const CString& extName, unsigned char level1);
    // Adds a symbol or renames a known one (its other items stay); the name becomes item 1019
    // and the code item 1018. A market lists its symbols in the order they were first added.
    void AddSymbol(unsigned char market, const CString& code, const CString& name);
    // Sets one item of a symbol (adds the symbol without a name when unknown).
    void SetItem(unsigned char market, const CString& code, const X1Format& value);
    // The decimals of the symbol's prices: every price the service hands out for it (quote
    // items, ticks, magic rows) is shown with them. Until this is called a price keeps the
    // decimals it was stored with. Adds the symbol without a name when unknown.
    void SetPriceDecimals(unsigned char market, const CString& code, int decimals);
    // Sets several items of one symbol at once, as a trade changes them together.
    void SetItems(unsigned char market, const CString& code, std::span<const X1Format> values);
    void AddTick(unsigned char market, const CString& code, const CString& date,
                 std::vector<X1Format> row);
    // Where the ticks of a stock and date without rows of their own come from; null for none.
    // The history must outlive its use or be withdrawn. Reset withdraws it.
    void SetTickHistory(const ITickHistory* history);
    const ITickHistory* TickHistory() const;
    // GetLastMagic hands out each market's and date's rows once: those added since its
    // previous call for that market and date.
    void AddMagicRow(unsigned char market, const CString& date, std::vector<X1Format> row);
    void SetMagicCatalogue(std::vector<CString> numbers, std::vector<CString> names);
    // The trading date of every market status; while it is 0 the status calls answer false.
    void SetTradeDate(int yyyymmdd);
    void SetCurrentUser(const CString& userID);
    void AddUserGroup(const CString& userID, const CString& group, std::vector<CSymbolInfo> stocks);
    void SetSysPath(const CString& path);
    void SetLangString(const CString& key, const CString& text);

    // --- observing ---
    int SubscriptionCount(unsigned char market, const CString& code) const;
    bool IsSubscribed(unsigned char market, const CString& code) const;

    // --- IHostBackend ---
    bool GetItemDataByItemNo(unsigned char market, const CString& code,
                             const std::vector<unsigned short>& items, std::vector<X1Format>& out,
                             bool realTime) override;
    int SymbolRegister(std::vector<CSymbolInfo>& add, std::vector<CSymbolInfo>& remove) override;
    long GetTickerCount(unsigned char market, const CString& code, const CString& date) override;
    long GetTickerByStartPos(std::vector<std::vector<X1Format>>& rows, unsigned char market,
                             const CString& code, long start, long count,
                             const CString& date) override;
    bool GetMarketStatus(unsigned char market, const CString& code, CMarketStatus& status) override;
    bool GetMemoryState(unsigned char market, const CString& code) override;
    long GetLastMagic(std::vector<std::vector<X1Format>>& rows, unsigned char market, long mode,
                      const CString& date) override;
    bool GetMagicNo(std::vector<CString>& numbers, std::vector<CString>& names) override;
    bool GetSymbolFullName(CString& name, unsigned char market, const CString& code) override;
    bool GetServiceExName(CString& ext, unsigned char market) override;
    unsigned char GetServiceIDByExName(const CString& ext) override;
    bool GetSymbolID(std::vector<CString>& codes, std::vector<CString>& names,
                     unsigned char market) override;
    bool GetUserInfo(tag_UserInfo& info) override;
    bool GetSSVInfoByUserID(const CString& userID, std::vector<CString>& groups) override;
    bool GetSymbolIDVecBySSVName(const CString& userID, const CString& group,
                                 std::vector<CSymbolInfo>& stocks) override;
    bool DaGetMarketStatus(unsigned char market, CMarketStatus& status) override;
    unsigned char ConvertToLevel1ServiceID(unsigned char market) override;
    bool GetAllServiceID(std::vector<unsigned char>& markets) override;
    CString GetSysPath(unsigned char which) override;
    CString GetLangString(const CString& key) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
