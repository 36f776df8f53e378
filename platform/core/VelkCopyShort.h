#pragma once

#include <cstddef>
#include <cstring>

// Copies n <= 16 bytes by two overlapping moves of the widest size that fits, instead of a copy
// call: stock codes and short value texts are a few bytes, copied at every trade, and a call's
// dispatch on the length costs more than the copy.
inline void VelkCopyShort(char* to, const char* from, std::size_t n)
{
    if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + n - 2, from + n - 2, 2);
    } else if (n == 1) {
        to[0] = from[0];
    }
}
