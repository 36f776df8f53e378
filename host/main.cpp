#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "CAlertPrinter.h"
#include "CConditionDump.h"
#include "CDayReplay.h"
#include "CHostCommandLine.h"
#include "CQuoteStore.h"
#include "CTradingDay.h"
#include "VelkFile.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

void PrintJson(const nlohmann::ordered_json& value)
{
    // Texts come out of GBK conversion and are valid UTF-8; replace keeps a stray byte from
    // ending the dump.
    std::string text = value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string AbsolutePath(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    std::vector<char> buffer(4096);
    if (!::getcwd(buffer.data(), buffer.size()))
        return path;
    return VelkJoinPath(buffer.data(), path);
}

// The replay with the engine's default services left out: no windows, no sound. The user
// interface, when built in, wraps this same call in its application object.
int RunReplay(const CHostCommandLine& options)
{
    CTradingDay day;
    std::string error;
    if (!day.Load(options.Day(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitBadInput;
    }

    const std::string root = AbsolutePath(options.Root());
    if (VelkFileExists(root) && !VelkIsDirectory(root)) {
        std::fprintf(stderr, "velk-host: %s is not a directory\n", root.c_str());
        return kExitBadInput;
    }
    const std::string sysDir = VelkJoinPath(root, "SYS");
    const std::string binDir = VelkJoinPath(root, "bin");
    if (!VelkCreateDirectories(sysDir) || !VelkCreateDirectories(binDir)) {
        std::fprintf(stderr, "velk-host: cannot create %s and %s\n", sysDir.c_str(),
                     binDir.c_str());
        return kExitFailure;
    }
    // The engine finds ..\Dat\Alert and ..\SYS from the current directory, as in the host
    // application's bin folder.
    if (::chdir(binDir.c_str()) != 0) {
        std::fprintf(stderr, "velk-host: cannot enter %s\n", binDir.c_str());
        return kExitFailure;
    }

    // A reader that goes away (velk-host ... | head) must not kill the replay half-way: the
    // engine still has to be shut down, and that is when the day's alert file is written.
    std::signal(SIGPIPE, SIG_IGN);

    CDayReplay replay(day, CQuoteStore::Instance());
    replay.FillStore(sysDir);
    CAlertPrinter printer(stdout);
    replay.Run(CVelkServices{}, sysDir, &printer);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CHostCommandLine options;
    if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fprintf(stderr, "velk-host: %s\n\n%s", options.Error().c_str(),
                     CHostCommandLine::Usage().c_str());
        return kExitBadInput;
    }
    switch (options.GetCommand()) {
    case CHostCommandLine::Command::Help:
        std::fputs(CHostCommandLine::Usage().c_str(), stdout);
        return 0;
    case CHostCommandLine::Command::Dump:
        PrintJson(CConditionDump::DumpConditions(VelkJoinPath(options.Root(), "SYS")));
        return 0;
    case CHostCommandLine::Command::DumpDay:
        PrintJson(CConditionDump::DumpDayFile(options.File()));
        return 0;
    case CHostCommandLine::Command::Replay:
        return RunReplay(options);
    }
    return kExitFailure;
}
