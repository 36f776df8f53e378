#include "host/feed/CFeedConnection.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "host/feed/CNatsSubscriber.h"

namespace {

constexpr int kConnectTimeoutMs = 5000;

bool SplitHostPort(const std::string& rest, std::string& host, std::string& port)
{
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size())
        return false;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    for (char c : port)
        if (c < '0' || c > '9')
            return false;
    return port.size() <= 5 && std::stol(port) > 0 && std::stol(port) < 65536;
}

// Waits for a non-blocking connect to finish, or for the stop descriptor.
int FinishConnect(int fd, int stopFd, std::string& error)
{
    pollfd fds[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
    const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, kConnectTimeoutMs);
    if (ready <= 0 || (stopFd >= 0 && (fds[1].revents & POLLIN))) {
        error = ready == 0 ? "timed out" : "stopped";
        return -1;
    }
    int code = 0;
    socklen_t length = sizeof code;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length) != 0 || code != 0) {
        error = std::strerror(code ? code : errno);
        return -1;
    }
    return 0;
}

int ConnectSocket(const sockaddr* address, socklen_t length, int family, int stopFd,
                  std::string& error)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    if (::connect(fd, address, length) != 0 &&
        (errno != EINPROGRESS || FinishConnect(fd, stopFd, error) != 0)) {
        if (error.empty())
            error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    // Reads are waited for with poll; a blocking descriptor keeps them simple.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

bool CFeedConnection::ParseAddress(const std::string& text, Address& address, std::string& error)
{
    address = Address{};
    address.text = text;
    if (text == "-") {
        address.transport = Transport::Stdin;
        return true;
    }
    if (text.rfind("tcp://", 0) == 0) {
        address.transport = Transport::Tcp;
        if (SplitHostPort(text.substr(6), address.host, address.port))
            return true;
    } else if (text.rfind("unix:", 0) == 0) {
        address.transport = Transport::Unix;
        address.path = text.substr(5);
        if (!address.path.empty() && address.path.size() < sizeof(sockaddr_un::sun_path))
            return true;
    } else if (text.rfind("nats://", 0) == 0) {
        address.transport = Transport::Nats;
        std::string rest = text.substr(7);
        const std::size_t slash = rest.find('/');
        address.subject = slash == std::string::npos ? "quotes.>" : rest.substr(slash + 1);
        if (slash != std::string::npos)
            rest.resize(slash);
        if (!address.subject.empty() && SplitHostPort(rest, address.host, address.port))
            return true;
    }
    error = "feed address " + text +
            " is not -, tcp://HOST:PORT, unix:PATH or nats://HOST:PORT[/SUBJECT]";
    return false;
}

CFeedConnection::CFeedConnection(Address address) : m_address(std::move(address)) {}

CFeedConnection::~CFeedConnection()
{
    Close();
}

bool CFeedConnection::Reconnects() const
{
    return m_address.transport == Transport::Tcp || m_address.transport == Transport::Unix;
}

int CFeedConnection::Open(int stopFd, std::string& error)
{
    Close();
    error.clear();
    switch (m_address.transport) {
    case Transport::Stdin:
        m_nFd = -1;
        return STDIN_FILENO;
    case Transport::Unix: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, m_address.path.c_str(), m_address.path.size());
        m_nFd = ConnectSocket(reinterpret_cast<const sockaddr*>(&address), sizeof address, AF_UNIX,
                              stopFd, error);
        return m_nFd;
    }
    case Transport::Tcp: {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int code =
            ::getaddrinfo(m_address.host.c_str(), m_address.port.c_str(), &hints, &found);
        if (code != 0) {
            error = ::gai_strerror(code);
            return -1;
        }
        for (addrinfo* a = found; a && m_nFd < 0; a = a->ai_next)
            m_nFd = ConnectSocket(a->ai_addr, a->ai_addrlen, a->ai_family, stopFd, error);
        ::freeaddrinfo(found);
        return m_nFd;
    }
    case Transport::Nats:
        m_pNats = std::make_unique<CNatsSubscriber>();
        if (!m_pNats->Subscribe("nats://" + m_address.host + ":" + m_address.port,
                                m_address.subject, stopFd, error)) {
            m_pNats.reset();
            return -1;
        }
        return m_pNats->ReadFd();
    }
    return -1;
}

void CFeedConnection::Close()
{
    m_pNats.reset();
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
}
