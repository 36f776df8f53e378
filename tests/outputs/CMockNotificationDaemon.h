#pragma once

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusVariant>
#include <csignal>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// python3-dbusmock's notification daemon on the test's private session bus: it logs every call
// to a file and emits the signals a test asks for (a user's click on an action).
class CMockNotificationDaemon {
public:
    explicit CMockNotificationDaemon(const std::string& log) : m_log(log)
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
    ~CMockNotificationDaemon()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    std::string Log() const
    {
        std::ifstream in(m_log, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
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
