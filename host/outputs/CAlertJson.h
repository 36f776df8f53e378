#pragma once

#include <string>

#include "host/outputs/CAlertEvent.h"

// One alert as a JSON object, the same for every output that sends JSON of its own choosing:
// {"date","time","market","code","name","reason_code","reason","price","volume","sequence",
// "source"}, texts in UTF-8, the code as a string.
class CAlertJson {
public:
    static std::string Object(const CAlertEvent& event);
    // "青山纸业 600103 达到涨停价"
    static std::string Summary(const CAlertEvent& event);
    // The lines under the summary: price, change (when the previous close is known), time and day.
    static std::string Details(const CAlertEvent& event);
    // An id that names the alert alone, the same whenever the same day is replayed again, so
    // that a receiver that keeps ids drops a repeat: date-market-code-time-reason-sequence.
    static std::string MessageId(const CAlertEvent& event);
};
