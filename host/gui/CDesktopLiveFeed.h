#pragma once

#include <QObject>
#include <QString>

class CDaySession;
class CFeedLogPanel;
class CFeedStatusBar;
class CLiveFeed;
class QAction;
class QMainWindow;
class QMenu;
class QSettings;

// The desktop window's live feed: 文件 → 连接行情源 with the address remembered, a disconnect
// command, the feed's part of the status bar and the dock of skipped lines.
class CDesktopLiveFeed final : public QObject {
    Q_OBJECT
public:
    // The actions go into fileMenu before `before`; the status and the dock into the window.
    CDesktopLiveFeed(QMainWindow& window, CDaySession& day, QMenu* fileMenu, QAction* before,
                     QSettings* settings);
    ~CDesktopLiveFeed() override;

    // Asks for the address and connects.
    void ChooseFeed();
    // Connects to the address and remembers it; a bad address is told to the user.
    bool ConnectTo(const QString& address);
    void Disconnect();
    // A feed is followed: the replay's commands do not apply.
    bool IsActive() const;

    CLiveFeed& Feed() { return *m_pFeed; }
    CFeedStatusBar* StatusBar() const { return m_pStatus; }
    CFeedLogPanel* LogPanel() const { return m_pLog; }
    QAction* ConnectAction() const { return m_pActConnect; }
    QAction* DisconnectAction() const { return m_pActDisconnect; }

Q_SIGNALS:
    // Connected, lost or ended: the window's commands change.
    void ActiveChanged();

private:
    void OnStateChanged();

    QMainWindow& m_window;
    QSettings* m_pSettings;
    CLiveFeed* m_pFeed;
    CFeedStatusBar* m_pStatus;
    CFeedLogPanel* m_pLog;
    QAction* m_pActConnect;
    QAction* m_pActDisconnect;
    bool m_bWasActive = false;
};
