#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/CAlertDayFile.h"
#include "engine/CMagicStatusTable.h"
#include "engine/CSystemAlertStore.h"
#include "engine/CVelkAlert.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/CUnprivilegedRun.h"

// A process saving a file is killed at a random moment, again and again; after every kill each
// file holds its old or its new content, byte for byte, and the next save leaves no temporary.

namespace {

using CFiles = std::map<std::string, std::string>; // file name -> content

// One kind of file the module writes, driven as the user's saves drive it. A save brings the
// folder to a numbered state. Most kinds go back and forth between states 0 and 1; a growing
// kind adds to its file, one state further with every save.
struct CFileKind {
    const char* what;
    std::vector<std::string> files;
    bool grows = false;
    // One record written by one write at the end of the file: a kill inside that write may
    // leave part of it, which readers ignore and the next append overwrites.
    bool appends = false;
    // Brings the folder to the state; false when the module reported that it could not.
    std::function<bool(const std::string& dir, int state)> save;
};

std::vector<Ta_VELKPRICEALERT> Watches(int count, unsigned char market)
{
    std::vector<Ta_VELKPRICEALERT> records;
    for (int i = 0; i < count; ++i) {
        char code[12];
        std::snprintf(code, sizeof code, "%06d", 100000 + i);
        records.push_back(MakeWatch(market, code, "NAME", 1.0f + i, 0.5f));
    }
    return records;
}

std::unique_ptr<CVelkAlert> Engine(const std::string& dir, CRecordingMessageBox& box)
{
    auto engine = std::make_unique<CVelkAlert>(CVelkServices{nullptr, &box, nullptr, nullptr});
    CString path = dir;
    engine->SetSYSPath(path);
    return engine;
}

// Adding a file kind is one entry here.
std::vector<CFileKind> FileKinds()
{
    return {
        {"condition files",
         {"alert.cfg", "Magic.cfg"},
         false,
         false,
         [](const std::string& dir, int state) {
             CRecordingMessageBox box;
             auto engine = Engine(dir, box);
             CVelkAlertTestAccess::SetPriceList(*engine, Watches(state == 0 ? 3 : 45, 1));
             CVelkAlertTestAccess::SetMagicList(*engine, Watches(state == 0 ? 30 : 2, 2));
             return engine->SaveAlertCondition();
         }},
        {"System_alert.cfg saved by the page",
         {"System_alert.cfg"},
         false,
         false,
         [](const std::string& dir, int state) {
             CSystemAlertStore page;
             CString path = dir;
             page.SetSystemPath(path);
             page.m_switches.m_byNewHigh = static_cast<std::uint8_t>(state);
             page.m_vecStock = Watches(state == 0 ? 40 : 5, 1);
             return page.SaveSystemAlert();
         }},
        {"System_alert.cfg, one stock added",
         {"System_alert.cfg"},
         true,
         true,
         [](const std::string& dir, int state) {
             CRecordingMessageBox box;
             auto engine = Engine(dir, box);
             char code[12];
             std::snprintf(code, sizeof code, "S%05d", state);
             engine->AddStockToSystemAlert(1, code);
             return box.Count() == 0;
         }},
        {"System_alert.cfg, stocks added together",
         {"System_alert.cfg"},
         true,
         false,
         [](const std::string& dir, int state) {
             CRecordingMessageBox box;
             auto engine = Engine(dir, box);
             std::vector<CSymbolInfo> stocks;
             for (int i = 0; i < 25; ++i) {
                 char code[12];
                 std::snprintf(code, sizeof code, "B%05d", state * 25 + i);
                 stocks.emplace_back(2, code);
             }
             engine->AddMStockToSystemAlert(&stocks);
             return box.Count() == 0;
         }},
        {"day file",
         {"20240105.alt"},
         false,
         false,
         [](const std::string& dir, int state) {
             CAlertRecordList alerts(state == 0 ? 2 : 70);
             for (std::size_t i = 0; i < alerts.size(); ++i) {
                 alerts[i].m_byMarket = 1;
                 alerts[i].m_nTime = static_cast<std::int32_t>(36000 - i);
                 VelkCopyText(alerts[i].m_szCode, "600000");
             }
             return CAlertDayFile::Save(CAlertDayFile::PathFor(dir, 20240105), alerts);
         }},
        {"MagicStatus.cfg",
         {"MagicStatus.cfg"},
         false,
         false,
         [](const std::string& dir, int state) {
             CMagicStatusTable table;
             CMagicStatusTable::Entries entries;
             for (std::int32_t key = 0; key < (state == 0 ? 3 : 400); ++key)
                 entries[key * 7] = state;
             table.SetEntries(std::move(entries));
             return table.Save(VelkJoinPath(dir, "MagicStatus.cfg"));
         }},
    };
}

CFiles ReadFiles(const std::string& dir, const std::vector<std::string>& names)
{
    CFiles files;
    for (const std::string& name : names)
        VelkReadFile(VelkJoinPath(dir, name), files[name]);
    return files;
}

std::vector<std::string> NamesIn(const std::string& dir)
{
    std::vector<std::string> names;
    // The folder's lock file is no content: it stays from the first save on.
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename() != ".velk.lock")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// The content of every state of a kind, as uninterrupted saves leave it, made on demand in a
// folder of its own.
class CStates {
public:
    explicit CStates(const CFileKind& kind) : m_kind(kind) {}
    const CFiles& At(int state)
    {
        while (static_cast<int>(m_states.size()) <= state) {
            const int next = static_cast<int>(m_states.size());
            if (!m_kind.save(m_dir.Path(), m_kind.grows ? next : next % 2))
                ADD_FAILURE() << m_kind.what << ": a save of state " << next << " failed";
            m_states.push_back(ReadFiles(m_dir.Path(), m_kind.files));
        }
        return m_states[static_cast<std::size_t>(state)];
    }

private:
    const CFileKind& m_kind;
    CTempDir m_dir;
    std::vector<CFiles> m_states;
};

// Which state from `from` on a file is in, or -1 when it holds neither an old nor a new content.
// cut tells that it is a state with part of the next appended record after it.
int StateOf(CStates& states, const CFileKind& kind, const std::string& file,
            const std::string& bytes, int from, bool& cut)
{
    cut = false;
    const int last = kind.grows ? INT32_MAX : from + 1;
    for (int state = from; state <= last; ++state) {
        const std::string& content = states.At(state).at(file);
        if (bytes == content)
            return state;
        // A growing file only grows: no later state can match once they are longer.
        if (kind.grows && content.size() > bytes.size())
            return -1;
        const std::string& next = kind.appends ? states.At(state + 1).at(file) : content;
        if (kind.appends && bytes.size() < next.size() &&
            next.compare(0, bytes.size(), bytes) == 0) {
            cut = true;
            return state;
        }
    }
    return -1;
}

int KillsFromEnvironment()
{
    const char* text = std::getenv("VELK_KILLS");
    const int kills = text ? std::atoi(text) : 0;
    return kills > 0 ? kills : 60;
}

struct CTally {
    int kills = 0;
    int old = 0;
    int fresh = 0;
    int cut = 0;
    int leftovers = 0; // temporaries a killed save left, removed by the next save
};

void KillDuringSaves(const CFileKind& kind, int kills, std::mt19937& random, CTally& tally)
{
    CStates states(kind);
    CTempDir dir;
    const int base = 0;

    // How long one save takes here decides over which stretch the kills are spread.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i)
        kind.save(dir.Path(), kind.grows ? i : i % 2);
    const auto oneSave = (std::chrono::steady_clock::now() - start) / 3;
    const long window =
        std::chrono::duration_cast<std::chrono::microseconds>(2 * oneSave).count() + 300;

    for (int round = 0; round < kills; ++round) {
        for (const auto& [name, bytes] : states.At(base))
            ASSERT_TRUE(VelkReplaceFile(VelkJoinPath(dir.Path(), name), bytes));

        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int state = base + 1;; ++state)
                kind.save(dir.Path(), kind.grows ? state : state % 2);
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(0, window)(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ++tally.kills;

        // Every file is the content of a state the saves went through.
        int reached = base;
        for (const auto& [name, bytes] : ReadFiles(dir.Path(), kind.files)) {
            bool cut = false;
            const int state = StateOf(states, kind, name, bytes, base, cut);
            ASSERT_GE(state, 0) << kind.what << ": " << name
                                << " is neither old nor new after kill " << round << " ("
                                << bytes.size() << " bytes)";
            reached = std::max(reached, state);
            tally.cut += cut ? 1 : 0;
            (state == base ? tally.old : tally.fresh) += 1;
        }
        const std::size_t entries = NamesIn(dir.Path()).size();
        tally.leftovers += entries > kind.files.size() ? 1 : 0;

        // The next save takes the folder one state on and leaves only the files.
        const int next = kind.grows ? reached + 1 : (reached + 1) % 2;
        ASSERT_TRUE(kind.save(dir.Path(), next)) << kind.what << " after kill " << round;
        EXPECT_EQ(ReadFiles(dir.Path(), kind.files), states.At(next))
            << kind.what << " after kill " << round;
        ASSERT_EQ(NamesIn(dir.Path()), Sorted(kind.files))
            << kind.what << ": a temporary is left after kill " << round;
    }
}

// The path for a folder that takes no new files while its files are writable: the saves write
// into the files in place. Runs as the unprivileged user (root's writes would not be refused),
// in a folder of state-0 files, with the states made beforehand. After every kill each file
// holds an old or a new content, or else the copy kept in the state directory holds the
// content it had before the interrupted write; the next save writes state 0 whole and leaves no
// kept copy. Returns the number of faults, printed as found.
int KillsDuringInPlaceSaves(const CFileKind& kind, CStates& states, const std::string& dir,
                            int kills, unsigned seed)
{
    std::mt19937 random(seed);
    int faults = 0;
    auto fault = [&](const std::string& text) {
        std::fprintf(stderr, "%s (in place): %s\n", kind.what, text.c_str());
        ++faults;
    };
    const std::vector<std::string> names = NamesIn(dir);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i)
        kind.save(dir, (i + 1) % 2);
    const auto oneSave = (std::chrono::steady_clock::now() - start) / 3;
    const long window =
        std::chrono::duration_cast<std::chrono::microseconds>(2 * oneSave).count() + 300;
    int old = 0;
    int fresh = 0;
    int kept = 0;
    for (int round = 0; round < kills && faults == 0; ++round) {
        if (!kind.save(dir, 0) || ReadFiles(dir, kind.files) != states.At(0)) {
            fault("the state-0 save before kill " + std::to_string(round) +
                  " failed: " + VelkFileError());
            break;
        }
        pid_t child = ::fork();
        if (child < 0)
            return faults + 1;
        if (child == 0) {
            for (int state = 1;; ++state)
                kind.save(dir, state % 2);
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(0, window)(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        for (const auto& [name, bytes] : ReadFiles(dir, kind.files)) {
            if (bytes == states.At(0).at(name)) {
                ++old;
                continue;
            }
            if (bytes == states.At(1).at(name)) {
                ++fresh;
                continue;
            }
            std::string copy;
            VelkReadFile(VelkInPlaceCopyPath(VelkJoinPath(dir, name)), copy);
            if (copy == states.At(0).at(name) || copy == states.At(1).at(name))
                ++kept;
            else
                fault(name + " is neither old nor new after kill " + std::to_string(round) +
                      " and the state directory keeps no old content (" +
                      std::to_string(bytes.size()) + " bytes)");
        }
        if (NamesIn(dir) != names)
            fault("the folder's names changed after kill " + std::to_string(round));
    }
    if (faults == 0 && (!kind.save(dir, 1) || ReadFiles(dir, kind.files) != states.At(1)))
        fault("the save after the last kill did not write the new content");
    for (const std::string& name : kind.files)
        if (VelkFileExists(VelkInPlaceCopyPath(VelkJoinPath(dir, name))))
            fault("a kept copy of " + name + " stayed after a whole save");
    std::printf("%s, in place: %d kills; files old %d, new %d, torn with the old content kept %d\n",
                kind.what, kills, old, fresh, kept);
    std::fflush(stdout);
    return faults;
}

class KillDuringSave : public ::testing::Test {
protected:
    CQuoteStore m_store;
    CScopedHostBackend m_guard{m_store};
};

TEST_F(KillDuringSave, EveryFileIsOldOrNewAfterEachKillAndTheNextSaveLeavesNoTemporary)
{
    const std::vector<CFileKind> kinds = FileKinds();
    const int total = KillsFromEnvironment();
    std::mt19937 random(std::random_device{}());
    CTally tally;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const int share = total / static_cast<int>(kinds.size()) +
                          (static_cast<int>(i) < total % static_cast<int>(kinds.size()) ? 1 : 0);
        KillDuringSaves(kinds[i], share, random, tally);
        if (HasFatalFailure())
            return;
    }
    std::printf("kills survived: %d (files old %d, new %d, appended record cut %d; saves that left "
                "a temporary %d)\n",
                tally.kills, tally.old, tally.fresh, tally.cut, tally.leftovers);
    EXPECT_EQ(tally.kills, total);
}

TEST_F(KillDuringSave, InPlaceWritesLeaveOldOrNewContentOrTheOldContentKeptAfterEachKill)
{
    CTempDir state;
    CTempDir root;
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const std::optional<std::string> restore =
        oldState ? std::optional<std::string>(oldState) : std::nullopt;
    ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
    ASSERT_TRUE(GiveToUnprivileged(state.Path(), 0755));
    ::chmod(root.Path().c_str(), 0755);

    // The kinds that rewrite their files whole (an append never takes this path), and a day
    // file of megabytes, which a kill can cut in the middle of its write.
    std::vector<CFileKind> kinds = FileKinds();
    kinds.push_back({"day file of megabytes",
                     {"20240105.alt"},
                     false,
                     false,
                     [](const std::string& dir, int state) {
                         CAlertRecordList alerts(state == 0 ? 80000 : 160000);
                         for (std::size_t i = 0; i < alerts.size(); ++i) {
                             alerts[i].m_byMarket = static_cast<std::uint8_t>(1 + state);
                             alerts[i].m_nTime = static_cast<std::int32_t>(i);
                         }
                         return CAlertDayFile::Save(CAlertDayFile::PathFor(dir, 20240105), alerts);
                     }});
    std::vector<std::unique_ptr<CStates>> states;
    std::vector<std::string> dirs;
    std::vector<const CFileKind*> rewriting;
    for (const CFileKind& kind : kinds) {
        if (kind.grows)
            continue;
        rewriting.push_back(&kind);
        states.push_back(std::make_unique<CStates>(kind));
        states.back()->At(1);
        dirs.push_back(root.File(std::to_string(dirs.size())));
        std::filesystem::create_directory(dirs.back());
        for (const auto& [name, bytes] : states.back()->At(0)) {
            ASSERT_TRUE(VelkReplaceFile(VelkJoinPath(dirs.back(), name), bytes));
            ASSERT_TRUE(GiveToUnprivileged(VelkJoinPath(dirs.back(), name), 0644));
        }
        ASSERT_TRUE(GiveToUnprivileged(dirs.back(), 0555));
    }
    const int share = std::max(4, KillsFromEnvironment() / 2 / static_cast<int>(rewriting.size()));
    const unsigned seed = std::random_device{}();
    const std::optional<bool> clean = RunUnprivileged([&] {
        int faults = 0;
        for (std::size_t i = 0; i < rewriting.size(); ++i)
            faults += KillsDuringInPlaceSaves(*rewriting[i], *states[i], dirs[i], share,
                                              seed + static_cast<unsigned>(i));
        return faults == 0;
    });
    for (const std::string& dir : dirs)
        ::chmod(dir.c_str(), 0755);
    if (restore)
        ::setenv("XDG_STATE_HOME", restore->c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
    if (!clean)
        GTEST_SKIP() << "no unprivileged user to run as";
    EXPECT_TRUE(*clean) << "faults of the in-place writes, listed above (seed " << seed << ")";
}

// The folders of the kinds on a tmpfs of a few KB, filled up: every save that needs room fails,
// says so, and leaves the old files and no temporary. Runs in a child with a mount namespace of
// its own, so the mount goes with it; the child's exit status is the number of faults, or 77
// when no tmpfs could be mounted.
int SavesOnAFullFileSystem(const std::vector<CFileKind>& kinds,
                           std::vector<std::unique_ptr<CStates>>& states)
{
    CTempDir mountPoint;
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("velk-full", mountPoint.Path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        std::fprintf(stderr, "cannot mount a tmpfs: %s\n", std::strerror(errno));
        return 77;
    }
    int faults = 0;
    auto fault = [&](const CFileKind& kind, const std::string& text) {
        std::fprintf(stderr, "%s: %s\n", kind.what, text.c_str());
        ++faults;
    };
    std::vector<std::string> dirs;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        dirs.push_back(mountPoint.File(std::to_string(i)));
        std::filesystem::create_directory(dirs.back());
        for (const auto& [name, bytes] : states[i]->At(0)) {
            if (!VelkReplaceFile(VelkJoinPath(dirs.back(), name), bytes))
                fault(kinds[i], "the old file does not fit");
        }
    }
    std::FILE* filler = std::fopen(mountPoint.File("filler").c_str(), "wb");
    const std::string block(512, 'f');
    while (filler && std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
           std::fflush(filler) == 0) {
    }
    if (filler)
        std::fclose(filler);

    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const CFileKind& kind = kinds[i];
        // An appended record may still fit in the room the file has; the adds go on until one
        // finds none.
        int state = 0;
        bool saved = true;
        while (saved && state < 200) {
            saved = kind.save(dirs[i], kind.grows ? state + 1 : 1);
            if (saved)
                ++state;
            if (saved && !kind.grows)
                fault(kind, "a whole new file was saved on a full disk");
        }
        if (saved)
            fault(kind, "never reported the full disk");
        if (ReadFiles(dirs[i], kind.files) != states[i]->At(kind.grows ? state : 0))
            fault(kind, "the files are not those of the last save that succeeded");
        if (NamesIn(dirs[i]) != Sorted(kind.files))
            fault(kind, "a temporary is left");
    }
    return faults;
}

TEST_F(KillDuringSave, FullFileSystemKeepsTheOldFilesAndReportsTheFailure)
{
    const std::vector<CFileKind> kinds = FileKinds();
    std::vector<std::unique_ptr<CStates>> states;
    for (const CFileKind& kind : kinds) {
        states.push_back(std::make_unique<CStates>(kind));
        states.back()->At(0);
        // The states an append may reach before the disk is full, made while there is room.
        if (kind.grows)
            states.back()->At(60);
    }
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(SavesOnAFullFileSystem(kinds, states));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs CAP_SYS_ADMIN)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "faults on the full file system, listed above";
}

} // namespace
