#pragma once

#include <cstddef>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Splits the bytes of a feed into lines in a buffer of fixed size. A line longer than
// kMaxLine is dropped as it arrives and reported once, so a peer that never sends a newline
// costs no more memory than the buffer. Every line handed out is followed by readable room for
// the parser's padding.
class CFeedLineReader {
public:
    static constexpr std::size_t kMaxLine = 64 * 1024;
    enum class Next { None, Line, TooLong };

    CFeedLineReader();

    // Reads once from a descriptor into the buffer: the byte count, 0 at end of input, -1 on
    // an error (errno set). Call only after NextLine has answered None.
    ssize_t ReadFrom(int fd);
    // Takes as many of the bytes as fit; returns how many. Drain with NextLine between calls.
    std::size_t Append(const char* data, std::size_t size);
    // The next whole line (without its end, a carriage return before it dropped too);
    // `capacity` is how many bytes from the line's start may be read. TooLong reports a line
    // that was dropped. Line numbers count from 1.
    Next NextLine(std::string_view& line, std::size_t& capacity);
    // At the end of input: the last line when it has no newline.
    Next FinishLine(std::string_view& line, std::size_t& capacity);
    long LineNumber() const { return m_nLine; }
    // A new connection: nothing buffered, lines counted afresh.
    void Reset();

private:
    std::size_t Room() const;
    void Compact();

    std::vector<char> m_buffer;
    std::size_t m_nBegin = 0;   // first byte not yet handed out
    std::size_t m_nScan = 0;    // bytes before this hold no newline
    std::size_t m_nEnd = 0;     // end of the bytes read
    bool m_bDiscarding = false; // inside a line that was too long
    long m_nLine = 0;
};
