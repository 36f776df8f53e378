#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"
#include "tests/support/CTempDir.h"
#include "tests/support/CUnprivilegedRun.h"

namespace {

// Runs the call in a child process and says whether it returned true within the time; a call
// that hangs (on a FIFO, say) is killed. Nullopt when it hung.
std::optional<bool> ReturnsWithin(const std::function<bool()>& call,
                                  std::chrono::milliseconds limit)
{
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(call() ? 0 : 1);
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return std::nullopt;
}

std::string Content(const std::string& path)
{
    std::string bytes;
    VelkReadFile(path, bytes);
    return bytes;
}

ino_t InodeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A folder of another user (nobody) holding a link that user planted to a file of ours.
struct CPlantedLink {
    CTempDir dir;
    std::string victim = dir.File("secret.txt");
    std::string folder = dir.File("Alert");
    std::string link = folder + "/20211201.alt";

    bool Plant()
    {
        if (::geteuid() != 0)
            return false;
        std::filesystem::create_directory(folder);
        if (!VelkReplaceFile(victim, std::string("the victim's secret")))
            return false;
        std::filesystem::create_symlink(victim, link);
        return ::lchown(link.c_str(), kUnprivilegedId, kUnprivilegedId) == 0 &&
               GiveToUnprivileged(folder, 0755);
    }
};

} // namespace

// Links: only links of the process's user or of root are followed, and no second name is ever
// made for a file through a link.
TEST(FileLinks, ALinkOfAnotherUserIsRefusedWithTheFileNamed)
{
    CPlantedLink planted;
    if (!planted.Plant())
        GTEST_SKIP() << "needs root to plant a link as another user";
    EXPECT_FALSE(VelkReplaceFile(planted.link, std::string("alert records")));
    EXPECT_NE(VelkFileError().find(planted.link), std::string::npos) << VelkFileError();
    EXPECT_FALSE(VelkWriteFileTail(planted.link, 0, "alert records"));
    EXPECT_EQ(Content(planted.victim), "the victim's secret");
    EXPECT_TRUE(std::filesystem::is_symlink(planted.link));

    // Keeping a damaged file's bytes must neither link to the secret nor copy it beside it.
    const std::string copy = planted.folder + "/20211201.alt.damaged";
    EXPECT_FALSE(VelkKeepCopy(planted.link, copy));
    EXPECT_FALSE(VelkFileExists(copy));
    EXPECT_EQ(std::filesystem::hard_link_count(planted.victim), 1u);
}

TEST(FileLinks, AnOwnLinkIsFollowedButNeverHardLinkedThrough)
{
    CTempDir dir;
    ASSERT_TRUE(VelkReplaceFile(dir.File("target.alt"), std::string("damaged!")));
    std::filesystem::create_symlink(dir.File("target.alt"), dir.File("link.alt"));
    ASSERT_TRUE(VelkKeepCopy(dir.File("link.alt"), dir.File("link.alt.damaged")));
    EXPECT_EQ(Content(dir.File("link.alt.damaged")), "damaged!");
    EXPECT_NE(InodeOf(dir.File("link.alt.damaged")), InodeOf(dir.File("target.alt")));
    EXPECT_FALSE(std::filesystem::is_symlink(dir.File("link.alt.damaged")));

    ASSERT_TRUE(VelkReplaceFile(dir.File("link.alt"), std::string("new")));
    EXPECT_EQ(Content(dir.File("target.alt")), "new");
}

// Special files: a FIFO or a device in a file's place is refused at once, with its name.
TEST(FileSpecialFiles, AFifoOrADeviceIsRefusedWithoutWaiting)
{
    CTempDir dir;
    const std::string fifo = dir.File("alert.cfg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::chrono::milliseconds limit(2000);
    struct Case {
        const char* what;
        std::function<bool()> call;
    } cases[] = {
        {"read FIFO",
         [&] {
             std::string bytes;
             return !VelkReadFile(fifo, bytes) && VelkFileError().find(fifo) != std::string::npos;
         }},
        {"read blocks of FIFO",
         [&] { return !VelkReadBlocks(fifo, 0, 7, [](const char*) { return true; }); }},
        {"replace FIFO", [&] { return !VelkReplaceFile(fifo, std::string("x")); }},
        {"tail of FIFO", [&] { return !VelkWriteFileTail(fifo, 0, "x"); }},
        {"read a device that never ends",
         [&] {
             std::string bytes;
             return !VelkReadFile("/dev/zero", bytes);
         }},
    };
    for (const Case& c : cases) {
        std::optional<bool> result = ReturnsWithin(c.call, limit);
        ASSERT_TRUE(result.has_value()) << c.what << " hung";
        EXPECT_TRUE(*result) << c.what;
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced";
}

// Locks: one writer of a folder at a time, whether the other is another process or a second
// copy of the module in the same process.
TEST(FileLocks, TheFolderLockExcludesAnotherOpenerInTheProcessAndOtherProcesses)
{
    CTempDir dir;
    const std::string lockPath = CVelkFileLock::ForFolder(dir.Path());
    {
        CVelkFileLock first(lockPath);
        ASSERT_TRUE(first.Held());
        CVelkFileLock second(lockPath, CVelkFileLock::Mode::Try);
        EXPECT_FALSE(second.Held());
        EXPECT_TRUE(second.Busy());
        std::optional<bool> other =
            ReturnsWithin([&] { return CVelkFileLock(lockPath, CVelkFileLock::Mode::Try).Busy(); },
                          std::chrono::milliseconds(2000));
        ASSERT_TRUE(other.has_value());
        EXPECT_TRUE(*other);
    }
    CVelkFileLock after(lockPath, CVelkFileLock::Mode::Try);
    EXPECT_TRUE(after.Held());
    EXPECT_EQ(CVelkFileLock::ForFileOf(dir.File("20240105.alt")), lockPath);
}

// A waiting locker gets the lock as soon as the holder lets it go, not before.
TEST(FileLocks, AWaitingLockerGetsTheLockWhenTheHolderIsDone)
{
    CTempDir dir;
    const std::string lockPath = CVelkFileLock::ForFolder(dir.Path());
    auto holder = std::make_unique<CVelkFileLock>(lockPath);
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        CVelkFileLock lock(lockPath);
        got = lock.Held();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(got.load());
    holder.reset();
    waiter.join();
    EXPECT_TRUE(got.load());
}

// Full disks and read-only folders: the in-place write keeps the old content in the user's
// state directory first, so that a kill in the middle leaves it there.
class FileFullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_STATE_HOME");
        m_oldState = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("XDG_STATE_HOME", m_state.Path().c_str(), 1);
        ASSERT_TRUE(GiveToUnprivileged(m_state.Path(), 0755));
        std::filesystem::create_directory(m_folder);
        ASSERT_TRUE(VelkReplaceFile(m_path, m_old));
        ASSERT_TRUE(GiveToUnprivileged(m_path, 0644));
        ASSERT_TRUE(GiveToUnprivileged(m_folder, 0555));
        ::chmod(m_dir.Path().c_str(), 0755);
    }
    void TearDown() override
    {
        ::chmod(m_folder.c_str(), 0755);
        if (m_oldState)
            ::setenv("XDG_STATE_HOME", m_oldState->c_str(), 1);
        else
            ::unsetenv("XDG_STATE_HOME");
    }

    CTempDir m_dir;
    CTempDir m_state;
    std::optional<std::string> m_oldState;
    std::string m_folder = m_dir.File("SYS");
    std::string m_path = m_folder + "/alert.cfg";
    std::string m_old = std::string(100000, 'o');
};

TEST_F(FileFullDisk, AKillDuringAnInPlaceWriteLeavesTheOldContentInTheStateDirectory)
{
    std::optional<bool> result = RunUnprivileged([&] {
        pid_t pid = ::fork();
        if (pid == 0) {
            VelkReplaceFile(m_path, std::string(200000, 'n'), [](std::unique_ptr<IByteSink> sink) {
                struct CStall final : IByteSink {
                    std::unique_ptr<IByteSink> inner;
                    bool Write(const void* data, std::size_t size) override
                    {
                        inner->Write(data, size / 2);
                        ::raise(SIGKILL);
                        return false;
                    }
                    bool Flush() override { return true; }
                };
                auto stall = std::make_unique<CStall>();
                stall->inner = std::move(sink);
                return stall;
            });
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFSIGNALED(status);
    });
    if (!result)
        GTEST_SKIP() << "no unprivileged user to run as";
    ASSERT_TRUE(*result);
    EXPECT_TRUE(Content(m_path) != m_old) << "the kill came in the middle of the write";
    const std::string kept = VelkInPlaceCopyPath(m_path);
    ASSERT_EQ(kept.rfind(m_state.Path() + "/velk-host/", 0), 0u) << kept;
    EXPECT_TRUE(Content(kept) == m_old);
}

TEST_F(FileFullDisk, InPlaceWritesLeaveNoCopyBehindAndNeedOne)
{
    std::optional<bool> saved = RunUnprivileged([&] {
        const bool ok = VelkReplaceFile(m_path, std::string("new"));
        if (!ok)
            std::fprintf(stderr, "%s\n", VelkFileError().c_str());
        return ok;
    });
    if (!saved)
        GTEST_SKIP() << "no unprivileged user to run as";
    EXPECT_TRUE(*saved);
    EXPECT_TRUE(Content(m_path) == "new");
    EXPECT_FALSE(VelkFileExists(VelkInPlaceCopyPath(m_path)));

    // Without a place for the copy the file is not touched.
    ::chmod(m_state.Path().c_str(), 0555);
    std::filesystem::remove_all(m_state.Path() + "/velk-host");
    saved = RunUnprivileged([&] {
        return !VelkReplaceFile(m_path, std::string("newer")) &&
               VelkFileError().find(m_path) != std::string::npos;
    });
    ::chmod(m_state.Path().c_str(), 0755);
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(*saved);
    EXPECT_TRUE(Content(m_path) == "new");
}
