#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CQuoteStore.h"

namespace {

const std::vector<unsigned short> kNineItems = {125, 182, 1019, 413, 132, 133, 143, 130, 131};

std::string CodeOf(int i)
{
    return "C" + std::to_string(i);
}

} // namespace

// A writer registers, adds symbols (the hash maps grow and rehash) and moves prices while a
// reader asks for the nine quote items; every answer must be whole and consistent.
TEST(CQuoteStoreConcurrencyTest, ReaderSeesWholeAnswersWhileAnotherThreadRegisters)
{
    CQuoteStore store;
    store.AddMarket(1, "sz", 1);
    store.AddSymbol(1, "000001", "PingAn");
    store.SetItem(1, "000001", X1Format::Price(QuoteItem::kLastPrice, 10));

    constexpr int kRounds = 3000;
    std::atomic<bool> writerDone{false};
    std::thread writer([&] {
        for (int i = 0; i < kRounds; ++i) {
            std::vector<CSymbolInfo> add = {{1, "000001"}, {1, CodeOf(i)}}, none;
            store.SymbolRegister(add, none);
            store.AddSymbol(1, CodeOf(i), "N" + std::to_string(i));
            store.SetItem(1, "000001", X1Format::Price(QuoteItem::kLastPrice, 10 + i % 7));
            store.SymbolRegister(none, add);
        }
        writerDone = true;
    });

    long answers = 0;
    bool wholeAndConsistent = true;
    std::vector<X1Format> out;
    while (!writerDone || answers < 100) {
        if (!store.GetItemDataByItemNo(1, "000001", kNineItems, out, true) || out.size() != 9 ||
            out[2].s_GetAsString() != "PingAn" || double(out[0]) < 10 || double(out[0]) > 16) {
            wholeAndConsistent = false;
            break;
        }
        store.SubscriptionCount(1, "000001");
        std::vector<CString> codes, names;
        store.GetSymbolID(codes, names, 1);
        if (codes.size() != names.size()) {
            wholeAndConsistent = false;
            break;
        }
        ++answers;
    }
    writer.join();
    EXPECT_TRUE(wholeAndConsistent);
    EXPECT_EQ(store.SubscriptionCount(1, "000001"), 0);
    std::vector<CString> codes, names;
    ASSERT_TRUE(store.GetSymbolID(codes, names, 1));
    EXPECT_EQ(codes.size(), std::size_t(kRounds + 1));
}

TEST(CQuoteStoreConcurrencyTest, TwoRegisteringThreadsLoseNoCount)
{
    CQuoteStore store;
    auto registerMany = [&store] {
        std::vector<CSymbolInfo> add = {{27, "600000"}}, none;
        for (int i = 0; i < 2000; ++i)
            store.SymbolRegister(add, none);
    };
    std::thread first(registerMany), second(registerMany);
    first.join();
    second.join();
    EXPECT_EQ(store.SubscriptionCount(27, "600000"), 4000);
}

// The backend is swapped while another thread calls the free functions: each call must reach
// one whole backend, never a torn pointer.
TEST(CQuoteStoreConcurrencyTest, BackendSwapsWhileFreeFunctionsAreCalled)
{
    CQuoteStore& standard = CQuoteStore::Instance();
    standard.Reset();
    standard.AddSymbol(1, "000001", "Standard");
    CQuoteStore replacement;
    replacement.AddSymbol(1, "000001", "Replacement");

    std::atomic<bool> readerDone{false};
    std::thread swapper([&] {
        while (!readerDone) {
            CScopedHostBackend guard(replacement);
        }
    });

    int unexpected = 0;
    std::vector<X1Format> out;
    for (int i = 0; i < 20000; ++i) {
        if (!BK_bGetItemDataByItemNo(1, "000001", {QuoteItem::kName}, out, true, nullptr) ||
            out.size() != 1) {
            ++unexpected;
            continue;
        }
        const CString name = out[0];
        if (name != "Standard" && name != "Replacement")
            ++unexpected;
    }
    readerDone = true;
    swapper.join();
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(&HostBackend(), &standard);
    standard.Reset();
}

// Texts are interned from several threads at once; each index must read back its own text and
// the same text must get the same index everywhere.
TEST(CQuoteStoreConcurrencyTest, TextsInternedFromSeveralThreadsReadBackTheirOwnText)
{
    constexpr int kThreads = 4;
    constexpr int kTexts = 3000;
    std::vector<std::vector<X1Format>> made(kThreads);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &made, &wrong] {
            for (int i = 0; i < kTexts; ++i) {
                const std::string text =
                    (i % 2 ? "shared-" : "own-" + std::to_string(t) + "-") + std::to_string(i);
                made[t].push_back(X1Format::Text(QuoteItem::kName, text));
                if (made[t].back().s_GetAsString() != text)
                    ++wrong;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
    for (int t = 1; t < kThreads; ++t)
        for (int i = 1; i < kTexts; i += 2)
            ASSERT_EQ(std::memcmp(made[0][i].Bytes(), made[t][i].Bytes(), 7), 0) << i;
}
