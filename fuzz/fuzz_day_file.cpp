// Reads one input as the day's alert file, the way the alert list window reads it when it is
// created and velk-host's dump-day prints it, then writes the list back as the window does
// when it is destroyed. Both readers must see the same whole records, texts must end inside
// their fields, the JSON must be valid UTF-8, a damaged file must be kept byte for byte beside
// the rewritten one, and the rewritten file must read back unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/CAlertDayFile.h"
#include "fuzz/FuzzSupport.h"
#include "host/core/CConditionDump.h"
#include "platform/core/VelkFile.h"

using VelkFuzz::Require;

namespace {

VelkFuzz::CScratchDir& Dir()
{
    static VelkFuzz::CScratchDir dir;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = CAlertDayFile::PathFor(Dir().Path(), 20211201);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t whole = size / sizeof(Ta_ALERTRECORD);
    VelkFuzz::PlaceFile(path, bytes);
    std::error_code ec;
    std::filesystem::remove(CAlertDayFile::DamagedPath(path), ec);

    // The engine's list may already hold alerts when the window is created.
    CAlertRecordList alerts(1);
    Require(CAlertDayFile::Load(path, alerts));
    Require(alerts.size() == 1 + whole);
    for (const Ta_ALERTRECORD& record : alerts) {
        Require(VelkFieldText(record.m_szCode).size() < sizeof record.m_szCode);
        Require(VelkFieldText(record.m_szName).size() < sizeof record.m_szName);
        Require(VelkFieldText(record.m_szReason).size() < sizeof record.m_szReason);
    }

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

    Require(CAlertDayFile::Save(path, alerts));
    std::string kept;
    if (size % sizeof(Ta_ALERTRECORD) != 0)
        Require(VelkReadFile(CAlertDayFile::DamagedPath(path), kept) && kept == bytes);
    else
        Require(!VelkFileExists(CAlertDayFile::DamagedPath(path)));
    CAlertRecordList again;
    Require(CAlertDayFile::Load(path, again) && again.size() == alerts.size());
    Require(std::equal(again.begin(), again.end(), alerts.begin(),
                       [](const Ta_ALERTRECORD& a, const Ta_ALERTRECORD& b) {
                           return std::memcmp(&a, &b, sizeof a) == 0;
                       }));
    return 0;
}
