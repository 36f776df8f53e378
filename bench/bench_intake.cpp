// What one quote notification costs the engine, as the host delivers them: an unwatched stock
// (a key lookup and out) and a watched one (nine items fetched, the day's high and low
// seeded, queued and evaluated), with 10 to 100,000 monitored stocks; beside the floor of one
// hash lookup per notification.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
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

class CCountingObserver final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD&) override { ++m_nCount; }
    long m_nCount = 0;
};

// A quote service with n monitored stocks and one more that nobody watches, and an engine
// started on a system directory whose System_alert.cfg lists the n stocks.
class CIntakeFixture {
public:
    explicit CIntakeFixture(int n) : m_backend(m_store)
    {
        std::string templ = (std::filesystem::temp_directory_path() / "velk-bench-XXXXXX").string();
        m_strDir = ::mkdtemp(templ.data()) ? templ : std::string();

        m_store.AddMarket(kMarket, "SH", kMarket);
        std::string systemFile;
        Ta_SYSTEMSWITCH switches{1, 1, 1, 2};
        systemFile.append(reinterpret_cast<const char*>(&switches), sizeof switches);
        for (int i = 0; i <= n; ++i) {
            const std::string code = Code(i);
            m_store.AddSymbol(kMarket, code, "stock");
            m_store.SetItem(kMarket, code, X1Format::Price(125, 10.00));
            m_store.SetItem(kMarket, code, X1Format::Price(182, 10.00));
            m_store.SetItem(kMarket, code, X1Format::Volume(413, 100000));
            m_store.SetItem(kMarket, code, X1Format::Price(132, 11.00));
            m_store.SetItem(kMarket, code, X1Format::Price(133, 9.00));
            m_store.SetItem(kMarket, code, X1Format::Time(143, 10, 0, 0));
            m_store.SetItem(kMarket, code, X1Format::Price(130, 10.50));
            m_store.SetItem(kMarket, code, X1Format::Price(131, 9.50));
            if (i == n)
                break; // the last one stays unwatched
            Ta_VELKPRICEALERT stock{};
            stock.m_byMarket = kMarket;
            VelkCopyText(stock.m_szCode, code);
            systemFile.append(reinterpret_cast<const char*>(&stock), sizeof stock);
        }
        // Quiet options: no sound, no pop-up, no price alerts.
        Ta_ALERTSETTING setting{};
        Ta_OTHERALERT options{};
        std::string alertFile(reinterpret_cast<const char*>(&setting), sizeof setting);
        alertFile.append(reinterpret_cast<const char*>(&options), sizeof options);
        VelkReplaceFile(VelkJoinPath(m_strDir, "System_alert.cfg"), systemFile);
        VelkReplaceFile(VelkJoinPath(m_strDir, "alert.cfg"), alertFile);
        VelkReplaceFile(VelkJoinPath(m_strDir, "Magic.cfg"), std::string());

        m_pEngine = std::make_unique<CVelkAlert>(CVelkServices{});
        m_pEngine->SetSYSPath(m_strDir);
        m_pEngine->SetAlertObserver(&m_observer);
        m_pEngine->Start();

        m_strWatched = Code(n / 2);
        m_strUnwatched = Code(n);
        // The first notification seeds the watched stock's day high and low (10.50, 9.50);
        // the prices below stay between them and below the limits, so nothing fires.
        CMemoryInfo seed(kMarket, m_strWatched);
        m_pEngine->vRecvNewMemory(&seed);
    }

    ~CIntakeFixture()
    {
        m_pEngine.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_strDir, ec);
    }

    CQuoteStore m_store;
    CScopedHostBackend m_backend;
    std::string m_strDir;
    CCountingObserver m_observer;
    std::unique_ptr<CVelkAlert> m_pEngine;
    std::string m_strWatched;
    std::string m_strUnwatched;
};

void BM_Unwatched(benchmark::State& state)
{
    CIntakeFixture fixture(static_cast<int>(state.range(0)));
    CMemoryInfo info(kMarket, fixture.m_strUnwatched);
    for (auto _ : state)
        fixture.m_pEngine->vRecvNewMemory(&info);
    state.counters["alerts"] = static_cast<double>(fixture.m_observer.m_nCount);
}

// seeded 0: the other monitored stocks have had no quote yet today (their high is 0), as early
// in the day; seeded 1: every one has its high and low, as after each stock's first quote.
void BM_Watched(benchmark::State& state)
{
    CIntakeFixture fixture(static_cast<int>(state.range(0)));
    if (state.range(1)) {
        std::vector<Ta_VELKPRICEALERT>* list = nullptr;
        fixture.m_pEngine->GetSystemAlert(&list);
        for (Ta_VELKPRICEALERT& record : *list) {
            if (record.m_fUpper == 0.0f) {
                record.m_fUpper = 10.50f;
                record.m_fLower = 9.50f;
            }
        }
    }
    CMemoryInfo info(kMarket, fixture.m_strWatched);
    const X1Format prices[2] = {X1Format::Price(125, 10.00), X1Format::Price(125, 10.01)};
    std::size_t i = 0;
    for (auto _ : state) {
        fixture.m_store.SetItem(kMarket, fixture.m_strWatched, prices[++i & 1]);
        fixture.m_pEngine->vRecvNewMemory(&info);
    }
    state.counters["alerts"] = static_cast<double>(fixture.m_observer.m_nCount);
}

// The price update alone, to take out of the watched figure.
void BM_PriceUpdateOnly(benchmark::State& state)
{
    CQuoteStore store;
    store.AddSymbol(kMarket, Code(0), "stock");
    const X1Format prices[2] = {X1Format::Price(125, 10.00), X1Format::Price(125, 10.01)};
    std::size_t i = 0;
    for (auto _ : state)
        store.SetItem(kMarket, Code(0), prices[++i & 1]);
}

// The floor: the same notification stream through one hash lookup each.
void BM_Floor(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::unordered_map<std::string, int> map;
    for (int i = 0; i < n; ++i)
        map[VelkDecimalKey(kMarket, Code(i))] = i;
    const std::string key = VelkDecimalKey(kMarket, Code(state.range(1) ? n / 2 : n));
    for (auto _ : state) {
        auto it = map.find(key);
        benchmark::DoNotOptimize(it);
    }
}

} // namespace

BENCHMARK(BM_Unwatched)->Arg(10)->Arg(1000)->Arg(100000)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Watched)
    ->ArgsProduct({{10, 1000, 100000}, {0, 1}})
    ->ArgNames({"n", "seeded"})
    ->Unit(benchmark::kNanosecond);
BENCHMARK(BM_PriceUpdateOnly)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_Floor)
    ->ArgsProduct({{10, 1000, 100000}, {0, 1}})
    ->ArgNames({"n", "watched"})
    ->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
