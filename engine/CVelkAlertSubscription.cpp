#include <cstdio>
#include <system_error>

#include "engine/CVelkAlert.h"
#include "engine/CWatchIndex.h"
#include "hostapi/KQDaApi.h"
#include "hostapi/QuoteItems.h"
#include "platform/core/VelkFile.h"

namespace {

constexpr std::size_t kUserIdSize = 16;
// Only the head of UserInfo.cfg is ever read.
constexpr std::size_t kUserInfoReadSize = 49;
constexpr int kMaxPriceAlerts = 50;

} // namespace

void CVelkAlert::vUnregisterSymbol(std::vector<CSymbolInfo>& symbols)
{
    if (symbols.empty())
        return;
    std::vector<CSymbolInfo> none;
    BK_iSymbolRegister(none, symbols, false);
}

void CVelkAlert::ChangeRegistSymbol()
{
    // The engine's thread must not rewrite the registration under a worker still at it.
    WaitForRegistration();
    ApplyRegistration(CollectWatchedSymbols());
}

std::vector<CSymbolInfo> CVelkAlert::CollectWatchedSymbols() const
{
    std::vector<CSymbolInfo> symbols;
    symbols.reserve(m_vecSystemAlert.size() + m_vecPriceAlert.size());
    for (const Ta_VELKPRICEALERT& record : m_vecSystemAlert)
        symbols.emplace_back(record.m_byMarket, VelkFieldText(record.m_szCode));
    for (const Ta_VELKPRICEALERT& record : m_vecPriceAlert)
        symbols.emplace_back(record.m_byMarket, VelkFieldText(record.m_szCode));
    return symbols;
}

void CVelkAlert::ApplyRegistration(std::vector<CSymbolInfo> symbols)
{
    vUnregisterSymbol(m_vecRegSymbol);
    m_vecRegSymbol.clear();
    m_mapRegSymbol.clear();

    m_vecRegSymbol = std::move(symbols);
    // A stock in both lists is registered twice; the map keeps its later place.
    for (std::size_t i = 0; i < m_vecRegSymbol.size(); ++i)
        m_mapRegSymbol[m_vecRegSymbol[i].m_strCode] = static_cast<int>(i);

    std::vector<CSymbolInfo> none;
    BK_iSymbolRegister(m_vecRegSymbol, none, false);
}

void CVelkAlert::StartRegistrationWorker()
{
    WaitForRegistration();
    // The lists are read here, on the engine's thread; the worker only talks to the service,
    // so the host may change the lists while it runs.
    std::vector<CSymbolInfo> symbols = CollectWatchedSymbols();
    try {
        m_registrationWorker = std::thread([this, symbols = std::move(symbols)]() mutable {
            ApplyRegistration(std::move(symbols));
        });
    } catch (const std::system_error&) {
        // No thread to be had: the registration still has to follow the lists.
        ApplyRegistration(CollectWatchedSymbols());
    }
}

void CVelkAlert::WaitForRegistration()
{
    if (m_registrationWorker.joinable() &&
        m_registrationWorker.get_id() != std::this_thread::get_id())
        m_registrationWorker.join();
}

void CVelkAlert::GetUserID(CString& out)
{
    out.clear();
    const std::string path = VelkJoinPath(s_KQGetSysPath(0), "UserInfo.cfg");
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return;
    char head[kUserInfoReadSize] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);

    std::size_t n = 0;
    while (n < kUserIdSize && n < got && head[n] != '\0')
        ++n;
    out.assign(head, n);
}

void CVelkAlert::GetSSVStock()
{
    m_vecSystemAlert.clear();
    m_pWatchIndex->SystemListReplaced();

    CString userID;
    GetUserID(userID);
    std::vector<CString> groups;
    if (!DA_bGetSSVInfoByUserID(userID, groups))
        return;

    const std::vector<unsigned short> nameItem{QuoteItem::kName};
    for (const CString& group : groups) {
        std::vector<CSymbolInfo> stocks;
        if (!DA_bGetSymbolIDVecBySSVName(userID, group, stocks))
            continue;
        // A stock in two groups is listed twice, as the user sees it in both.
        for (const CSymbolInfo& stock : stocks) {
            Ta_VELKPRICEALERT record{};
            record.m_byMarket = stock.m_byMarket;
            VelkCopyText(record.m_szCode, stock.m_strCode);
            std::vector<X1Format> values;
            if (BK_bGetItemDataByItemNo(stock.m_byMarket, stock.m_strCode, nameItem, values, true,
                                        nullptr) &&
                !values.empty())
                VelkCopyText(record.m_szName, values[0].s_GetAsString());
            m_vecSystemAlert.push_back(record);
        }
    }
}

int CVelkAlert::AddStock(int)
{
    return m_nPriceAlertCount >= 1 && m_nPriceAlertCount < kMaxPriceAlerts ? 1 : 0;
}
