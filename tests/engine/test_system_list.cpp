#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/CSystemAlertStore.h"
#include "engine/CVelkAlert.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/CFileSizeLimit.h"

namespace {

using Access = CVelkAlertTestAccess;

Ta_SYSTEMSWITCH Switches(std::uint8_t high, std::uint8_t low, std::uint8_t limit,
                         std::int32_t range)
{
    Ta_SYSTEMSWITCH s{};
    s.m_byNewHigh = high;
    s.m_byNewLow = low;
    s.m_byLimit = limit;
    s.m_nRange = range;
    return s;
}

std::string ReadAll(const std::string& path)
{
    std::string bytes;
    VelkReadFile(path, bytes);
    return bytes;
}

// The record stored at position i of a System_alert.cfg image.
Ta_VELKPRICEALERT StoredRecord(const std::string& bytes, std::size_t i)
{
    Ta_VELKPRICEALERT record{};
    std::memcpy(&record, bytes.data() + 7 + i * 151, sizeof record);
    return record;
}

class SystemListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_store.SetSysPath(m_hostDir.Path());
        m_store.AddSymbol(1, "600000", TextCodec::Utf8ToGbk("浦发银行"));
        m_store.AddSymbol(2, "600000", "Other market");
        m_store.AddSymbol(1, "000001", TextCodec::Utf8ToGbk("平安银行"));
        m_engine = std::make_unique<CVelkAlert>(m_services);
        CString path = m_dir.Path();
        m_engine->SetSYSPath(path);
    }
    void TearDown() override { m_engine.reset(); }

    std::string FilePath() const { return m_dir.File("System_alert.cfg"); }
    void WriteFile(const std::string& bytes) { ASSERT_TRUE(VelkReplaceFile(FilePath(), bytes)); }
    std::vector<Ta_VELKPRICEALERT>& List() { return Access::SystemList(*m_engine); }

    CTempDir m_dir;     // the engine's system path
    CTempDir m_hostDir; // the common library's system path
    CQuoteStore m_store;
    CScopedHostBackend m_backend{m_store};
    CRecordingMessageBox m_box;
    CRecordingSound m_sound;
    CFixedClock m_clock;
    CVelkServices m_services{nullptr, &m_box, &m_sound, &m_clock};
    std::unique_ptr<CVelkAlert> m_engine;
};

TEST_F(SystemListTest, LoadTakesSwitchesAndWholeRecordsOnly)
{
    CSystemAlertStore page;
    CString path = m_dir.Path();
    page.SetSystemPath(path);

    WriteFile(RawBytes(Switches(1, 0, 0, 1)));
    ASSERT_EQ(page.LoadSystemAlert(), 1);
    EXPECT_EQ(page.m_switches.m_byNewHigh, 1);
    EXPECT_EQ(page.m_switches.m_byLimit, 0);
    EXPECT_EQ(+page.m_switches.m_nRange, 1);
    EXPECT_TRUE(page.m_vecStock.empty());

    std::string bytes = RawBytes(Switches(0, 1, 1, 2)) + RawBytes(MakeWatch(1, "600000", "A")) +
                        RawBytes(MakeWatch(2, "000002", "B")) + std::string(50, 'x');
    WriteFile(bytes);
    ASSERT_EQ(page.LoadSystemAlert(), 1);
    EXPECT_EQ(page.m_switches.m_byNewLow, 1);
    EXPECT_EQ(+page.m_switches.m_nRange, 2);
    ASSERT_EQ(page.m_vecStock.size(), 2u);
    EXPECT_EQ(VelkFieldText(page.m_vecStock[1].m_szCode), "000002");
    EXPECT_EQ(page.m_vecStock[1].m_byMarket, 2);
    EXPECT_EQ(VelkFieldText(page.m_vecStock[0].m_szName), "A");
    EXPECT_EQ(page.m_mapCode.count("600000"), 1u);

    CKeyIndexMap keys;
    ASSERT_EQ(CSystemAlertStore::ReadSystemAlertKeys(m_dir.Path(), keys), 1);
    EXPECT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys.count("1600000"), 1u);
    EXPECT_EQ(keys.count("2000002"), 1u);
}

TEST_F(SystemListTest, UnterminatedTextFieldsEndInsideTheirWidth)
{
    Ta_VELKPRICEALERT raw{};
    raw.m_byMarket = 3;
    std::memset(raw.m_szCode, '7', sizeof raw.m_szCode);
    std::memset(raw.m_szName, 'N', sizeof raw.m_szName);
    raw.m_fPreClose = 1.5f; // the byte after the code and name is not part of them
    WriteFile(RawBytes(Switches(0, 0, 1, 2)) + RawBytes(raw));

    CSystemAlertStore page;
    CString path = m_dir.Path();
    page.SetSystemPath(path);
    ASSERT_EQ(page.LoadSystemAlert(), 1);
    ASSERT_EQ(page.m_vecStock.size(), 1u);
    EXPECT_EQ(VelkFieldText(page.m_vecStock[0].m_szCode), std::string(11, '7'));
    EXPECT_EQ(VelkFieldText(page.m_vecStock[0].m_szName), std::string(49, 'N'));

    CKeyIndexMap keys;
    CSystemAlertStore::ReadSystemAlertKeys(m_dir.Path(), keys);
    EXPECT_EQ(keys.count("3" + std::string(11, '7')), 1u);
}

TEST_F(SystemListTest, MissingOrCutFileLeavesThePageAsItWas)
{
    std::vector<Ta_VELKPRICEALERT> engineList{MakeWatch(1, "600000")};
    CSystemAlertStore page;
    CString path = m_dir.Path();
    page.SetSystemPath(path);
    page.SetAlertList(&engineList);
    page.m_switches = Switches(1, 1, 0, 1);

    EXPECT_EQ(page.LoadSystemAlert(), 0);
    EXPECT_EQ(page.m_vecStock.size(), 1u);
    EXPECT_EQ(+page.m_switches.m_nRange, 1);
    CKeyIndexMap keys{{"stale", 1}};
    EXPECT_EQ(CSystemAlertStore::ReadSystemAlertKeys(m_dir.Path(), keys), 0);
    EXPECT_TRUE(keys.empty());

    // A header cut short holds no records and no switches worth taking.
    WriteFile(std::string("\x01\x01\x01", 3));
    EXPECT_EQ(page.LoadSystemAlert(), 1);
    EXPECT_TRUE(page.m_vecStock.empty());
    EXPECT_EQ(page.m_switches.m_byLimit, 0);
    EXPECT_EQ(+page.m_switches.m_nRange, 1);
}

TEST_F(SystemListTest, SaveRewritesTheWholeListAndApplyReplacesTheEngineList)
{
    std::vector<Ta_VELKPRICEALERT> engineList{MakeWatch(1, "600000"), MakeWatch(1, "000001"),
                                              MakeWatch(1, "600000")};
    CSystemAlertStore page;
    CString path = m_dir.Path();
    page.SetSystemPath(path);
    page.SetAlertList(&engineList);
    EXPECT_EQ(page.m_mapCode.at("600000"), 0);
    page.m_switches = Switches(1, 0, 1, 2);
    page.m_vecStock.erase(page.m_vecStock.begin() + 1);
    page.SaveSystemAlert();

    std::string bytes = ReadAll(FilePath());
    ASSERT_EQ(bytes.size(), 7u + 2 * 151u);
    EXPECT_EQ(bytes.substr(0, 7), RawBytes(Switches(1, 0, 1, 2)));
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 1).m_szCode), "600000");
    EXPECT_EQ(page.m_mapCode.count("000001"), 0u);

    EXPECT_EQ(page.ApplyAlertList(), 2);
    ASSERT_EQ(engineList.size(), 2u);
    EXPECT_EQ(VelkFieldText(engineList[1].m_szCode), "600000");
}

TEST_F(SystemListTest, FileFollowsTheEngineSystemPathElseTheCommonOne)
{
    EXPECT_EQ(CSystemAlertStore::FilePath(""), m_hostDir.File("System_alert.cfg"));
    EXPECT_EQ(CSystemAlertStore::FilePath(m_dir.Path()), FilePath());

    m_engine->AddStockToSystemAlert(1, "600000");
    EXPECT_TRUE(VelkFileExists(FilePath()));
    EXPECT_FALSE(VelkFileExists(m_hostDir.File("System_alert.cfg")));

    CString empty;
    m_engine->SetSYSPath(empty);
    m_engine->AddStockToSystemAlert(1, "000001");
    EXPECT_EQ(ReadAll(m_hostDir.File("System_alert.cfg")).size(), 7u + 151u);
}

TEST_F(SystemListTest, FirstAddCreatesHeaderWithCurrentSwitchesAndRegistersTheStock)
{
    Access::SystemSwitch(*m_engine) = Switches(1, 1, 0, 1);
    ASSERT_EQ(m_store.SubscriptionCount(1, "600000"), 0);

    m_engine->AddStockToSystemAlert(1, "600000");

    std::string bytes = ReadAll(FilePath());
    ASSERT_EQ(bytes.size(), 7u + 151u);
    EXPECT_EQ(bytes.substr(0, 7), RawBytes(Switches(1, 1, 0, 1)));
    Ta_VELKPRICEALERT stored = StoredRecord(bytes, 0);
    EXPECT_EQ(stored.m_byMarket, 1);
    EXPECT_EQ(VelkFieldText(stored.m_szCode), "600000");
    EXPECT_EQ(VelkFieldText(stored.m_szName), TextCodec::Utf8ToGbk("浦发银行"));
    EXPECT_EQ(+stored.m_fUpper, 0.0f);

    CSystemAlertStore page;
    CString path = m_dir.Path();
    page.SetSystemPath(path);
    ASSERT_EQ(page.LoadSystemAlert(), 1);
    EXPECT_EQ(+page.m_switches.m_nRange, 1);
    ASSERT_EQ(page.m_vecStock.size(), 1u);

    ASSERT_EQ(List().size(), 1u);
    EXPECT_EQ(m_engine->GetSystemAlertMap().at("1600000"), 0);
    EXPECT_EQ(m_store.SubscriptionCount(1, "600000"), 1);
    EXPECT_EQ(m_box.Count(), 0);
}

TEST_F(SystemListTest, SameStockIsWrittenOnceAndAnotherMarketIsAnotherStock)
{
    m_engine->AddStockToSystemAlert(1, "600000");
    m_engine->AddStockToSystemAlert(1, "600000");
    EXPECT_EQ(ReadAll(FilePath()).size(), 7u + 151u);
    EXPECT_EQ(List().size(), 1u);

    m_engine->AddStockToSystemAlert(2, "600000");
    std::string bytes = ReadAll(FilePath());
    ASSERT_EQ(bytes.size(), 7u + 2 * 151u);
    EXPECT_EQ(StoredRecord(bytes, 1).m_byMarket, 2);
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 1).m_szName), "Other market");
    ASSERT_EQ(List().size(), 2u);
    EXPECT_EQ(m_engine->GetSystemAlertMap().at("2600000"), 1);

    // The file decides, not the engine list: a stock still in the file is not added again.
    List().clear();
    m_engine->AddStockToSystemAlert(2, "600000");
    EXPECT_TRUE(List().empty());
}

TEST_F(SystemListTest, IndexCodesAreRefusedWithOneWarningEach)
{
    // An empty code names no stock: it is dropped without a word.
    std::vector<CSymbolInfo> stocks{{1, "600000"}, {1, "#000001"}, {1, ""}, {1, "000001"}};
    m_engine->AddMStockToSystemAlert(&stocks);

    EXPECT_EQ(m_box.Count(), 1);
    EXPECT_EQ(m_box.LastText(), TextCodec::Utf8ToGbk("不能添加指数!"));
    EXPECT_EQ(m_box.LastCaption(), TextCodec::Utf8ToGbk("警告"));
    EXPECT_EQ(m_box.LastFlags(), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
    ASSERT_EQ(List().size(), 2u);
    EXPECT_EQ(VelkFieldText(List()[1].m_szCode), "000001");
    EXPECT_EQ(ReadAll(FilePath()).size(), 7u + 2 * 151u);
    EXPECT_EQ(m_store.SubscriptionCount(1, "#000001"), 0);

    m_engine->AddMStockToSystemAlert(nullptr);
    m_engine->AddStockToSystemAlert(1, "");
    EXPECT_EQ(List().size(), 2u);
    EXPECT_EQ(ReadAll(FilePath()).size(), 7u + 2 * 151u);
    EXPECT_EQ(m_box.Count(), 1);
}

// Many stocks at once: each stock once, those already in the file skipped, the file written
// once. A single stock goes onto the end of the file without rewriting it.
TEST_F(SystemListTest, BatchAddsEachNewStockOnceAndASingleAddAppendsInPlace)
{
    m_engine->AddStockToSystemAlert(1, "600000");
    std::vector<CSymbolInfo> stocks{{1, "600000"}, {1, "000001"}, {1, "000001"}, {2, "600000"}};
    m_engine->AddMStockToSystemAlert(&stocks);

    std::string bytes = ReadAll(FilePath());
    ASSERT_EQ(bytes.size(), 7u + 3 * 151u);
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 1).m_szCode), "000001");
    EXPECT_EQ(StoredRecord(bytes, 2).m_byMarket, 2);
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 2).m_szName), "Other market");
    ASSERT_EQ(List().size(), 3u);
    EXPECT_EQ(m_engine->GetSystemAlertMap().at("1000001"), 1);
    EXPECT_EQ(m_engine->GetSystemAlertMap().at("2600000"), 2);
    EXPECT_EQ(m_store.SubscriptionCount(1, "000001"), 1);
    EXPECT_EQ(m_store.SubscriptionCount(2, "600000"), 1);
    EXPECT_EQ(m_box.Count(), 0);

    struct stat before {};
    ASSERT_EQ(::stat(FilePath().c_str(), &before), 0);
    m_engine->AddStockToSystemAlert(2, "000001");
    struct stat after {};
    ASSERT_EQ(::stat(FilePath().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "appended to the file, not a new file";
    EXPECT_EQ(ReadAll(FilePath()).substr(0, bytes.size()), bytes);
    EXPECT_EQ(after.st_size, static_cast<off_t>(bytes.size() + 151));
}

TEST_F(SystemListTest, WithoutARegisteredBoxTheWarningGoesToTheRecordingBox)
{
    CVelkAlert engine(CVelkServices{});
    CString path = m_dir.Path();
    engine.SetSYSPath(path);
    engine.AddStockToSystemAlert(1, "#1A0001");
    EXPECT_EQ(engine.DefaultMessageBox().Count(), 1);
    EXPECT_EQ(engine.DefaultMessageBox().LastCaption(), TextCodec::Utf8ToGbk("警告"));
    EXPECT_FALSE(VelkFileExists(FilePath()));
}

TEST_F(SystemListTest, StockDeletedAndSavedOnThePageCanBeAddedAgain)
{
    m_engine->AddStockToSystemAlert(1, "600000");
    m_engine->AddStockToSystemAlert(1, "000001");

    CSystemAlertStore page;
    CString path = m_dir.Path();
    page.SetSystemPath(path);
    page.SetAlertList(&List());
    ASSERT_EQ(page.LoadSystemAlert(), 1);
    page.m_vecStock.erase(page.m_vecStock.begin());
    page.ApplyAlertList();
    ASSERT_EQ(List().size(), 1u);

    m_engine->AddStockToSystemAlert(1, "600000");
    EXPECT_EQ(List().size(), 1u) << "refused while the file still holds it";

    page.SaveSystemAlert();
    m_engine->AddStockToSystemAlert(1, "600000");
    ASSERT_EQ(List().size(), 2u);
    std::string bytes = ReadAll(FilePath());
    ASSERT_EQ(bytes.size(), 7u + 2 * 151u);
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 0).m_szCode), "000001");
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 1).m_szCode), "600000");
}

TEST_F(SystemListTest, DamagedFilesAreRepairedByTheAppend)
{
    Access::SystemSwitch(*m_engine) = Switches(0, 1, 1, 2);

    // Shorter than its header: written whole instead of appending after the broken bytes.
    WriteFile(std::string("\x01\x02", 2));
    m_engine->AddStockToSystemAlert(1, "600000");
    std::string bytes = ReadAll(FilePath());
    ASSERT_EQ(bytes.size(), 7u + 151u);
    EXPECT_EQ(bytes.substr(0, 7), RawBytes(Switches(0, 1, 1, 2)));
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 0).m_szCode), "600000");

    // A cut-off record at the end is dropped so that the new record loads back.
    WriteFile(bytes + std::string(40, '\x05'));
    m_engine->AddStockToSystemAlert(1, "000001");
    bytes = ReadAll(FilePath());
    ASSERT_EQ(bytes.size(), 7u + 2 * 151u);
    EXPECT_EQ(VelkFieldText(StoredRecord(bytes, 1).m_szCode), "000001");
    EXPECT_EQ(StoredRecord(bytes, 1).m_byMarket, 1);
}

TEST_F(SystemListTest, FailedWriteLeavesTheOldFileIntact)
{
    std::string old = RawBytes(Switches(1, 1, 1, 2)) + RawBytes(MakeWatch(1, "600000", "A"));
    WriteFile(old);

    CSystemAlertStore page;
    CString path = m_dir.Path();
    page.SetSystemPath(path);
    ASSERT_EQ(page.LoadSystemAlert(), 1);
    page.m_vecStock.push_back(MakeWatch(1, "000002"));
    std::vector<CSymbolInfo> batch{{1, "000002"}, {2, "000002"}};
    {
        CFileSizeLimit limit(100);
        m_engine->AddStockToSystemAlert(1, "000001");
        EXPECT_FALSE(page.SaveSystemAlert());
        EXPECT_TRUE(page.m_bSaveFailed);
        m_engine->AddMStockToSystemAlert(&batch);
    }
    EXPECT_EQ(ReadAll(FilePath()), old);
    // The engine still takes the stocks; the user hears once per add that the file kept its
    // old content.
    EXPECT_EQ(List().size(), 3u);
    EXPECT_EQ(m_box.Count(), 2);
    EXPECT_NE(m_box.LastText().find(FilePath()), std::string::npos);
    EXPECT_EQ(m_box.LastFlags(), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);

    // The failed attempt left no temporary file behind, and a later add succeeds.
    // The folder's lock file stays; it is no temporary.
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        if (entry.path().filename() == ".velk.lock")
            continue;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    m_engine->AddStockToSystemAlert(1, "000001");
    EXPECT_EQ(ReadAll(FilePath()).size(), 7u + 2 * 151u);
}

} // namespace
