#pragma once

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "host/feed/CFeedConnection.h"
#include "host/feed/CFeedLineReader.h"
#include "host/feed/CFeedMessage.h"
#include "host/feed/CFeedParser.h"
#include "host/feed/CReconnectBackoff.h"
#include "host/feed/IFeedSink.h"

// Reads a feed into a live session (or any sink) on the calling thread: connects, splits and parses
// lines, hands each message to the session, connects again after a loss, and ends at the feed's
// end, at the end of input or when the stop descriptor becomes readable. Lines that cannot be taken
// are counted by kind and skipped; the first few of each kind are written to the log.
class CFeedRunner {
public:
    enum class Fault {
        Malformed,
        TooLong,
        UnknownSymbol,
        BadPrice,
        BadField,
        TimeBackwards,
        Duplicate,
        UnknownKind,
        Count
    };
    // Where the connection stands, as a window shows it.
    enum class State { Connecting, Live, Retrying, Unreachable, Ended };
    static constexpr int kExitUnreachable = 3;
    // How many faults of each kind are written out.
    static constexpr long long kFaultsShown = 5;

    CFeedRunner(IFeedSink& sink, CFeedConnection::Address address, std::FILE* log);

    // Called after each batch of lines read at once: where a host shows what they caused.
    void SetAfterBatch(std::function<void()> afterBatch) { m_afterBatch = std::move(afterBatch); }
    // Told of each change of the connection's state; waitMs is the wait before the next
    // attempt (Retrying), detail the reason of a loss or failure.
    void
    SetStateListener(std::function<void(State, int waitMs, const std::string& detail)> listener)
    {
        m_stateListener = std::move(listener);
    }
    // Told of every line skipped, whether or not it is written to the log.
    void SetFaultListener(std::function<void(Fault, long line, const std::string& why)> listener)
    {
        m_faultListener = std::move(listener);
    }
    // The kind a refusal of the session's is counted as.
    static Fault FaultOf(IFeedSink::Problem problem);

    // 0 when the feed ended or was stopped, kExitUnreachable when the first connection failed.
    int Run(int stopFd);
    // One line as if read from the feed (the tests, the benchmark and the fuzz target use it).
    void TakeLine(std::string_view line);

    long long Faults(Fault fault) const { return m_faults[static_cast<std::size_t>(fault)]; }
    long long Messages() const { return m_nMessages; }
    static const char* FaultName(Fault fault);
    // "3 malformed, 1 unknown symbol" or empty.
    std::string FaultSummary() const;

private:
    void Take(std::string_view line, std::size_t capacity, long number);
    void Handle(CFeedParser::Problem problem, long number);
    void Count(Fault fault, long number, const std::string& why);
    bool DrainLines();
    // Waits and connects again until it works or stop; the descriptor or -1 when stopped.
    int Reconnect(int stopFd);
    void Tell(State state, int waitMs = 0, const std::string& detail = {});

    IFeedSink& m_session;
    CFeedConnection m_connection;
    std::FILE* m_pLog;
    CFeedLineReader m_reader;
    CFeedParser m_parser;
    CFeedMessage m_message;
    CReconnectBackoff m_backoff;
    std::function<void()> m_afterBatch;
    std::function<void(State, int, const std::string&)> m_stateListener;
    std::function<void(Fault, long, const std::string&)> m_faultListener;
    std::array<long long, static_cast<std::size_t>(Fault::Count)> m_faults{};
    long long m_nMessages = 0;
    long m_nLooseLine = 0;
    std::string m_strWhy;
};
