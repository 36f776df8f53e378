#pragma once

#include <string>

#include "host/feed/CFeedMessage.h"

// Where the feed reader hands each parsed message: the live session itself (headless), or a
// queue that another thread takes them from (the desktop program applies them on its GUI
// thread).
class IFeedSink {
public:
    enum class Problem { None, UnknownSymbol, BadPrice, TimeBackwards, Duplicate, BadField };

    virtual ~IFeedSink() = default;

    // Takes one message read at the line `line` of the current connection. Anything but None
    // means it was refused, and why says why.
    virtual Problem Take(const CFeedMessage& message, long line, std::string& why) = 0;
    // The connection was lost and is back: the source sends its day again from its hello.
    virtual void Reconnected() = 0;
    // The feed said it is over: the reader stops.
    virtual bool Ended() const = 0;
};
