#pragma once

#include <cstdio>
#include <string>
#include <vector>

// velk-host monitor: shows the market monitor's stored setting (MarketMonitor.cfg of the system
// directory, with the thresholds that alert.cfg holds for it), switches the monitor on or off,
// or sets rules' noise options (NAME=VALUE). The thresholds themselves stay in alert.cfg.
class CMonitorCommand {
public:
    // args: empty (show), "on", "off", or "set" followed by NAME=VALUE words. Returns the exit
    // status: 0 done, 1 the file could not be read or written, 2 bad arguments.
    static int Run(const std::string& sysDir, const std::vector<std::string>& args, std::FILE* out,
                   std::FILE* err);
    // Whether the words are a monitor command at all (checked before anything is touched).
    static bool Check(const std::vector<std::string>& args, std::string& error);
};
