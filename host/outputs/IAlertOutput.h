#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "host/outputs/CAlertEvent.h"

// What one attempt to hand an alert on came to.
struct CDeliveryAttempt {
    enum class Outcome {
        Delivered,
        // Worth trying again later: a timeout, a server error, no connection.
        Retry,
        // Trying again cannot help: the receiver refused the message.
        Failed,
    };
    Outcome outcome = Outcome::Failed;
    // The receiver's answer or the error, short and fit for a log: never a secret.
    std::string answer;
    // With Retry: the pause the receiver asked for before the next attempt (a rate limit's
    // Retry-After); zero when it asked for none.
    std::chrono::milliseconds retryAfter{0};
};

// A place alerts go to besides the window: a webhook, a message bus, the desktop. Deliver runs
// on the output's own worker thread, never on the engine's; one call at a time.
class IAlertOutput {
public:
    virtual ~IAlertOutput() = default;
    // The name the user gave the output, shown in its status and the delivery history.
    virtual std::string Name() const = 0;
    // One attempt. It must come back by itself within a bounded time, and soon once abort
    // turns true (the program is closing).
    virtual CDeliveryAttempt Deliver(const CAlertEvent& event, const std::atomic<bool>& abort) = 0;
    // A receiver that takes only so many messages a minute (a group robot limits its senders,
    // and shuts one out for minutes past the limit): the worker sends it no more, and the
    // alerts that come meanwhile wait to go together. Zero: no limit.
    virtual int MessagesPerMinute() const { return 0; }
    // The same within any second, for a receiver that also refuses bursts; zero: no limit.
    virtual int MessagesPerSecond() const { return 0; }
    // How many waiting alerts one message may carry; 1 sends each alert alone.
    virtual std::size_t MostFolded() const { return 1; }
    // One attempt for 1 to MostFolded() alerts in one message, oldest first. An output that
    // sends each alert alone is only ever handed one.
    virtual CDeliveryAttempt DeliverFolded(const std::vector<CAlertEvent>& events,
                                           const std::atomic<bool>& abort)
    {
        return Deliver(events.front(), abort);
    }
    // Called from another thread, as a rule right after abort has turned true: an attempt that
    // waits for an answer is to come back now, undelivered, rather than at its next look at the
    // flag.
    virtual void Interrupt() {}
    // Called on the worker thread when it ends, to let go of what was made there.
    virtual void CloseOnWorker() {}
};
