#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/CMarketMonitor.h"
#include "engine/CMarketMonitorSettings.h"
#include "hostapi/QuoteItems.h"
#include "platform/core/VelkFile.h"
#include "res/VelkStringTable.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/FakeWindowing.h"

namespace {

using TA = CVelkAlertTestAccess;

// One stock, 1 600000, traded through the quote service into an engine whose system directory
// is a scratch folder; the monitor's setting is written there before the engine starts.
class MarketMonitorTest : public ::testing::Test {
protected:
    MarketMonitorTest() : m_guard(m_store)
    {
        m_store.SetTradeDate(20211201);
        m_store.AddMarket(1, "SH", 1);
        m_store.AddSymbol(1, "600000", "PF");
        m_store.SetItem(1, "600000", X1Format::Price(QuoteItem::kPrevClose, 10.00));
        m_store.SetItem(1, "600000", X1Format::Price(QuoteItem::kLimitUp, 11.00));
        m_store.SetItem(1, "600000", X1Format::Price(QuoteItem::kLimitDown, 9.00));
    }

    // A fresh engine over the scratch directory (the previous one is destroyed first, as a
    // restart would), with the ratios given and 600000 as its system-alert stock.
    void StartEngine(const std::string& monitorCfg, Ta_ALERTSETTING ratios = Quiet())
    {
        if (!monitorCfg.empty()) {
            ASSERT_TRUE(VelkReplaceFile(m_dir.File("MarketMonitor.cfg"), monitorCfg));
        }
        m_engine.reset();
        m_log.m_records.clear();
        m_engine =
            std::make_unique<CVelkAlert>(CVelkServices{&m_windowing, nullptr, nullptr, &m_clock});
        CString path = m_dir.Path();
        m_engine->SetSYSPath(path);
        m_engine->Start();
        m_engine->SetAlertObserver(&m_log);
        TA::Options(*m_engine).m_byPopup = 0;
        // Only the limit-price test of the engine's own: new highs and lows are a test's own
        // choice.
        TA::SystemSwitch(*m_engine) = Ta_SYSTEMSWITCH{0, 0, 1, 2};
        TA::Ratios(*m_engine) = ratios;
        TA::SetSystemList(*m_engine, {MakeWatch(1, "600000", "PF")});
        m_volume = 0;
    }

    // Every rule off: a test switches on the one it looks at.
    static Ta_ALERTSETTING Quiet()
    {
        return Ta_ALERTSETTING{1, 1, 1, 1, 0, -1, -1, -1, -1, -1, -1};
    }

    void Trade(double price, double volume, int time)
    {
        m_volume += volume;
        const X1Format items[] = {X1Format::Price(125, price),
                                  X1Format::Price(182, price),
                                  X1Format::Volume(413, m_volume),
                                  X1Format::Price(130, 10.5),
                                  X1Format::Price(131, 9.5),
                                  X1Format::Time(143, time / 3600, time / 60 % 60, time % 60)};
        m_store.SetItems(1, "600000", items);
        CMemoryInfo info(1, "600000");
        m_engine->vRecvNewMemory(&info);
    }

    // Reasons and times of the alerts so far, oldest first, as "reason@HH:MM:SS" texts.
    std::vector<std::string> Alerts() const
    {
        std::vector<std::string> out;
        for (const Ta_ALERTRECORD& r : m_log.m_records) {
            int reason = -1;
            for (int i = 0; i < 14; ++i)
                if (VelkFieldText(r.m_szReason) == VelkReasonText(i))
                    reason = i;
            char clock[16];
            std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", r.m_nTime / 3600,
                          r.m_nTime / 60 % 60, r.m_nTime % 60);
            out.push_back(std::to_string(reason) + "@" + clock);
        }
        return out;
    }

    static int At(int h, int m, int s) { return h * 3600 + m * 60 + s; }

    CQuoteStore m_store;
    CScopedHostBackend m_guard;
    CTempDir m_dir;
    CFakeWindowing m_windowing;
    CFixedClock m_clock;
    CAlertLog m_log;
    std::unique_ptr<CVelkAlert> m_engine;
    double m_volume = 0;
};

TEST_F(MarketMonitorTest, OffByDefaultEvenWithThresholdsAndData)
{
    Ta_ALERTSETTING ratios = Quiet();
    ratios.m_bLimitPrice = 1;
    ratios.m_fRiseRatio = 1;
    ratios.m_fSingleRatio = 0.5f;
    ratios.m_fLargeAmount = 1;
    StartEngine("", ratios);
    Trade(10.50, 100000, At(9, 30, 0));
    Trade(11.00, 100000, At(9, 31, 0));
    Trade(10.90, 100000, At(9, 32, 0));
    EXPECT_EQ(Alerts(), std::vector<std::string>({"2@09:31:00"}))
        << "only the engine's own limit-up alert";
    EXPECT_FALSE(m_engine->GetMarketMonitor().RulesOn());
    EXPECT_FALSE(m_engine->GetMarketMonitor().FiltersOn());
}

TEST_F(MarketMonitorTest, LimitBoardOpeningAlertsOncePerSealing)
{
    Ta_ALERTSETTING ratios = Quiet();
    ratios.m_bLimitPrice = 1;
    StartEngine("enabled=1\nlimit_up=every\n", ratios);
    TA::SystemSwitch(*m_engine).m_byLimit = 0;
    Trade(10.90, 100, At(9, 30, 0));
    Trade(11.00, 100, At(9, 30, 3)); // sealed
    Trade(11.00, 100, At(9, 30, 6));
    Trade(10.99, 100, At(9, 30, 9)); // opened
    Trade(10.98, 100, At(9, 30, 12));
    Trade(11.00, 100, At(9, 30, 15)); // sealed again
    Trade(10.95, 100, At(9, 30, 18)); // opened again
    Trade(9.00, 100, At(9, 31, 0));   // limit-down sealed
    Trade(9.00, 100, At(9, 31, 3));
    Trade(9.01, 100, At(9, 31, 6)); // limit-down opened
    EXPECT_EQ(Alerts(), std::vector<std::string>({"4@09:30:09", "4@09:30:18", "5@09:31:06"}));
}

TEST_F(MarketMonitorTest, RatioRulesFireOnTheirCrossingsOnly)
{
    Ta_ALERTSETTING ratios = Quiet();
    ratios.m_fRiseRatio = 3;
    ratios.m_fFallRatio = 2;
    StartEngine("enabled=1\n", ratios);
    Trade(10.20, 100, At(9, 30, 0));
    Trade(10.30, 100, At(9, 30, 3)); // +3 %: reached
    Trade(10.40, 100, At(9, 30, 6)); // stays above: nothing
    Trade(10.10, 100, At(9, 30, 9));
    Trade(10.35, 100, At(9, 30, 12)); // reached again
    Trade(9.79, 100, At(9, 30, 15));  // -2.1 %: fall ratio
    Trade(9.70, 100, At(9, 30, 18));
    EXPECT_EQ(Alerts(), std::vector<std::string>({"8@09:30:03", "8@09:30:12", "9@09:30:15"}));
}

TEST_F(MarketMonitorTest, TradeRulesTakeEachTradesMoveAmountAndVolume)
{
    m_store.SetItem(1, "600000", X1Format::Volume(QuoteItem::kCirculatingShares, 10'000'000));
    Ta_ALERTSETTING ratios = Quiet();
    ratios.m_fSingleRatio = 1;    // percent from the trade before
    ratios.m_fLargeAmount = 50;   // 500,000 yuan
    ratios.m_fLargeVolume = 0.5f; // 50,000 shares
    StartEngine("enabled=1\n", ratios);
    Trade(10.00, 60000, At(9, 30, 0)); // 600,000 yuan and 60,000 shares; no trade before
    Trade(10.10, 100, At(9, 30, 3));   // +1 %
    Trade(10.05, 49000, At(9, 30, 6)); // 492,450 yuan, 49,000 shares: neither
    Trade(9.90, 50000, At(9, 30, 9));  // -1.49 %, 495,000 yuan, 50,000 shares
    EXPECT_EQ(Alerts(), std::vector<std::string>({"12@09:30:00", "13@09:30:00", "10@09:30:03",
                                                  "10@09:30:09", "13@09:30:09"}));
}

TEST_F(MarketMonitorTest, VolumeRatioSpreadsTheVolumeOverTheMinutesOfTrading)
{
    EXPECT_DOUBLE_EQ(CMarketMonitor::TradingMinutes(At(9, 25, 0)), 1.0);
    EXPECT_DOUBLE_EQ(CMarketMonitor::TradingMinutes(At(9, 40, 30)), 10.5);
    EXPECT_DOUBLE_EQ(CMarketMonitor::TradingMinutes(At(12, 15, 0)), 120.0) << "lunch break";
    EXPECT_DOUBLE_EQ(CMarketMonitor::TradingMinutes(At(13, 30, 0)), 150.0);
    EXPECT_DOUBLE_EQ(CMarketMonitor::TradingMinutes(At(16, 0, 0)), 240.0);

    m_store.SetItem(1, "600000", X1Format::Volume(QuoteItem::kFiveDayVolumePerMinute, 1000));
    Ta_ALERTSETTING ratios = Quiet();
    ratios.m_fVolumeRatio = 2;
    StartEngine("enabled=1\n", ratios);
    Trade(10.0, 15000, At(9, 40, 0)); // 15,000 over 10 minutes: 1.5
    Trade(10.0, 6000, At(9, 40, 3));  // 21,000 over 10.05 minutes: 2.09, reached
    Trade(10.0, 1000, At(9, 40, 6));  // stays above
    Trade(10.0, 100, At(9, 52, 0));   // 22,100 over 22 minutes: below again
    Trade(10.0, 30000, At(9, 52, 3)); // 52,100 over 22.05 minutes: above
    EXPECT_EQ(Alerts(), std::vector<std::string>({"11@09:40:03", "11@09:52:03"}));
}

TEST_F(MarketMonitorTest, RulesWithoutTheirDataStaySilent)
{
    m_store.SetItem(1, "600000", X1Format::None(QuoteItem::kPrevClose));
    Ta_ALERTSETTING ratios = Quiet();
    ratios.m_fRiseRatio = 1;
    ratios.m_fVolumeRatio = 0.001f;
    ratios.m_fLargeVolume = 0.0001f;
    StartEngine("enabled=1\n", ratios);
    Trade(10.5, 1000000, At(9, 40, 0));
    Trade(10.6, 1000000, At(9, 41, 0));
    EXPECT_TRUE(Alerts().empty()) << "no previous close, five-day volume or circulating shares";

    // Data the quote service learns later reaches the rules from the next minute on.
    m_store.SetItem(1, "600000", X1Format::Volume(QuoteItem::kCirculatingShares, 1'000'000));
    Trade(10.6, 1000, At(9, 41, 30));
    EXPECT_TRUE(Alerts().empty());
    Trade(10.6, 1000, At(9, 42, 0));
    EXPECT_EQ(Alerts(), std::vector<std::string>({"13@09:42:00"}));
}

TEST_F(MarketMonitorTest, RepeatRulesHoldBackTheEnginesOwnAlertsToo)
{
    Ta_ALERTSETTING ratios = Quiet();
    ratios.m_fSingleRatio = 0.5f;
    StartEngine("limit_up=once\nsingle_trade=60s\n", ratios);
    for (int i = 0; i < 3; ++i) {
        Trade(10.90, 100, At(9, 30, 10 * i));
        Trade(11.00, 100, At(9, 30, 10 * i + 5)); // a limit-up crossing each time
    }
    EXPECT_EQ(Alerts(), std::vector<std::string>({"2@09:30:05"})) << "monitor rules are off";

    StartEngine("enabled=1\nsingle_trade=60s\n", ratios);
    const int moves[] = {0, 20, 79, 80, 139, 141};
    double price = 10.0;
    for (int t : moves) {
        price = price == 10.0 ? 10.1 : 10.0;
        Trade(price, 100, At(9, 31, 0) + t);
    }
    // The first trade has none before it; then 09:31:20 alerts, 09:32:19 is 59 s after it,
    // 09:32:20 60 s after; 09:33:19 is 59 s after that, 09:33:21 61 s.
    EXPECT_EQ(Alerts(), std::vector<std::string>({"10@09:31:20", "10@09:32:20", "10@09:33:21"}));
}

TEST_F(MarketMonitorTest, NewHighsAlertOnlyAStepBeyondTheLastAlertedOne)
{
    StartEngine("new_high_step=1\nnew_low_step=2\n");
    TA::SystemSwitch(*m_engine) = Ta_SYSTEMSWITCH{1, 1, 0, 2};
    // Seeded at 10.5 / 9.5 by the quote service's high and low.
    for (double p : {10.6, 10.65, 10.70, 10.71, 10.72})
        Trade(p, 100, At(9, 35, 0));
    for (double p : {9.4, 9.3, 9.22, 9.21})
        Trade(p, 100, At(9, 36, 0));
    // 10.6 alerts; 10.65 and 10.70 are below 10.706, 1 % above it; 10.71 alerts, and 10.72 is
    // not 1 % above that. 9.4 alerts; 9.212 is 2 % below it: only 9.21 alerts.
    std::vector<std::string> alerts = Alerts();
    EXPECT_EQ(alerts,
              std::vector<std::string>({"6@09:35:00", "6@09:35:00", "7@09:36:00", "7@09:36:00"}));
    ASSERT_EQ(m_log.m_records.size(), 4u);
    EXPECT_FLOAT_EQ(m_log.m_records[1].m_fPrice, 10.71f);
    EXPECT_FLOAT_EQ(m_log.m_records[3].m_fPrice, 9.21f);
}

TEST_F(MarketMonitorTest, MuteLastsTheTradingDayAcrossARestartAndEndsTheNextDay)
{
    StartEngine("");
    TA::SystemSwitch(*m_engine).m_byLimit = 1;
    Trade(10.9, 100, At(9, 30, 0));
    Trade(11.0, 100, At(9, 30, 5));
    ASSERT_EQ(Alerts().size(), 1u);
    ASSERT_TRUE(m_engine->MuteStockForDay(1, "600000"));
    Trade(10.9, 100, At(9, 31, 0));
    Trade(11.0, 100, At(9, 31, 5));
    EXPECT_EQ(Alerts().size(), 1u) << "muted";

    StartEngine(""); // a restart on the same day reads the mute back
    EXPECT_TRUE(m_engine->GetMarketMonitor().IsMutedToday(1, "600000"));
    Trade(10.9, 100, At(9, 40, 0));
    Trade(11.0, 100, At(9, 40, 5));
    Ta_MAGICSIGNAL signal;
    signal.m_byMarket = 1;
    signal.m_strCode = "600000";
    signal.m_strTime = "09:41";
    signal.m_strSignalName = "X";
    EXPECT_EQ(TA::OnReceiveMaigc(*m_engine, &signal), 0) << "its signals are silent too";
    signal.m_strCode = "600004";
    EXPECT_EQ(TA::OnReceiveMaigc(*m_engine, &signal), 1) << "another stock's are not";
    ASSERT_EQ(m_log.m_records.size(), 1u);
    EXPECT_EQ(VelkFieldText(m_log.m_records[0].m_szCode), "600004");
    m_log.m_records.clear();

    m_store.SetTradeDate(20211202);
    StartEngine("");
    Trade(10.9, 100, At(9, 30, 0));
    Trade(11.0, 100, At(9, 30, 5));
    EXPECT_EQ(Alerts(), std::vector<std::string>({"2@09:30:05"})) << "a new day";
    EXPECT_FALSE(m_engine->GetMarketMonitor().IsMutedToday(1, "600000"));
}

TEST_F(MarketMonitorTest, ClearingTheDayStartsTheRepeatRulesAfresh)
{
    StartEngine("limit_up=once\n");
    Trade(10.9, 100, At(9, 30, 0));
    Trade(11.0, 100, At(9, 30, 5));
    m_engine->ClearAllData();
    Trade(10.9, 100, At(9, 30, 10));
    Trade(11.0, 100, At(9, 30, 15));
    EXPECT_EQ(Alerts(), std::vector<std::string>({"2@09:30:05", "2@09:30:15"}));
}

TEST(MarketMonitorSettings, TextRoundTripsAndBadLinesAreReportedWithoutLosingTheRest)
{
    CMarketMonitorSettings settings;
    std::string error;
    ASSERT_TRUE(settings.Set("enabled", "1", error));
    ASSERT_TRUE(settings.Set("large_amount", "90s", error));
    ASSERT_TRUE(settings.Set("new_low", "once", error));
    ASSERT_TRUE(settings.Set("new_high_step", "0.25", error));
    ASSERT_TRUE(settings.Set("mute.1.600103", "20211201", error));
    CMarketMonitorSettings back;
    ASSERT_TRUE(back.Parse(settings.ToText(), error)) << error;
    EXPECT_EQ(back.ToText(), settings.ToText());
    EXPECT_TRUE(back.enabled);
    EXPECT_EQ(back.rules[12].repeat, CMarketMonitorSettings::Repeat::Cooldown);
    EXPECT_EQ(back.rules[12].cooldownSeconds, 90);
    EXPECT_TRUE(back.IsMuted(1, "600103", 20211201));
    EXPECT_FALSE(back.IsMuted(1, "600103", 20211202));

    CMarketMonitorSettings partly;
    EXPECT_FALSE(partly.Parse("enabled=1\r\nrise=sometimes\nno equals sign\nfall=once\n", error));
    EXPECT_EQ(error, "MarketMonitor.cfg:2: rise takes every, once or a cooldown of 1s to 86400s, "
                     "not \"sometimes\"");
    EXPECT_TRUE(partly.enabled);
    EXPECT_EQ(partly.rules[9].repeat, CMarketMonitorSettings::Repeat::OncePerDay);
    EXPECT_EQ(partly.rules[8].repeat, CMarketMonitorSettings::Repeat::Every);
}

TEST(MarketMonitorSettings, SetRefusesValuesOutsideItsRangeAndChangesNothing)
{
    CMarketMonitorSettings settings;
    const std::string before = settings.ToText();
    std::string error;
    for (auto [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"enabled", "yes"},
                                                          {"rise", "0s"},
                                                          {"rise", "86401s"},
                                                          {"rise", "-5s"},
                                                          {"new_high_step", "-1"},
                                                          {"new_high_step", "nan"},
                                                          {"mute.1.600103", "20211301"},
                                                          {"mute.300.600103", "20211201"},
                                                          {"mute.1", "20211201"},
                                                          {"limit", "once"}}) {
        error.clear();
        EXPECT_FALSE(settings.Set(name, value, error)) << name << "=" << value;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(settings.ToText(), before);
    EXPECT_FALSE(settings.HasNoiseControl());

    settings.MuteForDay(1, "600103", 20211201);
    settings.MuteForDay(1, "600000", 20211202);
    EXPECT_FALSE(settings.IsMuted(1, "600103", 20211201)) << "an earlier day's mute is over";
    EXPECT_TRUE(settings.IsMuted(1, "600000", 20211202));
    EXPECT_FALSE(settings.IsMuted(2, "600000", 20211202)) << "another market";
}

} // namespace
