// The desktop program's day without its windows: a quote source of the caller's, the alert
// observers it fans out to, and the window's menus other parts add to.

#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <memory>
#include <vector>

#include "engine/CVelkAlert.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CReplayController.h"
#include "hostlibs/CQuoteStore.h"
#include "tests/host/HostTestSupport.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

const char* const kTrades = "09:30:00,1,600000,10.00,1000\n"
                            "09:31:00,1,600000,10.60,500\n"
                            "09:32:00,2,000001,12.00,100\n"
                            "09:35:00,1,600000,9.40,400\n";

// A feed that is not the day's own replay: it hands on the replay's quotes and counts what it
// was asked for.
class CCountingSource final : public IQuoteSource {
public:
    explicit CCountingSource(const CTradingDay& day) : m_replay(day, CQuoteStore::Instance()) {}

    void FillStore(const std::string& sysDir) override
    {
        ++fills;
        m_replay.FillStore(sysDir);
    }
    void BeginReplay() override { m_replay.BeginReplay(); }
    Totals AdvanceTo(CVelkAlert& engine, int time, std::size_t maxEvents) override
    {
        const Totals totals = m_replay.AdvanceTo(engine, time, maxEvents);
        trades += totals.trades;
        return totals;
    }
    int NextEventTime() const override { return m_replay.NextEventTime(); }
    int FirstEventTime() const override { return m_replay.FirstEventTime(); }
    int LastEventTime() const override { return m_replay.LastEventTime(); }
    void SetAfterEachTrade(
        std::function<void(unsigned char, const std::string&)> afterEachTrade) override
    {
        m_replay.SetAfterEachTrade(std::move(afterEachTrade));
    }

    int fills = 0;
    int trades = 0;

private:
    CDayReplay m_replay;
};

class CListObserver final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        const float price = record.m_fPrice;
        prices.push_back(price);
    }
    std::vector<float> prices;
};

class DaySessionTest : public ::testing::Test {
protected:
    DaySessionTest() : m_boxScope(m_boxes) {}

    void SetUp() override
    {
        Ta_OTHERALERT options = QuietOptions();
        options.m_byPopup = 0;
        WriteFile(Sys() + "/alert.cfg",
                  AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, options));
        WriteDay(Day(), kTrades, "", "");
    }

    std::unique_ptr<CTradingDay> LoadDay() const
    {
        auto day = std::make_unique<CTradingDay>();
        std::string error;
        EXPECT_TRUE(day->Load(Day(), error)) << error;
        return day;
    }

    static void PlayToTheEnd(CDaySession& session)
    {
        session.Controller()->SetSpeed(CReplayController::kFastest);
        session.Controller()->Play();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return session.Controller()->GetState() == CReplayController::State::Finished; },
            10000));
    }

    std::string Sys() const { return m_work.Temp().File("SYS"); }
    std::string Day() const { return m_work.Temp().File("day"); }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope;
};

TEST_F(DaySessionTest, ASourceOfTheCallersDrivesTheEngineAndEveryObserverHearsEachAlertInOrder)
{
    CDaySession session(Sys(), CVelkServices{});
    std::unique_ptr<CTradingDay> day = LoadDay();
    auto source = std::make_unique<CCountingSource>(*day);
    CCountingSource* feed = source.get();
    CListObserver first;
    CListObserver second;
    CListObserver removed;
    session.AddAlertObserver(&first);
    session.AddAlertObserver(&second);
    session.AddAlertObserver(&first); // once is enough
    session.AddAlertObserver(&removed);
    session.RemoveAlertObserver(&removed);
    std::vector<std::string> traded;
    session.SetTradeListener(
        [&traded](unsigned char, const std::string& code) { traded.push_back(code); });

    session.OpenDayWithSource(std::move(day), std::move(source), QStringLiteral("feed"));
    ASSERT_TRUE(session.HasDay());
    EXPECT_EQ(feed->fills, 1);
    PlayToTheEnd(session);

    EXPECT_EQ(feed->trades, 4);
    EXPECT_EQ(traded, (std::vector<std::string>{"600000", "600000", "000001", "600000"}));
    // 10.60 crosses the upper limit, 9.40 the lower one.
    EXPECT_EQ(first.prices, (std::vector<float>{10.60f, 9.40f}));
    EXPECT_EQ(second.prices, first.prices);
    EXPECT_TRUE(removed.prices.empty());
    EXPECT_EQ(session.AlertsSoFar(), 2);
}

TEST_F(DaySessionTest, ClosingTheDayTellsTheWindowsFirstAndLeavesNoEngine)
{
    CDaySession session(Sys(), CVelkServices{});
    int closing = 0;
    bool engineWhileClosing = false;
    QObject::connect(&session, &CDaySession::DayClosing, [&] {
        ++closing;
        engineWhileClosing = session.Engine() != nullptr;
    });
    session.OpenLoadedDay(LoadDay(), QString::fromStdString(Day()));
    session.OpenLoadedDay(LoadDay(), QString::fromStdString(Day()));
    EXPECT_EQ(closing, 1);
    session.CloseDay();
    session.CloseDay();
    EXPECT_EQ(closing, 2);
    EXPECT_TRUE(engineWhileClosing);
    EXPECT_FALSE(session.HasDay());
    EXPECT_EQ(session.Controller()->GetState(), CReplayController::State::Idle);
}

TEST_F(DaySessionTest, TheWindowOffersItsMenusToActionsOfOtherParts)
{
    CDesktopMainWindow window(Sys(), nullptr, true);
    for (auto id : {CDesktopMainWindow::MenuId::File, CDesktopMainWindow::MenuId::Replay,
                    CDesktopMainWindow::MenuId::Alerts, CDesktopMainWindow::MenuId::View}) {
        QMenu* menu = window.Menu(id);
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(window.menuBar()->actions().contains(menu->menuAction()));
    }
    EXPECT_NE(window.Menu(CDesktopMainWindow::MenuId::File),
              window.Menu(CDesktopMainWindow::MenuId::View));
}

} // namespace
