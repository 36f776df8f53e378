#include "host/feed/CNatsSubscriber.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <nats/nats.h>
#include <poll.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// Connects whose caller may have stopped waiting: the library is not torn down under them.
std::mutex g_connectsMutex;
std::condition_variable g_connectsEnded;
int g_nConnectsRunning = 0;

// One connect, shared by the caller and the connect's thread. Whichever comes second does the
// rest: the caller takes the connection, or the thread lets go of it.
struct PendingConnect {
    std::mutex mutex;
    bool done = false;
    bool abandoned = false;
    natsConnection* connection = nullptr;
    natsStatus status = NATS_OK;
    int wake[2] = {-1, -1};

    ~PendingConnect()
    {
        for (int fd : wake)
            if (fd >= 0)
                ::close(fd);
    }
};

// Connects on a thread of its own while waiting for it or for a byte on stopFd; stopped tells
// which came first. Takes the options.
natsStatus Connect(natsOptions* options, int stopFd, natsConnection** connection, bool& stopped)
{
    stopped = false;
    auto pending = std::make_shared<PendingConnect>();
    if (::pipe2(pending->wake, O_CLOEXEC) != 0) {
        natsOptions_Destroy(options);
        return NATS_SYS_ERROR;
    }
    {
        std::lock_guard<std::mutex> lock(g_connectsMutex);
        ++g_nConnectsRunning;
    }
    std::thread connecting;
    try {
        connecting = std::thread([pending, options] {
            natsConnection* connection = nullptr;
            const natsStatus status = natsConnection_Connect(&connection, options);
            natsOptions_Destroy(options);
            bool abandoned = false;
            {
                std::lock_guard<std::mutex> lock(pending->mutex);
                abandoned = pending->abandoned;
                if (!abandoned) {
                    pending->connection = connection;
                    pending->status = status;
                    pending->done = true;
                }
            }
            if (abandoned) {
                if (connection) {
                    natsConnection_Close(connection);
                    natsConnection_Destroy(connection);
                }
            } else {
                const char byte = 1;
                while (::write(pending->wake[1], &byte, 1) < 0 && errno == EINTR) {
                }
            }
            std::lock_guard<std::mutex> lock(g_connectsMutex);
            --g_nConnectsRunning;
            g_connectsEnded.notify_all();
        });
    } catch (const std::system_error&) {
        natsOptions_Destroy(options);
        std::lock_guard<std::mutex> lock(g_connectsMutex);
        --g_nConnectsRunning;
        g_connectsEnded.notify_all();
        return NATS_SYS_ERROR;
    }
    connecting.detach();

    pollfd fds[2] = {{pending->wake[0], POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, -1);
        if (ready > 0)
            break;
        if (ready < 0 && errno != EINTR)
            break;
    }
    std::lock_guard<std::mutex> lock(pending->mutex);
    stopped = !pending->done;
    if (stopped) {
        pending->abandoned = true;
        return NATS_OK;
    }
    *connection = pending->connection;
    return pending->status;
}

} // namespace

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
    if (m_pConnection || m_pSubscription) {
        // A connect given up on still runs inside the library (as long as its timeout).
        std::unique_lock<std::mutex> lock(g_connectsMutex);
        g_connectsEnded.wait(lock, [] { return g_nConnectsRunning == 0; });
        nats_CloseAndWait(2000);
    }
    if (m_nWrite >= 0)
        ::close(m_nWrite);
}

bool CNatsSubscriber::Subscribe(const std::string& url, const std::string& subject, int stopFd,
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
    bool stopped = false;
    if (status == NATS_OK)
        status = Connect(options, stopFd, &m_pConnection, stopped);
    else
        natsOptions_Destroy(options);
    if (stopped) {
        error = "stopped";
        return false;
    }
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
