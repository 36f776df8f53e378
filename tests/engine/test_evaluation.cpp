#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/VelkStringTable.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/FakeWindowing.h"

namespace {

using TA = CVelkAlertTestAccess;

// Reason codes as read back from the alert list (newest first); -1 for a text no code has.
template <typename Records> std::vector<int> ReasonsOf(const Records& records)
{
    std::vector<int> reasons;
    for (const Ta_ALERTRECORD& r : records) {
        int code = -1;
        for (int i = 0; i <= 13; ++i)
            if (VelkFieldText(r.m_szReason) == VelkReasonText(i))
                code = i;
        reasons.push_back(code);
    }
    return reasons;
}

class EvaluationTest : public ::testing::Test {
protected:
    EvaluationTest()
        : m_guard(m_store), m_engine(CVelkServices{&m_windowing, nullptr, &m_sound, &m_clock})
    {
        m_engine.SetAlertObserver(&m_log);
        TA::Options(m_engine).m_byPopup = 0;
    }

    std::vector<int> Reasons() const { return ReasonsOf(m_engine.GetAlertRecords()); }

    // Price-alert record 0 for market 1, code 600000.
    void WatchPrice(float upper, float lower, float last)
    {
        Ta_VELKPRICEALERT record = MakeWatch(1, "600000", "PF", upper, lower);
        record.m_fLast = last;
        TA::SetPriceList(m_engine, {record});
    }
    // System-alert record 0 with its day's high, low and last price.
    void WatchSystem(float high, float low, float last)
    {
        Ta_VELKPRICEALERT record = MakeWatch(1, "600000", "PF", high, low);
        record.m_fLast = last;
        TA::SetSystemList(m_engine, {record});
    }
    void Price(float p)
    {
        Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", p, 36000);
        m_engine.ProcessAlert(&quote, 0);
    }
    void System(float p, float limitUp = 0, float limitDown = 0)
    {
        Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", p, 36000);
        quote.m_fLimitUp = limitUp;
        quote.m_fLimitDown = limitDown;
        m_engine.ProcessSystemAlert(&quote, 0);
    }
    Ta_VELKPRICEALERT& PriceRecord() { return TA::PriceList(m_engine)[0]; }
    Ta_VELKPRICEALERT& SystemRecord() { return TA::SystemList(m_engine)[0]; }
    void Switches(std::uint8_t high, std::uint8_t low, std::uint8_t limit)
    {
        TA::SystemSwitch(m_engine).m_byNewHigh = high;
        TA::SystemSwitch(m_engine).m_byNewLow = low;
        TA::SystemSwitch(m_engine).m_byLimit = limit;
    }

    CQuoteStore m_store;
    CScopedHostBackend m_guard;
    CFakeWindowing m_windowing;
    CRecordingSound m_sound;
    CFixedClock m_clock;
    CAlertLog m_log;
    CVelkAlert m_engine;
};

TEST_F(EvaluationTest, PriceAlertFiresOnCrossingAndRearmsAfterFallingBack)
{
    WatchPrice(10.00f, 0, 9.90f);
    Price(10.00f);
    EXPECT_EQ(Reasons(), std::vector<int>({0}));
    Price(10.05f);
    EXPECT_EQ(Reasons().size(), 1u) << "staying above the limit raises nothing";
    Price(9.95f);
    Price(10.00f);
    EXPECT_EQ(Reasons(), std::vector<int>({0, 0}));
    EXPECT_FLOAT_EQ(PriceRecord().m_fLast, 10.00f);
}

TEST_F(EvaluationTest, PriceAlertLowerLimitNeedsAPriceSeenAboveIt)
{
    WatchPrice(0, 5.00f, 0);
    Price(4.00f);
    EXPECT_TRUE(Reasons().empty()) << "a first snapshot after loading has S = 0";
    Price(4.50f);
    EXPECT_TRUE(Reasons().empty());
    Price(5.50f);
    Price(5.00f);
    EXPECT_EQ(Reasons(), std::vector<int>({1}));
}

TEST_F(EvaluationTest, PriceAlertWithoutLimitsNeverAlertsButTracksTheLastPrice)
{
    WatchPrice(0, 0, 0);
    for (float p : {1.0f, 100.0f, 0.5f, 7.25f}) {
        Price(p);
        EXPECT_FLOAT_EQ(PriceRecord().m_fLast, p);
    }
    EXPECT_TRUE(Reasons().empty());
}

TEST_F(EvaluationTest, PriceAlertZeroPriceRaisesNothingAndRearmsTheUpperLimit)
{
    WatchPrice(10.00f, 5.00f, 6.00f);
    Price(0);
    EXPECT_TRUE(Reasons().empty()) << "0 is at or below the lower limit but is no trade";
    EXPECT_FLOAT_EQ(PriceRecord().m_fLast, 0);
    Price(10.00f);
    EXPECT_EQ(Reasons(), std::vector<int>({0}));
}

TEST_F(EvaluationTest, SystemAlertUnseededHighAndLowRaiseNothingAndStayZero)
{
    Switches(1, 1, 0);
    WatchSystem(0, 0, 0);
    System(12.0f);
    System(11.0f);
    EXPECT_TRUE(Reasons().empty());
    EXPECT_EQ(+SystemRecord().m_fUpper, 0);
    EXPECT_EQ(+SystemRecord().m_fLower, 0);
    EXPECT_FLOAT_EQ(SystemRecord().m_fLast, 11.0f);
}

TEST_F(EvaluationTest, SystemAlertSwitchedOffStillCarriesHighAndLow)
{
    Switches(0, 0, 0);
    WatchSystem(12.00f, 11.00f, 11.50f);
    System(12.10f);
    System(10.90f);
    EXPECT_TRUE(Reasons().empty());
    EXPECT_FLOAT_EQ(SystemRecord().m_fUpper, 12.10f);
    EXPECT_FLOAT_EQ(SystemRecord().m_fLower, 10.90f);
}

TEST_F(EvaluationTest, SystemAlertEachNewHighOrLowAlertsOnce)
{
    Switches(1, 1, 0);
    WatchSystem(12.00f, 11.00f, 11.50f);
    System(12.10f);
    System(12.10f);
    System(12.05f);
    System(12.20f);
    EXPECT_EQ(Reasons(), std::vector<int>({6, 6}));
    System(10.90f);
    System(10.90f);
    System(10.80f);
    EXPECT_EQ(Reasons(), std::vector<int>({7, 7, 6, 6}));
    EXPECT_FLOAT_EQ(SystemRecord().m_fUpper, 12.20f);
    EXPECT_FLOAT_EQ(SystemRecord().m_fLower, 10.80f);
}

TEST_F(EvaluationTest, SystemAlertLimitPricesAlertOnceOnReaching)
{
    Switches(0, 0, 1);
    WatchSystem(10.95f, 10.00f, 10.95f);
    System(11.00f, 11.00f, 9.00f);
    System(11.00f, 11.00f, 9.00f);
    EXPECT_EQ(Reasons(), std::vector<int>({2}));
    System(10.50f, 11.00f, 9.00f);
    System(9.00f, 11.00f, 9.00f);
    System(9.00f, 11.00f, 9.00f);
    EXPECT_EQ(Reasons(), std::vector<int>({3, 2}));

    Switches(0, 0, 0);
    System(11.00f, 11.00f, 9.00f);
    EXPECT_EQ(Reasons().size(), 2u) << "limit-price switch off";
}

TEST_F(EvaluationTest, SystemAlertNewHighAndLimitUpOnOneSnapshotListLimitUpOnTop)
{
    Switches(1, 1, 1);
    WatchSystem(10.90f, 10.00f, 10.90f);
    System(11.00f, 11.00f, 9.00f);
    EXPECT_EQ(Reasons(), std::vector<int>({2, 6}));
    ASSERT_EQ(m_log.m_records.size(), 2u);
    EXPECT_EQ(ReasonsOf(m_log.m_records), std::vector<int>({6, 2})) << "observer hears in order";
}

TEST_F(EvaluationTest, SystemAlertZeroPriceChangesNothing)
{
    Switches(1, 1, 1);
    WatchSystem(12.00f, 11.00f, 11.50f);
    System(0, 11.00f, 9.00f);
    EXPECT_TRUE(Reasons().empty());
    EXPECT_FLOAT_EQ(SystemRecord().m_fLast, 11.50f);
    EXPECT_FLOAT_EQ(SystemRecord().m_fUpper, 12.00f);
    EXPECT_FLOAT_EQ(SystemRecord().m_fLower, 11.00f) << "a snapshot without a trade is no new low";
    System(10.90f);
    EXPECT_EQ(Reasons(), std::vector<int>({7})) << "the low survived the zero price";
}

TEST_F(EvaluationTest, NullQuoteAndOutsideIndexAreIgnored)
{
    WatchPrice(10.0f, 0, 9.0f);
    WatchSystem(10.0f, 9.0f, 9.5f);
    Switches(1, 1, 1);
    Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", 20.0f, 36000);
    m_engine.ProcessAlert(nullptr, 0);
    m_engine.ProcessSystemAlert(nullptr, 0);
    m_engine.ProcessAlert(&quote, 1);
    m_engine.ProcessAlert(&quote, -1);
    m_engine.ProcessSystemAlert(&quote, 1);
    m_engine.ProcessSystemAlert(&quote, -1);
    m_engine.AddAlertRecord(0, nullptr, 0);
    EXPECT_TRUE(Reasons().empty());
    EXPECT_FLOAT_EQ(PriceRecord().m_fLast, 9.0f);
    EXPECT_FLOAT_EQ(SystemRecord().m_fUpper, 10.0f);
}

TEST_F(EvaluationTest, AlertTimeIsTheQuoteTimeOrNowWhenBelowOne)
{
    m_clock.m_now.hour = 9;
    m_clock.m_now.minute = 8;
    m_clock.m_now.second = 7;
    Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", 10.0f);
    for (long t : {0L, -1L, 45296L, 1L}) {
        m_engine.AddAlertRecord(0, &quote, t);
    }
    std::vector<std::int32_t> times;
    for (const Ta_ALERTRECORD& r : m_engine.GetAlertRecords())
        times.push_back(+r.m_nTime);
    EXPECT_EQ(times, std::vector<std::int32_t>({1, 45296, 32887, 32887}));
}

TEST_F(EvaluationTest, RecordCopiesTheQuoteWithinItsFields)
{
    Ta_VELKPRICETABLE quote = MakeQuote(7, "", 12.5f, 100);
    std::memset(quote.m_szCode, 'C', sizeof quote.m_szCode); // no terminator in either field
    std::memset(quote.m_szName, 'N', sizeof quote.m_szName);
    quote.m_fVolume = 4321.0f;
    m_engine.AddAlertRecord(3, &quote, quote.m_nTime);
    m_engine.AddAlertRecord(14, &quote, quote.m_nTime);

    ASSERT_EQ(m_engine.GetAlertRecords().size(), 2u);
    const Ta_ALERTRECORD& r = m_engine.GetAlertRecords()[1];
    EXPECT_EQ(r.m_byMarket, 7);
    EXPECT_EQ(std::string(r.m_szCode), std::string(11, 'C'));
    EXPECT_EQ(std::string(r.m_szName), std::string(49, 'N'));
    EXPECT_EQ(+r.m_nTime, 100);
    EXPECT_FLOAT_EQ(r.m_fPrice, 12.5f);
    EXPECT_FLOAT_EQ(r.m_fVolume, 4321.0f);
    EXPECT_EQ(std::string(r.m_szReason), VelkReasonText(3));
    EXPECT_FALSE(VelkReasonText(3).empty());
    EXPECT_EQ(std::string(m_engine.GetAlertRecords()[0].m_szReason), "") << "code 14 has no text";
}

// Records each sound and how many alerts the engine's list held as it started.
class CListWatchingSound final : public IVelkSound {
public:
    void Beep(unsigned f, unsigned d) override
    {
        m_calls.push_back("beep " + std::to_string(f) + " " + std::to_string(d));
        m_listSizes.push_back(m_pEngine ? m_pEngine->GetAlertRecords().size() : 0);
    }
    bool PlayWaveFile(const std::string& path) override
    {
        m_calls.push_back("wave " + path);
        m_listSizes.push_back(m_pEngine ? m_pEngine->GetAlertRecords().size() : 0);
        return true;
    }
    const CVelkAlert* m_pEngine = nullptr;
    std::vector<std::string> m_calls;
    std::vector<std::size_t> m_listSizes;
};

TEST_F(EvaluationTest, SoundFollowsTheModeForEveryAlert)
{
    CListWatchingSound sound;
    CVelkAlert engine(CVelkServices{nullptr, nullptr, &sound, &m_clock});
    sound.m_pEngine = &engine;
    VelkCopyText(TA::Options(engine).m_szWavePath, "C:\\Sounds\\ding.wav");
    Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", 10.0f, 100);

    struct Case {
        std::int32_t mode;
        std::vector<std::string> calls;
    };
    for (const Case& c : {Case{0, {}}, Case{1, {"beep 2000 50"}},
                          Case{2, {"wave C:\\Sounds\\ding.wav"}}, Case{3, {}}, Case{-1, {}}}) {
        sound.m_calls.clear();
        TA::Options(engine).m_nSoundMode = c.mode;
        engine.AddAlertRecord(0, &quote, 100);
        EXPECT_EQ(sound.m_calls, c.calls) << "mode " << c.mode;
        sound.m_calls.clear();
        engine.AddAlertRecord();
        EXPECT_EQ(sound.m_calls, c.calls) << "mode " << c.mode << " without a record";
    }
    EXPECT_EQ(engine.GetAlertRecords().size(), 5u) << "the argument-less form records nothing";
    // The first alert of mode 0 made no sound; each later alert sounded while the list did not
    // hold it yet, and each argument-less call sounded after the alert before it.
    EXPECT_EQ(sound.m_listSizes, std::vector<std::size_t>({1, 2, 2, 3}));
}

TEST_F(EvaluationTest, FlagWithPopupOffDependsOnAVisibleWindow)
{
    Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", 10.0f, 100);
    m_engine.AddAlertRecord(0, &quote, 100);
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 1) << "no window";
    EXPECT_EQ(m_windowing.State().nCreated, 0);

    m_engine.PopAlertDialog();
    ASSERT_NE(m_windowing.Window(), nullptr);
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 0);
    m_engine.AddAlertRecord(0, &quote, 100);
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 0) << "window visible";

    m_engine.HideAlertDialog();
    EXPECT_FALSE(m_windowing.Window()->IsVisible());
    m_engine.AddAlertRecord();
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 1) << "window hidden";
    m_engine.PopAlertDialog();
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 0);
    EXPECT_EQ(m_windowing.State().nCreated, 1) << "the window is made once";
}

TEST_F(EvaluationTest, PopupOnShowsTheWindowForEveryAlert)
{
    TA::Options(m_engine).m_byPopup = 1;
    Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", 10.0f, 100);
    m_engine.AddAlertRecord(0, &quote, 100);
    ASSERT_NE(m_windowing.Window(), nullptr);
    EXPECT_TRUE(m_windowing.Window()->IsVisible());
    m_engine.HideAlertDialog();
    m_engine.AddAlertRecord(1, &quote, 100);
    EXPECT_TRUE(m_windowing.Window()->IsVisible());
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 0);
    // The first alert was in the list when the window was made; the second went in as a row.
    EXPECT_EQ(m_windowing.Calls(), std::vector<std::string>({"create", "show", "front", "hide",
                                                             "insert 600000", "show", "front"}));
    EXPECT_EQ(m_windowing.Window()->Alerts(), &TA::AlertRecords(m_engine));
    EXPECT_EQ(m_windowing.Window()->Prices(), &TA::PriceList(m_engine));
}

TEST_F(EvaluationTest, PopAlertDialogWithoutOwnerCreatesButDoesNotShow)
{
    m_windowing.m_bHasMainWindow = false;
    TA::NewAlertFlag(m_engine) = 1;
    m_engine.PopAlertDialog();
    ASSERT_NE(m_windowing.Window(), nullptr);
    EXPECT_FALSE(m_windowing.Window()->IsVisible());
    EXPECT_EQ(m_windowing.State().nBroughtToFront, 0);
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 0);

    m_windowing.m_bHasMainWindow = true;
    m_engine.PopAlertDialog();
    EXPECT_TRUE(m_windowing.Window()->IsVisible());
    EXPECT_EQ(m_windowing.State().nCreated, 1);
    EXPECT_EQ(m_windowing.State().nBroughtToFront, 1);
}

TEST_F(EvaluationTest, WithoutWindowingNothingIsShownAndTheFlagClears)
{
    CVelkAlert engine(CVelkServices{nullptr, nullptr, nullptr, &m_clock});
    TA::NewAlertFlag(engine) = 1;
    engine.PopAlertDialog();
    engine.HideAlertDialog();
    EXPECT_FALSE(engine.HasAlertWindow());
    EXPECT_EQ(engine.GetNewAlertFlag(), 0);
    Ta_VELKPRICETABLE quote = MakeQuote(1, "600000", 10.0f, 100);
    engine.AddAlertRecord(0, &quote, 100); // pop-up flag on by default
    EXPECT_EQ(engine.GetAlertRecords().size(), 1u);
    EXPECT_EQ(engine.GetNewAlertFlag(), 0);
}

TEST_F(EvaluationTest, RecordedAlertGoesOnTopOfListWindowAndObserver)
{
    m_engine.PopAlertDialog();
    // Two alerts, and a whole day's worth: the newest is always on top.
    for (int count : {2, 5000}) {
        TA::AlertRecords(m_engine).clear();
        m_windowing.Window()->m_inserted.clear();
        m_log.m_records.clear();
        for (int i = 0; i < count; ++i) {
            Ta_ALERTRECORD record{};
            VelkCopyText(record.m_szCode, std::to_string(i));
            TA::RecordAlert(m_engine, record);
        }
        const CAlertRecordList& list = m_engine.GetAlertRecords();
        ASSERT_EQ(list.size(), static_cast<std::size_t>(count));
        ASSERT_EQ(m_windowing.Window()->m_inserted.size(), list.size());
        ASSERT_EQ(m_log.m_records.size(), list.size());
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(VelkFieldText(list[static_cast<std::size_t>(i)].m_szCode),
                      std::to_string(count - 1 - i))
                << i;
            ASSERT_EQ(VelkFieldText(
                          m_windowing.Window()->m_inserted[static_cast<std::size_t>(i)].m_szCode),
                      std::to_string(i));
            ASSERT_EQ(VelkFieldText(m_log.m_records[static_cast<std::size_t>(i)].m_szCode),
                      std::to_string(i));
        }
    }
    EXPECT_EQ(m_engine.GetNewAlertFlag(), 0) << "recording alone neither sounds nor flags";
    EXPECT_TRUE(m_sound.m_calls.empty());
}

} // namespace
