#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "host/feed/CFeedMessage.h"

// Reads one line of the live feed (JSON, one object per line) into a message and checks its
// fields. Unknown fields are ignored; an unknown kind is reported as such, so that a newer
// source still works with this host. One parser per thread; it keeps its buffers between lines.
class CFeedParser {
public:
    enum class Problem { None, Malformed, BadPrice, BadField, UnknownKind };
    // Bytes that must be readable after a line's end (they are never interpreted).
    static constexpr std::size_t kPadding = 64;

    CFeedParser();
    ~CFeedParser();
    CFeedParser(const CFeedParser&) = delete;
    CFeedParser& operator=(const CFeedParser&) = delete;

    // The line without its end; `capacity` bytes from `line` on may be read, at least
    // size + kPadding. Anything but None leaves why in Why().
    Problem Parse(const char* line, std::size_t size, std::size_t capacity, CFeedMessage& message);
    // The same for a line held anywhere: copied into room of the parser's own.
    Problem Parse(std::string_view line, CFeedMessage& message);
    const std::string& Why() const { return m_strWhy; }

    // "HH:MM:SS" with an optional ".m", ".mm" or ".mmm"; false for anything else.
    static bool ParseTime(std::string_view text, int& seconds, int& millis);

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
    std::string m_strWhy;
};
