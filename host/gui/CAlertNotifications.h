#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "engine/VelkServices.h"
#include "host/outputs/CAlertEvent.h"

class CDaySession;
class CDesktopNotifier;

// Hands every alert of the desktop program's session to the desktop notifier. Alerts wait a
// moment in a short queue, one per stock (a stock's newer alert takes its older one's place,
// as its notification would replace the last), and go out a few at a time from the event loop,
// so that a burst of a whole market never floods the notification service nor holds the
// engine. While a replay seeks, what it raises again is not notified.
class CAlertNotifications final : public QObject, private IVelkAlertObserver {
    Q_OBJECT
public:
    // Stocks waiting at most; beyond them the oldest are dropped (and counted).
    static constexpr int kMaxWaiting = 32;
    static constexpr int kPerRound = 4;
    static constexpr int kRoundMs = 250;

    CAlertNotifications(CDaySession& session, CDesktopNotifier& notifier,
                        QObject* parent = nullptr);
    ~CAlertNotifications() override;

    // Whether the session's quotes are live (a feed) rather than a replay; asked at each alert.
    void SetLiveSource(std::function<bool()> isLive) { m_isLive = std::move(isLive); }
    int Waiting() const { return static_cast<int>(m_order.size()); }
    long long Dropped() const { return m_nDropped; }
    // Hands every waiting alert to the notifier now.
    void Flush() { Send(kMaxWaiting); }

Q_SIGNALS:
    // Once for every new alert the session records (not those a seek raises again), whether
    // the notifier shows it or not.
    void AlertHeard();

private:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;
    void Send(int most);

    CDaySession& m_session;
    CDesktopNotifier& m_notifier;
    std::function<bool()> m_isLive;
    QHash<QString, CAlertEvent> m_waiting;
    QStringList m_order;
    long long m_nDropped = 0;
    QTimer m_round;
};
