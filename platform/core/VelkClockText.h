#pragma once

#include <string>

// "HH:MM:SS" of a second of the day, as the alert list, the printed alerts, the dumps and the
// charts show it. Nothing is folded into the day: an hour past 99 takes more digits.
std::string VelkClockText(long long seconds);
std::string VelkClockText(int hour, int minute, int second);

// A day of the calendar as yyyymmdd, from the year 1900 on: 20240229 is one, 20230229 is not.
bool VelkIsCalendarDate(long long yyyymmdd);
