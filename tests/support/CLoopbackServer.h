#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// A TCP server on 127.0.0.1 that a test drives by hand: accept one client, send it bytes, drop
// it. Port 0 takes a free port.
class CLoopbackServer {
public:
    explicit CLoopbackServer(int port = 0)
    {
        m_nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_nListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        bound = ::bind(m_nListen, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(m_nListen, 4) == 0;
        socklen_t length = sizeof address;
        ::getsockname(m_nListen, reinterpret_cast<sockaddr*>(&address), &length);
        this->port = ntohs(address.sin_port);
    }
    ~CLoopbackServer()
    {
        Drop();
        ::close(m_nListen);
    }
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;

    std::string Url() const { return "tcp://127.0.0.1:" + std::to_string(port); }

    // Waits up to timeoutMs for a client.
    bool Accept(int timeoutMs = 10000)
    {
        pollfd wait{m_nListen, POLLIN, 0};
        if (::poll(&wait, 1, timeoutMs) != 1)
            return false;
        Drop();
        m_nClient = ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
        return m_nClient >= 0;
    }
    bool Send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(m_nClient, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    void Drop()
    {
        if (m_nClient >= 0)
            ::close(m_nClient);
        m_nClient = -1;
    }

    bool bound = false;
    int port = 0;

private:
    int m_nListen = -1;
    int m_nClient = -1;
};
