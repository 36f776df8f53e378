#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/core/VelkFile.h"
#include "tests/support/CFileSizeLimit.h"
#include "tests/support/CTempDir.h"
#include "tests/support/CUnprivilegedRun.h"

namespace {
std::atomic<int> g_umaskCalls{0};
}

// Every umask call of the process is counted here before it reaches the kernel.
extern "C" mode_t umask(mode_t mask) noexcept
{
    ++g_umaskCalls;
    return static_cast<mode_t>(::syscall(SYS_umask, mask));
}

namespace {

// Passes writes through until a byte budget is spent, then fails: a full disk midway.
class CFailAfterSink final : public IByteSink {
public:
    CFailAfterSink(std::unique_ptr<IByteSink> inner, std::size_t budget)
        : m_inner(std::move(inner)), m_budget(budget)
    {
    }
    bool Write(const void* data, std::size_t size) override
    {
        if (size > m_budget) {
            m_inner->Write(data, m_budget);
            m_budget = 0;
            return false;
        }
        m_budget -= size;
        return m_inner->Write(data, size);
    }
    bool Flush() override { return m_inner->Flush(); }

private:
    std::unique_ptr<IByteSink> m_inner;
    std::size_t m_budget;
};

SinkWrapper FailAfter(std::size_t budget)
{
    return [budget](std::unique_ptr<IByteSink> inner) {
        return std::make_unique<CFailAfterSink>(std::move(inner), budget);
    };
}

std::size_t EntriesIn(const std::string& dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t{0};
}

std::vector<std::string> NamesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A pid that no process has any more.
pid_t DeadPid()
{
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

void Age(const std::string& path, int seconds)
{
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

} // namespace

TEST(VelkFile, ReplaceWritesExactBytesAndLeavesNoTemporary)
{
    CTempDir dir;
    std::string path = dir.File("alert.cfg");
    std::string bytes("a\0b\xff", 4);
    ASSERT_TRUE(VelkReplaceFile(path, bytes));
    std::string read;
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);

    ASSERT_TRUE(VelkReplaceFile(path, std::string_view()));
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_TRUE(read.empty());
}

TEST(VelkFile, FailedWriteLeavesOldFileByteIdentical)
{
    CTempDir dir;
    std::string path = dir.File("Magic.cfg");
    std::string old(300, 'x');
    ASSERT_TRUE(VelkReplaceFile(path, old));

    for (std::size_t budget :
         {std::size_t{0}, std::size_t{1}, std::size_t{151}, std::size_t{999}}) {
        std::string fresh(1000, 'y');
        EXPECT_FALSE(VelkReplaceFile(path, fresh, FailAfter(budget))) << budget;
        std::string read;
        ASSERT_TRUE(VelkReadFile(path, read));
        EXPECT_EQ(read, old) << budget;
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << "temporary left behind, budget " << budget;
    }
}

TEST(VelkFile, WriterThatGivesUpLeavesOldFile)
{
    CTempDir dir;
    std::string path = dir.File("System_alert.cfg");
    ASSERT_TRUE(VelkReplaceFile(path, std::string("old")));
    bool ok = VelkReplaceFile(path, [](IByteSink& sink) {
        sink.Write("new", 3);
        return false;
    });
    EXPECT_FALSE(ok);
    std::string read;
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, "old");
}

// What may be written decides, not who runs the tests: each case is tried as an unprivileged
// user. A folder that takes no new files still lets a writable file be saved in place.
TEST(VelkFile, PermissionsOfFolderAndFileDecideWhetherASaveSucceeds)
{
    struct Case {
        const char* what;
        mode_t folderMode;
        mode_t fileMode;
        std::size_t failAfter; // bytes the disk takes before it is full
        bool saved;
    } cases[] = {
        {"writable folder and file", 0755, 0644, SIZE_MAX, true},
        {"read-only folder, writable file", 0555, 0644, SIZE_MAX, true},
        {"read-only folder, writable file, disk full midway", 0555, 0644, 5, false},
        {"read-only folder and file", 0555, 0444, SIZE_MAX, false},
        {"writable folder, read-only file", 0755, 0444, SIZE_MAX, false},
    };
    // The in-place write keeps the old content in the user's state directory meanwhile.
    CTempDir state;
    ASSERT_TRUE(GiveToUnprivileged(state.Path(), 0755));
    ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
    for (const Case& c : cases) {
        CTempDir dir;
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
        const std::string folder = dir.File("SYS");
        const std::string path = folder + "/alert.cfg";
        std::filesystem::create_directory(folder);
        const std::string old = "kept content of the user";
        ASSERT_TRUE(VelkReplaceFile(path, old));
        ASSERT_TRUE(GiveToUnprivileged(path, c.fileMode));
        ASSERT_TRUE(GiveToUnprivileged(folder, c.folderMode));

        const std::string fresh = c.saved ? "new" : "new content, longer than the old one";
        const SinkWrapper wrap = c.failAfter == SIZE_MAX ? SinkWrapper{} : FailAfter(c.failAfter);
        std::optional<bool> result =
            RunUnprivileged([&] { return VelkReplaceFile(path, fresh, wrap); });
        if (!result)
            GTEST_SKIP() << "no unprivileged user to run as";
        ::chmod(folder.c_str(), 0755);

        EXPECT_EQ(*result, c.saved) << c.what;
        std::string read;
        ASSERT_TRUE(VelkReadFile(path, read));
        EXPECT_EQ(read, c.saved ? fresh : old) << c.what;
        EXPECT_EQ(ModeOf(path), c.fileMode) << c.what;
        EXPECT_EQ(EntriesIn(folder), 1u) << c.what;
    }
}

// A link (alert.cfg kept in a dotfiles folder, say) stays a link and its target takes the
// content; a link whose target is missing creates the target.
TEST(VelkFile, SymbolicLinksAreFollowedToTheirTarget)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links; // name in SYS -> link text
        std::string target;                                     // under the temporary folder
        bool targetExists;
    } cases[] = {
        {"relative", {{"alert.cfg", "../dotfiles/alert.cfg"}}, "dotfiles/alert.cfg", true},
        {"absolute", {{"alert.cfg", "@/dotfiles/alert.cfg"}}, "dotfiles/alert.cfg", true},
        {"chain",
         {{"alert.cfg", "middle"}, {"middle", "../dotfiles/alert.cfg"}},
         "dotfiles/alert.cfg",
         true},
        {"dangling", {{"alert.cfg", "../dotfiles/new.cfg"}}, "dotfiles/new.cfg", false},
    };
    for (const Case& c : cases) {
        CTempDir dir;
        std::filesystem::create_directory(dir.File("SYS"));
        std::filesystem::create_directory(dir.File("dotfiles"));
        const std::string target = dir.File(c.target);
        if (c.targetExists) {
            ASSERT_TRUE(VelkReplaceFile(target, std::string("old")));
        }
        for (const auto& [name, text] : c.links) {
            const std::string linkText = text[0] == '@' ? dir.Path() + text.substr(1) : text;
            std::filesystem::create_symlink(linkText, dir.File("SYS/" + name));
        }

        ASSERT_TRUE(VelkReplaceFile(dir.File("SYS/alert.cfg"), std::string("new"))) << c.what;
        std::string read;
        ASSERT_TRUE(VelkReadFile(target, read)) << c.what;
        EXPECT_EQ(read, "new") << c.what;
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File("SYS/alert.cfg"))) << c.what;
        EXPECT_EQ(EntriesIn(dir.File("SYS")), c.links.size()) << c.what;
        EXPECT_EQ(EntriesIn(dir.File("dotfiles")), 1u) << c.what;
    }

    CTempDir dir;
    std::filesystem::create_symlink("loop", dir.File("loop"));
    EXPECT_FALSE(VelkReplaceFile(dir.File("loop"), std::string("x"))) << "a loop of links";
}

TEST(VelkFile, ReplacedFileKeepsItsModeAndOwner)
{
    for (mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0604}, mode_t{0750}}) {
        CTempDir dir;
        const std::string path = dir.File("alert.cfg");
        ASSERT_TRUE(VelkReplaceFile(path, std::string("old")));
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(VelkReplaceFile(path, std::string("new")));
        EXPECT_EQ(ModeOf(path), mode);
    }

    if (::geteuid() == 0) {
        CTempDir dir;
        const std::string path = dir.File("Magic.cfg");
        ASSERT_TRUE(VelkReplaceFile(path, std::string("old")));
        ASSERT_TRUE(GiveToUnprivileged(path, 0600));
        ASSERT_TRUE(VelkReplaceFile(path, std::string("new")));
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, kUnprivilegedId);
        EXPECT_EQ(st.st_gid, kUnprivilegedId);
    }
}

// The umask is the whole process's: changing it even for a moment races with every thread that
// creates a file. A new file gets the mode the umask gives any new file.
TEST(VelkFile, NewFileFollowsTheUmaskWithoutChangingIt)
{
    CTempDir dir;
    const mode_t previous = ::umask(027);
    const int callsBefore = g_umaskCalls.load();
    const bool saved = VelkReplaceFile(dir.File("new.cfg"), std::string("x"));
    const int calls = g_umaskCalls.load() - callsBefore;
    ::umask(previous);
    ASSERT_TRUE(saved);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ModeOf(dir.File("new.cfg")), mode_t{0640});
}

TEST(VelkFile, MissingDirectoryOrFileIsReportedNotCreated)
{
    CTempDir dir;
    EXPECT_FALSE(VelkReplaceFile(dir.File("no/such/dir/file"), std::string("x")));
    std::string read = "stale";
    EXPECT_FALSE(VelkReadFile(dir.File("absent"), read));
    EXPECT_TRUE(read.empty());
    EXPECT_FALSE(VelkReadFile(dir.Path(), read)) << "a directory is not a readable file";
}

TEST(VelkFile, CreateDirectoriesMakesEveryLevel)
{
    CTempDir dir;
    std::string nested = dir.Path() + "/Dat/Alert/deeper";
    EXPECT_TRUE(VelkCreateDirectories(nested));
    EXPECT_TRUE(VelkIsDirectory(nested));
    EXPECT_TRUE(VelkCreateDirectories(nested + "/")) << "an existing directory is fine";

    std::string file = dir.File("plain");
    ASSERT_TRUE(VelkReplaceFile(file, std::string("x")));
    EXPECT_FALSE(VelkCreateDirectories(file + "/sub")) << "a file stands in the way";
}

TEST(VelkFile, RelativeDirectoriesAreCreatedFromTheCurrentDirectory)
{
    CTempDir dir;
    std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    std::filesystem::create_directory("bin");
    ASSERT_EQ(::chdir("bin"), 0);
    bool created = VelkCreateDirectories("../Dat/Alert");
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    EXPECT_TRUE(created);
    EXPECT_TRUE(VelkIsDirectory(dir.Path() + "/Dat/Alert"));
}

// A writer killed in the middle of a save leaves its temporary; the next save of the same file
// removes it.
TEST(VelkFile, TemporaryOfAKilledWriterIsRemovedByTheNextSave)
{
    CTempDir dir;
    const std::string path = dir.File("20240105.alt");
    ASSERT_TRUE(VelkReplaceFile(path, std::string("old")));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        VelkReplaceFile(path, [&](IByteSink& sink) {
            sink.Write(std::string(4096, 'n').data(), 4096);
            if (::write(pipeFds[1], "w", 1) == 1)
                ::pause();
            return true;
        });
        ::_exit(0);
    }
    char signal = 0;
    ASSERT_EQ(::read(pipeFds[0], &signal, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ASSERT_EQ(EntriesIn(dir.Path()), 2u) << "the killed save left its temporary";

    ASSERT_TRUE(VelkReplaceFile(path, std::string("next")));
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"20240105.alt"});
    std::string read;
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, "next");
}

// Only what a dead writer left of this very file goes: a temporary that is locked, or whose
// writer is alive and was lately at work, or that belongs to another file, stays.
TEST(VelkFile, StaleTemporariesAreToldFromLiveOnes)
{
    const std::string dead = std::to_string(DeadPid());
    struct Case {
        std::string name;
        int ageSeconds;
        bool locked;
        bool removed;
    } cases[] = {
        {"alert.cfg.tmp-" + dead + "-AAAAAA", 0, false, true},
        {"alert.cfg.tmp-" + dead + "-BBBBBB", 0, true, false},
        {"alert.cfg.tmp-1-CCCCCC", 0, false, false},
        // A writer that lives keeps its temporary however old it is.
        {"alert.cfg.tmp-1-DDDDDD", 3600, false, false},
        {"alert.cfg.tmp-1-EEEEEE", 3600, true, false},
        // Names without a writer's pid are not of the shape this code writes: a user's
        // alert.cfg.tmpBackup looks just like them.
        {"alert.cfg.tmpFFFFFF", 0, false, false},
        {"alert.cfg.tmpGGGGGG", 3600, false, false},
        {"alert.cfg.tmpBackup", 3600, false, false},
        {"Magic.cfg.tmp-" + dead + "-HHHHHH", 3600, false, false},
        {"alert.cfg.tmp-" + dead + "-III", 3600, false, false},
        {"alert.cfg.tmp.bak", 3600, false, false},
        {"alert.cfg.tmpl", 3600, false, false},
    };
    CTempDir dir;
    std::vector<int> lockFds;
    for (const Case& c : cases) {
        const std::string path = dir.File(c.name);
        ASSERT_TRUE(VelkReplaceFile(path, std::string("leftover")));
        Age(path, c.ageSeconds);
        if (c.locked) {
            lockFds.push_back(::open(path.c_str(), O_RDONLY));
            ASSERT_EQ(::flock(lockFds.back(), LOCK_EX), 0);
        }
    }
    ASSERT_TRUE(VelkReplaceFile(dir.File("alert.cfg"), std::string("saved")));
    for (const Case& c : cases)
        EXPECT_EQ(VelkFileExists(dir.File(c.name)), !c.removed) << c.name;
    for (int fd : lockFds)
        ::close(fd);
}

// A dead writer's temporary that belongs to another user is that user's: it stays.
TEST(VelkFile, TemporaryOfAnotherUserStays)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file of another user";
    CTempDir dir;
    const std::string temporary =
        dir.File("alert.cfg.tmp-" + std::to_string(DeadPid()) + "-ABCDEF");
    ASSERT_TRUE(VelkReplaceFile(temporary, std::string("leftover")));
    ASSERT_TRUE(GiveToUnprivileged(temporary, 0644));
    ASSERT_TRUE(VelkReplaceFile(dir.File("alert.cfg"), std::string("saved")));
    EXPECT_TRUE(VelkFileExists(temporary));
}

// Writers of one file in parallel, threads of one process or two processes, never take each
// other's temporary away: every save succeeds and the file holds one whole content.
TEST(VelkFile, ParallelWritersOfOneFileAllSucceed)
{
    constexpr int kSaves = 150;
    const std::string a(5000, 'a');
    const std::string b(7000, 'b');
    for (bool processes : {false, true}) {
        CTempDir dir;
        const std::string path = dir.File("System_alert.cfg");
        auto saveMany = [&](const std::string& content) {
            int failures = 0;
            for (int i = 0; i < kSaves; ++i)
                failures += VelkReplaceFile(path, content) ? 0 : 1;
            return failures;
        };
        int failures = 0;
        if (processes) {
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0)
                ::_exit(saveMany(b) == 0 ? 0 : 1);
            failures = saveMany(a);
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "the other process failed";
        } else {
            std::atomic<int> other{0};
            std::thread thread([&] { other = saveMany(b); });
            failures = saveMany(a);
            thread.join();
            failures += other;
        }
        EXPECT_EQ(failures, 0) << (processes ? "processes" : "threads");
        std::string read;
        ASSERT_TRUE(VelkReadFile(path, read));
        EXPECT_TRUE(read == a || read == b);
        EXPECT_EQ(EntriesIn(dir.Path()), 1u);
    }
}

TEST(VelkFile, TailWriteAppendsOrReplacesACutOffEnd)
{
    struct Case {
        const char* what;
        std::string old;
        std::uint64_t offset;
        std::string bytes;
        bool ok;
        std::string expected;
    } cases[] = {
        {"append at the end", "HEAD-rec1", 9, "rec2", true, "HEAD-rec1rec2"},
        {"over a cut-off record", "HEAD-rec1re", 9, "rec2", true, "HEAD-rec1rec2"},
        {"cut-off end longer than the new bytes", "HEAD-rec1rec2rec3", 9, "new", true,
         "HEAD-rec1new"},
        {"nothing to write drops the end", "HEAD-rec1xx", 9, "", true, "HEAD-rec1"},
        {"offset beyond the end", "HEAD", 9, "rec2", false, "HEAD"},
    };
    for (const Case& c : cases) {
        CTempDir dir;
        const std::string path = dir.File("System_alert.cfg");
        ASSERT_TRUE(VelkReplaceFile(path, c.old));
        EXPECT_EQ(VelkWriteFileTail(path, c.offset, c.bytes), c.ok) << c.what;
        std::string read;
        ASSERT_TRUE(VelkReadFile(path, read));
        EXPECT_EQ(read, c.expected) << c.what;
    }

    CTempDir dir;
    EXPECT_FALSE(VelkWriteFileTail(dir.File("absent"), 0, "x"));
    EXPECT_FALSE(VelkFileExists(dir.File("absent"))) << "a tail write creates nothing";

    // A disk that fills up midway gives back the old end, cut-off bytes included.
    const std::string path = dir.File("System_alert.cfg");
    const std::string old = "HEAD-rec1-cut";
    ASSERT_TRUE(VelkReplaceFile(path, old));
    {
        CFileSizeLimit limit(old.size() + 2);
        EXPECT_FALSE(VelkWriteFileTail(path, 9, "rec2-and-more"));
    }
    std::string read;
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, old);

    std::filesystem::create_symlink("System_alert.cfg", dir.File("link.cfg"));
    ASSERT_TRUE(VelkWriteFileTail(dir.File("link.cfg"), old.size(), "+"));
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, old + "+");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.cfg")));
}

// Blocks are read in large pieces; every block, also those that straddle two pieces, comes
// whole and in order, and a cut-off block at the end is left out.
TEST(VelkFile, ReadBlocksGivesEveryWholeBlockInOrder)
{
    constexpr std::size_t kBlock = 151;
    constexpr std::size_t kBlocks = 20000; // beyond one piece of the reader
    std::string bytes = "HEADER!";
    for (std::size_t i = 0; i < kBlocks; ++i) {
        std::string block(kBlock, static_cast<char>('a' + i % 26));
        std::snprintf(block.data(), 12, "%010zu", i);
        bytes += block;
    }
    bytes += "cut";
    CTempDir dir;
    const std::string path = dir.File("System_alert.cfg");
    ASSERT_TRUE(VelkReplaceFile(path, bytes));

    std::size_t seen = 0;
    bool inOrder = true;
    ASSERT_TRUE(VelkReadBlocks(path, 7, kBlock, [&](const char* block) {
        inOrder = inOrder && std::string(block, kBlock) == bytes.substr(7 + seen * kBlock, kBlock);
        ++seen;
        return true;
    }));
    EXPECT_EQ(seen, kBlocks);
    EXPECT_TRUE(inOrder);

    seen = 0;
    ASSERT_TRUE(VelkReadBlocks(path, 7, kBlock, [&](const char*) { return ++seen < 3; }));
    EXPECT_EQ(seen, 3u) << "a false from the callback ends the walk";
    EXPECT_FALSE(VelkReadBlocks(dir.File("absent"), 0, kBlock, [](const char*) { return true; }));
}

TEST(VelkFile, JoinPath)
{
    EXPECT_EQ(VelkJoinPath("/a/SYS", "alert.cfg"), "/a/SYS/alert.cfg");
    EXPECT_EQ(VelkJoinPath("/a/SYS/", "alert.cfg"), "/a/SYS/alert.cfg");
    EXPECT_EQ(VelkJoinPath("", "alert.cfg"), "alert.cfg");
}
