#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Reads one CSV file of a trading day: a header line naming the columns, then one record a
// line. Fields are separated by commas and may be double-quoted ("" inside quotes is one
// quote); blank lines are skipped, a UTF-8 byte-order mark and CR line ends are accepted.
// The file is read in pieces as the records are taken, so a day of millions of trades is never
// in memory as text.
class CCsvReader {
public:
    enum class OpenResult { Ok, Missing, Failed };

    // name is the file's name inside folder, used as given in every message.
    CCsvReader(const std::string& folder, const std::string& name);

    // Opens the file and checks its header against the expected column names, which may be
    // followed by the optional ones, in their order, as far as the file has them. Missing: the
    // file does not exist. Failed: Error() says why.
    OpenResult Open(const std::vector<std::string>& columns,
                    const std::vector<std::string>& optional = {});

    // The number of columns of the header, optional ones included.
    std::size_t Columns() const { return m_columns; }

    // The next record, with exactly as many fields as columns; false at the end or on a
    // malformed line (then Failed() is true and Error() says why). The fields stay valid until
    // the next call: they point into the reader's buffer, so a day of millions of records makes
    // no string of any field.
    bool Next(std::vector<std::string_view>& fields);
    // Next in two steps, for a caller that reads the usual form of a line itself: the next
    // record's line without its line end (blank lines skipped, valid until the next call), and
    // that line split into its fields exactly as Next splits it.
    bool NextLine(std::string_view& line);
    bool Split(std::string_view line, std::vector<std::string_view>& fields);

    // The line number (from 1) of the record last returned.
    int Line() const { return m_nLine; }
    bool Failed() const { return !m_strError.empty(); }
    const std::string& Error() const { return m_strError; }
    // Bytes read from the file so far, for a share of the whole.
    std::uint64_t BytesRead() const { return m_bytesRead; }

    // Sets the error for the current line: "name:line: what".
    void Fail(const std::string& what);

private:
    bool SplitLine(std::string_view line, std::vector<std::string_view>& fields);
    // The next line without its line end, in the buffer where it lies whole there, otherwise
    // gathered in m_strLine; false at the end of the file or on a read error (then Failed() is
    // true).
    bool ReadLine(std::string_view& line);
    bool Refill();

    std::string m_strPath;
    std::string m_strName;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file{nullptr, &std::fclose};
    std::string m_strBuffer;
    std::size_t m_pos = 0;
    std::string m_strLine;
    // The unquoted text of the current line's quoted fields.
    std::string m_strUnquoted;
    int m_nLine = 0;
    std::uint64_t m_bytesRead = 0;
    std::size_t m_columns = 0;
    std::string m_strError;
};
