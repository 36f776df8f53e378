#include "host/outputs/CHistoryCommand.h"

#include <algorithm>
#include <iterator>
#include <sys/stat.h>

#include "host/outputs/CHistoryExport.h"
#include "platform/core/VelkClockText.h"

std::string CHistoryCommand::NormaliseDate(const std::string& text)
{
    std::string digits;
    if (text.size() == 8)
        digits = text;
    else if (text.size() == 10 && text[4] == '-' && text[7] == '-')
        digits = text.substr(0, 4) + text.substr(5, 2) + text.substr(8, 2);
    if (digits.size() != 8 || digits.find_first_not_of("0123456789") != std::string::npos ||
        !VelkIsCalendarDate(std::stoll(digits)))
        return {};
    return digits.substr(0, 4) + '-' + digits.substr(4, 2) + '-' + digits.substr(6, 2);
}

bool CHistoryCommand::Parse(const std::vector<std::string>& args)
{
    *this = CHistoryCommand();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        static const char* const kOptions[] = {"--from",   "--to",     "--code",
                                               "--reason", "--source", "--format"};
        if (std::find(std::begin(kOptions), std::end(kOptions), arg) == std::end(kOptions)) {
            m_strError = "history does not take " + arg;
            return false;
        }
        if (i + 1 >= args.size()) {
            m_strError = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--from" || arg == "--to") {
            const std::string date = NormaliseDate(value);
            if (date.empty()) {
                m_strError = arg + " " + value + " is no date (YYYY-MM-DD)";
                return false;
            }
            (arg == "--from" ? m_filter.from : m_filter.to) = date;
        } else if (arg == "--code") {
            m_filter.code = value;
        } else if (arg == "--reason") {
            // A code, or a part of the text: nobody types "达到涨停价" whole to find the
            // limit-ups.
            m_filter.reason = value;
            m_filter.reasonPart = true;
        } else if (arg == "--source") {
            if (value != "live" && value != "replay") {
                m_strError = "--source is live or replay";
                return false;
            }
            m_filter.source = value;
        } else if (arg == "--format") {
            if (value != "csv" && value != "json") {
                m_strError = "--format is csv or json";
                return false;
            }
            m_bJson = value == "json";
        }
    }
    // Dates in the one form compare as text.
    if (!m_filter.from.empty() && !m_filter.to.empty() && m_filter.from > m_filter.to) {
        m_strError = "--from " + m_filter.from + " comes after --to " + m_filter.to;
        return false;
    }
    return true;
}

int CHistoryCommand::Run(const std::string& path, std::FILE* out, std::FILE* err) const
{
    // Reading must not create an empty history where there was none.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        std::fprintf(err, "velk-host: no alert history at %s\n", path.c_str());
        return 1;
    }
    // Opened as the program opens it, which brings an older file up to date; a file this user
    // may not write is read as it stands.
    CAlertHistory history;
    if (!history.Open(path) && !history.OpenForReading(path)) {
        std::fprintf(err, "velk-host: %s\n", history.Error().c_str());
        return 1;
    }
    // Each row is written as it is read: a history of millions of alerts is printed in the
    // memory of one.
    bool written = true;
    auto write = [&](const std::string& text) {
        written = written && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    };
    bool first = true;
    write(m_bJson ? CHistoryExport::JsonStart() : CHistoryExport::CsvStart());
    const bool read = history.Query(m_filter, [&](const CAlertHistory::Row& row) {
        write(m_bJson ? CHistoryExport::JsonRow(row, first) : CHistoryExport::CsvRow(row));
        first = false;
    });
    if (m_bJson)
        write(CHistoryExport::JsonEnd(first));
    if (!read) {
        std::fprintf(err, "velk-host: %s\n", history.Error().c_str());
        return 1;
    }
    if (std::fflush(out) != 0 || !written) {
        std::fprintf(err, "velk-host: the alerts could not all be written\n");
        return 1;
    }
    return 0;
}
