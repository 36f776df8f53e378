#include "host/outputs/CNatsOutput.h"

#include <nats/nats.h>

#include "host/outputs/CAlertJson.h"

struct CNatsOutput::Connection {
    natsConnection* connection = nullptr;
};

namespace {

std::string StatusText(natsStatus status)
{
    const char* last = nats_GetLastError(nullptr);
    std::string text = natsStatus_GetText(status);
    if (last && *last)
        text += std::string(": ") + last;
    return text;
}

} // namespace

CNatsOutput::~CNatsOutput()
{
    CloseOnWorker();
}

std::string CNatsOutput::Subject(const CAlertEvent& event)
{
    std::string code = event.CodeUtf8();
    for (char& c : code)
        if (c == '.' || c == '*' || c == '>' || c == ' ' || c == '\t')
            c = '_';
    // Pushed rather than assigned: GCC 12 sees an overlap that is not there in assigning a
    // literal to a string here, and warns.
    if (code.empty())
        code.push_back('_');
    return "alerts." + std::to_string(event.record.m_byMarket) + '.' + code;
}

bool CNatsOutput::Connect(std::string& error)
{
    if (m_pConnection)
        return true;
    natsOptions* options = nullptr;
    natsStatus status = natsOptions_Create(&options);
    if (status == NATS_OK)
        status = natsOptions_SetURL(options, m_config.url.c_str());
    if (status == NATS_OK)
        status = natsOptions_SetTimeout(options, m_config.timeoutMs);
    // The worker retries on its own schedule; the client must not keep a message waiting on a
    // reconnect of its own.
    if (status == NATS_OK)
        status = natsOptions_SetAllowReconnect(options, false);
    natsConnection* connection = nullptr;
    if (status == NATS_OK)
        status = natsConnection_Connect(&connection, options);
    natsOptions_Destroy(options);
    if (status != NATS_OK) {
        error = "connect: " + StatusText(status);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_connectionMutex);
    m_pConnection = new Connection{connection};
    return true;
}

CDeliveryAttempt CNatsOutput::Deliver(const CAlertEvent& event, const std::atomic<bool>& abort)
{
    CDeliveryAttempt result;
    result.outcome = CDeliveryAttempt::Outcome::Retry;
    if (abort) {
        result.answer = "closing";
        return result;
    }
    std::string error;
    if (!Connect(error)) {
        result.answer = error;
        return result;
    }
    // The program began closing while the connect was under way: Interrupt found no connection
    // to close then, and a flush now would wait out its timeout.
    if (abort) {
        CloseOnWorker();
        result.answer = "closing";
        return result;
    }
    const std::string subject = Subject(event);
    const std::string body = CAlertJson::Object(event);
    const std::string id = CAlertJson::MessageId(event);
    natsMsg* message = nullptr;
    natsStatus status = natsMsg_Create(&message, subject.c_str(), nullptr, body.data(),
                                       static_cast<int>(body.size()));
    if (status == NATS_OK)
        status = natsMsgHeader_Set(message, "Nats-Msg-Id", id.c_str());
    if (status == NATS_OK)
        status = natsConnection_PublishMsg(m_pConnection->connection, message);
    if (status == NATS_OK)
        status = natsConnection_FlushTimeout(m_pConnection->connection, m_config.timeoutMs);
    natsMsg_Destroy(message);
    if (status == NATS_OK) {
        result.outcome = CDeliveryAttempt::Outcome::Delivered;
        result.answer = "published " + subject;
        return result;
    }
    result.answer = abort ? std::string("closing") : "publish: " + StatusText(status);
    // A connection that failed once is made again for the next attempt.
    CloseOnWorker();
    return result;
}

void CNatsOutput::Interrupt()
{
    std::lock_guard<std::mutex> lock(m_connectionMutex);
    if (m_pConnection)
        natsConnection_Close(m_pConnection->connection);
}

void CNatsOutput::CloseOnWorker()
{
    Connection* connection = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_connectionMutex);
        connection = m_pConnection;
        m_pConnection = nullptr;
    }
    if (!connection)
        return;
    natsConnection_Destroy(connection->connection);
    delete connection;
}
