#include "host/outputs/CHistoryExport.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "engine/VelkPriceText.h"

namespace {

std::string TimeText(int time)
{
    time = ((time % 86400) + 86400) % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time / 3600, time / 60 % 60, time % 60);
    return text;
}

std::string VolumeText(double volume)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", volume);
    return text;
}

} // namespace

std::string CHistoryExport::CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string CHistoryExport::CsvStart()
{
    return "\xEF\xBB\xBF"
           "date,time,market,code,name,reason_code,reason,price,volume,source,day_folder,sequence,"
           "attempts,delivered\r\n";
}

std::string CHistoryExport::CsvRow(const CAlertHistory::Row& row)
{
    std::string out =
        row.tradingDate + ',' + TimeText(row.time) + ',' + std::to_string(row.market) + ',';
    out += CsvField("=\"" + row.code + "\"") + ',';
    out += CsvField(row.name) + ',';
    out += (row.reasonCode >= 0 ? std::to_string(row.reasonCode) : std::string()) + ',';
    out += CsvField(row.reason) + ',';
    out += VelkPriceText(static_cast<float>(row.price)) + ',' + VolumeText(row.volume) + ',';
    out += row.source + ',' + CsvField(row.dayFolder) + ',' + std::to_string(row.sequence) + ',' +
           std::to_string(row.attempts) + ',' + std::to_string(row.delivered) + "\r\n";
    return out;
}

std::string CHistoryExport::Csv(const std::vector<CAlertHistory::Row>& rows)
{
    std::string out = CsvStart();
    for (const CAlertHistory::Row& row : rows)
        out += CsvRow(row);
    return out;
}

std::string CHistoryExport::JsonRow(const CAlertHistory::Row& row, bool first)
{
    nlohmann::ordered_json item;
    item["date"] = row.tradingDate;
    item["time"] = TimeText(row.time);
    item["market"] = row.market;
    item["code"] = row.code;
    item["name"] = row.name;
    item["reason_code"] =
        row.reasonCode >= 0 ? nlohmann::ordered_json(row.reasonCode) : nlohmann::ordered_json();
    item["reason"] = row.reason;
    // The price as the alert lines show it, so that 10.1 is not written 10.100000381.
    item["price"] =
        nlohmann::ordered_json::parse(VelkPriceText(static_cast<float>(row.price)), nullptr, false);
    item["volume"] = row.volume;
    item["source"] = row.source;
    item["day_folder"] = row.dayFolder;
    item["sequence"] = row.sequence;
    item["attempts"] = row.attempts;
    item["delivered"] = row.delivered;
    // Laid out as an element of an array written with an indent of two.
    const std::string object =
        item.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::string out = first ? "\n  " : ",\n  ";
    for (char c : object) {
        out += c;
        if (c == '\n')
            out += "  ";
    }
    return out;
}

std::string CHistoryExport::Json(const std::vector<CAlertHistory::Row>& rows)
{
    std::string out = JsonStart();
    for (std::size_t i = 0; i < rows.size(); ++i)
        out += JsonRow(rows[i], i == 0);
    return out + JsonEnd(rows.empty());
}
