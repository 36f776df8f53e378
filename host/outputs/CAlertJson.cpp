#include "host/outputs/CAlertJson.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "engine/VelkPriceText.h"

std::string CAlertJson::Object(const CAlertEvent& event)
{
    nlohmann::ordered_json object;
    object["date"] = event.DateText();
    object["time"] = event.TimeText();
    object["market"] = event.record.m_byMarket;
    object["code"] = event.CodeUtf8();
    object["name"] = event.NameUtf8();
    object["reason_code"] =
        event.reasonCode >= 0 ? nlohmann::ordered_json(event.reasonCode) : nlohmann::ordered_json();
    object["reason"] = event.ReasonUtf8();
    object["price"] =
        nlohmann::ordered_json::parse(VelkPriceText(event.record.m_fPrice), nullptr, false);
    object["volume"] = static_cast<double>(event.record.m_fVolume);
    object["sequence"] = event.sequence;
    object["source"] = event.live ? "live" : "replay";
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string CAlertJson::Summary(const CAlertEvent& event)
{
    std::string summary = event.NameUtf8();
    if (!summary.empty())
        summary += ' ';
    summary += event.CodeUtf8() + ' ' + event.ReasonUtf8();
    return summary;
}

std::string CAlertJson::Details(const CAlertEvent& event)
{
    char volume[64];
    std::snprintf(volume, sizeof volume, "%.0f", static_cast<double>(event.record.m_fVolume));
    std::string change;
    if (event.prevClose > 0) {
        char percent[64];
        std::snprintf(percent, sizeof percent, "  涨跌 %+.2f%%",
                      (static_cast<double>(event.record.m_fPrice) - event.prevClose) /
                          event.prevClose * 100.0);
        change = percent;
    }
    return "价格 " + VelkPriceText(event.record.m_fPrice) + change + "  成交量 " + volume +
           "\n时间 " + event.DateText() + ' ' + event.TimeText();
}

std::string CAlertJson::MessageId(const CAlertEvent& event)
{
    return std::to_string(event.tradingDate) + '-' + std::to_string(event.record.m_byMarket) + '-' +
           event.CodeUtf8() + '-' + std::to_string(event.record.m_nTime) + '-' +
           std::to_string(event.reasonCode) + '-' + std::to_string(event.sequence);
}
