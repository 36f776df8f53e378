#pragma once

#include <array>
#include <string>
#include <unordered_map>

#include "engine/CMarketMonitorSettings.h"
#include "engine/VelkRecords.h"
#include "platform/core/CShortKeyTable.h"

class CVelkAlert;
class IVelkClock;

// The engine's market monitor: the intraday rules on the stocks of the system-alert list
// (a limit board opened, rise and fall ratios, single-trade moves, volume ratio, large amounts
// and large trades), with the thresholds of the stored ratio settings, and the noise control
// that every alert passes before it is recorded. Off and at its defaults it raises nothing and
// holds nothing back.
class VELK_EXPORT CMarketMonitor {
public:
    // Reason codes of the monitor's own alerts.
    static constexpr int kLimitUpOpened = 4;
    static constexpr int kLimitDownOpened = 5;
    static constexpr int kRiseRatio = 8;
    static constexpr int kFallRatio = 9;
    static constexpr int kSingleTrade = 10;
    static constexpr int kVolumeRatio = 11;
    static constexpr int kLargeAmount = 12;
    static constexpr int kLargeVolume = 13;

    explicit CMarketMonitor(const IVelkClock& clock) : m_clock(clock) {}

    // Reads MarketMonitor.cfg of the system directory; the day's state starts anew. False with
    // error set when the file was there but not all of it could be read.
    bool Load(const std::string& sysDir, std::string& error);
    const CMarketMonitorSettings& Settings() const { return m_settings; }
    // Takes settings in force (not saved); the day's state of the rules is kept.
    void ApplySettings(const CMarketMonitorSettings& settings);

    bool RulesOn() const { return m_settings.enabled; }
    bool FiltersOn() const { return m_bFilters; }

    // One snapshot of a stock of the system-alert list, after the engine's own tests: raises the
    // monitor's alerts through the engine.
    void Evaluate(CVelkAlert& engine, Ta_VELKPRICETABLE& quote, const Ta_ALERTSETTING& ratios);
    // Whether an alert of the reason for the quote's stock at the time may be recorded; an alert
    // let through counts for the stock's next ones.
    bool Admit(int reason, const Ta_VELKPRICETABLE& quote, long time);

    // Mutes the stock until the trading day ends and stores it at once (a restart keeps it).
    // False when MarketMonitor.cfg could not be written; the mute holds for this run anyway.
    bool MuteForDay(unsigned char market, const std::string& code);
    bool IsMutedToday(unsigned char market, const std::string& code) const;

    // A new day: every stock's state of the rules and of the noise control is forgotten.
    void ClearDay();

    // The minutes of continuous trading (09:30-11:30, 13:00-15:00) before the time of day, at
    // least one: what the volume so far is spread over.
    static double TradingMinutes(long seconds);

private:
    struct StockState {
        float lastPrice = 0;
        float lastVolume = 0;
        double lastVolumeRatio = 0;
        bool traded = false;
        bool upSealed = false;
        bool downSealed = false;
        // The stock's data from the quote service: asked for at its first quote and, while some
        // of it is unknown, again each minute.
        bool dataAsked = false;
        long dataMinute = -1;
        double prevClose = 0;
        double fiveDayVolumePerMinute = 0;
        double circulatingShares = 0;
    };
    struct NoiseState {
        std::array<long, CMarketMonitorSettings::kReasonCount> lastTime;
        float alertedHigh = 0;
        float alertedLow = 0;
        NoiseState() { lastTime.fill(-1); }
    };

    void FetchData(const Ta_VELKPRICETABLE& quote, StockState& state);
    int TradeDate(unsigned char market, const std::string& code) const;
    void UpdateFilters() { m_bFilters = m_settings.HasNoiseControl(); }

    const IVelkClock& m_clock;
    std::string m_strSysDir;
    CMarketMonitorSettings m_settings;
    bool m_bFilters = false;
    // Every quote of a monitored stock finds its state here: flat, as a whole market finds each
    // stock cold in memory. Keyed by the market byte and the code.
    CShortKeyTable<StockState> m_stocks;
    std::unordered_map<std::string, NoiseState> m_noise;
};
