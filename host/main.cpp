#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/core/CAlertPrinter.h"
#include "host/core/CConditionDump.h"
#include "host/core/CDayFileKeeper.h"
#include "host/core/CDayReplay.h"
#include "host/core/CHostCommandLine.h"
#include "host/core/CMonitorCommand.h"
#include "host/core/CShutdownSignals.h"
#include "host/core/CTradingDay.h"
#include "host/feed/CFeedRunner.h"
#include "host/feed/CLiveSession.h"
#include "host/outputs/CAlertFanOut.h"
#include "host/outputs/CAlertHistory.h"
#include "host/outputs/CHistoryCommand.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"

#ifdef VELK_HOST_HAS_UI
#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QIcon>
#include <QSettings>
#include <QSocketNotifier>
#include <QStatusBar>
#include <cstdlib>
#include <memory>
#include <optional>

#include "host/gui/CConsoleHostPrompt.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopAlertHub.h"
#include "host/gui/CDesktopAlertOutputs.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CDesktopRoot.h"
#include "host/gui/CHostPrompt.h"
#include "host/gui/CHostTranslations.h"
#include "host/gui/CMarketMonitorDialog.h"
#include "host/gui/CQtHostSession.h"
#include "host/gui/CScreenshots.h"
#include "host/gui/CStartupDay.h"
#include "host/gui/HostSettingKeys.h"
#include "host/outputs/COutputSettings.h"
#include "host/outputs/CSecretStore.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"
#endif

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitLocked = 4;

// Held by the velk-host that works on a data directory, for its whole run.
std::string RootLockPath(const std::string& sysDir)
{
    return VelkJoinPath(sysDir, "velk-host.lock");
}

#ifdef VELK_HOST_HAS_UI
// The configured outputs of a headless run; an entry left out is told on standard error.
void AddOutputs(QSettings& settings, CAlertFanOut& fanOut)
{
    const CSecretStore secrets(CSecretStore::DefaultFile());
    std::vector<std::string> problems;
    COutputSettings::AddConfiguredOutputs(settings, secrets, fanOut, problems);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "velk-host: %s\n", problem.c_str());
}
#endif

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

// Opens the run's alert history behind the printed lines unless --no-history; a history that
// cannot be opened is told on stderr and the run goes on without it. False then.
bool OpenRunHistory(const CHostCommandLine& options, bool live, const std::string& source,
                    CAlertHistory& history, CAlertFanOut& fanOut)
{
    if (options.NoHistory())
        return true;
    const bool opened = history.Open(CAlertHistory::PathIn(AbsolutePath(options.Root())),
                                     CAlertHistory::Damaged::SetAside);
    if (opened && !history.SetAsidePath().empty())
        std::fprintf(stderr, "velk-host: alert history: %s; kept as %s, a new history begins\n",
                     history.SetAsideReason().c_str(), history.SetAsidePath().c_str());
    if (opened && history.BeginRun(live, source)) {
        fanOut.SetHistory(&history);
        return true;
    }
    std::fprintf(stderr, "velk-host: alert history: %s\n", history.Error().c_str());
    return false;
}

// Once a frame the printed lines are flushed before the frame's alerts are committed, so the
// history never holds an alert that was not printed; and only once the previous frame is
// written, so that at most the last frame printed is missing from it. The first failure is told
// once.
void EndHeadlessFrame(CAlertPrinter& printer, CAlertFanOut& fanOut, const CAlertHistory& history,
                      bool& historyFailed)
{
    history.WaitWritten();
    printer.Flush();
    if (!fanOut.EndFrame() && !historyFailed) {
        historyFailed = true;
        std::fprintf(stderr, "velk-host: alert history: %s\n", history.Error().c_str());
    }
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

// The lock of the data directory, held for the whole run: null with the exit status when
// another velk-host works on it (waited for with --wait-lock).
std::unique_ptr<CVelkFileLock> TakeRootLock(const CHostCommandLine& options,
                                            const std::string& sysDir, int& status)
{
    auto rootLock = std::make_unique<CVelkFileLock>(RootLockPath(sysDir), CVelkFileLock::Mode::Try);
    if (!rootLock->Busy())
        return rootLock;
    if (!options.WaitLock()) {
        std::fprintf(stderr,
                     "velk-host: another velk-host works on %s; run again when it is done, "
                     "or with --wait-lock to wait for it\n",
                     sysDir.c_str());
        status = kExitLocked;
        return nullptr;
    }
    std::fprintf(stderr, "velk-host: waiting for the other velk-host on %s\n", sysDir.c_str());
    rootLock.reset();
    return std::make_unique<CVelkFileLock>(RootLockPath(sysDir));
}

#ifdef VELK_HOST_HAS_UI
// Today as yyyymmdd, local time; the retention the desktop settings give counts from it.
int TodayYmd()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}
#endif

// A replay that watches nothing prints nothing: say so, and where the conditions were sought.
void WarnIfNothingWatched(const CDayReplay::Totals& totals, const std::string& sysDir)
{
    if (totals.watched == 0)
        std::fprintf(stderr,
                     "velk-host: no stock is watched: %s holds no price alerts (alert.cfg), "
                     "no magic-watch stocks (Magic.cfg) and no monitored stocks "
                     "(System_alert.cfg or the self-selected stocks); nothing can raise an "
                     "alert\n",
                     sysDir.c_str());
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
    int locked = 0;
    const std::unique_ptr<CVelkFileLock> rootLock = TakeRootLock(options, sysDir, locked);
    if (!rootLock)
        return locked;
    // SIGINT and SIGTERM end the replay where it is; the engine is then shut down as at the
    // end of the day, which writes the day file.
    CShutdownSignals signals;

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
    replay.SetStopFlag(&signals.Flag());
    replay.FillStore(sysDir);
    CAlertPrinter printer(stdout);
    // The printed lines come first, then the history and the outputs.
    CAlertHistory history;
    CAlertFanOut fanOut(CAlertFanOut::Context{false, day.TradeDate()});
    fanOut.SetFront(&printer);
    bool historyFailed =
        !OpenRunHistory(options, false, AbsolutePath(options.Day()), history, fanOut);
    std::chrono::steady_clock::time_point lastFrame = std::chrono::steady_clock::now();
    auto endFrame = [&] {
        EndHeadlessFrame(printer, fanOut, history, historyFailed);
        lastFrame = std::chrono::steady_clock::now();
    };
#ifdef VELK_HOST_HAS_UI
    // The engine runs with the module's own windows, message boxes and sound, as in the
    // quote application; it is gone before the session tears down the main window.
    CQtHostSession session(argc, argv, stderr);
    {
        // The desktop program's settings: its outputs, and how long the history keeps alerts.
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velk"),
                           QStringLiteral("velk-host"));
        AddOutputs(settings, fanOut);
        // The days kept are counted back from the machine's date, as the desktop program
        // counts them, never from the day replayed: a day folder dated in the future (a typo in
        // its year) must not take the whole history with it.
        if (history.IsOpen() &&
            history.DeleteOlderThan(COutputSettings::RetentionDays(settings), TodayYmd()) < 0)
            std::fprintf(stderr, "velk-host: alert history: %s\n", history.Error().c_str());
    }
    // The session's frame is the history's: one clock read a call.
    replay.SetAfterEachCall([&session, &endFrame] {
        if (session.ProcessEventsEachFrame())
            endFrame();
    });
    if (options.Silent()) {
        const CVelkServices services = CQtHostSession::EngineServices(true);
        WarnIfNothingWatched(replay.Run(&services, sysDir, &fanOut), sysDir);
    } else {
        WarnIfNothingWatched(replay.Run(nullptr, sysDir, &fanOut), sysDir);
    }
    // A file that could not be saved was told on standard error; the run did not do its job.
    const bool warned = session.Warnings() > 0;
#else
    (void)argc;
    (void)argv;
    // Without the user interface the engine gets no windows and no sound.
    replay.SetAfterEachCall([&] {
        if (std::chrono::steady_clock::now() - lastFrame >= std::chrono::milliseconds(16))
            endFrame();
    });
    const CVelkServices services{};
    WarnIfNothingWatched(replay.Run(&services, sysDir, &fanOut), sysDir);
    const bool warned = false;
#endif
    endFrame();
    // Outputs get a moment to send what is queued; the rest is counted, not waited for. A run
    // stopped by a signal ends within a second.
    fanOut.Stop(std::chrono::milliseconds(signals.Requested() ? 200 : 2000));
    endFrame();
    for (const std::string& line : fanOut.StatusLines())
        std::fprintf(stderr, "velk-host: output %s\n", line.c_str());
    if (signals.Requested())
        return signals.ExitStatus();
    return historyFailed || warned ? kExitFailure : 0;
}

int RunFeed(const CHostCommandLine& options, int& argc, char** argv)
{
    CFeedConnection::Address address;
    std::string error;
    if (!CFeedConnection::ParseAddress(options.Feed(), address, error)) {
        std::fprintf(stderr, "velk-host: %s\n", error.c_str());
        return kExitBadInput;
    }
    std::string sysDir;
    if (int status = PrepareRoot(options.Root(), sysDir))
        return status;
    int locked = 0;
    const std::unique_ptr<CVelkFileLock> rootLock = TakeRootLock(options, sysDir, locked);
    if (!rootLock)
        return locked;
    std::signal(SIGPIPE, SIG_IGN);
    // SIGINT and SIGTERM end a live run in order, as the feed's own end does: exit status 0.
    CShutdownSignals signals;

    CAlertPrinter printer(stdout);
    // As in a replay: the printed lines first, then the history and the outputs. The trading
    // date is the feed's, known from its hello on.
    CAlertHistory history;
    CAlertFanOut fanOut(CAlertFanOut::Context{true, 0});
    fanOut.SetFront(&printer);
    bool historyFailed = !OpenRunHistory(options, true, options.Feed(), history, fanOut);
    std::chrono::steady_clock::time_point lastFrame = std::chrono::steady_clock::now();
    auto endFrame = [&] {
        EndHeadlessFrame(printer, fanOut, history, historyFailed);
        lastFrame = std::chrono::steady_clock::now();
    };
    auto frameDue = [&] {
        return std::chrono::steady_clock::now() - lastFrame >= std::chrono::milliseconds(16);
    };
    int contextDate = 0;
    std::function<int()> tradeDate;
    // The engine starts at the first trade (and again after a new day's hello) with a call
    // after it: the alerts that follow carry the feed's date.
    auto eachCall = [&] {
        if (tradeDate && tradeDate() != contextDate) {
            contextDate = tradeDate();
            fanOut.SetContext(CAlertFanOut::Context{true, contextDate});
        }
        if (frameDue())
            endFrame();
    };
#ifdef VELK_HOST_HAS_UI
    CQtHostSession session(argc, argv, stderr);
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velk"),
                           QStringLiteral("velk-host"));
        AddOutputs(settings, fanOut);
        if (history.IsOpen() &&
            history.DeleteOlderThan(COutputSettings::RetentionDays(settings), TodayYmd()) < 0)
            std::fprintf(stderr, "velk-host: alert history: %s\n", history.Error().c_str());
    }
    std::unique_ptr<CVelkServices> services;
    if (options.Silent())
        services = std::make_unique<CVelkServices>(CQtHostSession::EngineServices(true));
    CLiveSession live(CQuoteStore::Instance(), sysDir, services.get(), &fanOut);
    live.SetAfterEachCall([&session, &printer, &eachCall] {
        session.ProcessEventsEachFrame();
        printer.FlushEachFrame();
        eachCall();
    });
#else
    (void)argc;
    (void)argv;
    const CVelkServices services{};
    CLiveSession live(CQuoteStore::Instance(), sysDir, &services, &fanOut);
    live.SetAfterEachCall([&printer, &eachCall] {
        printer.FlushEachFrame();
        eachCall();
    });
#endif
    tradeDate = [&live] { return live.TradeDate(); };
    // Every alert is out as soon as the lines read with it are taken in; the history commits
    // once a frame.
    CFeedRunner runner(live, address, stderr);
    runner.SetAfterBatch([&] {
        printer.Flush();
        if (frameDue())
            endFrame();
    });
    const int status = runner.Run(signals.ReadFd());
    if (status == CFeedRunner::kExitUnreachable) {
        fanOut.Stop(std::chrono::milliseconds(0));
        return status;
    }
    live.Finish();
    endFrame();
    // Outputs get a moment to send what is queued; a run stopped by a signal ends at once.
    fanOut.Stop(std::chrono::milliseconds(signals.Requested() ? 200 : 2000));
    endFrame();
    for (const std::string& line : fanOut.StatusLines())
        std::fprintf(stderr, "velk-host: output %s\n", line.c_str());
    std::fprintf(stderr, "velk-host: feed ended: %lld messages, %lld trades\n", runner.Messages(),
                 live.Trades());
    const std::string faults = runner.FaultSummary();
    if (!faults.empty())
        std::fprintf(stderr, "velk-host: feed lines skipped: %s\n", faults.c_str());
    return historyFailed ? kExitFailure : 0;
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

int RunDesktop(const CHostCommandLine& options, int& argc, char** argv)
{
    const bool screenshots = !options.Screenshots().empty();
    // Pictures need their day before anything is created, and a bad one ends the run as a
    // headless run's does; on screen the day loads while the window is up.
    std::unique_ptr<CTradingDay> day;
    std::string dayFolder = options.Day().empty() ? std::string() : AbsolutePath(options.Day());
    if (screenshots && !options.Day().empty()) {
        day = std::make_unique<CTradingDay>();
        std::string error;
        if (!day->Load(options.Day(), error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kExitBadInput;
        }
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
    const std::string userRoot = AbsolutePath(options.Root());
    if (!screenshots) {
        std::string userSys;
        if (int status = PrepareRoot(userRoot, userSys))
            return status;
    }
    if (screenshots)
        CQtHostSession::QuietOffscreenPlatform();
    CShutdownSignals signals;
    QApplication application(argc, argv);
    // Dialogs, message boxes and the program's own texts in the user's language; the module's
    // boxes are captioned with the program's name in it, not the short name of its files.
    CHostTranslations::Install(application);
    QSocketNotifier shutdown(signals.ReadFd(), QSocketNotifier::Read);
    QObject::connect(&shutdown, &QSocketNotifier::activated, &application, &QApplication::quit);
    CDesktopRoot root;
    switch (root.Open(userRoot, screenshots)) {
    case CDesktopRoot::Access::Refused:
        return kExitLocked;
    case CDesktopRoot::Access::Failed:
        std::fprintf(stderr, "velk-host: %s\n", root.Error().c_str());
        return kExitFailure;
    default:
        break;
    }
    std::string sysDir;
    if (int status = PrepareRoot(root.Root(), sysDir))
        return status;

    QApplication::setOrganizationName(QStringLiteral("Velk"));
    QApplication::setApplicationName(QStringLiteral("velk-host"));
    QIcon icon(QStringLiteral(":/velk-host/velk-host-256.png"));
    icon.addFile(QStringLiteral(":/velk-host/velk-host-64.png"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("velk-host"), icon));
    // Pictures never change what the user's runs keep.
    std::unique_ptr<QSettings> settings = screenshots ? nullptr : std::make_unique<QSettings>();

    // Nobody answers a message box while pictures are taken: the program's messages go to
    // standard error instead.
    CConsoleHostPrompt consolePrompt(stderr);
    std::optional<CScopedHostPrompt> promptForPictures;
    if (screenshots)
        promptForPictures.emplace(consolePrompt);

    int status = 0;
    {
        CDesktopMainWindow window(sysDir, settings.get(), options.Silent() || screenshots);
        VelkSetMainWindow(&window);
        CMarketMonitorDialog::Install(window);
        // The user's runs keep a history and send to the outputs, as headless ones do. Pictures
        // send nothing, and keep their history in the scratch copy of the data directory, which
        // goes when they are taken.
        std::unique_ptr<CDesktopAlertOutputs> outputs;
        if (screenshots) {
            outputs = std::make_unique<CDesktopAlertOutputs>(
                window.Session(), CAlertHistory::PathIn(root.Root()), nullptr);
        } else if (settings) {
            const bool keep = !options.NoHistory() && COutputSettings::HistoryEnabled(*settings);
            const std::string historyPath =
                keep ? CAlertHistory::PathIn(AbsolutePath(options.Root())) : std::string();
            outputs = std::make_unique<CDesktopAlertOutputs>(window.Session(), historyPath,
                                                             settings.get());
            QObject::connect(outputs.get(), &CDesktopAlertOutputs::Problem, &window,
                             [&window](const QString& text) {
                                 window.statusBar()->showMessage(text);
                                 std::fprintf(stderr, "velk-host: %s\n",
                                              text.toStdString().c_str());
                             });
        }
        // Notifications, the tray and the history window; pictures take the history window
        // alone.
        std::unique_ptr<CDesktopAlertHub> hub;
        if (!screenshots)
            hub = std::make_unique<CDesktopAlertHub>(window, outputs.get(), settings.get());
        if (options.Play())
            QObject::connect(
                &window.Session(), &CDaySession::DayOpened, &window,
                [&window] {
                    if (auto* play = window.findChild<QAction*>(QStringLiteral("actionPlay")))
                        play->trigger();
                },
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        if (day) {
            window.OpenLoadedDay(std::move(day), QString::fromStdString(dayFolder));
        } else {
            const QString demo = BundledDemoDir();
            CStartupDay::Open(window,
                              CStartupDay::Choose(QString::fromStdString(dayFolder),
                                                  HostSettings::kLastDay.Read(settings.get()),
                                                  demo + QStringLiteral("/demo-day")),
                              demo + QStringLiteral("/demo-root/SYS"),
                              QString::fromStdString(sysDir), stderr);
        }
        if (screenshots) {
            CScreenshots shots(window, QString::fromStdString(pictures), &signals.Flag());
            shots.SetHistory(outputs ? outputs->History() : nullptr);
            QStringList written;
            QString error;
            if (!shots.Take(written, error)) {
                std::fprintf(stderr, "velk-host: %s\n", error.toStdString().c_str());
                status = signals.Requested() ? signals.ExitStatus() : kExitFailure;
            }
            for (const QString& name : written)
                std::printf(
                    "%s\n",
                    QDir(QString::fromStdString(pictures)).filePath(name).toStdString().c_str());
        } else {
            hub->ShowWindowAtStart();
            status = QApplication::exec();
            if (signals.Requested())
                status = signals.ExitStatus();
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
    case CHostCommandLine::Command::Monitor:
        return CMonitorCommand::Run(VelkJoinPath(options.Root(), "SYS"), options.MonitorArgs(),
                                    stdout, stderr);
    case CHostCommandLine::Command::Feed:
        return RunFeed(options, argc, argv);
    case CHostCommandLine::Command::History: {
        CHistoryCommand history;
        if (!history.Parse(options.CommandArgs())) {
            std::fprintf(stderr, "velk-host: %s\n\n%s", history.Error().c_str(),
                         CHostCommandLine::Usage().c_str());
            return kExitBadInput;
        }
        return history.Run(CAlertHistory::PathIn(options.Root()), stdout, stderr);
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
