#include "host/gui/CQtHostSession.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

#include "platform/qt/RegisteredMessages.h"

namespace {

QtMessageHandler g_previousHandler = nullptr;

// What a screenless run cannot have: a stacking order, a focus, a window manager to take size
// hints, a session runtime directory.
void FilterHeadlessMessages(QtMsgType type, const QMessageLogContext& context,
                            const QString& message)
{
    if (type == QtWarningMsg &&
        (message == QStringLiteral("This plugin does not support raise()") ||
         message == QStringLiteral("This plugin does not support requestActivate()") ||
         message == QStringLiteral("This plugin does not support propagateSizeHints()") ||
         message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"))))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

CQtHostSession::CQtHostSession(int& argc, char** argv, std::FILE* log) : m_messageBox(log)
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || !*platform)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QuietOffscreenPlatform();
    m_pApplication = std::make_unique<QApplication>(argc, argv);
    // The last alert window closing must not end anything: the run ends when the day does.
    QApplication::setQuitOnLastWindowClosed(false);
    m_pMainWindow = std::make_unique<CHostMainWindow>(log);
    // The quote application's main window is on screen before any quote arrives; the alert
    // list window is placed over it.
    m_pMainWindow->resize(1024, 768);
    m_pMainWindow->show();
    VelkSetMainWindow(m_pMainWindow.get());
    m_pMessageBoxScope = std::make_unique<CScopedMessageBoxService>(m_messageBox);
}

CQtHostSession::~CQtHostSession()
{
    ProcessEvents();
    m_pMessageBoxScope.reset();
    VelkSetMainWindow(nullptr);
    m_pMainWindow.reset();
    // Windows deleted late leave deferred deletions behind; they go before the application.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_pApplication.reset();
    qInstallMessageHandler(g_previousHandler);
}

void CQtHostSession::QuietOffscreenPlatform()
{
    QtMessageHandler previous = qInstallMessageHandler(FilterHeadlessMessages);
    if (previous != FilterHeadlessMessages)
        g_previousHandler = previous;
}

void CQtHostSession::ProcessEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_lastEvents = std::chrono::steady_clock::now();
}

bool CQtHostSession::ProcessEventsEachFrame()
{
    constexpr std::chrono::milliseconds kFrame(16);
    if (std::chrono::steady_clock::now() - m_lastEvents < kFrame)
        return false;
    ProcessEvents();
    return true;
}

CVelkServices CQtHostSession::EngineServices(bool silent)
{
    CVelkServices services = VelkRegisteredServices();
    if (silent)
        services.pSound = nullptr;
    return services;
}
