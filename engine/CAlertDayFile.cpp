#include "CAlertDayFile.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "VelkFile.h"

std::string CAlertDayFile::PathFor(const std::string& dir, int tradeDate)
{
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d.alt", tradeDate / 10000, tradeDate % 10000 / 100,
                  tradeDate % 100);
    return VelkJoinPath(dir, name);
}

bool CAlertDayFile::Load(const std::string& path, std::vector<Ta_ALERTRECORD>& alerts)
{
    std::string bytes;
    if (!VelkReadFile(path, bytes))
        return false;
    AppendRecords(bytes, alerts);
    return true;
}

std::size_t CAlertDayFile::AppendRecords(std::string_view bytes, std::vector<Ta_ALERTRECORD>& alerts)
{
    const std::size_t count = bytes.size() / sizeof(Ta_ALERTRECORD);
    alerts.reserve(alerts.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        Ta_ALERTRECORD record{};
        std::memcpy(&record, bytes.data() + i * sizeof record, sizeof record);
        // The texts of a damaged file end inside their fields before anyone copies them.
        VelkTerminate(record.m_szCode);
        VelkTerminate(record.m_szName);
        VelkTerminate(record.m_szReason);
        alerts.push_back(record);
    }
    return count;
}

bool CAlertDayFile::Save(const std::string& path, const std::vector<Ta_ALERTRECORD>& alerts)
{
    // The bytes of a cut-off record were not loaded and would be gone with the rewrite. When
    // they cannot be kept (a folder that takes no new files) the day's alerts are written all
    // the same: they weigh more than a record that no longer reads.
    std::uint64_t size = 0;
    if (VelkFileSize(path, size) && size % sizeof(Ta_ALERTRECORD) != 0)
        VelkKeepCopy(path, DamagedPath(path));
    return VelkReplaceFile(path, std::string_view(reinterpret_cast<const char*>(alerts.data()),
                                                  alerts.size() * sizeof(Ta_ALERTRECORD)));
}

std::string CAlertDayFile::DamagedPath(const std::string& path)
{
    return path + ".damaged";
}
