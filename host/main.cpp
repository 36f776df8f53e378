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

#ifdef VELK_HOST_HAS_UI
#include "CQtHostSession.h"
#endif

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

int RunReplay(const CHostCommandLine& options, int& argc, char** argv)
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
#ifdef VELK_HOST_HAS_UI
    // The engine runs with the module's own windows, message boxes and sound, as in the
    // quote application; it is gone before the session tears down the main window.
    CQtHostSession session(argc, argv, stderr);
    replay.SetAfterEachCall([&session] { session.ProcessEvents(); });
    if (options.Silent()) {
        const CVelkServices services = CQtHostSession::EngineServices(true);
        replay.Run(&services, sysDir, &printer);
    } else {
        replay.Run(nullptr, sysDir, &printer);
    }
#else
    (void)argc;
    (void)argv;
    // Without the user interface the engine gets no windows and no sound.
    const CVelkServices services{};
    replay.Run(&services, sysDir, &printer);
#endif
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
    case CHostCommandLine::Command::DumpDay: {
        nlohmann::ordered_json dump;
        std::string error;
        if (!CConditionDump::DumpDayFile(options.File(), dump, error)) {
            std::fprintf(stderr, "velk-host: %s\n", error.c_str());
            return kExitFailure;
        }
        PrintJson(dump);
        return 0;
    }
    case CHostCommandLine::Command::Replay:
        return RunReplay(options, argc, argv);
    }
    return kExitFailure;
}
