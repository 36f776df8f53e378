#include "host/core/CQuoteValidator.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/core/TextCodec.h"

namespace {

// A message shows this many characters of a bad field at most: a field may be a whole
// megabyte that is not what it should be.
constexpr std::size_t kMaxQuotedCharacters = 60;

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A price as files write it nearly always: digits, then perhaps a point and digits.
struct PlainDecimal {
    std::uint64_t digits = 0;    // all the digits as one whole number
    int fraction = 0;            // how many of them follow the point
    int significant = 0;         // from the first non-zero digit to the last one
    int fractionSignificant = 0; // decimals without trailing zeros
};

// False for any other form, and for more digits than a whole number holds exactly.
bool ReadPlainDecimal(std::string_view text, PlainDecimal& out)
{
    std::size_t i = 0;
    int count = 0;
    int firstNonZero = -1;
    int lastNonZero = -1;
    int pointAt = -1;
    std::uint64_t digits = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (count == 19)
                return false;
            digits = digits * 10 + static_cast<unsigned>(c - '0');
            if (c != '0') {
                if (firstNonZero < 0)
                    firstNonZero = count;
                lastNonZero = count;
            }
            ++count;
        } else if (c == '.' && pointAt < 0 && count > 0) {
            pointAt = count;
        } else {
            return false;
        }
    }
    if (count == 0 || pointAt == count)
        return false;
    out.digits = digits;
    out.fraction = pointAt < 0 ? 0 : count - pointAt;
    if (firstNonZero < 0) {
        out.significant = 0;
        out.fractionSignificant = 0;
    } else {
        // Zeros before the point end the significand too: 1200 has the digits of 12.
        const int end = pointAt < 0 ? count : std::max(lastNonZero + 1, pointAt);
        out.significant = end - firstNonZero;
        out.fractionSignificant = pointAt < 0 ? 0 : std::max(0, lastNonZero + 1 - pointAt);
    }
    return true;
}

} // namespace

std::string CQuoteValidator::Quoted(std::string_view text)
{
    // Characters are counted as UTF-8 lead bytes, so a cut never splits one.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (++characters > kMaxQuotedCharacters)
            return "\"" + std::string(text.substr(0, i)) + "...\"";
    }
    return "\"" + std::string(text) + "\"";
}

bool CQuoteValidator::ParseDouble(std::string_view text, double& value)
{
    // Whole digits and a divisor both exact as doubles: one division rounds as a full
    // conversion would.
    PlainDecimal plain;
    if (ReadPlainDecimal(text, plain) && plain.digits <= (std::uint64_t(1) << 53) &&
        plain.fraction <= 22) {
        value = static_cast<double>(plain.digits) / kPowersOfTen[plain.fraction];
        return true;
    }
    if (text.empty())
        return false;
    // from_chars reads "inf" and "nan" too, which no price file means; and unlike strtod it
    // reads a point whatever numeric locale the desktop program runs under.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+' && (++first == last || *first == '-'))
        return false;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && std::isfinite(value);
}

bool CQuoteValidator::ParseInteger(std::string_view text, long long low, long long high,
                                   long long& value)
{
    if (text.empty())
        return false;
    const bool negative = text[0] == '-';
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size())
        return false;
    // Up to 2^63 in magnitude, the most a long long holds (negative).
    constexpr unsigned long long kLimit = 9223372036854775808ull;
    unsigned long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (kLimit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    if (!negative && magnitude == kLimit)
        return false;
    value = negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
    return value >= low && value <= high;
}

bool CQuoteValidator::IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t extra;
        unsigned min;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

bool CQuoteValidator::Market(std::string_view text, unsigned char& market, std::string& error)
{
    long long value = 0;
    if (!ParseInteger(text, 0, 255, value)) {
        error = "market " + Quoted(text) + " is not a number from 0 to 255";
        return false;
    }
    market = static_cast<unsigned char>(value);
    return true;
}

bool CQuoteValidator::Code(std::string_view text, std::string& error)
{
    if (text.empty()) {
        error = "the code is empty";
        return false;
    }
    if (text.size() > kMaxCodeLength) {
        error = "code " + Quoted(text) + " is longer than 11 characters";
        return false;
    }
    for (char c : text) {
        if (c <= ' ' || c > '~') {
            error = "code " + Quoted(text) + " holds a character other than printable ASCII";
            return false;
        }
    }
    return true;
}

bool CQuoteValidator::Text(const char* what, std::string_view text, bool mayBeEmpty,
                           std::string& gbk, std::string& error)
{
    if (text.empty() && !mayBeEmpty) {
        error = std::string("the ") + what + " is empty";
        return false;
    }
    if (!IsValidUtf8(text)) {
        error = std::string("the ") + what + " is not valid UTF-8";
        return false;
    }
    const std::string utf8(text);
    gbk = TextCodec::Utf8ToGbk(utf8);
    if (TextCodec::GbkToUtf8(gbk) != utf8) {
        error = std::string(what) + " " + Quoted(text) + " has characters that GBK cannot hold";
        return false;
    }
    return true;
}

bool CQuoteValidator::Price(const char* what, std::string_view text, double& value,
                            std::string& error)
{
    if (text.empty()) {
        error = std::string("the ") + what + " is empty";
        return false;
    }
    return OptionalPrice(what, text, value, error);
}

bool CQuoteValidator::OptionalPrice(const char* what, std::string_view text, double& value,
                                    std::string& error)
{
    value = 0;
    if (text.empty())
        return true;
    if (!ParseDouble(text, value)) {
        error = std::string(what) + " " + Quoted(text) + " is not a number";
        return false;
    }
    // Beyond a 32-bit float, or below zero, a price is no price, and replayed it would poison
    // the stock's high for the day.
    if (value < 0 || value > std::numeric_limits<float>::max()) {
        error = std::string(what) + " out of range: " + Quoted(text);
        return false;
    }
    return true;
}

int CQuoteValidator::DecimalsOf(std::string_view text, double value)
{
    // Up to 15 significant digits a decimal reads back from its double unchanged, so its own
    // digits are the shortest text's.
    PlainDecimal plain;
    if (ReadPlainDecimal(text, plain) && plain.significant <= 15)
        return plain.fractionSignificant;
    char digits[400];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return std::numeric_limits<int>::max();
    const std::string_view shortest(digits, static_cast<std::size_t>(result.ptr - digits));
    const std::size_t point = shortest.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(shortest.size() - point - 1);
}

bool CQuoteValidator::PriceDecimals(const char* what, std::string_view text, double value,
                                    int allowed, int& decimals, std::string& error)
{
    decimals = DecimalsOf(text, value);
    if (decimals > allowed) {
        error = std::string(what) + " " + Quoted(text) + " has more than " +
                std::to_string(allowed) + " decimals";
        return false;
    }
    return true;
}

double CQuoteValidator::TradePriceCeiling(double limitUp, double prevClose)
{
    if (limitUp > 0)
        return limitUp * kTradePriceBound;
    if (prevClose > 0)
        return prevClose * kTradePriceBound;
    return 0;
}

bool CQuoteValidator::TradePriceWithin(std::string_view text, double price, double ceiling,
                                       std::string& error)
{
    if (ceiling <= 0 || price <= ceiling)
        return true;
    char bound[64];
    std::snprintf(bound, sizeof bound, "%.3f", ceiling);
    error = "price " + Quoted(text) + " is more than ten times the stock's " +
            "limit-up price or previous close (above " + bound + ")";
    return false;
}

bool CQuoteValidator::Volume(std::string_view text, double& value, std::string& error)
{
    long long shares = 0;
    if (!ParseInteger(text, 0, 1'000'000'000'000LL, shares)) {
        error = "volume " + Quoted(text) + " is not a whole number of shares";
        return false;
    }
    value = static_cast<double>(shares);
    return true;
}

bool CQuoteValidator::Int32(const char* what, std::string_view text, std::int32_t& value,
                            std::string& error)
{
    long long parsed = 0;
    if (!ParseInteger(text, INT32_MIN, INT32_MAX, parsed)) {
        error = std::string(what) + " " + Quoted(text) + " is not a whole number";
        return false;
    }
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool CQuoteValidator::ParseTime(std::string_view text, int& seconds)
{
    if (text.size() != 8 || text[2] != ':' || text[5] != ':')
        return false;
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
        if (text[i] < '0' || text[i] > '9')
            return false;
    int hour = (text[0] - '0') * 10 + (text[1] - '0');
    int minute = (text[3] - '0') * 10 + (text[4] - '0');
    int second = (text[6] - '0') * 10 + (text[7] - '0');
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    seconds = hour * 3600 + minute * 60 + second;
    return true;
}

bool CQuoteValidator::Time(std::string_view text, int& seconds, std::string& error)
{
    if (!ParseTime(text, seconds)) {
        error = "time " + Quoted(text) + " is not HH:MM:SS";
        return false;
    }
    return true;
}
