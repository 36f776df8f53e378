// The market monitor when velk-host follows a live feed: the stock data of the feed's symbol
// lines reaches the quote service as a day folder's does, the monitor raises the replay's alerts,
// and a stock muted for the day speaks again on the next day the feed starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/CMarketMonitorSettings.h"
#include "engine/CVelkAlert.h"
#include "host/core/CAlertPrinter.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/feed/CDayFeedWriter.h"
#include "host/feed/CFeedRunner.h"
#include "host/feed/CLiveSession.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"
#include "tests/host/HostTestSupport.h"

using namespace hosttest;

namespace {

const std::string kDemoDay = std::string(VELK_SOURCE_DIR) + "/data/demo-day";
const std::string kDemoSys = std::string(VELK_SOURCE_DIR) + "/data/demo-root/SYS";

class LineObserver final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        lines.push_back(CAlertPrinter::FormatLine(record));
    }
    std::vector<std::string> lines;
};

// The demo's conditions with the monitor on and thresholds low enough for every rule to speak
// on the demo day: rise 3 %, fall 1 %, volume ratio 1.5, single trade 0.5 %, 1,000,000 yuan,
// 0.002 % of the circulating shares.
std::string MonitoredRoot(const CTempDir& dir, const std::string& name)
{
    const std::string sys = dir.File(name + "/SYS");
    std::filesystem::create_directories(dir.File(name));
    std::filesystem::copy(kDemoSys, sys);
    std::string alertCfg = ReadFile(sys + "/alert.cfg");
    const float ratios[6] = {3.0f, 1.0f, 1.5f, 0.5f, 100.0f, 0.002f};
    EXPECT_GE(alertCfg.size(), 44u);
    alertCfg.replace(20, sizeof ratios, reinterpret_cast<const char*>(ratios), sizeof ratios);
    WriteFile(sys + "/alert.cfg", alertCfg);
    CMarketMonitorSettings settings;
    settings.enabled = true;
    EXPECT_TRUE(settings.Save(sys));
    return sys;
}

std::vector<std::string> Replayed(const CTradingDay& day, const std::string& sysDir)
{
    CQuoteStore store;
    CScopedHostBackend backend(store);
    LineObserver observer;
    CDayReplay replay(day, store);
    replay.FillStore(sysDir);
    const CVelkServices services{};
    replay.Run(&services, sysDir, &observer);
    return observer.lines;
}

std::vector<std::string> PlayedLive(const CTradingDay& day, const std::string& sysDir)
{
    CQuoteStore store;
    CScopedHostBackend backend(store);
    LineObserver observer;
    const CVelkServices services{};
    CLiveSession session(store, sysDir, &services, &observer);
    std::FILE* log = std::tmpfile();
    {
        CFeedRunner runner(session, {}, log);
        CDayFeedWriter writer(day);
        std::string line, subject;
        int time = -1;
        while (writer.Next(line, time, subject)) {
            runner.TakeLine(line);
            line.clear();
        }
        EXPECT_EQ(runner.FaultSummary(), "");
    }
    session.Finish();
    std::fclose(log);
    return observer.lines;
}

std::size_t CountWith(const std::vector<std::string>& lines, const std::string& text)
{
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
}

// A live session on its own quote service, fed line by line.
struct LiveMonitor {
    CTempDir dir;
    std::string sysDir = MonitoredRoot(dir, "root");
    CQuoteStore store;
    CScopedHostBackend backend{store};
    LineObserver observer;
    CVelkServices services{};
    CLiveSession session{store, sysDir, &services, &observer};
    std::FILE* log = std::tmpfile();
    CFeedRunner runner{session, {}, log};

    ~LiveMonitor()
    {
        session.Finish();
        std::fclose(log);
    }
    void Take(std::initializer_list<std::string> lines)
    {
        for (const std::string& line : lines)
            runner.TakeLine(line);
    }
    std::vector<X1Format> Items(const char* code, std::vector<unsigned short> items)
    {
        std::vector<X1Format> values;
        EXPECT_TRUE(store.GetItemDataByItemNo(1, code, items, values, true));
        return values;
    }
};

std::string Hello(int date)
{
    return R"({"type":"hello","version":1,"date":)" + std::to_string(date) +
           R"(,"markets":[{"market":1,"ext":"SH","level1":1}]})";
}

std::string Trade(const char* time, const char* code, const char* price, int volume = 100)
{
    return std::string(R"({"type":"trade","time":")") + time + R"(","market":1,"code":")" + code +
           R"(","price":)" + price + R"(,"volume":)" + std::to_string(volume) + "}";
}

} // namespace

TEST(FeedMonitor, TheDemoDayPlayedLiveRaisesTheMonitorAlertsOfItsReplay)
{
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(kDemoDay, error)) << error;
    CTempDir dir;
    const std::vector<std::string> replayed = Replayed(day, MonitoredRoot(dir, "replay"));
    const std::vector<std::string> live = PlayedLive(day, MonitoredRoot(dir, "live"));
    // The rules on the data beyond the trades must speak, or the comparison proves little.
    for (const char* reason : {"量比达到限制", "大笔成交", "达到涨幅比率", "涨停板打开"})
        EXPECT_GT(CountWith(replayed, reason), 0u) << reason;
    EXPECT_EQ(live, replayed);
}

TEST(FeedMonitor, ASymbolsStockDataReachesTheQuoteServiceAndACorrectionWithoutItKeepsIt)
{
    LiveMonitor live;
    live.Take({Hello(20211201),
               R"({"type":"symbol","market":1,"code":"600000","name":"浦发银行","prev_close":10,)"
               R"("limit_up":11,"limit_down":9,"pinyin":"PFYH","circulating_shares":293520804,)"
               R"("five_day_volume_per_minute":12500})",
               R"({"type":"symbol","market":1,"code":"600004","name":"白云机场","prev_close":8,)"
               R"("pinyin":"bai yun"})"});
    const std::vector<unsigned short> items = {QuoteItem::kFiveDayVolumePerMinute,
                                               QuoteItem::kCirculatingShares, QuoteItem::kPinyin};
    std::vector<X1Format> values = live.Items("600000", items);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_DOUBLE_EQ(double(values[0]), 12500);
    EXPECT_DOUBLE_EQ(double(values[1]), 293520804.0);
    EXPECT_EQ(CString(values[2]), "pfyh") << "initials as the keyboard wizard types them";

    // Nothing sent is no data, not 0; a full reading is no set of initials.
    values = live.Items("600004", items);
    ASSERT_EQ(values.size(), 3u);
    for (const X1Format& value : values)
        EXPECT_EQ(value.GetKind(), X1Format::kNone);

    // A correction of the limits alone keeps the data the service already had.
    live.Take({R"({"type":"symbol","market":1,"code":"600000","name":"浦发银行","prev_close":10,)"
               R"("limit_up":11.5,"limit_down":9})"});
    values = live.Items("600000", items);
    EXPECT_DOUBLE_EQ(double(values[1]), 293520804.0);
    EXPECT_EQ(CString(values[2]), "pfyh");
}

TEST(FeedMonitor, ANewDayReportsYesterdaysLastPriceAsThePreviousClose)
{
    LiveMonitor live;
    live.Take({Hello(20211201),
               R"({"type":"symbol","market":1,"code":"600103","name":"青山纸业","prev_close":2.72,)"
               R"("limit_up":2.99,"limit_down":2.45})",
               Trade("14:59:00", "600103", "2.80"), Hello(20211202)});
    std::vector<X1Format> values = live.Items("600103", {QuoteItem::kPrevClose});
    ASSERT_EQ(values.size(), 1u);
    EXPECT_FLOAT_EQ(static_cast<float>(double(values[0])), 2.80f);
}

TEST(FeedMonitor, TradesFillTheOpenAndTheMoneyTradedAsAReplayDoes)
{
    LiveMonitor live;
    live.Take(
        {Hello(20211201),
         R"({"type":"symbol","market":1,"code":"600103","name":"青山纸业","prev_close":2.72})",
         R"({"type":"symbol","market":1,"code":"600107","name":"ST尔雅","prev_close":6.40})",
         Trade("09:25:00", "600103", "2.75", 1000), Trade("09:30:01", "600103", "2.80", 200),
         Trade("09:30:02", "600103", "2.70", 300),
         // A source that counts the day's money itself is believed over the sum.
         R"({"type":"trade","time":"09:30:00","market":1,"code":"600107","price":6.38,)"
         R"("volume":100,"cum_volume":5100,"amount":32550})"});
    const std::vector<unsigned short> items = {QuoteItem::kOpenPrice, QuoteItem::kAmount};
    std::vector<X1Format> values = live.Items("600103", items);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_FLOAT_EQ(static_cast<float>(double(values[0])), 2.75f) << "the first trade opens";
    EXPECT_NEAR(double(values[1]), 2.75 * 1000 + 2.80 * 200 + 2.70 * 300, 0.5);
    values = live.Items("600107", items);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_FLOAT_EQ(static_cast<float>(double(values[0])), 6.38f);
    EXPECT_NEAR(double(values[1]), 32550, 0.5);
    // The next trade without the source's count goes on from it.
    live.Take({Trade("09:30:05", "600107", "6.40", 100)});
    values = live.Items("600107", items);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_FLOAT_EQ(static_cast<float>(double(values[0])), 6.38f) << "the open stays";
    EXPECT_NEAR(double(values[1]), 32550 + 640, 0.5);
}

TEST(FeedMonitor, AStockMutedForTheDayIsSilentThatDayAndSpeaksOnTheFeedsNextDay)
{
    LiveMonitor live;
    const std::string symbol =
        R"({"type":"symbol","market":1,"code":"600103","name":"青山纸业","prev_close":2.72,)"
        R"("limit_up":2.99,"limit_down":2.45})";
    live.Take({Hello(20211201), symbol, Trade("09:30:00", "600103", "2.90")});
    ASSERT_NE(live.session.Engine(), nullptr);
    const std::size_t unmuted = live.observer.lines.size();
    ASSERT_TRUE(live.session.Engine()->MuteStockForDay(1, "600103"));
    live.Take({Trade("09:31:00", "600103", "2.99"), Trade("09:32:00", "600103", "2.90")});
    EXPECT_EQ(live.observer.lines.size(), unmuted)
        << "muted: " << (live.observer.lines.empty() ? "" : live.observer.lines.back());
    const std::string stored = ReadFile(live.sysDir + "/MarketMonitor.cfg");
    EXPECT_NE(stored.find("mute.1.600103=20211201"), std::string::npos) << stored;

    // The next day's engine reads the same file: yesterday's mute is over.
    live.Take({Hello(20211202), symbol, Trade("09:30:00", "600103", "2.90"),
               Trade("09:31:00", "600103", "2.99")});
    EXPECT_EQ(CountWith(live.observer.lines, "达到涨停价"), 1u);
    EXPECT_GT(CountWith(live.observer.lines, "600103"), 0u);

    // Muted again on the new day, under the new date.
    ASSERT_TRUE(live.session.Engine()->MuteStockForDay(1, "600103"));
    const std::size_t before = live.observer.lines.size();
    live.Take({Trade("09:32:00", "600103", "2.90"), Trade("09:33:00", "600103", "2.99")});
    EXPECT_EQ(live.observer.lines.size(), before);
    EXPECT_NE(ReadFile(live.sysDir + "/MarketMonitor.cfg").find("mute.1.600103=20211202"),
              std::string::npos);
}
