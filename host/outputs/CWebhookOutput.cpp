#include "host/outputs/CWebhookOutput.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kAnswerShown = 300; // bytes of the receiver's answer kept with an attempt

} // namespace

CWebhookOutput::CWebhookOutput(const CWebhookConfig& config) : m_config(config) {}

CWebhookOutput::~CWebhookOutput() = default;

void CWebhookOutput::CloseOnWorker()
{
    m_pManager.reset();
}

CDeliveryAttempt CWebhookOutput::Deliver(const CAlertEvent& event, const std::atomic<bool>& abort)
{
    CDeliveryAttempt result;
    result.outcome = CDeliveryAttempt::Outcome::Retry;
    const CWebhookRequest built = CWebhookRequest::Build(m_config, event);
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
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer watch;
    // The timeout and the program's closing are both looked at a few times a second.
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (abort || elapsed.elapsed() >= m_config.timeoutMs)
            loop.quit();
    });
    watch.start(20);
    if (!reply->isFinished())
        loop.exec();
    watch.stop();

    if (!reply->isFinished()) {
        QObject::disconnect(reply, nullptr, &loop, nullptr);
        reply->abort();
        delete reply;
        result.answer =
            abort ? "closing" : "timeout after " + std::to_string(m_config.timeoutMs) + " ms";
        return result;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const std::string body = reply->readAll().left(4096).toStdString();
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
    if (status >= 200 && status < 300) {
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
    } else {
        result.outcome = CDeliveryAttempt::Outcome::Failed;
    }
    return result;
}
