#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/VelkRecords.h"

// The day's alert file "YYYYMMDD.alt": the alert records of the trading day back to back, in
// the order of the engine's alert list, written whole by the alert list window.
class CAlertDayFile {
public:
    // "<dir>/YYYYMMDD.alt" for a yyyymmdd trading date.
    static std::string PathFor(const std::string& dir, int tradeDate);
    // Appends the file's whole records to alerts; their texts end inside their fields. False
    // when the file cannot be read.
    static bool Load(const std::string& path, CAlertRecordList& alerts);
    // The same for the file's bytes: bytes after the last whole record are ignored. Returns the
    // number of records appended.
    static std::size_t AppendRecords(std::string_view bytes, CAlertRecordList& alerts);
    // Replaces the file with the alerts. A file that is not a whole number of records is
    // damaged: it is kept first as "<file>.damaged" (one kept earlier stays as it is).
    static bool Save(const std::string& path, const CAlertRecordList& alerts);
    // The same for a writer that read the file (loadedBytes) before: under the folder's lock,
    // the records another writer added since then are kept, ahead of the alerts, instead of
    // being overwritten. A record counts as added when the file holds it more often than it
    // did when read.
    static bool SaveMerged(const std::string& path, const CAlertRecordList& alerts,
                           std::string_view loadedBytes);
    static std::string DamagedPath(const std::string& path);
};
