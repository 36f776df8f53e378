#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class IQuoteSource;
class CVelkAlert;

// Drives a day's replay from the event loop: a replay clock that runs at a chosen speed, can be
// paused and stepped one second at a time, and never holds the loop for long, so every window
// stays responsive even at full speed. The clock stands still while a modal window is open:
// nothing reaches the engine while one of its dialogs is running.
class CReplayController final : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Playing, Paused, Seeking, Finished };

    // Replay seconds per wall-clock second; kFastest replays as fast as the machine allows.
    static constexpr int kFastest = 0;
    static const int kSpeeds[8];

    explicit CReplayController(QObject* parent = nullptr);
    ~CReplayController() override;

    // The day and the engine to drive (both owned by the caller and alive until Detach or the
    // next Attach). The clock goes to the second before the day's first event, paused.
    void Attach(IQuoteSource* replay, CVelkAlert* engine);
    void Detach();
    bool IsAttached() const { return m_pReplay && m_pEngine; }

    void Play();
    void Pause();
    // Replays the next second of the day and pauses.
    void StepSecond();
    void SetSpeed(int speed);
    int Speed() const { return m_nSpeed; }
    // The next speed up or down the list; the fastest is the last.
    void Faster();
    void Slower();
    // Replays as fast as the machine allows, a slice per turn of the event loop, up to the
    // second `target` (clamped to the day), then goes on as before: playing or paused. The
    // engine's state depends on the whole path, so a seek backwards is a fresh replay from the
    // open that its owner starts (Attach) before asking for the target.
    void RunTo(int target, bool playAfter);
    int SeekTarget() const { return m_nSeekTarget; }

    State GetState() const { return m_state; }
    // The last second replayed, in seconds since midnight; -1 without a day.
    int Clock() const { return m_nClock; }
    int DayStart() const { return m_nDayStart; }
    int DayEnd() const { return m_nDayEnd; }
    // 0..1000 of the day's span.
    int Progress() const;

    long long TradesReplayed() const { return m_tradesReplayed; }
    // Trades handed to the quote service during the last full wall-clock second.
    int TradesPerSecond() const { return m_nTradesPerSecond; }

    // Longest time one turn of the event loop spends replaying.
    static constexpr int kSliceMs = 15;

Q_SIGNALS:
    void StateChanged(CReplayController::State state);
    void SpeedChanged(int speed);
    // After every slice that replayed something, and after each step.
    void Advanced();

private:
    void OnTick();
    void OnSeekTick();
    void SetState(State state);
    // Replays up to the second `target` within the time budget; false when the budget ran out
    // before the target was reached.
    bool ReplayUntil(int target, qint64 budgetMs);
    void CountThroughput();

    IQuoteSource* m_pReplay = nullptr;
    CVelkAlert* m_pEngine = nullptr;
    QTimer m_timer;
    QElapsedTimer m_wall;
    QElapsedTimer m_throughputWindow;
    State m_state = State::Idle;
    int m_nSpeed = 1;
    int m_nClock = -1;
    int m_nDayStart = -1;
    int m_nDayEnd = -1;
    int m_nSeekTarget = -1;
    bool m_bPlayAfterSeek = false;
    // Replay time owed by the wall clock but not yet replayed, in milliseconds of replay time.
    double m_owedMs = 0;
    long long m_tradesReplayed = 0;
    int m_nTradesInWindow = 0;
    int m_nTradesPerSecond = 0;
};
