#pragma once

#include <cstdint>
#include <string_view>

// The quick reading of one line of trades.csv as the day's writers nearly always write it:
// "HH:MM:SS,market,code,price,volume" with no quotes, no blanks, a market of one to three
// digits, a price of digits with perhaps a point and more digits (15 digits at most) and a
// volume of digits. A line in that form gives exactly the values the general reading and
// CQuoteValidator's checks give it; any other line, good or bad, is left to them (Read returns
// false), so that every message stays theirs.
class CPlainTradeLine {
public:
    struct Fields {
        int time = 0; // seconds since midnight
        unsigned char market = 0;
        std::string_view code;      // inside the line
        std::string_view priceText; // inside the line, for messages
        double price = 0;
        // The price's decimals as written, trailing zeros not counted.
        int priceDecimals = 0;
        double volume = 0;
    };

    static bool Read(std::string_view line, Fields& fields);
};
