#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The checks a stock's data and its trades pass before anything uses them, whether they come
// from a day's files or from a live feed. Each takes a field's text as it came and gives its
// value, or returns false with error saying what is wrong ("code "X..." is longer than 11
// characters") for the caller to put after where the field came from ("trades.csv:12: ").
class CQuoteValidator {
public:
    // The code field of every record is 12 bytes with its terminator, the name field 50.
    static constexpr std::size_t kMaxCodeLength = 11;
    static constexpr std::size_t kMaxNameBytes = 49;
    // Stocks are quoted to the cent, funds and ETFs to a tenth of it.
    static constexpr int kMinPriceDecimals = 2;
    static constexpr int kMaxPriceDecimals = 3;
    // A trade beyond this many times the stock's limit-up price (or previous close where no
    // limit is known) is a broken record, not a price.
    static constexpr double kTradePriceBound = 10.0;

    static bool Market(std::string_view text, unsigned char& market, std::string& error);
    // Printable ASCII, 1 to 11 characters.
    static bool Code(std::string_view text, std::string& error);
    // A text in UTF-8 that must have a GBK form; empty only when allowed. gbk is the GBK form
    // whole: a name is cut to its field by the caller that stores it (CutGbk).
    static bool Text(const char* what, std::string_view text, bool mayBeEmpty, std::string& gbk,
                     std::string& error);
    // A price that must be given.
    static bool Price(const char* what, std::string_view text, double& value, std::string& error);
    // Empty: not known, taken as 0 as the quote service shows an unknown price. A price is a
    // finite number from 0 to the largest 32-bit float (the quote service holds it as one).
    static bool OptionalPrice(const char* what, std::string_view text, double& value,
                              std::string& error);
    // The decimals of a price as read (trailing zeros do not count), checked against allowed.
    static bool PriceDecimals(const char* what, std::string_view text, double value, int allowed,
                              int& decimals, std::string& error);
    // The decimals of a price read from text: those of the shortest text that reads back as the
    // same number.
    static int DecimalsOf(std::string_view text, double value);
    // The highest price a trade of a stock may have; 0 where neither price is known (no bound).
    static double TradePriceCeiling(double limitUp, double prevClose);
    static bool TradePriceWithin(std::string_view text, double price, double ceiling,
                                 std::string& error);
    // A whole number of shares from 0 to 10^12.
    static bool Volume(std::string_view text, double& value, std::string& error);
    static bool Int32(const char* what, std::string_view text, std::int32_t& value,
                      std::string& error);
    // "HH:MM:SS" into seconds since midnight.
    static bool Time(std::string_view text, int& seconds, std::string& error);
    static bool ParseTime(std::string_view text, int& seconds);

    // A number as a price file writes it; false for anything else ("inf", "nan", a second sign,
    // trailing bytes). The decimal point is read whatever the numeric locale.
    static bool ParseDouble(std::string_view text, double& value);
    // A whole number within low..high, with an optional sign.
    static bool ParseInteger(std::string_view text, long long low, long long high,
                             long long& value);
    static bool IsValidUtf8(std::string_view text);
    // A field as messages show it: quoted, and cut after 60 characters.
    static std::string Quoted(std::string_view text);
};
