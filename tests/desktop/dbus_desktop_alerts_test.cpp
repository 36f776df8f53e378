// The desktop program's notifications end to end: the main window replays a day, every alert
// reaches python3-dbusmock's notification daemon on a private session bus (the test runs under
// dbus-run-session and starts the mock itself), and the daemon's action signals open the chart
// and mute the stock; the tray's pause keeps the notifications back.

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "host/gui/CAlertNotifications.h"
#include "host/gui/CDesktopAlertHub.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CIntradayChart.h"
#include "host/gui/CReplayController.h"
#include "host/gui/CTrayIcon.h"
#include "host/outputs/CDesktopNotifier.h"
#include "tests/host/HostTestSupport.h"
#include "tests/outputs/CMockNotificationDaemon.h"
#include "tests/ui/UiTestSupport.h"

using namespace hosttest;

namespace {

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

void PlayAgain(CDesktopMainWindow& window)
{
    window.RestartReplay();
    window.Controller()->SetSpeed(CReplayController::kFastest);
    window.Controller()->Play();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.Controller()->GetState() == CReplayController::State::Finished; },
        10000));
}

} // namespace

TEST(DesktopAlerts, NotificationsOpenTheChartMuteTheStockAndPause)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "no session bus (run under dbus-run-session)";
    CScopedWorkDir work;
    CScriptedMessageBox boxes;
    CScopedMessageBoxService boxScope(boxes);
    const std::string sys = work.Temp().File("SYS");
    const std::string day = work.Temp().File("day");
    WriteFile(sys + "/alert.cfg",
              AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 0.0f)}, QuietOptions()));
    WriteFile(sys + "/System_alert.cfg",
              SystemAlertCfg({Stock(2, "000001", "平安银行")}, 1, 1, 1, 2));
    WriteDay(day,
             "09:30:00,1,600000,10.00,1000\n09:30:00,2,000001,12.00,100\n"
             "09:31:00,1,600000,10.60,500\n09:31:30,2,000001,13.20,800\n",
             "", "");
    CMockNotificationDaemon daemon(work.Temp().File("calls.log"));

    QDateTime now(QDate(2024, 1, 5), QTime(10, 0, 0));
    CDesktopMainWindow window(sys, nullptr, true);
    CScopedMainWindow mainScope(&window);
    CDesktopAlertHub hub(window, nullptr, nullptr, [&] { return now; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return hub.Notifier().HasService(); }, 10000))
        << "the mock notification daemon did not start";
    QSignalSpy posted(&hub.Notifier(), &CDesktopNotifier::Posted);
    ASSERT_TRUE(window.OpenDay(QString::fromStdString(day)));
    PlayAgain(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.count() == 2; }, 10000)) << daemon.Log();

    const std::string log = daemon.Log();
    EXPECT_NE(log.find("\"浦发银行 600000 达到上限价\""), std::string::npos) << log;
    // Limit-up: the critical one.
    const std::size_t limitUp = log.find("\"平安银行 000001 达到涨停价\"");
    ASSERT_NE(limitUp, std::string::npos) << log;
    EXPECT_NE(log.find("价格 10.60"), std::string::npos);
    EXPECT_NE(log.find("涨跌 +10.00%", limitUp), std::string::npos) << log;
    // A call runs to the next one (its body holds a line break).
    const std::string limitUpCall = log.substr(limitUp, log.find(" Notify ", limitUp) - limitUp);
    EXPECT_NE(limitUpCall.find("\"urgency\": 2"), std::string::npos) << limitUpCall;
    const std::size_t upper = log.find("\"浦发银行 600000 达到上限价\"");
    EXPECT_NE(log.substr(upper, log.find(" Notify ", upper) - upper).find("\"urgency\": 1"),
              std::string::npos);
    EXPECT_NE(log.find("\"分析\""), std::string::npos);
    EXPECT_NE(log.find("\"今日静音\""), std::string::npos);

    unsigned pufa = 0;
    unsigned pingan = 0;
    for (const QList<QVariant>& call : posted)
        (call[1].toString().contains(QStringLiteral("600000")) ? pufa : pingan) = call[0].toUInt();
    ASSERT_NE(pufa, 0u);
    ASSERT_NE(pingan, 0u);

    // 分析 on a notification opens the stock's chart.
    daemon.Action(pufa, QStringLiteral("analyse"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Charts().empty(); }, 5000));
    EXPECT_EQ(window.Charts()[0]->Code(), "600000");

    // 今日静音 on 000001's: the next replay notifies 600000 only, in place of its last one.
    daemon.Action(pingan, QStringLiteral("mute"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return hub.Notifier().IsMuted(2, QStringLiteral("000001")); }, 5000));
    now = now.addSecs(30);
    PlayAgain(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.count() == 3; }, 10000));
    QTest::qWait(600);
    EXPECT_EQ(posted.count(), 3);
    const std::string folded = daemon.Log();
    EXPECT_EQ(Count(folded, "000001 达到涨停价"), 1u);
    EXPECT_NE(folded.find("Notify \"velk-host\" " + std::to_string(pufa) + " \"velk-host\""),
              std::string::npos)
        << folded;

    // Paused from the tray: nothing at all; resumed: notified again.
    hub.Tray().PauseAction(CTrayIcon::Pause::Hour)->trigger();
    PlayAgain(window);
    QTest::qWait(600);
    EXPECT_EQ(posted.count(), 3);
    EXPECT_EQ(hub.Notifications().Waiting(), 0);
    now = now.addSecs(3601);
    PlayAgain(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.count() == 4; }, 10000));
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
