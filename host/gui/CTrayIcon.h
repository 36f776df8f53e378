#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

class CDesktopNotifier;
class QAction;
class QMenu;
class QSystemTrayIcon;

// velk-host in the tray: the program's icon with the count of alerts the user has not seen, and
// a menu to show the window, pause the desktop notifications for 15 minutes, an hour or until
// tomorrow (or resume them), and quit. Where no notification service runs, alerts are shown as
// the tray's messages.
class CTrayIcon final : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    enum class Pause { Minutes15, Hour, UntilTomorrow };

    CTrayIcon(CDesktopNotifier& notifier, Clock clock = {}, QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Whether the desktop has a tray to put the icon in.
    static bool TrayAvailable();
    void Show();
    bool IsShown() const;

    int Unseen() const { return m_nUnseen; }
    void AddUnseen(int count = 1);
    void ClearUnseen();

    // When the pause ends.
    static QDateTime PauseEnd(Pause pause, const QDateTime& now);
    void PauseNotifications(Pause pause);
    void ResumeNotifications();

    QMenu* Menu() const { return m_pMenu; }
    QAction* PauseAction(Pause pause) const;
    QAction* ResumeAction() const { return m_pActResume; }
    QString ToolTip() const;
    // A notification the service could not show, as the tray's message.
    void ShowMessage(const QString& title, const QString& body, bool critical);

Q_SIGNALS:
    void ShowWindowRequested();
    void QuitRequested();

private:
    QDateTime Now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    void UpdateIcon();
    void UpdatePauseState();

    CDesktopNotifier& m_notifier;
    Clock m_clock;
    QSystemTrayIcon* m_pIcon = nullptr;
    QMenu* m_pMenu = nullptr;
    QAction* m_pActShow = nullptr;
    QAction* m_pActPause15 = nullptr;
    QAction* m_pActPauseHour = nullptr;
    QAction* m_pActPauseTomorrow = nullptr;
    QAction* m_pActResume = nullptr;
    QAction* m_pActQuit = nullptr;
    int m_nUnseen = 0;
    // A burst of alerts repaints the icon once.
    QTimer m_repaint;
};
