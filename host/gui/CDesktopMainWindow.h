#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "host/gui/CDayLoader.h"
#include "host/gui/CDaySession.h"

class CDesktopLiveFeed;
class CIntradayChart;
class CQuoteBoard;
class CReplayController;
class CTradingDay;
class CVelkAlert;
class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class CSeekBar;
class QProgressBar;
class QPushButton;
class QSettings;

// velk-host's main window, the quote application as a trader sees it: the quote board of the
// day, the replay controls, the module's commands and the intraday charts. It is the module's
// main window: the alert list window belongs to it, and it takes "MSG_ANALYSE" (a chart of the
// stock) and command 668 (the settings). The day, its engine and its clock are the session's;
// the window shows them and turns the user's commands into the session's.
class CDesktopMainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // The menus other parts of the program add their actions to.
    enum class MenuId { File, Replay, Alerts, View };

    // sysDir is the engine's system directory. settings keep the window's geometry, the last
    // day folder, the speed and the sound switch; null keeps nothing. silent starts with the
    // sound switched off.
    CDesktopMainWindow(std::string sysDir, QSettings* settings, bool silent,
                       QWidget* parent = nullptr);
    ~CDesktopMainWindow() override;

    // Checks the folder's trading day and, when it is sound, ends the day in place (its engine
    // writes the day file) and starts a new engine on it, paused at the day's start. A bad
    // folder leaves the day in place and gives the reason in error.
    bool OpenDay(const QString& folder, QString* error = nullptr);
    // The same on a thread of its own, with the progress and a cancel button in the status
    // bar; the day in place goes on until the new one is ready. A failure is told to the user.
    void OpenDayInBackground(const QString& folder);
    CDayLoader& Loader() { return m_loader; }
    // The same with a day already loaded from folder.
    void OpenLoadedDay(std::unique_ptr<CTradingDay> day, const QString& folder);

    CDaySession& Session() { return m_session; }
    CVelkAlert* Engine() const { return m_session.Engine(); }
    CReplayController* Controller() const { return m_session.Controller(); }
    CQuoteBoard* Board() const { return m_pBoard; }
    // The live feed: 文件 → 连接行情源, its status and its log.
    CDesktopLiveFeed* LiveFeed() const { return m_pLiveFeed; }
    QMenu* Menu(MenuId id) const;

    // The chart of a stock, opened or brought to the front; null without a day.
    CIntradayChart* OpenChart(unsigned char market, const std::string& code);
    std::vector<CIntradayChart*> Charts() const;

    // Alerts recorded since the day was opened or the last new day.
    int AlertsSoFar() const { return m_session.AlertsSoFar(); }
    // Brings the board, the charts, the status bar and the alert-list badge up to date.
    void RefreshViews();

    // The commands, as the menus and the toolbar offer them.
    void OpenSettings();
    void OpenRatioSettings();
    void ShowAlertList();
    void HideAlertList();
    // Ctrl+F: the board's filter takes the keys, its text selected.
    void FocusFilter();
    // Asks first: a new day starts the replay again from the open with a clean alert list.
    void NewDay();
    void RestartReplay();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenusAndToolBar();
    void OnDayOpened();
    void CloseCharts();
    void ChooseDayFolder();
    void UpdateActions();
    void UpdateStatus();
    void UpdateAlertBadge();
    void SaveSettings();
    void AddToMonitor(unsigned char market, const std::string& code);

    QSettings* m_pSettings;
    bool m_bSilent;
    CDaySession m_session;
    CDayLoader m_loader;
    int m_nBadgeShown = -1;
    std::size_t m_chartAlertsSeen = 0;
    long long m_chartTradesSeen = -1;

    CReplayController* m_pController = nullptr;
    CQuoteBoard* m_pBoard = nullptr;
    CDesktopLiveFeed* m_pLiveFeed = nullptr;
    QMenu* m_pMenuFile = nullptr;
    QMenu* m_pMenuReplay = nullptr;
    QMenu* m_pMenuAlerts = nullptr;
    QMenu* m_pMenuView = nullptr;
    std::vector<QPointer<CIntradayChart>> m_charts;
    QTimer m_refreshTimer;
    int m_nAnalyseMessage;

    QAction* m_pActOpen = nullptr;
    QAction* m_pActNewDay = nullptr;
    QAction* m_pActQuit = nullptr;
    QAction* m_pActPlay = nullptr;
    QAction* m_pActPause = nullptr;
    QAction* m_pActPlayPause = nullptr;
    QAction* m_pActStep = nullptr;
    QAction* m_pActRestart = nullptr;
    QAction* m_pActFaster = nullptr;
    QAction* m_pActSlower = nullptr;
    QAction* m_pActSettings = nullptr;
    QAction* m_pActRatio = nullptr;
    QAction* m_pActShowAlerts = nullptr;
    QAction* m_pActHideAlerts = nullptr;
    QAction* m_pActSound = nullptr;
    QAction* m_pActFind = nullptr;
    QActionGroup* m_pSpeedGroup = nullptr;
    QComboBox* m_pSpeedBox = nullptr;
    CSeekBar* m_pProgress = nullptr;
    QPushButton* m_pRestartOffer = nullptr;
    QProgressBar* m_pLoadBar = nullptr;
    QPushButton* m_pLoadCancel = nullptr;
    bool m_bToldOfKeptFile = false;
    QLabel* m_pAlertsLabel = nullptr;
    QLabel* m_pRateLabel = nullptr;
    QLabel* m_pStateLabel = nullptr;
};
