#pragma once

#include <string>

struct __natsConnection;
struct __natsSubscription;

// A subscription to a NATS subject whose messages come out of a pipe as lines, so that the
// feed reader waits on one descriptor whatever the transport. The NATS client delivers on a
// thread of its own; a full pipe holds it back rather than dropping messages.
class CNatsSubscriber {
public:
    CNatsSubscriber() = default;
    ~CNatsSubscriber();
    CNatsSubscriber(const CNatsSubscriber&) = delete;
    CNatsSubscriber& operator=(const CNatsSubscriber&) = delete;

    // Connects and subscribes. A byte on stopFd (-1: none) ends the wait for the server at once
    // with the error "stopped": the client cannot be woken in its connect, so the connect goes
    // on in a thread of its own and lets go of whatever it made.
    bool Subscribe(const std::string& url, const std::string& subject, int stopFd,
                   std::string& error);
    int ReadFd() const { return m_nRead; }

private:
    static void OnMessage(__natsConnection* connection, __natsSubscription* subscription,
                          struct __natsMsg* message, void* closure);

    __natsConnection* m_pConnection = nullptr;
    __natsSubscription* m_pSubscription = nullptr;
    int m_nRead = -1;
    int m_nWrite = -1;
};
