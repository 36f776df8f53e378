#include "host/core/CCsvReader.h"

#include <cstring>

#include "platform/core/VelkFile.h"

namespace {

constexpr std::size_t kReadSize = 1 << 16;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool IsBlankLine(const std::string& line)
{
    for (char c : line)
        if (!IsBlank(c))
            return false;
    return true;
}

std::string Lower(std::string text)
{
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
    m_nColumns = columns.size();
    if (!VelkFileExists(m_strPath))
        return OpenResult::Missing;
    m_file.reset(VelkIsDirectory(m_strPath) ? nullptr : std::fopen(m_strPath.c_str(), "rb"));
    if (!m_file) {
        m_strError = m_strName + ": cannot be read";
        return OpenResult::Failed;
    }
    if (!Refill() && Failed())
        return OpenResult::Failed;
    if (m_strBuffer.compare(0, 3, "\xEF\xBB\xBF") == 0)
        m_nPos = 3;

    std::vector<std::string> header;
    // An empty file has no header and no records.
    std::string line;
    if (!ReadLine(line))
        return Failed() ? OpenResult::Failed : OpenResult::Ok;
    m_nLine = 1;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
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
    m_nColumns = header.size();
    return OpenResult::Ok;
}

bool CCsvReader::Next(std::vector<std::string>& fields)
{
    std::string& line = m_strLine;
    while (!Failed() && ReadLine(line)) {
        ++m_nLine;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (IsBlankLine(line))
            continue;
        if (!SplitLine(line, fields))
            return false;
        if (fields.size() != m_nColumns) {
            Fail(std::to_string(fields.size()) + " fields where " + std::to_string(m_nColumns) +
                 " are expected");
            return false;
        }
        return true;
    }
    return false;
}

bool CCsvReader::Refill()
{
    m_strBuffer.resize(kReadSize);
    const std::size_t n = m_file ? std::fread(m_strBuffer.data(), 1, kReadSize, m_file.get()) : 0;
    m_strBuffer.resize(n);
    m_nBytesRead += n;
    m_nPos = 0;
    if (n == 0 && m_file && std::ferror(m_file.get()))
        m_strError = m_strName + ": cannot be read";
    return n > 0;
}

bool CCsvReader::ReadLine(std::string& line)
{
    line.clear();
    bool any = false;
    for (;;) {
        if (m_nPos >= m_strBuffer.size() && !Refill())
            return any && !Failed();
        const char* begin = m_strBuffer.data() + m_nPos;
        const std::size_t available = m_strBuffer.size() - m_nPos;
        const void* end = std::memchr(begin, '\n', available);
        const std::size_t length =
            end ? static_cast<std::size_t>(static_cast<const char*>(end) - begin) : available;
        line.append(begin, length);
        m_nPos += end ? length + 1 : length;
        any = true;
        if (end)
            return true;
    }
}

void CCsvReader::Fail(const std::string& what)
{
    m_strError = m_strName + ":" + std::to_string(m_nLine) + ": " + what;
}

bool CCsvReader::SplitLine(const std::string& line, std::vector<std::string>& fields)
{
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                field += line[i++];
            }
            if (!closed) {
                Fail("a quoted field is not closed");
                return false;
            }
            while (i < line.size() && IsBlank(line[i]))
                ++i;
            if (i < line.size() && line[i] != ',') {
                Fail("text after a quoted field");
                return false;
            }
        } else {
            std::size_t comma = line.find(',', i);
            field =
                Trim(line.substr(i, comma == std::string::npos ? std::string::npos : comma - i));
            if (field.find('"') != std::string::npos) {
                Fail("a quote inside an unquoted field");
                return false;
            }
            i = comma == std::string::npos ? line.size() : comma;
        }
        fields.push_back(field);
        if (i >= line.size())
            return true;
        ++i; // the comma
    }
}
