#include "host/gui/CDesktopAlertHub.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CAlertNotifications.h"
#include "host/gui/CDesktopAlertOutputs.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CHistoryWindow.h"
#include "host/gui/CHostOptionsDialog.h"
#include "host/gui/CHostPrompt.h"
#include "host/gui/COutputsStatusLabel.h"
#include "host/gui/CReplayController.h"
#include "host/gui/CTrayIcon.h"
#include "host/gui/HostSettingKeys.h"
#include "host/outputs/CDesktopNotifier.h"
#include "host/outputs/CSecretStore.h"

CDesktopAlertHub::CDesktopAlertHub(CDesktopMainWindow& window, CDesktopAlertOutputs* outputs,
                                   QSettings* settings, Clock clock, QObject* parent)
    : QObject(parent), m_window(window), m_pOutputs(outputs), m_pSettings(settings),
      m_clock(std::move(clock))
{
    m_pNotifier = std::make_unique<CDesktopNotifier>(nullptr, m_clock);
    m_pNotifications = std::make_unique<CAlertNotifications>(window.Session(), *m_pNotifier);
    m_pTray = std::make_unique<CTrayIcon>(*m_pNotifier, m_clock);
    m_pSecrets = std::make_unique<CSecretStore>(CSecretStore::DefaultFile());

    connect(m_pNotifier.get(), &CDesktopNotifier::AnalyseRequested, this,
            [this](unsigned char market, const QString& code) {
                ShowWindow();
                m_window.OpenChart(market, code.toStdString());
            });
    connect(m_pNotifier.get(), &CDesktopNotifier::FallbackMessage, this,
            [this](const QString& title, const QString& body, bool critical) {
                if (m_bUseTray)
                    m_pTray->ShowMessage(title, body, critical);
                else
                    m_window.statusBar()->showMessage(title, 10000);
            });
    connect(m_pNotifications.get(), &CAlertNotifications::AlertHeard, this, [this] {
        if (!WindowIsSeen())
            m_pTray->AddUnseen();
    });
    connect(m_pTray.get(), &CTrayIcon::ShowWindowRequested, this, &CDesktopAlertHub::ShowWindow);
    connect(m_pTray.get(), &CTrayIcon::QuitRequested, this, &CDesktopAlertHub::Quit);
    connect(&window.Session(), &CDaySession::DayOpened, this, &CDesktopAlertHub::OnDayOpened);

    QMenu* alerts = window.Menu(CDesktopMainWindow::MenuId::Alerts);
    alerts->addSeparator();
    m_pActHistory = alerts->addAction(tr("历史报警(&H)..."));
    m_pActHistory->setObjectName(QStringLiteral("actionAlertHistory"));
    connect(m_pActHistory, &QAction::triggered, this, [this] { OpenHistory(); });
    if (m_pSettings) {
        m_pActOptions = alerts->addAction(tr("通知与输出设置(&O)..."));
        m_pActOptions->setObjectName(QStringLiteral("actionOutputOptions"));
        connect(m_pActOptions, &QAction::triggered, this, &CDesktopAlertHub::OpenOptions);
    }
    // The fan-out goes before the window does: the label goes with the hub.
    if (m_pOutputs && !m_pOutputs->FanOut().Workers().empty()) {
        m_pOutputsStatus = new COutputsStatusLabel(m_pOutputs->FanOut(), &window);
        window.statusBar()->addPermanentWidget(m_pOutputsStatus);
    }
    window.installEventFilter(this);
    UseTray(CTrayIcon::TrayAvailable());
}

CDesktopAlertHub::~CDesktopAlertHub()
{
    m_window.removeEventFilter(this);
    delete m_pHistory.data();
    delete m_pOutputsStatus.data();
}

void CDesktopAlertHub::UseTray(bool use)
{
    m_bUseTray = use;
    if (use)
        m_pTray->Show();
    // With the window in the tray, closing another window must not end the program.
    QApplication::setQuitOnLastWindowClosed(!use);
}

void CDesktopAlertHub::SetLiveSource(const std::function<bool()>& isLive)
{
    m_pNotifications->SetLiveSource(isLive);
    if (m_pOutputs)
        m_pOutputs->SetLiveSource(isLive);
}

bool CDesktopAlertHub::WindowIsSeen() const
{
    return m_window.isVisible() && !m_window.isMinimized() && m_window.isActiveWindow();
}

void CDesktopAlertHub::ShowWindowAtStart()
{
    if (!HostSettings::kStartMinimised.Read(m_pSettings)) {
        m_window.show();
        return;
    }
    if (!m_bUseTray)
        m_window.showMinimized();
}

void CDesktopAlertHub::ShowWindow()
{
    if (m_window.isMinimized())
        m_window.showNormal();
    else
        m_window.show();
    m_window.raise();
    m_window.activateWindow();
    m_pTray->ClearUnseen();
}

void CDesktopAlertHub::Quit()
{
    m_bQuitting = true;
    if (!m_window.close())
        m_bQuitting = false;
}

bool CDesktopAlertHub::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window) {
        if (event->type() == QEvent::WindowActivate) {
            m_pTray->ClearUnseen();
        } else if (event->type() == QEvent::Close) {
            if (!m_bQuitting && m_bUseTray && HostSettings::kCloseToTray.Read(m_pSettings)) {
                m_window.hide();
                event->ignore();
                return true;
            }
            // The window goes for good: the program ends with it even while the tray keeps
            // other windows from ending it.
            QTimer::singleShot(0, this, [this] {
                if (!m_window.isVisible())
                    QCoreApplication::quit();
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

CHistoryWindow* CDesktopAlertHub::OpenHistory()
{
    CAlertHistory* history = m_pOutputs ? m_pOutputs->History() : nullptr;
    if (!history) {
        CHostPrompt::Prompt().Warn(
            &m_window, tr("报警历史未开启（--no-history，或设置中已关闭，或无法打开）。"));
        return nullptr;
    }
    if (!m_pHistory) {
        m_pHistory = new CHistoryWindow(*history, &m_window, [this] { return Now().date(); });
        m_pHistory->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_pHistory, &CHistoryWindow::ChartRequested, this,
                [this](unsigned char market, const QString& code, int date, int time,
                       const QString& folder) {
                    OpenChartAt(market, code.toStdString(), date, time, folder);
                });
    } else {
        m_pHistory->Reload();
    }
    m_pHistory->show();
    m_pHistory->raise();
    m_pHistory->activateWindow();
    return m_pHistory;
}

CHistoryWindow* CDesktopAlertHub::History() const
{
    return m_pHistory.data();
}

void CDesktopAlertHub::OpenOptions()
{
    if (!m_pSettings)
        return;
    CHostOptionsDialog dialog(*m_pSettings, *m_pSecrets, CAutostartEntry(), &m_window);
    dialog.exec();
}

void CDesktopAlertHub::OpenChartAt(unsigned char market, const std::string& code, int tradingDate,
                                   int time, const QString& dayFolder)
{
    ShowWindow();
    const PendingChart chart{market, code, tradingDate, time};
    CDaySession& session = m_window.Session();
    if (session.HasDay() && session.Day()->TradeDate() == tradingDate) {
        ShowChartAt(chart);
        return;
    }
    if (!dayFolder.isEmpty() && QFileInfo(dayFolder).isDir()) {
        m_pendingChart = chart;
        m_bHasPendingChart = true;
        m_window.OpenDayInBackground(dayFolder);
        return;
    }
    CHostPrompt::Prompt().Warn(&m_window,
                               tr("%1 那天的行情不在 %2，无法打开分时图。")
                                   .arg(QStringLiteral("%1-%2-%3")
                                            .arg(tradingDate / 10000)
                                            .arg(tradingDate / 100 % 100, 2, 10, QLatin1Char('0'))
                                            .arg(tradingDate % 100, 2, 10, QLatin1Char('0')),
                                        dayFolder.isEmpty() ? tr("任何文件夹") : dayFolder));
}

void CDesktopAlertHub::OnDayOpened()
{
    if (!m_bHasPendingChart)
        return;
    m_bHasPendingChart = false;
    const CTradingDay* day = m_window.Session().Day();
    if (!day || day->TradeDate() != m_pendingChart.tradingDate)
        return;
    // After every listener has heard of the day: the replay may start again to reach the moment.
    QTimer::singleShot(0, this, [this, chart = m_pendingChart] { ShowChartAt(chart); });
}

void CDesktopAlertHub::ShowChartAt(const PendingChart& chart)
{
    CDaySession& session = m_window.Session();
    // A replay short of the moment plays up to it; a live feed is where it is.
    const bool replay = dynamic_cast<const CDayReplay*>(session.Source()) != nullptr;
    if (replay && session.Controller()->Clock() < chart.time)
        session.SeekTo(chart.time);
    m_window.OpenChart(chart.market, chart.code);
}
