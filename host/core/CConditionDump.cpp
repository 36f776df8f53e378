#include "host/core/CConditionDump.h"

#include <cstdio>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/VelkRecords.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkClockText.h"
#include "platform/core/VelkFile.h"

using json = nlohmann::ordered_json;

namespace {

// A float as JSON with the digits it was written with (10.05, not 10.050000190734863).
json FloatValue(float value)
{
    if (!std::isfinite(value))
        return nullptr;
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value);
    double shortest = 0;
    std::from_chars(text, result.ptr, shortest);
    return shortest;
}

template <std::size_t N> json TextValue(const char (&field)[N])
{
    return TextCodec::GbkToUtf8(VelkFieldText(field));
}

// One record read from a file that may end inside it: the record is zero-filled past the end
// and only the fields that lie wholly inside the file are put out.
template <typename Record> class CPartialRecord {
public:
    CPartialRecord(const std::string& bytes, std::size_t offset) : m_record{}
    {
        m_nHeld = offset < bytes.size() ? std::min(sizeof(Record), bytes.size() - offset) : 0;
        if (m_nHeld)
            std::memcpy(&m_record, bytes.data() + offset, m_nHeld);
    }

    const Record& Get() const { return m_record; }

    // The field goes by member pointer: the record is packed, and a reference to one of its
    // wider fields would be misaligned.
    template <typename Field>
    void Put(json& out, const char* key, Field Record::*member, json value) const
    {
        std::size_t end = reinterpret_cast<const char*>(&(m_record.*member)) -
                          reinterpret_cast<const char*>(&m_record) + sizeof(Field);
        if (end <= m_nHeld)
            out[key] = std::move(value);
    }

private:
    Record m_record;
    std::size_t m_nHeld;
};

json AlertSetting(const std::string& bytes)
{
    CPartialRecord<Ta_ALERTSETTING> r(bytes, 0);
    const Ta_ALERTSETTING& s = r.Get();
    json out = json::object();
    r.Put(out, "popup_dialog", &Ta_ALERTSETTING::m_bPopupDialog, +s.m_bPopupDialog);
    r.Put(out, "sound", &Ta_ALERTSETTING::m_bSound, +s.m_bSound);
    r.Put(out, "new_high", &Ta_ALERTSETTING::m_bNewHigh, +s.m_bNewHigh);
    r.Put(out, "new_low", &Ta_ALERTSETTING::m_bNewLow, +s.m_bNewLow);
    r.Put(out, "limit_price", &Ta_ALERTSETTING::m_bLimitPrice, +s.m_bLimitPrice);
    r.Put(out, "rise_ratio", &Ta_ALERTSETTING::m_fRiseRatio, FloatValue(s.m_fRiseRatio));
    r.Put(out, "fall_ratio", &Ta_ALERTSETTING::m_fFallRatio, FloatValue(s.m_fFallRatio));
    r.Put(out, "volume_ratio", &Ta_ALERTSETTING::m_fVolumeRatio, FloatValue(s.m_fVolumeRatio));
    r.Put(out, "single_ratio", &Ta_ALERTSETTING::m_fSingleRatio, FloatValue(s.m_fSingleRatio));
    r.Put(out, "large_amount", &Ta_ALERTSETTING::m_fLargeAmount, FloatValue(s.m_fLargeAmount));
    r.Put(out, "large_volume", &Ta_ALERTSETTING::m_fLargeVolume, FloatValue(s.m_fLargeVolume));
    return out;
}

json OtherAlert(const std::string& bytes, std::size_t offset)
{
    CPartialRecord<Ta_OTHERALERT> r(bytes, offset);
    const Ta_OTHERALERT& o = r.Get();
    json out = json::object();
    r.Put(out, "sound_mode", &Ta_OTHERALERT::m_nSoundMode, +o.m_nSoundMode);
    r.Put(out, "wave_path", &Ta_OTHERALERT::m_szWavePath, TextValue(o.m_szWavePath));
    r.Put(out, "popup", &Ta_OTHERALERT::m_byPopup, +o.m_byPopup);
    return out;
}

json Switches(const std::string& bytes)
{
    CPartialRecord<Ta_SYSTEMSWITCH> r(bytes, 0);
    const Ta_SYSTEMSWITCH& s = r.Get();
    json out = json::object();
    r.Put(out, "new_high", &Ta_SYSTEMSWITCH::m_byNewHigh, +s.m_byNewHigh);
    r.Put(out, "new_low", &Ta_SYSTEMSWITCH::m_byNewLow, +s.m_byNewLow);
    r.Put(out, "limit_price", &Ta_SYSTEMSWITCH::m_byLimit, +s.m_byLimit);
    std::int32_t range = s.m_nRange;
    r.Put(out, "range", &Ta_SYSTEMSWITCH::m_nRange, range);
    return out;
}

json Stock(const Ta_VELKPRICEALERT& s)
{
    // Copied out whole: the packed array's elements may sit at any address.
    std::int32_t switches[sizeof s.m_nMagic / sizeof(std::int32_t)];
    std::memcpy(switches, s.m_nMagic, sizeof switches);
    json magic = json::array();
    for (std::int32_t value : switches)
        magic.push_back(value);
    return {{"market", s.m_byMarket},          {"code", TextValue(s.m_szCode)},
            {"name", TextValue(s.m_szName)},   {"prev_close", FloatValue(s.m_fPreClose)},
            {"upper", FloatValue(s.m_fUpper)}, {"lower", FloatValue(s.m_fLower)},
            {"last", FloatValue(s.m_fLast)},   {"magic", magic}};
}

// Whole records from offset on; what is left after the last whole record is ignored.
template <typename Record, typename Convert>
json Records(const std::string& bytes, std::size_t offset, Convert convert, json& file)
{
    json list = json::array();
    std::size_t count = bytes.size() > offset ? (bytes.size() - offset) / sizeof(Record) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        Record record;
        std::memcpy(&record, bytes.data() + offset + i * sizeof(Record), sizeof(Record));
        list.push_back(convert(record));
    }
    std::size_t used = offset + count * sizeof(Record);
    file["ignored_bytes"] = bytes.size() > used ? bytes.size() - used : 0;
    return list;
}

json ReadOrNull(const std::string& path, json (*dump)(const std::string&))
{
    std::string bytes;
    if (!VelkReadFile(path, bytes)) {
        // Missing is null, as the engine sees it; something there that is no readable file
        // is said, or the dump would look like a missing file.
        if (VelkFileExists(path))
            std::fprintf(stderr, "velk-host: %s\n", VelkFileError().c_str());
        return nullptr;
    }
    return dump(bytes);
}

} // namespace

json CConditionDump::DumpAlertCfg(const std::string& bytes)
{
    json file = {{"size", bytes.size()}};
    file["alert_setting"] = AlertSetting(bytes);
    file["other_alert"] = OtherAlert(bytes, sizeof(Ta_ALERTSETTING));
    file["price_alerts"] = Records<Ta_VELKPRICEALERT>(
        bytes, sizeof(Ta_ALERTSETTING) + sizeof(Ta_OTHERALERT), Stock, file);
    return file;
}

json CConditionDump::DumpMagicCfg(const std::string& bytes)
{
    json file = {{"size", bytes.size()}};
    file["magic_alerts"] = Records<Ta_VELKPRICEALERT>(bytes, 0, Stock, file);
    return file;
}

json CConditionDump::DumpSystemAlertCfg(const std::string& bytes)
{
    json file = {{"size", bytes.size()}};
    file["switches"] = Switches(bytes);
    file["system_alerts"] = Records<Ta_VELKPRICEALERT>(bytes, sizeof(Ta_SYSTEMSWITCH), Stock, file);
    return file;
}

json CConditionDump::DumpAlertRecords(const std::string& bytes)
{
    json file = {{"size", bytes.size()}};
    file["alert_records"] = Records<Ta_ALERTRECORD>(
        bytes, 0,
        [](const Ta_ALERTRECORD& r) {
            const std::string clock = VelkClockText(static_cast<long long>(r.m_nTime));
            return json{{"market", r.m_byMarket},
                        {"code", TextValue(r.m_szCode)},
                        {"name", TextValue(r.m_szName)},
                        {"time", +r.m_nTime},
                        {"time_text", clock},
                        {"price", FloatValue(r.m_fPrice)},
                        {"volume", FloatValue(r.m_fVolume)},
                        {"reason", TextValue(r.m_szReason)}};
        },
        file);
    return file;
}

json CConditionDump::DumpConditions(const std::string& sysDir)
{
    return {{"alert.cfg", ReadOrNull(VelkJoinPath(sysDir, "alert.cfg"), DumpAlertCfg)},
            {"Magic.cfg", ReadOrNull(VelkJoinPath(sysDir, "Magic.cfg"), DumpMagicCfg)},
            {"System_alert.cfg",
             ReadOrNull(VelkJoinPath(sysDir, "System_alert.cfg"), DumpSystemAlertCfg)}};
}

bool CConditionDump::DumpDayFile(const std::string& path, json& out, std::string& error)
{
    std::string bytes;
    if (!VelkReadFile(path, bytes)) {
        const char* why = !VelkFileExists(path)   ? "no such file"
                          : VelkIsDirectory(path) ? "is a directory"
                                                  : nullptr;
        error = why ? path + ": " + why : VelkFileError();
        return false;
    }
    out = DumpAlertRecords(bytes);
    return true;
}
