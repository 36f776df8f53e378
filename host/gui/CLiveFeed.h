#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "host/feed/CFeedQueue.h"
#include "host/feed/CFeedRunner.h"

class CDaySession;
class CVelkAlert;
class CFeedQuoteSource;
class CFeedReaderThread;
class CLiveSession;

// The desktop program following a market as it trades. A thread of its own reads and parses
// the feed and wakes the GUI thread when messages arrive; they are applied there at once, in
// slices of at most kSliceMs each with a turn of the event loop between them, so an alert shows
// as its trade arrives and the window stays responsive at any rate. The frame timer applies
// whatever a slice left and keeps the status. The day session runs the engine: it starts at the
// feed's first trade, with the symbols and groups sent before it known, and a hello of a new date
// ends it (its day file is written) for the next one. The day file of the date is continued, as the
// module does.
class CLiveFeed final : public QObject {
    Q_OBJECT
public:
    enum class State { Off, Connecting, Live, Retrying, Unreachable, Ended };
    // A feed quiet this long while the market trades is taken for lost.
    static constexpr qint64 kSilenceMs = 10000;
    static constexpr int kFrameMs = 16;
    // The longest the GUI thread applies messages before it lets paint and input events in.
    static constexpr int kSliceMs = 4;
    // Messages read ahead of the engine; a faster feed is held back at its source.
    static constexpr std::size_t kQueued = 65536;
    // Lines skipped of each kind that are told with their reasons.
    static constexpr long long kToldPerKind = 5;

    explicit CLiveFeed(CDaySession& day, QObject* parent = nullptr);
    ~CLiveFeed() override;

    // Ends the day in place (its engine writes the day file) and follows the feed at address.
    // False with the reason when the address is not a feed's or the reader cannot start.
    bool Connect(const QString& address, QString* error = nullptr);
    // Stops reading at once; the day stays open with what came so far.
    void Disconnect();

    // Connecting, live or waiting to reconnect.
    bool IsActive() const;
    State GetState() const { return m_state; }
    QString Address() const { return m_strAddress; }
    // Why the feed could not be reached or was lost.
    QString Detail() const { return m_strDetail; }
    // Whole seconds until the next attempt, while retrying.
    int RetrySeconds() const;
    int MessagesPerSecond() const { return m_nRate; }
    // The wall clock's time of day minus the newest trade's, -1 before the first trade.
    qint64 LagMs() const;
    // Nothing came for kSilenceMs while the market trades.
    bool IsSilent() const;
    long long Messages() const { return m_nMessages; }
    std::size_t SymbolCount() const;
    long long Skipped(CFeedRunner::Fault fault) const;
    long long SkippedTotal() const;

    // The wall clock, for the lag, the rate and the silence.
    void SetClock(std::function<QDateTime()> clock);
    // 09:15 to 11:30 and 13:00 to 15:00.
    static bool InTradingHours(int secondsOfDay);
    static QString FaultText(CFeedRunner::Fault fault);

    // Applies what the reader queued (a slice of it) and keeps the status; the frame timer
    // calls it.
    void Frame();
    // Messages taken from the reader and not applied yet.
    std::size_t Pending() const { return m_items.size() - m_nApplied; }

Q_SIGNALS:
    // Connected, lost, retrying, ended: anything IsActive or GetState answers differently.
    void StateChanged();
    // One of the first kToldPerKind skipped lines of its kind.
    void LineSkipped(CFeedRunner::Fault fault, long line, const QString& why);
    // The quote service lists more stocks than at the last frame; first: the first stocks of
    // this feed, after whatever the service listed before it.
    void SymbolsAdded(bool first);
    // After each frame: the rate, the lag and the silence may have changed.
    void Updated();

private:
    CVelkAlert* StartEngine();
    void EndEngine();
    void SetState(State state);
    // Applies queued messages for at most kSliceMs; true when none is left.
    bool ApplySlice(qint64 nowMs);
    // A slice on arrival, and another after a turn of the event loop while messages are left.
    void ApplyArrived();
    void PostSlice();
    void CountSkipped(CFeedRunner::Fault fault, long line, const std::string& why);
    void Stop();

    CDaySession& m_day;
    std::function<QDateTime()> m_clock;
    QTimer m_frame;
    std::unique_ptr<CFeedReaderThread> m_pReader;
    std::unique_ptr<CLiveSession> m_pLive;
    CFeedQuoteSource* m_pSource = nullptr; // the day session's, while it runs the feed's day
    std::vector<CFeedQueue::Item> m_items;
    std::size_t m_nApplied = 0; // of m_items
    bool m_bSlicePosted = false;
    std::array<long long, static_cast<std::size_t>(CFeedRunner::Fault::Count)> m_skipped{};
    State m_state = State::Off;
    QString m_strAddress;
    QString m_strDetail;
    long m_nStatusChanges = 0;
    qint64 m_retryAt = 0;
    qint64 m_lastArrival = 0;
    qint64 m_windowStart = 0;
    long long m_nInWindow = 0;
    int m_nRate = 0;
    long long m_nMessages = 0;
    std::size_t m_nSymbolsSeen = 0;
    bool m_bInFrame = false;
    bool m_bHosting = false;
};
