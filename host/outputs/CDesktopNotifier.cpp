#include "host/outputs/CDesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QVariantMap>

#include "host/outputs/CAlertJson.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr qint64 kFoldSeconds = 60;

} // namespace

CDesktopNotifier::CDesktopNotifier(QObject* parent, Clock clock)
    : QObject(parent), m_clock(std::move(clock))
{
    QDBusConnection::sessionBus().connect(kService, kPath, kInterface,
                                          QStringLiteral("ActionInvoked"), this,
                                          SLOT(OnActionInvoked(uint, QString)));
}

CDesktopNotifier::~CDesktopNotifier() = default;

QString CDesktopNotifier::Key(unsigned char market, const QString& code)
{
    return QString::number(market) + QLatin1Char(':') + code;
}

bool CDesktopNotifier::HasService() const
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(kService).value();
}

bool CDesktopNotifier::IsMuted(unsigned char market, const QString& code) const
{
    return m_mutedDay == Now().date() && m_muted.contains(Key(market, code));
}

unsigned CDesktopNotifier::Notify(const CAlertEvent& event)
{
    const QString code = QString::fromStdString(event.CodeUtf8());
    const unsigned char market = event.record.m_byMarket;
    if (IsPaused() || IsMuted(market, code))
        return 0;
    const QString summary = QString::fromStdString(CAlertJson::Summary(event));
    const QString body = QString::fromStdString(CAlertJson::Details(event));
    const bool critical = CAlertEvent::IsLimitReason(event.reasonCode);
    if (!HasService()) {
        Q_EMIT FallbackMessage(summary, body, critical);
        return 0;
    }
    const QString key = Key(market, code);
    const QDateTime now = Now();
    unsigned replaces = 0;
    const auto last = m_lastByStock.constFind(key);
    if (last != m_lastByStock.constEnd() && last->at.secsTo(now) < kFoldSeconds)
        replaces = last->id;

    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(critical ? 2 : 1));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("velk-host"));
    QDBusInterface notifications(kService, kPath, kInterface, QDBusConnection::sessionBus());
    const QDBusReply<uint> reply =
        notifications.call(QStringLiteral("Notify"), QStringLiteral("velk-host"), replaces,
                           QStringLiteral("velk-host"), summary, body,
                           QStringList{QStringLiteral("analyse"), QStringLiteral("分析"),
                                       QStringLiteral("mute"), QStringLiteral("今日静音")},
                           hints, -1);
    if (!reply.isValid()) {
        Q_EMIT FallbackMessage(summary, body, critical);
        return 0;
    }
    const unsigned id = reply.value();
    Remember(key, replaces, id, now);
    return id;
}

void CDesktopNotifier::Remember(const QString& key, unsigned replaced, unsigned id,
                                const QDateTime& at)
{
    if (replaced && replaced != id)
        m_stockById.remove(replaced);
    m_lastByStock.insert(key, Shown{id, at});
    m_stockById.insert(id, key);
}

bool CDesktopNotifier::ServiceKnownToRun()
{
    constexpr qint64 kRecheckMs = 5000;
    if (m_nServiceCheckedMs < 0 || m_sinceCheck.elapsed() - m_nServiceCheckedMs > kRecheckMs) {
        if (!m_sinceCheck.isValid())
            m_sinceCheck.start();
        m_bServiceRuns = HasService();
        m_nServiceCheckedMs = m_sinceCheck.elapsed();
    }
    return m_bServiceRuns;
}

bool CDesktopNotifier::Post(const CAlertEvent& event)
{
    const QString code = QString::fromStdString(event.CodeUtf8());
    const unsigned char market = event.record.m_byMarket;
    if (IsPaused() || IsMuted(market, code))
        return false;
    const QString summary = QString::fromStdString(CAlertJson::Summary(event));
    const QString body = QString::fromStdString(CAlertJson::Details(event));
    const bool critical = CAlertEvent::IsLimitReason(event.reasonCode);
    if (!ServiceKnownToRun()) {
        Q_EMIT FallbackMessage(summary, body, critical);
        return true;
    }
    const QString key = Key(market, code);
    const QDateTime now = Now();
    unsigned replaces = 0;
    const auto last = m_lastByStock.constFind(key);
    if (last != m_lastByStock.constEnd() && last->at.secsTo(now) < kFoldSeconds)
        replaces = last->id;

    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(critical ? 2 : 1));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("velk-host"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("velk-host") << replaces << QStringLiteral("velk-host") << summary
         << body
         << QStringList{QStringLiteral("analyse"), QStringLiteral("分析"), QStringLiteral("mute"),
                        QStringLiteral("今日静音")}
         << hints << -1;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, key, replaces, now, summary, body, critical] {
                watcher->deleteLater();
                const QDBusPendingReply<uint> reply = *watcher;
                if (reply.isError()) {
                    // The service went away: asked again before the next alert.
                    m_nServiceCheckedMs = -1;
                    Q_EMIT FallbackMessage(summary, body, critical);
                    return;
                }
                Remember(key, replaces, reply.value(), now);
                Q_EMIT Posted(reply.value(), summary);
            });
    return true;
}

void CDesktopNotifier::OnActionInvoked(uint id, const QString& action)
{
    const auto found = m_stockById.constFind(id);
    if (found == m_stockById.constEnd())
        return; // another program's notification
    const QString key = *found;
    const int colon = key.indexOf(QLatin1Char(':'));
    const unsigned char market = static_cast<unsigned char>(key.left(colon).toUInt());
    const QString code = key.mid(colon + 1);
    if (action == QLatin1String("analyse")) {
        Q_EMIT AnalyseRequested(market, code);
    } else if (action == QLatin1String("mute")) {
        const QDate today = Now().date();
        if (m_mutedDay != today) {
            m_muted.clear();
            m_mutedDay = today;
        }
        m_muted.insert(key);
    }
}
