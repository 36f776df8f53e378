#include "platform/core/VelkNumber.h"

#include <charconv>

double VelkAtof(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    double value = 0;
    if (std::from_chars(p, end, value, std::chars_format::general).ec != std::errc())
        return 0;
    return negative ? -value : value;
}
