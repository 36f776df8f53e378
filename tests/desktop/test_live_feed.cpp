// The desktop program following a feed that the test serves on 127.0.0.1: the board fills as
// the symbols arrive, alerts appear, the status bar follows the connection, a silent feed is
// flagged, skipped lines reach the log panel, and closing the window does not wait on the feed.

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <map>
#include <memory>

#include "engine/CVelkAlert.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopAlertOutputs.h"
#include "host/gui/CDesktopLiveFeed.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CFeedConnectDialog.h"
#include "host/gui/CFeedLogPanel.h"
#include "host/gui/CIntradayChart.h"
#include "host/gui/CLiveFeed.h"
#include "host/gui/CQuoteBoard.h"
#include "host/gui/CQuoteBoardModel.h"
#include "host/gui/HostSettingKeys.h"
#include "host/outputs/CAlertHistory.h"
#include "platform/qt/QtText.h"
#include "tests/desktop/CRecordingPrompt.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/CLoopbackServer.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

const std::string kHello =
    R"({"type":"hello","version":1,"date":20240105,"markets":[{"market":1,"ext":"SH"},{"market":2,"ext":"SZ"}]})"
    "\n";
const std::string kSymbols =
    R"({"type":"symbol","market":1,"code":"600000","name":"浦发银行","prev_close":10.00,"limit_up":11.00,"limit_down":9.00})"
    "\n"
    R"({"type":"symbol","market":2,"code":"000001","name":"平安银行","prev_close":12.00,"limit_up":13.20,"limit_down":10.80})"
    "\n";

std::string Trade(const char* time, const char* code, const char* price)
{
    const int market = code[0] == '6' ? 1 : 2;
    return std::string(R"({"type":"trade","time":")") + time + R"(","market":)" +
           std::to_string(market) + R"(,"code":")" + code + R"(","price":)" + price +
           R"(,"volume":100})" + "\n";
}

class LiveFeedTest : public ::testing::Test {
protected:
    LiveFeedTest() : m_boxScope(m_boxes) {}

    void SetUp() override
    {
        ASSERT_TRUE(m_server.bound);
        Ta_OTHERALERT options = QuietOptions();
        options.m_byPopup = 0;
        WriteFile(Sys() + "/alert.cfg",
                  AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, options));
        m_pSettings = std::make_unique<QSettings>(
            QString::fromStdString(m_work.Temp().File("velk-host.ini")), QSettings::IniFormat);
        m_pWindow = std::make_unique<CDesktopMainWindow>(Sys(), m_pSettings.get(), true);
        m_pMainScope = std::make_unique<CScopedMainWindow>(m_pWindow.get());
        Feed().SetClock([this] { return m_now; });
        m_pWindow->show();
    }

    void TearDown() override
    {
        m_pWindow.reset();
        m_pMainScope.reset();
    }

    // Connects the window and has the server take the connection.
    void ConnectAndAccept()
    {
        ASSERT_TRUE(m_pWindow->LiveFeed()->ConnectTo(QString::fromStdString(m_server.Url())));
        ASSERT_TRUE(m_server.Accept());
    }

    std::string Sys() const { return m_work.Temp().File("SYS"); }
    CLiveFeed& Feed() const { return m_pWindow->LiveFeed()->Feed(); }
    CQuoteBoardModel& Board() const { return *m_pWindow->Board()->Model(); }
    QAction* Action(const char* name) const
    {
        return m_pWindow->findChild<QAction*>(QString::fromLatin1(name));
    }
    QLabel* Label(const char* name) const
    {
        return m_pWindow->findChild<QLabel*>(QString::fromLatin1(name));
    }
    QString StateText() const { return Label("feedState")->text(); }
    bool WaitForState(const char* text, int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return StateText().startsWith(VelkFromUtf8(text)); },
                               timeoutMs);
    }

    CScopedWorkDir m_work;
    CScriptedMessageBox m_boxes;
    CScopedMessageBoxService m_boxScope;
    CRecordingPrompt m_prompt;
    CLoopbackServer m_server;
    QDateTime m_now{QDate(2024, 1, 5), QTime(10, 0, 0)};
    std::unique_ptr<QSettings> m_pSettings;
    std::unique_ptr<CDesktopMainWindow> m_pWindow;
    std::unique_ptr<CScopedMainWindow> m_pMainScope;
};

TEST_F(LiveFeedTest, SymbolsFillTheBoardTradesRaiseAlertsAndTheReplayControlsAreOff)
{
    ConnectAndAccept();
    ASSERT_TRUE(m_server.Send(kHello + kSymbols));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Board().rowCount() == 2; }, 10000));
    // No trade yet: the engine starts at the first, with the stocks known.
    EXPECT_EQ(m_pWindow->Engine(), nullptr);
    EXPECT_TRUE(WaitForState("实时"));

    ASSERT_TRUE(m_server.Send(Trade("09:30:00", "600000", "10.00") +
                              Trade("09:31:00", "600000", "10.60") +
                              Trade("09:31:30", "000001", "12.10")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pWindow->AlertsSoFar() == 1; }, 10000));
    ASSERT_NE(m_pWindow->Engine(), nullptr);
    const Ta_ALERTRECORD& alert = m_pWindow->Engine()->GetAlertRecords().front();
    EXPECT_STREQ(alert.m_szCode, "600000");
    EXPECT_FLOAT_EQ(alert.m_fPrice, 10.60f);
    m_pWindow->RefreshViews();
    const int row = Board().RowOf(1, "600000");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Board().index(row, CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("10.60"));
    // A stock announced later takes a row after those there; theirs stay as they were.
    ASSERT_TRUE(m_server.Send(
        R"({"type":"symbol","market":1,"code":"600004","name":"白云机场","prev_close":8.00,"limit_up":8.80,"limit_down":7.20})"
        "\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Board().rowCount() == 3; }, 10000));
    EXPECT_EQ(Board().RowOf(1, "600000"), row);
    EXPECT_EQ(Board().RowOf(1, "600004"), 2);
    EXPECT_EQ(Board().index(row, CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("10.60"));

    // The lag is the wall clock (10:00:00) less the newest trade's time (09:31:30).
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Label("feedLag")->text() == VelkFromUtf8("延迟 1710.0 秒"); }, 5000))
        << Label("feedLag")->text().toStdString();
    for (const char* name : {"actionPlay", "actionStep", "actionRestart", "actionOpenDay",
                             "actionNewDay", "actionFaster"})
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
    EXPECT_TRUE(Action("actionDisconnectFeed")->isEnabled());
    // Where the feed came from is offered the next time.
    EXPECT_EQ(HostSettings::kFeedAddress.Read(m_pSettings.get()),
              QString::fromStdString(m_server.Url()));

    // A stock's chart opens on the feed's day as on a replayed one.
    CIntradayChart* chart = m_pWindow->OpenChart(1, "600000");
    ASSERT_NE(chart, nullptr);
    m_pWindow->RefreshViews();
    QTest::qWait(50);
    chart->close();

    // The feed's end leaves the day open, and the replay's commands back.
    ASSERT_TRUE(m_server.Send("{\"type\":\"end\"}\n"));
    EXPECT_TRUE(WaitForState("行情结束"));
    EXPECT_NE(m_pWindow->Engine(), nullptr);
    EXPECT_TRUE(Action("actionOpenDay")->isEnabled());
    EXPECT_FALSE(Action("actionDisconnectFeed")->isEnabled());
}

TEST_F(LiveFeedTest, StatusShowsALostFeedRetryingAndLiveAgainWithoutDuplicateAlerts)
{
    ConnectAndAccept();
    const std::string day = kHello + kSymbols + Trade("09:30:00", "600000", "10.00") +
                            Trade("09:31:00", "600000", "10.60");
    ASSERT_TRUE(m_server.Send(day));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pWindow->AlertsSoFar() == 1; }, 10000));
    EXPECT_TRUE(WaitForState("实时"));

    m_server.Drop();
    ASSERT_TRUE(WaitForState("中断"));
    EXPECT_TRUE(StateText().contains(VelkFromUtf8("秒后重试"))) << StateText().toStdString();
    EXPECT_TRUE(Action("actionPlay") && !Action("actionPlay")->isEnabled());

    // The source sends its day again from the hello, and goes on.
    ASSERT_TRUE(m_server.Accept());
    ASSERT_TRUE(m_server.Send(day + Trade("09:32:00", "600000", "9.40")));
    EXPECT_TRUE(WaitForState("实时"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pWindow->AlertsSoFar() == 2; }, 10000));
    QTest::qWait(100);
    EXPECT_EQ(m_pWindow->AlertsSoFar(), 2);
    EXPECT_EQ(Feed().Skipped(CFeedRunner::Fault::Duplicate), 2);
}

TEST_F(LiveFeedTest, AFeedSilentForTenSecondsWhileTheMarketTradesShowsLostInRed)
{
    ConnectAndAccept();
    ASSERT_TRUE(m_server.Send(kHello + kSymbols));
    ASSERT_TRUE(WaitForState("实时"));
    QTest::qWait(50);

    m_now = m_now.addMSecs(9000);
    QTest::qWait(100);
    EXPECT_EQ(StateText(), VelkFromUtf8("实时"));

    m_now = m_now.addMSecs(1500);
    ASSERT_TRUE(WaitForState("行情中断", 5000)) << StateText().toStdString();
    EXPECT_TRUE(Label("feedState")->styleSheet().contains(QStringLiteral("red")));

    // A heartbeat is a sign of life.
    ASSERT_TRUE(m_server.Send("{\"type\":\"heartbeat\"}\n"));
    EXPECT_TRUE(WaitForState("实时", 5000));
    EXPECT_FALSE(Label("feedState")->styleSheet().contains(QStringLiteral("red")));

    // Outside trading hours a quiet feed is no fault.
    m_now = QDateTime(QDate(2024, 1, 5), QTime(12, 0, 0));
    QTest::qWait(200);
    EXPECT_EQ(StateText(), VelkFromUtf8("实时"));
}

TEST_F(LiveFeedTest, AHelloOfANewDateWritesTheOldDaysFileAndStartsTheNewDayClean)
{
    ConnectAndAccept();
    ASSERT_TRUE(m_server.Send(kHello + kSymbols + Trade("09:30:00", "600000", "10.00") +
                              Trade("09:31:00", "600000", "10.60")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pWindow->AlertsSoFar() == 1; }, 10000));
    // The day file is the alert list window's: it writes it as its engine goes.
    m_pWindow->ShowAlertList();
    EXPECT_FALSE(std::filesystem::exists(m_work.DayFile("20240105")));

    std::string next = kHello;
    next.replace(next.find("20240105"), 8, "20240108");
    ASSERT_TRUE(m_server.Send(next + Trade("09:30:00", "600000", "10.00")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return m_pWindow->Session().Day() &&
                   m_pWindow->Session().Day()->TradeDate() == 20240108;
        },
        10000));
    // The old day's engine went and wrote its alerts; the new one starts with none.
    EXPECT_TRUE(std::filesystem::exists(m_work.DayFile("20240105")));
    EXPECT_EQ(m_pWindow->AlertsSoFar(), 0);
    EXPECT_TRUE(m_pWindow->Engine()->GetAlertRecords().empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Board().rowCount() == 2; }, 5000));
    EXPECT_TRUE(m_pWindow->LiveFeed()->IsActive());
}

TEST_F(LiveFeedTest, TheHistoryKeepsTheFeedsAlertsAsLive)
{
    CDesktopAlertOutputs outputs(m_pWindow->Session(), m_work.Temp().File("history.sqlite"),
                                 nullptr);
    ASSERT_NE(outputs.History(), nullptr);
    ConnectAndAccept();
    ASSERT_TRUE(m_server.Send(kHello + kSymbols + Trade("09:30:00", "600000", "10.00") +
                              Trade("09:31:00", "600000", "10.60")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pWindow->AlertsSoFar() == 1; }, 10000));
    std::vector<CAlertHistory::Row> rows;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return outputs.History()->Query({}, rows) && rows.size() == 1; }, 5000));
    EXPECT_EQ(rows[0].source, "live");
    EXPECT_EQ(rows[0].tradingDate, "2024-01-05");
    EXPECT_EQ(rows[0].code, "600000");
    m_pWindow->LiveFeed()->Disconnect();
}

TEST_F(LiveFeedTest, SkippedLinesReachTheLogPanelWithTheirLineNumbersAndReasons)
{
    ConnectAndAccept();
    ASSERT_TRUE(m_server.Send(kHello + kSymbols +                                     // lines 1-3
                              "not json\n" +                                          // 4
                              Trade("09:30:00", "688888", "10.00") +                  // 5
                              Trade("09:30:00", "600000", "-1") +                     // 6
                              Trade("09:31:00", "600000", "10.00") +                  // 7
                              Trade("09:30:30", "600000", "10.10") +                  // 8
                              std::string(70 * 1024, 'x') + "\n" +                    // 9
                              R"({"type":"quote","market":1})" + std::string("\n"))); // 10
    CFeedLogPanel* panel = m_pWindow->LiveFeed()->LogPanel();
    auto* list = panel->findChild<QTreeWidget*>(QStringLiteral("feedLog"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->Rows() == 6; }, 10000)) << [&] {
        std::string rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows += list->topLevelItem(i)->text(0).toStdString() + " " +
                    list->topLevelItem(i)->text(2).toStdString() + "\n";
        return rows;
    }();
    EXPECT_TRUE(panel->isVisible());
    std::map<long, QString> kinds;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        EXPECT_FALSE(item->text(2).isEmpty()) << "line " << item->text(0).toStdString();
        kinds[item->text(0).toLong()] = item->text(1);
    }
    const std::map<long, QString> expected = {
        {4, CLiveFeed::FaultText(CFeedRunner::Fault::Malformed)},
        {5, CLiveFeed::FaultText(CFeedRunner::Fault::UnknownSymbol)},
        {6, CLiveFeed::FaultText(CFeedRunner::Fault::BadPrice)},
        {8, CLiveFeed::FaultText(CFeedRunner::Fault::TimeBackwards)},
        {9, CLiveFeed::FaultText(CFeedRunner::Fault::TooLong)},
        {10, CLiveFeed::FaultText(CFeedRunner::Fault::UnknownKind)}};
    EXPECT_EQ(kinds, expected);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return panel->findChild<QLabel*>(QStringLiteral("feedLogTotal"))->text() ==
               VelkFromUtf8("共跳过 6 行");
    }));
    // The feed went on past them. Line 7 was applied before line 8 was skipped; the board
    // shows it at its next refresh, which under load can come after the lines are listed.
    m_pWindow->RefreshViews();
    EXPECT_EQ(Board().index(Board().RowOf(1, "600000"), CQuoteBoardModel::kLast).data().toString(),
              QStringLiteral("10.00"));
}

TEST_F(LiveFeedTest, OnlyTheFirstFewOfAKindAreListedAndAllAreCounted)
{
    ConnectAndAccept();
    std::string lines = kHello + kSymbols;
    for (int i = 0; i < 12; ++i)
        lines += "{broken\n";
    ASSERT_TRUE(m_server.Send(lines));
    CFeedLogPanel* panel = m_pWindow->LiveFeed()->LogPanel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Feed().SkippedTotal() == 12; }, 10000));
    EXPECT_EQ(panel->Rows(), static_cast<int>(CLiveFeed::kToldPerKind));
}

TEST_F(LiveFeedTest, ClosingTheWindowWhileTheFeedIsBlockedReturnsWithinASecond)
{
    ConnectAndAccept();
    // Half a line, and then nothing.
    ASSERT_TRUE(m_server.Send(kHello + kSymbols + R"({"type":"trade","time":"09:30)"));
    ASSERT_TRUE(WaitForState("实时"));
    QElapsedTimer closing;
    closing.start();
    m_pWindow->close();
    m_pWindow.reset();
    EXPECT_LT(closing.elapsed(), 1000);
}

// A NATS server that takes the connection and never greets it: the client waits in its
// connect, and closing the window must not wait with it.
TEST_F(LiveFeedTest, ClosingTheWindowWhileANatsServerNeverAnswersReturnsWithinASecond)
{
    ASSERT_TRUE(m_pWindow->LiveFeed()->ConnectTo(
        QStringLiteral("nats://127.0.0.1:%1/quotes.>").arg(m_server.port)));
    ASSERT_TRUE(m_server.Accept());
    QTest::qWait(100);
    QElapsedTimer closing;
    closing.start();
    m_pWindow->close();
    m_pWindow.reset();
    EXPECT_LT(closing.elapsed(), 1000);
}

TEST_F(LiveFeedTest, AFeedThatCannotBeReachedIsToldAndLeavesTheWindowAsItWas)
{
    int port = 0;
    {
        const CLoopbackServer gone;
        port = gone.port;
    }
    ASSERT_TRUE(m_pWindow->LiveFeed()->ConnectTo(QStringLiteral("tcp://127.0.0.1:%1").arg(port)));
    ASSERT_TRUE(WaitForState("无法连接行情源"));
    ASSERT_FALSE(m_prompt.warnings.isEmpty());
    EXPECT_TRUE(m_prompt.warnings.back().contains(QString::number(port)));
    EXPECT_TRUE(Action("actionOpenDay")->isEnabled());

    // A bad address is refused before anything is done.
    EXPECT_FALSE(m_pWindow->LiveFeed()->ConnectTo(QStringLiteral("ftp://nowhere")));
    EXPECT_EQ(m_prompt.warnings.size(), 2);
}

TEST(FeedConnectDialog, OkTakesOnlyAnAddressTheReaderUnderstands)
{
    CFeedConnectDialog dialog(QStringLiteral("tcp://127.0.0.1"));
    auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("feedAddress"));
    auto* error = dialog.findChild<QLabel*>(QStringLiteral("feedAddressError"));
    dialog.show();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(error->isHidden());
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    address->setText(QStringLiteral("  nats://127.0.0.1:4222/quotes.1.>  "));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Address(), QStringLiteral("nats://127.0.0.1:4222/quotes.1.>"));
}

TEST(LiveFeedHours, TheMarketTradesFromTheAuctionToTheCloseWithTheNoonBreak)
{
    auto at = [](int h, int m) { return h * 3600 + m * 60; };
    EXPECT_FALSE(CLiveFeed::InTradingHours(at(9, 14)));
    EXPECT_TRUE(CLiveFeed::InTradingHours(at(9, 15)));
    EXPECT_TRUE(CLiveFeed::InTradingHours(at(11, 29)));
    EXPECT_FALSE(CLiveFeed::InTradingHours(at(11, 30)));
    EXPECT_FALSE(CLiveFeed::InTradingHours(at(12, 59)));
    EXPECT_TRUE(CLiveFeed::InTradingHours(at(13, 0)));
    EXPECT_FALSE(CLiveFeed::InTradingHours(at(15, 0)));
}

} // namespace
