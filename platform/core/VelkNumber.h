#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// atof as the "C" locale reads a number, whatever numeric locale the process runs under: Qt
// sets the process's locale from the environment, and under a decimal comma the C library
// would read "7.85" as 7. Leading blanks, an optional sign, then the longest number that
// follows (decimal, "inf" or "nan"); 0 when there is none.
double VelkAtof(std::string_view text);

// A float as "%.*f" writes it with 0 to 6 decimals (exact value, ties to even) into out, which
// holds at least kVelkFixedTextSize bytes; returns the length.
constexpr std::size_t kVelkFixedTextSize = 64;
std::size_t VelkFormatFixed(float value, int decimals, char* out);

// The same text written so that it ends just before end; returns its first byte. At most
// kVelkFixedTailSize bytes before end are written. Null, with nothing written, for a value that
// is not finite or not below 2^40, which only VelkFormatFixed writes.
constexpr std::size_t kVelkFixedTailSize = 24;
char* VelkFormatFixedTail(float value, int decimals, char* end);

// A whole number in decimal digits, written so that it ends just before end (at most 20 bytes
// before it); returns its first byte.
char* VelkFormatWholeTail(std::uint64_t value, char* end);
