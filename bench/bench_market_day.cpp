// A whole market through the real engine, as velk-host replays it: a generated day (5,000
// stocks on two markets, every one monitored for new highs, new lows and limit prices, 1,000
// with price alerts) replayed with everything watched, with nothing watched, and with the
// pop-up option on (the alert list window created on the offscreen platform). Each run is a
// child process of its own, so its peak memory is its own; the modes take turns run by run, in
// the opposite order every other round, so that the neighbours' load falls on all of them
// alike; on request (--modes ...,monitor) it also
// runs watched with every rule of the market monitor on. Prints trades per second, the engine's
// cost per notification (watched less nothing watched), alerts and peak memory.
//
// The floor is the least any module could spend on a notification: over the same day's trades,
// a bare loop builds each stock's key ("%d%s") and looks it up in a price-alert and a
// system-alert map as the watched run's lists would fill them (every stock monitored, every
// fifth with a price alert). The engine's cost is printed as a multiple of it.
// Times are wall clock and, beside them, the process's CPU time, which says more on a machine
// that other work shares.
//
//   bench_market_day [--trades N[,N...]] [--stocks N] [--seed N] [--runs N] [--data DIR]
//                    [--modes floor,none,watched,popup,monitor,outputs,webhooks,threaded]
//
// The mode "outputs" replays the watched day with velk-host's alert history (an SQLite file
// committed once a frame) and two webhook outputs whose receiver never answers; it is compared
// with "watched", as a ratio of the medians and round by round. The mode "webhooks" has the two
// dead webhooks alone, without the history.
// The mode "threaded" is "watched" with one more thread that only sleeps: the C library drops
// its single-thread short cuts (a mutex or malloc without atomic instructions) once a process
// has a second thread, so this is what any output costs before it does anything.
//   bench_market_day --soak NOTIFICATIONS [--trades N] ...
//
// The soak replays the watched day again and again into one engine, as one trading day after
// another (ClearAllData between them), and compares the heap after the first million
// notifications with the heap at the end: what grew must be the alert records.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <malloc.h>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "bench/CMarketDayGenerator.h"
#include "engine/CVelkAlert.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"

#include "host/outputs/CAlertFanOut.h"
#include "host/outputs/CAlertHistory.h"

#ifdef VELK_BENCH_HAS_UI
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "host/gui/CQtHostSession.h"
#include "host/outputs/CWebhookOutput.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

double CpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long CurrentRssKb()
{
    long pages = 0;
    long resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    std::fclose(statm);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

constexpr long kFirstMillion = 1'000'000;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedHeap = true;
#else
constexpr bool kSanitizedHeap = false;
#endif

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

class CCountingObserver final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD&) override { ++m_nAlerts; }
    long m_nAlerts = 0;
};

struct Options {
    std::vector<long long> trades{1'000'000};
    int stocks = 5000;
    std::uint64_t seed = 20240102;
    int runs = 3;
    std::string dataDir = VELK_BENCH_DATA_DIR;
    std::vector<std::string> modes{"floor", "none", "watched", "popup"};
    long long soak = 0;
};

struct RunResult {
    double load = 0;   // reading and checking the day
    double replay = 0; // engine start, the replay, engine shutdown
    double loadCpu = 0;
    double replayCpu = 0;
    // The replay's own thread, without the outputs' and the history's threads.
    double replayThreadCpu = 0;
    long trades = 0;
    long notifications = 0;
    long alerts = 0;
    long startKb = 0;
    long loadedKb = 0;
    long peakKb = 0;
    bool ok = false;
};

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--trades") {
            options.trades.clear();
            for (const std::string& part : Split(value))
                options.trades.push_back(std::atoll(part.c_str()));
        } else if (arg == "--stocks") {
            options.stocks = std::atoi(value.c_str());
        } else if (arg == "--seed") {
            options.seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (arg == "--runs") {
            options.runs = std::max(1, std::atoi(value.c_str()));
        } else if (arg == "--data") {
            options.dataDir = value;
        } else if (arg == "--modes") {
            options.modes = Split(value);
        } else if (arg == "--soak") {
            options.soak = std::atoll(value.c_str());
        } else {
            return false;
        }
    }
    return !options.trades.empty() && options.stocks > 0;
}

// The generated day of this shape, written on first use.
std::string PrepareDay(const Options& options, long long trades)
{
    CMarketDayGenerator::Shape shape;
    shape.seed = options.seed;
    shape.stocks = options.stocks;
    shape.trades = trades;
    CMarketDayGenerator generator(shape);
    const std::string folder = VelkJoinPath(options.dataDir, generator.Name());
    if (!generator.IsWritten(folder)) {
        std::fprintf(stderr, "generating %s ...\n", folder.c_str());
        std::string error;
        if (!generator.Write(folder, error)) {
            std::fprintf(stderr, "bench_market_day: %s\n", error.c_str());
            return {};
        }
    }
    return folder;
}

// Every threshold of alert.cfg switched on, and the market monitor with it.
bool EnableEveryMonitorRule(const std::string& sysDir)
{
    const std::string alertPath = VelkJoinPath(sysDir, "alert.cfg");
    std::string bytes;
    if (!VelkReadFile(alertPath, bytes) || bytes.size() < sizeof(Ta_ALERTSETTING))
        return false;
    const Ta_ALERTSETTING setting{1, 1, 1, 1, 1, 5.0f, 5.0f, 3.0f, 2.0f, 100.0f, 0.1f};
    std::memcpy(bytes.data(), &setting, sizeof setting);
    return VelkReplaceFile(alertPath, bytes) &&
           VelkReplaceFile(VelkJoinPath(sysDir, "MarketMonitor.cfg"), "enabled=1\n");
}

// A fresh data directory with the mode's condition files; the replay works in its bin folder,
// as velk-host does, so the window's day file lands beside it.
std::string PrepareRoot(const std::string& folder, const std::string& mode)
{
    std::string templ = (std::filesystem::temp_directory_path() / "velk-market-XXXXXX").string();
    if (!::mkdtemp(templ.data()))
        return {};
    std::error_code ec;
    // The monitor mode: the watched day with every rule of the market monitor on.
    const bool monitor = mode == "monitor";
    std::filesystem::copy(VelkJoinPath(folder, (monitor ? "watched" : mode) + "/SYS"),
                          VelkJoinPath(templ, "SYS"), std::filesystem::copy_options::recursive, ec);
    std::filesystem::create_directories(VelkJoinPath(templ, "bin"), ec);
    if (ec || ::chdir(VelkJoinPath(templ, "bin").c_str()) != 0)
        return {};
    if (monitor && !EnableEveryMonitorRule(VelkJoinPath(templ, "SYS")))
        return {};
    return templ;
}

// The floor loop over the loaded day: CPU seconds, notifications = trades.
void RunFloor(const CTradingDay& day, RunResult& result)
{
    std::unordered_map<std::string, int> priceMap(17);
    std::unordered_map<std::string, int> systemMap(17);
    const std::vector<CTradingDay::Symbol>& symbols = day.Symbols();
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        const std::string key = std::to_string(symbols[i].market) + symbols[i].code;
        systemMap[key] = static_cast<int>(i);
        if (i % 5 == 0)
            priceMap[key] = static_cast<int>(i / 5);
    }
    long found = 0;
    const double start = CpuSeconds();
    for (const CTradingDay::Trade& trade : day.Trades()) {
        const CTradingDay::Symbol& symbol = day.SymbolOf(trade);
        const std::string key = std::to_string(symbol.market) + symbol.code;
        auto price = priceMap.find(key);
        auto system = systemMap.find(key);
        found +=
            (price != priceMap.end() ? price->second : 0) + (system != systemMap.end() ? 1 : 0);
    }
    result.replayCpu = CpuSeconds() - start;
    result.replay = result.replayCpu;
    result.trades = static_cast<long>(day.Trades().size());
    result.notifications = result.trades;
    // Kept, so that the loop is not optimised away.
    result.alerts = found > 0 ? 0 : 1;
}

#ifdef VELK_BENCH_HAS_UI
// A webhook receiver that never answers: connections are taken into the listen queue and left
// there, so every request waits for its timeout.
int SilentListener(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    port = ntohs(address.sin_port);
    return fd;
}
#endif

// One replay of the day in this process. The mode "outputs" is the watched day with the alert
// history and two webhook outputs to a receiver that never answers; "webhooks" has the webhooks
// without the history.
RunResult RunOnce(const std::string& folder, const std::string& mode, int& argc, char** argv)
{
    RunResult result;
    result.startKb = CurrentRssKb();
    if (mode == "floor") {
        const Clock::time_point start = Clock::now();
        const double startCpu = CpuSeconds();
        CTradingDay day;
        std::string error;
        if (!day.Load(VelkJoinPath(folder, "day"), error)) {
            std::fprintf(stderr, "bench_market_day: %s\n", error.c_str());
            return result;
        }
        result.load = Seconds(start, Clock::now());
        result.loadCpu = CpuSeconds() - startCpu;
        result.loadedKb = CurrentRssKb();
        RunFloor(day, result);
        result.peakKb = PeakRssKb();
        result.ok = true;
        return result;
    }
    const bool outputs = mode == "outputs" || mode == "webhooks";
    const bool withHistory = mode == "outputs";
    const bool threaded = mode == "threaded";
    const std::string root = PrepareRoot(folder, outputs || threaded ? "watched" : mode);
    if (root.empty())
        return result;
    const std::string sysDir = VelkJoinPath(root, "SYS");

    const Clock::time_point start = Clock::now();
    const double startCpu = CpuSeconds();
    CTradingDay day;
    std::string error;
    if (!day.Load(VelkJoinPath(folder, "day"), error)) {
        std::fprintf(stderr, "bench_market_day: %s\n", error.c_str());
        return result;
    }
    const Clock::time_point loaded = Clock::now();
    const double loadedCpu = CpuSeconds();
    const double loadedThreadCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    result.loadedKb = CurrentRssKb();

    // Started where the outputs' threads are: after the day is loaded.
    std::promise<void> wake;
    std::thread sleeper;
    if (threaded)
        sleeper = std::thread([done = wake.get_future()] { done.wait(); });
    struct Joiner {
        std::promise<void>& wake;
        std::thread& sleeper;
        ~Joiner()
        {
            if (sleeper.joinable()) {
                wake.set_value();
                sleeper.join();
            }
        }
    } joiner{wake, sleeper};
    CDayReplay replay(day, CQuoteStore::Instance());
    replay.FillStore(sysDir);
    CCountingObserver observer;
    CDayReplay::Totals totals;
    // Closed before the time is taken: the last checkpoint of its log is part of its price.
    std::optional<CAlertHistory> history;
    CAlertFanOut fanOut(CAlertFanOut::Context{false, day.TradeDate()});
    fanOut.SetFront(&observer);
    if (withHistory) {
        history.emplace();
        if (!history->Open(CAlertHistory::PathIn(root)) || !history->BeginRun(false, folder)) {
            std::fprintf(stderr, "bench_market_day: %s\n", history->Error().c_str());
            return result;
        }
        fanOut.SetHistory(&*history);
    }
#ifdef VELK_BENCH_HAS_UI
    CQtHostSession session(argc, argv, stderr);
    int port = 0;
    const int silent = outputs ? SilentListener(port) : -1;
    if (outputs) {
        for (const char* name : {"first", "second"}) {
            CWebhookConfig config;
            config.name = name;
            config.url = "http://127.0.0.1:" + std::to_string(port) + "/" + name;
            fanOut.AddOutput(std::make_unique<CWebhookOutput>(config), COutputWorker::Options{});
        }
    }
    // As in velk-host, the history's frame is the session's: one clock read a call.
    replay.SetAfterEachCall([&session, &fanOut, outputs] {
        if (session.ProcessEventsEachFrame() && outputs)
            fanOut.EndFrame();
    });
    const CVelkServices services = CQtHostSession::EngineServices(true);
#else
    (void)argc;
    (void)argv;
    auto lastFrame = Clock::now();
    replay.SetAfterEachCall([&] {
        if (outputs && Clock::now() - lastFrame >= std::chrono::milliseconds(16)) {
            fanOut.EndFrame();
            lastFrame = Clock::now();
        }
    });
    const CVelkServices services{};
#endif
    totals = replay.Run(&services, sysDir,
                        outputs ? static_cast<IVelkAlertObserver*>(&fanOut) : &observer);
    if (outputs) {
        fanOut.EndFrame();
        fanOut.Stop(std::chrono::milliseconds(0));
        fanOut.EndFrame();
        // The history's writer has written the last frame before the time is taken.
        if (withHistory && !history->Commit())
            std::fprintf(stderr, "bench_market_day: %s\n", history->Error().c_str());
        fanOut.SetHistory(nullptr);
        history.reset();
    }
#ifdef VELK_BENCH_HAS_UI
    if (silent >= 0)
        ::close(silent);
#endif
    const Clock::time_point done = Clock::now();
    const double doneCpu = CpuSeconds();
    result.replayThreadCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - loadedThreadCpu;

    result.load = Seconds(start, loaded);
    result.replay = Seconds(loaded, done);
    result.loadCpu = loadedCpu - startCpu;
    result.replayCpu = doneCpu - loadedCpu;
    result.trades = totals.trades;
    result.notifications = totals.notifications;
    result.alerts = observer.m_nAlerts;
    result.peakKb = PeakRssKb();
    result.ok = true;
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return result;
}

// The run in a child process; the result comes back through a pipe.
RunResult RunInChild(const std::string& folder, const std::string& mode, int& argc, char** argv)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const RunResult result = RunOnce(folder, mode, argc, argv);
        const bool written =
            ::write(fds[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
        ::_exit(written ? 0 : 1);
    }
    ::close(fds[1]);
    RunResult result;
    if (child < 0 || ::read(fds[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result))
        result = RunResult{};
    ::close(fds[0]);
    int status = 0;
    if (child > 0)
        ::waitpid(child, &status, 0);
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct ModeSummary {
    std::string mode;
    double load = 0;
    double replay = 0;
    double loadCpu = 0;
    double replayCpu = 0;
    double replayThreadCpu = 0;
    RunResult last;
};

long long TradeFileBytes(const std::string& folder)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(VelkJoinPath(folder, "day/trades.csv"), ec);
    return ec ? 0 : static_cast<long long>(size);
}

int RunBenchmark(const Options& options, int& argc, char** argv)
{
    struct Total {
        long long trades;
        double wall;
        double cpu;
    };
    std::vector<Total> watchedTotals;
    for (long long trades : options.trades) {
        const std::string folder = PrepareDay(options, trades);
        if (folder.empty())
            return 1;
        std::printf("\n%lld trades, %d stocks, seed %llu, median of %d runs\n", trades,
                    options.stocks, static_cast<unsigned long long>(options.seed), options.runs);
        std::printf("%-8s %8s %8s %8s %11s %8s %9s %9s %9s %8s %8s\n", "mode", "load s", "replay s",
                    "total s", "trades/s", "cpu s", "cpu tr/s", "notified", "alerts", "peak MB",
                    "B/trade");
        std::vector<ModeSummary> summaries(options.modes.size());
        std::vector<std::vector<double>> allLoads(options.modes.size());
        std::vector<std::vector<double>> allReplays(options.modes.size());
        std::vector<std::vector<double>> allLoadCpus(options.modes.size());
        std::vector<std::vector<double>> allReplayCpus(options.modes.size());
        std::vector<std::vector<double>> allThreadCpus(options.modes.size());
        for (int run = 0; run < options.runs; ++run) {
            // Every other round runs the modes backwards, so that a machine slowing down or
            // speeding up over a round weighs on no mode more than on another.
            for (std::size_t turn = 0; turn < options.modes.size(); ++turn) {
                const std::size_t m = run % 2 ? options.modes.size() - 1 - turn : turn;
                const std::string& mode = options.modes[m];
                const RunResult result = RunInChild(folder, mode, argc, argv);
                if (!result.ok) {
                    std::fprintf(stderr, "bench_market_day: the %s run failed\n", mode.c_str());
                    return 1;
                }
                allLoads[m].push_back(result.load);
                allReplays[m].push_back(result.replay);
                allLoadCpus[m].push_back(result.loadCpu);
                allReplayCpus[m].push_back(result.replayCpu);
                allThreadCpus[m].push_back(result.replayThreadCpu);
                summaries[m].mode = mode;
                summaries[m].last = result;
            }
        }
        for (std::size_t m = 0; m < options.modes.size(); ++m) {
            const std::string& mode = options.modes[m];
            ModeSummary& summary = summaries[m];
            const std::vector<double>& loads = allLoads[m];
            const std::vector<double>& replays = allReplays[m];
            const std::vector<double>& loadCpus = allLoadCpus[m];
            const std::vector<double>& replayCpus = allReplayCpus[m];
            summary.load = Median(loads);
            summary.replay = Median(replays);
            summary.loadCpu = Median(loadCpus);
            summary.replayCpu = Median(replayCpus);
            summary.replayThreadCpu = Median(allThreadCpus[m]);
            const double cpu = summary.loadCpu + summary.replayCpu;
            const RunResult& r = summary.last;
            const double total = summary.load + summary.replay;
            // Peak memory above the start, less the alert records, per trade of the day.
            const double perTrade = (static_cast<double>(r.peakKb - r.startKb) * 1024.0 -
                                     static_cast<double>(r.alerts) * sizeof(Ta_ALERTRECORD)) /
                                    static_cast<double>(std::max(1L, r.trades));
            std::printf("%-8s %8.3f %8.3f %8.3f %11.0f %8.3f %9.0f %9ld %9ld %8.1f %8.1f\n",
                        mode.c_str(), summary.load, summary.replay, total,
                        static_cast<double>(r.trades) / total, cpu,
                        static_cast<double>(r.trades) / cpu, r.notifications, r.alerts,
                        static_cast<double>(r.peakKb) / 1024.0, perTrade);
        }
        auto find = [&](const char* mode) -> const ModeSummary* {
            for (const ModeSummary& s : summaries)
                if (s.mode == mode)
                    return &s;
            return nullptr;
        };
        const ModeSummary* none = find("none");
        const ModeSummary* watched = find("watched");
        const ModeSummary* popup = find("popup");
        const ModeSummary* floor = find("floor");
        if (floor)
            std::printf("load: %.1f MB/s of CSV (cpu, median of the replayed modes' loads)\n",
                        static_cast<double>(TradeFileBytes(folder)) / 1048576.0 /
                            (watched ? watched->loadCpu : floor->loadCpu));
        if (none && watched) {
            const double notified = static_cast<double>(std::max(1L, watched->last.notifications));
            const double engineCpuNs = (watched->replayCpu - none->replayCpu) * 1e9 / notified;
            std::printf("engine per notification: %.0f ns wall, %.0f ns cpu\n",
                        (watched->replay - none->replay) * 1e9 / notified, engineCpuNs);
            if (floor) {
                const double floorNs =
                    floor->replayCpu * 1e9 / static_cast<double>(std::max(1L, floor->last.trades));
                std::printf(
                    "floor (key + two map lookups): %.0f ns cpu; engine = %.2fx the floor\n",
                    floorNs, engineCpuNs / floorNs);
            }
            std::printf("watched / nothing watched, end to end: %.2fx wall, %.2fx cpu\n",
                        (watched->load + watched->replay) / (none->load + none->replay),
                        (watched->loadCpu + watched->replayCpu) /
                            (none->loadCpu + none->replayCpu));
        }
        const ModeSummary* monitor = find("monitor");
        if (watched && monitor)
            std::printf("market monitor, every rule / watched, end to end: %.2fx wall, %.2fx cpu; "
                        "replay %.2fx cpu\n",
                        (monitor->load + monitor->replay) / (watched->load + watched->replay),
                        (monitor->loadCpu + monitor->replayCpu) /
                            (watched->loadCpu + watched->replayCpu),
                        monitor->replayCpu / watched->replayCpu);
        // A mode beside the watched run it adds to: end to end, and the replay alone.
        auto againstWatched = [&](const char* mode, const char* label) {
            const ModeSummary* with = find(mode);
            if (watched && with)
                std::printf("%s / without, end to end: %.3fx wall, %.3fx cpu; "
                            "replay alone: %.3fx wall, %.3fx cpu\n",
                            label, (with->load + with->replay) / (watched->load + watched->replay),
                            (with->loadCpu + with->replayCpu) /
                                (watched->loadCpu + watched->replayCpu),
                            with->replay / watched->replay, with->replayCpu / watched->replayCpu);
            return with;
        };
        const ModeSummary* webhookOnly = againstWatched("webhooks", "two dead webhooks");
        againstWatched("threaded", "one idle thread more");
        const ModeSummary* withOutputs = againstWatched("outputs", "history and two outputs");
        // The same ratios round by round: each against the run without outputs of its own
        // round, which a machine whose speed drifts between rounds leaves fairer than a ratio
        // of medians.
        auto indexOf = [&](const char* mode) {
            const auto found = std::find(options.modes.begin(), options.modes.end(), mode);
            return found == options.modes.end() ? -1
                                                : static_cast<int>(found - options.modes.begin());
        };
        const int without = indexOf("watched");
        for (const char* mode : {"webhooks", "outputs"}) {
            const int with = indexOf(mode);
            if (without < 0 || with < 0)
                continue;
            std::vector<double> walls;
            std::vector<double> cpus;
            for (int run = 0; run < options.runs; ++run) {
                const auto w = static_cast<std::size_t>(with);
                const auto o = static_cast<std::size_t>(without);
                const auto r = static_cast<std::size_t>(run);
                walls.push_back((allLoads[w][r] + allReplays[w][r]) /
                                (allLoads[o][r] + allReplays[o][r]));
                cpus.push_back((allLoadCpus[w][r] + allReplayCpus[w][r]) /
                               (allLoadCpus[o][r] + allReplayCpus[o][r]));
            }
            std::printf("%s / without, end to end, round by round: median %.3fx wall (%.3f-%.3f), "
                        "%.3fx cpu (%.3f-%.3f)\n",
                        mode, Median(walls), *std::min_element(walls.begin(), walls.end()),
                        *std::max_element(walls.begin(), walls.end()), Median(cpus),
                        *std::min_element(cpus.begin(), cpus.end()),
                        *std::max_element(cpus.begin(), cpus.end()));
        }
        // Apart: what the replay's own thread spends more (the alerts handed on, and a second
        // processor at work beside it), and what the other threads spend.
        for (const ModeSummary* withThreads : {webhookOnly, withOutputs})
            if (watched && withThreads)
                std::printf("%s, the replay's thread: %.3fx cpu; other threads: %.3f s cpu "
                            "(%.1f%% of the replay without)\n",
                            withThreads->mode.c_str(),
                            withThreads->replayThreadCpu / watched->replayThreadCpu,
                            withThreads->replayCpu - withThreads->replayThreadCpu,
                            100.0 * (withThreads->replayCpu - withThreads->replayThreadCpu) /
                                watched->replayCpu);
        if (watched && popup)
            std::printf("pop-up window / without, end to end: %.2fx wall, %.2fx cpu\n",
                        (popup->load + popup->replay) / (watched->load + watched->replay),
                        (popup->loadCpu + popup->replayCpu) /
                            (watched->loadCpu + watched->replayCpu));
        if (watched)
            watchedTotals.push_back(
                {trades, watched->load + watched->replay, watched->loadCpu + watched->replayCpu});
    }
    for (std::size_t i = 1; i < watchedTotals.size(); ++i)
        std::printf(
            "watched, %lld -> %lld trades (%.2fx): %.2fx the wall time, %.2fx the cpu time\n",
            watchedTotals[0].trades, watchedTotals[i].trades,
            static_cast<double>(watchedTotals[i].trades) /
                static_cast<double>(watchedTotals[0].trades),
            watchedTotals[i].wall / watchedTotals[0].wall,
            watchedTotals[i].cpu / watchedTotals[0].cpu);
    return 0;
}

// What the heap grew by between the first million notifications and the end, against the alert
// records recorded in between.
void PrintHeapGrowth(std::size_t heapAtFirst, long rssAtFirst, std::size_t heapAtEnd, long rssAtEnd,
                     long newAlerts);

int RunSoak(const Options& options)
{
    const std::string folder = PrepareDay(options, options.trades.front());
    const std::string root = folder.empty() ? std::string() : PrepareRoot(folder, "watched");
    if (root.empty())
        return 1;
    CTradingDay day;
    std::string error;
    if (!day.Load(VelkJoinPath(folder, "day"), error)) {
        std::fprintf(stderr, "bench_market_day: %s\n", error.c_str());
        return 1;
    }
    const std::string sysDir = VelkJoinPath(root, "SYS");
    CDayReplay replay(day, CQuoteStore::Instance());
    replay.FillStore(sysDir);
    CCountingObserver observer;

    long notifications = 0;
    long alertsAtFirst = 0;
    std::size_t heapAtFirst = 0;
    long rssAtFirst = 0;
    replay.SetAfterEachCall([&] {
        if (++notifications == kFirstMillion) {
            alertsAtFirst = observer.m_nAlerts;
            heapAtFirst = HeapInUse();
            rssAtFirst = CurrentRssKb();
        }
    });

    const Clock::time_point start = Clock::now();
    {
        CVelkAlert engine(CVelkServices{});
        CString path = sysDir;
        engine.SetSYSPath(path);
        engine.SetAlertObserver(&observer);
        engine.Start();
        int days = 0;
        while (notifications < options.soak) {
            if (days++ > 0)
                engine.ClearAllData();
            if (replay.Replay(engine).notifications == 0) {
                std::fprintf(stderr, "bench_market_day: nothing is watched\n");
                return 1;
            }
        }
        const std::size_t heapAtEnd = HeapInUse();
        const long rssAtEnd = CurrentRssKb();
        const long newAlerts = observer.m_nAlerts - alertsAtFirst;
        std::printf("soak: %ld notifications over %d days in %.1f s, %ld alerts\n", notifications,
                    days, Seconds(start, Clock::now()), observer.m_nAlerts);
        if (kSanitizedHeap)
            std::printf("the address sanitizer keeps the heap itself: nothing to count here; "
                        "LeakSanitizer looks for leaks at exit\n");
        else
            PrintHeapGrowth(heapAtFirst, rssAtFirst, heapAtEnd, rssAtEnd, newAlerts);
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}

void PrintHeapGrowth(std::size_t heapAtFirst, long rssAtFirst, std::size_t heapAtEnd, long rssAtEnd,
                     long newAlerts)
{
    const double growth = static_cast<double>(heapAtEnd) - static_cast<double>(heapAtFirst);
    const double records = static_cast<double>(newAlerts) * sizeof(Ta_ALERTRECORD);
    std::printf("heap in use after %ld notifications: %.1f MB (RSS %.1f MB)\n", kFirstMillion,
                static_cast<double>(heapAtFirst) / 1048576.0,
                static_cast<double>(rssAtFirst) / 1024.0);
    std::printf("heap in use at the end:                %.1f MB (RSS %.1f MB)\n",
                static_cast<double>(heapAtEnd) / 1048576.0, static_cast<double>(rssAtEnd) / 1024.0);
    std::printf("grown by %.1f MB for %ld new alert records of %.1f MB: %.1f bytes a record, "
                "%.1f MB beyond them\n",
                growth / 1048576.0, newAlerts, records / 1048576.0,
                newAlerts > 0 ? growth / static_cast<double>(newAlerts) : 0.0,
                (growth - records) / 1048576.0);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs("usage: bench_market_day [--trades N[,N...]] [--stocks N] [--seed N] [--runs N] "
                   "[--data DIR]\n"
                   "                        [--modes floor,none,watched,popup,monitor,outputs,"
                   "webhooks,threaded]\n"
                   "                        [--soak NOTIFICATIONS]\n",
                   stderr);
        return 2;
    }
#ifndef VELK_BENCH_HAS_UI
    options.modes.erase(std::remove(options.modes.begin(), options.modes.end(), "popup"),
                        options.modes.end());
    for (const char* needsQt : {"outputs", "webhooks"})
        options.modes.erase(std::remove(options.modes.begin(), options.modes.end(), needsQt),
                            options.modes.end());
#endif
    int qtArgc = 1;
    return options.soak > 0 ? RunSoak(options) : RunBenchmark(options, qtArgc, argv);
}
