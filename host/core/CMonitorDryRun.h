#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/CMarketMonitorSettings.h"
#include "engine/VelkRecords.h"

class CTradingDay;

// A trial of drafted monitor settings on a recorded day, before anything is saved: the day is
// replayed headless into an engine of its own, over a scratch copy of the system directory that
// holds the drafted thresholds and monitor setting, and a quote service of its own. The user's
// files and the running day are not touched.
class CMonitorDryRun {
public:
    struct Result {
        bool ok = false;
        std::string error;
        int total = 0;
        // Counts by reason text and by "code name" (UTF-8), and the first alert lines in the form
        // velk-host --headless prints them.
        std::map<std::string, int> perReason;
        std::map<std::string, int> perStock;
        std::vector<std::string> first;
    };

    static constexpr int kFirstAlerts = 20;

    static Result Run(const CTradingDay& day, const std::string& sysDir,
                      const Ta_ALERTSETTING& ratios, const CMarketMonitorSettings& settings);
};
