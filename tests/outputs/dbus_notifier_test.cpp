// Desktop notifications against python3-dbusmock's notification daemon on a private session bus
// (the test runs under dbus-run-session and starts the mock itself).

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusVariant>
#include <QDateTime>
#include <QThread>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/outputs/CDesktopNotifier.h"
#include "tests/outputs/OutputsTestSupport.h"
#include "tests/support/CTempDir.h"

extern char** environ;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Wait(const std::function<bool()>& done, int ms = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

class CMockDaemon {
public:
    explicit CMockDaemon(const std::string& log) : m_log(log)
    {
        // The system's Python, which has python3-dbusmock, before any other in the PATH.
        const std::string python =
            ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
        std::vector<std::string> args = {
            python, "-m", "dbusmock", "--template", "notification_daemon", "-l", log};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
    }
    ~CMockDaemon()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    std::string Log() const { return ReadAll(m_log); }
    void Action(unsigned id, const QString& action)
    {
        QDBusInterface mock(QStringLiteral("org.freedesktop.Notifications"),
                            QStringLiteral("/org/freedesktop/Notifications"),
                            QStringLiteral("org.freedesktop.DBus.Mock"),
                            QDBusConnection::sessionBus());
        mock.call(QStringLiteral("EmitSignal"), QStringLiteral("org.freedesktop.Notifications"),
                  QStringLiteral("ActionInvoked"), QStringLiteral("us"),
                  QVariantList{QVariant::fromValue(QDBusVariant(QVariant::fromValue<uint>(id))),
                               QVariant::fromValue(QDBusVariant(action))});
    }

private:
    std::string m_log;
    pid_t m_pid = 0;
};

} // namespace

TEST(DesktopNotifier, NotifiesFoldsRepeatsAndAnswersItsActions)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "no session bus (run under dbus-run-session)";
    CTempDir dir;
    CMockDaemon daemon(dir.File("calls.log"));
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
