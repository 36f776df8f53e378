#pragma once

#include <string_view>

// atof as the "C" locale reads a number, whatever numeric locale the process runs under: Qt
// sets the process's locale from the environment, and under a decimal comma the C library
// would read "7.85" as 7. Leading blanks, an optional sign, then the longest number that
// follows (decimal, "inf" or "nan"); 0 when there is none.
double VelkAtof(std::string_view text);
