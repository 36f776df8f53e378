// The dry run of drafted monitor settings: it raises what a real run with those settings raises,
// and leaves the user's system directory and the open day's quote service as they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "host/core/CMonitorDryRun.h"
#include "host/core/CTradingDay.h"
#include "hostlibs/CQuoteStore.h"
#include "tests/host/HostTestSupport.h"

using namespace hosttest;

namespace {

TEST(MonitorDryRun, CountsWhatARealRunWithTheDraftRaisesAndTouchesNothingOfTheUsers)
{
    CTempDir dir;
    const std::string demo = std::string(VELK_SOURCE_DIR) + "/data";
    std::filesystem::copy(demo + "/demo-root/SYS", dir.File("SYS"));
    const std::string alertBefore = ReadFile(dir.File("SYS/alert.cfg"));
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(demo + "/demo-day", error)) << error;

    CMarketMonitorSettings draft;
    ASSERT_TRUE(draft.Set("enabled", "1", error));
    ASSERT_TRUE(draft.Set("limit_up", "once", error));
    Ta_ALERTSETTING ratios = DefaultSetting();
    ratios.m_fRiseRatio = 3;
    ratios.m_fSingleRatio = 0.5f;

    // The open day's quote service holds a stock of its own; the trial must not disturb it.
    CQuoteStore& open = CQuoteStore::Instance();
    open.AddMarket(7, "XX", 7);
    open.AddSymbol(7, "999999", "OPEN");
    const CMonitorDryRun::Result result = CMonitorDryRun::Run(day, dir.File("SYS"), ratios, draft);
    ASSERT_TRUE(result.ok) << result.error;
    CString name;
    EXPECT_TRUE(open.GetSymbolFullName(name, 7, "999999"));

    EXPECT_EQ(ReadFile(dir.File("SYS/alert.cfg")), alertBefore);
    EXPECT_FALSE(std::filesystem::exists(dir.File("SYS/MarketMonitor.cfg")));

    // The same draft stored for real and replayed by velk-host.
    WriteFile(dir.File("real/SYS/alert.cfg"),
              Bytes(ratios) + alertBefore.substr(sizeof(Ta_ALERTSETTING)));
    for (const char* file : {"Magic.cfg", "System_alert.cfg", "UserInfo.cfg", "StataBarInfo.ini"})
        std::filesystem::copy(dir.File(std::string("SYS/") + file),
                              dir.File(std::string("real/SYS/") + file));
    ASSERT_TRUE(draft.Save(dir.File("real/SYS")));
    HostResult real =
        RunHost({"--headless", "--silent", "--root", dir.File("real"), "--day", demo + "/demo-day"},
                {"QT_QPA_PLATFORM=offscreen"});
    ASSERT_EQ(real.status, 0) << real.err;
    const int lines = static_cast<int>(std::count(real.out.begin(), real.out.end(), '\n'));
    EXPECT_EQ(result.total, lines);
    EXPECT_EQ(result.perReason.at("达到涨停价"), 1) << "once a day";
    EXPECT_GT(result.perReason.at("达到涨幅比率"), 0);
    EXPECT_GT(result.perReason.at("涨停板打开"), 1);
    ASSERT_EQ(result.first.size(), static_cast<std::size_t>(CMonitorDryRun::kFirstAlerts));
    EXPECT_EQ(result.first.front() + "\n", real.out.substr(0, real.out.find('\n') + 1));
    int perStock = 0;
    for (const auto& entry : result.perStock)
        perStock += entry.second;
    EXPECT_EQ(perStock, result.total);
}

} // namespace
