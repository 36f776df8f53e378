#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "engine/CAlertDayFile.h"
#include "engine/CVelkAlert.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

Ta_ALERTRECORD Alert(const char* code, int time)
{
    Ta_ALERTRECORD record{};
    std::snprintf(record.m_szCode, sizeof record.m_szCode, "%s", code);
    record.m_nTime = time;
    return record;
}

std::multiset<std::string> CodesIn(const std::string& path)
{
    CAlertRecordList records;
    CAlertDayFile::Load(path, records);
    std::multiset<std::string> codes;
    for (const Ta_ALERTRECORD& record : records)
        codes.insert(record.m_szCode);
    return codes;
}

std::string Bytes(const CAlertRecordList& records)
{
    std::string bytes;
    for (const Ta_ALERTRECORD& record : records)
        bytes.append(reinterpret_cast<const char*>(&record), sizeof record);
    return bytes;
}

// One engine of its own in a child process that adds the stocks one by one.
pid_t AddStocksInChild(const std::string& sysDir, const std::string& hostDir, int first, int count,
                       bool asList)
{
    pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    CQuoteStore store;
    store.SetSysPath(hostDir);
    CScopedHostBackend backend(store);
    CRecordingMessageBox box;
    CRecordingSound sound;
    CFixedClock clock;
    CVelkServices services{nullptr, &box, &sound, &clock};
    {
        CVelkAlert engine(services);
        CString path = sysDir;
        engine.SetSYSPath(path);
        for (int i = first; i < first + count; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "60%04d", i);
            if (asList) {
                std::vector<CSymbolInfo> stocks{CSymbolInfo(1, code)};
                engine.AddMStockToSystemAlert(&stocks);
            } else {
                engine.AddStockToSystemAlert(1, code);
            }
        }
    }
    ::_exit(0);
}

} // namespace

// Locks: two writers of one folder never drop each other's records.
TEST(FileLocks, TwoProcessesAddingStocksKeepEveryRecord)
{
    CTempDir sys;
    CTempDir host;
    constexpr int kEach = 150;
    const pid_t a = AddStocksInChild(sys.Path(), host.Path(), 0, kEach, false);
    const pid_t b = AddStocksInChild(sys.Path(), host.Path(), kEach, kEach, true);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    ::waitpid(a, nullptr, 0);
    ::waitpid(b, nullptr, 0);

    std::string bytes;
    ASSERT_TRUE(VelkReadFile(sys.File("System_alert.cfg"), bytes));
    ASSERT_EQ((bytes.size() - 7) % 151, 0u);
    std::set<std::string> codes;
    for (std::size_t at = 7; at + 151 <= bytes.size(); at += 151)
        codes.insert(bytes.c_str() + at + 1);
    EXPECT_EQ(codes.size(), 2u * kEach);
    EXPECT_EQ((bytes.size() - 7) / 151, 2u * kEach);
}

// Two windows read the same day file; each adds its alerts and saves when it closes. The
// second save keeps what the first added, and nothing comes twice.
TEST(FileLocks, TheDayFileKeepsWhatAnotherWriterAddedSinceItWasRead)
{
    CTempDir dir;
    const std::string path = CAlertDayFile::PathFor(dir.Path(), 20211201);
    const CAlertRecordList start{Alert("600000", 93000), Alert("600000", 93000)};
    ASSERT_TRUE(CAlertDayFile::Save(path, start));
    std::string loaded;
    ASSERT_TRUE(VelkReadFile(path, loaded));

    CAlertRecordList first = start;
    first.push_front(Alert("000001", 100000));
    CAlertRecordList second = start;
    second.push_front(Alert("600036", 100001));
    second.push_front(Alert("600037", 100002));
    ASSERT_TRUE(CAlertDayFile::SaveMerged(path, first, loaded));
    ASSERT_TRUE(CAlertDayFile::SaveMerged(path, second, loaded));
    EXPECT_EQ(CodesIn(path),
              (std::multiset<std::string>{"000001", "600000", "600000", "600036", "600037"}));

    // A writer whose list was emptied drops its own records, not the other's.
    CAlertRecordList third{Alert("000002", 110000)};
    ASSERT_TRUE(CAlertDayFile::SaveMerged(path, CAlertRecordList{}, Bytes(second)));
    EXPECT_EQ(CodesIn(path), (std::multiset<std::string>{"000001"}));
    ASSERT_TRUE(CAlertDayFile::SaveMerged(path, third, ""));
    EXPECT_EQ(CodesIn(path), (std::multiset<std::string>{"000001", "000002"}));
}
