#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "hostlibs/CQuoteStore.h"
#include "tests/mocks/MockHostBackend.h"

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::Return;
using ::testing::SetArgReferee;
using ::testing::StrictMock;

TEST(HostApiTest, FreeFunctionsReachTheInstalledBackendWithTheirArguments)
{
    StrictMock<MockHostBackend> mock;
    CScopedHostBackend guard(mock);
    EXPECT_EQ(&HostBackend(), &mock);

    const std::vector<X1Format> answer = {X1Format::Price(125, 9.5)};
    EXPECT_CALL(mock, GetItemDataByItemNo(5, CString("600000"), ElementsAre(125), _, false))
        .WillOnce(DoAll(SetArgReferee<3>(answer), Return(true)));
    std::vector<X1Format> out;
    EXPECT_TRUE(BK_bGetItemDataByItemNo(5, "600000", {125}, out, false, nullptr));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].s_GetAsString(), "9.50");

    std::vector<CSymbolInfo> add = {{1, "A"}}, remove = {{2, "B"}};
    EXPECT_CALL(mock,
                SymbolRegister(ElementsAre(CSymbolInfo{1, "A"}), ElementsAre(CSymbolInfo{2, "B"})))
        .WillOnce(Return(3));
    EXPECT_EQ(BK_iSymbolRegister(add, remove, false), 3);

    EXPECT_CALL(mock, GetTickerCount(7, CString("C"), CString("20211201"))).WillOnce(Return(11L));
    EXPECT_EQ(BK_lGetTickerCount(7, "C", "20211201", true, true), 11);
    std::vector<std::vector<X1Format>> rows;
    EXPECT_CALL(mock, GetTickerByStartPos(_, 7, CString("C"), 2L, 9L, CString("20211201")))
        .WillOnce(Return(4L));
    EXPECT_EQ(BK_lGetTickerByStartPos(rows, 7, "C", 2, 9, "20211201", true, true), 4);

    CMarketStatus status;
    EXPECT_CALL(mock, GetMarketStatus(8, CString("D"), _)).WillOnce(Return(true));
    EXPECT_TRUE(BK_bGetMarketStatus(8, "D", status, nullptr));
    EXPECT_CALL(mock, DaGetMarketStatus(27, _)).WillOnce(Return(false));
    EXPECT_FALSE(DA_bGetMarketStatus(27, status));
    const unsigned char market = 9;
    EXPECT_CALL(mock, GetMemoryState(9, CString("E"))).WillOnce(Return(true));
    EXPECT_TRUE(BK_bGetMemoryState(market, "E"));
    EXPECT_CALL(mock, GetLastMagic(_, 26, 1L, CString("20211203"))).WillOnce(Return(2L));
    EXPECT_EQ(BK_lGetLastMagic(rows, 26, 1, "20211203"), 2);

    std::vector<CString> first, second;
    EXPECT_CALL(mock, GetMagicNo(_, _)).WillOnce(Return(false));
    EXPECT_FALSE(BK_bGetMagicNo(first, second));
    CString text;
    EXPECT_CALL(mock, GetSymbolFullName(_, 4, CString("F")))
        .WillOnce(DoAll(SetArgReferee<0>("Full"), Return(true)));
    EXPECT_TRUE(BK_GetSymbolFullName(text, 4, "F"));
    EXPECT_EQ(text, "Full");
    EXPECT_CALL(mock, GetServiceExName(_, 4)).WillOnce(DoAll(SetArgReferee<0>("sz"), Return(true)));
    EXPECT_TRUE(BK_bGetServiceExName(text, 4));
    EXPECT_EQ(text, "sz");
    EXPECT_CALL(mock, GetServiceIDByExName(CString("sh"))).WillOnce(Return(27));
    EXPECT_EQ(BK_byGetServiceIDByExName("sh"), 27);
    EXPECT_CALL(mock, GetSymbolID(_, _, 6)).WillOnce(Return(true));
    EXPECT_TRUE(BK_bGetSymbolID(first, second, 6, "", "", nullptr));

    tag_UserInfo info;
    EXPECT_CALL(mock, GetUserInfo(_)).WillOnce(Return(true));
    EXPECT_TRUE(DA_bGetUserInfo(info));
    EXPECT_CALL(mock, GetSSVInfoByUserID(CString("u"), _)).WillOnce(Return(true));
    EXPECT_TRUE(DA_bGetSSVInfoByUserID("u", first));
    std::vector<CSymbolInfo> stocks;
    EXPECT_CALL(mock, GetSymbolIDVecBySSVName(CString("u"), CString("g"), _))
        .WillOnce(Return(false));
    EXPECT_FALSE(DA_bGetSymbolIDVecBySSVName("u", "g", stocks));
    EXPECT_CALL(mock, ConvertToLevel1ServiceID(33)).WillOnce(Return(1));
    const unsigned char level2 = 33;
    EXPECT_EQ(DA_byConvert2Level1ServiceID(level2), 1);
    std::vector<unsigned char> markets;
    EXPECT_CALL(mock, GetAllServiceID(_)).WillOnce(Return(true));
    EXPECT_TRUE(DA_bGetAllServiceID(markets));

    EXPECT_CALL(mock, GetSysPath(0)).WillOnce(Return("/sys"));
    EXPECT_EQ(s_KQGetSysPath(0), "/sys");
    EXPECT_CALL(mock, GetLangString(CString("IDS_DIALOG-INPUT_TITLE"))).WillOnce(Return("Title"));
    EXPECT_EQ(s_KQcszGetLangString("IDS_DIALOG-INPUT_TITLE"), "Title");
}

TEST(HostApiTest, NullLanguageKeyGivesEmptyTextWithoutAsking)
{
    StrictMock<MockHostBackend> mock;
    CScopedHostBackend guard(mock);
    EXPECT_EQ(s_KQcszGetLangString(nullptr), "");
}

TEST(HostApiTest, GuardsRestoreThePreviousBackendInTurn)
{
    IHostBackend* const standard = &HostBackend();
    EXPECT_EQ(standard, &CQuoteStore::Instance());
    {
        MockHostBackend outer;
        CScopedHostBackend outerGuard(outer);
        {
            MockHostBackend inner;
            CScopedHostBackend innerGuard(inner);
            EXPECT_EQ(&HostBackend(), &inner);
        }
        EXPECT_EQ(&HostBackend(), &outer);
    }
    EXPECT_EQ(&HostBackend(), standard);
}

TEST(HostApiTest, WithoutAGuardTheFreeFunctionsAnswerFromTheStore)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.Reset();
    store.AddSymbol(27, "600000", "PuFa");
    store.SetSysPath("/host/sys");
    std::vector<X1Format> out;
    ASSERT_TRUE(BK_bGetItemDataByItemNo(27, "600000", {1019}, out, true, nullptr));
    EXPECT_EQ(out.at(0).s_GetAsString(), "PuFa");
    EXPECT_EQ(s_KQGetSysPath(0), "/host/sys");
    store.Reset();
}
