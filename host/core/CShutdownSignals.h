#pragma once

#include <atomic>
#include <csignal>

// SIGINT and SIGTERM turned into an orderly shutdown: while an object of this class lives, the
// two signals only raise a flag and make a descriptor readable, and the program's loop (a
// replay, an event loop, a feed) ends its run as at its normal end, so that the engine is
// destroyed and the day file written. A second signal of the same kind, once the first has
// been noticed and the shutdown hangs, ends the process the default way.
//
// One object at a time; the previous handlers come back when it goes.
class CShutdownSignals {
public:
    CShutdownSignals();
    ~CShutdownSignals();
    CShutdownSignals(const CShutdownSignals&) = delete;
    CShutdownSignals& operator=(const CShutdownSignals&) = delete;

    // Set from the handler; a loop polls it.
    const std::atomic<bool>& Flag() const;
    bool Requested() const { return Flag().load(); }
    // Readable (one byte per signal) once a signal came, for an event loop to watch.
    int ReadFd() const;
    // The signal that asked for the shutdown, 0 while none did.
    int Signal() const;
    // The exit status of a program ended by that signal: 128 + its number.
    int ExitStatus() const { return 128 + Signal(); }

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};
