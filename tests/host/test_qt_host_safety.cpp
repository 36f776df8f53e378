// velk-host on a shared data directory, on special files, and asked to stop.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"
#include "tests/host/HostTestSupport.h"

using namespace hosttest;
using Clock = std::chrono::steady_clock;

namespace {

const std::vector<std::string> kNoScreen = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};

class HostSafetyTest : public ::testing::Test {
protected:
    std::string Root() const { return m_dir.File("root"); }
    std::string DayFile() const { return m_dir.File("root/Dat/Alert/20240105.alt"); }

    // A price alert at every second trade, for as many trades as asked; the alert list window
    // pops up, so the day file is written when the engine goes.
    void Conditions(int trades)
    {
        Ta_OTHERALERT options = QuietOptions();
        options.m_byPopup = 1;
        WriteFile(m_dir.File("root/SYS/alert.cfg"),
                  AlertCfg({Stock(1, "600000", "浦发银行", 10.50f, 9.50f)}, options));
        std::string lines;
        char line[64];
        for (int i = 0; i < trades; ++i) {
            const int second = 9 * 3600 + 30 * 60 + i / 4;
            std::snprintf(line, sizeof line, "%02d:%02d:%02d,1,600000,%s,100\n", second / 3600,
                          second / 60 % 60, second % 60, i % 2 ? "10.40" : "10.60");
            lines += line;
        }
        WriteDay(m_dir.File("day"), lines);
    }

    std::vector<std::string> Headless(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> args = {"--headless", "--silent", "--root",
                                         Root(),       "--day",    m_dir.File("day")};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Every file under the folder with its content.
    static std::map<std::string, std::string> Snapshot(const std::string& dir)
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
            if (entry.is_regular_file())
                files[entry.path().string()] = ReadFile(entry.path().string());
        return files;
    }

    CTempDir m_dir;
};

// velk-host started with the arguments, its standard error into a file and the environment
// changed as RunHost changes it; the caller waits for it.
pid_t SpawnHost(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                const std::string& errPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const CHostSpawnVectors vectors(args, extraEnv);
    pid_t pid = 0;
    if (posix_spawn(&pid, VELK_HOST_BINARY, &actions, nullptr, vectors.Argv(), vectors.Envp()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Sends the signal and waits for the exit: the time it took and the wait status. A process
// that outlives ten seconds is killed.
std::pair<Clock::duration, int> SignalAndWait(pid_t pid, int signo)
{
    const auto sent = Clock::now();
    ::kill(pid, signo);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() - sent > std::chrono::seconds(10)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return {Clock::now() - sent, status};
}

} // namespace

// Locks: a second velk-host on a data directory another one works on is told so.
TEST_F(HostSafetyTest, ASecondHostOnTheSameRootExitsFourUnlessItWaits)
{
    Conditions(8);
    std::filesystem::create_directories(Root() + "/SYS");
    auto other = std::make_unique<CVelkFileLock>(Root() + "/SYS/velk-host.lock");
    ASSERT_TRUE(other->Held());
    HostResult refused = RunHost(Headless(), kNoScreen);
    EXPECT_EQ(refused.status, 4);
    EXPECT_NE(refused.err.find("another velk-host works on"), std::string::npos) << refused.err;
    EXPECT_TRUE(refused.out.empty());
    EXPECT_FALSE(VelkFileExists(DayFile()));

    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.reset();
    });
    HostResult waited = RunHost(Headless({"--wait-lock"}), kNoScreen);
    release.join();
    EXPECT_EQ(waited.status, 0) << waited.err;
    EXPECT_NE(waited.err.find("waiting for the other velk-host"), std::string::npos);
    EXPECT_EQ(ReadFile(DayFile()).size(), 4 * sizeof(Ta_ALERTRECORD));
}

// Two replays of one root, one after the other by the lock: each starts from a clean alert
// list, and the later one keeps the earlier one's day file aside, so both runs' alerts stay.
TEST_F(HostSafetyTest, TwoReplaysOfOneRootKeepBothRunsAlerts)
{
    Conditions(40);
    HostResult first;
    std::thread other([&] { first = RunHost(Headless({"--wait-lock"}), kNoScreen); });
    HostResult second = RunHost(Headless({"--wait-lock"}), kNoScreen);
    other.join();
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(ReadFile(DayFile()).size(), 20 * sizeof(Ta_ALERTRECORD));
    EXPECT_EQ(ReadFile(DayFile() + ".1").size(), 20 * sizeof(Ta_ALERTRECORD));
}

// Full disks: a day file that cannot be saved is said on standard error, and the run fails.
TEST_F(HostSafetyTest, AnUnsavableDayFileFailsTheHeadlessRun)
{
    Conditions(8);
    std::filesystem::create_directories(DayFile());
    HostResult run = RunHost(Headless(), kNoScreen);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("[警告]"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("20240105.alt"), std::string::npos) << run.err;
}

// Special files: a FIFO in a file's place is refused at once, with its name.
TEST_F(HostSafetyTest, FifosInPlaceOfFilesAreRefusedWithoutHanging)
{
    Conditions(8);
    const std::string fifo = Root() + "/SYS/Magic.cfg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    HostResult dump = RunHost({"dump", "--root", Root()}, {}, std::chrono::seconds(10));
    EXPECT_FALSE(dump.timedOut);
    EXPECT_EQ(dump.status, 0);
    EXPECT_NE(dump.err.find(fifo + " is not a regular file"), std::string::npos) << dump.err;

    HostResult dumpDay = RunHost({"dump-day", fifo}, {}, std::chrono::seconds(10));
    EXPECT_FALSE(dumpDay.timedOut);
    EXPECT_EQ(dumpDay.status, 1);
    EXPECT_NE(dumpDay.err.find("is not a regular file"), std::string::npos) << dumpDay.err;

    HostResult replay = RunHost(Headless(), kNoScreen, std::chrono::seconds(20));
    EXPECT_FALSE(replay.timedOut);
    EXPECT_EQ(replay.status, 0) << replay.err;

    std::filesystem::remove(fifo);
    const std::string trades = m_dir.File("day/trades.csv");
    std::filesystem::remove(trades);
    ASSERT_EQ(::mkfifo(trades.c_str(), 0600), 0);
    HostResult badDay = RunHost(Headless(), kNoScreen, std::chrono::seconds(10));
    EXPECT_FALSE(badDay.timedOut);
    EXPECT_EQ(badDay.status, 2);
    EXPECT_NE(badDay.err.find("trades.csv: is not a regular file"), std::string::npos)
        << badDay.err;
}

// SIGTERM and SIGINT stop a replay within a second, with the engine shut down and the day
// file written.
TEST_F(HostSafetyTest, ASignalEndsTheReplayInOrderWithinASecond)
{
    Conditions(200000);
    for (int signo : {SIGTERM, SIGINT}) {
        std::filesystem::remove_all(Root() + "/Dat");
        CTempDir scratch;
        const std::string outPath = scratch.File("out");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> argv = {VELK_HOST_BINARY};
        for (const std::string& arg : Headless())
            argv.push_back(arg);
        std::vector<char*> raw;
        for (std::string& arg : argv)
            raw.push_back(arg.data());
        raw.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, VELK_HOST_BINARY, &actions, nullptr, raw.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        // The replay is under way once the first alert is out.
        const auto give_up = Clock::now() + std::chrono::seconds(30);
        std::uint64_t size = 0;
        while ((!VelkFileSize(outPath, size) || size == 0) && Clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GT(size, 0u);
        const auto sent = Clock::now();
        ::kill(pid, signo);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0 &&
               Clock::now() - sent < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto took = Clock::now() - sent;
        if (took >= std::chrono::seconds(10)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        EXPECT_LT(took, std::chrono::seconds(1)) << signo;
        ASSERT_TRUE(WIFEXITED(status)) << signo;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signo);
        const std::size_t records = ReadFile(DayFile()).size() / sizeof(Ta_ALERTRECORD);
        EXPECT_GT(records, 0u) << signo;
        EXPECT_LT(records, 100000u) << "the replay went on to the end";
    }
}

// --screenshots never changes the user's data directory.
TEST_F(HostSafetyTest, PicturesLeaveTheRootAsItWas)
{
    Conditions(8);
    WriteFile(DayFile(), std::string(sizeof(Ta_ALERTRECORD), 'x'));
    const auto before = Snapshot(Root());
    HostResult run = RunHost(
        {"--root", Root(), "--day", m_dir.File("day"), "--screenshots", m_dir.File("pictures")},
        kNoScreen, std::chrono::seconds(120));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(Snapshot(m_dir.File("pictures")).empty());
    EXPECT_TRUE(Snapshot(Root()) == before);
}

// SIGTERM and SIGINT stop the taking of pictures within a second, in order: the status tells
// the signal, the scratch copy of the data directory is gone, the pictures stop where they were.
TEST_F(HostSafetyTest, ASignalEndsThePicturesInOrderWithinASecond)
{
    Conditions(200000);
    for (int signo : {SIGTERM, SIGINT}) {
        CTempDir tmp;
        const std::string pictures = m_dir.File("pictures-" + std::to_string(signo));
        const std::string errPath = m_dir.File("err");
        std::vector<std::string> env = kNoScreen;
        env.push_back("TMPDIR=" + tmp.Path());
        const pid_t pid =
            SpawnHost({"--root", Root(), "--day", m_dir.File("day"), "--screenshots", pictures},
                      env, errPath);
        ASSERT_GT(pid, 0);
        // The folder of the pictures is made once the day is open and the replay starts.
        const auto give_up = Clock::now() + std::chrono::seconds(60);
        while (!VelkIsDirectory(pictures) && Clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(VelkIsDirectory(pictures));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto [took, status] = SignalAndWait(pid, signo);
        // The run stops between pictures, and one picture of a page of 200,000 stocks takes
        // most of a second on a busy machine (more under the sanitizers): the bound here tells
        // a stop from a hang, not how quick the stop is.
        EXPECT_LT(took, std::chrono::seconds(5)) << signo;
        ASSERT_TRUE(WIFEXITED(status)) << signo;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signo) << ReadFile(errPath);
        EXPECT_NE(ReadFile(errPath).find("stopped"), std::string::npos) << ReadFile(errPath);
        EXPECT_FALSE(VelkFileExists(pictures + "/keyboard-wizard.png"));
        for (const auto& entry : std::filesystem::directory_iterator(tmp.Path()))
            EXPECT_EQ(entry.path().filename().string().rfind("velk-host-scratch-", 0),
                      std::string::npos)
                << "the scratch root was left: " << entry.path();
    }
}

// The desktop program stops on SIGTERM and SIGINT as when its window is closed: the status
// tells the signal, the day's alerts are in the day file, and the data directory's lock is
// free again at once.
TEST_F(HostSafetyTest, ASignalClosesTheDesktopProgramInOrder)
{
    Conditions(8);
    for (int signo : {SIGTERM, SIGINT}) {
        std::filesystem::remove_all(m_dir.File("root/Dat"));
        std::filesystem::remove(m_dir.File("root/history.sqlite"));
        CTempDir home;
        // The window plays the day at once, as fast as it can.
        WriteFile(home.File("config/Velk/velk-host.conf"), "[replay]\nspeed=0\n");
        const std::string errPath = m_dir.File("desktop-err");
        const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                              "DISPLAY=:velk-test",
                                              "WAYLAND_DISPLAY",
                                              "HOME=" + home.Path(),
                                              "XDG_CONFIG_HOME=" + home.File("config"),
                                              "XDG_STATE_HOME=" + home.File("state")};
        const pid_t pid = SpawnHost(
            {"--silent", "--play", "--root", Root(), "--day", m_dir.File("day")}, env, errPath);
        ASSERT_GT(pid, 0);
        // The program is up once it has the data directory's lock file open (taking the lock
        // here would send it to its read-only offer).
        const auto give_up = Clock::now() + std::chrono::seconds(60);
        bool up = false;
        while (!up && Clock::now() < give_up) {
            std::error_code ec;
            for (const auto& fd :
                 std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
                up = up ||
                     std::filesystem::read_symlink(fd.path(), ec).filename() == "velk-host.lock";
            if (!up)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(up) << ReadFile(errPath);
        // The day is played once its alerts are in the history.
        std::size_t alerts = 0;
        while (alerts < 4 && Clock::now() < give_up) {
            const HostResult history = RunHost({"history", "--root", Root()});
            alerts = 0;
            for (std::size_t at = history.out.find("600000"); at != std::string::npos;
                 at = history.out.find("600000", at + 1))
                ++alerts;
            if (alerts < 4)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_EQ(alerts, 4u) << ReadFile(errPath);
        const auto [took, status] = SignalAndWait(pid, signo);
        EXPECT_LT(took, std::chrono::seconds(1)) << signo;
        ASSERT_TRUE(WIFEXITED(status)) << signo << " " << ReadFile(errPath);
        EXPECT_EQ(WEXITSTATUS(status), 128 + signo) << ReadFile(errPath);
        const std::string dayFile = ReadFile(DayFile());
        ASSERT_EQ(dayFile.size(), 4 * sizeof(Ta_ALERTRECORD)) << signo;
        for (std::size_t at = 0; at < dayFile.size(); at += sizeof(Ta_ALERTRECORD)) {
            Ta_ALERTRECORD record{};
            std::memcpy(&record, dayFile.data() + at, sizeof record);
            EXPECT_STREQ(record.m_szCode, "600000");
        }
        CVelkFileLock after(Root() + "/SYS/velk-host.lock", CVelkFileLock::Mode::Try);
        EXPECT_TRUE(after.Held());
    }
}
