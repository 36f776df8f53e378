#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/CMarketMonitor.h"
#include "engine/CVelkAlert.h"
#include "engine/CWatchIndex.h"
#include "engine/VelkEngineLock.h"
#include "hostapi/KQDaApi.h"
#include "hostapi/QuoteItems.h"
#include "platform/core/VelkNumber.h"

namespace {

// Positions of the values in the answer to the engine's nine item numbers.
constexpr std::size_t kPosPrice = 0;
constexpr std::size_t kPosPrice2 = 1;
constexpr std::size_t kPosName = 2;
constexpr std::size_t kPosVolume = 3;
constexpr std::size_t kPosLimitUp = 4;
constexpr std::size_t kPosLimitDown = 5;
constexpr std::size_t kPosTime = 6;
constexpr std::size_t kPosHigh = 7;
constexpr std::size_t kPosLow = 8;
constexpr std::size_t kItemCount = 9;

// Starts loading the cache lines that the evaluation reads of a watch record: its code and its
// four prices. Across a whole market the record is cold; its lines arrive while the quote is
// fetched and converted instead of holding the evaluation up.
void PrefetchRecord(const std::vector<Ta_VELKPRICEALERT>& list, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
        return;
    const char* record = reinterpret_cast<const char*>(&list[static_cast<std::size_t>(index)]);
    __builtin_prefetch(record + offsetof(Ta_VELKPRICEALERT, m_szCode));
    __builtin_prefetch(record + offsetof(Ta_VELKPRICEALERT, m_fUpper));
    __builtin_prefetch(record + offsetof(Ta_VELKPRICEALERT, m_nMagic) - 1);
}

// A text into a field of a snapshot that was made all zero: cut as VelkCopyText cuts it, with
// nothing left to clear behind it.
template <std::size_t N> void CopyIntoZeroed(char (&field)[N], const std::string& text)
{
    std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    if (const void* end = std::memchr(text.data(), '\0', n))
        n = static_cast<std::size_t>(static_cast<const char*>(end) - text.data());
    std::memcpy(field, text.data(), n);
}

} // namespace

void CVelkAlert::vRecvNewMemory(const CMemoryInfo* info)
{
    if (!info)
        return;
    const unsigned char market = info->byGetServiceID();
    const CString code = info->GetSymbolID();

    // The stock's key is in a map: it is asked for. Its records, cold across a whole market, are
    // checked against the maps only after the request, so that their cache lines arrive while
    // the quote service answers.
    CWatchIndex::Entry watched = m_pWatchIndex->FindInMaps(market, code);
    if (watched.price < 0 && watched.system < 0)
        return;
    PrefetchRecord(m_vecSystemAlert, watched.system);
    PrefetchRecord(m_vecPriceAlert, watched.price);
    m_pWatchIndex->PrefetchRing(watched.system);

    std::vector<X1Format>& values = m_pWatchIndex->AnswerBuffer();
    values.clear();
    if (!BK_bGetItemDataByItemNo(market, code, m_vecItemNo, values, true, nullptr) ||
        values.size() < kItemCount)
        return;
    // A host that rewrote a list in place leaves a map naming the wrong record: made anew.
    watched = m_pWatchIndex->Checked(watched, market, code);
    if (watched.price < 0 && watched.system < 0)
        return;

    const CString priceText = values[kPosPrice].s_GetAsString();
    const CString price2Text = values[kPosPrice2].s_GetAsString();
    const CString nameText = values[kPosName].s_GetAsString();
    const CString volumeText = values[kPosVolume].s_GetAsString();
    // No trade yet today: nothing to evaluate and no day's high or low to trust.
    if (volumeText == "-" || volumeText == "0")
        return;

    Ta_VELKPRICETABLE quote{};
    quote.m_nReserved = -1;
    quote.m_nTime = -1;
    quote.m_byMarket = market;
    CopyIntoZeroed(quote.m_szCode, code);
    CopyIntoZeroed(quote.m_szName, nameText);
    quote.m_fPrice = static_cast<float>(VelkAtof(priceText));
    quote.m_fPrice2 = static_cast<float>(VelkAtof(price2Text));
    quote.m_fVolume = static_cast<float>(VelkAtof(volumeText));
    quote.m_fLimitUp = static_cast<float>(static_cast<double>(values[kPosLimitUp]));
    quote.m_fLimitDown = static_cast<float>(static_cast<double>(values[kPosLimitDown]));
    const X1Format& time = values[kPosTime];
    quote.m_nTime = time.GetHour() * 3600 + time.GetMinute() * 60 + time.GetSecond();

    const double high = values[kPosHigh];
    const double low = values[kPosLow];
    // The notified stock's own record leads to the others of its code; a stock that is only
    // price-alerted looks its code up.
    SeedHighLow(watched.system, code, high, low);

    bool alone = false;
    {
        std::lock_guard<CEngineLock> lock(VelkEngineLock());
        m_vecPending.push_back(quote);
        alone = m_vecPending.size() == 1;
    }
    if (!alone) {
        OnReceiveAlertData(0, 0);
        return;
    }
    // The module's own hand-off: the queue's front is this snapshot, whose records were found
    // above. It is evaluated where it stands instead of through a heap copy and a second key
    // lookup; no host sees the difference.
    EvaluateQuote(&quote, watched.price, watched.system);
    {
        std::lock_guard<CEngineLock> lock(VelkEngineLock());
        if (!m_vecPending.empty())
            m_vecPending.erase(m_vecPending.begin());
    }
}

int CVelkAlert::OnReceiveAlertData(unsigned, long)
{
    std::unique_ptr<Ta_VELKPRICETABLE> quote(new (std::nothrow) Ta_VELKPRICETABLE{});
    if (!quote)
        return 0;
    {
        std::lock_guard<CEngineLock> lock(VelkEngineLock());
        if (m_vecPending.empty())
            return 0;
        *quote = m_vecPending.front();
    }
    OnReceiveData(reinterpret_cast<std::uintptr_t>(quote.get()), 0);
    quote.reset();
    {
        std::lock_guard<CEngineLock> lock(VelkEngineLock());
        if (!m_vecPending.empty())
            m_vecPending.erase(m_vecPending.begin());
    }
    return 1;
}

int CVelkAlert::OnReceiveData(std::uintptr_t quoteAddress, long)
{
    auto* quote = reinterpret_cast<Ta_VELKPRICETABLE*>(quoteAddress);
    if (!quote)
        return 100;
    const CWatchIndex::Entry watched =
        m_pWatchIndex->Find(quote->m_byMarket, VelkFieldText(quote->m_szCode));
    EvaluateQuote(quote, watched.price, watched.system);
    return 100;
}

void CVelkAlert::EvaluateQuote(Ta_VELKPRICETABLE* quote, int priceIndex, int systemIndex)
{
    if (priceIndex >= 0)
        ProcessAlert(quote, priceIndex);
    if (systemIndex >= 0) {
        ProcessSystemAlert(quote, systemIndex);
        if (m_pMarketMonitor->RulesOn())
            m_pMarketMonitor->Evaluate(*this, *quote, m_alertSetting);
    }
}

void CVelkAlert::SetMaxAndMinPrice(const CString& code, const double& high, const double& low)
{
    // The same code may be listed under several markets; every such record is seeded.
    SeedHighLow(-1, code, high, low);
}

void CVelkAlert::SeedHighLow(int hint, const std::string& code, double high, double low)
{
    if (!VelkIsUsablePrice(high) || !VelkIsUsablePrice(low))
        return;
    const int first = m_pWatchIndex->FirstOfCode(hint, code);
    if (first < 0)
        return;
    int index = first;
    do {
        Ta_VELKPRICEALERT& record = m_vecSystemAlert[static_cast<std::size_t>(index)];
        // A high or low that is no price (a damaged list) is as good as unknown.
        const bool known = record.m_fUpper != 0.0f && VelkIsUsablePrice(record.m_fUpper) &&
                           VelkIsUsablePrice(record.m_fLower);
        if (!known) {
            record.m_fUpper = static_cast<float>(high);
            record.m_fLower = static_cast<float>(low);
        }
        index = m_pWatchIndex->NextOfCode(index);
    } while (index != first);
}

void CVelkAlert::GetMaxAndMinPrice(const CSymbolInfo& stock, float& high, float& low)
{
    const unsigned char level1 = DA_byConvert2Level1ServiceID(stock.m_byMarket);

    int year = 0, month = 0, day = 0;
    CMarketStatus status;
    if (BK_bGetMarketStatus(level1, stock.m_strCode, status, nullptr)) {
        const int date = status.m_nTradeDate;
        year = date / 10000;
        month = (date % 10000) / 100;
        day = date % 100;
    } else {
        const IVelkClock& clock = m_services.pClock ? *m_services.pClock : m_systemClock;
        const VelkLocalTime now = clock.Now();
        year = now.year;
        month = now.month;
        day = now.day;
    }
    char dateText[40];
    std::snprintf(dateText, sizeof dateText, "%04d%02d%02d", year, month, day);
    const CString date = dateText;

    const long count = BK_lGetTickerCount(level1, stock.m_strCode, date, true, true);
    if (count <= 0)
        return;
    std::vector<std::vector<X1Format>> rows;
    const long returned =
        BK_lGetTickerByStartPos(rows, level1, stock.m_strCode, 0, count, date, true, true);
    if (returned <= 0)
        return;

    const std::size_t usable = std::min(static_cast<std::size_t>(returned), rows.size());
    bool found = false;
    double highest = 0;
    double lowest = 0;
    for (std::size_t i = 0; i < usable; ++i) {
        for (const X1Format& value : rows[i]) {
            if (value.GetItemNo() != QuoteItem::kLastPrice)
                continue;
            const double price = value;
            if (!VelkIsUsablePrice(price))
                continue;
            if (!found || price > highest)
                highest = price;
            if (!found || price < lowest)
                lowest = price;
            found = true;
        }
    }
    if (!found)
        return;
    high = static_cast<float>(highest);
    low = static_cast<float>(lowest);
}

void CVelkAlert::vRecvTickRecovery(const CTickInfo* info)
{
    if (!info)
        return;
    const unsigned char market = info->byGetServiceID();
    const CString code = info->GetSymbolID();
    if (m_pWatchIndex->Find(market, code).system < 0)
        return;

    // The ticks replace whatever the record held, even when there are none: a high of 0
    // lets the next notification seed it from the quote service.
    float high = 0;
    float low = 0;
    GetMaxAndMinPrice(CSymbolInfo(market, code), high, low);
    // Looked up again: the quote service was asked in between.
    const int index = m_pWatchIndex->Find(market, code).system;
    if (index < 0)
        return;
    m_vecSystemAlert[index].m_fUpper = high;
    m_vecSystemAlert[index].m_fLower = low;
}

void CVelkAlert::ClearAllData()
{
    if (m_pAlertListDlg)
        m_pAlertListDlg->ClearAlertList();
    for (Ta_VELKPRICEALERT& record : m_vecSystemAlert) {
        record.m_fUpper = 0;
        record.m_fLower = 0;
    }
    m_pMarketMonitor->ClearDay();
}
