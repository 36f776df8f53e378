#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "host/gui/CSwitchableSound.h"

class CDayReplay;
class CIntradayChart;
class CQuoteBoard;
class CReplayController;
class CTradingDay;
class CVelkAlert;
class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QProgressBar;
class QSettings;

// velk-host's main window, the quote application as a trader sees it: the quote board of the
// day, the replay controls, the module's commands and the intraday charts. It is the module's
// main window: the alert list window belongs to it, and it takes "MSG_ANALYSE" (a chart of the
// stock) and command 668 (the settings). One engine runs per trading day opened.
class CDesktopMainWindow final : public QMainWindow, private IVelkAlertObserver {
    Q_OBJECT
public:
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
    // The same with a day already loaded from folder.
    void OpenLoadedDay(std::unique_ptr<CTradingDay> day, const QString& folder);

    CVelkAlert* Engine() const { return m_pEngine.get(); }
    CReplayController* Controller() const { return m_pController; }
    CQuoteBoard* Board() const { return m_pBoard; }

    // The chart of a stock, opened or brought to the front; null without a day.
    CIntradayChart* OpenChart(unsigned char market, const std::string& code);
    std::vector<CIntradayChart*> Charts() const;

    // Alerts recorded since the day was opened or the last new day.
    int AlertsSoFar() const { return m_nAlertsSoFar; }
    // Brings the board, the charts, the status bar and the alert-list badge up to date.
    void RefreshViews();

    // The commands, as the menus and the toolbar offer them.
    void OpenSettings();
    void OpenRatioSettings();
    void ShowAlertList();
    void HideAlertList();
    void NewDay();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;
    void CreateActions();
    void CreateMenusAndToolBar();
    void CloseDay();
    void ChooseDayFolder();
    void UpdateActions();
    void UpdateStatus();
    void UpdateAlertBadge();
    void SaveSettings();
    void AddToMonitor(unsigned char market, const std::string& code);

    std::string m_strSysDir;
    QSettings* m_pSettings;
    bool m_bSilent;
    CSwitchableSound m_sound;
    CVelkServices m_services;

    std::unique_ptr<CTradingDay> m_pDay;
    std::unique_ptr<CDayReplay> m_pReplay;
    std::unique_ptr<CVelkAlert> m_pEngine;
    QString m_strDayFolder;
    int m_nAlertsSoFar = 0;
    bool m_bInSettings = false;
    int m_nBadgeShown = -1;
    std::size_t m_chartAlertsSeen = 0;
    long long m_chartTradesSeen = -1;

    CReplayController* m_pController = nullptr;
    CQuoteBoard* m_pBoard = nullptr;
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
    QAction* m_pActSettings = nullptr;
    QAction* m_pActRatio = nullptr;
    QAction* m_pActShowAlerts = nullptr;
    QAction* m_pActHideAlerts = nullptr;
    QAction* m_pActSound = nullptr;
    QActionGroup* m_pSpeedGroup = nullptr;
    QComboBox* m_pSpeedBox = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pAlertsLabel = nullptr;
    QLabel* m_pRateLabel = nullptr;
    QLabel* m_pStateLabel = nullptr;
};
