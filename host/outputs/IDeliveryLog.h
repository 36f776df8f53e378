#pragma once

#include <string>

#include "host/outputs/CAlertEvent.h"
#include "host/outputs/IAlertOutput.h"

// Told of every delivery attempt of every output, from the outputs' worker threads.
class IDeliveryLog {
public:
    virtual ~IDeliveryLog() = default;
    virtual void OnDeliveryAttempt(const CAlertEvent& event, const std::string& output, int attempt,
                                   const CDeliveryAttempt& result) = 0;
};
