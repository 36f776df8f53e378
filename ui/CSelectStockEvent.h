#pragma once

#include <utility>

#include "platform/qt/RegisteredMessages.h"
#include "ui/Ta_SELECTSTOCK.h"

// "KQMSG_INPUTCHANGESMYOL" as the wizard posts it: the selection travels by value inside the
// event, so it is freed with the event even when the receiving dialog has closed before the
// event is delivered. wParam and lParam stay 0.
class CSelectStockEvent final : public CVelkMessageEvent {
public:
    CSelectStockEvent(int message, Ta_SELECTSTOCK record)
        : CVelkMessageEvent(message, 0, 0), m_record(std::move(record))
    {
    }

    const Ta_SELECTSTOCK& Record() const { return m_record; }

private:
    Ta_SELECTSTOCK m_record;
};
