#pragma once

#include <cstdio>
#include <string>

// What a test wrote to an open file (a temporary one standing for a stream), from its start.
inline std::string FileContents(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    return text;
}
