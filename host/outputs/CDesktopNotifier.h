#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

#include "host/outputs/CAlertEvent.h"

// Desktop notifications through the freedesktop notification service on the session bus:
// summary "青山纸业 600103 达到涨停价", the price and time below, the program's icon, critical
// urgency for limit-up and limit-down; actions 分析 (AnalyseRequested) and 今日静音 (no more
// notifications of that stock today). A stock's alerts within 60 s replace its last
// notification. Without the service, FallbackMessage asks the tray to show the alert.
class CDesktopNotifier final : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit CDesktopNotifier(QObject* parent = nullptr, Clock clock = {});
    ~CDesktopNotifier() override;

    // Whether the notification service answers on the session bus.
    bool HasService() const;
    // Shows the alert unless its stock is muted or notifications are paused. Returns the
    // notification's id, 0 when none was shown (or the fallback was asked to).
    unsigned Notify(const CAlertEvent& event);
    // The same without waiting for the service: the window's thread never blocks on the bus.
    // The id comes back later (Posted) and folds the stock's next alerts. False when the alert
    // was muted or paused away.
    bool Post(const CAlertEvent& event);
    // No notifications until the moment (a pause of 15 min, 1 h, until tomorrow).
    void PauseUntil(const QDateTime& until) { m_pausedUntil = until; }
    bool IsPaused() const { return m_pausedUntil.isValid() && Now() < m_pausedUntil; }
    bool IsMuted(unsigned char market, const QString& code) const;

Q_SIGNALS:
    void AnalyseRequested(unsigned char market, const QString& code);
    void FallbackMessage(const QString& title, const QString& body, bool critical);
    // The service has shown a posted alert under id, with its summary.
    void Posted(unsigned id, const QString& summary);

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& action);

private:
    struct Shown {
        unsigned id = 0;
        QDateTime at;
    };
    QDateTime Now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    static QString Key(unsigned char market, const QString& code);
    // HasService, asked of the bus at most every few seconds.
    bool ServiceKnownToRun();
    void Remember(const QString& key, unsigned replaced, unsigned id, const QDateTime& at);

    Clock m_clock;
    QHash<QString, Shown> m_lastByStock;
    QHash<unsigned, QString> m_stockById;
    QSet<QString> m_muted;
    QDate m_mutedDay;
    QDateTime m_pausedUntil;
    bool m_bServiceRuns = false;
    qint64 m_nServiceCheckedMs = -1;
    QElapsedTimer m_sinceCheck;
};
