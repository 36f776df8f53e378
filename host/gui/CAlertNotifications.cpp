#include "host/gui/CAlertNotifications.h"

#include <vector>

#include "host/core/CTradingDay.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CReplayController.h"
#include "host/outputs/CDesktopNotifier.h"
#include "hostapi/KQBkApi.h"
#include "hostapi/QuoteItems.h"

CAlertNotifications::CAlertNotifications(CDaySession& session, CDesktopNotifier& notifier,
                                         QObject* parent)
    : QObject(parent), m_session(session), m_notifier(notifier)
{
    session.AddAlertObserver(this);
    m_round.setInterval(kRoundMs);
    connect(&m_round, &QTimer::timeout, this, [this] { Send(kPerRound); });
}

CAlertNotifications::~CAlertNotifications()
{
    m_session.RemoveAlertObserver(this);
}

void CAlertNotifications::OnAlertRecorded(const Ta_ALERTRECORD& record)
{
    // What a seek raises again on its way to the moment is no news to the trader.
    const CReplayController* controller = m_session.Controller();
    if (controller && controller->GetState() == CReplayController::State::Seeking)
        return;
    Q_EMIT AlertHeard();
    CAlertEvent event;
    event.record = record;
    event.reasonCode = CAlertEvent::ReasonCodeOf(VelkFieldText(record.m_szReason));
    event.tradingDate = m_session.Day() ? m_session.Day()->TradeDate() : 0;
    event.live = m_isLive && m_isLive();
    const std::string code = VelkFieldText(record.m_szCode);
    std::vector<X1Format> values;
    if (BK_bGetItemDataByItemNo(record.m_byMarket, code, {QuoteItem::kPrevClose}, values, true,
                                nullptr) &&
        !values.empty() && values[0].GetKind() != X1Format::kNone)
        event.prevClose = static_cast<float>(double(values[0]));

    const QString key =
        QString::number(record.m_byMarket) + QLatin1Char(':') + QString::fromLatin1(code.c_str());
    if (!m_waiting.contains(key)) {
        if (m_order.size() >= kMaxWaiting) {
            m_waiting.remove(m_order.takeFirst());
            ++m_nDropped;
        }
        m_order.append(key);
    }
    m_waiting.insert(key, event);
    if (!m_round.isActive())
        m_round.start();
}

void CAlertNotifications::Send(int most)
{
    for (int sent = 0; sent < most && !m_order.isEmpty(); ++sent)
        m_notifier.Post(m_waiting.take(m_order.takeFirst()));
    if (m_order.isEmpty())
        m_round.stop();
}
