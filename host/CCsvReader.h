#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads one CSV file of a trading day: a header line naming the columns, then one record a
// line. Fields are separated by commas and may be double-quoted ("" inside quotes is one
// quote); blank lines are skipped, a UTF-8 byte-order mark and CR line ends are accepted.
class CCsvReader {
public:
    enum class OpenResult { Ok, Missing, Failed };

    // name is the file's name inside folder, used as given in every message.
    CCsvReader(const std::string& folder, const std::string& name);

    // Reads the file and checks its header against the expected column names, which may be
    // followed by the optional ones, in their order, as far as the file has them. Missing: the
    // file does not exist. Failed: Error() says why.
    OpenResult Open(const std::vector<std::string>& columns,
                    const std::vector<std::string>& optional = {});

    // The number of columns of the header, optional ones included.
    std::size_t Columns() const { return m_nColumns; }

    // The next record, with exactly as many fields as columns; false at the end or on a
    // malformed line (then Failed() is true and Error() says why).
    bool Next(std::vector<std::string>& fields);

    // The line number (from 1) of the record last returned.
    int Line() const { return m_nLine; }
    bool Failed() const { return !m_strError.empty(); }
    const std::string& Error() const { return m_strError; }

    // Sets the error for the current line: "name:line: what".
    void Fail(const std::string& what);

private:
    bool SplitLine(const std::string& line, std::vector<std::string>& fields);

    std::string m_strPath;
    std::string m_strName;
    std::string m_strContent;
    std::size_t m_nPos = 0;
    int m_nLine = 0;
    std::size_t m_nColumns = 0;
    std::string m_strError;
};
