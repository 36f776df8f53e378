#include "host/feed/CNatsSubscriber.h"

#include <cerrno>
#include <fcntl.h>
#include <nats/nats.h>
#include <unistd.h>

CNatsSubscriber::~CNatsSubscriber()
{
    // The reading end goes first: a delivery blocked on a full pipe fails and returns, so the
    // client's thread can be stopped.
    if (m_nRead >= 0)
        ::close(m_nRead);
    if (m_pSubscription) {
        natsSubscription_Unsubscribe(m_pSubscription);
        natsSubscription_Destroy(m_pSubscription);
    }
    if (m_pConnection) {
        natsConnection_Close(m_pConnection);
        natsConnection_Destroy(m_pConnection);
    }
    // A delivery may still be running on the client's thread, with this object as its
    // closure: the library's threads are waited for before the object goes.
    if (m_pConnection || m_pSubscription)
        nats_CloseAndWait(2000);
    if (m_nWrite >= 0)
        ::close(m_nWrite);
}

bool CNatsSubscriber::Subscribe(const std::string& url, const std::string& subject,
                                std::string& error)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = "no pipe";
        return false;
    }
    m_nRead = fds[0];
    m_nWrite = fds[1];
    natsOptions* options = nullptr;
    natsStatus status = natsOptions_Create(&options);
    if (status == NATS_OK)
        status = natsOptions_SetURL(options, url.c_str());
    if (status == NATS_OK)
        status = natsOptions_SetAllowReconnect(options, true);
    if (status == NATS_OK)
        status = natsOptions_SetMaxReconnect(options, -1);
    // The connect cannot be woken, and closing the program waits for it: a server that has not
    // greeted the client by then is taken as unreachable (the library would wait 2 s), so that
    // closing returns within a second whatever the server does.
    if (status == NATS_OK)
        status = natsOptions_SetTimeout(options, kConnectTimeoutMs);
    if (status == NATS_OK)
        status = natsConnection_Connect(&m_pConnection, options);
    natsOptions_Destroy(options);
    if (status == NATS_OK)
        status = natsConnection_Subscribe(&m_pSubscription, m_pConnection, subject.c_str(),
                                          &CNatsSubscriber::OnMessage, this);
    // The whole market may arrive faster than it is taken in: nothing is dropped.
    if (status == NATS_OK)
        status = natsSubscription_SetPendingLimits(m_pSubscription, -1, -1);
    if (status == NATS_OK)
        status = natsConnection_Flush(m_pConnection);
    if (status != NATS_OK) {
        error = natsStatus_GetText(status);
        return false;
    }
    return true;
}

void CNatsSubscriber::OnMessage(natsConnection*, natsSubscription*, natsMsg* message, void* closure)
{
    auto* self = static_cast<CNatsSubscriber*>(closure);
    const char* data = natsMsg_GetData(message);
    const int size = natsMsg_GetDataLength(message);
    auto write = [self](const char* bytes, std::size_t count) {
        while (count > 0) {
            const ssize_t n = ::write(self->m_nWrite, bytes, count);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            count -= static_cast<std::size_t>(n);
        }
        return true;
    };
    if (write(data, static_cast<std::size_t>(size)))
        write("\n", 1);
    natsMsg_Destroy(message);
}
