#include "host/outputs/CAlertEvent.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "platform/core/TextCodec.h"
#include "res/VelkStringTable.h"

namespace {

constexpr int kReasonCount = CAlertEvent::kReasonCount;

// A reason text with its first bytes as one word, which tells most of the texts (many are of one
// size) apart without a call.
struct ReasonText {
    std::string text;
    std::uint64_t head = 0;
};

std::uint64_t HeadOf(std::string_view text)
{
    std::uint64_t head = 0;
    std::memcpy(&head, text.data(), std::min(text.size(), sizeof head));
    return head;
}

const std::array<ReasonText, kReasonCount>& ReasonTexts()
{
    static const std::array<ReasonText, kReasonCount> texts = [] {
        std::array<ReasonText, kReasonCount> all;
        for (int code = 0; code < kReasonCount; ++code) {
            ReasonText& reason = all[static_cast<std::size_t>(code)];
            reason.text = VelkReasonText(code);
            reason.head = HeadOf(reason.text);
        }
        return all;
    }();
    return texts;
}

} // namespace

int CAlertEvent::ReasonCodeOf(std::string_view reasonGbk)
{
    if (reasonGbk.empty())
        return -1;
    // Every alert asks, on the engine's thread.
    const std::uint64_t head = HeadOf(reasonGbk);
    const auto& texts = ReasonTexts();
    for (int code = 0; code < kReasonCount; ++code) {
        const ReasonText& reason = texts[static_cast<std::size_t>(code)];
        if (reason.head == head && reason.text.size() == reasonGbk.size() &&
            std::memcmp(reason.text.data(), reasonGbk.data(), reasonGbk.size()) == 0)
            return code;
    }
    return -1;
}

bool CAlertEvent::IsRisingReason(int reasonCode)
{
    // upper limit, limit-up, limit-down board opened, new high, rise ratio
    return reasonCode == 0 || reasonCode == 2 || reasonCode == 5 || reasonCode == 6 ||
           reasonCode == 8;
}

bool CAlertEvent::IsFallingReason(int reasonCode)
{
    // lower limit, limit-down, limit-up board opened, new low, fall ratio
    return reasonCode == 1 || reasonCode == 3 || reasonCode == 4 || reasonCode == 7 ||
           reasonCode == 9;
}

std::string CAlertEvent::CodeUtf8() const
{
    return TextCodec::GbkToUtf8(VelkFieldText(record.m_szCode));
}

std::string CAlertEvent::NameUtf8() const
{
    return TextCodec::GbkToUtf8(VelkFieldText(record.m_szName));
}

std::string CAlertEvent::ReasonUtf8() const
{
    return TextCodec::GbkToUtf8(VelkFieldText(record.m_szReason));
}

std::string CAlertEvent::TimeText() const
{
    long long time = record.m_nTime;
    time = ((time % 86400) + 86400) % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", time / 3600, time / 60 % 60,
                  time % 60);
    return text;
}

std::string CAlertEvent::DateText() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", tradingDate / 10000, tradingDate / 100 % 100,
                  tradingDate % 100);
    return text;
}
