#pragma once

#include <mutex>
#include <string>

#include "host/outputs/IAlertOutput.h"

// Publishes each alert as JSON (CAlertJson) to the subject alerts.<market>.<code> of a NATS
// server, with a Nats-Msg-Id header, so that a JetStream stream that listens drops an alert it
// already has. An attempt counts as delivered once the server has confirmed it has the message
// (a flush), within the timeout.
class CNatsOutput final : public IAlertOutput {
public:
    struct Config {
        std::string name = "NATS";
        std::string url = "nats://127.0.0.1:4222";
        int timeoutMs = 5000;
    };

    explicit CNatsOutput(const Config& config) : m_config(config) {}
    ~CNatsOutput() override;

    std::string Name() const override { return m_config.name; }
    CDeliveryAttempt Deliver(const CAlertEvent& event, const std::atomic<bool>& abort) override;
    // Closes the connection, which ends a flush that waits for a server gone silent. A connect
    // under way cannot be cut short: it ends within the timeout.
    void Interrupt() override;
    void CloseOnWorker() override;

    // alerts.<market>.<code>, with what NATS reads as separators or wildcards in a code made
    // harmless.
    static std::string Subject(const CAlertEvent& event);

private:
    struct Connection;

    bool Connect(std::string& error);

    Config m_config;
    // Made and destroyed on the worker thread, and used there without the lock; the lock keeps
    // Interrupt, from another thread, from closing one that is being destroyed.
    std::mutex m_connectionMutex;
    Connection* m_pConnection = nullptr;
};
