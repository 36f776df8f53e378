#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "engine/CAlertDayFile.h"
#include "engine/CMagicStatusTable.h"
#include "engine/CMarketMonitorSettings.h"
#include "engine/CSystemAlertStore.h"
#include "engine/CVelkAlert.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/CVelkAlertTestAccess.h"
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

// A child process that gets ready (reads its files), says so, and changes and saves only when
// told: two of them have then both read the files before either writes. Its exit status is 0
// when the save reported success.
class CSteppedChild {
public:
    using Body = std::function<bool(const std::function<void()>& ready)>;

    explicit CSteppedChild(const Body& body)
    {
        int toParent[2];
        int toChild[2];
        if (::pipe(toParent) != 0 || ::pipe(toChild) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(toParent[0]);
            ::close(toChild[1]);
            const bool saved = body([&] {
                char byte = 'r';
                char go = 0;
                if (::write(toParent[1], &byte, 1) != 1 || ::read(toChild[0], &go, 1) != 1)
                    ::_exit(3);
            });
            ::_exit(saved ? 0 : 1);
        }
        ::close(toParent[1]);
        ::close(toChild[0]);
        m_ready = toParent[0];
        m_go = toChild[1];
    }
    ~CSteppedChild()
    {
        if (m_go >= 0)
            ::close(m_go);
        if (m_ready >= 0)
            ::close(m_ready);
        if (m_pid > 0 && !m_bReaped)
            ::waitpid(m_pid, nullptr, 0);
    }
    CSteppedChild(const CSteppedChild&) = delete;
    CSteppedChild& operator=(const CSteppedChild&) = delete;

    bool Ready()
    {
        char byte = 0;
        return m_pid > 0 && ::read(m_ready, &byte, 1) == 1;
    }
    // Lets the child save and returns its exit status (-1 when it did not exit).
    int Finish()
    {
        char byte = 'g';
        if (::write(m_go, &byte, 1) != 1)
            return -1;
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_bReaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_ready = -1;
    int m_go = -1;
    bool m_bReaped = false;
};

// An engine of its own on the system directory that has read the condition files.
class CConditionEngine {
public:
    explicit CConditionEngine(const std::string& sysDir)
        : m_backend(m_store), m_engine(CVelkServices{nullptr, &m_box, &m_sound, &m_clock})
    {
        CString path = sysDir;
        m_engine.SetSYSPath(path);
        m_engine.LoadAlertCondition();
    }
    CVelkAlert& Engine() { return m_engine; }
    void AddPrice(const Ta_VELKPRICEALERT& record)
    {
        CVelkAlertTestAccess::PriceList(m_engine).push_back(record);
        ++CVelkAlertTestAccess::PriceCount(m_engine);
    }
    void AddMagic(const Ta_VELKPRICEALERT& record)
    {
        CVelkAlertTestAccess::MagicList(m_engine).push_back(record);
    }
    Ta_ALERTSETTING& Ratios() { return CVelkAlertTestAccess::Ratios(m_engine); }

private:
    CQuoteStore m_store;
    CScopedHostBackend m_backend;
    CRecordingMessageBox m_box;
    CRecordingSound m_sound;
    CFixedClock m_clock;
    CVelkAlert m_engine;
};

std::string ConditionHeader(float riseRatio)
{
    Ta_ALERTSETTING ratios{};
    ratios.m_fRiseRatio = riseRatio;
    Ta_OTHERALERT options{};
    return RawBytes(ratios) + RawBytes(options);
}

std::vector<std::string> CodesOfRecords(const std::string& bytes, std::size_t header)
{
    std::vector<std::string> codes;
    for (std::size_t at = header; at + 151 <= bytes.size(); at += 151)
        codes.emplace_back(bytes.c_str() + at + 1);
    return codes;
}

float RiseRatioOf(const std::string& alertFile)
{
    Ta_ALERTSETTING ratios{};
    std::memcpy(&ratios, alertFile.data(), sizeof ratios);
    return ratios.m_fRiseRatio;
}

std::string StatusEntry(std::int32_t key, std::int32_t state)
{
    return CMagicStatusTable::Serialise({{key, state}});
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

// Two programs read the conditions; one adds a price alert, the other a magic watch, and each
// saves both files. Both additions stay in both files.
TEST(FileLocks, TwoProcessesSavingConditionsKeepEachOthersChanges)
{
    CTempDir sys;
    const Ta_VELKPRICEALERT p1 = MakeWatch(1, "600000", "", 11.0f, 9.0f);
    const Ta_VELKPRICEALERT m1 = MakeWatch(1, "600100", "", 0, 0);
    ASSERT_TRUE(VelkReplaceFile(sys.File("alert.cfg"), ConditionHeader(2.0f) + RawBytes(p1)));
    ASSERT_TRUE(VelkReplaceFile(sys.File("Magic.cfg"), RawBytes(m1)));

    CSteppedChild addsPrice([&](const std::function<void()>& ready) {
        CConditionEngine engine(sys.Path());
        ready();
        engine.AddPrice(MakeWatch(0, "000001", "", 12.0f, 8.0f));
        return engine.Engine().SaveAlertCondition();
    });
    CSteppedChild addsMagic([&](const std::function<void()>& ready) {
        CConditionEngine engine(sys.Path());
        ready();
        engine.AddMagic(MakeWatch(0, "000002", "", 0, 0));
        return engine.Engine().SaveAlertCondition();
    });
    ASSERT_TRUE(addsPrice.Ready());
    ASSERT_TRUE(addsMagic.Ready());
    EXPECT_EQ(addsPrice.Finish(), 0);
    EXPECT_EQ(addsMagic.Finish(), 0);

    std::string alert;
    std::string magic;
    ASSERT_TRUE(VelkReadFile(sys.File("alert.cfg"), alert));
    ASSERT_TRUE(VelkReadFile(sys.File("Magic.cfg"), magic));
    EXPECT_EQ(CodesOfRecords(alert, 309), (std::vector<std::string>{"600000", "000001"}));
    EXPECT_EQ(CodesOfRecords(magic, 0), (std::vector<std::string>{"600100", "000002"}));
    EXPECT_EQ(RiseRatioOf(alert), 2.0f);
}

// Both change the same ratio: the first save stands, the second is reported as failed (the
// warning names the file) instead of overwriting it, and its other file is still merged.
TEST(FileLocks, ASecondSaveOfTheSameSettingsIsReportedNotWritten)
{
    CTempDir sys;
    ASSERT_TRUE(VelkReplaceFile(sys.File("alert.cfg"), ConditionHeader(2.0f)));
    ASSERT_TRUE(VelkReplaceFile(sys.File("Magic.cfg"), ""));

    CSteppedChild first([&](const std::function<void()>& ready) {
        CConditionEngine engine(sys.Path());
        ready();
        engine.Ratios().m_fRiseRatio = 3.0f;
        return engine.Engine().SaveAlertCondition();
    });
    CSteppedChild second([&](const std::function<void()>& ready) {
        CConditionEngine engine(sys.Path());
        ready();
        engine.Ratios().m_fRiseRatio = 5.0f;
        engine.AddMagic(MakeWatch(1, "600519", "", 0, 0));
        return engine.Engine().SaveAlertCondition();
    });
    ASSERT_TRUE(first.Ready());
    ASSERT_TRUE(second.Ready());
    EXPECT_EQ(first.Finish(), 0);
    EXPECT_EQ(second.Finish(), 1) << "the second save must not report success";

    std::string alert;
    std::string magic;
    ASSERT_TRUE(VelkReadFile(sys.File("alert.cfg"), alert));
    ASSERT_TRUE(VelkReadFile(sys.File("Magic.cfg"), magic));
    EXPECT_EQ(RiseRatioOf(alert), 3.0f);
    EXPECT_EQ(CodesOfRecords(magic, 0), (std::vector<std::string>{"600519"}));
}

// The magic signal states: each program changes its own signal, both changes stay; two
// changes of one signal are a conflict the second save reports.
TEST(FileLocks, TwoProcessesSavingSignalStatesKeepEachOthersChanges)
{
    CTempDir sys;
    const std::string path = sys.File("MagicStatus.cfg");
    ASSERT_TRUE(VelkReplaceFile(path, StatusEntry(1, 0) + StatusEntry(2, 0) + StatusEntry(3, 0)));
    auto change = [&](std::int32_t key, std::int32_t state) {
        return [&path, key, state](const std::function<void()>& ready) {
            CMagicStatusTable table;
            table.Load(path);
            ready();
            table.Update(key, state);
            return table.Save(path);
        };
    };
    {
        CSteppedChild a(change(1, 7));
        CSteppedChild b(change(2, 8));
        ASSERT_TRUE(a.Ready());
        ASSERT_TRUE(b.Ready());
        EXPECT_EQ(a.Finish(), 0);
        EXPECT_EQ(b.Finish(), 0);
    }
    CMagicStatusTable table;
    ASSERT_TRUE(table.Load(path));
    EXPECT_EQ(table.GetEntries(), (CMagicStatusTable::Entries{{1, 7}, {2, 8}, {3, 0}}));

    {
        CSteppedChild a(change(3, 1));
        CSteppedChild b(change(3, 2));
        ASSERT_TRUE(a.Ready());
        ASSERT_TRUE(b.Ready());
        EXPECT_EQ(a.Finish(), 0);
        EXPECT_EQ(b.Finish(), 1);
    }
    ASSERT_TRUE(table.Load(path));
    EXPECT_EQ(table.GetEntries(), (CMagicStatusTable::Entries{{1, 7}, {2, 8}, {3, 1}}));
}

// A host that loads the module twice has two engines on one root in one process: the lock of
// one shuts out the other (each opens the lock file anew), and their saves are merged as two
// programs' are.
TEST(FileLocks, TwoEnginesInOneProcessShareTheLockAndKeepEachOthersChanges)
{
    CTempDir sys;
    {
        CVelkFileLock held(CVelkFileLock::ForFolder(sys.Path()));
        ASSERT_TRUE(held.Held());
        CVelkFileLock other(CVelkFileLock::ForFolder(sys.Path()), CVelkFileLock::Mode::Try);
        EXPECT_FALSE(other.Held());
        EXPECT_TRUE(other.Busy());
    }
    ASSERT_TRUE(VelkReplaceFile(sys.File("alert.cfg"), ConditionHeader(2.0f)));
    ASSERT_TRUE(VelkReplaceFile(sys.File("Magic.cfg"), ""));
    CConditionEngine first(sys.Path());
    CConditionEngine second(sys.Path());
    first.AddPrice(MakeWatch(1, "600000", "", 11.0f, 9.0f));
    second.AddMagic(MakeWatch(1, "600001", "", 0, 0));
    ASSERT_TRUE(first.Engine().SaveAlertCondition());
    ASSERT_TRUE(second.Engine().SaveAlertCondition());

    std::string alert;
    std::string magic;
    ASSERT_TRUE(VelkReadFile(sys.File("alert.cfg"), alert));
    ASSERT_TRUE(VelkReadFile(sys.File("Magic.cfg"), magic));
    EXPECT_EQ(CodesOfRecords(alert, 309), (std::vector<std::string>{"600000"}));
    EXPECT_EQ(CodesOfRecords(magic, 0), (std::vector<std::string>{"600001"}));
    EXPECT_EQ(second.Engine().GetPriceAlertCount(), 1) << "the engine holds what it stored";
}

// The system alert page of two programs: each loaded the list, one adds a stock, the other
// removes one; the second save keeps the first's addition.
TEST(FileLocks, TwoProcessesSavingTheSystemListKeepEachOthersChanges)
{
    CTempDir sys;
    const Ta_SYSTEMSWITCH switches{1, 0, 1, 2};
    ASSERT_TRUE(VelkReplaceFile(sys.File("System_alert.cfg"),
                                RawBytes(switches) + RawBytes(MakeWatch(1, "600000")) +
                                    RawBytes(MakeWatch(1, "600001"))));
    auto page = [&](const std::function<void(CSystemAlertStore&)>& change) {
        return [&sys, change](const std::function<void()>& ready) {
            CSystemAlertStore store;
            CString path = sys.Path();
            store.SetSystemPath(path);
            store.LoadSystemAlert();
            ready();
            change(store);
            return store.SaveSystemAlert();
        };
    };
    CSteppedChild adds(
        page([](CSystemAlertStore& store) { store.m_vecStock.push_back(MakeWatch(2, "000001")); }));
    CSteppedChild removes(
        page([](CSystemAlertStore& store) { store.m_vecStock.erase(store.m_vecStock.begin()); }));
    ASSERT_TRUE(adds.Ready());
    ASSERT_TRUE(removes.Ready());
    EXPECT_EQ(adds.Finish(), 0);
    EXPECT_EQ(removes.Finish(), 0);

    std::string bytes;
    ASSERT_TRUE(VelkReadFile(sys.File("System_alert.cfg"), bytes));
    EXPECT_EQ(CodesOfRecords(bytes, 7), (std::vector<std::string>{"600001", "000001"}));
    EXPECT_EQ(bytes.substr(0, 7), RawBytes(switches));
}

TEST(FileLocks, TwoProcessesChangingTheMonitorSettingsKeepEachOthersChanges)
{
    CTempDir sys;
    {
        CMarketMonitorSettings start;
        start.MuteForDay(1, "600000", 20211201);
        ASSERT_TRUE(start.Save(sys.Path()));
    }
    auto change = [&](const std::string& name, const std::string& value) {
        return [&sys, name, value](const std::function<void()>& ready) {
            CMarketMonitorSettings settings;
            std::string error;
            if (!settings.Load(sys.Path(), error))
                return false;
            ready();
            if (!settings.Set(name, value, error))
                return false;
            return settings.Save(sys.Path());
        };
    };
    {
        // A mute from the desktop while the command line switches the monitor on, and a third
        // one taking the first mute away.
        CSteppedChild a(change("mute.0.000001", "20211201"));
        CSteppedChild b(change("enabled", "1"));
        CSteppedChild c(change("mute.1.600000", ""));
        ASSERT_TRUE(a.Ready());
        ASSERT_TRUE(b.Ready());
        ASSERT_TRUE(c.Ready());
        EXPECT_EQ(a.Finish(), 0);
        EXPECT_EQ(b.Finish(), 0);
        EXPECT_EQ(c.Finish(), 0);
    }
    CMarketMonitorSettings read;
    std::string error;
    ASSERT_TRUE(read.Load(sys.Path(), error)) << error;
    EXPECT_TRUE(read.enabled);
    EXPECT_TRUE(read.IsMuted(0, "000001", 20211201));
    EXPECT_FALSE(read.IsMuted(1, "600000", 20211201));

    {
        CSteppedChild a(change("rise", "once"));
        CSteppedChild b(change("rise", "30s"));
        ASSERT_TRUE(a.Ready());
        ASSERT_TRUE(b.Ready());
        EXPECT_EQ(a.Finish(), 0);
        EXPECT_EQ(b.Finish(), 1);
    }
    ASSERT_TRUE(read.Load(sys.Path(), error)) << error;
    const int rise = CMarketMonitorSettings::ReasonByName("rise");
    EXPECT_EQ(read.rules[static_cast<std::size_t>(rise)].repeat,
              CMarketMonitorSettings::Repeat::OncePerDay);
    EXPECT_TRUE(read.enabled);
    EXPECT_TRUE(read.IsMuted(0, "000001", 20211201));
}

// The clash is told, and what the other wrote stays; the settings that lost keep their own
// values for this run and a save after a fresh read goes through.
TEST(FileLocks, AClashInTheMonitorSettingsIsReportedAndLeavesTheFileAsTheOtherWroteIt)
{
    CTempDir sys;
    CMarketMonitorSettings mine;
    CMarketMonitorSettings theirs;
    std::string error;
    ASSERT_TRUE(mine.Load(sys.Path(), error));
    ASSERT_TRUE(theirs.Load(sys.Path(), error));
    ASSERT_TRUE(theirs.Set("new_high_step", "2", error));
    ASSERT_TRUE(theirs.Save(sys.Path()));
    ASSERT_TRUE(mine.Set("new_high_step", "5", error));
    EXPECT_FALSE(mine.Save(sys.Path()));
    EXPECT_TRUE(mine.Conflict());
    EXPECT_NE(VelkFileError().find("MarketMonitor.cfg"), std::string::npos) << VelkFileError();
    CMarketMonitorSettings read;
    ASSERT_TRUE(read.Load(sys.Path(), error));
    EXPECT_EQ(read.newHighStep, 2);

    // A file the other left with a line no one can read is not written over.
    std::string bytes;
    ASSERT_TRUE(VelkReadFile(sys.File("MarketMonitor.cfg"), bytes));
    ASSERT_TRUE(VelkReplaceFile(sys.File("MarketMonitor.cfg"), bytes + "bogus=1\n"));
    ASSERT_TRUE(read.Set("enabled", "1", error));
    EXPECT_FALSE(read.Save(sys.Path()));
    EXPECT_FALSE(read.Conflict());
    std::string after;
    ASSERT_TRUE(VelkReadFile(sys.File("MarketMonitor.cfg"), after));
    EXPECT_EQ(after, bytes + "bogus=1\n");
}
