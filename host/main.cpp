#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/core/CAlertPrinter.h"
#include "host/core/CConditionDump.h"
#include "host/core/CDayFileKeeper.h"
#include "host/core/CDayReplay.h"
#include "host/core/CHostCommandLine.h"
#include "host/core/CTradingDay.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"

#ifdef VELK_HOST_HAS_UI
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QSettings>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CHostPrompt.h"
#include "host/gui/CQtHostSession.h"
#include "host/gui/CScreenshots.h"
#include "host/gui/HostSettingKeys.h"
#include "platform/qt/RegisteredMessages.h"
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

void PrintJson(const nlohmann::ordered_json& value)
{
    // Texts come out of GBK conversion and are valid UTF-8; replace keeps a stray byte from
    // ending the dump.
    std::string text = value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string AbsolutePath(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    std::vector<char> buffer(4096);
    if (!::getcwd(buffer.data(), buffer.size()))
        return path;
    return VelkJoinPath(buffer.data(), path);
}

// DIR/SYS and DIR/bin exist and the process works in DIR/bin: the engine finds ..\Dat\Alert
// and ..\SYS from the current directory, as in the host application's bin folder. 0 when
// ready, else the exit status.
int PrepareRoot(const std::string& rootOption, std::string& sysDir)
{
    const std::string root = AbsolutePath(rootOption);
    if (VelkFileExists(root) && !VelkIsDirectory(root)) {
        std::fprintf(stderr, "velk-host: %s is not a directory\n", root.c_str());
        return kExitBadInput;
    }
    sysDir = VelkJoinPath(root, "SYS");
    const std::string binDir = VelkJoinPath(root, "bin");
    if (!VelkCreateDirectories(sysDir) || !VelkCreateDirectories(binDir)) {
        std::fprintf(stderr, "velk-host: cannot create %s and %s\n", sysDir.c_str(),
                     binDir.c_str());
        return kExitFailure;
    }
    if (::chdir(binDir.c_str()) != 0) {
        std::fprintf(stderr, "velk-host: cannot enter %s\n", binDir.c_str());
        return kExitFailure;
    }
    return 0;
}

int RunReplay(const CHostCommandLine& options, int& argc, char** argv)
{
    CTradingDay day;
    std::string error;
    if (!day.Load(options.Day(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitBadInput;
    }
    std::string sysDir;
    if (int status = PrepareRoot(options.Root(), sysDir))
        return status;

    // A reader that goes away (velk-host ... | head) must not kill the replay half-way: the
    // engine still has to be shut down, and that is when the day's alert file is written.
    std::signal(SIGPIPE, SIG_IGN);

    // A replay starts from a clean alert list; the file of an earlier run is kept unchanged.
    const CDayFileKeeper::Result kept =
        CDayFileKeeper::KeepAside(CDayFileKeeper::DayFilePath(day.TradeDate()));
    if (!kept.ok) {
        std::fprintf(stderr, "velk-host: cannot move the earlier day file aside: %s\n",
                     kept.error.c_str());
        return kExitFailure;
    }
    if (!kept.keptPath.empty())
        std::fprintf(stderr, "velk-host: the earlier alerts of this date are kept in %s\n",
                     kept.keptPath.c_str());

    CDayReplay replay(day, CQuoteStore::Instance());
    replay.FillStore(sysDir);
    CAlertPrinter printer(stdout);
#ifdef VELK_HOST_HAS_UI
    // The engine runs with the module's own windows, message boxes and sound, as in the
    // quote application; it is gone before the session tears down the main window.
    CQtHostSession session(argc, argv, stderr);
    replay.SetAfterEachCall([&session, &printer] {
        session.ProcessEventsEachFrame();
        printer.FlushEachFrame();
    });
    if (options.Silent()) {
        const CVelkServices services = CQtHostSession::EngineServices(true);
        replay.Run(&services, sysDir, &printer);
    } else {
        replay.Run(nullptr, sysDir, &printer);
    }
#else
    (void)argc;
    (void)argv;
    // Without the user interface the engine gets no windows and no sound.
    replay.SetAfterEachCall([&printer] { printer.FlushEachFrame(); });
    const CVelkServices services{};
    replay.Run(&services, sysDir, &printer);
#endif
    return 0;
}

#ifdef VELK_HOST_HAS_UI

// A window nobody can see would keep the program running with no way to close it: the
// offscreen and minimal platforms are no display.
bool HasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    const std::string platform =
        std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
    return !platform.empty() && platform.rfind("offscreen", 0) != 0 &&
           platform.rfind("minimal", 0) != 0;
}

// The demo day and its conditions, installed beside velk-host.
QString BundledDemoDir()
{
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../share/velk-host"));
}

// A data directory without any condition file gets the demo's, so that the demo day raises
// alerts on a first run; conditions of the user's own are never touched. The files that could
// not be copied, each with its reason.
QStringList SeedDemoConditions(const std::string& sysDir)
{
    const QDir sys(QString::fromStdString(sysDir));
    for (const char* name : {"alert.cfg", "Magic.cfg", "System_alert.cfg"})
        if (sys.exists(QString::fromLatin1(name)))
            return {};
    QStringList failures;
    const QDir demo(BundledDemoDir() + QStringLiteral("/demo-root/SYS"));
    for (const QString& name : demo.entryList(QDir::Files)) {
        QFile source(demo.filePath(name));
        if (!source.copy(sys.filePath(name)))
            failures << QStringLiteral("%1: %2").arg(sys.filePath(name), source.errorString());
    }
    return failures;
}

int RunDesktop(const CHostCommandLine& options, int& argc, char** argv)
{
    const bool screenshots = !options.Screenshots().empty();
    // Checked before anything is created, like a headless run's day.
    std::unique_ptr<CTradingDay> day;
    std::string dayFolder;
    if (!options.Day().empty()) {
        day = std::make_unique<CTradingDay>();
        std::string error;
        if (!day->Load(options.Day(), error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitBadInput;
        }
        dayFolder = AbsolutePath(options.Day());
    }
    const std::string pictures = screenshots ? AbsolutePath(options.Screenshots()) : std::string();
    if (screenshots) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else if (!HasDisplay()) {
        std::fprintf(stderr,
                     "velk-host: no display ($DISPLAY and $WAYLAND_DISPLAY are not set); run the "
                     "replay with --headless, or take pictures with --screenshots PICDIR\n");
        return kExitBadInput;
    }
    std::string sysDir;
    if (int status = PrepareRoot(options.Root(), sysDir))
        return status;

    if (screenshots)
        CQtHostSession::QuietOffscreenPlatform();
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velk"));
    QApplication::setApplicationName(QStringLiteral("velk-host"));
    QIcon icon(QStringLiteral(":/velk-host/velk-host-256.png"));
    icon.addFile(QStringLiteral(":/velk-host/velk-host-64.png"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("velk-host"), icon));
    // Pictures never change what the user's runs keep.
    std::unique_ptr<QSettings> settings = screenshots ? nullptr : std::make_unique<QSettings>();

    int status = 0;
    {
        CDesktopMainWindow window(sysDir, settings.get(), options.Silent() || screenshots);
        VelkSetMainWindow(&window);
        if (day) {
            window.OpenLoadedDay(std::move(day), QString::fromStdString(dayFolder));
        } else {
            const QString last = HostSettings::kLastDay.Read(settings.get());
            const QString demo = BundledDemoDir() + QStringLiteral("/demo-day");
            QStringList problems;
            if (!last.isEmpty() && QFileInfo(last).isDir()) {
                QString error;
                if (!window.OpenDay(last, &error))
                    problems << error;
            } else if (QFileInfo(demo).isDir()) {
                problems << SeedDemoConditions(sysDir);
                QString error;
                if (!window.OpenDay(demo, &error))
                    problems << error;
            }
            // Told on the terminal and, once the window is up, in a message box.
            for (const QString& problem : problems)
                std::fprintf(stderr, "velk-host: %s\n", problem.toUtf8().constData());
            if (!problems.isEmpty() && !screenshots)
                QTimer::singleShot(0, &window, [&window, problems] {
                    CHostPrompt::Prompt().Warn(&window, problems.join(QLatin1Char('\n')));
                });
        }
        if (screenshots) {
            CScreenshots shots(window, QString::fromStdString(pictures));
            QStringList written;
            QString error;
            if (!shots.Take(written, error)) {
                std::fprintf(stderr, "velk-host: %s\n", error.toStdString().c_str());
                status = kExitFailure;
            }
            for (const QString& name : written)
                std::printf(
                    "%s\n",
                    QDir(QString::fromStdString(pictures)).filePath(name).toStdString().c_str());
        } else {
            window.show();
            status = QApplication::exec();
        }
        VelkSetMainWindow(nullptr);
    }
    return status;
}

#endif

} // namespace

int main(int argc, char** argv)
{
    CHostCommandLine options;
    if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fprintf(stderr, "velk-host: %s\n\n%s", options.Error().c_str(),
                     CHostCommandLine::Usage().c_str());
        return kExitBadInput;
    }
    switch (options.GetCommand()) {
    case CHostCommandLine::Command::Help:
        std::fputs(CHostCommandLine::Usage().c_str(), stdout);
        return 0;
    case CHostCommandLine::Command::Dump:
        PrintJson(CConditionDump::DumpConditions(VelkJoinPath(options.Root(), "SYS")));
        return 0;
    case CHostCommandLine::Command::DumpDay: {
        nlohmann::ordered_json dump;
        std::string error;
        if (!CConditionDump::DumpDayFile(options.File(), dump, error)) {
            std::fprintf(stderr, "velk-host: %s\n", error.c_str());
            return kExitFailure;
        }
        PrintJson(dump);
        return 0;
    }
    case CHostCommandLine::Command::Replay:
#ifdef VELK_HOST_HAS_UI
        if (!options.Headless())
            return RunDesktop(options, argc, argv);
#endif
        return RunReplay(options, argc, argv);
    }
    return kExitFailure;
}
