#include <gtest/gtest.h>

#include <optional>

#include "tests/host/HostTestSupport.h"

using namespace hosttest;

namespace {

class ReplayTest : public ::testing::Test {
protected:
    std::string Root() const { return m_dir.File("root"); }
    std::string Sys(const std::string& name) const { return m_dir.File("root/SYS/" + name); }
    std::string Day() const { return m_dir.File("day"); }

    HostResult Replay() { return RunHost({"--headless", "--root", Root(), "--day", Day()}); }

    CTempDir m_dir;
};

TEST_F(ReplayTest, PriceAlertFiresOnEachCrossingOfUpperAndLowerLimit)
{
    WriteFile(Sys("alert.cfg"), AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}));
    // The 09:35 trade comes before the 09:34 one in the file: the replay goes by time.
    WriteDay(Day(), "09:30:00,1,600000,10.00,1000\n"
                    "09:31:00,1,600000,10.60,500\n"
                    "09:31:30,2,000001,12.50,800\n"
                    "09:32:00,1,600000,10.70,200\n"
                    "09:33:00,1,600000,10.40,300\n"
                    "09:35:00,1,600000,9.40,400\n"
                    "09:34:00,1,600000,10.50,100\n");

    HostResult run = Replay();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "09:31:00\t1\t600000\t浦发银行\t10.60\t1500\t达到上限价\n"
                       "09:34:00\t1\t600000\t浦发银行\t10.50\t2100\t达到上限价\n"
                       "09:35:00\t1\t600000\t浦发银行\t9.40\t2500\t达到下限价\n");
}

TEST_F(ReplayTest, MonitoredStockRaisesNewHighNewLowAndLimitUpOnce)
{
    WriteFile(Sys("alert.cfg"), AlertCfg({}));
    WriteFile(Sys("System_alert.cfg"),
              SystemAlertCfg({Stock(1, "600000", "浦发银行")}, 1, 1, 1, 2));
    WriteDay(Day(), "09:30:00,1,600000,10.10,1000\n"
                    "09:30:30,1,600000,10.20,500\n"
                    "09:31:00,1,600000,10.15,100\n"
                    "09:31:30,1,600000,10.00,400\n"
                    "09:32:00,1,600000,11.00,1000\n"
                    "09:32:30,1,600000,11.00,100\n"
                    "09:33:00,2,000001,13.20,100\n");

    HostResult run = Replay();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "09:30:30\t1\t600000\t浦发银行\t10.20\t1500\t今日最高价\n"
                       "09:31:30\t1\t600000\t浦发银行\t10.00\t2000\t今日最低价\n"
                       "09:32:00\t1\t600000\t浦发银行\t11.00\t3000\t今日最高价\n"
                       "09:32:00\t1\t600000\t浦发银行\t11.00\t3000\t达到涨停价\n");
}

TEST_F(ReplayTest, WatchedMagicSignalAlertsWithTheQuoteOfItsSecond)
{
    WriteFile(Sys("alert.cfg"), AlertCfg({}));
    // Switch 3 is signal 3; switch 13 is signal 15.
    WriteFile(Sys("Magic.cfg"), MagicCfg({Stock(1, "600000", "浦发银行", 0, 0, {3, 13})}));
    WriteDay(Day(),
             "09:30:00,1,600000,10.20,1000\n"
             "09:31:00,1,600000,10.30,500\n",
             "09:30:00,1,600000,3\n"
             "09:30:30,1,600000,4\n"
             "09:31:00,1,600000,15\n"
             "09:32:00,2,000001,3\n",
             "3,金叉\n4,死叉\n15,放量\n");

    HostResult run = Replay();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "09:30:00\t1\t600000\t浦发银行\t10.20\t1000\t金叉\n"
                       "09:31:00\t1\t600000\t浦发银行\t10.30\t1500\t放量\n");
}

// A fund quoted to 0.001 beside a stock quoted to the cent; the fund's decimals come from its
// prices, the stock's from the decimals column.
TEST_F(ReplayTest, ThreeDecimalFundAlertsAtItsExactPricesAndStocksKeepTwo)
{
    WriteFile(Sys("alert.cfg"), AlertCfg({Stock(1, "510050", "50ETF", 2.345f, 0),
                                          Stock(1, "600000", "浦发银行", 10.5f, 0)}));
    WriteFile(Sys("System_alert.cfg"), SystemAlertCfg({Stock(1, "510050", "50ETF")}, 1, 1, 1, 2));
    WriteDay(Day(), "09:30:00,1,510050,2.343,100\n"
                    "09:30:10,1,510050,2.342,100\n"
                    "09:30:20,1,510050,2.345,100\n"
                    "09:30:30,1,510050,2.345,100\n"
                    "09:30:40,1,600000,10.5,100\n");
    WriteFile(Day() + "/symbols.csv", "market,code,name,prev_close,limit_up,limit_down,decimals\n"
                                      "1,510050,50ETF,2.34,2.574,2.106,\n"
                                      "1,600000,浦发银行,10.00,11.00,9.00,2\n");

    HostResult run = Replay();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "09:30:10\t1\t510050\t50ETF\t2.342\t200\t今日最低价\n"
                       "09:30:20\t1\t510050\t50ETF\t2.345\t300\t达到上限价\n"
                       "09:30:20\t1\t510050\t50ETF\t2.345\t300\t今日最高价\n"
                       "09:30:40\t1\t600000\t浦发银行\t10.50\t100\t达到上限价\n");
}

TEST_F(ReplayTest, SelfSelectedRangeMonitorsTheGroupsOfTheUserInUserInfo)
{
    std::string user(64, '\0');
    user.replace(0, 4, "demo");
    WriteFile(Sys("UserInfo.cfg"), user);
    WriteFile(Sys("alert.cfg"), AlertCfg({}));
    WriteFile(Sys("System_alert.cfg"),
              SystemAlertCfg({Stock(1, "600000", "浦发银行")}, 1, 1, 1, 1));
    WriteDay(Day(), "09:30:00,2,000001,12.00,100\n"
                    "09:30:00,1,600000,10.00,100\n"
                    "09:31:00,2,000001,12.10,100\n"
                    "09:31:00,1,600000,10.50,100\n");
    WriteFile(Day() + "/groups.csv", "user,group,market,code\n"
                                     "demo,自选股,2,000001\n"
                                     "other,自选股,1,600000\n");

    HostResult run = Replay();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "09:31:00\t2\t000001\t平安银行\t12.10\t200\t今日最高价\n");
}

TEST_F(ReplayTest, ReadsFilesWithByteOrderMarkCrLfAndQuotedFields)
{
    WriteFile(Sys("alert.cfg"), AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 0)}));
    WriteDay(Day(), "");
    WriteFile(Day() + "/symbols.csv",
              "\xEF\xBB\xBFmarket,code,name,prev_close,limit_up,limit_down\r\n"
              "1,600000,\"浦发,\"\"银行\"\"\",10.00,,\r\n");
    WriteFile(Day() + "/trades.csv", "Time,Market,Code,Price,Volume\r\n"
                                     "09:30:00, 1 ,600000,10.00,100\r\n"
                                     "\r\n"
                                     "09:31:00,1,\"600000\",10.60,200\r\n");

    HostResult run = Replay();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "09:31:00\t1\t600000\t浦发,\"银行\"\t10.60\t300\t达到上限价\n");
}

TEST_F(ReplayTest, WorksInBinBesideSysAndLeavesTheConditionFilesAsTheyWere)
{
    const std::string alertCfg = AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 0)});
    WriteFile(Sys("alert.cfg"), alertCfg);
    WriteDay(Day(), "09:30:00,1,600000,10.60,100\n");

    HostResult run = Replay();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(Root() + "/bin"));
    EXPECT_EQ(ReadFile(Sys("alert.cfg")), alertCfg);
}

struct MalformedCase {
    const char* name;
    const char* file;
    std::optional<std::string> content; // none: the file is removed
    std::string error;
};

class MalformedDayTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDayTest, StopsBeforeTheEngineWithFileAndLineAndTouchesNothing)
{
    CTempDir dir;
    const std::string day = dir.File("day");
    WriteDay(day, "09:30:00,1,600000,10.00,100\n", "09:30:00,1,600000,3\n", "3,金叉\n");
    WriteFile(day + "/groups.csv", "user,group,market,code\ndemo,自选股,1,600000\n");
    if (GetParam().content)
        WriteFile(day + "/" + GetParam().file, *GetParam().content);
    else
        std::filesystem::remove(day + "/" + GetParam().file);

    // One root that does not exist yet, one with condition files in place.
    const std::string fresh = dir.File("fresh");
    const std::string kept = dir.File("kept");
    WriteFile(kept + "/SYS/alert.cfg", AlertCfg({Stock(1, "600000", "浦发银行", 10.5f, 9.5f)}));
    const std::set<std::string> before = Listing(kept);

    for (const std::string& root : {fresh, kept}) {
        HostResult run = RunHost({"--headless", "--root", root, "--day", day});
        EXPECT_EQ(run.status, 2) << root;
        EXPECT_EQ(run.err, GetParam().error + "\n") << root;
        EXPECT_EQ(run.out, "") << root;
    }
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(Listing(kept), before);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFile, MalformedDayTest,
    ::testing::Values(
        MalformedCase{"TradePrice", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,10.00,100\n"
                      "09:31:00,1,600000,abc,100\n",
                      "trades.csv:3: price \"abc\" is not a number"},
        MalformedCase{"TradePriceBeyondAFloat", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,1e308,100\n",
                      "trades.csv:2: price out of range: \"1e308\""},
        MalformedCase{"TradePriceTwoSigns", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,+-1,100\n",
                      "trades.csv:2: price \"+-1\" is not a number"},
        MalformedCase{"TradePriceNegative", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,-0.5,100\n",
                      "trades.csv:2: price out of range: \"-0.5\""},
        MalformedCase{"TradePriceFourDecimals", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,10.0001,100\n",
                      "trades.csv:2: price \"10.0001\" has more than 3 decimals"},
        MalformedCase{"TradePriceTenTimesTheLimitUp", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,110.00,100\n"
                      "09:30:00,1,600000,110.01,100\n",
                      "trades.csv:3: price \"110.01\" is more than ten times the stock's "
                      "limit-up price or previous close (above 110.000)"},
        MalformedCase{"TradeSameCodeInAnotherMarket", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,10.00,100\n"
                      "09:30:01,2,600000,10.00,100\n",
                      "trades.csv:3: stock 2 600000 is not in symbols.csv"},
        MalformedCase{"TradeCodeOfAHundredThousandCharacters", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1," + std::string(100000, 'x') +
                          ",10.00,100\n",
                      "trades.csv:2: code \"" + std::string(60, 'x') +
                          "...\" is longer than 11 characters"},
        MalformedCase{"TradeTime", "trades.csv",
                      "time,market,code,price,volume\n9:30,1,600000,10.00,100\n",
                      "trades.csv:2: time \"9:30\" is not HH:MM:SS"},
        MalformedCase{"TradeMarket", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,7,600000,10.00,100\n",
                      "trades.csv:2: market 7 is not in markets.csv"},
        MalformedCase{"TradeVolumeAfterBlankLine", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600000,10.00,100\n\n"
                      "09:31:00,1,600000,10.00,1.5\n",
                      "trades.csv:4: volume \"1.5\" is not a whole number of shares"},
        MalformedCase{"TradeUnknownStock", "trades.csv",
                      "time,market,code,price,volume\n09:30:00,1,600001,10.00,100\n",
                      "trades.csv:2: stock 1 600001 is not in symbols.csv"},
        MalformedCase{
            "SymbolEmptyCode", "symbols.csv",
            "market,code,name,prev_close,limit_up,limit_down\n1,600000,A,1,1,1\n1,,B,1,1,1\n",
            "symbols.csv:3: the code is empty"},
        MalformedCase{"SymbolDecimals", "symbols.csv",
                      "market,code,name,prev_close,limit_up,limit_down,decimals\n"
                      "1,600000,A,10,11,9,4\n",
                      "symbols.csv:2: decimals \"4\" is not 2 or 3"},
        MalformedCase{"SymbolPriceFinerThanItsDecimals", "symbols.csv",
                      "market,code,name,prev_close,limit_up,limit_down,decimals\n"
                      "1,600000,A,10.005,11,9,2\n",
                      "symbols.csv:2: prev_close \"10.005\" has more than 2 decimals"},
        MalformedCase{"SymbolOpenQuote", "symbols.csv",
                      "market,code,name,prev_close,limit_up,limit_down\n1,600000,\"A,1,1,1\n",
                      "symbols.csv:2: a quoted field is not closed"},
        MalformedCase{"MarketColumns", "markets.csv", "market,ext,level1\n1,SH\n",
                      "markets.csv:2: 2 fields where 3 are expected"},
        MalformedCase{"MarketNumber", "markets.csv", "market,ext,level1\n1,SH,1\n256,XX,1\n",
                      "markets.csv:3: market \"256\" is not a number from 0 to 255"},
        MalformedCase{"DayDate", "day.csv", "trade_date\n20241332\n",
                      "day.csv:2: trade date \"20241332\" is not a date yyyymmdd"},
        MalformedCase{"DayMissing", "day.csv", std::nullopt,
                      "day.csv: missing; it gives the trade date"},
        MalformedCase{"SignalNumber", "signals.csv",
                      "time,market,code,number\n09:30:00,1,600000,x\n",
                      "signals.csv:2: number \"x\" is not a whole number"},
        MalformedCase{"MagicTwice", "magic.csv", "number,name\n3,金叉\n3,死叉\n",
                      "magic.csv:3: signal number 3 is listed twice"},
        MalformedCase{"GroupUnknownStock", "groups.csv",
                      "user,group,market,code\ndemo,自选股,2,000001\ndemo,自选股,1,600001\n",
                      "groups.csv:3: stock 1 600001 is not in symbols.csv"},
        MalformedCase{"GroupHeader", "groups.csv", "user,grp,market,code\ndemo,g,1,600000\n",
                      "groups.csv:1: the header must be \"user,group,market,code\""}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
