#include <gtest/gtest.h>

#include <arpa/inet.h>
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
