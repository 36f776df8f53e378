// The desktop program opening a whole-market day while its event loop is watched: a timer
// probe fires as often as the loop lets it, and every gap between two of its turns is
// measured from the moment the user asks for the day until the day is open on the board and
// the board has fitted its columns to it.
// Prints the load's wall and CPU time and the gaps: median, 99th percentile, longest, and how
// many were longer than 100 ms (the longest a window may stay deaf to the user).
//
//   bench_day_loading [--trades N] [--stocks N] [--data DIR] [--opens N]

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/CMarketDayGenerator.h"
#include "host/gui/CDaySession.h"
#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CQtHostSession.h"
#include "host/gui/CQuoteBoard.h"
#include "platform/core/VelkFile.h"

namespace {

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Percentile(std::vector<qint64> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at =
        std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()));
    return static_cast<double>(values[at]) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    CMarketDayGenerator::Shape shape;
    shape.trades = 10'000'000;
    std::string dataDir = VELK_BENCH_DATA_DIR;
    // Each opening after the first also closes the day before it.
    int opens = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--trades") == 0)
            shape.trades = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--stocks") == 0)
            shape.stocks = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--data") == 0)
            dataDir = argv[i + 1];
        else if (std::strcmp(argv[i], "--opens") == 0)
            opens = std::max(1, std::atoi(argv[i + 1]));
        else {
            std::fprintf(
                stderr,
                "usage: bench_day_loading [--trades N] [--stocks N] [--data DIR] [--opens N]\n");
            return 2;
        }
    }
    const CMarketDayGenerator generator(shape);
    const std::string folder = VelkJoinPath(dataDir, generator.Name());
    if (!generator.IsWritten(folder)) {
        std::printf("writing %s ...\n", folder.c_str());
        std::fflush(stdout);
        std::string error;
        if (!generator.Write(folder, error)) {
            std::fprintf(stderr, "bench_day_loading: %s\n", error.c_str());
            return 1;
        }
    }
    const std::string root = VelkJoinPath(folder, "none");
    const std::string bin = VelkJoinPath(root, "bin");
    if (!VelkCreateDirectories(bin) || ::chdir(bin.c_str()) != 0) {
        std::fprintf(stderr, "bench_day_loading: cannot enter %s\n", bin.c_str());
        return 1;
    }

    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    CQtHostSession::QuietOffscreenPlatform();
    QApplication application(argc, argv);
    CDesktopMainWindow window(VelkJoinPath(root, "SYS"), nullptr, true);
    window.show();

    std::vector<qint64> gaps;
    gaps.reserve(1 << 20);
    // When the long gaps ended and when the day was open, in seconds since the request: a gap
    // in the middle of the load is the machine's (the thread was not scheduled), one at the
    // end is the opening's.
    std::vector<std::pair<double, double>> longGaps;
    double openedAt = 0;
    QElapsedTimer wall;
    QElapsedTimer sinceTurn;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 gap = sinceTurn.nsecsElapsed();
        gaps.push_back(gap);
        if (gap > 50'000'000)
            longGaps.emplace_back(static_cast<double>(wall.nsecsElapsed()) / 1e9,
                                  static_cast<double>(gap) / 1e6);
        sinceTurn.start();
    });

    double cpuStart = 0;
    bool failed = false;
    // The board fits its columns to the day's rows in slices after the day opened: the
    // measuring goes on until it is done.
    double settledAt = 0;
    QTimer settled;
    settled.setInterval(0);
    QObject::connect(&settled, &QTimer::timeout, &application, [&] {
        if (window.Board()->IsFittingColumns())
            return;
        settled.stop();
        settledAt = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        if (--opens > 0)
            window.OpenDayInBackground(QString::fromStdString(VelkJoinPath(folder, "day")));
        else
            QTimer::singleShot(0, &application, &QApplication::quit);
    });
    QObject::connect(&window.Session(), &CDaySession::DayOpened, &application, [&] {
        openedAt = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        settled.start();
    });
    QObject::connect(&window.Loader(), &CDayLoader::Failed, &application,
                     [&](const QString&, const QString& error) {
                         std::fprintf(stderr, "bench_day_loading: %s\n",
                                      error.toUtf8().constData());
                         failed = true;
                         application.quit();
                     });
    // The window's first paint (fonts, style) is done before the request: the gaps measured are
    // the load's.
    QTimer::singleShot(1000, [&] {
        wall.start();
        cpuStart = CpuSeconds();
        sinceTurn.start();
        probe.start();
        window.OpenDayInBackground(QString::fromStdString(VelkJoinPath(folder, "day")));
    });
    QApplication::exec();
    probe.stop();
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpuStart;
    if (failed)
        return 1;
    const auto longer =
        std::count_if(gaps.begin(), gaps.end(), [](qint64 gap) { return gap > 100'000'000; });
    std::printf("day of %lld trades, %d stocks opened in %.2f s wall, %.2f s CPU\n",
                static_cast<long long>(shape.trades), shape.stocks, seconds, cpu);
    std::printf("event-loop turns %zu; gap median %.3f ms, p99 %.3f ms, longest %.1f ms; "
                "gaps over 100 ms: %lld\n",
                gaps.size(), Percentile(gaps, 0.5), Percentile(gaps, 0.99), Percentile(gaps, 1.0),
                static_cast<long long>(longer));
    std::printf("the day opened at %.2f s, its board was fitted at %.2f s\n", openedAt, settledAt);
    for (const auto& [at, ms] : longGaps)
        std::printf("  gap of %.1f ms ending at %.2f s (the day opened at %.2f s)\n", ms, at,
                    openedAt);
    return longer == 0 ? 0 : 3;
}
