// velk-feed plays a recorded trading-day folder as a live feed (docs/feed.md):
//   velk-feed DAYDIR [--speed 1|10|60|max] (--stdout | --listen ADDR | --publish nats://...)
//   velk-feed --convert DAYDIR
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <nats/nats.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "host/core/CTradingDay.h"
#include "host/feed/CDayFeedWriter.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

std::atomic<bool> g_stop{false};
int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int)
{
    g_stop = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_stopPipe[1], &byte, 1);
}

int Usage()
{
    std::fputs("usage: velk-feed DAYDIR [--speed 1|10|60|max] (--stdout | --listen "
               "tcp://127.0.0.1:PORT | --listen unix:PATH | --publish nats://HOST:PORT[/PREFIX])\n"
               "       velk-feed --convert DAYDIR\n"
               "Plays a trading-day folder as a live feed in JSON Lines, timed by its own time\n"
               "stamps (--speed: that many seconds of the day per second; max: no waiting).\n"
               "--listen waits for clients and plays the whole day to each one; port 0 takes\n"
               "any free port. Where it listens is the first line on standard output.\n",
               stderr);
    return kExitBadInput;
}

// Where the lines go. Write takes one line with its newline; false when the reader is gone.
class ISink {
public:
    virtual ~ISink() = default;
    virtual bool Write(const std::string& line, const std::string& subject) = 0;
    virtual bool Flush() = 0;
};

class CFileSink final : public ISink {
public:
    explicit CFileSink(std::FILE* out) : m_pOut(out) {}
    bool Write(const std::string& line, const std::string&) override
    {
        return std::fwrite(line.data(), 1, line.size(), m_pOut) == line.size();
    }
    bool Flush() override { return std::fflush(m_pOut) == 0; }

private:
    std::FILE* m_pOut;
};

class CSocketSink final : public ISink {
public:
    explicit CSocketSink(int fd) : m_nFd(fd) {}
    bool Write(const std::string& line, const std::string&) override
    {
        m_buffer += line;
        return m_buffer.size() < 64 * 1024 || Flush();
    }
    bool Flush() override
    {
        std::size_t done = 0;
        while (done < m_buffer.size()) {
            const ssize_t n =
                ::send(m_nFd, m_buffer.data() + done, m_buffer.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || g_stop)
                return false;
            done += static_cast<std::size_t>(n);
        }
        m_buffer.clear();
        return true;
    }

private:
    int m_nFd;
    std::string m_buffer;
};

class CNatsSink final : public ISink {
public:
    ~CNatsSink() override
    {
        if (m_pConnection) {
            natsConnection_Close(m_pConnection);
            natsConnection_Destroy(m_pConnection);
        }
    }
    // The session's own lines (hello, group, end) go to every market of the day, below each
    // market's subjects, so that a host following one market's share (quotes.1.>) gets them.
    explicit CNatsSink(const CTradingDay& day)
    {
        for (const CTradingDay::Market& market : day.Markets())
            m_markets.push_back(market.market);
    }
    bool Connect(const std::string& url, std::string prefix, std::string& error)
    {
        m_strPrefix = std::move(prefix);
        const natsStatus status = natsConnection_ConnectTo(&m_pConnection, url.c_str());
        if (status != NATS_OK)
            error = natsStatus_GetText(status);
        return status == NATS_OK;
    }
    bool Write(const std::string& line, const std::string& subject) override
    {
        if (subject != "hello" && subject != "group" && subject != "end")
            return Publish(m_strPrefix + "." + subject, line);
        // "PREFIX.MARKET.session.KIND": four tokens, never a stock's subject.
        for (unsigned char market : m_markets)
            if (!Publish(m_strPrefix + "." + std::to_string(market) + ".session." + subject, line))
                return false;
        return true;
    }
    bool Flush() override { return natsConnection_FlushTimeout(m_pConnection, 10000) == NATS_OK; }

private:
    bool Publish(const std::string& subject, const std::string& line)
    {
        // One message per line, without its newline.
        return natsConnection_Publish(m_pConnection, subject.c_str(), line.data(),
                                      static_cast<int>(line.size() - 1)) == NATS_OK;
    }

    natsConnection* m_pConnection = nullptr;
    std::string m_strPrefix;
    std::vector<unsigned char> m_markets;
};

// Plays the whole day into the sink; speed 0 is as fast as possible.
bool Play(const CTradingDay& day, double speed, ISink& sink)
{
    CDayFeedWriter writer(day);
    std::string line;
    std::string subject;
    int time = -1;
    int firstTime = -1;
    const auto start = std::chrono::steady_clock::now();
    while (!g_stop) {
        line.clear();
        if (!writer.Next(line, time, subject))
            break;
        if (speed > 0 && time >= 0) {
            if (firstTime < 0)
                firstTime = time;
            const auto due =
                start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>((time - firstTime) / speed));
            if (due > std::chrono::steady_clock::now()) {
                if (!sink.Flush())
                    return false;
                while (!g_stop && std::chrono::steady_clock::now() < due) {
                    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        due - std::chrono::steady_clock::now());
                    pollfd stop{g_stopPipe[0], POLLIN, 0};
                    ::poll(&stop, 1, static_cast<int>(std::max<long long>(1, left.count())));
                }
            }
        }
        if (!sink.Write(line, subject))
            return false;
    }
    return sink.Flush();
}

int Listen(const CTradingDay& day, double speed, const std::string& address)
{
    int fd = -1;
    std::string shown;
    if (address.rfind("tcp://", 0) == 0) {
        const std::string rest = address.substr(6);
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string::npos)
            return Usage();
        const std::string host = rest.substr(0, colon);
        const int port = std::atoi(rest.substr(colon + 1).c_str());
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_port = htons(static_cast<std::uint16_t>(port));
        // Tests and demos stay on this machine: only the loopback address is served.
        if (host != "127.0.0.1" && host != "localhost") {
            std::fprintf(stderr, "velk-feed: --listen serves 127.0.0.1 only\n");
            return kExitBadInput;
        }
        in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 || ::listen(fd, 16) != 0) {
            std::fprintf(stderr, "velk-feed: cannot listen on %s: %s\n", address.c_str(),
                         std::strerror(errno));
            return kExitFailure;
        }
        socklen_t length = sizeof in;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&in), &length);
        shown = "tcp://127.0.0.1:" + std::to_string(ntohs(in.sin_port));
    } else if (address.rfind("unix:", 0) == 0) {
        sockaddr_un un{};
        un.sun_family = AF_UNIX;
        const std::string path = address.substr(5);
        if (path.empty() || path.size() >= sizeof un.sun_path)
            return Usage();
        std::memcpy(un.sun_path, path.c_str(), path.size());
        ::unlink(path.c_str());
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&un), sizeof un) != 0 || ::listen(fd, 16) != 0) {
            std::fprintf(stderr, "velk-feed: cannot listen on %s: %s\n", address.c_str(),
                         std::strerror(errno));
            return kExitFailure;
        }
        shown = address;
    } else {
        return Usage();
    }
    std::printf("listening on %s\n", shown.c_str());
    std::fflush(stdout);

    std::vector<std::thread> clients;
    while (!g_stop) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN))
            continue;
        const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        clients.emplace_back([&day, speed, client] {
            CSocketSink sink(client);
            Play(day, speed, sink);
            ::shutdown(client, SHUT_WR);
            ::close(client);
        });
    }
    for (std::thread& client : clients)
        client.join();
    ::close(fd);
    if (address.rfind("unix:", 0) == 0)
        ::unlink(address.substr(5).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder;
    std::string mode;
    std::string target;
    double speed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--speed" && i + 1 < argc) {
            const std::string value = argv[++i];
            if (value == "max") {
                speed = 0;
            } else {
                char* end = nullptr;
                speed = std::strtod(value.c_str(), &end);
                if (*end != '\0' || !(speed > 0))
                    return Usage();
            }
        } else if (arg == "--stdout" || arg == "--convert") {
            if (!mode.empty())
                return Usage();
            mode = arg;
        } else if ((arg == "--listen" || arg == "--publish") && i + 1 < argc) {
            if (!mode.empty())
                return Usage();
            mode = arg;
            target = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && folder.empty()) {
            folder = arg;
        } else {
            return Usage();
        }
    }
    if (folder.empty() || mode.empty())
        return Usage();

    CTradingDay day;
    std::string error;
    if (!day.Load(folder, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitBadInput;
    }
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return kExitFailure;
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (mode == "--convert" || mode == "--stdout") {
        CFileSink sink(stdout);
        return Play(day, mode == "--convert" ? 0 : speed, sink) ? 0 : kExitFailure;
    }
    if (mode == "--listen")
        return Listen(day, speed, target);

    if (target.rfind("nats://", 0) != 0)
        return Usage();
    std::string rest = target.substr(7);
    std::string prefix = "quotes";
    const std::size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        prefix = rest.substr(slash + 1);
        rest.resize(slash);
    }
    CNatsSink sink(day);
    if (!sink.Connect("nats://" + rest, prefix, error)) {
        std::fprintf(stderr, "velk-feed: cannot reach %s: %s\n", target.c_str(), error.c_str());
        return 3;
    }
    return Play(day, speed, sink) ? 0 : kExitFailure;
}
