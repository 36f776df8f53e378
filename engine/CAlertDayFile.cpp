#include "CAlertDayFile.h"

#include <cstring>

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

std::string_view CAlertDayFile::Bytes(const std::vector<Ta_ALERTRECORD>& alerts)
{
    return {reinterpret_cast<const char*>(alerts.data()), alerts.size() * sizeof(Ta_ALERTRECORD)};
}
