#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"

namespace {

using Rows = std::vector<std::vector<X1Format>>;

std::vector<double> PricesOf(const Rows& rows)
{
    std::vector<double> prices;
    for (const auto& row : rows)
        prices.push_back(double(row.at(0)));
    return prices;
}

class CQuoteStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_store.AddMarket(1, "sz", 1);
        m_store.AddMarket(27, "SH", 27);
        m_store.AddMarket(3, "szl2", 1);
        m_store.AddSymbol(1, "000001", "PingAn");
        m_store.SetItem(1, "000001", X1Format::Price(QuoteItem::kLastPrice, 12.34));
        m_store.SetItem(1, "000001", X1Format::Volume(QuoteItem::kVolume, 5000));
        m_store.SetItem(1, "000001", X1Format::Time(QuoteItem::kTime, 10, 1, 2));
    }

    CQuoteStore m_store;
};

} // namespace

TEST_F(CQuoteStoreTest, ItemsComeBackInRequestOrderWithNoDataForMissingOnes)
{
    const std::vector<unsigned short> items = {
        QuoteItem::kTime,   QuoteItem::kName, QuoteItem::kDayHigh,  QuoteItem::kLastPrice,
        QuoteItem::kVolume, QuoteItem::kCode, QuoteItem::kLastPrice};
    std::vector<X1Format> out;
    ASSERT_TRUE(m_store.GetItemDataByItemNo(1, "000001", items, out, true));
    ASSERT_EQ(out.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(out[i].GetItemNo(), items[i]) << i;
    EXPECT_EQ(out[0].s_GetAsString(), "10:01:02");
    EXPECT_EQ(out[1].s_GetAsString(), "PingAn");
    EXPECT_EQ(out[2].s_GetAsString(), "-");
    EXPECT_EQ(out[3].s_GetAsString(), "12.34");
    EXPECT_EQ(out[4].s_GetAsString(), "5000");
    EXPECT_EQ(out[5].s_GetAsString(), "000001");
    EXPECT_EQ(out[6].s_GetAsString(), "12.34");
}

TEST_F(CQuoteStoreTest, UnknownSymbolAnswersFalseWithNothing)
{
    std::vector<X1Format> out = {X1Format::Price(125, 1)};
    EXPECT_FALSE(m_store.GetItemDataByItemNo(1, "999999", {125}, out, true));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(m_store.GetItemDataByItemNo(27, "000001", {125}, out, true))
        << "market is part of the key";
}

TEST_F(CQuoteStoreTest, RenamingKeepsItemsAndListPosition)
{
    m_store.AddSymbol(1, "000002", "Vanke");
    m_store.AddSymbol(1, "000001", "PingAn Bank");
    std::vector<CString> codes, names;
    ASSERT_TRUE(m_store.GetSymbolID(codes, names, 1));
    EXPECT_EQ(codes, (std::vector<CString>{"000001", "000002"}));
    EXPECT_EQ(names, (std::vector<CString>{"PingAn Bank", "Vanke"}));
    std::vector<X1Format> out;
    ASSERT_TRUE(m_store.GetItemDataByItemNo(1, "000001", {QuoteItem::kLastPrice}, out, true));
    EXPECT_EQ(out.at(0).s_GetAsString(), "12.34");

    EXPECT_TRUE(m_store.GetSymbolID(codes, names, 27)) << "known market without symbols";
    EXPECT_TRUE(codes.empty());
    EXPECT_FALSE(m_store.GetSymbolID(codes, names, 99));
}

TEST_F(CQuoteStoreTest, ManySymbolsOfEveryCodeLengthKeepTheirItemsNamesAndOrder)
{
    // Enough symbols that the store's tables grow several times, codes short and long, and the
    // same code in two markets.
    CQuoteStore store;
    std::vector<CString> codes;
    for (int i = 0; i < 3000; ++i)
        codes.push_back(std::to_string(i) + CString(static_cast<std::size_t>(i % 20), 'x'));
    for (std::size_t i = 0; i < codes.size(); ++i) {
        for (unsigned char market : {1, 2}) {
            store.AddSymbol(market, codes[i], "n" + codes[i]);
            store.SetItem(market, codes[i],
                          X1Format::Price(QuoteItem::kLastPrice, market * 10000.0 + double(i)));
        }
    }
    std::vector<CSymbolInfo> subscribe = {{2, codes[7]}, {2, codes[2999]}};
    std::vector<CSymbolInfo> none;
    store.SymbolRegister(subscribe, none);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        for (unsigned char market : {1, 2}) {
            std::vector<X1Format> out;
            ASSERT_TRUE(
                store.GetItemDataByItemNo(market, codes[i], {QuoteItem::kLastPrice}, out, true))
                << codes[i];
            EXPECT_EQ(double(out.at(0)), market * 10000.0 + double(i)) << codes[i];
            EXPECT_EQ(store.IsSubscribed(market, codes[i]), market == 2 && (i == 7 || i == 2999))
                << codes[i];
        }
    }
    std::vector<CString> listed, names;
    ASSERT_TRUE(store.GetSymbolID(listed, names, 2));
    EXPECT_EQ(listed, codes);
    EXPECT_EQ(names.at(2999), "n" + codes[2999]);
}

TEST_F(CQuoteStoreTest, FullNameAndMemoryState)
{
    CString name = "stale";
    EXPECT_TRUE(m_store.GetSymbolFullName(name, 1, "000001"));
    EXPECT_EQ(name, "PingAn");
    EXPECT_FALSE(m_store.GetSymbolFullName(name, 1, "404"));
    EXPECT_EQ(name, "");

    EXPECT_TRUE(m_store.GetMemoryState(1, "000001"));
    EXPECT_FALSE(m_store.GetMemoryState(1, "404"));
    m_store.AddSymbol(1, "000002", "Vanke");
    EXPECT_FALSE(m_store.GetMemoryState(1, "000002"));
    m_store.SetItem(1, "000002", X1Format::None(QuoteItem::kLastPrice));
    EXPECT_FALSE(m_store.GetMemoryState(1, "000002")) << "an item without data is no price";
    m_store.SetItem(1, "000002", X1Format::Price(QuoteItem::kPrevClose, 20));
    EXPECT_TRUE(m_store.GetMemoryState(1, "000002"));
}

TEST_F(CQuoteStoreTest, TicksAreClippedToTheDay)
{
    for (int i = 0; i < 5; ++i)
        m_store.AddTick(1, "000001", "20211201", {X1Format::Price(QuoteItem::kLastPrice, 10 + i)});
    m_store.AddTick(1, "000001", "20211202", {X1Format::Price(QuoteItem::kLastPrice, 99)});

    EXPECT_EQ(m_store.GetTickerCount(1, "000001", "20211201"), 5);
    EXPECT_EQ(m_store.GetTickerCount(1, "000001", "20211130"), 0);
    EXPECT_EQ(m_store.GetTickerCount(3, "000001", "20211201"), 0);

    Rows rows;
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 0, 5, "20211201"), 5);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{10, 11, 12, 13, 14}));
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 3, 10, "20211201"), 2);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{13, 14}));
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", -2, 4, "20211201"), 2);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{10, 11}));
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 1, LONG_MAX, "20211201"), 4);
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", LONG_MAX, LONG_MAX, "20211201"), 0);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 5, 1, "20211201"), 0);
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 0, 0, "20211201"), 0);
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 0, -3, "20211201"), 0);
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 0, 9, "20211202"), 1);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{99}));
}

// Ticks kept by whoever replays the day: prices 10, 11, ... on 20211201 for 1/000001 only.
class CCountingTickHistory final : public ITickHistory {
public:
    long TickCount(unsigned char market, const CString& code, const CString& date) const override
    {
        return market == 1 && code == "000001" && date == "20211201" ? m_nTicks : 0;
    }
    void TickRows(unsigned char, const CString&, const CString&, long first, long last,
                  Rows& rows) const override
    {
        for (long i = first; i < last; ++i)
            rows.push_back({X1Format::Price(QuoteItem::kLastPrice, 10.0 + static_cast<double>(i))});
    }
    long m_nTicks = 5;
};

TEST_F(CQuoteStoreTest, TicksOfAHistoryAreClippedLikeOwnRowsWhichComeFirst)
{
    CCountingTickHistory history;
    m_store.SetTickHistory(&history);
    const struct {
        long start, count;
        std::vector<double> prices;
    } windows[] = {{0, 5, {10, 11, 12, 13, 14}},
                   {3, 10, {13, 14}},
                   {-2, 4, {10, 11}},
                   {1, LONG_MAX, {11, 12, 13, 14}},
                   {LONG_MAX, LONG_MAX, {}},
                   {5, 1, {}},
                   {0, -3, {}}};
    Rows rows;
    for (const auto& w : windows) {
        EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", w.start, w.count, "20211201"),
                  static_cast<long>(w.prices.size()))
            << w.start << " " << w.count;
        EXPECT_EQ(PricesOf(rows), w.prices) << w.start << " " << w.count;
    }
    EXPECT_EQ(m_store.GetTickerCount(1, "000001", "20211201"), 5);
    history.m_nTicks = 7;
    EXPECT_EQ(m_store.GetTickerCount(1, "000001", "20211201"), 7)
        << "the history is asked each time";
    EXPECT_EQ(m_store.GetTickerCount(1, "000001", "20211202"), 0);

    m_store.AddTick(1, "000001", "20211201", {X1Format::Price(QuoteItem::kLastPrice, 99)});
    EXPECT_EQ(m_store.GetTickerByStartPos(rows, 1, "000001", 0, 10, "20211201"), 1);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{99}));

    m_store.Reset();
    EXPECT_EQ(m_store.TickHistory(), nullptr);
    EXPECT_EQ(m_store.GetTickerCount(1, "000001", "20211201"), 0);
}

TEST_F(CQuoteStoreTest, LastMagicHandsOutNewRowsOncePerMarketAndDate)
{
    auto row = [](int number) {
        return std::vector<X1Format>{X1Format::Integer(QuoteItem::kMagicNumber, number)};
    };
    m_store.AddMagicRow(27, "20211201", row(1));
    m_store.AddMagicRow(27, "20211201", row(2));
    m_store.AddMagicRow(26, "20211201", row(3));
    m_store.AddMagicRow(27, "20211202", row(4));

    Rows rows;
    EXPECT_EQ(m_store.GetLastMagic(rows, 27, 1, "20211201"), 2);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{1, 2}));
    EXPECT_EQ(m_store.GetLastMagic(rows, 27, 1, "20211201"), 0);
    EXPECT_TRUE(rows.empty());

    m_store.AddMagicRow(27, "20211201", row(5));
    EXPECT_EQ(m_store.GetLastMagic(rows, 27, 1, "20211201"), 1);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{5}));

    EXPECT_EQ(m_store.GetLastMagic(rows, 26, 1, "20211201"), 1);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{3}));
    EXPECT_EQ(m_store.GetLastMagic(rows, 27, 1, "20211202"), 1);
    EXPECT_EQ(PricesOf(rows), (std::vector<double>{4}));
    EXPECT_EQ(m_store.GetLastMagic(rows, 1, 1, "20211201"), 0);
}

TEST_F(CQuoteStoreTest, ASymbolsDecimalsReachEveryPriceItHandsOut)
{
    // An ETF quoted to 0.001 beside a stock whose decimals were never given.
    m_store.SetItem(1, "510050", X1Format::Price(QuoteItem::kLastPrice, 2.345));
    m_store.SetItem(1, "510050", X1Format::Price(QuoteItem::kDayHigh, 2.349));
    m_store.SetPriceDecimals(1, "510050", 3);
    m_store.AddTick(1, "510050", "20211201", {X1Format::Price(QuoteItem::kLastPrice, 2.344)});
    m_store.AddMagicRow(1, "20211201",
                        {X1Format::Text(QuoteItem::kCode, "510050"),
                         X1Format::Price(QuoteItem::kLastPrice, 2.341)});
    m_store.AddMagicRow(1, "20211201",
                        {X1Format::Text(QuoteItem::kCode, "000001"),
                         X1Format::Price(QuoteItem::kLastPrice, 12.345)});
    m_store.AddMagicRow(1, "20211201", {X1Format::Price(QuoteItem::kLastPrice, 1.005, 3)});

    std::vector<X1Format> out;
    ASSERT_TRUE(m_store.GetItemDataByItemNo(
        1, "510050", {QuoteItem::kLastPrice, QuoteItem::kDayHigh}, out, true));
    EXPECT_EQ(out.at(0).s_GetAsString(), "2.345");
    EXPECT_EQ(out.at(1).s_GetAsString(), "2.349");
    Rows ticks;
    ASSERT_EQ(m_store.GetTickerByStartPos(ticks, 1, "510050", 0, 1, "20211201"), 1);
    EXPECT_EQ(ticks.at(0).at(0).s_GetAsString(), "2.344");
    Rows magic;
    ASSERT_EQ(m_store.GetLastMagic(magic, 1, 1, "20211201"), 3);
    EXPECT_EQ(magic.at(0).at(1).s_GetAsString(), "2.341");
    EXPECT_EQ(magic.at(1).at(1).s_GetAsString(), "12.35") << "the stock keeps two decimals";
    EXPECT_EQ(magic.at(2).at(0).s_GetAsString(), "1.005") << "a row naming no stock keeps its own";
}

TEST_F(CQuoteStoreTest, MagicCatalogueIsFalseUntilFilled)
{
    std::vector<CString> numbers, names;
    EXPECT_FALSE(m_store.GetMagicNo(numbers, names));
    m_store.SetMagicCatalogue({"0", "15"}, {"Golden", "Death"});
    ASSERT_TRUE(m_store.GetMagicNo(numbers, names));
    EXPECT_EQ(numbers, (std::vector<CString>{"0", "15"}));
    EXPECT_EQ(names, (std::vector<CString>{"Golden", "Death"}));
}

TEST_F(CQuoteStoreTest, SubscriptionsCountAndNeverGoNegative)
{
    std::vector<CSymbolInfo> none, one = {{1, "000001"}}, twice = {{1, "000001"}, {1, "000001"}};
    m_store.SymbolRegister(twice, none);
    EXPECT_EQ(m_store.SubscriptionCount(1, "000001"), 2);
    EXPECT_EQ(m_store.SubscriptionCount(27, "000001"), 0);
    m_store.SymbolRegister(none, one);
    EXPECT_EQ(m_store.SubscriptionCount(1, "000001"), 1);
    m_store.SymbolRegister(none, twice);
    EXPECT_EQ(m_store.SubscriptionCount(1, "000001"), 0);
    EXPECT_FALSE(m_store.IsSubscribed(1, "000001"));
    m_store.SymbolRegister(one, one);
    EXPECT_EQ(m_store.SubscriptionCount(1, "000001"), 1) << "removal runs before the additions";
    m_store.SymbolRegister(one, one);
    EXPECT_EQ(m_store.SubscriptionCount(1, "000001"), 1);
    EXPECT_TRUE(m_store.IsSubscribed(1, "000001"));

    std::vector<CSymbolInfo> unknown = {{9, "X"}};
    m_store.SymbolRegister(unknown, none);
    EXPECT_TRUE(m_store.IsSubscribed(9, "X")) << "registration does not need quote data";
    // Quote data arriving later, and a removal after it, keep the count.
    m_store.SetItem(9, "X", X1Format::Price(QuoteItem::kLastPrice, 1));
    EXPECT_EQ(m_store.SubscriptionCount(9, "X"), 1);
    m_store.SymbolRegister(none, unknown);
    EXPECT_FALSE(m_store.IsSubscribed(9, "X"));
    m_store.SymbolRegister(unknown, none);
    EXPECT_TRUE(m_store.IsSubscribed(9, "X"));
}

TEST_F(CQuoteStoreTest, MarketsLevelOneAndExtensionNames)
{
    EXPECT_EQ(m_store.ConvertToLevel1ServiceID(3), 1);
    EXPECT_EQ(m_store.ConvertToLevel1ServiceID(27), 27);
    EXPECT_EQ(m_store.ConvertToLevel1ServiceID(200), 200);

    std::vector<unsigned char> markets = {42};
    ASSERT_TRUE(m_store.GetAllServiceID(markets));
    EXPECT_EQ(markets, (std::vector<unsigned char>{1, 3, 27}));

    CString ext = "old";
    EXPECT_TRUE(m_store.GetServiceExName(ext, 27));
    EXPECT_EQ(ext, "SH");
    EXPECT_FALSE(m_store.GetServiceExName(ext, 99));
    EXPECT_EQ(ext, "");
    EXPECT_EQ(m_store.GetServiceIDByExName("sh"), 27);
    EXPECT_EQ(m_store.GetServiceIDByExName("SZ"), 1);
    EXPECT_EQ(m_store.GetServiceIDByExName("SzL2"), 3);
    EXPECT_EQ(m_store.GetServiceIDByExName("szl"), 0);
    EXPECT_EQ(m_store.GetServiceIDByExName(""), 0);
}

TEST_F(CQuoteStoreTest, MarketStatusNeedsATradeDateAndCoversEveryMarket)
{
    CMarketStatus status;
    status.m_nTradeDate = 7;
    EXPECT_FALSE(m_store.GetMarketStatus(1, "000001", status));
    EXPECT_FALSE(m_store.DaGetMarketStatus(27, status));
    EXPECT_EQ(status.m_nTradeDate, 7);

    m_store.SetTradeDate(20211201);
    EXPECT_TRUE(m_store.DaGetMarketStatus(27, status));
    EXPECT_EQ(status.m_nTradeDate, 20211201);
    CMarketStatus other;
    EXPECT_TRUE(m_store.GetMarketStatus(150, "anything", other));
    EXPECT_EQ(other.m_nTradeDate, 20211201);
}

TEST_F(CQuoteStoreTest, UserGroupsKeepInsertionOrder)
{
    tag_UserInfo info;
    EXPECT_FALSE(m_store.GetUserInfo(info));
    m_store.SetCurrentUser("alice");
    ASSERT_TRUE(m_store.GetUserInfo(info));
    EXPECT_EQ(info.m_strUserID, "alice");

    m_store.AddUserGroup("alice", "zeta", {{1, "000001"}});
    m_store.AddUserGroup("alice", "alpha", {{27, "600000"}, {1, "000001"}});
    m_store.AddUserGroup("alice", "mid", {});
    m_store.AddUserGroup("alice", "zeta", {{1, "000002"}});
    m_store.AddUserGroup("bob", "other", {});

    std::vector<CString> groups;
    ASSERT_TRUE(m_store.GetSSVInfoByUserID("alice", groups));
    EXPECT_EQ(groups, (std::vector<CString>{"zeta", "alpha", "mid"}));
    EXPECT_FALSE(m_store.GetSSVInfoByUserID("carol", groups));
    EXPECT_TRUE(groups.empty());

    std::vector<CSymbolInfo> stocks;
    ASSERT_TRUE(m_store.GetSymbolIDVecBySSVName("alice", "alpha", stocks));
    EXPECT_EQ(stocks, (std::vector<CSymbolInfo>{{27, "600000"}, {1, "000001"}}));
    ASSERT_TRUE(m_store.GetSymbolIDVecBySSVName("alice", "zeta", stocks));
    EXPECT_EQ(stocks, (std::vector<CSymbolInfo>{{1, "000002"}}));
    EXPECT_FALSE(m_store.GetSymbolIDVecBySSVName("alice", "other", stocks));
    EXPECT_FALSE(m_store.GetSymbolIDVecBySSVName("", "alpha", stocks));
}

TEST_F(CQuoteStoreTest, PathsStringsAndReset)
{
    m_store.SetSysPath("/opt/host/SYS/");
    EXPECT_EQ(m_store.GetSysPath(0), "/opt/host/SYS");
    m_store.SetSysPath("C:\\Host\\SYS\\");
    EXPECT_EQ(m_store.GetSysPath(0), "C:\\Host\\SYS");
    m_store.SetLangString("IDS_DIALOG-INPUT_TITLE", "Input");
    EXPECT_EQ(m_store.GetLangString("IDS_DIALOG-INPUT_TITLE"), "Input");
    EXPECT_EQ(m_store.GetLangString("IDS_NOPE"), "");

    m_store.Reset();
    std::vector<X1Format> out;
    EXPECT_FALSE(m_store.GetItemDataByItemNo(1, "000001", {125}, out, true));
    EXPECT_EQ(m_store.GetSysPath(0), "");
    EXPECT_EQ(m_store.ConvertToLevel1ServiceID(3), 3);
    std::vector<CString> codes, names;
    EXPECT_FALSE(m_store.GetSymbolID(codes, names, 1));
    m_store.AddSymbol(1, "000009", "Again");
    ASSERT_TRUE(m_store.GetSymbolID(codes, names, 1));
    EXPECT_EQ(codes, (std::vector<CString>{"000009"}));
}

// Symbols that each hold their own scattered set of items, written over and over in random
// order, answer every request as a plain map of what was last written would: each value where
// it was set, no data for the rest, whatever else the other symbols hold.
TEST_F(CQuoteStoreTest, ManySymbolsWithScatteredItemsAnswerWhatWasLastWritten)
{
    std::mt19937 random(23);
    constexpr int kSymbols = 300;
    std::vector<std::map<unsigned short, X1Format>> written(kSymbols);
    auto codeOf = [](int s) { return "S" + std::to_string(s); };
    auto randomItem = [&] {
        // Mostly a few common items, sometimes any item number at all (0 and 8191 included).
        const unsigned pick = random() % 4;
        return pick == 0 ? static_cast<unsigned short>(random() % 8192)
                         : static_cast<unsigned short>(120 + random() % 20);
    };
    for (int step = 0; step < 40000; ++step) {
        const int s = static_cast<int>(random() % kSymbols);
        const unsigned short item = randomItem();
        const X1Format value =
            random() % 5 == 0 ? X1Format::None(item)
                              : X1Format::Price(item, static_cast<double>(random() % 100000) / 100);
        m_store.SetItem(9, codeOf(s), value);
        written[static_cast<std::size_t>(s)][item] = value;
    }
    for (int s = 0; s < kSymbols; ++s) {
        std::vector<unsigned short> items;
        for (int k = 0; k < 12; ++k)
            items.push_back(randomItem());
        // A number beyond the 13 bits a value can carry: no value holds it.
        items.push_back(static_cast<unsigned short>(8192 + random() % 50000));
        std::vector<X1Format> out;
        ASSERT_TRUE(m_store.GetItemDataByItemNo(9, codeOf(s), items, out, true));
        ASSERT_EQ(out.size(), items.size());
        for (std::size_t k = 0; k < items.size(); ++k) {
            const auto& held = written[static_cast<std::size_t>(s)];
            const auto it = held.find(items[k]);
            const X1Format expected = it != held.end() ? it->second : X1Format::None(items[k]);
            ASSERT_EQ(std::memcmp(out[k].Bytes(), expected.Bytes(), sizeof(X1Format)), 0)
                << codeOf(s) << " item " << items[k];
        }
    }
}

// A market's worth of symbols written, given decimals, added and asked for in random turns (as
// a replay sets a stock, asks whether it is watched and fetches it, then moves to another, but
// also asking again for one set earlier, after others were added) and the store emptied now and
// then: every answer is what a plain map of the values written, shown with the decimals last
// given, would answer.
TEST_F(CQuoteStoreTest, InterleavedWritesDecimalsNewSymbolsAndResetsAnswerAsAPlainModel)
{
    std::mt19937 random(41);
    struct Model {
        std::map<unsigned short, X1Format> values;
        int decimals = -1;
    };
    using Key = std::pair<unsigned char, CString>;
    std::map<Key, Model> model;
    auto codeOf = [&](unsigned n) {
        // Codes of every length the flat table holds and some it does not, sharing prefixes.
        const CString digits = std::to_string(600000 + n);
        return n % 11 == 0 ? digits + "LONGER-THAN-A-KEY" : digits.substr(0, 1 + n % 6);
    };
    const std::vector<unsigned short> request = {125, 182, 1019, 413, 132, 133, 143, 130, 131};
    auto check = [&](const Key& key, int step) {
        const auto found = model.find(key);
        std::vector<X1Format> out(3); // not empty: the answer replaces what the vector held
        const bool known = m_store.GetItemDataByItemNo(key.first, key.second, request, out, true);
        ASSERT_EQ(known, found != model.end()) << step << " " << key.second;
        if (!known) {
            EXPECT_TRUE(out.empty());
            return;
        }
        ASSERT_EQ(out.size(), request.size());
        for (std::size_t k = 0; k < request.size(); ++k) {
            auto it = found->second.values.find(request[k]);
            X1Format shown =
                it == found->second.values.end() ? X1Format::None(request[k]) : it->second;
            if (found->second.decimals >= 0)
                shown.SetDecimals(found->second.decimals);
            ASSERT_EQ(std::memcmp(out[k].Bytes(), shown.Bytes(), sizeof(X1Format)), 0)
                << step << " " << key.second << " item " << request[k];
            ASSERT_EQ(out[k].s_GetAsString(), shown.s_GetAsString());
        }
    };
    std::vector<Key> earlier;
    for (int step = 0; step < 60000; ++step) {
        const Key key{static_cast<unsigned char>(random() % 3),
                      codeOf(random() % (step < 30000 ? 200 : 3000))};
        if (step % 20000 == 19999) {
            m_store.Reset();
            model.clear();
            // What was asked for a moment ago is unknown now.
            ASSERT_NO_FATAL_FAILURE(check(earlier.back(), step));
            earlier.clear();
        }
        const unsigned action = random() % 10;
        if (action < 4) {
            const X1Format values[] = {
                X1Format::Price(125, (random() % 100000) / 100.0, int(random() % 4)),
                X1Format::Volume(413, random() % 1000000), X1Format::Time(143, 10, 0, 1)};
            m_store.SetItems(key.first, key.second, values);
            for (const X1Format& value : values)
                model[key].values[value.GetItemNo()] = value;
        } else if (action < 5) {
            const int decimals = int(random() % 9) - 1;
            m_store.SetPriceDecimals(key.first, key.second, decimals);
            model[key].decimals = std::clamp(decimals, 0, X1Format::kMaxDecimals);
        } else if (action < 6) {
            const X1Format value = X1Format::Price(request[random() % request.size()],
                                                   (random() % 5000) / 1000.0, int(random() % 7));
            m_store.SetItem(key.first, key.second, value);
            model[key].values[value.GetItemNo()] = value;
        }
        // Half the time the one asked for last comes first, after this step may have added a
        // symbol; now and then any one asked for earlier.
        if (!earlier.empty() && random() % 2 == 0) {
            ASSERT_NO_FATAL_FAILURE(check(earlier.back(), step));
        }
        ASSERT_NO_FATAL_FAILURE(check(key, step));
        if (!earlier.empty() && random() % 3 == 0) {
            ASSERT_NO_FATAL_FAILURE(check(earlier[random() % earlier.size()], step));
        }
        earlier.push_back(key);
    }
}
