#pragma once

#include <string>
#include <vector>

// The command line of velk-host.
class CHostCommandLine {
public:
    enum class Command { Help, Replay, Dump, DumpDay, Monitor, Feed, History };

    // False with Error() set when the arguments make no sense.
    bool Parse(const std::vector<std::string>& args);

    Command GetCommand() const { return m_command; }
    bool Headless() const { return m_bHeadless; }
    bool Silent() const { return m_bSilent; }
    // Wait for another velk-host on the same data directory instead of giving up.
    bool WaitLock() const { return m_bWaitLock; }
    // The run keeps no alert history.
    bool NoHistory() const { return m_bNoHistory; }
    // The desktop window plays the day as soon as it is open.
    bool Play() const { return m_bPlay; }
    // What follows `history`, for its own parser.
    const std::vector<std::string>& CommandArgs() const { return m_vecCommandArgs; }
    const std::string& Root() const { return m_strRoot; }
    const std::string& Day() const { return m_strDay; }
    const std::string& File() const { return m_strFile; }
    // The live feed's address (Command::Feed).
    const std::string& Feed() const { return m_strFeed; }
    // The folder for the pictures of the windows; empty when none are asked for.
    const std::string& Screenshots() const { return m_strScreenshots; }
    const std::string& Error() const { return m_strError; }
    // The words after "monitor": empty, "on", "off", or "set" and NAME=VALUE words.
    const std::vector<std::string>& MonitorArgs() const { return m_vecMonitorArgs; }

    static std::string Usage();
    // $XDG_DATA_HOME/velk-host, else ~/.local/share/velk-host; empty when neither is known.
    static std::string DefaultRoot();

private:
    Command m_command = Command::Help;
    bool m_bHeadless = false;
    bool m_bSilent = false;
    bool m_bWaitLock = false;
    bool m_bNoHistory = false;
    bool m_bPlay = false;
    std::vector<std::string> m_vecCommandArgs;
    std::string m_strRoot;
    std::string m_strDay;
    std::string m_strFile;
    std::string m_strFeed;
    std::string m_strScreenshots;
    std::string m_strError;
    std::vector<std::string> m_vecMonitorArgs;
};
