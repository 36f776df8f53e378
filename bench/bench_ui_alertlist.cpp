// The alert list window with many alerts: refilling the rows, a new alert on top, and
// scrolling through the whole list. Run with a Qt platform plugin, e.g. QT_QPA_PLATFORM=offscreen.

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/core/TextCodec.h"
#include "ui/CAlertListDlg.h"
#include "ui/CAlertListModel.h"

namespace {

CAlertRecordList MakeAlerts(std::size_t count)
{
    std::mt19937 random(42);
    std::uniform_int_distribution<int> time(9 * 3600, 15 * 3600);
    const std::string name = TextCodec::Utf8ToGbk("浦发银行");
    const std::string reason = TextCodec::Utf8ToGbk("今日最高价");
    CAlertRecordList alerts(count);
    for (std::size_t i = 0; i < count; ++i) {
        Ta_ALERTRECORD& r = alerts[i];
        r.m_byMarket = 1;
        VelkCopyText(r.m_szCode, std::to_string(600000 + i % 1000));
        VelkCopyText(r.m_szName, name);
        r.m_nTime = time(random);
        r.m_fPrice = 10.0f + static_cast<float>(i % 100) * 0.01f;
        r.m_fVolume = 123456.0f;
        VelkCopyText(r.m_szReason, reason);
    }
    return alerts;
}

// The window and the lists it works on, in a scratch directory so the day file lands there.
struct CWindowFixture {
    explicit CWindowFixture(std::size_t count) : alerts(MakeAlerts(count)), unsorted(alerts)
    {
        dialog = std::make_unique<CAlertListDlg>(&alerts, &prices);
        dialog->show();
        QApplication::processEvents();
    }
    CAlertRecordList alerts;
    CAlertRecordList unsorted;
    std::vector<Ta_VELKPRICEALERT> prices;
    std::unique_ptr<CAlertListDlg> dialog;
};

// Refill from an unsorted list (the day file joined with the session's alerts), painted.
void BM_FillAlertList(benchmark::State& state)
{
    CWindowFixture f(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        f.alerts = f.unsorted;
        state.ResumeTiming();
        f.dialog->FillAlertList();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The window's own work alone, before anything is painted.
void BM_FillAlertListUnpainted(benchmark::State& state)
{
    CWindowFixture f(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        f.alerts = f.unsorted;
        state.ResumeTiming();
        f.dialog->FillAlertList();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_InsertAlertItemUnpainted(benchmark::State& state)
{
    CWindowFixture f(static_cast<std::size_t>(state.range(0)));
    f.dialog->FillAlertList();
    const Ta_ALERTRECORD fresh = f.alerts.back();
    for (auto _ : state) {
        state.PauseTiming();
        if (f.alerts.size() > static_cast<std::size_t>(state.range(0)) + 5000) {
            f.alerts.resize(static_cast<std::size_t>(state.range(0)));
            f.dialog->FillAlertList();
        }
        f.alerts.push_front(fresh);
        state.ResumeTiming();
        f.dialog->InsertAlertItem(fresh);
    }
}

// One new alert: the engine's front insert and the window's new top row, painted.
void BM_InsertAlertItem(benchmark::State& state)
{
    CWindowFixture f(static_cast<std::size_t>(state.range(0)));
    f.dialog->FillAlertList();
    const Ta_ALERTRECORD fresh = f.alerts.back();
    for (auto _ : state) {
        state.PauseTiming();
        if (f.alerts.size() > static_cast<std::size_t>(state.range(0)) + 5000) {
            f.alerts.resize(static_cast<std::size_t>(state.range(0)));
            f.dialog->FillAlertList();
        }
        state.ResumeTiming();
        f.alerts.push_front(fresh);
        f.dialog->InsertAlertItem(fresh);
        QApplication::processEvents();
    }
}

// Paging from the top of the list to its end and back.
void BM_ScrollWholeList(benchmark::State& state)
{
    CWindowFixture f(static_cast<std::size_t>(state.range(0)));
    f.dialog->FillAlertList();
    QScrollBar* bar = f.dialog->ListControl()->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        bar->setValue(bar->maximum() / 2);
        QApplication::processEvents();
        bar->setValue(0);
        QApplication::processEvents();
    }
}

BENCHMARK(BM_FillAlertList)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillAlertListUnpainted)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InsertAlertItemUnpainted)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InsertAlertItem)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollWholeList)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / "velk-bench-ui/run";
    std::filesystem::create_directories(scratch);
    std::filesystem::current_path(scratch);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch.parent_path());
    return 0;
}
