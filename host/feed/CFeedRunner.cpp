#include "host/feed/CFeedRunner.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

CFeedRunner::CFeedRunner(IFeedSink& sink, CFeedConnection::Address address, std::FILE* log)
    : m_session(sink), m_connection(std::move(address)), m_pLog(log)
{
}

CFeedRunner::Fault CFeedRunner::FaultOf(IFeedSink::Problem problem)
{
    switch (problem) {
    case IFeedSink::Problem::UnknownSymbol:
        return Fault::UnknownSymbol;
    case IFeedSink::Problem::BadPrice:
        return Fault::BadPrice;
    case IFeedSink::Problem::TimeBackwards:
        return Fault::TimeBackwards;
    case IFeedSink::Problem::Duplicate:
        return Fault::Duplicate;
    case IFeedSink::Problem::None:
    case IFeedSink::Problem::BadField:
        break;
    }
    return Fault::BadField;
}

void CFeedRunner::Tell(State state, int waitMs, const std::string& detail)
{
    if (m_stateListener)
        m_stateListener(state, waitMs, detail);
}

const char* CFeedRunner::FaultName(Fault fault)
{
    switch (fault) {
    case Fault::Malformed:
        return "malformed";
    case Fault::TooLong:
        return "over 64 KiB";
    case Fault::UnknownSymbol:
        return "unknown stock";
    case Fault::BadPrice:
        return "bad price";
    case Fault::BadField:
        return "bad field";
    case Fault::TimeBackwards:
        return "time going backwards";
    case Fault::Duplicate:
        return "already taken before a reconnection";
    case Fault::UnknownKind:
        return "unknown kind";
    case Fault::Count:
        break;
    }
    return "?";
}

std::string CFeedRunner::FaultSummary() const
{
    std::string summary;
    for (std::size_t i = 0; i < m_faults.size(); ++i) {
        if (m_faults[i] == 0)
            continue;
        if (!summary.empty())
            summary += ", ";
        summary += std::to_string(m_faults[i]) + " " + FaultName(static_cast<Fault>(i));
    }
    return summary;
}

void CFeedRunner::Count(Fault fault, long number, const std::string& why)
{
    long long& count = m_faults[static_cast<std::size_t>(fault)];
    if (m_faultListener)
        m_faultListener(fault, number, why);
    if (++count <= kFaultsShown && m_pLog)
        std::fprintf(m_pLog, "velk-host: feed line %ld skipped (%s): %s\n", number,
                     FaultName(fault), why.c_str());
}

void CFeedRunner::TakeLine(std::string_view line)
{
    ++m_nLooseLine;
    if (line.size() > CFeedLineReader::kMaxLine)
        return Count(Fault::TooLong, m_nLooseLine, "the line is longer than 64 KiB");
    if (line.find_first_not_of(" \t\r") == std::string_view::npos)
        return;
    Handle(m_parser.Parse(line, m_message), m_nLooseLine);
}

void CFeedRunner::Take(std::string_view line, std::size_t capacity, long number)
{
    // Blank lines keep a stream readable by people.
    if (line.find_first_not_of(" \t") == std::string_view::npos)
        return;
    Handle(m_parser.Parse(line.data(), line.size(), capacity, m_message), number);
}

void CFeedRunner::Handle(CFeedParser::Problem problem, long number)
{
    switch (problem) {
    case CFeedParser::Problem::None:
        break;
    case CFeedParser::Problem::Malformed:
        return Count(Fault::Malformed, number, m_parser.Why());
    case CFeedParser::Problem::BadPrice:
        return Count(Fault::BadPrice, number, m_parser.Why());
    case CFeedParser::Problem::BadField:
        return Count(Fault::BadField, number, m_parser.Why());
    case CFeedParser::Problem::UnknownKind:
        return Count(Fault::UnknownKind, number, m_parser.Why());
    }
    ++m_nMessages;
    const IFeedSink::Problem refused = m_session.Take(m_message, number, m_strWhy);
    if (refused == IFeedSink::Problem::None)
        return;
    if (refused == IFeedSink::Problem::Duplicate) {
        // Expected after every reconnection: counted, not written out.
        ++m_faults[static_cast<std::size_t>(Fault::Duplicate)];
        return;
    }
    Count(FaultOf(refused), number, m_strWhy);
}

bool CFeedRunner::DrainLines()
{
    std::string_view line;
    std::size_t capacity = 0;
    for (;;) {
        const CFeedLineReader::Next next = m_reader.NextLine(line, capacity);
        if (next == CFeedLineReader::Next::None)
            return true;
        if (next == CFeedLineReader::Next::TooLong)
            Count(Fault::TooLong, m_reader.LineNumber(), "the line is longer than 64 KiB");
        else
            Take(line, capacity, m_reader.LineNumber());
        if (m_session.Ended())
            return false;
    }
}

int CFeedRunner::Reconnect(int stopFd)
{
    for (;;) {
        const int wait = m_backoff.Next();
        Tell(State::Retrying, wait);
        if (m_pLog)
            std::fprintf(m_pLog, "velk-host: feed %s lost, retrying in %.1f s\n",
                         m_connection.GetAddress().text.c_str(), wait / 1000.0);
        pollfd stop{stopFd, POLLIN, 0};
        if (::poll(&stop, 1, wait) > 0)
            return -1;
        std::string error;
        Tell(State::Connecting);
        const int fd = m_connection.Open(stopFd, error);
        if (fd >= 0) {
            Tell(State::Live);
            if (m_pLog)
                std::fprintf(m_pLog, "velk-host: feed %s connected again\n",
                             m_connection.GetAddress().text.c_str());
            m_reader.Reset();
            m_session.Reconnected();
            return fd;
        }
    }
}

int CFeedRunner::Run(int stopFd)
{
    std::string error;
    Tell(State::Connecting);
    int fd = m_connection.Open(stopFd, error);
    if (fd < 0) {
        Tell(State::Unreachable, 0, error);
        if (m_pLog)
            std::fprintf(m_pLog, "velk-host: cannot reach the feed %s: %s\n",
                         m_connection.GetAddress().text.c_str(), error.c_str());
        return kExitUnreachable;
    }
    Tell(State::Live);
    if (m_pLog) {
        std::fprintf(m_pLog, "velk-host: feed %s connected\n",
                     m_connection.GetAddress().text.c_str());
        std::fflush(m_pLog);
    }
    m_reader.Reset();
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, 1000);
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            break;
        if (ready <= 0 || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = m_reader.ReadFrom(fd);
        if (n < 0 && errno == EINTR)
            continue;
        const bool more = DrainLines();
        if (more && n <= 0) {
            std::string_view line;
            std::size_t capacity = 0;
            if (m_reader.FinishLine(line, capacity) == CFeedLineReader::Next::Line)
                Take(line, capacity, m_reader.LineNumber());
        }
        if (m_afterBatch)
            m_afterBatch();
        if (!more || m_session.Ended())
            break;
        if (n <= 0) {
            if (!m_connection.Reconnects())
                break;
            m_connection.Close();
            fd = Reconnect(stopFd);
            if (fd < 0)
                break;
        } else {
            m_backoff.Reset();
        }
    }
    m_connection.Close();
    if (m_afterBatch)
        m_afterBatch();
    Tell(State::Ended);
    return 0;
}
