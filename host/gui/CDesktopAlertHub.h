#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

class CAlertNotifications;
class CDesktopAlertOutputs;
class CDesktopMainWindow;
class CDesktopNotifier;
class CHistoryWindow;
class COutputsStatusLabel;
class CSecretStore;
class CTrayIcon;
class QAction;
class QSettings;

// Where the desktop program's alerts reach the trader away from the alert list: every alert
// goes to the desktop notifier (分析 opens the stock's chart, 今日静音 mutes it for the day), the
// tray shows the alerts not yet seen and pauses the notifications, and the alert menu opens the
// history window and the options. Closing the window may leave the program in the tray; the
// window may start there.
class CDesktopAlertHub final : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // outputs may be null (no history); settings may be null (no options kept).
    CDesktopAlertHub(CDesktopMainWindow& window, CDesktopAlertOutputs* outputs, QSettings* settings,
                     Clock clock = {}, QObject* parent = nullptr);
    ~CDesktopAlertHub() override;

    CDesktopNotifier& Notifier() const { return *m_pNotifier; }
    CAlertNotifications& Notifications() const { return *m_pNotifications; }
    CTrayIcon& Tray() const { return *m_pTray; }

    // Whether the tray icon is used: where the desktop has a tray, decided at start.
    bool UsesTray() const { return m_bUseTray; }
    void UseTray(bool use);

    // Whether the session's quotes are live; handed to the notifications and the history.
    void SetLiveSource(const std::function<bool()>& isLive);

    // Shown, minimised, or left in the tray, as the options say.
    void ShowWindowAtStart();
    // Brought back from the tray or from minimised, to the front; its alerts count as seen.
    void ShowWindow();
    // Closes the window for good, whatever the close-to-tray option says.
    void Quit();

    // The history window, opened or brought to the front; null (with a message) without a
    // history.
    CHistoryWindow* OpenHistory();
    CHistoryWindow* History() const;
    void OpenOptions();

    // The stock's chart at a moment of a trading day: where another day is open, the day is
    // opened from its folder first; a replay not yet at the moment is played up to it.
    void OpenChartAt(unsigned char market, const std::string& code, int tradingDate, int time,
                     const QString& dayFolder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PendingChart {
        unsigned char market = 0;
        std::string code;
        int tradingDate = 0;
        int time = 0;
    };
    QDateTime Now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    void ShowChartAt(const PendingChart& chart);
    void OnDayOpened();
    bool WindowIsSeen() const;

    CDesktopMainWindow& m_window;
    CDesktopAlertOutputs* m_pOutputs;
    QSettings* m_pSettings;
    Clock m_clock;
    std::unique_ptr<CDesktopNotifier> m_pNotifier;
    std::unique_ptr<CAlertNotifications> m_pNotifications;
    std::unique_ptr<CTrayIcon> m_pTray;
    std::unique_ptr<CSecretStore> m_pSecrets;
    QPointer<CHistoryWindow> m_pHistory;
    // In the window's status bar while outputs are configured.
    QPointer<COutputsStatusLabel> m_pOutputsStatus;
    QAction* m_pActHistory = nullptr;
    QAction* m_pActOptions = nullptr;
    bool m_bUseTray = false;
    bool m_bQuitting = false;
    bool m_bHasPendingChart = false;
    PendingChart m_pendingChart;
};
