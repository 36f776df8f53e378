#include "host/core/CCsvReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/core/VelkFile.h"

namespace {

constexpr std::size_t kReadSize = 1 << 16;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool IsBlankLine(std::string_view line)
{
    for (char c : line)
        if (!IsBlank(c))
            return false;
    return true;
}

std::string Lower(std::string_view view)
{
    std::string text(view);
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string JoinColumns(const std::vector<std::string>& columns)
{
    std::string joined;
    for (const std::string& column : columns) {
        if (!joined.empty())
            joined += ',';
        joined += column;
    }
    return joined;
}

} // namespace

CCsvReader::CCsvReader(const std::string& folder, const std::string& name)
    : m_strPath(VelkJoinPath(folder, name)), m_strName(name)
{
}

CCsvReader::OpenResult CCsvReader::Open(const std::vector<std::string>& columns,
                                        const std::vector<std::string>& optional)
{
    m_columns = columns.size();
    if (!VelkFileExists(m_strPath))
        return OpenResult::Missing;
    // Opened without waiting and taken only as a regular file: a FIFO would hang the open.
    const int fd = ::open(m_strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    const bool regular = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (fd >= 0 && !regular)
        ::close(fd);
    m_file.reset(regular ? ::fdopen(fd, "rb") : nullptr);
    if (regular && !m_file)
        ::close(fd);
    if (!m_file) {
        m_strError =
            m_strName + (fd >= 0 && !regular ? ": is not a regular file" : ": cannot be read");
        return OpenResult::Failed;
    }
    if (!Refill() && Failed())
        return OpenResult::Failed;
    if (m_strBuffer.compare(0, 3, "\xEF\xBB\xBF") == 0)
        m_pos = 3;

    std::vector<std::string_view> header;
    // An empty file has no header and no records.
    std::string_view line;
    if (!ReadLine(line))
        return Failed() ? OpenResult::Failed : OpenResult::Ok;
    m_nLine = 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (!SplitLine(line, header))
        return OpenResult::Failed;
    std::vector<std::string> all = columns;
    all.insert(all.end(), optional.begin(), optional.end());
    bool same = header.size() >= columns.size() && header.size() <= all.size();
    for (std::size_t i = 0; same && i < header.size(); ++i)
        same = Lower(header[i]) == all[i];
    if (!same) {
        std::string expected = JoinColumns(columns);
        for (const std::string& column : optional)
            expected += "[," + column;
        expected += std::string(optional.size(), ']');
        Fail("the header must be \"" + expected + "\"");
        return OpenResult::Failed;
    }
    m_columns = header.size();
    return OpenResult::Ok;
}

bool CCsvReader::Next(std::vector<std::string_view>& fields)
{
    std::string_view line;
    return NextLine(line) && Split(line, fields);
}

bool CCsvReader::NextLine(std::string_view& line)
{
    while (!Failed() && ReadLine(line)) {
        ++m_nLine;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!IsBlankLine(line))
            return true;
    }
    return false;
}

bool CCsvReader::Split(std::string_view line, std::vector<std::string_view>& fields)
{
    if (!SplitLine(line, fields))
        return false;
    if (fields.size() != m_columns) {
        Fail(std::to_string(fields.size()) + " fields where " + std::to_string(m_columns) +
             " are expected");
        return false;
    }
    return true;
}

bool CCsvReader::Refill()
{
    m_strBuffer.resize(kReadSize);
    const std::size_t n = m_file ? std::fread(m_strBuffer.data(), 1, kReadSize, m_file.get()) : 0;
    m_strBuffer.resize(n);
    m_bytesRead += n;
    m_pos = 0;
    if (n == 0 && m_file && std::ferror(m_file.get()))
        m_strError = m_strName + ": cannot be read";
    return n > 0;
}

bool CCsvReader::ReadLine(std::string_view& line)
{
    if (m_pos >= m_strBuffer.size() && !Refill())
        return false;
    const char* begin = m_strBuffer.data() + m_pos;
    const std::size_t available = m_strBuffer.size() - m_pos;
    if (const void* end = std::memchr(begin, '\n', available)) {
        const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - begin);
        line = std::string_view(begin, length);
        m_pos += length + 1;
        return true;
    }
    // The line goes on in the next piece of the file.
    m_strLine.assign(begin, available);
    m_pos = m_strBuffer.size();
    for (;;) {
        if (!Refill()) {
            line = m_strLine;
            return !Failed();
        }
        begin = m_strBuffer.data();
        const void* end = std::memchr(begin, '\n', m_strBuffer.size());
        const std::size_t length =
            end ? static_cast<std::size_t>(static_cast<const char*>(end) - begin)
                : m_strBuffer.size();
        m_strLine.append(begin, length);
        m_pos = end ? length + 1 : length;
        if (end) {
            line = m_strLine;
            return true;
        }
    }
}

void CCsvReader::Fail(const std::string& what)
{
    m_strError = m_strName + ":" + std::to_string(m_nLine) + ": " + what;
}

bool CCsvReader::SplitLine(std::string_view line, std::vector<std::string_view>& fields)
{
    fields.clear();
    // Unquoted text is never longer than its line: reserved once, it never moves while the
    // fields point into it.
    m_strUnquoted.clear();
    m_strUnquoted.reserve(line.size());
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        std::string_view field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            bool closed = false;
            const std::size_t start = m_strUnquoted.size();
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        m_strUnquoted += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                m_strUnquoted += line[i++];
            }
            if (!closed) {
                Fail("a quoted field is not closed");
                return false;
            }
            field = std::string_view(m_strUnquoted).substr(start);
            while (i < line.size() && IsBlank(line[i]))
                ++i;
            if (i < line.size() && line[i] != ',') {
                Fail("text after a quoted field");
                return false;
            }
        } else {
            // Fields are short: one pass finds the comma and any quote.
            const std::size_t start = i;
            bool quote = false;
            while (i < line.size() && line[i] != ',') {
                quote = quote || line[i] == '"';
                ++i;
            }
            if (quote) {
                Fail("a quote inside an unquoted field");
                return false;
            }
            field = Trim(line.substr(start, i - start));
        }
        fields.push_back(field);
        if (i >= line.size())
            return true;
        ++i; // the comma
    }
}
