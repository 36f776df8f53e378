// Reads one input as the day's alert file, the way the alert list window reads it when it is
// created and velk-host's dump-day prints it. Both must see the same whole records, texts must
// end inside their fields, the file the window writes back must read back unchanged, and the
// JSON must be valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CAlertDayFile.h"
#include "CConditionDump.h"
#include "FuzzSupport.h"

using VelkFuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t whole = size / sizeof(Ta_ALERTRECORD);

    // The engine's list may already hold alerts when the window is created.
    std::vector<Ta_ALERTRECORD> alerts(1);
    Require(CAlertDayFile::AppendRecords(bytes, alerts) == whole);
    Require(alerts.size() == 1 + whole);
    for (const Ta_ALERTRECORD& record : alerts) {
        Require(VelkFieldText(record.m_szCode).size() < sizeof record.m_szCode);
        Require(VelkFieldText(record.m_szName).size() < sizeof record.m_szName);
        Require(VelkFieldText(record.m_szReason).size() < sizeof record.m_szReason);
    }

    const std::string_view written = CAlertDayFile::Bytes(alerts);
    Require(written.size() == alerts.size() * sizeof(Ta_ALERTRECORD));
    std::vector<Ta_ALERTRECORD> again;
    Require(CAlertDayFile::AppendRecords(written, again) == alerts.size());
    Require(std::memcmp(again.data(), alerts.data(), written.size()) == 0);

    const nlohmann::ordered_json dump = CConditionDump::DumpAlertRecords(bytes);
    const nlohmann::ordered_json& records = dump["alert_records"];
    Require(dump["size"] == size);
    Require(dump["ignored_bytes"] == size - whole * sizeof(Ta_ALERTRECORD));
    Require(records.is_array() && records.size() == whole);
    for (std::size_t i = 0; i < whole; ++i) {
        const Ta_ALERTRECORD& record = alerts[1 + i];
        Require(records[i]["market"] == record.m_byMarket);
        Require(records[i]["time"] == std::int32_t{record.m_nTime});
    }
    // Strict serialisation: a text that is not valid UTF-8 throws here.
    Require(!dump.dump().empty());
    return 0;
}
