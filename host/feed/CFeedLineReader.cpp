#include "host/feed/CFeedLineReader.h"

#include <cstring>
#include <unistd.h>

#include "host/feed/CFeedParser.h"

namespace {
// Room for several lines of the longest kind, so that reads are large.
constexpr std::size_t kBufferBytes = 4 * CFeedLineReader::kMaxLine;
} // namespace

CFeedLineReader::CFeedLineReader() : m_buffer(kBufferBytes + CFeedParser::kPadding, '\0') {}

void CFeedLineReader::Reset()
{
    m_nBegin = m_nScan = m_nEnd = 0;
    m_bDiscarding = false;
    m_nLine = 0;
}

std::size_t CFeedLineReader::Room() const
{
    return kBufferBytes - m_nEnd;
}

void CFeedLineReader::Compact()
{
    if (m_nBegin == 0)
        return;
    std::memmove(m_buffer.data(), m_buffer.data() + m_nBegin, m_nEnd - m_nBegin);
    m_nScan -= m_nBegin;
    m_nEnd -= m_nBegin;
    m_nBegin = 0;
}

ssize_t CFeedLineReader::ReadFrom(int fd)
{
    Compact();
    ssize_t n = ::read(fd, m_buffer.data() + m_nEnd, Room());
    if (n > 0)
        m_nEnd += static_cast<std::size_t>(n);
    return n;
}

std::size_t CFeedLineReader::Append(const char* data, std::size_t size)
{
    Compact();
    const std::size_t taken = size < Room() ? size : Room();
    std::memcpy(m_buffer.data() + m_nEnd, data, taken);
    m_nEnd += taken;
    return taken;
}

CFeedLineReader::Next CFeedLineReader::NextLine(std::string_view& line, std::size_t& capacity)
{
    for (;;) {
        const char* base = m_buffer.data();
        const void* found =
            m_nScan < m_nEnd ? std::memchr(base + m_nScan, '\n', m_nEnd - m_nScan) : nullptr;
        if (!found) {
            m_nScan = m_nEnd;
            if (m_nEnd - m_nBegin > kMaxLine) {
                // Too long already: forget it and everything of it still to come.
                m_nBegin = m_nScan = m_nEnd = 0;
                if (!m_bDiscarding) {
                    m_bDiscarding = true;
                    ++m_nLine;
                    return Next::TooLong;
                }
            }
            return Next::None;
        }
        const std::size_t newline =
            static_cast<std::size_t>(static_cast<const char*>(found) - base);
        const std::size_t begin = m_nBegin;
        m_nBegin = m_nScan = newline + 1;
        if (m_bDiscarding) {
            m_bDiscarding = false;
            continue;
        }
        ++m_nLine;
        std::size_t end = newline;
        if (end - begin > kMaxLine)
            return Next::TooLong;
        if (end > begin && base[end - 1] == '\r')
            --end;
        line = std::string_view(base + begin, end - begin);
        capacity = m_buffer.size() - begin;
        return Next::Line;
    }
}

CFeedLineReader::Next CFeedLineReader::FinishLine(std::string_view& line, std::size_t& capacity)
{
    if (m_bDiscarding || m_nBegin == m_nEnd) {
        m_nBegin = m_nScan = m_nEnd = 0;
        m_bDiscarding = false;
        return Next::None;
    }
    ++m_nLine;
    const std::size_t begin = m_nBegin;
    const std::size_t end = m_nEnd;
    m_nBegin = m_nScan = m_nEnd;
    line = std::string_view(m_buffer.data() + begin, end - begin);
    capacity = m_buffer.size() - begin;
    return Next::Line;
}
