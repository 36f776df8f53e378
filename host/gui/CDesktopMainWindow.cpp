#include "host/gui/CDesktopMainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <algorithm>

#include "engine/CVelkAlert.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CBoardKeyWizzard.h"
#include "host/gui/CDesktopLiveFeed.h"
#include "host/gui/CHostPrompt.h"
#include "host/gui/CIntradayChart.h"
#include "host/gui/CLiveFeed.h"
#include "host/gui/CQuoteBoard.h"
#include "host/gui/CQuoteBoardModel.h"
#include "host/gui/CReplayController.h"
#include "host/gui/CSeekBar.h"
#include "host/gui/HostSettingKeys.h"
#include "hostapi/KQBkApi.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkClockText.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"

namespace {

constexpr std::uintptr_t kSettingsCommand = 668;
constexpr int kRefreshMs = 150;

QString SpeedText(int speed)
{
    return speed == CReplayController::kFastest
               ? QCoreApplication::translate("CDesktopMainWindow", "最快")
               : QString::number(speed) + QStringLiteral("×");
}

QString ClockText(int seconds)
{
    if (seconds < 0)
        return QStringLiteral("--:--:--");
    return QString::fromStdString(VelkClockText(seconds));
}

// The alert-list icon, with a red dot while an alert waits unseen.
QIcon AlertListIcon(const QStyle* style, bool badge)
{
    QPixmap pixmap = style->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32);
    if (badge) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(QColor(230, 0, 0));
        painter.drawEllipse(QRectF(17, 1, 14, 14));
    }
    return QIcon(pixmap);
}

// Why a file the engine could not replace was not written, as far as the file system says.
QString WriteFailure(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir())
        return QCoreApplication::translate("CDesktopMainWindow", "同名的文件夹占用了它的位置");
    if (!folder.isDir())
        return QCoreApplication::translate("CDesktopMainWindow", "所在的文件夹不存在");
    if (!folder.isWritable())
        return QCoreApplication::translate("CDesktopMainWindow", "没有在所在文件夹中写入的权限");
    if (file.exists() && !file.isWritable())
        return QCoreApplication::translate("CDesktopMainWindow", "文件是只读的");
    return QCoreApplication::translate("CDesktopMainWindow", "文件无法写入（磁盘已满或出错）");
}

} // namespace

CDesktopMainWindow::CDesktopMainWindow(std::string sysDir, QSettings* settings, bool silent,
                                       QWidget* parent)
    : QMainWindow(parent), m_pSettings(settings), m_bSilent(silent),
      m_session(std::move(sysDir), VelkRegisteredServices()),
      m_nAnalyseMessage(VelkRegisterWindowMessage("MSG_ANALYSE"))
{
    m_session.Sound().SetEnabled(!silent && HostSettings::kSound.Read(m_pSettings));

    setWindowTitle(tr("VelkSystemAlert 行情回放"));
    m_pController = m_session.Controller();
    m_pBoard = new CQuoteBoard(this);
    m_pBoard->UseSettings(m_pSettings);
    m_session.SetTradeListener([this](unsigned char market, const std::string& code) {
        m_pBoard->Model()->MarkTraded(market, code);
    });
    connect(&m_session, &CDaySession::DayClosing, this, [this] {
        CloseCharts();
        m_pBoard->Model()->Clear();
    });
    connect(&m_session, &CDaySession::DayOpened, this, &CDesktopMainWindow::OnDayOpened);
    connect(&m_session, &CDaySession::Failure, this,
            [this](const QString& text) { CHostPrompt::Prompt().Warn(this, text); });
    connect(&m_session, &CDaySession::DayFileKeptAside, this, [this](const QString& path) {
        // Told once: each later replay keeps its own file the same way.
        statusBar()->showMessage(tr("先前的报警记录已保存为 %1").arg(path), 10000);
        if (m_bToldOfKeptFile)
            return;
        m_bToldOfKeptFile = true;
        CHostPrompt::Prompt().Inform(
            this, tr("每次回放都从空的报警列表开始。\n同一天先前的报警记录未作改动，保存为：\n%1")
                      .arg(path));
    });
    setCentralWidget(m_pBoard);
    // Tab leaves the board for the next control instead of walking its cells.
    m_pBoard->View()->setTabKeyNavigation(false);
    CreateActions();
    CreateMenusAndToolBar();

    m_pAlertsLabel = new QLabel(this);
    m_pRateLabel = new QLabel(this);
    m_pStateLabel = new QLabel(this);
    m_pLoadBar = new QProgressBar(this);
    m_pLoadBar->setObjectName(QStringLiteral("loadProgress"));
    m_pLoadBar->setRange(0, 1000);
    m_pLoadBar->setMaximumWidth(200);
    m_pLoadBar->hide();
    m_pLoadCancel = new QPushButton(tr("取消"), this);
    m_pLoadCancel->setObjectName(QStringLiteral("loadCancel"));
    m_pLoadCancel->hide();
    statusBar()->addPermanentWidget(m_pLoadBar);
    statusBar()->addPermanentWidget(m_pLoadCancel);
    connect(m_pLoadCancel, &QPushButton::clicked, &m_loader, &CDayLoader::Cancel);
    connect(&m_loader, &CDayLoader::Progress, m_pLoadBar, &QProgressBar::setValue);
    auto loadEnded = [this] {
        m_pLoadBar->hide();
        m_pLoadCancel->hide();
        statusBar()->clearMessage();
    };
    connect(&m_loader, &CDayLoader::Loaded, this, [this, loadEnded](const QString& folder) {
        loadEnded();
        std::unique_ptr<CTradingDay> day = m_loader.TakeDay();
        std::unique_ptr<CDayReplay> replay = m_loader.TakeReplay();
        m_session.OpenDayWithSource(std::move(day), std::move(replay), folder,
                                    CDaySession::DayFileUse::FreshReplay);
    });
    connect(&m_loader, &CDayLoader::Failed, this,
            [this, loadEnded](const QString& folder, const QString& error) {
                loadEnded();
                CHostPrompt::Prompt().Warn(this, tr("无法打开交易日 %1\n%2").arg(folder, error));
            });
    connect(&m_loader, &CDayLoader::Cancelled, this, [this, loadEnded](const QString& folder) {
        loadEnded();
        statusBar()->showMessage(tr("已取消打开 %1").arg(folder), 5000);
    });
    statusBar()->addPermanentWidget(m_pRestartOffer);
    statusBar()->addPermanentWidget(m_pStateLabel);
    statusBar()->addPermanentWidget(m_pRateLabel);
    statusBar()->addPermanentWidget(m_pAlertsLabel);
    m_pLiveFeed = new CDesktopLiveFeed(*this, m_session, m_pMenuFile, m_pActNewDay, m_pSettings);
    connect(m_pLiveFeed, &CDesktopLiveFeed::ActiveChanged, this, [this] {
        // A day still loading would end the feed's day when it is ready.
        if (m_pLiveFeed->IsActive())
            m_loader.Cancel();
        UpdateActions();
        RefreshViews();
    });
    // The board lists the stocks as the feed announces them: a whole market comes over many
    // frames, and each adds only its own rows.
    connect(&m_pLiveFeed->Feed(), &CLiveFeed::SymbolsAdded, this, [this](bool first) {
        if (first)
            m_pBoard->Model()->Reload();
        else
            m_pBoard->Model()->AddNewSymbols();
    });

    connect(m_pBoard, &CQuoteBoard::ChartRequested, this,
            [this](unsigned char market, const QByteArray& code) {
                OpenChart(market, code.toStdString());
            });
    connect(m_pBoard, &CQuoteBoard::AddToMonitorRequested, this,
            [this](unsigned char market, const QByteArray& code) {
                AddToMonitor(market, code.toStdString());
            });
    connect(m_pController, &CReplayController::StateChanged, this, [this] {
        UpdateActions();
        RefreshViews();
    });
    // While the replay plays, the views follow on the refresh timer; a step or a pause shows
    // its result at once.
    connect(m_pController, &CReplayController::Advanced, this, [this] {
        if (m_pController->GetState() != CReplayController::State::Playing)
            RefreshViews();
    });
    connect(&m_refreshTimer, &QTimer::timeout, this, &CDesktopMainWindow::RefreshViews);
    m_refreshTimer.start(kRefreshMs);

    if (m_pSettings) {
        m_pController->SetSpeed(HostSettings::kSpeed.Read(m_pSettings));
        restoreGeometry(HostSettings::kWindowGeometry.Read(m_pSettings));
        restoreState(HostSettings::kWindowState.Read(m_pSettings));
    }
    if (!HostSettings::kWindowGeometry.IsStored(m_pSettings))
        resize(1200, 760);
    UpdateActions();
    RefreshViews();
}

CDesktopMainWindow::~CDesktopMainWindow()
{
    m_refreshTimer.stop();
    // The feed's reader stops before its day ends.
    m_pLiveFeed->Disconnect();
    // The engine goes before the windows it owns go with this one; its alert list window
    // writes the day file as it goes.
    m_session.CloseDay();
}

void CDesktopMainWindow::CreateActions()
{
    QStyle* s = style();
    auto make = [this](const char* name, QStyle::StandardPixmap icon, const char* text,
                       const QKeySequence& key) {
        auto* action = new QAction(style()->standardIcon(icon), tr(text), this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(key);
        addAction(action);
        return action;
    };
    m_pActOpen = make("actionOpenDay", QStyle::SP_DialogOpenButton, QT_TR_NOOP("打开交易日(&O)..."),
                      QKeySequence::Open);
    m_pActNewDay = make("actionNewDay", QStyle::SP_BrowserReload, QT_TR_NOOP("新的一天(&N)"),
                        QKeySequence(Qt::CTRL | Qt::Key_N));
    m_pActQuit = make("actionQuit", QStyle::SP_DialogCloseButton, QT_TR_NOOP("退出(&X)"),
                      QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_pActPlay =
        make("actionPlay", QStyle::SP_MediaPlay, QT_TR_NOOP("播放(&P)"), QKeySequence(Qt::Key_F5));
    m_pActPause = make("actionPause", QStyle::SP_MediaPause, QT_TR_NOOP("暂停(&A)"),
                       QKeySequence(Qt::Key_F6));
    m_pActStep = make("actionStep", QStyle::SP_MediaSkipForward, QT_TR_NOOP("单步一秒(&S)"),
                      QKeySequence(Qt::Key_F7));
    m_pActRestart = make("actionRestart", QStyle::SP_MediaSkipBackward, QT_TR_NOOP("从头回放(&B)"),
                         QKeySequence(Qt::CTRL | Qt::Key_R));
    m_pActFaster = make("actionFaster", QStyle::SP_MediaSeekForward, QT_TR_NOOP("加快(&+)"),
                        QKeySequence(Qt::CTRL | Qt::Key_Equal));
    m_pActFaster->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    m_pActSlower = make("actionSlower", QStyle::SP_MediaSeekBackward, QT_TR_NOOP("减慢(&-)"),
                        QKeySequence(Qt::CTRL | Qt::Key_Minus));
    m_pActPlayPause = make("actionPlayPause", QStyle::SP_MediaPlay, QT_TR_NOOP("播放/暂停"),
                           QKeySequence(Qt::Key_Space));
    m_pActSettings = make("actionSettings", QStyle::SP_FileDialogDetailedView,
                          QT_TR_NOOP("报警设置(&S)..."), QKeySequence(Qt::Key_F8));
    m_pActRatio = make("actionRatioSettings", QStyle::SP_FileDialogInfoView,
                       QT_TR_NOOP("比率设置(&R)..."), QKeySequence(Qt::SHIFT | Qt::Key_F8));
    m_pActShowAlerts = make("actionShowAlerts", QStyle::SP_MessageBoxWarning,
                            QT_TR_NOOP("显示报警列表(&L)"), QKeySequence(Qt::Key_F9));
    m_pActHideAlerts = make("actionHideAlerts", QStyle::SP_TitleBarMinButton,
                            QT_TR_NOOP("隐藏报警列表(&H)"), QKeySequence(Qt::SHIFT | Qt::Key_F9));
    m_pActFind = make("actionFindStock", QStyle::SP_FileDialogContentsView,
                      QT_TR_NOOP("筛选股票(&F)"), QKeySequence::Find);
    m_pActSound =
        make("actionSound", QStyle::SP_MediaVolume, QT_TR_NOOP("报警声音(&V)"), QKeySequence());
    m_pActSound->setCheckable(true);
    m_pActSound->setChecked(m_session.Sound().IsEnabled());
    m_pActShowAlerts->setIcon(AlertListIcon(s, false));
    // The keys work from every window of the program, a chart's as much as this one's; a modal
    // dialog still holds them off. Space stays with this window and the charts (which take the
    // action), as buttons and lists of the other windows press and select with it.
    for (QAction* action : actions())
        if (action != m_pActPlayPause)
            action->setShortcutContext(Qt::ApplicationShortcut);

    connect(m_pActOpen, &QAction::triggered, this, &CDesktopMainWindow::ChooseDayFolder);
    connect(m_pActNewDay, &QAction::triggered, this, &CDesktopMainWindow::NewDay);
    connect(m_pActFind, &QAction::triggered, this, &CDesktopMainWindow::FocusFilter);
    connect(m_pActQuit, &QAction::triggered, this, &QWidget::close);
    connect(m_pActPlay, &QAction::triggered, this, [this] {
        // At the end of the day, play starts the day again.
        if (m_pController->GetState() == CReplayController::State::Finished)
            m_session.Restart();
        m_pController->Play();
    });
    connect(m_pActRestart, &QAction::triggered, this, &CDesktopMainWindow::RestartReplay);
    connect(m_pActFaster, &QAction::triggered, m_pController, &CReplayController::Faster);
    connect(m_pActSlower, &QAction::triggered, m_pController, &CReplayController::Slower);
    connect(m_pActPause, &QAction::triggered, m_pController, &CReplayController::Pause);
    connect(m_pActStep, &QAction::triggered, m_pController, &CReplayController::StepSecond);
    connect(m_pActPlayPause, &QAction::triggered, this, [this] {
        if (m_pController->GetState() == CReplayController::State::Playing)
            m_pController->Pause();
        else
            m_pController->Play();
    });
    connect(m_pActSettings, &QAction::triggered, this, &CDesktopMainWindow::OpenSettings);
    connect(m_pActRatio, &QAction::triggered, this, &CDesktopMainWindow::OpenRatioSettings);
    connect(m_pActShowAlerts, &QAction::triggered, this, &CDesktopMainWindow::ShowAlertList);
    connect(m_pActHideAlerts, &QAction::triggered, this, &CDesktopMainWindow::HideAlertList);
    connect(m_pActSound, &QAction::toggled, this, [this](bool on) {
        m_session.Sound().SetEnabled(on);
        m_pActSound->setIcon(
            style()->standardIcon(on ? QStyle::SP_MediaVolume : QStyle::SP_MediaVolumeMuted));
    });
    m_pActSound->setIcon(s->standardIcon(
        m_session.Sound().IsEnabled() ? QStyle::SP_MediaVolume : QStyle::SP_MediaVolumeMuted));

    m_pSpeedGroup = new QActionGroup(this);
    for (int speed : CReplayController::kSpeeds) {
        QAction* action = m_pSpeedGroup->addAction(SpeedText(speed));
        action->setCheckable(true);
        action->setData(speed);
        action->setChecked(speed == m_pController->Speed());
    }
    connect(m_pSpeedGroup, &QActionGroup::triggered, this,
            [this](QAction* action) { m_pController->SetSpeed(action->data().toInt()); });
}

void CDesktopMainWindow::CreateMenusAndToolBar()
{
    QMenu* file = m_pMenuFile = menuBar()->addMenu(tr("文件(&F)"));
    file->addAction(m_pActOpen);
    file->addAction(m_pActNewDay);
    file->addSeparator();
    file->addAction(m_pActQuit);

    QMenu* replay = m_pMenuReplay = menuBar()->addMenu(tr("回放(&R)"));
    replay->addAction(m_pActPlay);
    replay->addAction(m_pActPause);
    replay->addAction(m_pActStep);
    replay->addAction(m_pActRestart);
    replay->addSeparator();
    replay->addAction(m_pActFaster);
    replay->addAction(m_pActSlower);
    QMenu* speed = replay->addMenu(tr("速度(&V)"));
    speed->addActions(m_pSpeedGroup->actions());

    QMenu* alerts = m_pMenuAlerts = menuBar()->addMenu(tr("预警(&A)"));
    alerts->addAction(m_pActSettings);
    alerts->addAction(m_pActRatio);
    alerts->addSeparator();
    alerts->addAction(m_pActShowAlerts);
    alerts->addAction(m_pActHideAlerts);
    alerts->addSeparator();
    alerts->addAction(m_pActSound);
    m_pMenuView = menuBar()->addMenu(tr("查看(&V)"));
    m_pMenuView->addAction(m_pActFind);

    QToolBar* bar = addToolBar(tr("工具栏"));
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(m_pActOpen);
    bar->addSeparator();
    bar->addAction(m_pActPlay);
    bar->addAction(m_pActPause);
    bar->addAction(m_pActStep);
    m_pSpeedBox = new QComboBox(bar);
    m_pSpeedBox->setObjectName(QStringLiteral("speedBox"));
    m_pSpeedBox->setToolTip(tr("回放速度"));
    for (int speed : CReplayController::kSpeeds)
        m_pSpeedBox->addItem(SpeedText(speed), speed);
    m_pSpeedBox->setCurrentIndex(m_pSpeedBox->findData(m_pController->Speed()));
    bar->addWidget(m_pSpeedBox);
    connect(m_pSpeedBox, &QComboBox::activated, this,
            [this](int index) { m_pController->SetSpeed(m_pSpeedBox->itemData(index).toInt()); });
    connect(m_pController, &CReplayController::SpeedChanged, this, [this](int speed) {
        m_pSpeedBox->setCurrentIndex(m_pSpeedBox->findData(speed));
        for (QAction* action : m_pSpeedGroup->actions())
            action->setChecked(action->data().toInt() == speed);
    });
    m_pProgress = new CSeekBar(bar);
    m_pProgress->setObjectName(QStringLiteral("replayProgress"));
    m_pProgress->setRange(0, 1000);
    m_pProgress->setTextVisible(true);
    m_pProgress->setMinimumWidth(220);
    m_pProgress->setMaximumWidth(360);
    m_pProgress->setAlignment(Qt::AlignCenter);
    m_pProgress->setToolTip(tr("拖动以定位回放"));
    bar->addWidget(m_pProgress);
    connect(m_pProgress, &CSeekBar::SeekRequested, this, [this](int permille) {
        const int start = m_pController->DayStart();
        const int end = m_pController->DayEnd();
        if (start < 0 || end < start)
            return;
        m_session.SeekTo(start + static_cast<int>((end - start) * (permille / 1000.0) + 0.5));
    });
    m_pRestartOffer = new QPushButton(tr("回放结束，从头回放"), this);
    m_pRestartOffer->setObjectName(QStringLiteral("restartOffer"));
    m_pRestartOffer->setFlat(true);
    m_pRestartOffer->hide();
    connect(m_pRestartOffer, &QPushButton::clicked, this, [this] {
        m_session.Restart();
        m_pController->Play();
    });
    bar->addSeparator();
    bar->addAction(m_pActSettings);
    bar->addAction(m_pActShowAlerts);
    bar->addAction(m_pActSound);
}

QMenu* CDesktopMainWindow::Menu(MenuId id) const
{
    switch (id) {
    case MenuId::File:
        return m_pMenuFile;
    case MenuId::Replay:
        return m_pMenuReplay;
    case MenuId::Alerts:
        return m_pMenuAlerts;
    case MenuId::View:
        return m_pMenuView;
    }
    return nullptr;
}

bool CDesktopMainWindow::OpenDay(const QString& folder, QString* error)
{
    return m_session.OpenDay(folder, error);
}

void CDesktopMainWindow::OpenLoadedDay(std::unique_ptr<CTradingDay> day, const QString& folder)
{
    m_session.OpenLoadedDay(std::move(day), folder);
}

void CDesktopMainWindow::OnDayOpened()
{
    m_pBoard->Model()->Reload();
    // The wizard offers the stocks of the day now open, not of the first one.
    if (CBoardKeyWizzard* wizard = m_pBoard->Wizard())
        wizard->RebuildCandidates();
    m_chartAlertsSeen = 0;
    m_chartTradesSeen = -1;
    const int date = m_session.Day()->TradeDate();
    setWindowTitle(tr("VelkSystemAlert 行情回放 - ") +
                   QStringLiteral("%1-%2-%3")
                       .arg(date / 10000)
                       .arg(date / 100 % 100, 2, 10, QLatin1Char('0'))
                       .arg(date % 100, 2, 10, QLatin1Char('0')));
    // A feed's day is no folder to open again.
    if (!m_pLiveFeed->IsActive())
        HostSettings::kLastDay.Write(m_pSettings, m_session.DayFolder());
    UpdateActions();
    RefreshViews();
}

void CDesktopMainWindow::CloseCharts()
{
    for (const QPointer<CIntradayChart>& chart : m_charts)
        delete chart.data();
    m_charts.clear();
}

void CDesktopMainWindow::ChooseDayFolder()
{
    const QString start = m_session.DayFolder().isEmpty() ? HostSettings::kLastDay.Read(m_pSettings)
                                                          : m_session.DayFolder();
    const QString folder = QFileDialog::getExistingDirectory(this, tr("打开交易日文件夹"), start);
    if (folder.isEmpty())
        return;
    OpenDayInBackground(folder);
}

void CDesktopMainWindow::OpenDayInBackground(const QString& folder)
{
    m_pLoadBar->setValue(0);
    m_pLoadBar->show();
    m_pLoadCancel->show();
    statusBar()->showMessage(tr("正在打开 %1").arg(folder));
    m_loader.Start(folder);
}

CIntradayChart* CDesktopMainWindow::OpenChart(unsigned char market, const std::string& code)
{
    CVelkAlert* engine = m_session.Engine();
    if (!engine || code.empty())
        return nullptr;
    std::erase_if(m_charts, [](const QPointer<CIntradayChart>& chart) { return chart.isNull(); });
    for (const QPointer<CIntradayChart>& chart : m_charts) {
        if (chart->Market() == market && chart->Code() == code) {
            chart->show();
            chart->raise();
            chart->activateWindow();
            return chart.data();
        }
    }
    auto* chart = new CIntradayChart(market, code, m_session.Day()->TradeDate(),
                                     m_pController->DayStart(), m_pController->DayEnd(), this);
    chart->setAttribute(Qt::WA_DeleteOnClose);
    chart->addAction(m_pActPlayPause);
    m_charts.emplace_back(chart);
    chart->Refresh(engine->GetAlertRecords());
    chart->show();
    chart->raise();
    return chart;
}

std::vector<CIntradayChart*> CDesktopMainWindow::Charts() const
{
    std::vector<CIntradayChart*> charts;
    for (const QPointer<CIntradayChart>& chart : m_charts)
        if (chart)
            charts.push_back(chart.data());
    return charts;
}

void CDesktopMainWindow::RefreshViews()
{
    m_pBoard->Model()->Flush();
    if (CVelkAlert* engine = m_session.Engine()) {
        const std::size_t alerts = engine->GetAlertRecords().size();
        const long long trades = m_pController->TradesReplayed();
        // The alert list may shrink and grow back to the same length (a new day), so any
        // change of either count, or a chart opened meanwhile, redraws the charts.
        if (alerts != m_chartAlertsSeen || trades != m_chartTradesSeen) {
            for (CIntradayChart* chart : Charts())
                chart->Refresh(engine->GetAlertRecords());
            m_chartAlertsSeen = alerts;
            m_chartTradesSeen = trades;
        }
    }
    UpdateStatus();
    UpdateAlertBadge();
}

void CDesktopMainWindow::UpdateStatus()
{
    if (!m_pProgress->IsDragging())
        m_pProgress->setValue(m_pController->Progress());
    // While a feed is followed, the feed's status stands for the replay's.
    const bool live = m_pLiveFeed && m_pLiveFeed->IsActive();
    m_pStateLabel->setVisible(!live);
    m_pRateLabel->setVisible(!live);
    m_pRestartOffer->setVisible(!live &&
                                m_pController->GetState() == CReplayController::State::Finished &&
                                m_session.HasDay());
    m_pProgress->setFormat(ClockText(m_pController->Clock()));
    m_pAlertsLabel->setText(tr("报警 %1 条").arg(m_session.AlertsSoFar()));
    m_pRateLabel->setText(tr("成交 %1 笔/秒").arg(m_pController->TradesPerSecond()));
    switch (m_pController->GetState()) {
    case CReplayController::State::Idle:
        m_pStateLabel->setText(tr("未打开交易日"));
        break;
    case CReplayController::State::Playing:
        m_pStateLabel->setText(tr("回放中 ") + SpeedText(m_pController->Speed()));
        break;
    case CReplayController::State::Paused:
        m_pStateLabel->setText(tr("已暂停"));
        break;
    case CReplayController::State::Seeking:
        m_pStateLabel->setText(tr("定位中"));
        break;
    case CReplayController::State::Finished:
        m_pStateLabel->setText(tr("回放结束"));
        break;
    }
}

void CDesktopMainWindow::UpdateAlertBadge()
{
    const int flag = m_session.Engine() ? m_session.Engine()->GetNewAlertFlag() : 0;
    if (flag == m_nBadgeShown)
        return;
    m_nBadgeShown = flag;
    m_pActShowAlerts->setIcon(AlertListIcon(style(), flag != 0));
    m_pActShowAlerts->setToolTip(flag ? tr("显示报警列表 (有新报警)") : tr("显示报警列表"));
}

void CDesktopMainWindow::UpdateActions()
{
    // The replay's commands do not apply to a day that a feed drives.
    const bool live = m_pLiveFeed && m_pLiveFeed->IsActive();
    const bool hasDay = m_session.HasDay();
    const bool replay = hasDay && !live;
    const CReplayController::State state = m_pController->GetState();
    const bool canRun = replay && state != CReplayController::State::Finished;
    const bool hasEvents = replay && m_pController->DayStart() >= 0;
    m_pActPlay->setEnabled(hasEvents && state != CReplayController::State::Playing);
    m_pActRestart->setEnabled(replay);
    m_pProgress->setEnabled(replay);
    m_pSpeedBox->setEnabled(!live);
    m_pSpeedGroup->setEnabled(!live);
    m_pActFaster->setEnabled(!live);
    m_pActSlower->setEnabled(!live);
    m_pActOpen->setEnabled(!live);
    m_pActPause->setEnabled(state == CReplayController::State::Playing);
    m_pActPlayPause->setEnabled(canRun);
    m_pActStep->setEnabled(canRun);
    m_pActNewDay->setEnabled(replay);
    m_pActSettings->setEnabled(m_session.CanOpenSettings());
    m_pActRatio->setEnabled(m_session.HasRatioPage());
    m_pActShowAlerts->setEnabled(hasDay);
    m_pActHideAlerts->setEnabled(hasDay);
}

void CDesktopMainWindow::OpenSettings()
{
    m_session.OpenSettings();
}

void CDesktopMainWindow::OpenRatioSettings()
{
    const std::vector<std::string> unsaved = m_session.OpenRatioSettings();
    if (unsaved.empty())
        return;
    // The engine names each file it could not write, marked when another program changed it
    // meanwhile; the window says why for each one.
    static const QString changedElsewhere = QStringLiteral("  (其他程序已修改)");
    QStringList lines;
    for (const std::string& name : unsaved) {
        QString path = QString::fromStdString(name);
        QString why;
        if (path.endsWith(changedElsewhere)) {
            path.chop(changedElsewhere.size());
            why = tr("其他程序已修改了它");
        } else {
            why = WriteFailure(path);
        }
        lines << tr("比率设置未能保存到 %1：%2").arg(path, why);
    }
    CHostPrompt::Prompt().Warn(this, lines.join(QLatin1Char('\n')));
}

void CDesktopMainWindow::FocusFilter()
{
    QLineEdit* filter = m_pBoard->FilterEdit();
    if (!isActiveWindow()) {
        raise();
        activateWindow();
    }
    filter->setFocus(Qt::ShortcutFocusReason);
    filter->selectAll();
}

void CDesktopMainWindow::ShowAlertList()
{
    m_session.ShowAlertList();
    UpdateAlertBadge();
}

void CDesktopMainWindow::HideAlertList()
{
    m_session.HideAlertList();
}

void CDesktopMainWindow::NewDay()
{
    if (!m_session.HasDay())
        return;
    if (!CHostPrompt::Prompt().Confirm(this, tr("开始新的一天？\n回放将从开盘重新开始，报警列表清空"
                                                "；本次的报警记录另存，不会丢失。")))
        return;
    RestartReplay();
}

void CDesktopMainWindow::RestartReplay()
{
    if (!m_session.HasDay())
        return;
    m_session.Restart();
    RefreshViews();
}

void CDesktopMainWindow::AddToMonitor(unsigned char market, const std::string& code)
{
    if (!m_session.HasDay())
        return;
    const bool added = m_session.AddToMonitor(market, code);
    statusBar()->showMessage(
        (added ? tr("已加入系统预警: %1") : tr("%1 已在系统预警列表中")).arg(VelkFromGbk(code)),
        4000);
}

bool CDesktopMainWindow::event(QEvent* event)
{
    const int type = static_cast<int>(event->type());
    if (type == m_nAnalyseMessage) {
        auto* message = static_cast<CVelkMessageEvent*>(event);
        // The stock lives only for the duration of the send.
        if (const auto* symbol = reinterpret_cast<const CSymbolInfo*>(message->lParam()))
            OpenChart(symbol->m_byMarket, symbol->m_strCode);
        message->m_result = 0;
        return true;
    }
    if (type == VelkCommandMessage()) {
        if (static_cast<CVelkMessageEvent*>(event)->wParam() == kSettingsCommand)
            OpenSettings();
        return true;
    }
    return QMainWindow::event(event);
}

void CDesktopMainWindow::closeEvent(QCloseEvent* event)
{
    SaveSettings();
    QMainWindow::closeEvent(event);
}

void CDesktopMainWindow::SaveSettings()
{
    if (!m_pSettings)
        return;
    HostSettings::kWindowGeometry.Write(m_pSettings, saveGeometry());
    HostSettings::kWindowState.Write(m_pSettings, saveState());
    HostSettings::kSpeed.Write(m_pSettings, m_pController->Speed());
    // A run told to be silent does not decide the sound of the runs after it.
    if (!m_bSilent)
        HostSettings::kSound.Write(m_pSettings, m_session.Sound().IsEnabled());
    m_pSettings->sync();
}
