#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "engine/VelkEngineLock.h"
#include "res/VelkStringTable.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/FakeWindowing.h"
#include "tests/mocks/MockHostBackend.h"
#include "tests/support/CScopedCommaNumericLocale.h"

namespace {

using TA = CVelkAlertTestAccess;

using ::testing::_;
using ::testing::DoAll;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgReferee;

const std::vector<unsigned short> kNineItems{125, 182, 1019, 413, 132, 133, 143, 130, 131};

bool EngineLockIsFree()
{
    if (!VelkEngineLock().try_lock())
        return false;
    VelkEngineLock().unlock();
    return true;
}

// Hears each alert and notes whether the engine lock was free while it was being recorded.
class CLockProbe final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        m_records.push_back(record);
        m_bLockFree = m_bLockFree && EngineLockIsFree();
    }
    std::vector<Ta_ALERTRECORD> m_records;
    bool m_bLockFree = true;
};

std::string Reason(const Ta_ALERTRECORD& r)
{
    return VelkFieldText(r.m_szReason);
}

// The nine answers for one stock, in the engine's item order.
std::vector<X1Format> Answer(float price, X1Format volume, float high, float low, float limitUp = 0,
                             float limitDown = 0)
{
    return {X1Format::Price(125, price),     X1Format::Price(182, price),
            X1Format::Text(1019, "NAME"),    volume,
            X1Format::Price(132, limitUp),   X1Format::Price(133, limitDown),
            X1Format::Time(143, 12, 34, 56), X1Format::Price(130, high),
            X1Format::Price(131, low)};
}

class IntakeTest : public ::testing::Test {
protected:
    IntakeTest()
        : m_guard(m_store), m_engine(CVelkServices{&m_windowing, nullptr, nullptr, &m_clock})
    {
        m_engine.SetAlertObserver(&m_probe);
        TA::Options(m_engine).m_byPopup = 0;
        TA::SystemSwitch(m_engine) = Ta_SYSTEMSWITCH{1, 1, 1, 2};
    }

    void Quote(unsigned char market, const std::string& code, const std::vector<X1Format>& values)
    {
        m_store.AddSymbol(market, code, "NAME");
        for (const X1Format& v : values)
            m_store.SetItem(market, code, v);
    }
    void Notify(unsigned char market, const std::string& code)
    {
        CMemoryInfo info(market, code);
        m_engine.vRecvNewMemory(&info);
    }
    void Recover(unsigned char market, const std::string& code)
    {
        CTickInfo info(market, code);
        m_engine.vRecvTickRecovery(&info);
    }
    Ta_VELKPRICEALERT& System(std::size_t i) { return TA::SystemList(m_engine)[i]; }

    CQuoteStore m_store;
    CScopedHostBackend m_guard;
    CFakeWindowing m_windowing;
    CFixedClock m_clock;
    CLockProbe m_probe;
    CVelkAlert m_engine;
};

TEST_F(IntakeTest, NotificationBuildsTheSnapshotFromTheNineItems)
{
    Ta_VELKPRICEALERT watch = MakeWatch(1, "600000", "", 10.0f, 0);
    watch.m_fLast = 9.0f;
    TA::SetPriceList(m_engine, {watch});
    Quote(1, "600000", Answer(10.25f, X1Format::Volume(413, 1234), 11, 9));
    Notify(1, "600000");

    ASSERT_EQ(m_engine.GetAlertRecords().size(), 1u);
    const Ta_ALERTRECORD& r = m_engine.GetAlertRecords()[0];
    EXPECT_EQ(Reason(r), VelkReasonText(0));
    EXPECT_EQ(r.m_byMarket, 1);
    EXPECT_STREQ(r.m_szCode, "600000");
    EXPECT_STREQ(r.m_szName, "NAME");
    EXPECT_FLOAT_EQ(r.m_fPrice, 10.25f);
    EXPECT_FLOAT_EQ(r.m_fVolume, 1234.0f);
    EXPECT_EQ(+r.m_nTime, 45296) << "12:34:56 from item 143";
    EXPECT_TRUE(TA::Pending(m_engine).empty());
    EXPECT_TRUE(m_probe.m_bLockFree) << "no evaluation under the engine lock";
}

TEST_F(IntakeTest, QuoteTextsReadTheSameUnderADecimalCommaLocale)
{
    CScopedCommaNumericLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "localedef cannot make a decimal-comma locale here";
    ASSERT_EQ(std::atof("10.25"), 10.0) << "the locale reads a decimal comma";
    Ta_VELKPRICEALERT watch = MakeWatch(1, "600000", "", 10.2f, 0);
    watch.m_fLast = 9.0f;
    TA::SetPriceList(m_engine, {watch});
    Quote(1, "600000", Answer(10.25f, X1Format::Volume(413, 1234), 11, 9));
    Notify(1, "600000");

    ASSERT_EQ(m_engine.GetAlertRecords().size(), 1u)
        << "10.25 crosses 10.20; read as 10 it would not";
    EXPECT_FLOAT_EQ(m_engine.GetAlertRecords()[0].m_fPrice, 10.25f);
    EXPECT_DOUBLE_EQ(double(X1Format::Text(1019, " -7.5e1x")), -75.0);
}

TEST_F(IntakeTest, StockInBothListsIsEvaluatedForPricesFirst)
{
    Ta_VELKPRICEALERT price = MakeWatch(1, "600000", "", 10.0f, 0);
    price.m_fLast = 9.0f;
    TA::SetPriceList(m_engine, {price});
    TA::SetSystemList(m_engine, {MakeWatch(1, "600000")});
    // The unseeded record takes high 10.80 and low 9.0, and then the limit-up price is reached.
    Quote(1, "600000", Answer(11.0f, X1Format::Volume(413, 10), 10.8f, 9.0f, 11.0f, 9.0f));
    Notify(1, "600000");

    ASSERT_EQ(m_probe.m_records.size(), 3u);
    EXPECT_EQ(Reason(m_probe.m_records[0]), VelkReasonText(0));
    EXPECT_EQ(Reason(m_probe.m_records[1]), VelkReasonText(6)) << "seeded before evaluation";
    EXPECT_EQ(Reason(m_probe.m_records[2]), VelkReasonText(2));
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 11.0f);
    EXPECT_FLOAT_EQ(System(0).m_fLower, 9.0f);
}

TEST_F(IntakeTest, VolumeOfZeroOrDashStopsBeforeSeedingButZeroPointZeroZeroDoesNot)
{
    TA::SetSystemList(m_engine, {MakeWatch(1, "600000")});
    Quote(1, "600000", Answer(10.0f, X1Format::None(413), 11, 9));
    Notify(1, "600000");
    EXPECT_EQ(+System(0).m_fUpper, 0) << "volume shown as -";
    Quote(1, "600000", Answer(10.0f, X1Format::Volume(413, 0), 11, 9));
    Notify(1, "600000");
    EXPECT_EQ(+System(0).m_fUpper, 0) << "volume shown as 0";
    EXPECT_EQ(+System(0).m_fLast, 0) << "nothing evaluated";

    Quote(1, "600000", Answer(10.0f, X1Format::Price(413, 0), 11, 9));
    Notify(1, "600000");
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 11.0f) << "volume shown as 0.00";
    EXPECT_FLOAT_EQ(System(0).m_fLower, 9.0f);
    EXPECT_FLOAT_EQ(System(0).m_fLast, 10.0f);
}

TEST_F(IntakeTest, SeedingReachesEveryMarketOfTheCodeOnlyWhileTheHighIsZero)
{
    Ta_VELKPRICEALERT known = MakeWatch(3, "600000", "", 5.0f, 0);
    TA::SetSystemList(
        m_engine, {MakeWatch(1, "600000"), MakeWatch(2, "600000"), known, MakeWatch(1, "600001")});
    Quote(1, "600000", Answer(10.0f, X1Format::Volume(413, 5), 11, 9));
    Notify(1, "600000");
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 11.0f);
    EXPECT_FLOAT_EQ(System(1).m_fUpper, 11.0f);
    EXPECT_FLOAT_EQ(System(1).m_fLower, 9.0f);
    EXPECT_FLOAT_EQ(System(2).m_fUpper, 5.0f) << "a known high is not reseeded, even with low 0";
    EXPECT_EQ(+System(2).m_fLower, 0);
    EXPECT_EQ(+System(3).m_fUpper, 0);
    EXPECT_EQ(+System(1).m_fLast, 0) << "only the notified market is evaluated";
}

// Market numbers of one, two and three decimal digits, and codes up to the field's width: each
// notification finds its own stock's record and no other.
TEST_F(IntakeTest, EveryWidthOfMarketAndCodeFindsItsOwnRecord)
{
    const struct {
        unsigned char market;
        const char* code;
        float price;
    } stocks[] = {{0, "1", 1.5f},        {7, "600000", 2.5f},        {42, "600000", 3.5f},
                  {200, "600000", 4.5f}, {255, "12345678901", 5.5f}, {9, "1234567890", 6.5f}};
    std::vector<Ta_VELKPRICEALERT> list;
    for (const auto& stock : stocks)
        list.push_back(MakeWatch(stock.market, stock.code));
    TA::SetSystemList(m_engine, list);
    for (const auto& stock : stocks)
        Quote(stock.market, stock.code, Answer(stock.price, X1Format::Volume(413, 5), 0, 0));
    for (std::size_t i = 0; i < std::size(stocks); ++i) {
        Notify(stocks[i].market, stocks[i].code);
        for (std::size_t k = 0; k < std::size(stocks); ++k) {
            // Copied out: the packed record's field may stand at any address.
            const float last = System(k).m_fLast;
            EXPECT_EQ(last, k <= i ? stocks[k].price : 0.0f)
                << "after market " << int(stocks[i].market) << ", record " << k;
        }
    }
    // A stock of a listed code in a market that is not listed is no stock of the lists.
    Quote(8, "600000", Answer(9.5f, X1Format::Volume(413, 5), 0, 0));
    Notify(8, "600000");
    for (std::size_t k = 0; k < std::size(stocks); ++k)
        EXPECT_EQ(+System(k).m_fLast, stocks[k].price);
}

TEST_F(IntakeTest, SeedingAndPriceAlertsFollowTheListsWhenTheyAreReplacedOrGrow)
{
    TA::SetSystemList(m_engine, {MakeWatch(1, "600000")});
    Quote(1, "600000", Answer(10.0f, X1Format::Volume(413, 5), 11, 9));
    Quote(1, "600001", Answer(20.0f, X1Format::Volume(413, 5), 21, 19));
    Notify(1, "600000");
    ASSERT_FLOAT_EQ(System(0).m_fUpper, 11.0f);

    // Same length, other stock: the records found by code must be those of the new list.
    TA::SetSystemList(m_engine, {MakeWatch(1, "600001")});
    Notify(1, "600001");
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 21.0f);

    // A record appended through the host's pointer is found too.
    TA::SystemList(m_engine).push_back(MakeWatch(2, "600001"));
    Notify(1, "600001");
    EXPECT_FLOAT_EQ(System(1).m_fUpper, 21.0f);
    EXPECT_FLOAT_EQ(System(1).m_fLower, 19.0f);

    // Rewritten in place in another order, same length: every quote still seeds and is
    // evaluated against its own stock's record.
    TA::SetSystemList(m_engine, {MakeWatch(1, "600000"), MakeWatch(1, "600001")});
    Notify(1, "600000");
    Notify(1, "600001");
    TA::SystemList(m_engine) = {MakeWatch(1, "600001"), MakeWatch(1, "600000")};
    Notify(1, "600000");
    EXPECT_FLOAT_EQ(System(1).m_fUpper, 11.0f);
    EXPECT_FLOAT_EQ(System(1).m_fLast, 10.0f);
    EXPECT_EQ(+System(0).m_fUpper, 0);
    EXPECT_EQ(+System(0).m_fLast, 0);
    Notify(1, "600001");
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 21.0f);
    EXPECT_FLOAT_EQ(System(0).m_fLast, 20.0f);

    // A price list of the same length with another stock: only the new one is evaluated.
    const struct {
        const char* code;
        float upper;
    } lists[] = {{"600000", 9.5f}, {"600001", 19.5f}};
    for (const auto& list : lists) {
        TA::SetPriceList(m_engine, {MakeWatch(1, list.code, "", list.upper, 0)});
        m_probe.m_records.clear();
        Notify(1, "600000");
        Notify(1, "600001");
        ASSERT_EQ(m_probe.m_records.size(), 1u) << list.code;
        EXPECT_STREQ(m_probe.m_records[0].m_szCode, list.code);
        EXPECT_EQ(Reason(m_probe.m_records[0]), VelkReasonText(0));
    }
}

TEST_F(IntakeTest, NullNotificationsAndEmptyQueueAreHarmless)
{
    TA::SetSystemList(m_engine, {MakeWatch(1, "600000", "", 3, 2)});
    m_engine.vRecvNewMemory(nullptr);
    m_engine.vRecvTickRecovery(nullptr);
    EXPECT_EQ(TA::OnReceiveAlertData(m_engine), 0);
    EXPECT_EQ(TA::OnReceiveData(m_engine, nullptr), 100);
    Ta_VELKPRICETABLE stranger = MakeQuote(9, "999999", 1.0f);
    EXPECT_EQ(TA::OnReceiveData(m_engine, &stranger), 100);
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 3);
}

TEST_F(IntakeTest, TickRecoveryTakesHighAndLowFromTradePricesOfTheTradingDay)
{
    m_store.AddMarket(5, "SZ2", 1); // ticks live under the level-1 market
    m_store.SetTradeDate(20211130);
    m_store.AddTick(1, "000001", "20211130",
                    {X1Format::Price(125, 10.2), X1Format::Volume(413, 900)});
    m_store.AddTick(1, "000001", "20211130", {X1Format::Price(130, 99), X1Format::Price(125, 9.8)});
    m_store.AddTick(1, "000001", "20211130", {X1Format::Price(125, 10.5)});
    m_store.AddTick(1, "000001", "20211201", {X1Format::Price(125, 50)});
    TA::SetSystemList(m_engine, {MakeWatch(5, "000001", "", 3, 2)});
    Recover(5, "000001");
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 10.5f);
    EXPECT_FLOAT_EQ(System(0).m_fLower, 9.8f);
}

TEST_F(IntakeTest, TickRecoveryFallsBackToTheClockDateAndZeroesWithoutTicks)
{
    m_store.AddTick(1, "000001", "20211201", {X1Format::Price(125, 7.5)});
    TA::SetSystemList(m_engine,
                      {MakeWatch(1, "000001", "", 3, 2), MakeWatch(1, "000002", "", 12, 11)});
    Recover(1, "000001"); // no trading date known: the clock says 2021-12-01
    EXPECT_FLOAT_EQ(System(0).m_fUpper, 7.5f);
    EXPECT_FLOAT_EQ(System(0).m_fLower, 7.5f);
    Recover(1, "000002");
    EXPECT_EQ(+System(1).m_fUpper, 0);
    EXPECT_EQ(+System(1).m_fLower, 0);
}

TEST_F(IntakeTest, ClearAllDataEmptiesTheWindowListOnlyWhenThereIsAWindow)
{
    TA::SetSystemList(m_engine, {MakeWatch(1, "600000", "", 12, 11)});
    Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", 10.0f, 100);
    m_engine.AddAlertRecord(0, &quote, 100);
    m_engine.ClearAllData();
    EXPECT_EQ(m_engine.GetAlertRecords().size(), 1u);
    EXPECT_EQ(+System(0).m_fUpper, 0);
    EXPECT_EQ(+System(0).m_fLower, 0);

    m_engine.PopAlertDialog();
    System(0).m_fUpper = 5;
    m_engine.ClearAllData();
    EXPECT_TRUE(m_engine.GetAlertRecords().empty());
    EXPECT_EQ(+System(0).m_fUpper, 0);
}

class IntakeMockTest : public ::testing::Test {
protected:
    IntakeMockTest()
        : m_guard(m_backend), m_engine(CVelkServices{nullptr, nullptr, nullptr, &m_clock})
    {
        TA::Options(m_engine).m_byPopup = 0;
    }
    NiceMock<MockHostBackend> m_backend;
    CScopedHostBackend m_guard;
    CFixedClock m_clock;
    CVelkAlert m_engine;
};

TEST_F(IntakeMockTest, OnlyWatchedStocksCostAQuoteRequestMadeOutsideTheLock)
{
    TA::SetPriceList(m_engine, {MakeWatch(1, "600000", "", 10, 0)});
    TA::SetSystemList(m_engine, {MakeWatch(2, "000001")});
    bool lockFree = false;
    EXPECT_CALL(m_backend, GetItemDataByItemNo(_, _, _, _, _)).Times(0);
    EXPECT_CALL(m_backend, GetItemDataByItemNo(1, CString("600000"), kNineItems, _, true))
        .WillOnce([&](auto, auto&, auto&, std::vector<X1Format>&, bool) {
            lockFree = EngineLockIsFree();
            return false;
        });
    EXPECT_CALL(m_backend, GetItemDataByItemNo(2, CString("000001"), kNineItems, _, true))
        .WillOnce(Return(false));
    for (const auto& [market, code] :
         std::vector<std::pair<unsigned char, std::string>>{{2, "600000"},
                                                            {1, "000001"},
                                                            {1, "600000"},
                                                            {2, "000001"},
                                                            {1, "60000"},
                                                            {10, "600000"}}) {
        CMemoryInfo info(market, code);
        m_engine.vRecvNewMemory(&info);
    }
    EXPECT_TRUE(lockFree);
}

TEST_F(IntakeMockTest, AnswerWithEightValuesIsIgnored)
{
    TA::SetSystemList(m_engine, {MakeWatch(1, "600000")});
    std::vector<X1Format> eight = Answer(10, X1Format::Volume(413, 5), 11, 9);
    eight.pop_back();
    EXPECT_CALL(m_backend, GetItemDataByItemNo(1, CString("600000"), _, _, _))
        .WillOnce(DoAll(SetArgReferee<3>(eight), Return(true)));
    CMemoryInfo info(1, "600000");
    m_engine.vRecvNewMemory(&info);
    EXPECT_EQ(+TA::SystemList(m_engine)[0].m_fUpper, 0);
    EXPECT_EQ(+TA::SystemList(m_engine)[0].m_fLast, 0);
}

TEST_F(IntakeMockTest, TickRecoveryForAPriceOnlyStockAsksNothing)
{
    TA::SetPriceList(m_engine, {MakeWatch(1, "600000", "", 10, 5)});
    EXPECT_CALL(m_backend, GetTickerCount(_, _, _)).Times(0);
    EXPECT_CALL(m_backend, GetMarketStatus(_, _, _)).Times(0);
    CTickInfo info(1, "600000");
    m_engine.vRecvTickRecovery(&info);
    EXPECT_FLOAT_EQ(TA::PriceList(m_engine)[0].m_fUpper, 10);
    EXPECT_FLOAT_EQ(TA::PriceList(m_engine)[0].m_fLower, 5);
}

TEST_F(IntakeMockTest, TickQueriesUseTheLevelOneMarketAndOnlyTheRowsReturned)
{
    ON_CALL(m_backend, ConvertToLevel1ServiceID(7)).WillByDefault(Return(3));
    ON_CALL(m_backend, GetMarketStatus(3, CString("000001"), _))
        .WillByDefault([](auto, auto&, CMarketStatus& status) {
            status.m_nTradeDate = 20200305;
            return true;
        });
    EXPECT_CALL(m_backend, GetTickerCount(3, CString("000001"), CString("20200305")))
        .WillOnce(Return(3));
    std::vector<std::vector<X1Format>> rows{
        {X1Format::Price(125, 4.0)}, {X1Format::Price(125, 6.0)}, {X1Format::Price(125, 100.0)}};
    EXPECT_CALL(m_backend, GetTickerByStartPos(_, 3, CString("000001"), 0, 3, CString("20200305")))
        .WillOnce(DoAll(SetArgReferee<0>(rows), Return(2)));
    float high = -1, low = -1;
    TA::GetMaxAndMinPrice(m_engine, CSymbolInfo(7, "000001"), high, low);
    EXPECT_FLOAT_EQ(high, 6.0f) << "the third row was not counted";
    EXPECT_FLOAT_EQ(low, 4.0f);
}

TEST_F(IntakeMockTest, FailingTickQueriesLeaveHighAndLowAlone)
{
    ON_CALL(m_backend, ConvertToLevel1ServiceID(_)).WillByDefault([](unsigned char m) {
        return m;
    });
    EXPECT_CALL(m_backend, GetTickerCount(1, _, CString("20211201"))).WillOnce(Return(-1));
    float high = 8, low = 7;
    TA::GetMaxAndMinPrice(m_engine, CSymbolInfo(1, "000001"), high, low);
    EXPECT_EQ(high, 8);
    EXPECT_EQ(low, 7);

    EXPECT_CALL(m_backend, GetTickerCount(1, _, _)).WillOnce(Return(4));
    EXPECT_CALL(m_backend, GetTickerByStartPos(_, 1, _, 0, 4, _)).WillOnce(Return(0));
    TA::GetMaxAndMinPrice(m_engine, CSymbolInfo(1, "000001"), high, low);
    EXPECT_EQ(high, 8);

    std::vector<std::vector<X1Format>> noTrades{{X1Format::Volume(413, 4)}, {}};
    EXPECT_CALL(m_backend, GetTickerCount(1, _, _)).WillOnce(Return(2));
    EXPECT_CALL(m_backend, GetTickerByStartPos(_, 1, _, 0, 2, _))
        .WillOnce(DoAll(SetArgReferee<0>(noTrades), Return(2)));
    TA::GetMaxAndMinPrice(m_engine, CSymbolInfo(1, "000001"), high, low);
    EXPECT_EQ(high, 8) << "rows without a trade price";
    EXPECT_EQ(low, 7);
}

// Each case runs on a fresh engine watching 600000 in all three lists. Nothing may crash or be
// recorded, and real prices must still alert afterwards: a NaN or an infinity slipped into a
// record would silence the stock instead.
TEST_F(IntakeMockTest, BadHostInputNeitherCrashesNorRecordsNorSilencesTheStock)
{
    auto answer = [this](std::vector<X1Format> values) {
        ON_CALL(m_backend, GetItemDataByItemNo(1, CString("600000"), _, _, _))
            .WillByDefault(DoAll(SetArgReferee<3>(values), Return(true)));
    };
    auto notify = [](CVelkAlert& e, unsigned char market, const std::string& code) {
        CMemoryInfo news(market, code);
        e.vRecvNewMemory(&news);
        CTickInfo ticks(market, code);
        e.vRecvTickRecovery(&ticks);
    };
    Ta_VELKPRICETABLE far = MakeQuote(1, "600000", 20.0f, 100);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<X1Format> eight = Answer(20, X1Format::Volume(413, 5), 11, 9);
    eight.pop_back();
    const std::vector<std::pair<const char*, std::function<void(CVelkAlert&)>>> cases = {
        {"null pointers",
         [](CVelkAlert& e) {
             e.vRecvNewMemory(nullptr);
             e.vRecvTickRecovery(nullptr);
             e.AddAlertRecord(0, nullptr, 1);
             e.ProcessAlert(nullptr, 0);
             e.ProcessSystemAlert(nullptr, 0);
             TA::OnReceiveData(e, nullptr);
             e.GetSystemAlert(nullptr);
             e.GetAlertCondition(nullptr);
             e.AddMStockToSystemAlert(nullptr);
             TA::OnReceiveMaigc(e, nullptr);
             TA::AtoCr(e, nullptr);
         }},
        {"unknown market and code",
         [&](CVelkAlert& e) {
             answer(Answer(20, X1Format::Volume(413, 5), 11, 9));
             notify(e, 200, "600000");
             notify(e, 1, "NOSUCH");
             e.GetNewMagicSignal(200);
         }},
        {"codes longer than their fields",
         [&](CVelkAlert& e) {
             answer(Answer(20, X1Format::Volume(413, 5), 11, 9));
             for (const std::string& code :
                  {"600000" + std::string(100000, '9'), std::string("600000000000"),
                   std::string("600000\0X", 8)})
                 notify(e, 1, code);
         }},
        {"magic signals of a market without rows",
         [&](CVelkAlert& e) {
             e.GetNewMagicSignal(1);
             const std::vector<std::vector<X1Format>> emptyRows(2);
             ON_CALL(m_backend, GetLastMagic(_, 1, _, _))
                 .WillByDefault(DoAll(SetArgReferee<0>(emptyRows), Return(2)));
             e.GetNewMagicSignal(1);
         }},
        {"impossible prices in snapshots, ticks and the list",
         [&](CVelkAlert& e) {
             const std::vector<std::vector<X1Format>> ticks = {{X1Format::Price(125, nan)},
                                                               {X1Format::Price(125, -3)},
                                                               {X1Format::Price(125, 1e39)}};
             ON_CALL(m_backend, GetTickerCount(_, _, _)).WillByDefault(Return(3));
             ON_CALL(m_backend, GetTickerByStartPos(_, _, _, _, _, _))
                 .WillByDefault(DoAll(SetArgReferee<0>(ticks), Return(3)));
             for (float price : {inf, -inf, nan, -1.0f}) {
                 Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", price, 100);
                 e.ProcessAlert(&quote, 0);
                 e.ProcessSystemAlert(&quote, 0);
                 notify(e, 1, "600000"); // the ticks replace the day's high and low
             }
             TA::SystemList(e)[0].m_fUpper = nan;
         }},
        {"indexes outside the lists",
         [&](CVelkAlert& e) {
             for (int index : {1, -1, INT_MAX, INT_MIN}) {
                 e.ProcessAlert(&far, index);
                 e.ProcessSystemAlert(&far, index);
             }
         }},
        {"fewer than nine values",
         [&](CVelkAlert& e) {
             for (const std::vector<X1Format>& values : {std::vector<X1Format>{}, eight}) {
                 answer(values);
                 notify(e, 1, "600000");
             }
         }},
        {"values of the wrong kinds",
         [&](CVelkAlert& e) {
             for (const char* price : {"abc", "inf", "nan", "-7", "1e308"}) {
                 answer({X1Format::Text(125, price), X1Format::None(182), X1Format::Volume(1019, 1),
                         X1Format::Text(413, "abc"), X1Format::Text(132, "x"),
                         X1Format::Date(133, 1), X1Format::Text(143, "99:99:99"),
                         X1Format::Text(130, "nan"), X1Format::Text(131, "-5")});
                 notify(e, 1, "600000");
             }
         }},
    };
    for (const auto& [name, act] : cases) {
        ::testing::Mock::VerifyAndClear(&m_backend);
        CVelkAlert engine(CVelkServices{nullptr, nullptr, nullptr, &m_clock});
        TA::Options(engine).m_byPopup = 0;
        TA::SystemSwitch(engine) = Ta_SYSTEMSWITCH{1, 1, 1, 2};
        Ta_VELKPRICEALERT watch = MakeWatch(1, "600000", "", 10.0f, 5.0f);
        watch.m_fLast = 8.0f;
        TA::SetPriceList(engine, {watch});
        TA::SetSystemList(engine, {MakeWatch(1, "600000", "", 12.0f, 11.0f)});
        for (std::size_t k = 0; k < std::size(watch.m_nMagic); ++k)
            watch.m_nMagic[k] = 1;
        TA::SetMagicList(engine, {watch});

        act(engine);
        EXPECT_TRUE(engine.GetAlertRecords().empty()) << name;
        TA::SetMaxAndMinPrice(engine, "600000", 12.0, 11.0);
        Ta_VELKPRICETABLE high = MakeQuote(1, "600000", 13.0f, 100);
        Ta_VELKPRICETABLE upper = MakeQuote(1, "600000", 10.5f, 100);
        engine.ProcessSystemAlert(&high, 0);
        engine.ProcessAlert(&upper, 0);
        std::vector<std::string> reasons;
        for (const Ta_ALERTRECORD& record : engine.GetAlertRecords())
            reasons.push_back(Reason(record));
        EXPECT_EQ(reasons, std::vector<std::string>({VelkReasonText(0), VelkReasonText(6)}))
            << name;
    }
}

} // namespace
