// The market monitor as velk-host offers it: the monitor command over MarketMonitor.cfg, and the
// stock data a trading day brings for its rules.

#include <gtest/gtest.h>

#include <algorithm>

#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"
#include "tests/host/HostTestSupport.h"

using namespace hosttest;

namespace {

TEST(HostMonitor, ShowsTheSettingThenStoresOnOffAndSetAndRefusesBadWordsUnchanged)
{
    CTempDir dir;
    WriteFile(dir.File("SYS/alert.cfg"),
              Bytes(Ta_ALERTSETTING{1, 1, 1, 1, 1, 5.0f, -1.0f, 50.0f, 2.0f, 100.0f, 0.1f}) +
                  Bytes(QuietOptions()));
    HostResult shown = RunHost({"monitor", "--root", dir.Path()});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("enabled=0\n"), std::string::npos);
    EXPECT_NE(shown.out.find("# rise_ratio=5\n# fall_ratio=off\n"), std::string::npos) << shown.out;
    EXPECT_FALSE(VelkFileExists(dir.File("SYS/MarketMonitor.cfg"))) << "showing writes nothing";

    ASSERT_EQ(RunHost({"monitor", "--root", dir.Path(), "on"}).status, 0);
    HostResult set = RunHost({"monitor", "--root", dir.Path(), "set", "limit_up=once",
                              "large_amount=30s", "mute.1.600103=20211201"});
    ASSERT_EQ(set.status, 0) << set.err;
    const std::string stored = ReadFile(dir.File("SYS/MarketMonitor.cfg"));
    for (const char* line : {"enabled=1\n", "limit_up=once\n", "large_amount=30s\n",
                             "mute.1.600103=20211201\n", "new_low=every\n"})
        EXPECT_NE(stored.find(line), std::string::npos) << line << " in\n" << stored;

    // One bad word of several: nothing of the command is stored.
    HostResult bad =
        RunHost({"monitor", "--root", dir.Path(), "set", "rise=once", "new_high_step=-3"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("new_high_step takes a percent"), std::string::npos) << bad.err;
    EXPECT_EQ(ReadFile(dir.File("SYS/MarketMonitor.cfg")), stored);
    EXPECT_EQ(RunHost({"monitor", "--root", dir.Path(), "maybe"}).status, 2);
    EXPECT_EQ(RunHost({"monitor", "--root", dir.Path(), "on", "now"}).status, 2);
    EXPECT_EQ(RunHost({"monitor", "--root", dir.Path(), "set", "rise"}).status, 2);

    // A line the program cannot read is kept: a change would write the file anew without it.
    const std::string damaged = stored + "rise=sometimes\n";
    WriteFile(dir.File("SYS/MarketMonitor.cfg"), damaged);
    HostResult refused = RunHost({"monitor", "--root", dir.Path(), "off"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("MarketMonitor.cfg:" +
                               std::to_string(std::count(stored.begin(), stored.end(), '\n') + 1)),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(ReadFile(dir.File("SYS/MarketMonitor.cfg")), damaged);
    HostResult showDamaged = RunHost({"monitor", "--root", dir.Path()});
    EXPECT_EQ(showDamaged.status, 1);
    EXPECT_NE(showDamaged.out.find("limit_up=once\n"), std::string::npos) << "the rest is shown";
}

TEST(HostMonitor, TheDaysStockDataReachesTheQuoteServiceOnlyWhereItIsGiven)
{
    CTempDir dir;
    WriteDay(dir.File("day"), "09:30:00,1,600000,10.00,100\n");
    WriteFile(dir.File("day/symbols.csv"),
              "market,code,name,prev_close,limit_up,limit_down,decimals,"
              "five_day_volume_per_minute,circulating_shares\n"
              "1,600000,浦发银行,10.00,11.00,9.00,2,12500,293520804\n"
              "2,000001,平安银行,12.00,13.20,10.80,,,\n");
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(dir.File("day"), error)) << error;
    EXPECT_DOUBLE_EQ(day.Symbols()[0].fiveDayVolumePerMinute, 12500);
    EXPECT_DOUBLE_EQ(day.Symbols()[0].circulatingShares, 293520804.0);
    EXPECT_DOUBLE_EQ(day.Symbols()[1].circulatingShares, 0);

    CQuoteStore store;
    CDayReplay replay(day, store);
    replay.FillStore(dir.File("SYS"));
    const std::vector<unsigned short> items = {QuoteItem::kFiveDayVolumePerMinute,
                                               QuoteItem::kCirculatingShares};
    std::vector<X1Format> values;
    ASSERT_TRUE(store.GetItemDataByItemNo(1, "600000", items, values, true));
    EXPECT_DOUBLE_EQ(double(values[0]), 12500);
    EXPECT_DOUBLE_EQ(double(values[1]), 293520804.0);
    ASSERT_TRUE(store.GetItemDataByItemNo(2, "000001", items, values, true));
    EXPECT_EQ(values[0].GetKind(), X1Format::kNone) << "unknown, not 0";
    EXPECT_EQ(values[1].GetKind(), X1Format::kNone);

    WriteFile(dir.File("day/symbols.csv"),
              "market,code,name,prev_close,limit_up,limit_down,decimals,"
              "five_day_volume_per_minute,circulating_shares\n"
              "1,600000,浦发银行,10.00,11.00,9.00,2,12500,-5\n");
    EXPECT_FALSE(day.Load(dir.File("day"), error));
    EXPECT_EQ(error, "symbols.csv:2: circulating_shares out of range: \"-5\"");
}

} // namespace
