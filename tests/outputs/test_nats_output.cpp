#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <nats/nats.h>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "host/outputs/CNatsOutput.h"
#include "host/outputs/COutputWorker.h"
#include "tests/outputs/OutputsTestSupport.h"
#include "tests/support/CTempDir.h"

extern char** environ;

using namespace outputstest;

namespace {

int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A nats-server of its own on 127.0.0.1, stopped with the test.
class CNatsServer {
public:
    CNatsServer()
    {
        m_port = FreePort();
        std::vector<std::string> args = {"nats-server", "-a", "127.0.0.1", "-p",
                                         std::to_string(m_port)};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "nats-server", &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CNatsServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool Started() const { return m_pid > 0; }
    std::string Url() const { return "nats://127.0.0.1:" + std::to_string(m_port); }

    // A subscriber connected once the server listens.
    natsConnection* Connect()
    {
        natsConnection* connection = nullptr;
        for (int i = 0; i < 200 && m_pid > 0; ++i) {
            if (natsConnection_ConnectTo(&connection, Url().c_str()) == NATS_OK)
                return connection;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return nullptr;
    }

private:
    pid_t m_pid = 0;
    int m_port = 0;
};

} // namespace

TEST(NatsOutput, EachAlertIsPublishedAsJsonUnderItsMarketAndCodeWithAMessageId)
{
    CNatsServer server;
    if (!server.Started())
        GTEST_SKIP() << "nats-server cannot be started here";
    natsConnection* subscriber = server.Connect();
    ASSERT_NE(subscriber, nullptr);
    natsSubscription* subscription = nullptr;
    ASSERT_EQ(natsConnection_SubscribeSync(&subscription, subscriber, "alerts.>"), NATS_OK);
    ASSERT_EQ(natsConnection_Flush(subscriber), NATS_OK);

    CNatsOutput::Config config;
    config.url = server.Url();
    {
        COutputWorker worker(std::make_unique<CNatsOutput>(config), {}, nullptr);
        worker.Push(Event(1));
        worker.Push(Event(2, "000001", "平安银行", 7, 20211201, 36000));
        worker.Push(Event(3, "ETF.X", "名", 6));
        worker.Stop(std::chrono::seconds(30));
        EXPECT_EQ(worker.GetStatus().delivered, 3);
    }

    std::vector<std::string> subjects;
    std::vector<nlohmann::json> bodies;
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        natsMsg* message = nullptr;
        ASSERT_EQ(natsSubscription_NextMsg(&message, subscription, 5000), NATS_OK);
        subjects.push_back(natsMsg_GetSubject(message));
        bodies.push_back(nlohmann::json::parse(std::string(
            natsMsg_GetData(message), static_cast<std::size_t>(natsMsg_GetDataLength(message)))));
        const char* id = nullptr;
        EXPECT_EQ(natsMsgHeader_Get(message, "Nats-Msg-Id", &id), NATS_OK);
        ids.push_back(id ? id : "");
        natsMsg_Destroy(message);
    }
    EXPECT_EQ(subjects,
              (std::vector<std::string>{"alerts.1.600103", "alerts.1.000001", "alerts.1.ETF_X"}));
    EXPECT_EQ(bodies[1]["name"], "平安银行");
    EXPECT_EQ(bodies[1]["reason_code"], 7);
    EXPECT_EQ(bodies[1]["time"], "10:00:00");
    EXPECT_EQ(ids[0], "20211201-1-600103-34205-2-1");
    EXPECT_NE(ids[0], ids[1]);
    natsSubscription_Destroy(subscription);
    natsConnection_Destroy(subscriber);
}

TEST(NatsOutput, NoServerIsRetriedAndGivenUp)
{
    CNatsOutput::Config config;
    config.url = "nats://127.0.0.1:" + std::to_string(FreePort());
    config.timeoutMs = 200;
    COutputWorker::Options options;
    options.firstBackoff = std::chrono::milliseconds(5);
    CRecordingLog log;
    COutputWorker worker(std::make_unique<CNatsOutput>(config), options, &log);
    worker.Push(Event(1));
    worker.Stop(std::chrono::seconds(30));
    EXPECT_EQ(worker.GetStatus().attempts, 5);
    EXPECT_EQ(worker.GetStatus().failed, 1);
    for (const auto& entry : log.Entries())
        EXPECT_EQ(entry.outcome, CDeliveryAttempt::Outcome::Retry);
}

// A server that takes the connection and then falls silent (a network gone, a server hung):
// the flush that confirms a message would wait its whole timeout, and the program's close with
// it. Closing cuts it short.
TEST(NatsOutput, AFlushToAServerGoneSilentEndsWhenTheProgramCloses)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::atomic<bool> published{false};
    std::thread server([listener, &published] {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0)
            return;
        const std::string info = "INFO {\"server_id\":\"silent\",\"version\":\"2.9.10\",\"proto\":"
                                 "1,\"headers\":true,\"max_payload\":1048576}\r\n";
        ::send(client, info.data(), info.size(), MSG_NOSIGNAL);
        // The handshake's PING gets its PONG; nothing after it is answered.
        std::string received;
        char buffer[4096];
        for (ssize_t got = 0; (got = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
            if (received.empty())
                ::send(client, "PONG\r\n", 6, MSG_NOSIGNAL);
            received.append(buffer, static_cast<std::size_t>(got));
            published = received.find("HPUB alerts.") != std::string::npos;
        }
        ::close(client);
    });

    CNatsOutput::Config config;
    config.url = "nats://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    config.timeoutMs = 20000;
    {
        COutputWorker worker(std::make_unique<CNatsOutput>(config), {}, nullptr);
        worker.Push(Event(1));
        for (int i = 0; i < 500 && !published; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(published);
        const auto start = std::chrono::steady_clock::now();
        worker.Stop(std::chrono::milliseconds(0));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(worker.GetStatus().abandoned, 1);
    }
    ::shutdown(listener, SHUT_RDWR);
    ::close(listener);
    server.join();
}
