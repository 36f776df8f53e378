#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

using Access = CVelkAlertTestAccess;

std::string SystemFile(std::uint8_t high, std::uint8_t low, std::uint8_t limit, std::int32_t range,
                       const std::vector<Ta_VELKPRICEALERT>& records)
{
    Ta_SYSTEMSWITCH s{};
    s.m_byNewHigh = high;
    s.m_byNewLow = low;
    s.m_byLimit = limit;
    s.m_nRange = range;
    std::string bytes = RawBytes(s);
    for (const Ta_VELKPRICEALERT& r : records)
        bytes += RawBytes(r);
    return bytes;
}

std::vector<std::string> Codes(const std::vector<Ta_VELKPRICEALERT>& list)
{
    std::vector<std::string> codes;
    for (const Ta_VELKPRICEALERT& r : list)
        codes.push_back(std::to_string(r.m_byMarket) + ":" + VelkFieldText(r.m_szCode));
    return codes;
}

class StartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_store.SetSysPath(m_hostDir.Path());
        m_store.AddSymbol(1, "600000", TextCodec::Utf8ToGbk("浦发银行"));
        m_store.AddSymbol(1, "000001", TextCodec::Utf8ToGbk("平安银行"));
        m_engine = std::make_unique<CVelkAlert>(m_services);
        CString path = m_dir.Path();
        m_engine->SetSYSPath(path);
    }
    void TearDown() override { m_engine.reset(); }

    void Write(const std::string& name, const std::string& bytes)
    {
        ASSERT_TRUE(VelkReplaceFile(m_dir.File(name), bytes));
    }
    std::vector<Ta_VELKPRICEALERT>& List() { return Access::SystemList(*m_engine); }

    CTempDir m_dir;
    CTempDir m_hostDir;
    CQuoteStore m_store;
    CScopedHostBackend m_backend{m_store};
    CRecordingMessageBox m_box;
    CFixedClock m_clock;
    CVelkServices m_services{nullptr, &m_box, nullptr, &m_clock};
    std::unique_ptr<CVelkAlert> m_engine;
};

TEST_F(StartTest, RangeZeroKeepsTheListAsItWas)
{
    Access::SetSystemList(*m_engine, {MakeWatch(1, "000001")});
    Write("System_alert.cfg", SystemFile(1, 1, 0, 0, {MakeWatch(1, "600000")}));

    m_engine->Start();

    EXPECT_EQ(+m_engine->GetSystemSwitch().m_nRange, 0);
    EXPECT_EQ(m_engine->GetSystemSwitch().m_byNewHigh, 1);
    EXPECT_EQ(m_engine->GetSystemSwitch().m_byLimit, 0);
    EXPECT_EQ(Codes(List()), (std::vector<std::string>{"1:000001"}));
    EXPECT_EQ(m_engine->GetSystemAlertMap().size(), 1u);
    EXPECT_TRUE(m_store.IsSubscribed(1, "000001"));
}

TEST_F(StartTest, RangeTwoAppliesTheStoredListAndRegistersIt)
{
    Access::SetSystemList(*m_engine, {MakeWatch(1, "000001")});
    Write("System_alert.cfg",
          SystemFile(0, 0, 1, 2,
                     {MakeWatch(1, "600000"), MakeWatch(2, "000002"), MakeWatch(1, "600000")}));

    m_engine->Start();

    EXPECT_EQ(Codes(List()), (std::vector<std::string>{"1:600000", "2:000002", "1:600000"}));
    const CKeyIndexMap& map = m_engine->GetSystemAlertMap();
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("1600000"), 2) << "a repeated stock maps to its later index";
    EXPECT_EQ(map.count("1000001"), 0u);
    EXPECT_TRUE(m_store.IsSubscribed(2, "000002"));
    EXPECT_FALSE(m_store.IsSubscribed(1, "000001"));

    // Another start replaces the list and the map whole.
    Write("System_alert.cfg", SystemFile(0, 0, 1, 2, {MakeWatch(1, "000001")}));
    m_engine->Start();
    EXPECT_EQ(Codes(List()), (std::vector<std::string>{"1:000001"}));
    EXPECT_EQ(m_engine->GetSystemAlertMap().size(), 1u);
    EXPECT_EQ(m_engine->GetSystemAlertMap().at("1000001"), 0);
}

TEST_F(StartTest, RangeOneFillsFromTheSelfSelectedGroups)
{
    std::string user = "trader01";
    ASSERT_TRUE(VelkReplaceFile(m_hostDir.File("UserInfo.cfg"),
                                user + std::string(16 - user.size(), '\0')));
    m_store.AddUserGroup(user, "g1", {CSymbolInfo(1, "000001"), CSymbolInfo(1, "600000")});
    Write("System_alert.cfg", SystemFile(0, 0, 1, 1, {MakeWatch(3, "999999")}));

    m_engine->Start();

    EXPECT_EQ(+m_engine->GetSystemSwitch().m_nRange, 1);
    EXPECT_EQ(Codes(List()), (std::vector<std::string>{"1:000001", "1:600000"}));
    EXPECT_EQ(VelkFieldText(List()[1].m_szName), TextCodec::Utf8ToGbk("浦发银行"));
    EXPECT_EQ(m_engine->GetSystemAlertMap().at("1600000"), 1);
}

TEST_F(StartTest, WithoutTheListFileTheSwitchesFallBackAndTheListStays)
{
    Access::SystemSwitch(*m_engine).m_nRange = 1;
    Access::SetSystemList(*m_engine, {MakeWatch(1, "600000")});

    m_engine->Start();

    const Ta_SYSTEMSWITCH& s = m_engine->GetSystemSwitch();
    EXPECT_EQ(s.m_byNewHigh, 0);
    EXPECT_EQ(s.m_byNewLow, 0);
    EXPECT_EQ(s.m_byLimit, 1);
    EXPECT_EQ(+s.m_nRange, 2);
    EXPECT_EQ(Codes(List()), (std::vector<std::string>{"1:600000"}));
}

TEST_F(StartTest, AlertFileWithoutMagicFileKeepsOptionsAndListButDefaultsTheRatios)
{
    Ta_ALERTSETTING setting{};
    setting.m_bPopupDialog = 0;
    setting.m_bSound = 0;
    setting.m_fRiseRatio = 5.0f;
    setting.m_fVolumeRatio = 9.0f;
    Ta_OTHERALERT options{};
    options.m_nSoundMode = 2;
    VelkCopyText(options.m_szWavePath, "ding.wav");
    options.m_byPopup = 0;
    Write("alert.cfg", RawBytes(setting) + RawBytes(options) +
                           RawBytes(MakeWatch(1, "600000", "", 12.0f, 8.0f)));

    m_engine->Start();

    const Ta_ALERTSETTING& loaded = m_engine->GetAlertSetting();
    EXPECT_EQ(+loaded.m_bSound, 1);
    EXPECT_EQ(+loaded.m_fRiseRatio, -1.0f);
    EXPECT_EQ(+loaded.m_fVolumeRatio, 50.0f);
    const Ta_OTHERALERT& kept = Access::Options(*m_engine);
    EXPECT_EQ(+kept.m_nSoundMode, 2);
    EXPECT_EQ(VelkFieldText(kept.m_szWavePath), "ding.wav");
    EXPECT_EQ(kept.m_byPopup, 0);
    ASSERT_EQ(Access::PriceList(*m_engine).size(), 1u);
    EXPECT_EQ(+Access::PriceList(*m_engine)[0].m_fUpper, 12.0f);
    EXPECT_EQ(m_engine->GetPriceAlertMap().count("1600000"), 1u);
    EXPECT_TRUE(Access::MagicList(*m_engine).empty());
    EXPECT_TRUE(m_store.IsSubscribed(1, "600000"));
}

} // namespace
