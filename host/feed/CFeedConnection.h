#pragma once

#include <memory>
#include <string>

class CNatsSubscriber;

// Where a feed comes from and one connection to it: standard input ("-"), a TCP server
// ("tcp://HOST:PORT"), a Unix socket ("unix:PATH") or a NATS subject
// ("nats://HOST:PORT[/SUBJECT]", "quotes.>" by default). Whatever the transport, the feed is read
// from one descriptor: NATS messages are handed over through a pipe, one line each.
class CFeedConnection {
public:
    enum class Transport { Stdin, Tcp, Unix, Nats };
    struct Address {
        Transport transport = Transport::Stdin;
        std::string host;
        std::string port;
        std::string path;    // Unix socket
        std::string subject; // NATS
        std::string text;    // as given
    };

    static bool ParseAddress(const std::string& text, Address& address, std::string& error);

    explicit CFeedConnection(Address address);
    ~CFeedConnection();
    CFeedConnection(const CFeedConnection&) = delete;
    CFeedConnection& operator=(const CFeedConnection&) = delete;

    // Connects once; the descriptor to read, or -1 with the reason. A connection attempt gives
    // up when stopFd becomes readable.
    int Open(int stopFd, std::string& error);
    void Close();
    // Whether a lost connection is worth connecting again (the stream transports); standard
    // input ends for good, and the NATS client reconnects by itself.
    bool Reconnects() const;
    const Address& GetAddress() const { return m_address; }

private:
    Address m_address;
    int m_nFd = -1;
    std::unique_ptr<CNatsSubscriber> m_pNats;
};
