#pragma once

#include <QObject>
#include <QTimer>
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
    // historyPath empty: no history. settings may be null (no outputs).
    CDesktopAlertOutputs(CDaySession& session, const std::string& historyPath, QSettings* settings,
                         QObject* parent = nullptr);
    ~CDesktopAlertOutputs() override;

    CAlertHistory* History() { return m_history.IsOpen() ? &m_history : nullptr; }
    const CAlertFanOut& FanOut() const { return *m_pFanOut; }

Q_SIGNALS:
    void Problem(const QString& text);
    // Once a frame when alerts came in, with how many.
    void AlertsCommitted(int count);

private:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;
    void OnDayOpened();
    void EndFrame();

    CDaySession& m_session;
    CAlertHistory m_history;
    std::unique_ptr<CAlertFanOut> m_pFanOut;
    QTimer m_frame;
    int m_nSinceFrame = 0;
    bool m_bHistoryFailed = false;
};
