#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/FakeWindowing.h"
#include "tests/mocks/MockHostBackend.h"

namespace {

using TA = CVelkAlertTestAccess;
using ::testing::_;
using ::testing::AnyNumber;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::InSequence;
using ::testing::IsEmpty;
using ::testing::NiceMock;
using ::testing::Not;
using ::testing::Return;
using ::testing::SetArgReferee;
using ::testing::StrictMock;

using Symbols = std::vector<CSymbolInfo>;

std::vector<std::string> CodesOf(const std::vector<Ta_VELKPRICEALERT>& list)
{
    std::vector<std::string> codes;
    for (const Ta_VELKPRICEALERT& r : list)
        codes.push_back(std::to_string(r.m_byMarket) + ":" + VelkFieldText(r.m_szCode) + ":" +
                        VelkFieldText(r.m_szName));
    return codes;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class SubscriptionTest : public ::testing::Test {
protected:
    SubscriptionTest() : m_guard(m_backend)
    {
        ON_CALL(m_backend, GetSysPath(_)).WillByDefault(Return(m_dir.Path()));
    }
    std::unique_ptr<CVelkAlert> MakeEngine()
    {
        return std::make_unique<CVelkAlert>(CVelkServices{nullptr, nullptr, nullptr, &m_clock});
    }

    CTempDir m_dir;
    NiceMock<MockHostBackend> m_backend;
    CScopedHostBackend m_guard;
    CFixedClock m_clock;
};

TEST_F(SubscriptionTest, EmptyListsRegisterAnEmptyVectorAndUnregisterNothing)
{
    EXPECT_CALL(m_backend, SymbolRegister(IsEmpty(), IsEmpty())).Times(2);
    EXPECT_CALL(m_backend, SymbolRegister(Not(IsEmpty()), _)).Times(0);
    EXPECT_CALL(m_backend, SymbolRegister(_, Not(IsEmpty()))).Times(0);
    auto engine = MakeEngine();
    engine->ChangeRegistSymbol();
    engine.reset();
}

TEST_F(SubscriptionTest, ReRegistrationUnregistersTheOldThenRegistersSystemThenPriceStocks)
{
    auto engine = MakeEngine();
    const Symbols first{{1, "600000"}, {2, "000001"}, {1, "600519"}, {1, "600000"}};
    {
        InSequence order;
        EXPECT_CALL(m_backend,
                    SymbolRegister(ElementsAre(first[0], first[1], first[2], first[3]), IsEmpty()));
        EXPECT_CALL(m_backend,
                    SymbolRegister(IsEmpty(), ElementsAre(first[0], first[1], first[2], first[3])));
        EXPECT_CALL(m_backend, SymbolRegister(ElementsAre(CSymbolInfo(2, "000001")), IsEmpty()));
        EXPECT_CALL(m_backend, SymbolRegister(IsEmpty(), ElementsAre(CSymbolInfo(2, "000001"))));
    }
    TA::SetSystemList(*engine, {MakeWatch(1, "600000"), MakeWatch(2, "000001")});
    TA::SetPriceList(*engine, {MakeWatch(1, "600519", "", 10), MakeWatch(1, "600000", "", 20)});
    engine->ChangeRegistSymbol();
    EXPECT_EQ(engine->GetRegisteredSymbols(), first) << "a stock in both lists is there twice";
    const CKeyIndexMap expected{{"600000", 3}, {"000001", 1}, {"600519", 2}};
    EXPECT_EQ(engine->GetRegisteredSymbolMap(), expected) << "the later index wins";

    TA::SetSystemList(*engine, {MakeWatch(2, "000001")});
    TA::SetPriceList(*engine, {});
    engine->ChangeRegistSymbol();
    EXPECT_EQ(engine->GetRegisteredSymbols(), Symbols({{2, "000001"}}));
    EXPECT_EQ(engine->GetRegisteredSymbolMap(), CKeyIndexMap({{"000001", 0}}));
    engine.reset(); // unregisters what is registered
}

TEST_F(SubscriptionTest, UserIdIsTheFirstSixteenBytesUpToANul)
{
    auto engine = MakeEngine();
    CString id = "stale";
    TA::GetUserID(*engine, id);
    EXPECT_EQ(id, "") << "no UserInfo.cfg";

    struct Case {
        std::string bytes;
        std::string id;
    };
    for (const Case& c : {Case{"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOP"},
                          Case{std::string("abc\0xyz", 7) + std::string(60, 'q'), "abc"},
                          Case{"hello", "hello"}, Case{std::string(16, '\0') + "tail", ""}}) {
        WriteFile(m_dir.File("UserInfo.cfg"), c.bytes);
        TA::GetUserID(*engine, id);
        EXPECT_EQ(id, c.id);
    }
}

TEST_F(SubscriptionTest, SelfSelectedStocksFillTheSystemListInGroupOrderWithDuplicates)
{
    auto engine = MakeEngine();
    WriteFile(m_dir.File("UserInfo.cfg"), std::string("user01\0\0\0\0\0\0\0\0\0\0rest", 20));
    TA::SetSystemList(*engine, {MakeWatch(9, "old")});
    const std::vector<CString> groups{"G1", "G2", "G3"};
    EXPECT_CALL(m_backend, GetSSVInfoByUserID(CString("user01"), _))
        .WillOnce(DoAll(SetArgReferee<1>(groups), Return(true)));
    EXPECT_CALL(m_backend, GetSymbolIDVecBySSVName(CString("user01"), CString("G1"), _))
        .WillOnce(DoAll(SetArgReferee<2>(Symbols{{1, "600000"}, {2, "000001"}}), Return(true)));
    EXPECT_CALL(m_backend, GetSymbolIDVecBySSVName(CString("user01"), CString("G2"), _))
        .WillOnce(DoAll(SetArgReferee<2>(Symbols{{3, "333333"}}), Return(false)));
    EXPECT_CALL(m_backend, GetSymbolIDVecBySSVName(CString("user01"), CString("G3"), _))
        .WillOnce(
            DoAll(SetArgReferee<2>(Symbols{{1, "600000"}, {4, "ABCDEFGHIJKLMN"}}), Return(true)));
    const std::vector<unsigned short> nameItem{1019};
    ON_CALL(m_backend, GetItemDataByItemNo(1, CString("600000"), nameItem, _, true))
        .WillByDefault(DoAll(SetArgReferee<3>(std::vector<X1Format>{X1Format::Text(1019, "PF")}),
                             Return(true)));
    ON_CALL(m_backend, GetItemDataByItemNo(4, _, nameItem, _, true)).WillByDefault(Return(true));
    engine->GetSSVStock();
    EXPECT_EQ(
        CodesOf(TA::SystemList(*engine)),
        std::vector<std::string>({"1:600000:PF", "2:000001:", "1:600000:PF", "4:ABCDEFGHIJK:"}));
}

TEST_F(SubscriptionTest, SelfSelectedStocksWithoutUserInfoAskForAnEmptyUserAndEmptyTheList)
{
    auto engine = MakeEngine();
    TA::SetSystemList(*engine, {MakeWatch(1, "600000"), MakeWatch(2, "000001")});
    EXPECT_CALL(m_backend, GetSSVInfoByUserID(CString(""), _))
        .WillOnce(DoAll(SetArgReferee<1>(std::vector<CString>{"G1"}), Return(false)));
    EXPECT_CALL(m_backend, GetSymbolIDVecBySSVName(_, _, _)).Times(0);
    engine->GetSSVStock();
    EXPECT_TRUE(TA::SystemList(*engine).empty());
}

TEST_F(SubscriptionTest, AddStockAnswersForOneToFortyNinePriceAlerts)
{
    auto engine = MakeEngine();
    for (int count : {-1, 0, 1, 2, 49, 50, 51, 1000}) {
        TA::PriceCount(*engine) = count;
        EXPECT_EQ(engine->AddStock(12345), count >= 1 && count <= 49 ? 1 : 0) << count;
    }
}

TEST_F(SubscriptionTest, WorkerRegistersTheListsAsTheyWereWhenItStarted)
{
    auto engine = MakeEngine();
    TA::SetSystemList(*engine, {MakeWatch(1, "600000")});
    TA::SetPriceList(*engine, {MakeWatch(2, "000001", "", 10)});
    EXPECT_CALL(m_backend, SymbolRegister(_, _)).Times(AnyNumber());
    EXPECT_CALL(
        m_backend,
        SymbolRegister(ElementsAre(CSymbolInfo(1, "600000"), CSymbolInfo(2, "000001")), IsEmpty()));

    TA::StartRegistrationWorker(*engine);
    // The host changes the lists at once, while the worker is still starting or registering.
    TA::SetSystemList(*engine, {MakeWatch(3, "300001"), MakeWatch(3, "300002")});
    TA::SetPriceList(*engine, {});
    engine->WaitForRegistration();
    EXPECT_FALSE(TA::WorkerJoinable(*engine));
    EXPECT_EQ(engine->GetRegisteredSymbols(), Symbols({{1, "600000"}, {2, "000001"}}));
}

TEST_F(SubscriptionTest, ChangeRegistSymbolWaitsForAWorkerStillRunning)
{
    auto engine = MakeEngine();
    TA::SetSystemList(*engine, {MakeWatch(1, "600000")});
    std::atomic<bool> workerDone{false};
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    {
        InSequence order;
        EXPECT_CALL(m_backend, SymbolRegister(ElementsAre(CSymbolInfo(1, "600000")), IsEmpty()))
            .WillOnce([&](Symbols&, Symbols&) {
                entered.set_value();
                released.wait();
                workerDone = true;
                return 0;
            });
        EXPECT_CALL(m_backend, SymbolRegister(IsEmpty(), ElementsAre(CSymbolInfo(1, "600000"))));
        EXPECT_CALL(m_backend, SymbolRegister(ElementsAre(CSymbolInfo(1, "600000")), IsEmpty()));
        EXPECT_CALL(m_backend, SymbolRegister(IsEmpty(), ElementsAre(CSymbolInfo(1, "600000"))));
    }
    TA::StartRegistrationWorker(*engine);
    entered.get_future().wait();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        release.set_value();
    });
    engine->ChangeRegistSymbol();
    EXPECT_TRUE(workerDone) << "returned before the worker had finished";
    releaser.join();
    EXPECT_EQ(engine->GetRegisteredSymbols(), Symbols({{1, "600000"}}));
}

// The settings sheet confirmed and the engine destroyed at once: the destructor must wait for
// the worker, and what it registered must be unregistered, not left behind.
TEST(SubscriptionWorkerTest, ConfirmedSettingsFollowedByDestructionLeaveNothingRegistered)
{
    CQuoteStore store;
    CScopedHostBackend guard(store);
    CTempDir dir;
    CFakeWindowing windowing;
    windowing.m_nSettingsResult = VelkMsgBox::kIdOk;
    CFixedClock clock;
    for (int round = 0; round < 50; ++round) {
        auto engine =
            std::make_unique<CVelkAlert>(CVelkServices{&windowing, nullptr, nullptr, &clock});
        CString path = dir.Path();
        engine->SetSYSPath(path);
        TA::SetPriceList(*engine, {MakeWatch(1, "600000", "", 10), MakeWatch(2, "000001", "", 5)});
        engine->SetAlertCondition();
        if (round == 0) {
            engine->WaitForRegistration();
            EXPECT_EQ(store.SubscriptionCount(1, "600000"), 1);
            EXPECT_EQ(store.SubscriptionCount(2, "000001"), 1);
        }
        engine.reset();
        ASSERT_EQ(store.SubscriptionCount(1, "600000"), 0) << "round " << round;
        ASSERT_EQ(store.SubscriptionCount(2, "000001"), 0) << "round " << round;
    }
    EXPECT_EQ(windowing.m_nSettingsRuns, 50);
}

} // namespace
