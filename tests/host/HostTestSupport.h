#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/VelkRecords.h"
#include "platform/core/TextCodec.h"
#include "tests/support/CTempDir.h"

extern char** environ;

namespace hosttest {

using ::CTempDir;

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

template <typename Record> std::string Bytes(const Record& record)
{
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

inline Ta_VELKPRICEALERT Stock(unsigned char market, const std::string& code,
                               const std::string& nameUtf8, float upper = 0, float lower = 0,
                               std::initializer_list<int> magicOn = {})
{
    Ta_VELKPRICEALERT stock{};
    stock.m_byMarket = market;
    VelkCopyText(stock.m_szCode, code);
    VelkCopyText(stock.m_szName, TextCodec::Utf8ToGbk(nameUtf8));
    stock.m_fUpper = upper;
    stock.m_fLower = lower;
    for (int index : magicOn)
        stock.m_nMagic[index] = 1;
    return stock;
}

inline Ta_ALERTSETTING DefaultSetting()
{
    return Ta_ALERTSETTING{1, 1, 1, 1, 1, -1.0f, -1.0f, 50.0f, 2.0f, 100.0f, 0.1f};
}

// Options that keep a headless run quiet: no sound, no pop-up.
inline Ta_OTHERALERT QuietOptions()
{
    Ta_OTHERALERT options{};
    options.m_nSoundMode = 0;
    options.m_byPopup = 0;
    return options;
}

inline std::string AlertCfg(const std::vector<Ta_VELKPRICEALERT>& prices,
                            const Ta_OTHERALERT& options = QuietOptions())
{
    std::string bytes = Bytes(DefaultSetting()) + Bytes(options);
    for (const Ta_VELKPRICEALERT& stock : prices)
        bytes += Bytes(stock);
    return bytes;
}

inline std::string SystemAlertCfg(const std::vector<Ta_VELKPRICEALERT>& stocks,
                                  std::uint8_t newHigh, std::uint8_t newLow, std::uint8_t limit,
                                  std::int32_t range)
{
    Ta_SYSTEMSWITCH switches{newHigh, newLow, limit, range};
    std::string bytes = Bytes(switches);
    for (const Ta_VELKPRICEALERT& stock : stocks)
        bytes += Bytes(stock);
    return bytes;
}

inline std::string MagicCfg(const std::vector<Ta_VELKPRICEALERT>& stocks)
{
    std::string bytes;
    for (const Ta_VELKPRICEALERT& stock : stocks)
        bytes += Bytes(stock);
    return bytes;
}

struct HostResult {
    int status = -1;
    bool timedOut = false;
    std::string out;
    std::string err;
};

// velk-host's argument vector and its environment as posix_spawn takes them: extraEnv entries
// NAME=VALUE are set, a bare NAME is removed from the inherited environment. The arrays point into
// this object's strings, so it is neither copied nor moved.
class CHostSpawnVectors {
public:
    CHostSpawnVectors(const std::vector<std::string>& args,
                      const std::vector<std::string>& extraEnv)
    {
        m_argv.push_back(VELK_HOST_BINARY);
        m_argv.insert(m_argv.end(), args.begin(), args.end());
        for (const std::string& extra : extraEnv)
            if (extra.find('=') != std::string::npos)
                m_env.push_back(extra);
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            bool replaced = false;
            for (const std::string& extra : extraEnv)
                replaced = replaced || extra.substr(0, extra.find('=')) == name;
            if (!replaced)
                m_env.push_back(entry);
        }
        for (std::string& arg : m_argv)
            m_rawArgv.push_back(arg.data());
        m_rawArgv.push_back(nullptr);
        for (std::string& entry : m_env)
            m_rawEnv.push_back(entry.data());
        m_rawEnv.push_back(nullptr);
    }
    CHostSpawnVectors(const CHostSpawnVectors&) = delete;
    CHostSpawnVectors& operator=(const CHostSpawnVectors&) = delete;

    char* const* Argv() const { return m_rawArgv.data(); }
    char* const* Envp() const { return m_rawEnv.data(); }

private:
    std::vector<std::string> m_argv;
    std::vector<std::string> m_env;
    std::vector<char*> m_rawArgv;
    std::vector<char*> m_rawEnv;
};

// Runs velk-host with the arguments; its output goes through files in a scratch directory.
// Its standard input is a pipe that stays open and silent, so a run that waits for an answer
// hangs until the time limit, is killed and reports timedOut. extraEnv entries NAME=VALUE are
// set, a bare NAME is removed from the environment.
inline HostResult RunHost(const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {},
                          std::chrono::seconds limit = std::chrono::seconds(60))
{
    CTempDir scratch;
    const std::string outPath = scratch.File("stdout");
    const std::string errPath = scratch.File("stderr");
    int input[2] = {-1, -1};
    if (::pipe(input) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[0]);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    CHostSpawnVectors vectors(args, extraEnv);
    HostResult result;
    pid_t pid = 0;
    const bool spawned =
        posix_spawn(&pid, VELK_HOST_BINARY, &actions, nullptr, vectors.Argv(), vectors.Envp()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    if (spawned) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                result.timedOut = true;
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ::close(input[1]);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

// Every path under a directory with its size, to see that a run changed nothing.
inline std::set<std::string> Listing(const std::string& dir)
{
    std::set<std::string> entries;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::string entry = it->path().string();
        if (it->is_regular_file()) {
            entry += ' ';
            entry += std::to_string(it->file_size());
            entry += ' ';
            entry += ReadFile(it->path().string());
        }
        entries.insert(entry);
    }
    return entries;
}

// A small trading day: one exchange, two stocks, the given trades and signals.
inline void WriteDay(const std::string& dir, const std::string& trades,
                     const std::string& signals = "", const std::string& magic = "")
{
    WriteFile(dir + "/day.csv", "trade_date\n20240105\n");
    WriteFile(dir + "/markets.csv", "market,ext,level1\n1,SH,1\n2,SZ,2\n");
    WriteFile(dir + "/symbols.csv", "market,code,name,prev_close,limit_up,limit_down\n"
                                    "1,600000,浦发银行,10.00,11.00,9.00\n"
                                    "2,000001,平安银行,12.00,13.20,10.80\n");
    WriteFile(dir + "/trades.csv", "time,market,code,price,volume\n" + trades);
    if (!signals.empty())
        WriteFile(dir + "/signals.csv", "time,market,code,number\n" + signals);
    if (!magic.empty())
        WriteFile(dir + "/magic.csv", "number,name\n" + magic);
}

} // namespace hosttest
