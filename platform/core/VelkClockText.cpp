#include "platform/core/VelkClockText.h"

#include <cstdio>

std::string VelkClockText(long long seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string VelkClockText(int hour, int minute, int second)
{
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    return text;
}
