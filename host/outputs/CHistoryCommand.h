#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/outputs/CAlertHistory.h"

// `velk-host history [--from DATE] [--to DATE] [--code CODE] [--reason TEXT] [--source S]
// [--format csv|json]`: prints the alert history, filtered.
class CHistoryCommand {
public:
    // The arguments after `history`; false with Error() set when they make no sense.
    bool Parse(const std::vector<std::string>& args);
    // Prints the history file's rows to out; returns the exit status (0, 1 the file cannot be
    // read).
    int Run(const std::string& path, std::FILE* out, std::FILE* err) const;

    const std::string& Error() const { return m_strError; }
    const CAlertHistory::Filter& Filter() const { return m_filter; }
    bool Json() const { return m_bJson; }
    // yyyy-mm-dd from yyyy-mm-dd or yyyymmdd; empty when it is no date.
    static std::string NormaliseDate(const std::string& text);

private:
    CAlertHistory::Filter m_filter;
    bool m_bJson = false;
    std::string m_strError;
};
