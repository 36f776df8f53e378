#pragma once

#include <cstdio>
#include <string>

#include "VelkServices.h"

// Prints every alert on the host's output at the moment the engine records it, one line each:
// time, market, code, name, price, volume and reason, separated by tabs, in UTF-8.
class CAlertPrinter final : public IVelkAlertObserver {
public:
    explicit CAlertPrinter(std::FILE* out) : m_pOut(out) {}

    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;

    int Count() const { return m_nCount; }

    // The line for one record, without the line end.
    static std::string FormatLine(const Ta_ALERTRECORD& record);

private:
    std::FILE* m_pOut;
    int m_nCount = 0;
};
