#include "host/outputs/CWebhookOutput.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <chrono>

namespace {

constexpr int kAnswerShown = 300; // bytes of the receiver's answer kept with an attempt
// How often an attempt looks at the abort flag by itself, for a caller that sets it without
// Interrupt. Rare, so that a dead receiver does not wake the worker many times a second.
constexpr int kAbortLookMs = 250;
// A robot counts its limit by the minute.
constexpr std::chrono::milliseconds kRobotLimitPause{60000};

} // namespace

CWebhookOutput::CWebhookOutput(const CWebhookConfig& config) : m_config(config) {}

CWebhookOutput::~CWebhookOutput() = default;

void CWebhookOutput::Interrupt()
{
    std::lock_guard<std::mutex> lock(m_waitMutex);
    // Posted to the loop's own thread; a loop that has already ended takes the event with it.
    if (!m_pWaiting)
        return;
    m_bInterrupted = true;
    QMetaObject::invokeMethod(
        m_pWaiting, [loop = m_pWaiting] { loop->quit(); }, Qt::QueuedConnection);
}

void CWebhookOutput::CloseOnWorker()
{
    m_pManager.reset();
}

CDeliveryAttempt CWebhookOutput::Deliver(const CAlertEvent& event, const std::atomic<bool>& abort)
{
    return DeliverFolded({event}, abort);
}

int CWebhookOutput::MessagesPerMinute() const
{
    return CWebhookConfig::MessagesPerMinute(m_config.kind);
}

int CWebhookOutput::MessagesPerSecond() const
{
    return CWebhookConfig::MessagesPerSecond(m_config.kind);
}

std::size_t CWebhookOutput::MostFolded() const
{
    return CWebhookConfig::MostFolded(m_config.kind);
}

CDeliveryAttempt CWebhookOutput::DeliverFolded(const std::vector<CAlertEvent>& events,
                                               const std::atomic<bool>& abort)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return Post(
        CWebhookRequest::Build(m_config, events,
                               std::chrono::duration_cast<std::chrono::milliseconds>(now).count()),
        abort);
}

CDeliveryAttempt CWebhookOutput::Post(const CWebhookRequest& built, const std::atomic<bool>& abort)
{
    CDeliveryAttempt result;
    result.outcome = CDeliveryAttempt::Outcome::Retry;
    const QUrl url(QString::fromStdString(built.url), QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        result.outcome = CDeliveryAttempt::Outcome::Failed;
        result.answer = "the URL is no http or https URL";
        return result;
    }
    if (!m_pManager) {
        m_pManager = std::make_unique<QNetworkAccessManager>();
        // Never answered from a cache or redirected somewhere else with the alert.
        m_pManager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }
    QNetworkRequest request(url);
    for (const auto& [name, value] : built.headers)
        request.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    QNetworkReply* reply = m_pManager->post(request, QByteArray::fromStdString(built.body));

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // One timer for the timeout rather than a poll: a receiver that never answers leaves the
    // worker asleep until then, unless Interrupt ends the wait first.
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(m_config.timeoutMs);
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (abort)
            loop.quit();
    });
    look.start(kAbortLookMs);
    {
        std::lock_guard<std::mutex> lock(m_waitMutex);
        m_pWaiting = &loop;
        m_bInterrupted = false;
    }
    // An abort set before the loop was known here is seen now; one set later is Interrupt's.
    if (!abort && !reply->isFinished())
        loop.exec();
    bool interrupted = false;
    {
        std::lock_guard<std::mutex> lock(m_waitMutex);
        m_pWaiting = nullptr;
        interrupted = m_bInterrupted;
    }
    look.stop();
    timeout.stop();

    if (!reply->isFinished()) {
        QObject::disconnect(reply, nullptr, &loop, nullptr);
        reply->abort();
        delete reply;
        result.answer = abort || interrupted
                            ? "closing"
                            : "timeout after " + std::to_string(m_config.timeoutMs) + " ms";
        return result;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const std::string body = reply->readAll().left(4096).toStdString();
    const std::string retryAfter = reply->rawHeader("Retry-After").trimmed().toStdString();
    const QNetworkReply::NetworkError error = reply->error();
    delete reply;

    if (status == 0) {
        // No HTTP answer at all: refused, reset, no route. Qt's text names the URL.
        result.answer = "network error " + std::to_string(static_cast<int>(error));
        return result;
    }
    std::string answer = "HTTP " + std::to_string(status);
    if (!body.empty())
        answer += ": " + body.substr(0, kAnswerShown);
    result.answer = CWebhookRequest::Redact(answer, m_config.secret);
    if (CWebhookRequest::AnswerRateLimited(m_config.kind, body)) {
        // A robot's own "too many messages", whatever the status it comes with.
        result.outcome = CDeliveryAttempt::Outcome::Retry;
        result.retryAfter = kRobotLimitPause;
    } else if (status >= 200 && status < 300) {
        std::string why;
        if (CWebhookRequest::AnswerAccepted(m_config.kind, body, why)) {
            result.outcome = CDeliveryAttempt::Outcome::Delivered;
        } else {
            result.outcome = CDeliveryAttempt::Outcome::Failed;
            result.answer = CWebhookRequest::Redact("HTTP " + std::to_string(status) + ", " + why,
                                                    m_config.secret);
        }
    } else if (status >= 500) {
        result.outcome = CDeliveryAttempt::Outcome::Retry;
    } else if (status == 429) {
        // Too many requests: unlike the other refusals, one that passes. The receiver may say
        // when; the worker waits at least that long.
        result.outcome = CDeliveryAttempt::Outcome::Retry;
        result.retryAfter = CWebhookRequest::RetryAfter(retryAfter, body);
    } else {
        result.outcome = CDeliveryAttempt::Outcome::Failed;
    }
    return result;
}
