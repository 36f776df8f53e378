#include "platform/core/VelkNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::uint64_t kWholePowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
// The formatted text is moved out in one copy of this many bytes.
constexpr std::size_t kCopied = 32;
static_assert(kCopied <= kVelkFixedTextSize);

bool IsDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// Quotes carry plain decimals ("10.25", "3500"): digits with at most one point and no
// exponent. Read as whole digits over a power of ten, both exact as doubles, one division
// rounds them as a full conversion would. False where the text needs the full conversion.
bool ReadPlainDecimal(const char* p, const char* end, double& value)
{
    // Nineteen digits always fit in 64 bits; a longer text wraps, and is sent on below.
    std::uint64_t digits = 0;
    const char* first = p;
    for (; p < end && IsDigit(*p); ++p)
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
    std::size_t count = static_cast<std::size_t>(p - first);
    std::size_t fraction = 0;
    if (p < end && *p == '.') {
        const char* firstDecimal = ++p;
        for (; p < end && IsDigit(*p); ++p)
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
        fraction = static_cast<std::size_t>(p - firstDecimal);
        count += fraction;
    }
    // An exponent, or no digit at all ("inf", "nan", "."), takes the full conversion.
    if (count == 0 || count > 19 || (p < end && (*p == 'e' || *p == 'E')))
        return false;
    if (digits > (std::uint64_t(1) << 53) || fraction > 22)
        return false;
    value = static_cast<double>(digits) / kPowersOfTen[fraction];
    return true;
}

// The whole text is a plain decimal ("10.25", "3500", at most nineteen characters): the
// quote service's prices and volumes. One pass, with no blank, sign or exponent to look for.
// False where any other character comes, so that the full reading decides.
bool ReadWholeDecimal(std::string_view text, double& value)
{
    const std::size_t size = text.size();
    if (size == 0 || size > 19)
        return false;
    std::uint64_t digits = 0;
    std::size_t point = size;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
        if (digit < 10) {
            digits = digits * 10 + digit;
        } else if (text[i] == '.' && point == size) {
            point = i;
        } else {
            return false;
        }
    }
    // A lone point has no digit; beyond 2^53 the whole digits are no longer exact.
    if (point != size && size == 1)
        return false;
    if (digits > (std::uint64_t(1) << 53))
        return false;
    const std::size_t fraction = point == size ? 0 : size - point - 1;
    value = static_cast<double>(digits) / kPowersOfTen[fraction];
    return true;
}

} // namespace

double VelkAtof(std::string_view text)
{
    double whole = 0;
    if (ReadWholeDecimal(text, whole))
        return whole;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    double value = 0;
    if (!ReadPlainDecimal(p, end, value) &&
        std::from_chars(p, end, value, std::chars_format::general).ec != std::errc())
        return 0;
    return negative ? -value : value;
}

namespace {

// "00" to "99": a price's digits are written two at a time.
constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

// Writes the last two digits of n just before q; returns the new front.
char* PutPair(std::uint64_t n, char* q)
{
    q -= 2;
    std::memcpy(q, kDigitPairs + 2 * n, 2);
    return q;
}

// Writes units with Decimals decimals backwards from q; returns the new front. The decimals
// are a constant, so that the digits of the fraction are written without a loop.
template <int Decimals, typename Units> char* PutFixed(Units units, char* q)
{
    if constexpr (Decimals > 0) {
        for (int left = Decimals; left >= 2; left -= 2) {
            q = PutPair(units % 100, q);
            units /= 100;
        }
        if constexpr (Decimals % 2) {
            *--q = static_cast<char>('0' + units % 10);
            units /= 10;
        }
        *--q = '.';
    }
    // At least one whole digit.
    while (units >= 100) {
        q = PutPair(units % 100, q);
        units /= 100;
    }
    if (units >= 10)
        return PutPair(units, q);
    *--q = static_cast<char>('0' + units);
    return q;
}

template <typename Units> char* PutFixed(Units units, int decimals, char* q)
{
    switch (decimals) {
    case 0:
        return PutFixed<0>(units, q);
    case 1:
        return PutFixed<1>(units, q);
    case 2:
        return PutFixed<2>(units, q);
    case 3:
        return PutFixed<3>(units, q);
    case 4:
        return PutFixed<4>(units, q);
    case 5:
        return PutFixed<5>(units, q);
    default:
        return PutFixed<6>(units, q);
    }
}

} // namespace

char* VelkFormatFixedTail(float value, int decimals, char* end)
{
    decimals = decimals < 0 ? 0 : decimals > 6 ? 6 : decimals;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponent = static_cast<int>((bits >> 23) & 0xFF);
    // Beyond 2^40 (or not finite) the general conversion writes it; prices never get there.
    if (exponent >= 127 + 40)
        return nullptr;
    // The value in units of the last decimal, rounded from its exact value, ties to even. A
    // float has 24 significant bits and 10^6 < 2^20, so the product is exact as a double, and
    // below 2^52 adding and taking away 2^52 rounds it to a whole number, ties to even (the
    // build never lets the compiler fold the two away).
    const double scaled = std::fabs(static_cast<double>(value)) * kPowersOfTen[decimals];
    constexpr double kRounder = 4503599627370496.0; // 2^52
    std::uint64_t units = 0;
    if (scaled < kRounder) {
        units = static_cast<std::uint64_t>((scaled + kRounder) - kRounder);
    } else {
        // 2^52 and more: already whole.
        units = static_cast<std::uint64_t>(scaled);
    }
    char* q = units <= 0xFFFFFFFFu ? PutFixed(static_cast<std::uint32_t>(units), decimals, end)
                                   : PutFixed(units, decimals, end);
    if (bits >> 31)
        *--q = '-';
    return q;
}

char* VelkFormatWholeTail(std::uint64_t value, char* end)
{
    return value <= 0xFFFFFFFFu ? PutFixed<0>(static_cast<std::uint32_t>(value), end)
                                : PutFixed<0>(value, end);
}

std::size_t VelkFormatFixed(float value, int decimals, char* out)
{
    // Written at the end of a block and moved out in one copy of a fixed size: at most 19
    // digits, the point and the sign.
    char text[2 * kCopied];
    // What the copy takes beyond the text is set, though never read.
    std::memset(text + kCopied, 0, kCopied);
    const char* first = VelkFormatFixedTail(value, decimals, text + kCopied);
    if (!first) {
        const auto result = std::to_chars(out, out + kVelkFixedTextSize, static_cast<double>(value),
                                          std::chars_format::fixed, std::clamp(decimals, 0, 6));
        return static_cast<std::size_t>(result.ptr - out);
    }
    std::memcpy(out, first, kCopied);
    return static_cast<std::size_t>(text + kCopied - first);
}
