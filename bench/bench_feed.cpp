// The live feed on a generated whole-market day (5,000 stocks, every one watched):
//   1. parsing: messages/s and MB/s of the line reader and parser over the day's feed lines,
//      against a plain read of the same bytes with the same reads;
//   2. latency from a line's arrival (written into the pipe) to the alert observer, at a steady
//      50,000 messages/s: p50, p99, p99.9;
//   3. the sustained rate: the whole feed through a pipe as fast as the host takes it.
//   4. with --desktop: the latency of 2. with the desktop program's main window open (offscreen).
// Usage: bench_feed [--trades N] [--seconds S] [--rounds R] [--stalls] [--desktop | --desktop-only]
//   (S: length of the steady run, default 10; R: steady runs of each kind, default 1, with the
//   medians of their percentiles printed after them; --stalls: each headless steady run also
//   prints its longest stretches of the host thread held up with lines waiting, and where)
// On a virtual machine the latency's tail follows the time the hypervisor takes from the guest,
// so each steady run also prints the CPU time stolen while it ran.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/CMarketDayGenerator.h"
#include "engine/CVelkAlert.h"
#include "host/core/CTradingDay.h"
#include "host/feed/CDayFeedWriter.h"
#include "host/feed/CFeedConnection.h"
#include "host/feed/CFeedLineReader.h"
#include "host/feed/CFeedParser.h"
#include "host/feed/CFeedRunner.h"
#include "host/feed/CLiveSession.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"

#ifdef VELK_BENCH_HAS_UI
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopLiveFeed.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CLiveFeed.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// CPU time the hypervisor took from this machine's processors so far, in milliseconds (the
// "steal" column of /proc/stat); negative where the kernel does not say.
double StolenMs()
{
    std::FILE* f = std::fopen("/proc/stat", "r");
    if (!f)
        return -1;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0,
                       steal = 0;
    const int got = std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &user, &nice,
                                &system, &idle, &iowait, &irq, &softirq, &steal);
    std::fclose(f);
    if (got != 8)
        return -1;
    return static_cast<double>(steal) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct Feed {
    std::string bytes;
    std::vector<std::size_t> lineEnds; // offset after each line's newline
};

Feed MakeFeed(const CTradingDay& day)
{
    Feed feed;
    CDayFeedWriter writer(day);
    std::string subject;
    int time = 0;
    while (writer.Next(feed.bytes, time, subject))
        feed.lineEnds.push_back(feed.bytes.size());
    return feed;
}

// Reads the file with the line reader's own reads; with parse, every line is parsed too.
double ReadFile(const std::string& path, bool parse, long long& lines)
{
    CFeedLineReader reader;
    CFeedParser parser;
    CFeedMessage message;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const double start = CpuSeconds();
    lines = 0;
    std::string_view line;
    std::size_t capacity = 0;
    for (;;) {
        const ssize_t n = reader.ReadFrom(fd);
        while (reader.NextLine(line, capacity) == CFeedLineReader::Next::Line) {
            ++lines;
            if (parse && parser.Parse(line.data(), line.size(), capacity, message) !=
                             CFeedParser::Problem::None) {
                std::fprintf(stderr, "bench_feed: line %lld does not parse: %s\n", lines,
                             parser.Why().c_str());
                std::exit(1);
            }
        }
        if (n <= 0)
            break;
    }
    const double used = CpuSeconds() - start;
    ::close(fd);
    return used;
}

// Times each alert against the moment the line being taken was written.
class CLatencyObserver final : public IVelkAlertObserver {
public:
    CLatencyObserver(const std::vector<Clock::time_point>& written, const CFeedRunner*& runner)
        : m_written(written), m_runner(runner)
    {
        // Room for a run's alerts ahead: a vector grown inside the run would be timed as the
        // host's own delay.
        latencies.reserve(written.size());
        settled.reserve(written.size());
    }
    void OnAlertRecorded(const Ta_ALERTRECORD&) override
    {
        const long long line = m_runner ? m_runner->Messages() - 1 : -1;
        if (line >= 0 && static_cast<std::size_t>(line) < m_written.size()) {
            const Clock::time_point sent = m_written[static_cast<std::size_t>(line)];
            if (sent != Clock::time_point{}) {
                const Clock::time_point now = Clock::now();
                const double latency = Seconds(now - sent) * 1e6;
                latencies.push_back(latency);
                if (sent - m_written[0] >= std::chrono::seconds(1))
                    settled.push_back(latency);
                if (latency > worst) {
                    worst = latency;
                    worstLine = line;
                    worstAt = now;
                }
            }
        }
    }
    // The longest wait: its line and when its alert came.
    double worst = 0;
    long long worstLine = -1;
    Clock::time_point worstAt;
    std::vector<double> latencies; // microseconds
    // Of the lines written after the run's first second: without the start (the symbols
    // announced, the engine started, the board filled).
    std::vector<double> settled;

private:
    const std::vector<Clock::time_point>& m_written;
    const CFeedRunner*& m_runner;
};

// Writes `count` lines of the feed into fd at `rate` lines/s (0: as fast as the pipe takes them),
// stamping each line when it is written, and closes fd at the end.
// With sent, each line is also stamped when the write that sends it has returned.
std::thread StartWriter(int fd, const Feed& feed, std::size_t count, double rate,
                        std::vector<Clock::time_point>& written,
                        std::vector<Clock::time_point>* sent = nullptr)
{
    return std::thread([fd, &feed, count, rate, &written, sent] {
        const Clock::time_point start = Clock::now();
        std::size_t i = 0;
        while (i < count) {
            std::size_t due = count;
            if (rate > 0) {
                due = std::min(count,
                               static_cast<std::size_t>(Seconds(Clock::now() - start) * rate) + 1);
                if (due <= i) {
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                    continue;
                }
            }
            // At most a pipe's worth at once. Each line is stamped before the write that sends
            // it: the reader may take it before the write returns, and a line stamped only after
            // would be timed from a later moment or, not yet stamped, left out.
            const std::size_t last = rate > 0 ? due : std::min(due, i + 256);
            const std::size_t from = i ? feed.lineEnds[i - 1] : 0;
            const std::size_t to = feed.lineEnds[last - 1];
            const Clock::time_point now = Clock::now();
            const std::size_t first = i;
            for (; i < last; ++i)
                written[i] = now;
            std::size_t done = from;
            while (done < to) {
                const ssize_t n = ::write(fd, feed.bytes.data() + done, to - done);
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            if (sent) {
                const Clock::time_point after = Clock::now();
                for (std::size_t j = first; j < last; ++j)
                    (*sent)[j] = after;
            }
        }
        ::close(fd);
    });
}

// The moments the host thread passes on its way through the lines: a trade stored (before the
// engine's call), the engine's call returned, a batch of lines done.
class CStallProbe {
public:
    // The marks are written over ahead: pages first touched during the run would be counted
    // as the host's own faults.
    explicit CStallProbe(std::size_t lines) : m_marks(lines * 3 + 1024) {}
    // The thread's processor time, faults and switches are read (a system call each time) at
    // every batch and at the end of any stretch over half a millisecond, not at every mark: read
    // at every one they took a quarter of the thread's time and put off the lines themselves.
    void Mark(char where, long long messages)
    {
        if (m_used == m_marks.size())
            return;
        Passage& mark = m_marks[m_used];
        mark.at = Clock::now();
        mark.messages = messages;
        mark.where = where;
        mark.since = m_used;
        if (where == 'B' ||
            (m_used > 0 && mark.at - m_marks[m_used - 1].at > std::chrono::microseconds(500))) {
            rusage usage{};
            ::getrusage(RUSAGE_THREAD, &usage);
            mark.cpuUs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL +
                         usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
            mark.minorFaults = usage.ru_minflt;
            mark.majorFaults = usage.ru_majflt;
            mark.preemptions = usage.ru_nivcsw;
            mark.waits = usage.ru_nvcsw;
            mark.read = true;
            mark.since = m_lastRead;
            m_lastRead = m_used;
        }
        ++m_used;
    }
    // The longest stretches between two marks during which the next line was already in the
    // pipe: the host thread held up with work waiting.
    void Print(const std::vector<Clock::time_point>& sent, Clock::time_point start) const
    {
        struct Held {
            double ms;
            std::size_t mark;
        };
        std::vector<Held> held;
        for (std::size_t i = 1; i < m_used; ++i) {
            const long long line = m_marks[i].messages - 1;
            if (line < 0 || static_cast<std::size_t>(line) >= sent.size() ||
                sent[static_cast<std::size_t>(line)] == Clock::time_point{})
                continue;
            const Clock::time_point from =
                std::max(m_marks[i - 1].at, sent[static_cast<std::size_t>(line)]);
            if (m_marks[i].at > from)
                held.push_back({Seconds(m_marks[i].at - from) * 1e3, i});
        }
        // Page faults after the first second: memory first touched while the day runs.
        long faults = 0, faultingStretches = 0;
        std::map<std::string, long> byStep;
        double faultingMs = 0, longestFaulting = 0;
        for (std::size_t i = 1; i < m_used; ++i) {
            const Passage& before = m_marks[m_marks[i].since];
            if (!m_marks[i].read || before.at - start < std::chrono::seconds(1))
                continue;
            const long got = m_marks[i].minorFaults - before.minorFaults;
            if (got == 0)
                continue;
            faults += got;
            byStep[std::string{m_marks[i - 1].where, m_marks[i].where}] += got;
            ++faultingStretches;
            const double ms = Seconds(m_marks[i].at - before.at) * 1e3;
            faultingMs += ms;
            longestFaulting = std::max(longestFaulting, ms);
        }
        std::printf("  after 1 s: %ld page faults in %ld stretches between readings, %.1f ms in "
                    "all, the longest %.2f ms (by the marks each stretch ends with:)\n",
                    faults, faultingStretches, faultingMs, longestFaulting);
        for (const auto& [step, count] : byStep)
            std::printf("    %c -> %c: %ld page faults\n", step[0], step[1], count);
        std::sort(held.begin(), held.end(),
                  [](const Held& a, const Held& b) { return a.ms > b.ms; });
        double total = 0;
        for (const Held& h : held)
            if (h.ms >= 1)
                total += h.ms;
        std::printf("  held up: %.1f ms in stretches of 1 ms or more (T = trade stored, C = "
                    "engine call returned, B = batch done)\n",
                    total);
        // By what kept the thread off the processor: woken late from its wait for input,
        // preempted by another thread, or neither (the processor itself was not running it).
        double wokenLate = 0, preempted = 0, neither = 0;
        for (const Held& h : held) {
            if (h.ms < 1)
                continue;
            const Passage& after = m_marks[h.mark];
            const Passage& before = m_marks[after.since];
            if (!after.read)
                continue;
            const double onProcessor = (after.cpuUs - before.cpuUs) / 1e3;
            if (onProcessor > h.ms / 2)
                continue;
            if (after.waits > before.waits)
                wokenLate += h.ms;
            else if (after.preemptions > before.preemptions)
                preempted += h.ms;
            else
                neither += h.ms;
        }
        std::printf("  of which off the processor: woken late %.1f ms, preempted %.1f ms, neither "
                    "%.1f ms\n",
                    wokenLate, preempted, neither);
        for (std::size_t k = 0; k < std::min<std::size_t>(held.size(), 8); ++k) {
            const Passage& before = m_marks[held[k].mark - 1];
            const Passage& after = m_marks[held[k].mark];
            const Passage& read = m_marks[after.since];
            std::printf("    %7.2f ms  %c line %lld -> %c line %lld, %.3f s into the run; in the "
                        "%.2f ms since the reading before: on the processor %.2f ms, %ld page "
                        "faults (%ld major), %ld preemptions, %ld waits\n",
                        held[k].ms, before.where, before.messages - 1, after.where,
                        after.messages - 1, Seconds(before.at - start),
                        Seconds(after.at - read.at) * 1e3, (after.cpuUs - read.cpuUs) / 1e3,
                        after.minorFaults - read.minorFaults, after.majorFaults - read.majorFaults,
                        after.preemptions - read.preemptions, after.waits - read.waits);
        }
    }

private:
    struct Passage {
        Clock::time_point at;
        long long messages = 0;
        long long cpuUs = 0; // of this thread, user and system
        long minorFaults = 0;
        long majorFaults = 0;
        long preemptions = 0; // involuntary context switches
        long waits = 0;       // voluntary ones
        char where = 0;
        bool read = false;     // the five above read at this mark
        std::size_t since = 0; // the mark the reading before was made at
    };
    std::vector<Passage> m_marks;
    std::size_t m_used = 0;
    std::size_t m_lastRead = 0;
};

struct LiveResult {
    double seconds = 0;
    double cpuSeconds = 0; // of the thread that takes the feed in
    long long messages = 0;
    long long trades = 0;
    std::vector<double> latencies;
    std::vector<double> settled;
    long long faults = 0;
    double stolenMs = 0; // by the hypervisor from all processors while the run went on
};

// Plays `count` lines of the feed into a pipe at `rate` lines/s (0: as fast as the pipe takes
// them) while a live session with every stock watched takes them on this thread.
LiveResult RunLive(const Feed& feed, std::size_t count, double rate, const std::string& sysDir,
                   bool stalls = false)
{
    int fds[2];
    if (::pipe(fds) != 0)
        std::exit(1);
    ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    // The stop pipe of the runner; the writer's end of the feed ends the run.
    int stop[2];
    if (::pipe(stop) != 0)
        std::exit(1);
    ::dup2(fds[0], STDIN_FILENO);
    ::close(fds[0]);

    std::vector<Clock::time_point> written(count);
    const CFeedRunner* runnerPointer = nullptr;
    CLatencyObserver observer(written, runnerPointer);
    CQuoteStore& store = CQuoteStore::Instance();
    const CVelkServices services{};
    CLiveSession session(store, sysDir, &services, &observer);
    CFeedConnection::Address address;
    std::string error;
    CFeedConnection::ParseAddress("-", address, error);
    CFeedRunner runner(session, address, nullptr);
    runnerPointer = &runner;
    std::vector<Clock::time_point> sent;
    std::unique_ptr<CStallProbe> probe;
    if (stalls) {
        sent.resize(count);
        probe = std::make_unique<CStallProbe>(count);
        session.SetAfterEachTrade(
            [&](unsigned char, const std::string&) { probe->Mark('T', runner.Messages()); });
        session.SetAfterEachCall([&] { probe->Mark('C', runner.Messages()); });
        runner.SetAfterBatch([&] { probe->Mark('B', runner.Messages()); });
    }

    const double stolenBefore = StolenMs();
    std::thread writer = StartWriter(fds[1], feed, count, rate, written, stalls ? &sent : nullptr);
    const Clock::time_point start = Clock::now();
    timespec cpuStart{}, cpuEnd{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
    runner.Run(stop[0]);
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
    const Clock::time_point end = Clock::now();
    writer.join();
    const double stolenAfter = StolenMs();
    if (probe) {
        probe->Print(sent, start);
        if (observer.worstLine >= 0) {
            const auto line = static_cast<std::size_t>(observer.worstLine);
            std::printf("  longest wait: line %zu, %.3f s into the run, %.2f ms from its stamp to "
                        "its write's return, %.2f ms from there to its alert\n",
                        line, Seconds(written[line] - start),
                        Seconds(sent[line] - written[line]) * 1e3,
                        Seconds(observer.worstAt - sent[line]) * 1e3);
        }
    }
    session.Finish();
    ::close(stop[0]);
    ::close(stop[1]);
    LiveResult result;
    result.seconds = Seconds(end - start);
    result.cpuSeconds = static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) +
                        static_cast<double>(cpuEnd.tv_nsec - cpuStart.tv_nsec) * 1e-9;
    result.messages = runner.Messages();
    result.trades = session.Trades();
    result.latencies = std::move(observer.latencies);
    result.settled = std::move(observer.settled);
    for (int f = 0; f < static_cast<int>(CFeedRunner::Fault::Count); ++f)
        result.faults += runner.Faults(static_cast<CFeedRunner::Fault>(f));
    result.stolenMs = stolenBefore < 0 || stolenAfter < 0 ? -1 : stolenAfter - stolenBefore;
    return result;
}

#ifdef VELK_BENCH_HAS_UI
// Times what the GUI thread spends in each event it dispatches, by event type, so that a latency
// tail can be put down to the painting, the feed's slices or the board's flushes.
class CTimedApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        // Named before the dispatch: the receiver may delete itself while handling the event.
        std::string key;
        // Paint events come inside the window's paint request: each widget's own is counted too.
        const bool paint = event->type() == QEvent::Paint;
        if (m_depth == 0 || paint) {
            key = std::to_string(event->type());
            key += ' ';
            key += receiver->metaObject()->className();
            if (!receiver->objectName().isEmpty())
                key += ' ' + receiver->objectName().toStdString();
            // Timers are told apart by their interval.
            if (const QTimer* timer = qobject_cast<const QTimer*>(receiver))
                key += " every " + std::to_string(timer->interval()) + " ms";
        }
        ++m_depth;
        const Clock::time_point start = Clock::now();
        const bool result = QApplication::notify(receiver, event);
        if (--m_depth == 0 || paint) {
            const double ms = Seconds(Clock::now() - start) * 1e3;
            Spent& spent = m_spent[key];
            ++spent.count;
            spent.total += ms;
            spent.longest = std::max(spent.longest, ms);
            if (ms > 10)
                ++spent.over10;
        }
        return result;
    }
    void Reset() { m_spent.clear(); }
    // The event types that took most of the GUI thread's time.
    void Print() const
    {
        std::vector<std::pair<std::string, Spent>> byTime(m_spent.begin(), m_spent.end());
        std::sort(byTime.begin(), byTime.end(),
                  [](const auto& a, const auto& b) { return a.second.total > b.second.total; });
        for (std::size_t i = 0; i < std::min<std::size_t>(byTime.size(), 12); ++i) {
            const Spent& spent = byTime[i].second;
            std::printf("  %-44s %7lld times, %7.0f ms in all, longest %5.1f ms, %lld over "
                        "10 ms\n",
                        byTime[i].first.c_str(), spent.count, spent.total, spent.longest,
                        spent.over10);
        }
    }

private:
    struct Spent {
        long long count = 0;
        double total = 0;
        double longest = 0;
        long long over10 = 0;
    };
    std::map<std::string, Spent> m_spent;
    int m_depth = 0;
};

// Times each alert against the moment the line the window's feed is applying was written.
class CDesktopLatencyObserver final : public IVelkAlertObserver {
public:
    CDesktopLatencyObserver(const std::vector<Clock::time_point>& written, const CLiveFeed& feed)
        : m_written(written), m_feed(feed)
    {
        latencies.reserve(written.size());
        settled.reserve(written.size());
    }
    void OnAlertRecorded(const Ta_ALERTRECORD&) override
    {
        const long long line = m_feed.Messages() - 1;
        if (line >= 0 && static_cast<std::size_t>(line) < m_written.size()) {
            const Clock::time_point sent = m_written[static_cast<std::size_t>(line)];
            if (sent != Clock::time_point{}) {
                const double latency = Seconds(Clock::now() - sent) * 1e6;
                latencies.push_back(latency);
                if (sent - m_written[0] >= std::chrono::seconds(1))
                    settled.push_back(latency);
            }
        }
    }
    std::vector<double> latencies; // microseconds
    // Of the lines written after the run's first second: without the start (the symbols
    // announced, the engine started, the board filled).
    std::vector<double> settled;

private:
    const std::vector<Clock::time_point>& m_written;
    const CLiveFeed& m_feed;
};

// The same with the desktop program's main window open (offscreen): the feed is read on its
// own thread and applied once a frame on the GUI thread, the board and the alert list follow.
LiveResult RunDesktop(const Feed& feed, std::size_t count, double rate, const std::string& sysDir)
{
    int fds[2];
    if (::pipe(fds) != 0)
        std::exit(1);
    ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    ::dup2(fds[0], STDIN_FILENO);
    ::close(fds[0]);

    std::vector<Clock::time_point> written(count);
    LiveResult result;
    {
        CDesktopMainWindow window(sysDir, nullptr, true);
        window.show();
        CLiveFeed& live = window.LiveFeed()->Feed();
        CDesktopLatencyObserver observer(written, live);
        window.Session().AddAlertObserver(&observer);
        QEventLoop loop;
        QObject::connect(&live, &CLiveFeed::StateChanged, &loop, [&] {
            if (live.GetState() == CLiveFeed::State::Ended ||
                live.GetState() == CLiveFeed::State::Unreachable)
                loop.quit();
        });
        timespec cpuStart{}, cpuEnd{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
        const Clock::time_point start = Clock::now();
        const double stolenBefore = StolenMs();
        std::thread writer = StartWriter(fds[1], feed, count, rate, written);
        if (live.Connect(QStringLiteral("-")))
            loop.exec();
        const Clock::time_point end = Clock::now();
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
        writer.join();
        const double stolenAfter = StolenMs();
        result.stolenMs = stolenBefore < 0 || stolenAfter < 0 ? -1 : stolenAfter - stolenBefore;
        window.Session().RemoveAlertObserver(&observer);
        result.seconds = Seconds(end - start);
        result.cpuSeconds = static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) +
                            static_cast<double>(cpuEnd.tv_nsec - cpuStart.tv_nsec) * 1e-9;
        result.messages = live.Messages();
        result.faults = live.SkippedTotal();
        result.latencies = std::move(observer.latencies);
        result.settled = std::move(observer.settled);
    }
    return result;
}
#endif

double Percentile(std::vector<double>& values, double p)
{
    if (values.empty())
        return 0;
    const std::size_t k = std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(k), values.end());
    return values[k];
}

// The latencies of a run, in microseconds: all of them, and those after the run's first second.
void PrintLatencies(LiveResult& run)
{
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    if (run.stolenMs >= 0)
        std::printf("stolen           %.0f ms of the processors' time taken by the hypervisor "
                    "during the run (%.1f %% of %ld processors)\n",
                    run.stolenMs, 100 * run.stolenMs / 1000 / run.seconds / processors, processors);
    std::printf("latency us       p50 %.0f  p99 %.0f  p99.9 %.0f  max %.0f\n",
                Percentile(run.latencies, 0.5), Percentile(run.latencies, 0.99),
                Percentile(run.latencies, 0.999), Percentile(run.latencies, 1.0));
    std::printf("  after 1 s      p50 %.0f  p99 %.0f  p99.9 %.0f  max %.0f\n",
                Percentile(run.settled, 0.5), Percentile(run.settled, 0.99),
                Percentile(run.settled, 0.999), Percentile(run.settled, 1.0));
}

// The medians over several steady runs of their p50, p99 and p99.9 (after the first second).
void PrintRoundMedians(const char* what, std::vector<LiveResult>& runs)
{
    if (runs.size() < 2)
        return;
    std::vector<double> p50, p99, p999, stolen;
    for (LiveResult& run : runs) {
        p50.push_back(Percentile(run.settled, 0.5));
        p99.push_back(Percentile(run.settled, 0.99));
        p999.push_back(Percentile(run.settled, 0.999));
        stolen.push_back(run.stolenMs);
    }
    std::printf("%s, median of %zu runs after 1 s: p50 %.0f  p99 %.0f  p99.9 %.0f us; stolen "
                "%.0f ms\n",
                what, runs.size(), Percentile(p50, 0.5), Percentile(p99, 0.5),
                Percentile(p999, 0.5), Percentile(stolen, 0.5));
    std::printf("  p99 of each run:");
    for (LiveResult& run : runs)
        std::printf(" %.0f (stolen %.0f ms)", Percentile(run.settled, 0.99), run.stolenMs);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    CMarketDayGenerator::Shape shape;
    shape.trades = 1'000'000;
    double steadySeconds = 10;
    bool desktop = false;
    bool headless = true;
    int rounds = 1;
    bool stalls = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--desktop")
            desktop = true;
        else if (arg == "--desktop-only")
            desktop = true, headless = false;
        else if (arg == "--trades" && i + 1 < argc)
            shape.trades = std::atoll(argv[++i]);
        else if (arg == "--seconds" && i + 1 < argc)
            steadySeconds = std::atof(argv[++i]);
        else if (arg == "--stalls")
            stalls = true;
        else if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
    }
    const CMarketDayGenerator generator(shape);
    const std::string folder = VelkJoinPath(VELK_BENCH_DATA_DIR, generator.Name());
    std::string error;
    if (!generator.IsWritten(folder) && !generator.Write(folder, error)) {
        std::fprintf(stderr, "bench_feed: %s\n", error.c_str());
        return 1;
    }
    CTradingDay day;
    if (!day.Load(VelkJoinPath(folder, "day"), error)) {
        std::fprintf(stderr, "bench_feed: %s\n", error.c_str());
        return 1;
    }
    const Feed feed = MakeFeed(day);
    const std::string path = VelkJoinPath(folder, "feed.jsonl");
    VelkReplaceFile(path, feed.bytes);
    const double megabytes = static_cast<double>(feed.bytes.size()) / 1e6;
    std::printf("feed: %zu lines, %.1f MB, %zu stocks\n", feed.lineEnds.size(), megabytes,
                day.Symbols().size());

    const std::string sysDir = VelkJoinPath(folder, "watched/SYS");
    const std::size_t steadyLines =
        std::min(feed.lineEnds.size(), static_cast<std::size_t>(50000 * steadySeconds));
    if (headless) {
        // 1. Parsing against reading, each the best of three, in CPU time.
        double read = 1e9, parsed = 1e9;
        long long lines = 0;
        for (int round = 0; round < 3; ++round) {
            read = std::min(read, ReadFile(path, false, lines));
            parsed = std::min(parsed, ReadFile(path, true, lines));
        }
        std::printf("plain read       %10.0f lines/s %8.0f MB/s\n", lines / read, megabytes / read);
        std::printf("read + parse     %10.0f msgs/s  %8.0f MB/s  (%.2fx the read's time)\n",
                    lines / parsed, megabytes / parsed, parsed / read);

        // 2. Latency at a steady 50,000 messages/s.
        std::vector<LiveResult> runs;
        for (int round = 0; round < rounds; ++round) {
            LiveResult steady = RunLive(feed, steadyLines, 50000, sysDir, stalls);
            std::printf(
                "steady 50k/s     %lld msgs in %.2f s, %zu alerts, faults %lld, host thread "
                "busy %.0f %%\n",
                steady.messages, steady.seconds, steady.latencies.size(), steady.faults,
                100 * steady.cpuSeconds / steady.seconds);
            PrintLatencies(steady);
            runs.push_back(std::move(steady));
        }
        PrintRoundMedians("headless", runs);

        // 3. The whole feed as fast as it is taken.
        LiveResult full = RunLive(feed, feed.lineEnds.size(), 0, sysDir);
        std::printf("sustained        %.0f msgs/s wall, %.0f msgs/s of the host thread's CPU time "
                    "(%lld msgs, %lld trades, %zu alerts in %.2f s)\n",
                    full.messages / full.seconds, full.messages / full.cpuSeconds, full.messages,
                    full.trades, full.latencies.size(), full.seconds);
    }

    if (desktop) {
#ifdef VELK_BENCH_HAS_UI
        qputenv("QT_QPA_PLATFORM", "offscreen");
        int qtArgc = 1;
        CTimedApplication app(qtArgc, argv);
        std::vector<LiveResult> runs;
        for (int round = 0; round < rounds; ++round) {
            app.Reset();
            LiveResult window = RunDesktop(feed, steadyLines, 50000, sysDir);
            std::printf("desktop 50k/s    %lld msgs in %.2f s, %zu alerts, faults %lld, GUI thread "
                        "busy %.0f %%\n",
                        window.messages, window.seconds, window.latencies.size(), window.faults,
                        100 * window.cpuSeconds / window.seconds);
            PrintLatencies(window);
            std::printf(
                "GUI thread's time by event type (77 = paint request, 12 = a widget's paint "
                "within it, 43 = queued call, 1 = timer):\n");
            app.Print();
            runs.push_back(std::move(window));
        }
        PrintRoundMedians("desktop", runs);
#else
        std::printf("desktop          not measured: this build has no desktop program\n");
#endif
    }
    return 0;
}
