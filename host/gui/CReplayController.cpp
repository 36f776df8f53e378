#include "host/gui/CReplayController.h"

#include <QApplication>
#include <algorithm>
#include <limits>

#include "host/core/IQuoteSource.h"

const int CReplayController::kSpeeds[8] = {1, 2, 5, 10, 30, 60, 300, kFastest};

namespace {

// Events replayed between two looks at the clock: small enough that a slice overruns its
// budget by little, large enough that the look costs nothing.
constexpr std::size_t kChunk = 64;
constexpr int kTickMs = 20;

} // namespace

CReplayController::CReplayController(QObject* parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &CReplayController::OnTick);
}

CReplayController::~CReplayController() = default;

void CReplayController::Attach(IQuoteSource* replay, CVelkAlert* engine)
{
    m_timer.stop();
    m_nSeekTarget = -1;
    m_pReplay = replay;
    m_pEngine = engine;
    m_owedMs = 0;
    m_tradesReplayed = 0;
    m_nTradesInWindow = 0;
    m_nTradesPerSecond = 0;
    if (!IsAttached()) {
        Detach();
        return;
    }
    m_pReplay->BeginReplay();
    m_nDayStart = m_pReplay->FirstEventTime();
    m_nDayEnd = m_pReplay->LastEventTime();
    m_nClock = m_nDayStart < 0 ? -1 : m_nDayStart - 1;
    SetState(m_nDayStart < 0 ? State::Finished : State::Paused);
    Q_EMIT Advanced();
}

void CReplayController::Detach()
{
    m_timer.stop();
    m_nSeekTarget = -1;
    m_pReplay = nullptr;
    m_pEngine = nullptr;
    m_nClock = m_nDayStart = m_nDayEnd = -1;
    m_nTradesPerSecond = 0;
    SetState(State::Idle);
}

void CReplayController::Play()
{
    if (m_state == State::Seeking) {
        m_bPlayAfterSeek = true;
        return;
    }
    if (!IsAttached() || m_state == State::Finished || m_state == State::Playing)
        return;
    m_owedMs = 0;
    m_wall.start();
    m_throughputWindow.start();
    m_nTradesInWindow = 0;
    m_timer.start(m_nSpeed == kFastest ? 0 : kTickMs);
    SetState(State::Playing);
}

void CReplayController::Pause()
{
    if (m_state == State::Seeking) {
        m_bPlayAfterSeek = false;
        return;
    }
    if (m_state != State::Playing)
        return;
    m_timer.stop();
    m_nTradesPerSecond = 0;
    SetState(State::Paused);
}

void CReplayController::StepSecond()
{
    if (!IsAttached() || m_state == State::Finished || m_state == State::Seeking)
        return;
    m_timer.stop();
    m_nTradesPerSecond = 0;
    // A step replays its whole second, however many trades it holds.
    ReplayUntil(m_nClock + 1, std::numeric_limits<qint64>::max());
    SetState(m_pReplay->NextEventTime() < 0 ? State::Finished : State::Paused);
    Q_EMIT Advanced();
}

void CReplayController::SetSpeed(int speed)
{
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) == std::end(kSpeeds) ||
        speed == m_nSpeed)
        return;
    m_nSpeed = speed;
    m_owedMs = 0;
    if (m_state == State::Playing) {
        m_wall.restart();
        m_timer.start(m_nSpeed == kFastest ? 0 : kTickMs);
    }
    Q_EMIT SpeedChanged(m_nSpeed);
}

void CReplayController::Faster()
{
    const int* at = std::find(std::begin(kSpeeds), std::end(kSpeeds), m_nSpeed);
    if (at != std::end(kSpeeds) && at + 1 != std::end(kSpeeds))
        SetSpeed(*(at + 1));
}

void CReplayController::Slower()
{
    const int* at = std::find(std::begin(kSpeeds), std::end(kSpeeds), m_nSpeed);
    if (at != std::end(kSpeeds) && at != std::begin(kSpeeds))
        SetSpeed(*(at - 1));
}

void CReplayController::RunTo(int target, bool playAfter)
{
    if (!IsAttached() || m_state == State::Finished)
        return;
    m_nSeekTarget = std::clamp(target, m_nDayStart, m_nDayEnd);
    m_bPlayAfterSeek = playAfter;
    m_nTradesPerSecond = 0;
    m_timer.start(0);
    SetState(State::Seeking);
}

int CReplayController::Progress() const
{
    if (m_nDayStart < 0 || m_nDayEnd <= m_nDayStart)
        return m_state == State::Finished ? 1000 : 0;
    const double done = double(std::clamp(m_nClock, m_nDayStart, m_nDayEnd) - m_nDayStart) /
                        double(m_nDayEnd - m_nDayStart);
    return static_cast<int>(done * 1000.0 + 0.5);
}

void CReplayController::SetState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT StateChanged(state);
}

bool CReplayController::ReplayUntil(int target, qint64 budgetMs)
{
    QElapsedTimer slice;
    slice.start();
    while (true) {
        const int next = m_pReplay->NextEventTime();
        if (next < 0 || next > target) {
            // Seconds without trades pass as well; the clock never runs past the day's end.
            const int reached = next < 0 ? m_nDayEnd : std::min(target, m_nDayEnd);
            m_nClock = std::max(m_nClock, reached);
            return true;
        }
        const IQuoteSource::Totals totals = m_pReplay->AdvanceTo(*m_pEngine, next, kChunk);
        m_tradesReplayed += totals.trades;
        m_nTradesInWindow += totals.trades;
        m_nClock = std::max(m_nClock, next);
        if (slice.elapsed() >= budgetMs)
            return false;
    }
}

void CReplayController::OnTick()
{
    if (IsAttached() && m_state == State::Seeking) {
        OnSeekTick();
        return;
    }
    if (!IsAttached() || m_state != State::Playing) {
        m_timer.stop();
        return;
    }
    // A modal window of the engine's (the settings sheet, a message box) holds the clock: the
    // time it was open is not owed afterwards.
    if (QApplication::activeModalWidget()) {
        m_wall.restart();
        return;
    }
    const qint64 elapsed = m_wall.restart();
    const int before = m_nClock;
    const long long tradesBefore = m_tradesReplayed;
    if (m_nSpeed == kFastest) {
        ReplayUntil(m_nDayEnd, kSliceMs);
    } else {
        m_owedMs += double(elapsed) * m_nSpeed;
        const int whole = static_cast<int>(m_owedMs / 1000.0);
        if (whole > 0) {
            ReplayUntil(m_nClock + whole, kSliceMs);
            m_owedMs -= 1000.0 * (m_nClock - before);
            // A machine that cannot keep up lags by at most one wall second instead of
            // replaying a growing backlog in one burst later.
            m_owedMs = std::clamp(m_owedMs, 0.0, 1000.0 * m_nSpeed);
        }
    }
    CountThroughput();
    if (m_pReplay->NextEventTime() < 0) {
        m_timer.stop();
        m_nClock = m_nDayEnd;
        m_nTradesPerSecond = 0;
        SetState(State::Finished);
        Q_EMIT Advanced();
        return;
    }
    if (m_nClock != before || m_tradesReplayed != tradesBefore)
        Q_EMIT Advanced();
}

void CReplayController::OnSeekTick()
{
    const bool reached = ReplayUntil(m_nSeekTarget, kSliceMs);
    if (m_pReplay->NextEventTime() < 0) {
        m_timer.stop();
        m_nSeekTarget = -1;
        m_nClock = m_nDayEnd;
        SetState(State::Finished);
        Q_EMIT Advanced();
        return;
    }
    if (!reached) {
        Q_EMIT Advanced();
        return;
    }
    m_nSeekTarget = -1;
    m_timer.stop();
    SetState(State::Paused);
    Q_EMIT Advanced();
    if (m_bPlayAfterSeek)
        Play();
}

void CReplayController::CountThroughput()
{
    const qint64 window = m_throughputWindow.elapsed();
    if (window < 1000)
        return;
    m_nTradesPerSecond =
        static_cast<int>(double(m_nTradesInWindow) * 1000.0 / double(window) + 0.5);
    m_nTradesInWindow = 0;
    m_throughputWindow.restart();
}
