// What adding stocks to the system-alert list costs the host's user-interface thread: 5,000
// stocks in one AddMStockToSystemAlert, and one AddStockToSystemAlert to a System_alert.cfg of
// 100,000 records. Wall time, because the flush to the disk is most of it; the folder is on
// the disk (medium 0) or, where there is one, on a tmpfs (medium 1), which shows the cost
// without the disk's flush.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "engine/VelkRecords.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"

namespace {

constexpr unsigned char kMarket = 1;

std::string Code(int i)
{
    char code[12];
    std::snprintf(code, sizeof code, "%06d", i);
    return code;
}

std::string FolderOn(int medium)
{
    const std::filesystem::path base = medium == 1 && std::filesystem::is_directory("/dev/shm")
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
    std::string templ = (base / "velk-bench-XXXXXX").string();
    return ::mkdtemp(templ.data()) ? templ : std::string();
}

// A quote service that knows the stocks' names and an engine on its own folder.
class CAddFixture {
public:
    CAddFixture(int medium, int knownStocks) : m_backend(m_store), m_strDir(FolderOn(medium))
    {
        for (int i = 0; i < knownStocks; ++i)
            m_store.AddSymbol(kMarket, Code(i), "stock");
        m_pEngine = std::make_unique<CVelkAlert>(CVelkServices{});
        CString path = m_strDir;
        m_pEngine->SetSYSPath(path);
    }
    ~CAddFixture()
    {
        m_pEngine.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_strDir, ec);
    }
    std::string File() const { return VelkJoinPath(m_strDir, "System_alert.cfg"); }

    CQuoteStore m_store;
    CScopedHostBackend m_backend;
    std::string m_strDir;
    std::unique_ptr<CVelkAlert> m_pEngine;
};

void BM_AddBatch(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    CAddFixture fixture(static_cast<int>(state.range(1)), count);
    std::vector<CSymbolInfo> stocks;
    for (int i = 0; i < count; ++i)
        stocks.emplace_back(kMarket, Code(i));
    for (auto _ : state) {
        state.PauseTiming();
        // Every round starts from a file without these stocks and an engine without them.
        std::filesystem::remove(fixture.File());
        fixture.m_pEngine = std::make_unique<CVelkAlert>(CVelkServices{});
        CString path = fixture.m_strDir;
        fixture.m_pEngine->SetSYSPath(path);
        state.ResumeTiming();
        fixture.m_pEngine->AddMStockToSystemAlert(&stocks);
    }
    std::uint64_t size = 0;
    VelkFileSize(fixture.File(), size);
    state.counters["file_bytes"] = static_cast<double>(size);
}

void BM_AddOneToLargeFile(benchmark::State& state)
{
    const int records = static_cast<int>(state.range(0));
    CAddFixture fixture(static_cast<int>(state.range(1)), 0);
    std::string bytes;
    Ta_SYSTEMSWITCH switches{0, 0, 1, 2};
    bytes.append(reinterpret_cast<const char*>(&switches), sizeof switches);
    for (int i = 0; i < records; ++i) {
        Ta_VELKPRICEALERT stock{};
        stock.m_byMarket = kMarket;
        VelkCopyText(stock.m_szCode, Code(i));
        bytes.append(reinterpret_cast<const char*>(&stock), sizeof stock);
    }
    VelkReplaceFile(fixture.File(), bytes);

    int next = records;
    for (auto _ : state) {
        fixture.m_pEngine->AddStockToSystemAlert(kMarket, Code(next++));
    }
    std::uint64_t size = 0;
    VelkFileSize(fixture.File(), size);
    state.counters["records_added"] =
        static_cast<double>((size - bytes.size()) / sizeof(Ta_VELKPRICEALERT));
}

} // namespace

BENCHMARK(BM_AddBatch)
    ->ArgNames({"stocks", "medium"})
    ->Args({5000, 0})
    ->Args({5000, 1})
    ->Args({500, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_AddOneToLargeFile)
    ->ArgNames({"records", "medium"})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
