#pragma once

#include <cstddef>
#include <string>

#include "host/outputs/CAlertEvent.h"
#include "host/outputs/CGbkTextCache.h"

struct sqlite3;
struct sqlite3_context;

// The alerts of the frame being written, as a table that SQLite reads: one INSERT ... SELECT
// takes the whole frame into `alert_rows`. SQLite then takes each value straight from the
// alert, which costs it less than nine bound parameters an alert and a statement run for every
// few alerts.
//
// The table belongs to one connection, in its temp schema, and never enters the file's: another
// program opening the file does not see it, a table of the same name in the file does not hide
// it, and a trigger or view kept in the file cannot read it.
class CHistoryFrameTable {
public:
    // Its name in SQL, and its columns in order: those of `alert_rows` after the id.
    static constexpr const char* kName = "temp.velk_frame_alerts";
    static constexpr const char* kColumns =
        "run_id, seq, trading_date, time, stock, reason_code, reason, price, volume";

    // Reason texts outside the engine's table are read through `utf8`, which must not be
    // trimmed while the table shows rows.
    explicit CHistoryFrameTable(CGbkTextCache& utf8) : m_utf8(utf8) {}
    CHistoryFrameTable(const CHistoryFrameTable&) = delete;
    CHistoryFrameTable& operator=(const CHistoryFrameTable&) = delete;

    // Makes the table known to the connection, empty; false with SQLite's error.
    bool Register(sqlite3* db, std::string& error);

    // The rows of the next statements: alert *events[i] is kept under stocks[i], and under `run`
    // when it names no run of its own. Read where they are, so none may change until Hide.
    void Show(const CAlertEvent* const* events, const long long* stocks, std::size_t count,
              long long run);
    void Hide() { Show(nullptr, nullptr, 0, 0); }

    // SQLite's callbacks read the rows through these.
    std::size_t Count() const { return m_nCount; }
    // Column `column` of row `row` (below Count) as the context's result.
    void Column(std::size_t row, int column, sqlite3_context* context);

private:
    CGbkTextCache& m_utf8;
    const CAlertEvent* const* m_pEvents = nullptr;
    const long long* m_pStocks = nullptr;
    std::size_t m_nCount = 0;
    long long m_nRun = 0;
};
