#pragma once

#include <string>
#include <string_view>

// The checks a stock's fields must pass before the quote service takes them, the same for a
// feed line as for a trading-day file: codes fit the 12-byte code field, names have a GBK form
// and fit 49 bytes, prices are finite, not negative, within a 32-bit float and quoted to at most
// three decimals. Each check returns null when the value is good, else why it is not.
class CFeedFieldRules {
public:
    static constexpr std::size_t kMaxCodeLength = 11;
    static constexpr std::size_t kMaxNameBytes = 49;
    static constexpr int kMaxPriceDecimals = 3;

    static const char* Code(std::string_view code);
    static const char* Price(double price);
    // The same for a price whose decimals are known already.
    static const char* Price(double price, int decimals);
    // The decimals of a price as written: those of the shortest text that reads back as it.
    static int DecimalsOf(double price);
    // A UTF-8 text into GBK, cut to maxBytes; null when done.
    static const char* Text(std::string_view utf8, std::size_t maxBytes, std::string& gbk);
};
