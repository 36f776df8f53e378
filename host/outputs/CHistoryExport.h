#pragma once

#include <string>
#include <vector>

#include "host/outputs/CAlertHistory.h"

// The history's rows as files for other programs. CSV starts with a UTF-8 byte order mark and
// writes codes as ="000001", so that spreadsheet programs read the Chinese names right and keep
// a code's leading zeros; JSON is an array of objects, codes as strings.
class CHistoryExport {
public:
    static std::string Csv(const std::vector<CAlertHistory::Row>& rows);
    static std::string Json(const std::vector<CAlertHistory::Row>& rows);

    // The same files in pieces, for rows written as they are read: the start, each row (a JSON
    // row knows whether it is the first), and the end (JSON's knows whether any row came).
    static std::string CsvStart();
    static std::string CsvRow(const CAlertHistory::Row& row);
    static std::string JsonStart() { return "["; }
    static std::string JsonRow(const CAlertHistory::Row& row, bool first);
    static std::string JsonEnd(bool empty) { return empty ? "]\n" : "\n]\n"; }
    // A CSV field, quoted when it holds a separator, a quote or a line end.
    static std::string CsvField(const std::string& text);
};
