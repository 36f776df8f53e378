// Desktop notifications against python3-dbusmock's notification daemon on a private session bus
// (the test runs under dbus-run-session and starts the mock itself).

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>

#include "host/outputs/CDesktopNotifier.h"
#include "tests/outputs/CMockNotificationDaemon.h"
#include "tests/outputs/OutputsTestSupport.h"
#include "tests/support/CTempDir.h"

namespace {

void Wait(const std::function<bool()>& done, int ms = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

} // namespace

TEST(DesktopNotifier, NotifiesFoldsRepeatsAndAnswersItsActions)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "no session bus (run under dbus-run-session)";
    CTempDir dir;
    CMockNotificationDaemon daemon(dir.File("calls.log"));
    QDateTime now(QDate(2024, 1, 5), QTime(10, 0, 0));
    CDesktopNotifier notifier(nullptr, [&] { return now; });
    Wait([&] { return notifier.HasService(); });
    ASSERT_TRUE(notifier.HasService()) << "the mock notification daemon did not start";

    const unsigned first = notifier.Notify(outputstest::Event(1)); // limit-up: critical
    ASSERT_GT(first, 0u);
    now = now.addSecs(30);
    EXPECT_EQ(notifier.Notify(outputstest::Event(2, "600103", "青山纸业", 6)), first);
    now = now.addSecs(61);
    const unsigned third = notifier.Notify(outputstest::Event(3, "600103", "青山纸业", 6));
    EXPECT_NE(third, first);
    const unsigned other = notifier.Notify(outputstest::Event(4, "000001", "平安银行", 7));
    EXPECT_NE(other, third);

    Wait([&] { return daemon.Log().find("000001") != std::string::npos; }, 3000);
    const std::string log = daemon.Log();
    EXPECT_NE(log.find("Notify \"velk-host\" 0 \"velk-host\""), std::string::npos) << log;
    EXPECT_NE(log.find("青山纸业 600103 达到涨停价"), std::string::npos) << log;
    EXPECT_NE(log.find("Notify \"velk-host\" " + std::to_string(first)), std::string::npos) << log;
    EXPECT_NE(log.find("分析"), std::string::npos) << log;
    EXPECT_NE(log.find("今日静音"), std::string::npos) << log;
    EXPECT_NE(log.find("价格 3.04"), std::string::npos) << log;

    std::vector<std::pair<int, QString>> analysed;
    QObject::connect(
        &notifier, &CDesktopNotifier::AnalyseRequested,
        [&](unsigned char market, const QString& code) { analysed.emplace_back(market, code); });
    daemon.Action(other, QStringLiteral("analyse"));
    Wait([&] { return !analysed.empty(); }, 5000);
    ASSERT_EQ(analysed.size(), 1u);
    EXPECT_EQ(analysed[0].second, QStringLiteral("000001"));

    daemon.Action(third, QStringLiteral("mute"));
    Wait([&] { return notifier.IsMuted(1, QStringLiteral("600103")); }, 5000);
    EXPECT_EQ(notifier.Notify(outputstest::Event(5)), 0u);
    EXPECT_GT(notifier.Notify(outputstest::Event(6, "000001", "平安银行", 7)), 0u);
    now = now.addDays(1); // muted for the day only
    EXPECT_GT(notifier.Notify(outputstest::Event(7)), 0u);

    notifier.PauseUntil(now.addSecs(900));
    EXPECT_EQ(notifier.Notify(outputstest::Event(8)), 0u);
    now = now.addSecs(901);
    EXPECT_GT(notifier.Notify(outputstest::Event(9)), 0u);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
