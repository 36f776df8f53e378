#include "host/core/CMonitorCommand.h"

#include <cstring>

#include "engine/CMarketMonitorSettings.h"
#include "engine/VelkRecords.h"
#include "platform/core/VelkFile.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

std::string RatioText(float ratio)
{
    if (ratio < 0)
        return "off";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(ratio));
    return buffer;
}

// The thresholds as alert.cfg stores them, as comment lines; nothing when it holds none.
std::string ThresholdLines(const std::string& sysDir)
{
    std::string bytes;
    if (!VelkReadFile(VelkJoinPath(sysDir, "alert.cfg"), bytes) ||
        bytes.size() < sizeof(Ta_ALERTSETTING))
        return "# alert.cfg holds no ratio settings: the monitor rules use the defaults\n";
    Ta_ALERTSETTING setting{};
    std::memcpy(&setting, bytes.data(), sizeof setting);
    std::string text = "# thresholds in alert.cfg\n";
    text += std::string("# limit_price_switch=") + (setting.m_bLimitPrice ? "1" : "0") + "\n";
    text += "# rise_ratio=" + RatioText(setting.m_fRiseRatio) + "\n";
    text += "# fall_ratio=" + RatioText(setting.m_fFallRatio) + "\n";
    text += "# volume_ratio=" + RatioText(setting.m_fVolumeRatio) + "\n";
    text += "# single_trade_ratio=" + RatioText(setting.m_fSingleRatio) + "\n";
    text += "# large_amount=" + RatioText(setting.m_fLargeAmount) + "\n";
    text += "# large_volume_share=" + RatioText(setting.m_fLargeVolume) + "\n";
    return text;
}

} // namespace

bool CMonitorCommand::Check(const std::vector<std::string>& args, std::string& error)
{
    if (args.empty())
        return true;
    if (args[0] == "on" || args[0] == "off") {
        if (args.size() == 1)
            return true;
        error = "monitor " + args[0] + " takes nothing more";
        return false;
    }
    if (args[0] == "set") {
        if (args.size() < 2) {
            error = "monitor set needs NAME=VALUE";
            return false;
        }
        for (std::size_t i = 1; i < args.size(); ++i)
            if (args[i].find('=') == std::string::npos) {
                error = "\"" + args[i] + "\" is not NAME=VALUE";
                return false;
            }
        return true;
    }
    error = "monitor takes on, off or set NAME=VALUE ..., not \"" + args[0] + "\"";
    return false;
}

int CMonitorCommand::Run(const std::string& sysDir, const std::vector<std::string>& args,
                         std::FILE* out, std::FILE* err)
{
    std::string error;
    if (!Check(args, error)) {
        std::fprintf(err, "velk-host: %s\n", error.c_str());
        return kExitBadInput;
    }
    CMarketMonitorSettings settings;
    const bool read = settings.Load(sysDir, error);
    if (args.empty()) {
        if (!read)
            std::fprintf(err, "velk-host: %s\n", error.c_str());
        const std::string text = settings.ToText() + ThresholdLines(sysDir);
        std::fwrite(text.data(), 1, text.size(), out);
        return read ? 0 : kExitFailure;
    }
    // A setting that could not be read would be lost by writing the file anew.
    if (!read) {
        std::fprintf(err, "velk-host: %s; nothing changed\n", error.c_str());
        return kExitFailure;
    }
    if (args[0] == "on" || args[0] == "off") {
        settings.enabled = args[0] == "on";
    } else {
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::size_t equals = args[i].find('=');
            if (!settings.Set(args[i].substr(0, equals), args[i].substr(equals + 1), error)) {
                std::fprintf(err, "velk-host: %s; nothing changed\n", error.c_str());
                return kExitBadInput;
            }
        }
    }
    if (!VelkCreateDirectories(sysDir) || !settings.Save(sysDir)) {
        std::fprintf(err, "velk-host: cannot write %s: %s\n",
                     VelkJoinPath(sysDir, CMarketMonitorSettings::kFileName).c_str(),
                     VelkFileError().c_str());
        return kExitFailure;
    }
    return 0;
}
