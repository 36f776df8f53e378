#include "host/core/CMonitorDryRun.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/VelkServices.h"
#include "host/core/CAlertPrinter.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "hostlibs/CQuoteStore.h"
#include "hostlibs/IHostBackend.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"

namespace {

// Counts what the engine records.
class CCounter final : public IVelkAlertObserver {
public:
    explicit CCounter(CMonitorDryRun::Result& result) : m_result(result) {}
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        ++m_result.total;
        ++m_result.perReason[TextCodec::GbkToUtf8(VelkFieldText(record.m_szReason))];
        ++m_result.perStock[VelkFieldText(record.m_szCode) + " " +
                            TextCodec::GbkToUtf8(VelkFieldText(record.m_szName))];
        if (m_result.first.size() < CMonitorDryRun::kFirstAlerts)
            m_result.first.push_back(CAlertPrinter::FormatLine(record));
    }

private:
    CMonitorDryRun::Result& m_result;
};

// A folder of its own under the system's temporary folder, removed with the object.
class CScratchDir {
public:
    CScratchDir()
    {
        std::string templ =
            (std::filesystem::temp_directory_path() / "velk-dry-run-XXXXXX").string();
        if (::mkdtemp(templ.data()))
            m_strPath = templ;
    }
    ~CScratchDir()
    {
        std::error_code ec;
        if (!m_strPath.empty())
            std::filesystem::remove_all(m_strPath, ec);
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

} // namespace

CMonitorDryRun::Result CMonitorDryRun::Run(const CTradingDay& day, const std::string& sysDir,
                                           const Ta_ALERTSETTING& ratios,
                                           const CMarketMonitorSettings& settings)
{
    Result result;
    CScratchDir scratch;
    if (scratch.Path().empty()) {
        result.error = "no scratch folder could be made for the trial";
        return result;
    }
    const std::string scratchSys = VelkJoinPath(scratch.Path(), "SYS");
    std::error_code ec;
    std::filesystem::create_directories(scratchSys, ec);
    // The condition and list files only: a day file, logs or the user's folders stay behind.
    for (const char* name :
         {"alert.cfg", "Magic.cfg", "System_alert.cfg", "UserInfo.cfg", "StataBarInfo.ini"}) {
        const std::string from = VelkJoinPath(sysDir, name);
        if (VelkFileExists(from))
            std::filesystem::copy_file(from, VelkJoinPath(scratchSys, name), ec);
        if (ec) {
            result.error = from + ": cannot be copied for the trial";
            return result;
        }
    }
    // The drafted thresholds replace those at the head of alert.cfg; without one the options
    // are quiet.
    std::string alert;
    VelkReadFile(VelkJoinPath(scratchSys, "alert.cfg"), alert);
    if (alert.size() < sizeof(Ta_ALERTSETTING) + sizeof(Ta_OTHERALERT)) {
        Ta_OTHERALERT options{};
        alert.assign(sizeof(Ta_ALERTSETTING), '\0');
        alert.append(reinterpret_cast<const char*>(&options), sizeof options);
    }
    std::memcpy(alert.data(), &ratios, sizeof ratios);
    if (!VelkReplaceFile(VelkJoinPath(scratchSys, "alert.cfg"), alert) ||
        !CMarketMonitorSettings(settings).Save(scratchSys)) {
        result.error = scratchSys + ": the drafted settings cannot be written";
        return result;
    }

    // A quote service of the trial's own, so that the open day's is left as it stands.
    CQuoteStore store;
    CScopedHostBackend backend(store);
    CDayReplay replay(day, store);
    replay.FillStore(scratchSys);
    CCounter counter(result);
    // No windows, no sound, no message boxes: nothing of the trial reaches the screen.
    const CVelkServices services{};
    replay.Run(&services, scratchSys, &counter);
    result.ok = true;
    return result;
}
