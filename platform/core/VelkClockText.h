#pragma once

#include <string>

// "HH:MM:SS" of a second of the day, as the alert list, the printed alerts, the dumps and the
// charts show it. Nothing is folded into the day: an hour past 99 takes more digits.
std::string VelkClockText(long long seconds);
std::string VelkClockText(int hour, int minute, int second);
