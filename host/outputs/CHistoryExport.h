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
    // A CSV field, quoted when it holds a separator, a quote or a line end.
    static std::string CsvField(const std::string& text);
};
