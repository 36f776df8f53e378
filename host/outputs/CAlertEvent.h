#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/VelkRecords.h"

// One alert as the host's outputs receive it: the engine's record and what the host knows
// around it. The record's texts stay GBK; whoever shows or sends them converts.
struct CAlertEvent {
    Ta_ALERTRECORD record{};
    // The engine's reason code, found from the reason text; -1 for a magic signal or any text
    // that is no reason of the table.
    int reasonCode = -1;
    // Counts the alerts of one run from 1, in the order the engine recorded them.
    std::uint64_t sequence = 0;
    // yyyymmdd of the trading day the alert belongs to.
    int tradingDate = 0;
    // A live feed, or the replay of a recorded day.
    bool live = false;
    // The history's run the alert belongs to (0 without a history); its delivery attempts are
    // kept under it even when they come after a new run has begun.
    long long historyRun = 0;
    // The stock's previous close where the host knows it (0: unknown), for the change shown
    // with the price.
    float prevClose = 0;

    // Reason codes are 0 .. kReasonCount - 1.
    static constexpr int kReasonCount = 14;
    // The reason code whose text is reasonGbk, -1 when none has it.
    static int ReasonCodeOf(std::string_view reasonGbk);
    // Limit-up and limit-down reached: the alerts that cannot wait.
    static bool IsLimitReason(int reasonCode) { return reasonCode == 2 || reasonCode == 3; }
    // Reasons of a rising price (shown red) and of a falling one (green); others neither.
    static bool IsRisingReason(int reasonCode);
    static bool IsFallingReason(int reasonCode);

    // UTF-8 views of the record, and the time of day as HH:MM:SS.
    std::string CodeUtf8() const;
    std::string NameUtf8() const;
    std::string ReasonUtf8() const;
    std::string TimeText() const;
    // yyyy-mm-dd of the trading date.
    std::string DateText() const;
};

// A frame's alerts, shared by the history and the outputs that have them; never changed once
// handed on, so that each reads them where they are rather than from a copy of its own.
using CAlertFrame = std::shared_ptr<const std::vector<CAlertEvent>>;
