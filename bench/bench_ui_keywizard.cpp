#include <QApplication>
#include <QLineEdit>
#include <QSignalBlocker>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "hostapi/KQDialog.h"
#include "hostlibs/CPinyinIndex.h"

// Typing into the keyboard wizard over 50,000 candidates, one keystroke at a time: the match
// alone, and the whole keystroke through the window (match and list refill).

namespace {

constexpr std::uint32_t kCandidates = 50000;

struct Candidate {
    std::string code;
    std::string name;
};

const std::vector<Candidate>& Candidates()
{
    static const std::vector<Candidate> candidates = [] {
        std::mt19937 rng(20261208);
        std::uniform_int_distribution<int> digits(0, 999999);
        std::uniform_int_distribution<int> length(2, 4);
        std::uniform_int_distribution<int> lead(0xB0, 0xD7);
        std::uniform_int_distribution<int> trail(0xA1, 0xFE);
        std::uniform_int_distribution<int> percent(0, 99);
        const unsigned char levelTwo[][2] = {
            {0xDB, 0xDA}, {0xF6, 0xCE}, {0xEA, 0xBB}, {0xEE, 0xA3}};
        const char* suffixes[] = {"SH", "SZ", "BJ"};
        std::vector<Candidate> out;
        out.reserve(kCandidates);
        char code[16];
        for (std::uint32_t i = 0; i < kCandidates; ++i) {
            std::snprintf(code, sizeof code, "%06d.%s", digits(rng), suffixes[i % 3]);
            std::string name;
            for (int n = length(rng); n > 0; --n) {
                if (percent(rng) < 8) {
                    const auto* c = levelTwo[static_cast<std::size_t>(percent(rng)) % 4];
                    name.push_back(static_cast<char>(c[0]));
                    name.push_back(static_cast<char>(c[1]));
                    continue;
                }
                const int l = lead(rng);
                const int t = l == 0xD7 ? std::min(trail(rng), 0xF9) : trail(rng);
                name.push_back(static_cast<char>(l));
                name.push_back(static_cast<char>(t));
            }
            out.push_back({code, name});
        }
        return out;
    }();
    return candidates;
}

const CPinyinIndex& Index()
{
    static const CPinyinIndex index = [] {
        CPinyinIndex built;
        built.Reserve(kCandidates);
        for (const Candidate& c : Candidates())
            built.Add(c.code.c_str(), c.name.c_str());
        return built;
    }();
    return index;
}

void BM_Match(benchmark::State& state, std::string typed)
{
    const CPinyinIndex& index = Index();
    std::vector<std::uint32_t> out;
    out.reserve(CKeyWizzard::kMaxShown);
    for (auto _ : state) {
        index.Match(typed, CKeyWizzard::kMaxShown, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["shown"] = static_cast<double>(out.size());
}

struct WizardFixture {
    WizardFixture()
    {
        table.nFlag = 1;
        table.nMsg = 0xC000;
        table.nCapacity = kCandidates;
        table.pItems = KQ_hAllocKeyItems(kCandidates);
        TaKeyRegisterItem* items = KQ_pGetKeyItems(table.pItems);
        for (const Candidate& c : Candidates()) {
            TaKeyRegisterItem& item = items[table.nCount++];
            c.code.copy(item.szCode, sizeof item.szCode - 1);
            c.name.copy(item.szName, sizeof item.szName - 1);
        }
        wizard.Create(nullptr);
        wizard.AddKeyTableReg(&table);
        wizard.show();
        input = wizard.findChild<QLineEdit*>();
    }
    ~WizardFixture() { KQ_FreeKeyItems(table.pItems); }

    TaKeyRegisterTable table{};
    CKeyWizzard wizard;
    QLineEdit* input = nullptr;
};

void BM_WizardKeystroke(benchmark::State& state, std::string typed)
{
    static WizardFixture fixture;
    const QString text = QString::fromLatin1(typed.c_str());
    const QString before = text.left(text.size() - 1);
    for (auto _ : state) {
        state.PauseTiming();
        {
            const QSignalBlocker blocker(fixture.input);
            fixture.input->setText(before);
        }
        fixture.wizard.show();
        state.ResumeTiming();
        fixture.input->setText(text); // the keystroke: the input changes, the list follows
    }
}

void RegisterTyping(const char* sequence)
{
    const std::string full(sequence);
    for (std::size_t n = 1; n <= full.size(); ++n) {
        const std::string typed = full.substr(0, n);
        benchmark::RegisterBenchmark(("Match/" + typed).c_str(), BM_Match, typed);
        benchmark::RegisterBenchmark(("WizardKeystroke/" + typed).c_str(), BM_WizardKeystroke,
                                     typed);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterTyping("600519"); // digits: many code matches at first, one at the end
    RegisterTyping("payhzq"); // letters: name initials, the list thinning out
    RegisterTyping("x9x9x9"); // nothing matches: every pass scans the whole table
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
