// The alert history window's reads over a long history: the newest rows it shows when it opens
// and after each change of its filter, read from a file that holds some days of the whole
// market's alerts. Wall and CPU time of each read, median of the runs.
//
// Usage: bench_history [--days N] [--alerts N (a day)] [--runs N] [--file PATH (kept)]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/outputs/CAlertHistory.h"
#include "platform/core/TextCodec.h"
#include "res/VelkStringTable.h"

namespace {

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// days × alerts of 5000 stocks, a day per run as a replay writes them, in frames of 2000.
bool Fill(CAlertHistory& history, int days, int alerts)
{
    const std::string name = TextCodec::Utf8ToGbk("股票");
    std::uint64_t sequence = 0;
    for (int day = 0; day < days; ++day) {
        const int date = 20240102 + day / 28 * 100 + day % 28;
        if (!history.BeginRun(false, "/days/" + std::to_string(date)))
            return false;
        for (int i = 0; i < alerts; ++i) {
            CAlertEvent event;
            event.record.m_byMarket = 1;
            const int stock = static_cast<int>((i * 2654435761u) % 5000);
            char code[8];
            std::snprintf(code, sizeof code, "%06d", stock);
            VelkCopyText(event.record.m_szCode, code);
            VelkCopyText(event.record.m_szName, name + std::to_string(stock));
            event.reasonCode = i % CAlertEvent::kReasonCount;
            VelkCopyText(event.record.m_szReason, VelkReasonText(event.reasonCode));
            event.record.m_nTime = 34200 + static_cast<int>(14400LL * i / alerts);
            event.record.m_fPrice = 10.0f + static_cast<float>(i % 100) / 100;
            event.sequence = ++sequence;
            event.tradingDate = date;
            history.Add(event);
            if (i % 2000 == 1999 && !history.Commit())
                return false;
        }
        if (!history.Commit())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int days = 30;
    int alerts = 136000;
    int runs = 5;
    std::string file;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--days")
            days = std::atoi(argv[i + 1]);
        else if (option == "--alerts")
            alerts = std::atoi(argv[i + 1]);
        else if (option == "--runs")
            runs = std::atoi(argv[i + 1]);
        else if (option == "--file")
            file = argv[i + 1];
    }
    if (days <= 0 || alerts <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: bench_history [--days N] [--alerts N] [--runs N] "
                             "[--file PATH]\n");
        return 2;
    }
    const bool temporary = file.empty();
    auto removeFile = [&file] {
        for (const char* part : {"", "-wal", "-shm"})
            std::filesystem::remove(file + part);
    };
    if (temporary) {
        file = (std::filesystem::temp_directory_path() / "bench_history.sqlite").string();
        removeFile();
    }
    std::optional<CAlertHistory> kept;
    CAlertHistory& history = kept.emplace();
    const bool fresh = !std::filesystem::exists(file);
    if (!history.Open(file) || (fresh && !Fill(history, days, alerts))) {
        std::fprintf(stderr, "bench_history: %s\n", history.Error().c_str());
        return 1;
    }
    std::printf("%s: %d days of %d alerts%s, median of %d runs\n", file.c_str(), days, alerts,
                fresh ? "" : " (as kept)", runs);
    struct Read {
        const char* what;
        CAlertHistory::Filter filter;
    };
    std::vector<Read> reads(4);
    reads[0].what = "newest 100,000 (the window opens)";
    reads[1].what = "newest of one code";
    reads[1].filter.code = "000123";
    reads[2].what = "newest with 涨停 in the reason";
    reads[2].filter.reason = "涨停";
    reads[2].filter.reasonPart = true;
    reads[3].what = "one day";
    reads[3].filter.from = reads[3].filter.to = "2024-01-10";
    std::printf("%-36s %10s %10s %8s\n", "read", "wall s", "cpu s", "rows");
    for (Read& read : reads) {
        read.filter.limit = 100000;
        std::vector<double> wall;
        std::vector<double> cpu;
        std::vector<CAlertHistory::Row> rows;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const double startCpu = CpuSeconds();
            if (!history.Query(read.filter, rows)) {
                std::fprintf(stderr, "bench_history: %s\n", history.Error().c_str());
                return 1;
            }
            cpu.push_back(CpuSeconds() - startCpu);
            wall.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("%-36s %10.3f %10.3f %8zu\n", read.what, wall[wall.size() / 2],
                    cpu[cpu.size() / 2], rows.size());
    }
    kept.reset();
    if (temporary)
        removeFile();
    return 0;
}
