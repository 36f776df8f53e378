#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "VelkRecords.h"

// The day's alert file: the alert records back to back, 125 bytes each, no header, in the order
// of the engine's alert list. The alert list window reads it when it is created and writes it
// when it is destroyed; the host dumps it. No window is needed to read or write it.
class CAlertDayFile {
public:
    // Appends the file's whole records to alerts, their texts ending inside their fields;
    // bytes after the last whole record are ignored. Returns the number appended.
    static std::size_t AppendRecords(std::string_view bytes, std::vector<Ta_ALERTRECORD>& alerts);
    // The file's content for an alert list.
    static std::string_view Bytes(const std::vector<Ta_ALERTRECORD>& alerts);
};
