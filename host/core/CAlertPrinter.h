#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/VelkServices.h"

// Prints every alert on the host's output at the moment the engine records it, one line each:
// time, market, code, name, price, volume and reason, separated by tabs, in UTF-8. The output
// is flushed once a frame, as a reader watching it could tell no sooner, rather than after each
// of the hundred thousand alerts of a busy day.
class CAlertPrinter final : public IVelkAlertObserver {
public:
    explicit CAlertPrinter(std::FILE* out) : m_pOut(out) {}
    ~CAlertPrinter() override;
    CAlertPrinter(const CAlertPrinter&) = delete;
    CAlertPrinter& operator=(const CAlertPrinter&) = delete;

    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;
    // Flushes what was printed when a frame has passed since the last flush; the host calls it
    // between quotes, so that no line waits longer than that while the day goes on.
    void FlushEachFrame();
    void Flush();

    int Count() const { return m_nCount; }

    // The line for one record, without the line end.
    static std::string FormatLine(const Ta_ALERTRECORD& record);

private:
    std::FILE* m_pOut;
    int m_nCount = 0;
    bool m_bUnflushed = false;
    std::chrono::steady_clock::time_point m_lastFlush;
};
