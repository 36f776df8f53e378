#pragma once

#include <QDate>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "engine/VelkServices.h"
#include "host/outputs/CAlertFanOut.h"
#include "host/outputs/CAlertHistory.h"

class CDaySession;
class QSettings;

// The desktop program's history and outputs: listens to the session's alerts, commits the
// history once a frame from the event loop, starts a run of the history for every day opened,
// and hands each alert to the configured outputs' workers. Problems are told through
// Problem(), once each.
class CDesktopAlertOutputs final : public QObject, private IVelkAlertObserver {
    Q_OBJECT
public:
    using Today = std::function<QDate()>;

    // historyPath empty: no history. settings may be null (no outputs). The history's alerts
    // older than the settings' retention are deleted at once, counted back from today.
    CDesktopAlertOutputs(CDaySession& session, const std::string& historyPath, QSettings* settings,
                         QObject* parent = nullptr, Today today = {});
    ~CDesktopAlertOutputs() override;

    CAlertHistory* History() { return m_history.IsOpen() ? &m_history : nullptr; }
    const CAlertFanOut& FanOut() const { return *m_pFanOut; }

    // Whether the session's quotes are live rather than a replayed day; by default, any source
    // other than the day's own replay is live. Asked whenever a day opens.
    void SetLiveSource(std::function<bool()> isLive) { m_isLive = std::move(isLive); }
    bool IsLive() const;
    // Deletes the history's alerts older than the settings' retention; the alerts deleted, or -1
    // (told through Problem).
    int ApplyRetention(int todayYmd);

Q_SIGNALS:
    void Problem(const QString& text);
    // Once a frame when alerts came in, with how many.
    void AlertsCommitted(int count);

private:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;
    void OnDayOpened();
    void EndFrame();

    CDaySession& m_session;
    QSettings* m_pSettings;
    std::function<bool()> m_isLive;
    CAlertHistory m_history;
    std::unique_ptr<CAlertFanOut> m_pFanOut;
    QTimer m_frame;
    int m_nSinceFrame = 0;
    bool m_bHistoryFailed = false;
};
