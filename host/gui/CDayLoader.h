#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"

// Loads a trading day on a thread of its own, so that the event loop keeps turning while a
// day of millions of trades is read and checked: the day and its replay (whose index of the
// trades by stock is the other long step) are made there and handed over on the event loop's
// thread. One load at a time; a new one cancels the one running.
class CDayLoader final : public QObject {
    Q_OBJECT
public:
    explicit CDayLoader(QObject* parent = nullptr);
    ~CDayLoader() override;

    void Start(const QString& folder);
    // The load ends as soon as it looks (every few thousand trades) and reports Cancelled.
    void Cancel();
    bool IsLoading() const { return m_thread.joinable(); }
    QString Folder() const { return m_strFolder; }
    // After Loaded: the day, and its replay that reads it (the day must outlive the replay).
    std::unique_ptr<CTradingDay> TakeDay() { return std::move(m_pDay); }
    std::unique_ptr<CDayReplay> TakeReplay() { return std::move(m_pReplay); }

Q_SIGNALS:
    // 0..1000 of the trades read.
    void Progress(int permille);
    // The day and its replay are ready to be taken (TakeDay, TakeReplay) and opened.
    void Loaded(const QString& folder);
    // "file:line: what is wrong" in error, in the user's language.
    void Failed(const QString& folder, const QString& error);
    void Cancelled(const QString& folder);

private:
    void Poll();
    void Join();

    QString m_strFolder;
    std::thread m_thread;
    QTimer m_poll;
    std::atomic<int> m_nProgress{0};
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bDone{false};
    int m_nShown = -1;
    // Written by the thread before it sets m_bDone, read here after joining it.
    std::unique_ptr<CTradingDay> m_pDay;
    std::unique_ptr<CDayReplay> m_pReplay;
    std::string m_strError;
    bool m_bCancelled = false;
};
