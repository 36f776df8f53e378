// The day reader and the replay in this process: a trade file far larger than one read, and the
// tick history the quote service answers from the replayed trades.

#include <gtest/gtest.h>

#include <cstdio>

#include "engine/CVelkAlert.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/CScopedCommaNumericLocale.h"

using namespace hosttest;

namespace {

std::string Clock(int seconds)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

TEST(DayReader, LargeTradeFileIsReadWholeAndAnErrorNamesItsLine)
{
    // Lines of several lengths and endings, blank lines and quoted fields, so that lines and
    // line ends fall across the reader's pieces; each second one trade of each stock, alternately
    // in time order and the other way round.
    constexpr int kTrades = 40000;
    std::string trades;
    int line = 1;
    int damagedLine = 0;
    for (int i = 0; i < kTrades; ++i) {
        const int time = 9 * 3600 + 30 * 60 + i / 2;
        const bool first = i % 2 == 0;
        std::string row = Clock(time) + (first ? ",1,600000," : ",2,\"000001\",") +
                          std::to_string(10 + i % 7) + "." + std::to_string(i % 100) + "," +
                          std::to_string(100 * (1 + i % 13));
        row += i % 3 == 0 ? "\r\n" : "\n";
        trades += row;
        ++line;
        if (i % 1000 == 999) {
            trades += i % 2000 == 999 ? "\n" : "  \r\n";
            ++line;
        }
        if (i == kTrades - 3)
            damagedLine = line;
    }

    for (bool damaged : {false, true}) {
        CTempDir dir;
        std::string content = trades;
        if (damaged) {
            // The price of the trade on damagedLine becomes text.
            std::size_t at = 0;
            for (int l = 2; l < damagedLine; ++l)
                at = content.find('\n', at) + 1;
            const std::size_t price =
                content.find(',', content.find(',', content.find(',', at) + 1) + 1) + 1;
            content.replace(price, content.find(',', price) - price, "x");
        }
        WriteDay(dir.File("day"), content);
        CTradingDay day;
        std::string error;
        const bool loaded = day.Load(dir.File("day"), error);
        if (damaged) {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(error.rfind("trades.csv:" + std::to_string(damagedLine) + ": ", 0), 0u)
                << error;
            continue;
        }
        ASSERT_TRUE(loaded) << error;
        ASSERT_EQ(day.Trades().size(), static_cast<std::size_t>(kTrades));
        for (int i = 0; i < kTrades; ++i) {
            const CTradingDay::Trade& trade = day.Trades()[static_cast<std::size_t>(i)];
            const CTradingDay::Symbol& symbol = day.SymbolOf(trade);
            ASSERT_EQ(trade.time, 9 * 3600 + 30 * 60 + i / 2) << i;
            ASSERT_EQ(symbol.code, i % 2 == 0 ? "600000" : "000001") << i;
            ASSERT_DOUBLE_EQ(trade.price, 10 + i % 7 + (i % 100) / (i % 100 < 10 ? 10.0 : 100.0))
                << i;
            ASSERT_EQ(trade.volume, 100.0 * (1 + i % 13)) << i;
        }
    }
}

TEST(DayReader, ALineLongerThanAReadAndALastLineWithoutItsEndAreReadWhole)
{
    CTempDir dir;
    const std::string day = dir.File("day");
    WriteDay(day, "09:30:00,1,600000,10.00,100\n09:30:01,2,000001,12.5,200");
    // A quoted name of 200,000 characters with quotes inside, spanning several reads.
    std::string name = "\"";
    for (int i = 0; i < 100000; ++i)
        name += i % 1000 == 0 ? "\"\"" : "AB";
    name += "\"";
    WriteFile(day + "/symbols.csv", "market,code,name,prev_close,limit_up,limit_down\n"
                                    "1,600000," +
                                        name +
                                        ",10.00,11.00,9.00\r\n"
                                        "2,000001,平安银行,12.00,13.20,10.80");
    CTradingDay loaded;
    std::string error;
    ASSERT_TRUE(loaded.Load(day, error)) << error;
    ASSERT_EQ(loaded.Symbols().size(), 2u);
    std::string cut = "\"";
    while (cut.size() < 49)
        cut += "AB";
    cut.resize(49);
    // The name is cut to its field.
    EXPECT_EQ(loaded.Symbols()[0].nameGbk, cut);
    EXPECT_EQ(loaded.Symbols()[1].limitDown, 10.80);
    ASSERT_EQ(loaded.Trades().size(), 2u);
    EXPECT_EQ(loaded.Trades()[1].price, 12.5);
    EXPECT_EQ(loaded.Trades()[1].volume, 200.0);
}

TEST(DayReader, PricesReadTheSameUnderADecimalCommaLocale)
{
    // The desktop program runs under the locale Qt took from the environment.
    CTempDir dir;
    WriteDay(dir.File("day"), "09:30:00,1,600000,10.25,100\n09:30:01,1,600000,+9.875e0,100\n");
    CScopedCommaNumericLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "localedef cannot make a decimal-comma locale here";
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(dir.File("day"), error)) << error;
    ASSERT_EQ(day.Trades().size(), 2u);
    EXPECT_DOUBLE_EQ(day.Trades()[0].price, 10.25);
    EXPECT_DOUBLE_EQ(day.Trades()[1].price, 9.875);
}

TEST(DayReplayTicks, TheQuoteServiceAnswersTicksFromTheTradesReplayedSoFar)
{
    CTempDir dir;
    WriteDay(dir.File("day"), "09:30:00,1,600000,10.00,1000\n"
                              "09:30:05,2,000001,12.00,300\n"
                              "09:31:00,1,600000,10.60,500\n"
                              "09:32:00,1,600000,10.40,200\n");
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(dir.File("day"), error)) << error;

    CQuoteStore store;
    CScopedHostBackend backend(store);
    CVelkAlert engine{CVelkServices{}};
    std::vector<std::vector<long>> counts;
    {
        CDayReplay replay(day, store);
        replay.FillStore(dir.File("SYS"));
        // Every trade reaches the engine, and after each the ticks so far are counted.
        std::vector<CSymbolInfo> all = {{1, "600000"}, {2, "000001"}}, none;
        store.SymbolRegister(all, none);
        replay.SetAfterEachCall([&] {
            counts.push_back({store.GetTickerCount(1, "600000", "20240105"),
                              store.GetTickerCount(2, "000001", "20240105"),
                              store.GetTickerCount(1, "600000", "20240104"),
                              store.GetTickerCount(2, "600000", "20240105")});
        });
        EXPECT_EQ(replay.Replay(engine).notifications, 4);
        EXPECT_EQ(counts, (std::vector<std::vector<long>>{
                              {1, 0, 0, 0}, {1, 1, 0, 0}, {2, 1, 0, 0}, {3, 1, 0, 0}}));

        std::vector<std::vector<X1Format>> rows;
        ASSERT_EQ(store.GetTickerByStartPos(rows, 1, "600000", 1, 5, "20240105"), 2);
        EXPECT_EQ(double(rows[0].at(0)), 10.60f);
        EXPECT_EQ(rows[0].at(0).GetItemNo(), QuoteItem::kLastPrice);
        EXPECT_EQ(rows[1].at(1).s_GetAsString(), "09:32:00");
        EXPECT_EQ(double(rows[1].at(2)), 200);

        // Replaying again starts the day over.
        counts.clear();
        replay.Replay(engine);
        EXPECT_EQ(counts.front(), (std::vector<long>{1, 0, 0, 0}));
    }
    EXPECT_EQ(store.GetTickerCount(1, "600000", "20240105"), 0) << "gone with the replay";
}

} // namespace
