#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/host/HostTestSupport.h"

// velk-host is killed with SIGKILL at random moments of a replay. Its alert history must stay a
// sound SQLite file holding the alerts it printed, in order, less at most those of the frame it
// was committing when it died.

namespace {

using hosttest::Stock;

std::string CAlertHistoryPath(const std::string& root)
{
    return root + "/history.sqlite";
}

struct CPrintedLine {
    std::string text;
    std::chrono::steady_clock::time_point arrived;
};

// A day on which 300 stocks walk up and down their price range: a new high or low of the day
// every few trades.
void WriteDay(const std::string& day, const std::string& root)
{
    std::ostringstream symbols;
    std::ostringstream trades;
    symbols << "market,code,name,prev_close,limit_up,limit_down\n";
    trades << "time,market,code,price,volume\n";
    std::vector<Ta_VELKPRICEALERT> monitored;
    constexpr int kStocks = 300;
    std::vector<int> cents(kStocks, 1000);
    for (int i = 0; i < kStocks; ++i) {
        const std::string code = std::to_string(600000 + i);
        symbols << "1," << code << ",股票" << i << ",10.00,11.00,9.00\n";
        monitored.push_back(Stock(1, code, "股票" + std::to_string(i)));
    }
    std::mt19937 random(7);
    int second = 9 * 3600 + 30 * 60;
    for (int trade = 0; trade < 60000; ++trade) {
        if (trade % 20 == 0)
            ++second;
        const int stock = static_cast<int>(random() % kStocks);
        int& price = cents[static_cast<std::size_t>(stock)];
        price = std::clamp(price + static_cast<int>(random() % 9) - 4, 900, 1100);
        char line[96];
        std::snprintf(line, sizeof line, "%02d:%02d:%02d,1,%d,%d.%02d,%d\n", second / 3600,
                      second / 60 % 60, second % 60, 600000 + stock, price / 100, price % 100,
                      100 + trade % 700);
        trades << line;
    }
    hosttest::WriteFile(day + "/day.csv", "trade_date\n20240105\n");
    hosttest::WriteFile(day + "/markets.csv", "market,ext,level1\n1,SH,1\n");
    hosttest::WriteFile(day + "/symbols.csv", symbols.str());
    hosttest::WriteFile(day + "/trades.csv", trades.str());
    hosttest::WriteFile(root + "/SYS/alert.cfg", hosttest::AlertCfg({}));
    hosttest::WriteFile(root + "/SYS/System_alert.cfg",
                        hosttest::SystemAlertCfg(monitored, 1, 1, 1, 2));
}

// Runs velk-host on the day, reading its output as it comes; kills it after `killAfter` (never
// when negative). Returns the complete lines printed and when they arrived.
std::vector<CPrintedLine> RunAndKill(const std::string& root, const std::string& day,
                                     std::chrono::milliseconds killAfter,
                                     std::chrono::steady_clock::time_point& killedAt, int& status)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {VELK_HOST_BINARY, "--headless", "--silent", "--root", root,
                                     "--day",          day};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const bool spawned =
        posix_spawn(&pid, VELK_HOST_BINARY, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::vector<CPrintedLine> lines;
    if (!spawned) {
        ::close(out[0]);
        return lines;
    }
    const auto start = std::chrono::steady_clock::now();
    bool killed = false;
    std::string partial;
    for (;;) {
        if (!killed && killAfter.count() >= 0 &&
            std::chrono::steady_clock::now() - start >= killAfter) {
            ::kill(pid, SIGKILL);
            killedAt = std::chrono::steady_clock::now();
            killed = true;
        }
        pollfd fd{out[0], POLLIN, 0};
        if (::poll(&fd, 1, 1) == 0)
            continue;
        char buffer[65536];
        const ssize_t got = ::read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        const auto now = std::chrono::steady_clock::now();
        partial.append(buffer, static_cast<std::size_t>(got));
        std::size_t end;
        while ((end = partial.find('\n')) != std::string::npos) {
            lines.push_back({partial.substr(0, end), now});
            partial.erase(0, end + 1);
        }
    }
    ::close(out[0]);
    ::waitpid(pid, &status, 0);
    return lines;
}

struct CHistoryRows {
    std::string integrity;
    std::vector<std::string> lines; // time, market, code, name, reason as the printed line has them
};

CHistoryRows ReadHistory(const std::string& path)
{
    CHistoryRows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        rows.integrity = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    const char* sql = "SELECT time, market, code, name, reason FROM alerts ORDER BY id";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const int time = sqlite3_column_int(statement, 0);
            char clock[16];
            std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", time / 3600, time / 60 % 60,
                          time % 60);
            std::string line = clock;
            line += '\t' + std::to_string(sqlite3_column_int(statement, 1));
            for (int column : {2, 3, 4})
                line += '\t' + std::string(reinterpret_cast<const char*>(
                                   sqlite3_column_text(statement, column)));
            rows.lines.push_back(line);
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// The printed line without its price and volume, as the history is compared with it.
std::string Comparable(const std::string& printed)
{
    std::vector<std::string> fields;
    std::istringstream in(printed);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    if (fields.size() != 7)
        return printed;
    return fields[0] + '\t' + fields[1] + '\t' + fields[2] + '\t' + fields[3] + '\t' + fields[6];
}

int Kills()
{
    const char* text = std::getenv("VELK_KILLS");
    const int kills = text ? std::atoi(text) : 0;
    return kills > 0 ? std::min(kills, 40) : 8;
}

} // namespace

TEST(KillDuringReplay, HistoryIsSoundAndHoldsThePrintedAlertsLessAtMostTheLastFrame)
{
    CTempDir dir;
    const std::string day = dir.File("day");
    WriteDay(day, dir.File("template"));

    // One whole run tells how long a replay takes.
    std::chrono::steady_clock::time_point unused;
    int status = 0;
    const std::string wholeRoot = dir.File("whole");
    std::filesystem::copy(dir.File("template"), wholeRoot,
                          std::filesystem::copy_options::recursive);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<CPrintedLine> whole =
        RunAndKill(wholeRoot, day, std::chrono::milliseconds(-1), unused, status);
    const auto length = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(whole.size(), 2000u);
    EXPECT_EQ(ReadHistory(CAlertHistoryPath(wholeRoot)).lines.size(), whole.size());

    std::mt19937 random(static_cast<unsigned>(std::random_device{}()));
    int midReplay = 0;
    // Random moments fall before the first alert now and then; the kills go on (up to 40) until
    // one has hit a replay in the middle.
    for (int kill = 0; kill < Kills() || (midReplay == 0 && kill < 40); ++kill) {
        const std::string root = dir.File("run" + std::to_string(kill));
        std::filesystem::copy(dir.File("template"), root, std::filesystem::copy_options::recursive);
        const std::chrono::milliseconds after(random() % static_cast<unsigned>(length.count() + 1));
        std::chrono::steady_clock::time_point killedAt;
        const std::vector<CPrintedLine> printed = RunAndKill(root, day, after, killedAt, status);
        SCOPED_TRACE("killed after " + std::to_string(after.count()) + " ms of " +
                     std::to_string(length.count()) + ", " + std::to_string(printed.size()) +
                     " lines printed");
        if (!std::filesystem::exists(CAlertHistoryPath(root)))
            continue; // killed before the history was opened
        const CHistoryRows rows = ReadHistory(CAlertHistoryPath(root));
        EXPECT_EQ(rows.integrity, "ok");
        ASSERT_LE(rows.lines.size(), printed.size());
        for (std::size_t i = 0; i < rows.lines.size(); ++i)
            ASSERT_EQ(rows.lines[i], Comparable(printed[i].text)) << "row " << i;
        // What the history lacks was printed during the frame the kill cut short: a frame is
        // 16 ms; a busy machine may stretch it, never to a quarter of a second.
        for (std::size_t i = rows.lines.size(); i < printed.size(); ++i)
            EXPECT_LT(killedAt - printed[i].arrived, std::chrono::milliseconds(250))
                << "line " << i << " was printed long before the kill and is not in the history";
        if (!printed.empty() && printed.size() < whole.size())
            ++midReplay;
    }
    // The kills must have hit replays in the middle, not only before or after them.
    EXPECT_GT(midReplay, 0);
}
