#include "host/core/CPlainTradeLine.h"

#include "host/core/CQuoteValidator.h"

namespace {

// Up to 15 digits a whole number and its power of ten are exact doubles, and the decimals a
// price is read with are its own (no shorter text reads back as the same number): the
// division gives the value the full conversion gives.
constexpr int kMaxPriceDigits = 15;
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
// 10^12 shares, the most a volume may be, has 13 digits.
constexpr int kMaxVolumeDigits = 13;
constexpr std::uint64_t kMaxVolume = 1'000'000'000'000ull;

inline bool IsDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

inline unsigned Digit(char c)
{
    return static_cast<unsigned>(c - '0');
}

} // namespace

bool CPlainTradeLine::Read(std::string_view line, Fields& fields)
{
    const char* p = line.data();
    const char* const end = p + line.size();

    // The time: exactly eight characters, then the comma.
    if (line.size() < 9 || p[8] != ',' ||
        !CQuoteValidator::ParseTime(line.substr(0, 8), fields.time))
        return false;
    p += 9;

    // The market: one to three digits, at most 255.
    const char* start = p;
    unsigned market = 0;
    while (p < end && IsDigit(*p) && p - start < 3)
        market = market * 10 + Digit(*p++);
    if (p == start || p == end || *p != ',' || market > 255)
        return false;
    fields.market = static_cast<unsigned char>(market);
    ++p;

    // The code: printable ASCII without a quote (a quoted field is the general reader's).
    start = p;
    while (p < end && *p != ',') {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c <= ' ' || c > '~' || c == '"')
            return false;
        ++p;
    }
    const auto codeLength = static_cast<std::size_t>(p - start);
    if (codeLength == 0 || codeLength > CQuoteValidator::kMaxCodeLength || p == end)
        return false;
    fields.code = std::string_view(start, codeLength);
    ++p;

    // The price: digits, perhaps a point after the first of them and at least one more.
    start = p;
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = 0;    // digits after the point
    int significant = 0; // of them, up to the last that is not zero
    bool point = false;
    for (; p < end && *p != ','; ++p) {
        const char c = *p;
        if (IsDigit(c)) {
            if (count == kMaxPriceDigits)
                return false;
            digits = digits * 10 + Digit(c);
            ++count;
            if (point && c != '0')
                significant = decimals + 1;
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point && count > 0) {
            point = true;
        } else {
            return false;
        }
    }
    if (count == 0 || (point && decimals == 0) || p == end)
        return false;
    fields.price = static_cast<double>(digits) / kPowersOfTen[decimals];
    fields.priceDecimals = significant;
    fields.priceText = std::string_view(start, static_cast<std::size_t>(p - start));
    ++p;

    // The volume: digits to the end of the line.
    start = p;
    std::uint64_t volume = 0;
    for (; p < end; ++p) {
        if (!IsDigit(*p) || p - start == kMaxVolumeDigits)
            return false;
        volume = volume * 10 + Digit(*p);
    }
    if (p == start || volume > kMaxVolume)
        return false;
    fields.volume = static_cast<double>(volume);
    return true;
}
