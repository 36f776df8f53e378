#pragma once

#include <memory>
#include <mutex>

#include "host/outputs/CWebhookRequest.h"
#include "host/outputs/IAlertOutput.h"

class QEventLoop;
class QNetworkAccessManager;

// Posts each alert to a webhook with Qt Network, one request at a time, on the worker's
// thread; a group robot or a Telegram bot gets the alerts that wait in one text message, within
// its limit of messages a minute. A 2xx answer the receiver does not refuse is delivered; a
// timeout, a network error or a 5xx is worth another attempt; a 4xx is not. Answers name the status
// and the receiver's words, never the URL, and never hold the secret.
class CWebhookOutput final : public IAlertOutput {
public:
    explicit CWebhookOutput(const CWebhookConfig& config);
    ~CWebhookOutput() override;

    std::string Name() const override { return m_config.name; }
    CDeliveryAttempt Deliver(const CAlertEvent& event, const std::atomic<bool>& abort) override;
    int MessagesPerMinute() const override;
    int MessagesPerSecond() const override;
    std::size_t MostFolded() const override;
    CDeliveryAttempt DeliverFolded(const std::vector<CAlertEvent>& events,
                                   const std::atomic<bool>& abort) override;
    void Interrupt() override;
    void CloseOnWorker() override;

private:
    CDeliveryAttempt Post(const CWebhookRequest& built, const std::atomic<bool>& abort);

    CWebhookConfig m_config;
    // Made on the thread that delivers, and let go there.
    std::unique_ptr<QNetworkAccessManager> m_pManager;
    // The loop an attempt waits in, for Interrupt to end from another thread; null between
    // attempts.
    std::mutex m_waitMutex;
    QEventLoop* m_pWaiting = nullptr;
    bool m_bInterrupted = false;
};
