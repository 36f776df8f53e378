// The live feed: its parser, its line splitting, what a live session refuses, a TCP source that
// drops the connection mid-day, and velk-host's headless feed runs as a process.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/CVelkAlert.h"
#include "host/core/CAlertPrinter.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/feed/CDayFeedWriter.h"
#include "host/feed/CFeedLineReader.h"
#include "host/feed/CFeedParser.h"
#include "host/feed/CFeedQueue.h"
#include "host/feed/CFeedRunner.h"
#include "host/feed/CLiveSession.h"
#include "host/feed/CReconnectBackoff.h"
#include "host/outputs/CAlertHistory.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/CVelkFileLock.h"
#include "platform/core/TextCodec.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/FileContents.h"

using namespace hosttest;
using Problem = CFeedParser::Problem;
using Fault = CFeedRunner::Fault;

namespace {

const std::string kDemoDay = std::string(VELK_SOURCE_DIR) + "/data/demo-day";
const std::string kDemoSys = std::string(VELK_SOURCE_DIR) + "/data/demo-root/SYS";

class CollectingObserver final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        lines.push_back(CAlertPrinter::FormatLine(record));
    }
    std::vector<std::string> lines;
};

std::vector<std::string> FeedLines(const CTradingDay& day, std::vector<int>* times = nullptr)
{
    CDayFeedWriter writer(day);
    std::vector<std::string> lines;
    std::string line, subject;
    int time = -1;
    while (writer.Next(line, time, subject)) {
        lines.push_back(line);
        if (times)
            times->push_back(time);
        line.clear();
    }
    return lines;
}

std::vector<std::string> ReplayAlerts(const CTradingDay& day, const std::string& sysDir)
{
    CQuoteStore store;
    CScopedHostBackend backend(store);
    CollectingObserver observer;
    CDayReplay replay(day, store);
    replay.FillStore(sysDir);
    const CVelkServices services{};
    replay.Run(&services, sysDir, &observer);
    return observer.lines;
}

// A TCP server on 127.0.0.1 that the test drives: accept, send, drop.
class CTestServer {
public:
    explicit CTestServer(int port = 0)
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
    ~CTestServer()
    {
        Drop();
        ::close(m_nListen);
    }
    bool Accept()
    {
        pollfd wait{m_nListen, POLLIN, 0};
        if (::poll(&wait, 1, 10000) != 1)
            return false;
        m_nClient = ::accept(m_nListen, nullptr, nullptr);
        return m_nClient >= 0;
    }
    void Send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(m_nClient, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
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

// velk-host run headless on a feed, its output into outPath; 0 when it could not be started.
pid_t SpawnHeadless(const std::string& root, const std::string& feed, const std::string& outPath)
{
    const CHostSpawnVectors vectors({"--headless", "--silent", "--root", root, "--feed", feed}, {});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, VELK_HOST_BINARY, &actions, nullptr, vectors.Argv(), vectors.Envp()) != 0)
        pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct Terminated {
    std::chrono::steady_clock::duration took;
    int status = 0;
};

// SIGTERM, and the time until the program ended (killed after 5 s, so that no test hangs).
Terminated TerminateAndWait(pid_t pid)
{
    const auto asked = std::chrono::steady_clock::now();
    ::kill(pid, SIGTERM);
    Terminated result;
    bool ended = false;
    while (!(ended = ::waitpid(pid, &result.status, WNOHANG) == pid) &&
           std::chrono::steady_clock::now() - asked < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    result.took = std::chrono::steady_clock::now() - asked;
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &result.status, 0);
    }
    return result;
}

// A live session on its own quote service with the demo's conditions, fed line by line.
struct LiveFixture {
    CTempDir root;
    CQuoteStore store;
    CScopedHostBackend backend{store};
    CollectingObserver observer;
    CVelkServices services{};
    CLiveSession session{store, SysDir(), &services, &observer};
    std::FILE* log = std::tmpfile();
    CFeedRunner runner{session, {}, log};

    std::string SysDir() const
    {
        std::filesystem::copy(kDemoSys, root.File("SYS"));
        return root.File("SYS");
    }
    ~LiveFixture()
    {
        session.Finish();
        std::fclose(log);
    }
    std::string Log() const { return FileContents(log); }
    void Take(std::initializer_list<const char*> lines)
    {
        for (const char* line : lines)
            runner.TakeLine(line);
    }
};

const char* kHello =
    R"({"type":"hello","version":1,"date":20211201,"markets":[{"market":1,"ext":"SH","level1":1}]})";
const char* kSymbol =
    R"({"type":"symbol","market":1,"code":"600000","name":"浦发银行","prev_close":10,"decimals":2})";

} // namespace

TEST(FeedParser, ReadsEachKindWithFieldsInAnyOrderAndIgnoresUnknownFields)
{
    CFeedParser parser;
    CFeedMessage m;
    ASSERT_EQ(parser.Parse(R"({"price":10.5,"future":{"x":[1,2]},"code":"600000","type":"trade",)"
                           R"("volume":300,"market":1,"time":"09:30:01.25","cum_volume":1300})",
                           m),
              Problem::None)
        << parser.Why();
    EXPECT_EQ(m.kind, CFeedMessage::Kind::Trade);
    EXPECT_EQ(m.code, "600000");
    EXPECT_EQ(m.market, 1);
    EXPECT_EQ(m.price, 10.5);
    EXPECT_EQ(m.volume, 300);
    EXPECT_EQ(m.cumulativeVolume, 1300);
    EXPECT_EQ(m.time, 9 * 3600 + 30 * 60 + 1);
    EXPECT_EQ(m.timeMillis, m.time * 1000 + 250);

    ASSERT_EQ(parser.Parse(kSymbol, m), Problem::None) << parser.Why();
    EXPECT_EQ(m.kind, CFeedMessage::Kind::Symbol);
    EXPECT_EQ(m.nameGbk, TextCodec::Utf8ToGbk("浦发银行"));
    EXPECT_EQ(m.decimals, 2);
    EXPECT_EQ(m.cumulativeVolume, -1) << "a reused message keeps nothing of the line before";

    ASSERT_EQ(parser.Parse(R"({"type":"group","user":"demo","group":"自选股","members":)"
                           R"([{"market":1,"code":"600000"},{"market":2,"code":"000001"}]})",
                           m),
              Problem::None);
    ASSERT_EQ(m.members.size(), 2u);
    EXPECT_EQ(m.members[1].first, 2);
    EXPECT_EQ(m.members[1].second, "000001");

    ASSERT_EQ(parser.Parse(kHello, m), Problem::None);
    EXPECT_EQ(m.tradeDate, 20211201);
    ASSERT_EQ(m.markets.size(), 1u);
    EXPECT_EQ(m.markets[0].extGbk, "SH");
}

TEST(FeedParser, RefusesBrokenLinesBadPricesAndBadFieldsEachAsItsKind)
{
    CFeedParser parser;
    CFeedMessage m;
    const std::string trade = R"({"type":"trade","time":"09:30:00","market":1,"code":"600000",)";
    struct Case {
        std::string line;
        Problem problem;
    } cases[] = {
        {"not json", Problem::Malformed},
        {R"({"type":"trade","time":"09:30:00")", Problem::Malformed},
        {R"({"type":"end"} {"type":"end"})", Problem::Malformed},
        {R"([{"type":"end"}])", Problem::Malformed},
        {"{\"type\":\"symbol\",\"market\":1,\"code\":\"60\xff\"}", Problem::Malformed},
        {trade + R"("price":-1,"volume":1})", Problem::BadPrice},
        {trade + R"("price":1e999,"volume":1})", Problem::BadPrice},
        {trade + R"("price":1e39,"volume":1})", Problem::BadPrice},
        {trade + R"("price":10.1234,"volume":1})", Problem::BadPrice},
        {trade + R"("price":"10.5","volume":1})", Problem::BadPrice},
        {trade + R"("price":10.5,"volume":1.5})", Problem::BadField},
        {trade + R"("price":10.5})", Problem::BadField},
        {R"({"type":"trade","time":"9:30","market":1,"code":"600000","price":1,"volume":1})",
         Problem::BadField},
        {R"({"type":"trade","time":"09:30:00","market":256,"code":"600000","price":1,"volume":1})",
         Problem::BadField},
        {R"({"type":"symbol","market":1,"code":"600000123456"})", Problem::BadField},
        {R"({"type":"symbol","market":1,"code":"600000","name":"한국"})", Problem::BadField},
        {R"({"type":"hello","date":20211301})", Problem::BadField},
        {R"({"code":"600000"})", Problem::BadField},
        {R"({"type":"quote","code":"600000"})", Problem::UnknownKind},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parser.Parse(c.line, m), c.problem) << c.line;
        EXPECT_FALSE(parser.Why().empty()) << c.line;
    }
}

TEST(FeedLineReader, APeerWithoutNewlinesCostsNoMoreThanTheBufferAndTheFeedGoesOn)
{
    CFeedLineReader reader;
    std::string_view line;
    std::size_t capacity = 0;
    const std::string chunk(10000, 'x');
    int tooLong = 0;
    // Ten megabytes of one line: each piece is taken, none is handed out as a line.
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(reader.Append(chunk.data(), chunk.size()), chunk.size()) << "piece " << i;
        for (CFeedLineReader::Next next;
             (next = reader.NextLine(line, capacity)) != CFeedLineReader::Next::None;) {
            ASSERT_EQ(next, CFeedLineReader::Next::TooLong);
            ++tooLong;
        }
    }
    EXPECT_EQ(tooLong, 1);
    const std::string rest = "tail of the long line\r\n{\"type\":\"end\"}\n";
    reader.Append(rest.data(), rest.size());
    ASSERT_EQ(reader.NextLine(line, capacity), CFeedLineReader::Next::Line);
    EXPECT_EQ(line, "{\"type\":\"end\"}");
    EXPECT_GE(capacity, line.size() + CFeedParser::kPadding);
    EXPECT_EQ(reader.LineNumber(), 2);
    EXPECT_EQ(reader.NextLine(line, capacity), CFeedLineReader::Next::None);

    // A line of exactly the limit is a line; one byte more is not.
    reader.Reset();
    const std::string longest(CFeedLineReader::kMaxLine, 'y');
    const std::string over(CFeedLineReader::kMaxLine + 1, 'z');
    const std::string both = longest + "\n" + over + "\nlast";
    reader.Append(both.data(), both.size());
    ASSERT_EQ(reader.NextLine(line, capacity), CFeedLineReader::Next::Line);
    EXPECT_EQ(line.size(), CFeedLineReader::kMaxLine);
    EXPECT_EQ(reader.NextLine(line, capacity), CFeedLineReader::Next::TooLong);
    EXPECT_EQ(reader.NextLine(line, capacity), CFeedLineReader::Next::None);
    ASSERT_EQ(reader.FinishLine(line, capacity), CFeedLineReader::Next::Line);
    EXPECT_EQ(line, "last");
    EXPECT_EQ(reader.LineNumber(), 3);
}

TEST(FeedSession, CountsAndSkipsWhatItCannotTakeAndGoesOn)
{
    LiveFixture live;
    live.Take(
        {kHello, kSymbol,
         R"({"type":"trade","time":"09:30:00","market":1,"code":"600000","price":10.5,"volume":100})",
         R"({"type":"trade","time":"09:30:00","market":1,"code":"699999","price":10.5,"volume":100})",
         R"({"type":"trade","time":"09:29:59","market":1,"code":"600000","price":10.6,"volume":100})",
         R"({"type":"trade","time":"09:30:01","market":1,"code":"600000","price":10.555,"volume":100})",
         R"({"type":"symbol","market":9,"code":"600001"})", "{broken", R"({"type":"news"})",
         R"({"type":"trade","time":"09:30:02","market":1,"code":"600000","price":10.7,"volume":100})",
         R"({"type":"trade","time":"09:30:03","market":1,"code":"600000","price":100.01,"volume":1})"});
    EXPECT_EQ(live.session.Trades(), 2);
    EXPECT_EQ(live.runner.Faults(Fault::UnknownSymbol), 1);
    EXPECT_EQ(live.runner.Faults(Fault::TimeBackwards), 1);
    EXPECT_EQ(live.runner.Faults(Fault::BadPrice), 2)
        << "decimals beyond the symbol's two, ten times its previous close";
    EXPECT_EQ(live.runner.Faults(Fault::BadField), 1) << "a market the hello did not list";
    EXPECT_EQ(live.runner.Faults(Fault::Malformed), 1);
    EXPECT_EQ(live.runner.Faults(Fault::UnknownKind), 1);
    const std::string log = live.Log();
    EXPECT_NE(log.find("feed line 4 skipped (unknown stock)"), std::string::npos) << log;
    EXPECT_NE(log.find("feed line 5 skipped (time going backwards)"), std::string::npos) << log;
    EXPECT_NE(log.find("feed line 8 skipped (malformed)"), std::string::npos) << log;
    EXPECT_NE(log.find("feed line 11 skipped (bad price): price \"100.01\" is more than ten"),
              std::string::npos)
        << log;
    EXPECT_NE(live.runner.FaultSummary().find("1 unknown stock, 2 bad price"), std::string::npos)
        << live.runner.FaultSummary();

    // Only the first few of a kind are written out; all are counted.
    for (int i = 0; i < 20; ++i)
        live.runner.TakeLine("{broken");
    EXPECT_EQ(live.runner.Faults(Fault::Malformed), 21);
    std::size_t written = 0;
    for (std::size_t at = 0; (at = live.Log().find("(malformed)", at)) != std::string::npos; ++at)
        ++written;
    EXPECT_EQ(written, static_cast<std::size_t>(CFeedRunner::kFaultsShown));
}

TEST(FeedSession, AGroupKeepsTheMembersTheHostKnowsAndOneWithNoneIsRefused)
{
    LiveFixture f;
    // A host following market 1's share: market 2's stocks were never announced to it.
    f.Take(
        {kHello, kSymbol,
         R"({"type":"group","user":"demo","group":"自选股","members":[{"market":1,"code":"600000"},{"market":2,"code":"000001"}]})",
         R"({"type":"group","user":"demo","group":"深市","members":[{"market":2,"code":"000001"}]})"});
    std::vector<CSymbolInfo> stocks;
    ASSERT_TRUE(f.store.GetSymbolIDVecBySSVName("demo", TextCodec::Utf8ToGbk("自选股"), stocks));
    ASSERT_EQ(stocks.size(), 1u);
    EXPECT_EQ(stocks[0].m_strCode, "600000");
    EXPECT_FALSE(f.store.GetSymbolIDVecBySSVName("demo", TextCodec::Utf8ToGbk("深市"), stocks));
    EXPECT_EQ(f.runner.Faults(Fault::UnknownSymbol), 1);
}

TEST(FeedSession, AHelloWithANewDateStartsANewDay)
{
    LiveFixture live;
    live.Take(
        {kHello, kSymbol,
         R"({"type":"trade","time":"14:59:00","market":1,"code":"600000","price":10.5,"volume":100})",
         R"({"type":"hello","version":1,"date":20211202})",
         R"({"type":"trade","time":"09:30:00","market":1,"code":"600000","price":10.4,"volume":100})"});
    EXPECT_EQ(live.session.TradeDate(), 20211202);
    EXPECT_EQ(live.session.Trades(), 2) << live.Log();
    EXPECT_EQ(live.runner.Faults(Fault::TimeBackwards), 0);
    // The new day's ticks only: yesterday's are not today's history.
    EXPECT_EQ(live.store.GetTickerCount(1, "600000", "20211202"), 1);
    EXPECT_EQ(live.store.GetTickerCount(1, "600000", "20211201"), 0);
    CMarketStatus status;
    ASSERT_TRUE(live.store.GetMarketStatus(1, "600000", status));
    EXPECT_EQ(status.m_nTradeDate, 20211202);
}

// A stock that traded yesterday and not yet today has no quote of today: yesterday's last price
// is its close, and nothing else of yesterday (volume, high, low, open, amount, time) is shown
// or read as today's. Whoever shows quotes is told of each such stock.
TEST(FeedSession, ANewDayTakesBackYesterdaysQuoteOfEveryStockNotYetTraded)
{
    LiveFixture live;
    std::vector<std::string> told;
    live.session.SetAfterEachTrade(
        [&](unsigned char, const std::string& code) { told.push_back(code); });
    live.Take(
        {kHello, kSymbol,
         R"({"type":"symbol","market":1,"code":"600103","name":"青山纸业","prev_close":3,"decimals":2})",
         R"({"type":"trade","time":"14:59:00","market":1,"code":"600000","price":10.5,"volume":100,"amount":1050})",
         R"({"type":"trade","time":"14:59:30","market":1,"code":"600103","price":3.1,"volume":300})",
         R"({"type":"hello","version":1,"date":20211202})"});
    EXPECT_EQ(told, (std::vector<std::string>{"600000", "600103", "600000", "600103"}));
    const std::vector<unsigned short> wanted{
        125, 182, 413, 130, 131, 143, QuoteItem::kOpenPrice, QuoteItem::kAmount, 129};
    std::vector<X1Format> values;
    ASSERT_TRUE(live.store.GetItemDataByItemNo(1, "600000", wanted, values, true));
    ASSERT_EQ(values.size(), wanted.size());
    for (std::size_t i = 0; i + 1 < wanted.size(); ++i)
        EXPECT_EQ(values[i].GetKind(), X1Format::kNone) << "item " << wanted[i];
    EXPECT_DOUBLE_EQ(static_cast<double>(values.back()), 10.5);

    live.Take(
        {R"({"type":"trade","time":"09:30:00","market":1,"code":"600103","price":3.2,"volume":200})"});
    ASSERT_TRUE(live.store.GetItemDataByItemNo(1, "600103", wanted, values, true));
    EXPECT_DOUBLE_EQ(static_cast<double>(values[2]), 200); // today's volume alone
    EXPECT_FLOAT_EQ(static_cast<float>(static_cast<double>(values[3])), 3.2f); // today's high
    EXPECT_FLOAT_EQ(static_cast<float>(static_cast<double>(values[8])), 3.1f); // the close
}

TEST(FeedReconnect, ASourceThatDropsMidDayAndComesBackDuplicatesNoAlert)
{
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(kDemoDay, error)) << error;
    CTempDir root;
    std::filesystem::copy(kDemoSys, root.File("SYS"));
    const std::vector<std::string> expected = ReplayAlerts(day, root.File("SYS"));
    ASSERT_FALSE(expected.empty());

    // The cut falls between two seconds, half-way through the day's events.
    std::vector<int> times;
    const std::vector<std::string> lines = FeedLines(day, &times);
    std::size_t cut = lines.size() / 2;
    while (cut < lines.size() && times[cut] == times[cut - 1])
        ++cut;
    ASSERT_LT(cut, lines.size() - 1);

    auto first = std::make_unique<CTestServer>();
    ASSERT_TRUE(first->bound);
    const int port = first->port;
    std::atomic<bool> served{false};
    std::thread server([&] {
        if (!first->Accept())
            return;
        std::string part;
        for (std::size_t i = 0; i < cut; ++i)
            part += lines[i];
        first->Send(part);
        first.reset(); // gone, listening socket and all
        // Back on the same port a little later, with the whole day from its hello.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        CTestServer again(port);
        if (!again.bound || !again.Accept())
            return;
        std::string all;
        for (const std::string& line : lines)
            all += line;
        again.Send(all);
        served = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });

    CQuoteStore store;
    CScopedHostBackend backend(store);
    CollectingObserver observer;
    const CVelkServices services{};
    CLiveSession session(store, root.File("SYS"), &services, &observer);
    CFeedConnection::Address address;
    ASSERT_TRUE(
        CFeedConnection::ParseAddress("tcp://127.0.0.1:" + std::to_string(port), address, error));
    CFeedRunner runner(session, address, nullptr);
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    // A host that never sees the end is stopped, so the test fails instead of hanging.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!done)
            (void)!::write(stop[1], "x", 1);
    });
    const int status = runner.Run(stop[0]);
    done = true;
    watchdog.join();
    server.join();
    session.Finish();
    ::close(stop[0]);
    ::close(stop[1]);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(served);
    EXPECT_TRUE(session.Ended());
    EXPECT_EQ(observer.lines, expected);
    EXPECT_GT(runner.Faults(Fault::Duplicate), 0) << "the day's first half came twice";
}

TEST(FeedQueue, AFullQueueHoldsTheReaderUntilTakenAndStopReleasesItForGood)
{
    CFeedQueue queue(2);
    CFeedMessage trade;
    trade.kind = CFeedMessage::Kind::Trade;
    trade.code = "600000";
    std::string why;
    EXPECT_EQ(queue.Take(trade, 1, why), IFeedSink::Problem::None);
    queue.Reconnected();
    std::atomic<bool> third{false};
    std::thread reader([&] {
        queue.Take(trade, 3, why);
        third = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(third) << "a full queue let the reader on";
    std::vector<CFeedQueue::Item> items;
    ASSERT_TRUE(queue.TakeAll(items));
    reader.join();
    EXPECT_TRUE(third);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].line, 1);
    EXPECT_EQ(items[0].message.code, "600000");
    EXPECT_TRUE(items[1].reconnected);
    ASSERT_TRUE(queue.TakeAll(items));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].line, 3);
    EXPECT_FALSE(queue.Ended());

    // Full again: the reader waits, and stopping releases it at once.
    queue.Take(trade, 4, why);
    queue.Take(trade, 5, why);
    std::thread held([&] { queue.Take(trade, 6, why); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.Stop();
    held.join();
    EXPECT_TRUE(queue.Ended());

    CFeedQueue ending(8);
    CFeedMessage end;
    end.kind = CFeedMessage::Kind::End;
    ending.Take(end, 1, why);
    EXPECT_TRUE(ending.Ended());
}

TEST(FeedQueue, TheApplierIsWokenByTheFirstMessageOfAnEmptyQueueOnly)
{
    CFeedQueue queue(4);
    int wakes = 0;
    bool queuedWhenWoken = false;
    queue.SetOnArrival([&] {
        ++wakes;
        queuedWhenWoken = queue.HasItems();
    });
    CFeedMessage trade;
    trade.kind = CFeedMessage::Kind::Trade;
    std::string why;
    EXPECT_FALSE(queue.HasItems());
    queue.Take(trade, 1, why);
    EXPECT_EQ(wakes, 1);
    EXPECT_TRUE(queuedWhenWoken) << "woken before the message could be taken";
    // A flood wakes no more often than the applier takes.
    queue.Take(trade, 2, why);
    queue.Reconnected();
    EXPECT_EQ(wakes, 1);
    std::vector<CFeedQueue::Item> items;
    ASSERT_TRUE(queue.TakeAll(items));
    EXPECT_FALSE(queue.HasItems());
    queue.Reconnected();
    EXPECT_EQ(wakes, 2) << "a reconnection in an empty queue is news as well";
    queue.Stop();
    queue.Take(trade, 4, why);
    EXPECT_EQ(wakes, 2) << "a stopped queue refuses, and wakes nobody";
}

TEST(FeedReconnect, BackoffDoublesFromHalfASecondToThirtyWithJitter)
{
    CReconnectBackoff backoff(7);
    std::vector<int> waits;
    for (int i = 0; i < 10; ++i)
        waits.push_back(backoff.Next());
    int step = 500;
    for (int wait : waits) {
        EXPECT_GE(wait, step * 8 / 10);
        EXPECT_LE(wait, std::min(step * 12 / 10, 30000));
        step = std::min(step * 2, 30000);
    }
    EXPECT_NE(waits[0], CReconnectBackoff(8).Next()) << "two hosts do not wait alike";
    backoff.Reset();
    EXPECT_LE(backoff.Next(), 600);
}

TEST(HeadlessFeed, AFeedThatCannotBeReachedEndsWithStatusThree)
{
    CTempDir root;
    int port = 0;
    {
        CTestServer closed;
        port = closed.port; // free again once closed
    }
    const HostResult result = RunHost({"--headless", "--silent", "--root", root.Path(), "--feed",
                                       "tcp://127.0.0.1:" + std::to_string(port)});
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_NE(result.err.find("cannot reach the feed"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
}

// A day's feed lines served once to the first client.
class CServedDay {
public:
    explicit CServedDay(const std::string& lines)
        : m_thread([this, lines] {
              if (m_server.Accept()) {
                  m_server.Send(lines);
                  m_server.Drop();
              }
          })
    {
    }
    ~CServedDay() { m_thread.join(); }
    std::string Url() const { return "tcp://127.0.0.1:" + std::to_string(m_server.port); }

private:
    CTestServer m_server;
    std::thread m_thread;
};

std::size_t CountLines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(HeadlessFeed, ALiveRunHoldsTheRootLockAndKeepsItsAlertsInTheHistoryAsLive)
{
    CTempDir root;
    std::filesystem::copy(kDemoSys, root.File("SYS"));
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(kDemoDay, error)) << error;
    std::string all;
    for (const std::string& line : FeedLines(day))
        all += line;

    {
        // Another velk-host works on the root: the feed is not even tried.
        CVelkFileLock other(root.File("SYS/velk-host.lock"));
        const HostResult busy = RunHost(
            {"--headless", "--silent", "--root", root.Path(), "--feed", "tcp://127.0.0.1:1"});
        EXPECT_EQ(busy.status, 4) << busy.err;
        EXPECT_EQ(busy.err.find("cannot reach"), std::string::npos) << busy.err;
    }

    HostResult run;
    {
        CServedDay served(all);
        run = RunHost({"--headless", "--silent", "--root", root.Path(), "--feed", served.Url()});
    }
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t alerts = CountLines(run.out);
    ASSERT_GT(alerts, 0u);
    const HostResult live =
        RunHost({"history", "--root", root.Path(), "--source", "live", "--format", "csv"});
    ASSERT_EQ(live.status, 0) << live.err;
    EXPECT_EQ(CountLines(live.out), alerts + 1) << live.out; // and the header
    // Every alert carries the date of the feed's hello.
    std::size_t dated = 0;
    for (std::size_t at = live.out.find("\r\n"); at != std::string::npos;
         at = live.out.find("\r\n", at + 2))
        if (live.out.compare(at + 2, 9, "20211201,") == 0 ||
            live.out.compare(at + 2, 11, "2021-12-01,") == 0)
            ++dated;
    EXPECT_EQ(dated, alerts) << live.out;
    const HostResult replayed =
        RunHost({"history", "--root", root.Path(), "--source", "replay", "--format", "csv"});
    EXPECT_EQ(CountLines(replayed.out), 1u) << replayed.out;

    // Without a history, none is made.
    CTempDir bare;
    std::filesystem::copy(kDemoSys, bare.File("SYS"));
    {
        CServedDay served(all);
        run = RunHost({"--headless", "--silent", "--no-history", "--root", bare.Path(), "--feed",
                       served.Url()});
    }
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(CountLines(run.out), alerts);
    EXPECT_FALSE(std::filesystem::exists(CAlertHistory::PathIn(bare.Path())));
}

TEST(HeadlessFeed, SigtermWhileTheFeedIsSilentEndsInOrderWithinASecond)
{
    CTempDir root;
    std::filesystem::copy(kDemoSys, root.File("SYS"));
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(kDemoDay, error)) << error;
    const std::vector<std::string> lines = FeedLines(day);
    CTestServer server;
    ASSERT_TRUE(server.bound);

    const std::string outPath = root.File("out.txt");
    const pid_t pid =
        SpawnHeadless(root.Path(), "tcp://127.0.0.1:" + std::to_string(server.port), outPath);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(server.Accept());
    // All but the end: the host has alerts to print and then waits on a silent peer.
    std::string all;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        all += lines[i];
    server.Send(all);
    // Silent from here on: once every alert is out (however slow the build), the host waits.
    const long expected = static_cast<long>(ReplayAlerts(day, root.File("SYS")).size());
    const auto sent = std::chrono::steady_clock::now();
    for (;;) {
        const std::string soFar = ReadFile(outPath);
        if (std::count(soFar.begin(), soFar.end(), '\n') >= expected ||
            std::chrono::steady_clock::now() - sent > std::chrono::seconds(60))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const Terminated ended = TerminateAndWait(pid);
    EXPECT_LT(ended.took, std::chrono::seconds(1));
    ASSERT_TRUE(WIFEXITED(ended.status));
    EXPECT_EQ(WEXITSTATUS(ended.status), 0);
    const std::string out = ReadFile(outPath);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), expected);
#ifdef VELK_HOST_HAS_UI
    // Shut down in order: the day's alerts are in the day file (which the alert list window
    // writes, so only a build with the windows has one).
    EXPECT_TRUE(std::filesystem::exists(root.File("Dat/Alert/20211201.alt")));
#endif
}

// A NATS server that takes the connection and never greets it holds the client in its connect:
// a signal then still ends the program within a second, as one that found no server at all.
TEST(HeadlessFeed, SigtermWhileANatsServerNeverAnswersEndsWithinASecond)
{
    CTempDir root;
    std::filesystem::copy(kDemoSys, root.File("SYS"));
    CTestServer server;
    ASSERT_TRUE(server.bound);
    const pid_t pid =
        SpawnHeadless(root.Path(), "nats://127.0.0.1:" + std::to_string(server.port), "/dev/null");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(server.Accept());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const Terminated ended = TerminateAndWait(pid);
    EXPECT_LT(ended.took, std::chrono::seconds(1));
    ASSERT_TRUE(WIFEXITED(ended.status));
    // Never connected: the feed could not be reached.
    EXPECT_EQ(WEXITSTATUS(ended.status), 3);
}

TEST(HeadlessFeed, ANewTradeDateKeepsTheOldDaysAlertsInTheOldDaysFile)
{
#ifndef VELK_HOST_HAS_UI
    GTEST_SKIP() << "the day file is written by the alert list window, which this build lacks";
#endif
    CTempDir root;
    std::filesystem::copy(kDemoSys, root.File("SYS"));
    CTradingDay day;
    std::string error;
    ASSERT_TRUE(day.Load(kDemoDay, error)) << error;
    std::vector<std::string> lines = FeedLines(day);
    ASSERT_EQ(lines.back(), "{\"type\":\"end\"}\n");
    lines.pop_back();
    // The next day begins and the feed ends before its first trade.
    lines.push_back(R"({"type":"hello","version":1,"date":20211202})"
                    "\n");
    lines.push_back("{\"type\":\"end\"}\n");
    CTestServer server;
    ASSERT_TRUE(server.bound);
    std::thread serve([&] {
        if (!server.Accept())
            return;
        std::string all;
        for (const std::string& line : lines)
            all += line;
        server.Send(all);
        server.Drop();
    });
    const HostResult result = RunHost({"--headless", "--silent", "--root", root.Path(), "--feed",
                                       "tcp://127.0.0.1:" + std::to_string(server.port)});
    serve.join();
    EXPECT_EQ(result.status, 0) << result.err;
    const std::size_t alerts =
        static_cast<std::size_t>(std::count(result.out.begin(), result.out.end(), '\n'));
    ASSERT_GT(alerts, 0u);
    // Every alert of the first day is in its file, 125 bytes a record.
    EXPECT_EQ(ReadFile(root.File("Dat/Alert/20211201.alt")).size(), alerts * 125) << result.err;
}
