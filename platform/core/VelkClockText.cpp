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

bool VelkIsCalendarDate(long long yyyymmdd)
{
    const long long year = yyyymmdd / 10000;
    const int month = static_cast<int>(yyyymmdd / 100 % 100);
    const int day = static_cast<int>(yyyymmdd % 100);
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && !leap)
        return day <= 28;
    return day <= kDays[month - 1];
}
