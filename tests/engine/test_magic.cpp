#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/CVelkAlert.h"
#include "engine/VelkEngineLock.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/FakeWindowing.h"

namespace {

using Access = CVelkAlertTestAccess;

constexpr unsigned char kMarket = 10;
const CString kDate = "20211201";

std::vector<X1Format> Row(const std::string& code, int hour, int minute, int second, double price,
                          double volume, int number)
{
    return {X1Format::Text(1018, code),  X1Format::Time(143, hour, minute, second),
            X1Format::Price(125, price), X1Format::Volume(410, volume),
            X1Format::Price(184, 1.25),  X1Format::Integer(1994, number)};
}

Ta_VELKPRICEALERT Watch(unsigned char market, const std::string& code, std::vector<int> indexes)
{
    Ta_VELKPRICEALERT record = MakeWatch(market, code);
    for (int i : indexes)
        record.m_nMagic[i] = 1;
    return record;
}

// Seen from another thread, since the engine's own thread may not probe a lock it holds.
class CLockProbe final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD&) override
    {
        std::thread probe([this] {
            bool free = VelkEngineLock().try_lock();
            if (free)
                VelkEngineLock().unlock();
            m_heldDuringAlert.push_back(!free);
        });
        probe.join();
    }
    std::vector<bool> m_heldDuringAlert;
};

class MagicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_store.SetSysPath(m_hostDir.Path());
        m_store.SetTradeDate(20211201);
        m_store.AddSymbol(kMarket, "600000", TextCodec::Utf8ToGbk("浦发银行"));
        m_store.AddSymbol(kMarket, "000001", TextCodec::Utf8ToGbk("平安银行"));
        m_store.SetMagicCatalogue({"0", "1", "13", "15"},
                                  {TextCodec::Utf8ToGbk("金叉"), TextCodec::Utf8ToGbk("放量"),
                                   "thirteen", TextCodec::Utf8ToGbk("突破")});
        m_engine = std::make_unique<CVelkAlert>(m_services);
        CString path = m_dir.Path();
        m_engine->SetSYSPath(path);
        m_engine->SetAlertObserver(&m_log);
    }
    void TearDown() override { m_engine.reset(); }

    // The watch list goes through Magic.cfg so that the engine builds its own map.
    void WatchList(const std::vector<Ta_VELKPRICEALERT>& records)
    {
        std::string bytes;
        for (const Ta_VELKPRICEALERT& r : records)
            bytes += RawBytes(r);
        ASSERT_TRUE(VelkReplaceFile(m_dir.File("Magic.cfg"), bytes));
        m_engine->LoadAlertCondition();
    }
    void AddRow(std::vector<X1Format> row) { m_store.AddMagicRow(kMarket, kDate, std::move(row)); }
    const CAlertRecordList& Alerts() const { return m_engine->GetAlertRecords(); }

    CTempDir m_dir;
    CTempDir m_hostDir;
    CQuoteStore m_store;
    CScopedHostBackend m_backend{m_store};
    CRecordingMessageBox m_box;
    CRecordingSound m_sound;
    CFixedClock m_clock;
    CFakeWindowing m_windowing;
    CVelkServices m_services{&m_windowing, &m_box, &m_sound, &m_clock};
    CAlertLog m_log;
    std::unique_ptr<CVelkAlert> m_engine;
};

TEST_F(MagicTest, SignalNumbersMapToSwitchPositions)
{
    const std::vector<std::pair<int, int>> table{{-1, -1}, {0, 0},   {5, 5},    {12, 12},
                                                 {13, -1}, {14, -1}, {15, 13},  {16, 14},
                                                 {18, 16}, {19, -1}, {1000, -1}};
    for (auto [number, index] : table)
        EXPECT_EQ(Access::CalMagicIndexNo(*m_engine, number), index) << number;
}

TEST_F(MagicTest, ColourTextsAndHexDigits)
{
    auto colour = [&](std::string text) { return Access::AtoCr(*m_engine, text.data()); };
    EXPECT_EQ(colour("0x0000FF"), 0x000000FFul);
    EXPECT_EQ(colour("  0xff8000 "), 0x00FF8000ul);
    EXPECT_EQ(colour("0X00ff00"), 0x0000FF00ul);
    EXPECT_EQ(colour("0xFFFFF"), 0xFFFFFFFFul);
    EXPECT_EQ(colour("FFFFFF"), 0xFFFFFFFFul);
    EXPECT_EQ(colour("0x12345G"), 0xFFFFFFFFul);
    EXPECT_EQ(colour("16777215"), 0xFFFFFFFFul);
    EXPECT_EQ(colour(""), 0xFFFFFFFFul);
    EXPECT_EQ(Access::AtoCr(*m_engine, nullptr), 0xFFFFFFFFul);
    std::string text = " 0xabcdef";
    Access::AtoCr(*m_engine, text.data());
    EXPECT_EQ(text, " 0xabcdef") << "the text is not modified";

    EXPECT_EQ(Access::HtoI(*m_engine, 'F'), 15);
    EXPECT_EQ(Access::HtoI(*m_engine, 'f'), 15);
    EXPECT_EQ(Access::HtoI(*m_engine, '0'), 0);
    EXPECT_EQ(Access::HtoI(*m_engine, '9'), 9);
    EXPECT_EQ(Access::HtoI(*m_engine, 'g'), -1);
    EXPECT_EQ(Access::HtoI(*m_engine, ' '), -1);
}

TEST_F(MagicTest, ColourMapComesFromTheProfileOnce)
{
    unsigned long colour = 42;
    EXPECT_EQ(Access::GetMagicSignalColor(*m_engine, 0, colour), 0) << "no profile yet";
    EXPECT_EQ(colour, 42ul);

    ASSERT_TRUE(VelkReplaceFile(m_hostDir.File("StataBarInfo.ini"),
                                "[Other]\r\nMAGICCOUNT=9\r\n[shortmagic_color]\r\nMAGICCOUNT=3\r\n"
                                "MAGICCODE1=0x0000FF\r\n"));
    EXPECT_EQ(Access::GetMagicSignalColor(*m_engine, 0, colour), 1);
    EXPECT_EQ(colour, 0x00FFFFFFul);
    EXPECT_EQ(Access::GetMagicSignalColor(*m_engine, 1, colour), 1);
    EXPECT_EQ(colour, 0x000000FFul);
    EXPECT_EQ(Access::GetMagicSignalColor(*m_engine, 2, colour), 1);
    EXPECT_EQ(colour, 0x00FFFFFFul);
    colour = 7;
    EXPECT_EQ(Access::GetMagicSignalColor(*m_engine, 3, colour), 0);
    EXPECT_EQ(colour, 7ul);

    ASSERT_TRUE(VelkReplaceFile(m_hostDir.File("StataBarInfo.ini"),
                                "[SHORTMAGIC_COLOR]\nMAGICCOUNT=5\nMAGICCODE1=0x00FF00\n"));
    EXPECT_EQ(Access::GetMagicSignalColor(*m_engine, 4, colour), 0) << "never refreshed";
    EXPECT_EQ(Access::MagicColours(*m_engine).size(), 3u);

    // The row's colour is taken from the map as it stands.
    WatchList({Watch(kMarket, "600000", {1, 13})});
    AddRow(Row("600000", 9, 30, 0, 10, 100, 1));
    AddRow(Row("600000", 9, 31, 0, 10, 100, 15));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_EQ(VelkCurrentMagicSignal().m_nColor, 0x00FFFFFFu);
    AddRow(Row("600000", 9, 32, 0, 10, 100, 1));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_EQ(VelkCurrentMagicSignal().m_nColor, 0x000000FFu);
}

TEST_F(MagicTest, ADamagedColourCountDoesNotRunAway)
{
    ASSERT_TRUE(
        VelkReplaceFile(m_hostDir.File("StataBarInfo.ini"),
                        "[SHORTMAGIC_COLOR]\nMAGICCOUNT=2147483647\nMAGICCODE0=0x010203\n"));
    unsigned long colour = 0;
    EXPECT_EQ(Access::GetMagicSignalColor(*m_engine, 0, colour), 1);
    EXPECT_EQ(colour, 0x010203ul);
    EXPECT_LE(Access::MagicColours(*m_engine).size(), 4096u);
}

TEST_F(MagicTest, OnlySwitchedOnSignalsRaiseAndEveryMatchingRowRaises)
{
    WatchList({Watch(kMarket, "600000", {0})});
    AddRow(Row("600000", 10, 0, 0, 10.5, 500, 1));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_TRUE(Alerts().empty());

    WatchList({Watch(kMarket, "600000", {0, 1})});
    AddRow(Row("600000", 10, 1, 0, 10.5, 500, 1));
    AddRow(Row("600000", 10, 2, 0, 10.6, 600, 1));
    m_engine->GetNewMagicSignal(kMarket);
    ASSERT_EQ(Alerts().size(), 2u);

    // The monitor keeps no memory: the same row delivered again raises again.
    AddRow(Row("600000", 10, 2, 0, 10.6, 600, 1));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_EQ(Alerts().size(), 3u);
    EXPECT_EQ(+Alerts()[0].m_nTime, +Alerts()[1].m_nTime);

    // Another market's call does not match this market's watch.
    m_store.AddMagicRow(11, kDate, Row("600000", 10, 3, 0, 1, 1, 1));
    m_engine->GetNewMagicSignal(11);
    EXPECT_EQ(Alerts().size(), 3u);
}

TEST_F(MagicTest, SignalsWithoutASwitchNeverRaise)
{
    std::vector<int> all;
    for (int i = 0; i < 18; ++i)
        all.push_back(i);
    WatchList({Watch(kMarket, "600000", all)});
    for (int number : {13, 14, 19, -1, 99})
        AddRow(Row("600000", 11, 0, 0, 1, 1, number));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_TRUE(Alerts().empty());

    AddRow(Row("600000", 11, 0, 1, 1, 1, 18));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_EQ(Alerts().size(), 1u);
}

TEST_F(MagicTest, AlertCarriesTheRowAndTheCatalogueName)
{
    WatchList({Watch(kMarket, "600000", {1, 2}), Watch(kMarket, "000001", {13})});
    AddRow(Row("600000", 14, 5, 30, 10.25, 12345, 1));
    m_engine->GetNewMagicSignal(kMarket);

    ASSERT_EQ(Alerts().size(), 1u);
    const Ta_ALERTRECORD& a = Alerts()[0];
    EXPECT_EQ(a.m_byMarket, kMarket);
    EXPECT_EQ(VelkFieldText(a.m_szCode), "600000");
    EXPECT_EQ(VelkFieldText(a.m_szName), TextCodec::Utf8ToGbk("浦发银行"));
    EXPECT_EQ(+a.m_nTime, 50730);
    EXPECT_FLOAT_EQ(a.m_fPrice, 10.25f);
    EXPECT_FLOAT_EQ(a.m_fVolume, 12345.0f);
    EXPECT_EQ(VelkFieldText(a.m_szReason), TextCodec::Utf8ToGbk("放量"));
    EXPECT_EQ(VelkCurrentMagicSignal().m_strTime, "14:05:30");
    EXPECT_FLOAT_EQ(VelkCurrentMagicSignal().m_fItem184, 1.25f);
    EXPECT_EQ(m_engine->GetNewAlertFlag(), 0) << "the pop-up showed the window";

    // A number the catalogue lacks reads "--"; newest alert first, in the list and the window.
    AddRow(Row("600000", 14, 6, 0, 10.3, 1, 2));
    AddRow(Row("000001", 14, 7, 0, 8.8, 1, 15));
    m_engine->GetNewMagicSignal(kMarket);
    ASSERT_EQ(Alerts().size(), 3u);
    EXPECT_EQ(VelkFieldText(Alerts()[1].m_szReason), "--");
    EXPECT_EQ(VelkFieldText(Alerts()[0].m_szCode), "000001");
    EXPECT_EQ(VelkFieldText(Alerts()[0].m_szReason), TextCodec::Utf8ToGbk("突破"));
    ASSERT_NE(m_windowing.Window(), nullptr);
    ASSERT_FALSE(m_windowing.Window()->m_inserted.empty());
    EXPECT_EQ(VelkFieldText(m_windowing.Window()->m_inserted.back().m_szCode), "000001");
    EXPECT_EQ(m_log.m_records.size(), 3u);
    EXPECT_EQ(m_sound.m_calls.size(), 3u);

    AddRow(Row("000001", 14, 8, 0, 1e308, 1, 15));
    m_engine->GetNewMagicSignal(kMarket);
    ASSERT_EQ(Alerts().size(), 4u) << "the signal still counts";
    EXPECT_EQ(+Alerts()[0].m_fPrice, 0) << "but a price no float holds is not carried";
}

TEST_F(MagicTest, WatchMapUsesTheHexadecimalMarket)
{
    WatchList({Watch(kMarket, "600000", {1})});
    EXPECT_EQ(m_engine->GetMagicAlertMap().count("0a600000"), 1u);
    EXPECT_EQ(m_engine->GetMagicAlertMap().count("10600000"), 0u);
    AddRow(Row("600000", 9, 0, 0, 1, 1, 1));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_EQ(Alerts().size(), 1u);
}

TEST_F(MagicTest, RowsWithoutANamedStockRaiseNothing)
{
    WatchList({Watch(kMarket, "600000", {1})});
    AddRow(Row("600000", 9, 0, 0, 1, 1, 1));
    AddRow(Row("999999", 9, 0, 1, 1, 1, 1)); // unknown to the quote service
    AddRow({X1Format::Time(143, 9, 0, 2), X1Format::Integer(1994, 1)});
    // Item 3066 shares its low bits with the code item 1018; only the full number counts.
    AddRow({X1Format::Text(1018 + 2048, "600000"), X1Format::Integer(1994, 1)});
    m_engine->GetNewMagicSignal(kMarket);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(+Alerts()[0].m_nTime, 9 * 3600);
    // The record itself keeps the last stock that could be named.
    EXPECT_EQ(VelkCurrentMagicSignal().m_strCode, "600000");
}

TEST_F(MagicTest, RecordingTakesTheEngineLockForEachAlertOnly)
{
    CLockProbe probe;
    m_engine->SetAlertObserver(&probe);
    WatchList({Watch(kMarket, "600000", {1})});
    AddRow(Row("600000", 9, 0, 0, 1, 1, 1));
    AddRow(Row("600000", 9, 0, 1, 1, 1, 1));
    m_engine->GetNewMagicSignal(kMarket);
    EXPECT_EQ(probe.m_heldDuringAlert, (std::vector<bool>{true, true}));
    ASSERT_TRUE(VelkEngineLock().try_lock());
    VelkEngineLock().unlock();
}

TEST_F(MagicTest, ReceivingASignalRecordDirectly)
{
    EXPECT_EQ(Access::OnReceiveMaigc(*m_engine, nullptr), 0);
    EXPECT_TRUE(Alerts().empty());
    EXPECT_TRUE(m_log.m_records.empty());

    Ta_MAGICSIGNAL signal;
    signal.m_byMarket = 7;
    signal.m_strCode = std::string(20, '1');
    signal.m_strName = std::string(48, 'n') + TextCodec::Utf8ToGbk("银"); // 50 bytes
    signal.m_strTime = "09:35:07";
    signal.m_strSignalName = std::string(60, 'r');
    EXPECT_EQ(Access::OnReceiveMaigc(*m_engine, &signal), 1);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(+Alerts()[0].m_nTime, 34507);
    EXPECT_EQ(VelkFieldText(Alerts()[0].m_szCode), std::string(11, '1'));
    EXPECT_EQ(VelkFieldText(Alerts()[0].m_szName), signal.m_strName.substr(0, 49))
        << "texts are cut to the field less one byte";
    EXPECT_EQ(VelkFieldText(Alerts()[0].m_szReason), std::string(49, 'r'));

    signal.m_strTime = "00:00";
    Access::OnReceiveMaigc(*m_engine, &signal);
    EXPECT_EQ(+Alerts()[0].m_nTime, 0);
}

} // namespace
