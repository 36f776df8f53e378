#include <gtest/gtest.h>

#include "tests/engine/EngineTestSupport.h"

namespace {

class EngineObject : public ::testing::Test {
protected:
    EngineObject() : m_guard(m_store) {}
    CQuoteStore m_store;
    CScopedHostBackend m_guard;
    CTempDir m_sys;
};

} // namespace

TEST_F(EngineObject, AccessorsHandOutStableAddresses)
{
    CVelkAlert engine{CVelkServices{}};
    std::vector<Ta_VELKPRICEALERT>* system1 = nullptr;
    std::vector<Ta_VELKPRICEALERT>* price1 = nullptr;
    std::vector<Ta_VELKPRICEALERT>* magic1 = nullptr;
    Ta_OTHERALERT* options1 = nullptr;
    engine.GetSystemAlert(&system1);
    engine.GetPriceAlter(&price1);
    engine.GetMagicAlter(&magic1);
    engine.GetAlertCondition(&options1);
    ASSERT_TRUE(system1 && price1 && magic1 && options1);
    EXPECT_NE(system1, price1);
    EXPECT_NE(price1, magic1);

    std::string path = m_sys.Path();
    engine.SetSYSPath(path);
    engine.Start();
    price1->push_back(MakeWatch(1, "600000"));

    std::vector<Ta_VELKPRICEALERT>* system2 = nullptr;
    std::vector<Ta_VELKPRICEALERT>* price2 = nullptr;
    std::vector<Ta_VELKPRICEALERT>* magic2 = nullptr;
    Ta_OTHERALERT* options2 = nullptr;
    engine.GetSystemAlert(&system2);
    engine.GetPriceAlter(&price2);
    engine.GetMagicAlter(&magic2);
    engine.GetAlertCondition(&options2);
    EXPECT_EQ(system1, system2);
    EXPECT_EQ(price1, price2);
    EXPECT_EQ(magic1, magic2);
    EXPECT_EQ(options1, options2);
    EXPECT_EQ(price2->size(), 1u) << "the list behind the pointer changes in place";

    engine.GetSystemAlert(nullptr); // a null out-pointer from the host is ignored
    engine.GetAlertCondition(nullptr);
}

TEST_F(EngineObject, FixedAnswers)
{
    CVelkAlert engine{CVelkServices{}};
    Ta_VELKPRICEALERT any{};
    EXPECT_EQ(engine.GetAertStockInfo(any, 0, 0), 1);
    EXPECT_EQ(engine.GetAertStockInfo(MakeWatch(255, "x"), -1, 99999), 1);
    engine.SetNeedRegs();
    EXPECT_EQ(engine.GetNewAlertFlag(), 0);
    EXPECT_TRUE(engine.GetAlertRecords().empty());
    EXPECT_FALSE(engine.HasAlertWindow());
}

TEST_F(EngineObject, KeyFormats)
{
    EXPECT_EQ(VelkDecimalKey(10, "000001"), "10000001");
    EXPECT_EQ(VelkHexKey(10, "000001"), "0a000001");
    EXPECT_EQ(VelkHexKey(255, "A"), "ffA");
    EXPECT_EQ(VelkDecimalKey(0, ""), "0");
}

TEST_F(EngineObject, RepeatedStartWithoutFilesKeepsTheLists)
{
    CVelkAlert engine{CVelkServices{}};
    std::string path = m_sys.Path();
    engine.SetSYSPath(path);
    engine.Start();
    std::vector<Ta_VELKPRICEALERT>* price = nullptr;
    engine.GetPriceAlter(&price);
    price->push_back(MakeWatch(1, "600000"));
    engine.Start();
    EXPECT_EQ(price->size(), 1u) << "without alert.cfg the list read before stays";
}
