#include "host/gui/CLiveFeed.h"

#include <QApplication>
#include <algorithm>
#include <chrono>

#include "host/core/CTradingDay.h"
#include "host/feed/CFeedConnection.h"
#include "host/feed/CFeedQuoteSource.h"
#include "host/feed/CFeedReaderThread.h"
#include "host/feed/CLiveSession.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CFeedReasonText.h"
#include "host/gui/CSystemErrorText.h"
#include "hostlibs/CQuoteStore.h"

namespace {

qint64 MillisOfDay(const QDateTime& at)
{
    return at.time().msecsSinceStartOfDay();
}

} // namespace

CLiveFeed::CLiveFeed(CDaySession& day, QObject* parent)
    : QObject(parent), m_day(day), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_frame.setInterval(kFrameMs);
    connect(&m_frame, &QTimer::timeout, this, &CLiveFeed::Frame);
    // Whoever else ends the feed's day (another day opened) ends the feed with it: the
    // session must not hand trades to an engine that is gone.
    connect(&m_day, &CDaySession::DayClosing, this, [this] {
        if (m_bHosting || !m_pLive)
            return;
        m_pSource = nullptr;
        Stop();
        SetState(State::Off);
    });
}

CLiveFeed::~CLiveFeed()
{
    Stop();
}

void CLiveFeed::SetClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
}

bool CLiveFeed::InTradingHours(int secondsOfDay)
{
    return (secondsOfDay >= 9 * 3600 + 15 * 60 && secondsOfDay < 11 * 3600 + 30 * 60) ||
           (secondsOfDay >= 13 * 3600 && secondsOfDay < 15 * 3600);
}

QString CLiveFeed::FaultText(CFeedRunner::Fault fault)
{
    switch (fault) {
    case CFeedRunner::Fault::Malformed:
        return tr("格式错误");
    case CFeedRunner::Fault::TooLong:
        return tr("超过 64 KiB");
    case CFeedRunner::Fault::UnknownSymbol:
        return tr("未知股票");
    case CFeedRunner::Fault::BadPrice:
        return tr("价格错误");
    case CFeedRunner::Fault::BadField:
        return tr("字段错误");
    case CFeedRunner::Fault::TimeBackwards:
        return tr("时间倒退");
    case CFeedRunner::Fault::Duplicate:
        return tr("重连前已收到");
    case CFeedRunner::Fault::UnknownKind:
        return tr("未知类型");
    case CFeedRunner::Fault::Count:
        break;
    }
    return QString();
}

bool CLiveFeed::Connect(const QString& address, QString* error)
{
    CFeedConnection::Address parsed;
    std::string problem;
    if (!CFeedConnection::ParseAddress(address.trimmed().toStdString(), parsed, problem)) {
        if (error)
            *error = QString::fromStdString(problem);
        return false;
    }
    Stop();
    // The day in place ends as any day does: its engine writes its day file.
    m_day.CloseDay();
    m_skipped.fill(0);
    m_nMessages = m_nInWindow = 0;
    m_nRate = 0;
    m_nSymbolsSeen = 0;
    m_strDetail.clear();
    m_strAddress = address.trimmed();
    m_lastArrival = m_windowStart = m_clock().toMSecsSinceEpoch();

    m_pLive =
        std::make_unique<CLiveSession>(CQuoteStore::Instance(), m_day.SysDir(), nullptr, nullptr);
    m_pLive->SetEngineHost([this] { return StartEngine(); }, [this] { EndEngine(); });
    m_pLive->SetAfterEachTrade([this](unsigned char market, const std::string& code) {
        if (m_pSource)
            m_pSource->Traded(market, code);
    });
    m_pReader = std::make_unique<CFeedReaderThread>(std::move(parsed), kQueued);
    // Posted from the reader's thread; a wake-up left over from a reader since stopped finds
    // nothing queued, and one for a feed since destroyed is dropped with it.
    m_pReader->Queue().SetOnArrival([this] {
        QMetaObject::invokeMethod(this, &CLiveFeed::ApplyArrived, Qt::QueuedConnection);
    });
    if (!m_pReader->Start(problem)) {
        m_pReader.reset();
        m_pLive.reset();
        if (error)
            *error = QString::fromStdString(problem);
        return false;
    }
    m_nStatusChanges = 0;
    m_frame.start();
    SetState(State::Connecting);
    return true;
}

void CLiveFeed::Disconnect()
{
    if (!m_pReader)
        return;
    Stop();
    SetState(State::Off);
}

void CLiveFeed::Stop()
{
    m_frame.stop();
    if (m_pReader)
        m_pReader->Stop();
    m_pReader.reset();
    // The engine stays with the day session; the feed's session lets go of it.
    m_pLive.reset();
    m_items.clear();
    m_nApplied = 0;
    m_nRate = 0;
}

bool CLiveFeed::IsActive() const
{
    return m_state == State::Connecting || m_state == State::Live || m_state == State::Retrying;
}

int CLiveFeed::RetrySeconds() const
{
    if (m_state != State::Retrying)
        return 0;
    const qint64 left = m_retryAt - m_clock().toMSecsSinceEpoch();
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

qint64 CLiveFeed::LagMs() const
{
    if (!m_pLive || m_pLive->NewestTradeMillis() < 0)
        return -1;
    return MillisOfDay(m_clock()) - m_pLive->NewestTradeMillis();
}

bool CLiveFeed::IsSilent() const
{
    if (m_state != State::Live && m_state != State::Retrying)
        return false;
    const QDateTime now = m_clock();
    return now.toMSecsSinceEpoch() - m_lastArrival >= kSilenceMs &&
           InTradingHours(static_cast<int>(MillisOfDay(now) / 1000));
}

std::size_t CLiveFeed::SymbolCount() const
{
    return m_pLive ? m_pLive->SymbolCount() : 0;
}

long long CLiveFeed::Skipped(CFeedRunner::Fault fault) const
{
    return m_skipped[static_cast<std::size_t>(fault)];
}

long long CLiveFeed::SkippedTotal() const
{
    long long total = 0;
    for (long long count : m_skipped)
        total += count;
    return total;
}

void CLiveFeed::SetState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT StateChanged();
}

void CLiveFeed::CountSkipped(CFeedRunner::Fault fault, long line, const std::string& why)
{
    if (++m_skipped[static_cast<std::size_t>(fault)] <= kToldPerKind)
        Q_EMIT LineSkipped(fault, line, CFeedReasonText::Translate(why));
}

CVelkAlert* CLiveFeed::StartEngine()
{
    auto source = std::make_unique<CFeedQuoteSource>();
    CFeedQuoteSource* raw = source.get();
    m_bHosting = true;
    m_day.OpenDayWithSource(std::make_unique<CTradingDay>(m_pLive->TradeDate()), std::move(source),
                            m_strAddress, CDaySession::DayFileUse::Continue);
    m_bHosting = false;
    m_pSource = raw;
    return m_day.Engine();
}

void CLiveFeed::EndEngine()
{
    m_pSource = nullptr;
    m_bHosting = true;
    m_day.CloseDay();
    m_bHosting = false;
}

void CLiveFeed::Frame()
{
    // Nothing reaches the engine while one of its dialogs runs, nor twice at once (a message
    // box of the engine's turns the event loop inside a frame).
    if (!m_pReader || m_bInFrame || QApplication::activeModalWidget())
        return;
    m_bInFrame = true;
    const QDateTime now = m_clock();
    const qint64 nowMs = now.toMSecsSinceEpoch();
    // Read before the queue: a reader that had finished queued everything it read.
    const CFeedReaderThread::Status status = m_pReader->GetStatus();

    const bool drained = ApplySlice(nowMs);
    if (!m_pReader) {
        // The day closed under the frame.
        m_bInFrame = false;
        return;
    }
    for (const CFeedReaderThread::Skipped& skipped : m_pReader->TakeSkipped())
        CountSkipped(skipped.fault, skipped.line, skipped.why);
    // Beyond the first few of each kind, the reader only counts.
    for (std::size_t i = 0; i < m_skipped.size(); ++i) {
        const auto fault = static_cast<CFeedRunner::Fault>(i);
        if (fault == CFeedRunner::Fault::Duplicate)
            continue;
        m_skipped[i] = std::max(m_skipped[i], m_pReader->SkippedCount(fault));
    }

    if (nowMs - m_windowStart >= 1000) {
        m_nRate =
            static_cast<int>(double(m_nInWindow) * 1000.0 / double(nowMs - m_windowStart) + 0.5);
        m_nInWindow = 0;
        m_windowStart = nowMs;
    }
    if (m_pLive && m_pLive->SymbolCount() > m_nSymbolsSeen) {
        const bool first = m_nSymbolsSeen == 0;
        m_nSymbolsSeen = m_pLive->SymbolCount();
        Q_EMIT SymbolsAdded(first);
    }

    if (status.changes != m_nStatusChanges) {
        m_nStatusChanges = status.changes;
        m_strDetail = CSystemErrorText::Translate(status.detail);
        if (status.state == CFeedRunner::State::Retrying)
            m_retryAt = nowMs + status.waitMs;
    }
    if ((m_pLive && m_pLive->Ended()) || (status.finished && drained)) {
        const bool unreachable = status.state == CFeedRunner::State::Unreachable;
        m_frame.stop();
        m_pReader->Stop();
        m_nRate = 0;
        SetState(unreachable ? State::Unreachable : State::Ended);
    } else {
        switch (status.state) {
        case CFeedRunner::State::Connecting:
            // A reconnection attempt shows as the wait it ends.
            SetState(m_state == State::Retrying ? State::Retrying : State::Connecting);
            break;
        case CFeedRunner::State::Live:
            SetState(State::Live);
            break;
        case CFeedRunner::State::Retrying:
            SetState(State::Retrying);
            break;
        case CFeedRunner::State::Unreachable:
        case CFeedRunner::State::Ended:
            break;
        }
    }
    m_bInFrame = false;
    if (!drained && m_pReader)
        PostSlice();
    Q_EMIT Updated();
}

bool CLiveFeed::ApplySlice(qint64 nowMs)
{
    const auto start = std::chrono::steady_clock::now();
    const auto budget = std::chrono::milliseconds(kSliceMs);
    std::string why;
    for (;;) {
        if (m_nApplied == m_items.size()) {
            m_items.clear();
            m_nApplied = 0;
            if (!m_pReader || !m_pReader->Queue().TakeAll(m_items))
                return true;
            m_lastArrival = nowMs;
        }
        // Moved out: the day may close under the message (its engine's dialogs turn the event
        // loop), and the feed let go of what it held.
        const CFeedQueue::Item item = std::move(m_items[m_nApplied++]);
        if (!m_pLive)
            return true;
        if (item.reconnected) {
            m_pLive->Reconnected();
        } else {
            ++m_nMessages;
            ++m_nInWindow;
            const IFeedSink::Problem problem = m_pLive->Apply(item.message, why);
            if (problem == IFeedSink::Problem::Duplicate)
                ++m_skipped[static_cast<std::size_t>(CFeedRunner::Fault::Duplicate)];
            else if (problem != IFeedSink::Problem::None)
                CountSkipped(CFeedRunner::FaultOf(problem), item.line, why);
        }
        if (std::chrono::steady_clock::now() - start >= budget)
            return m_nApplied == m_items.size() && (!m_pReader || !m_pReader->Queue().HasItems());
    }
}

void CLiveFeed::ApplyArrived()
{
    m_bSlicePosted = false;
    if (!m_pReader || m_bInFrame || QApplication::activeModalWidget())
        return;
    m_bInFrame = true;
    const bool drained = ApplySlice(m_clock().toMSecsSinceEpoch());
    m_bInFrame = false;
    if (!drained && m_pReader)
        PostSlice();
}

void CLiveFeed::PostSlice()
{
    if (m_bSlicePosted)
        return;
    m_bSlicePosted = true;
    // Behind the paint and input events already waiting.
    QMetaObject::invokeMethod(this, &CLiveFeed::ApplyArrived, Qt::QueuedConnection);
}
