#include "engine/CMarketMonitor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/CVelkAlert.h"
#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "hostapi/QuoteItems.h"

namespace {

constexpr long kMorningOpen = 9 * 3600 + 30 * 60;
constexpr long kAfternoonOpen = 13 * 3600;
constexpr long kSessionLength = 2 * 3600;

constexpr int kReasonNewHigh = 6;
constexpr int kReasonNewLow = 7;

// "%d%s" into a buffer kept by the caller: a whole market evaluates without an allocation
// once the buffer has grown.
void StockKey(std::string& key, unsigned char market, const char* code)
{
    key = std::to_string(market);
    key.append(code, strnlen(code, sizeof(Ta_VELKPRICETABLE::m_szCode)));
}

// A value of the quote service as a number; no data, or none that is usable, is 0.
double ItemNumber(const X1Format& value)
{
    if (value.GetKind() == X1Format::kNone)
        return 0;
    const double number = value;
    return std::isfinite(number) && number > 0 ? number : 0;
}

bool RatioOn(float ratio)
{
    return ratio >= 0 && std::isfinite(ratio);
}

} // namespace

bool CMarketMonitor::Load(const std::string& sysDir, std::string& error)
{
    m_strSysDir = sysDir;
    const bool read = m_settings.Load(sysDir, error);
    UpdateFilters();
    ClearDay();
    return read;
}

void CMarketMonitor::ApplySettings(const CMarketMonitorSettings& settings)
{
    m_settings = settings;
    UpdateFilters();
}

void CMarketMonitor::ClearDay()
{
    m_stocks.Clear();
    m_noise.clear();
}

double CMarketMonitor::TradingMinutes(long seconds)
{
    const long morning = std::clamp(seconds - kMorningOpen, 0L, kSessionLength);
    const long afternoon = std::clamp(seconds - kAfternoonOpen, 0L, kSessionLength);
    return std::max(1.0, static_cast<double>(morning + afternoon) / 60.0);
}

void CMarketMonitor::FetchData(const Ta_VELKPRICETABLE& quote, StockState& state)
{
    static const std::vector<unsigned short> items = {
        QuoteItem::kPrevClose, QuoteItem::kFiveDayVolumePerMinute, QuoteItem::kCirculatingShares};
    thread_local std::vector<X1Format> values;
    if (!BK_bGetItemDataByItemNo(quote.m_byMarket, VelkFieldText(quote.m_szCode), items, values,
                                 true, nullptr) ||
        values.size() < items.size())
        return;
    // Prices are 32-bit floats everywhere in the engine, the previous close too.
    state.prevClose = static_cast<float>(ItemNumber(values[0]));
    state.fiveDayVolumePerMinute = ItemNumber(values[1]);
    state.circulatingShares = ItemNumber(values[2]);
}

void CMarketMonitor::Evaluate(CVelkAlert& engine, Ta_VELKPRICETABLE& quote,
                              const Ta_ALERTSETTING& ratios)
{
    const float price = quote.m_fPrice;
    if (!VelkIsUsablePrice(price) || price <= 0)
        return;
    char keyBytes[1 + sizeof(Ta_VELKPRICETABLE::m_szCode)];
    keyBytes[0] = static_cast<char>(quote.m_byMarket);
    const std::size_t codeLength = strnlen(quote.m_szCode, sizeof(Ta_VELKPRICETABLE::m_szCode));
    std::memcpy(keyBytes + 1, quote.m_szCode, codeLength);
    const std::string_view key(keyBytes, 1 + codeLength);
    StockState* found = m_stocks.Insert(key);
    if (!found)
        return;
    // A copy, written back at the end: an alert's observer may clear the day meanwhile.
    StockState state = *found;
    const long time = quote.m_nTime;
    const long minute = time / 60;
    // Data that the quote service learns later (a live feed's symbol message) reaches the rules
    // within a minute; known data is not asked for again that day.
    const bool dataMissing =
        state.prevClose <= 0 || state.fiveDayVolumePerMinute <= 0 || state.circulatingShares <= 0;
    if (!state.dataAsked || (dataMissing && (minute != state.dataMinute || time < 1))) {
        FetchData(quote, state);
        state.dataAsked = true;
        state.dataMinute = minute;
    }
    const double p = price;
    const float volume = std::isfinite(quote.m_fVolume) ? quote.m_fVolume : 0.0f;
    const double tradeVolume =
        static_cast<double>(volume) - static_cast<double>(state.traded ? state.lastVolume : 0.0f);

    if (ratios.m_bLimitPrice) {
        const float limitUp = quote.m_fLimitUp;
        const float limitDown = quote.m_fLimitDown;
        if (limitUp > 0 && price >= limitUp) {
            state.upSealed = true;
        } else if (state.upSealed) {
            state.upSealed = false;
            engine.AddAlertRecord(kLimitUpOpened, &quote, time);
        }
        if (limitDown > 0 && price <= limitDown) {
            state.downSealed = true;
        } else if (state.downSealed) {
            state.downSealed = false;
            engine.AddAlertRecord(kLimitDownOpened, &quote, time);
        }
    }

    if (state.prevClose > 0) {
        const double close = state.prevClose;
        // Before its first trade a stock stands at the previous close.
        const double before = state.traded ? static_cast<double>(state.lastPrice) : close;
        const double change = (p - close) / close * 100.0;
        const double changeBefore = (before - close) / close * 100.0;
        if (RatioOn(ratios.m_fRiseRatio)) {
            const double rise = ratios.m_fRiseRatio;
            if (changeBefore < rise && change >= rise)
                engine.AddAlertRecord(kRiseRatio, &quote, time);
        }
        if (RatioOn(ratios.m_fFallRatio)) {
            const double fall = -static_cast<double>(ratios.m_fFallRatio);
            if (changeBefore > fall && change <= fall)
                engine.AddAlertRecord(kFallRatio, &quote, time);
        }
    }

    if (state.traded && state.lastPrice > 0 && RatioOn(ratios.m_fSingleRatio)) {
        const double before = state.lastPrice;
        if (std::fabs(p - before) / before * 100.0 >= static_cast<double>(ratios.m_fSingleRatio))
            engine.AddAlertRecord(kSingleTrade, &quote, time);
    }

    if (state.fiveDayVolumePerMinute > 0 && RatioOn(ratios.m_fVolumeRatio)) {
        const double ratio =
            static_cast<double>(volume) / TradingMinutes(time) / state.fiveDayVolumePerMinute;
        const double limit = ratios.m_fVolumeRatio;
        if (state.lastVolumeRatio < limit && ratio >= limit)
            engine.AddAlertRecord(kVolumeRatio, &quote, time);
        state.lastVolumeRatio = ratio;
    }

    if (tradeVolume > 0) {
        if (RatioOn(ratios.m_fLargeAmount) &&
            p * tradeVolume >= static_cast<double>(ratios.m_fLargeAmount) * 10000.0)
            engine.AddAlertRecord(kLargeAmount, &quote, time);
        if (state.circulatingShares > 0 && RatioOn(ratios.m_fLargeVolume) &&
            tradeVolume >=
                static_cast<double>(ratios.m_fLargeVolume) / 100.0 * state.circulatingShares)
            engine.AddAlertRecord(kLargeVolume, &quote, time);
    }

    state.lastPrice = price;
    state.lastVolume = volume;
    state.traded = true;
    if (StockState* stored = m_stocks.Insert(key))
        *stored = state;
}

int CMarketMonitor::TradeDate(unsigned char market, const std::string& code) const
{
    CMarketStatus status;
    if (BK_bGetMarketStatus(DA_byConvert2Level1ServiceID(market), code, status, nullptr) &&
        status.m_nTradeDate > 0)
        return status.m_nTradeDate;
    const VelkLocalTime now = m_clock.Now();
    return now.year * 10000 + now.month * 100 + now.day;
}

bool CMarketMonitor::IsMutedToday(unsigned char market, const std::string& code) const
{
    return !m_settings.mutes.empty() && m_settings.IsMuted(market, code, TradeDate(market, code));
}

bool CMarketMonitor::MuteForDay(unsigned char market, const std::string& code)
{
    m_settings.MuteForDay(market, code, TradeDate(market, code));
    // The save takes in what another program stored meanwhile, so the filters follow it.
    const bool saved = !m_strSysDir.empty() && m_settings.Save(m_strSysDir);
    UpdateFilters();
    return saved;
}

bool CMarketMonitor::Admit(int reason, const Ta_VELKPRICETABLE& quote, long time)
{
    if (!m_bFilters)
        return true;
    const std::string code = VelkFieldText(quote.m_szCode);
    if (IsMutedToday(quote.m_byMarket, code))
        return false;
    if (reason < 0 || reason >= CMarketMonitorSettings::kReasonCount)
        return true;

    std::string key;
    StockKey(key, quote.m_byMarket, code.c_str());
    NoiseState& noise = m_noise[key];
    // A time before one already alerted is another day's: the stock starts the day afresh.
    for (long last : noise.lastTime)
        if (last >= 0 && time < last) {
            noise = NoiseState();
            break;
        }
    const float price = quote.m_fPrice;
    if (reason == kReasonNewHigh && m_settings.newHighStep > 0 && noise.alertedHigh > 0 &&
        static_cast<double>(price) <
            static_cast<double>(noise.alertedHigh) * (1.0 + m_settings.newHighStep / 100.0))
        return false;
    if (reason == kReasonNewLow && m_settings.newLowStep > 0 && noise.alertedLow > 0 &&
        static_cast<double>(price) >
            static_cast<double>(noise.alertedLow) * (1.0 - m_settings.newLowStep / 100.0))
        return false;

    const CMarketMonitorSettings::ReasonRule& rule =
        m_settings.rules[static_cast<std::size_t>(reason)];
    long& last = noise.lastTime[static_cast<std::size_t>(reason)];
    if (rule.repeat == CMarketMonitorSettings::Repeat::OncePerDay && last >= 0)
        return false;
    if (rule.repeat == CMarketMonitorSettings::Repeat::Cooldown && last >= 0 &&
        time - last < rule.cooldownSeconds)
        return false;

    last = time;
    if (reason == kReasonNewHigh)
        noise.alertedHigh = price;
    if (reason == kReasonNewLow)
        noise.alertedLow = price;
    return true;
}
