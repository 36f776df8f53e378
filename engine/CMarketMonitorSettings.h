#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/VelkExport.h"

// The market monitor's own stored setting, MarketMonitor.cfg in the system directory: the
// master switch of the monitor rules, how often each alert reason may repeat, the steps for new
// highs and lows, and the stocks muted for a day. A text file of NAME=VALUE lines beside the
// byte-exact condition files, which it never touches; without it everything is at its default
// and the engine raises exactly the alerts it raises without a monitor.
class VELK_EXPORT CMarketMonitorSettings {
public:
    static constexpr int kReasonCount = 14;
    static constexpr const char* kFileName = "MarketMonitor.cfg";

    enum class Repeat { Every, OncePerDay, Cooldown };
    struct ReasonRule {
        Repeat repeat = Repeat::Every;
        int cooldownSeconds = 0;
    };
    struct Mute {
        unsigned char market = 0;
        std::string code;
        int date = 0; // yyyymmdd: the trading day the stock is silent on
    };

    bool enabled = false;
    std::array<ReasonRule, kReasonCount> rules{};
    // Percent beyond the last alerted high (low) that the next new-high (new-low) alert needs;
    // 0 alerts every new high (low).
    double newHighStep = 0;
    double newLowStep = 0;
    std::vector<Mute> mutes;

    // Whether any repeat rule, step or mute may hold an alert back.
    bool HasNoiseControl() const;
    bool IsMuted(unsigned char market, const std::string& code, int date) const;
    // Mutes the stock for the date; mutes of other dates are over and dropped.
    void MuteForDay(unsigned char market, const std::string& code, int date);
    void Unmute(unsigned char market, const std::string& code);

    // The reason's name in the file and on velk-host's command line ("limit_up", "rise", ...),
    // and back; -1 for a name that is none.
    static const char* ReasonName(int reason);
    static int ReasonByName(const std::string& name);

    // Sets one NAME=VALUE: enabled=0|1, REASON=every|once|Ns, new_high_step=X, new_low_step=X,
    // mute.MARKET.CODE=yyyymmdd (empty: unmuted). False with error set for anything else; the
    // settings are then unchanged.
    bool Set(const std::string& name, const std::string& value, std::string& error);

    // The file's text, every setting in a fixed order, and back. Parse takes what it can read
    // and reports the first line it could not in error (false); the other lines still count.
    std::string ToText() const;
    bool Parse(const std::string& text, std::string& error);

    // Missing file: defaults and true. Unreadable lines: false with error, the rest loaded.
    bool Load(const std::string& sysDir, std::string& error);
    // Replaced atomically under the folder's lock; false when it could not be written (the
    // old file then stays, VelkFileError says why). When these settings were loaded from or
    // last saved to the same file, what another program stored there since is joined key by
    // key and these settings take it in; where both changed one key differently nothing is
    // written and Conflict() is true.
    bool Save(const std::string& sysDir);
    bool Conflict() const { return m_bConflict; }

private:
    // The file's text as last read or written, in ToText's form, and its path: the common
    // ground of a save and another program's changes.
    std::string m_strBase;
    std::string m_strBasePath;
    bool m_bConflict = false;
};
