#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// An HTTP server on 127.0.0.1 for the webhook tests: answers each request with the next status
// of its script (then 200), or never when the status is 0; keeps every request it read.
class CLocalHttpServer {
public:
    struct Request {
        std::string method;
        std::string target;
        std::map<std::string, std::string> headers; // names in lower case
        std::string body;
    };

    explicit CLocalHttpServer(std::deque<int> statuses, std::string answerBody = "{}")
        : m_statuses(std::move(statuses)), m_answerBody(std::move(answerBody))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listen, 16) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CLocalHttpServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (int fd : m_silent)
            ::close(fd);
        ::close(m_listen);
    }

    int Port() const { return m_port; }
    // Header lines ("Name: value\r\n") every answer carries besides the server's own.
    void SetAnswerHeaders(std::string lines)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answerHeaders = std::move(lines);
    }
    std::string Url(const std::string& path = "/hook") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    std::vector<Request> Requests()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void Serve()
    {
        while (!m_stop) {
            pollfd fd{m_listen, POLLIN, 0};
            if (::poll(&fd, 1, 20) <= 0)
                continue;
            const int client = ::accept(m_listen, nullptr, nullptr);
            if (client < 0)
                continue;
            Request request;
            if (!Read(client, request)) {
                ::close(client);
                continue;
            }
            int status = 200;
            std::string extraHeaders;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
                extraHeaders = m_answerHeaders;
                if (!m_statuses.empty()) {
                    status = m_statuses.front();
                    m_statuses.pop_front();
                }
            }
            if (status == 0) {
                m_silent.push_back(client); // held open, never answered
                continue;
            }
            const std::string answer =
                "HTTP/1.1 " + std::to_string(status) +
                " Status\r\nContent-Type: application/json\r\n" + extraHeaders +
                "Connection: close\r\nContent-Length: " + std::to_string(m_answerBody.size()) +
                "\r\n\r\n" + m_answerBody;
            (void)!::write(client, answer.data(), answer.size());
            ::close(client);
        }
    }

    bool Read(int client, Request& request)
    {
        std::string data;
        char buffer[4096];
        std::size_t headerEnd = std::string::npos;
        std::size_t length = 0;
        for (;;) {
            pollfd fd{client, POLLIN, 0};
            if (m_stop || ::poll(&fd, 1, 2000) <= 0)
                return false;
            const ssize_t got = ::read(client, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            data.append(buffer, static_cast<std::size_t>(got));
            if (headerEnd == std::string::npos &&
                (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
                std::size_t lineEnd = data.find("\r\n");
                const std::string first = data.substr(0, lineEnd);
                request.method = first.substr(0, first.find(' '));
                request.target = first.substr(first.find(' ') + 1);
                request.target = request.target.substr(0, request.target.find(' '));
                while (lineEnd < headerEnd) {
                    const std::size_t next = data.find("\r\n", lineEnd + 2);
                    const std::string line = data.substr(lineEnd + 2, next - lineEnd - 2);
                    const std::size_t colon = line.find(':');
                    if (colon != std::string::npos) {
                        std::string name = line.substr(0, colon);
                        for (char& c : name)
                            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                        std::string value = line.substr(colon + 1);
                        value.erase(0, value.find_first_not_of(' '));
                        request.headers[name] = value;
                    }
                    lineEnd = next;
                }
                length = std::stoul(request.headers.count("content-length")
                                        ? request.headers["content-length"]
                                        : std::string("0"));
            }
            if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + length) {
                request.body = data.substr(headerEnd + 4, length);
                return true;
            }
        }
    }

    std::deque<int> m_statuses;
    std::string m_answerBody;
    std::string m_answerHeaders;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::vector<int> m_silent;
    std::thread m_thread;
};
